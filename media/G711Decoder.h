#pragma once
#include <array>
#include <cstddef>
#include <cstdint>

#include "media/AudioDecoding.h"

// G.711 A-law (ITU-T G.711) expansion of one code to a 16-bit linear sample.
std::int16_t alawToLinear(std::uint8_t code);

// Expands `count` A-law bytes into `count` signed 16-bit samples (native byte
// order) at `out`, which holds `outCapacity` bytes. Returns the bytes written
// (2 × count), or -1 when a pointer is null or the output does not fit.
int g711aDecode(const std::uint8_t* in, std::size_t count, std::uint8_t* out, std::size_t outCapacity);

// One camera's G.711 A-law decoder: frames are expanded into the camera's
// 10240-byte PCM buffer; a longer frame is handed on in several blocks, so
// no sound is lost. Used only on the camera's dispatch thread.
class G711Decoder final : public IAudioDecoder {
 public:
  static constexpr std::size_t kPcmBufferBytes = 10240;
  static constexpr std::uint32_t kDefaultSampleRate = 8000;

  // Decodes one frame of `length` bytes with the frame's announced sample
  // rate and channel count (0 or less: 8000 Hz, mono). The PCM is 16-bit
  // whatever the frame announces. False for a null payload with a non-zero
  // length.
  bool Decode(const std::uint8_t* payload, std::uint32_t length, const mc::media::AudioFormat& format,
              IPcmSink& sink) override;

 private:
  alignas(std::int16_t) std::array<std::uint8_t, kPcmBufferBytes> pcmBuffer_{};
};
