#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>

// G.711 A-law (ITU-T G.711) expansion of one code to a 16-bit linear sample.
std::int16_t alawToLinear(std::uint8_t code);

// Expands `count` A-law bytes into `count` signed 16-bit samples (native byte
// order) at `out`, which holds `outCapacity` bytes. Returns the bytes written
// (2 × count), or -1 when a pointer is null or the output does not fit.
int g711aDecode(const std::uint8_t* in, std::size_t count, std::uint8_t* out, std::size_t outCapacity);

// One camera's G.711 A-law decoder: frames are expanded into the camera's
// 10240-byte PCM buffer; a longer frame is handed on in several blocks, so
// no sound is lost. Used only on the camera's dispatch thread.
class G711Decoder {
 public:
  static constexpr std::size_t kPcmBufferBytes = 10240;
  static constexpr std::uint32_t kDefaultSampleRate = 8000;

  // (pcm, length in bytes, sample rate, bits per sample, channels); the PCM
  // is valid only during the call.
  using Sink = std::function<void(const std::uint8_t*, std::uint32_t, std::uint32_t, std::int32_t, std::int32_t)>;

  // Decodes one frame of `length` bytes announced with `sampleRate` and
  // `channels` (0 or less: 8000 Hz, mono). The PCM is always 16-bit. False
  // for a null payload with a non-zero length.
  bool decode(const std::uint8_t* payload, std::size_t length, std::uint32_t sampleRate, std::int32_t channels,
              const Sink& sink);

 private:
  alignas(std::int16_t) std::array<std::uint8_t, kPcmBufferBytes> pcmBuffer_{};
};
