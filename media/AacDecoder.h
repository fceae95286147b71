#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "media/AudioDecoding.h"

// One camera's AAC decoder (FAAD2) for ADTS frames. Created on the camera's
// first AAC frame and kept, whatever later frames announce, until the
// pipeline is rebuilt or stopped; used only on the camera's dispatch thread.
//
// Output is always interleaved signed 16-bit PCM. FAAD2 turns a mono stream
// into two identical channels; a stream whose ADTS header says mono is
// handed on as mono again, so its PCM matches the frame's own format.
class AacDecoder final : public IAudioDecoder {
 public:
  // A decoder expecting AAC LC at `sampleRate` (the first frame's rate); null
  // when FAAD2 cannot make one (logged).
  static std::unique_ptr<AacDecoder> create(std::uint32_t sampleRate);
  ~AacDecoder() override;
  AacDecoder(const AacDecoder&) = delete;
  AacDecoder& operator=(const AacDecoder&) = delete;

  // Decodes every ADTS frame of one payload, handing each PCM block to
  // `sink`. False when the payload holds an undecodable frame (the error is
  // logged, the rest of the payload dropped); the decoder stays usable for
  // the next payload. The first frame decoded yields no PCM (decoder delay).
  // The frame's announced format is not read: the stream's own headers rule.
  bool Decode(const std::uint8_t* payload, std::uint32_t length, const mc::media::AudioFormat& format,
              IPcmSink& sink) override;

  bool initialised() const { return initialised_; }
  std::uint32_t sampleRate() const { return sampleRate_; }  // as read from the stream header
  std::uint8_t channels() const { return channels_; }       // as FAAD2 reports it (mono reads as 2)

 private:
  struct HandleClose {
    void operator()(void* handle) const;
  };
  explicit AacDecoder(void* handle);
  bool initialise(const std::uint8_t* payload, std::size_t length);

  std::unique_ptr<void, HandleClose> handle_;
  bool initialised_ = false;
  std::uint32_t sampleRate_ = 0;
  std::uint8_t channels_ = 0;
  std::vector<std::int16_t> mono_;  // folded output of mono streams
};
