#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "media/LibavHandles.h"

// AAC-LC encoder for interleaved PCM (libavcodec's native "aac" encoder),
// producing ADTS frames: a 7-byte header, then one raw AAC frame of 1024
// samples per channel. PCM is collected until a whole frame is there.
// Used by the recorder and by talk-back. Not thread-safe: one owner thread.
class FAACEncode {
 public:
  static constexpr int kFrameSamples = 1024;  // per channel

  FAACEncode() = default;
  FAACEncode(const FAACEncode&) = delete;
  FAACEncode& operator=(const FAACEncode&) = delete;

  // Opens the encoder for PCM of this rate, sample width (16, 24 or 32 bits,
  // little-endian signed) and channel count (1 to 6). The rate must be one of
  // the AAC rates (8000 … 96000). False, with the reason in the log, when the
  // values are unsupported or the library refuses them. A second Init
  // replaces the first encoder and drops the PCM it held.
  bool Init(int sampleRate, int bitsPerSample, int channels);
  bool isOpen() const { return context_ != nullptr; }

  // Adds `length` bytes of PCM and encodes every frame that completes. True
  // when frames came out: `output` then points at `outputLength` bytes of
  // back-to-back ADTS frames (every frame of this call), valid until the next
  // call. The encoder's start-up delay means the first calls produce nothing.
  bool Encode(const std::uint8_t* pcm, std::size_t length, const std::uint8_t*& output,
              std::size_t& outputLength);

  // Ends the stream: encodes the PCM still collected (padded to a frame) and
  // everything the encoder holds back. True when frames came out, as for
  // Encode. Afterwards the encoder takes no more PCM until the next Init.
  bool Flush(const std::uint8_t*& output, std::size_t& outputLength);

  int sampleRate() const { return sampleRate_; }
  int bitsPerSample() const { return bitsPerSample_; }
  int channels() const { return channels_; }
  // PCM bytes that make one frame: 1024 × channels × bytes per sample.
  std::size_t inputBytes() const { return inputBytes_; }
  // Samples per channel given to Encode that the output so far does not yet
  // cover: the PCM still collected here plus the encoder's own delay. The
  // last frame of an Encode result ends this many samples before the end of
  // the PCM given.
  std::int64_t samplesBehind() const { return fedSamples_ - encodedEnd_; }

 private:
  bool encodeFrame(int samples);
  bool drainPackets();

  mc::av::CodecContextPtr context_;
  mc::av::FramePtr frame_;
  mc::av::PacketPtr packet_;
  int sampleRate_ = 0;
  int bitsPerSample_ = 0;
  int channels_ = 0;
  int frequencyIndex_ = -1;
  std::size_t inputBytes_ = 0;
  std::vector<std::uint8_t> inputBuffer_;  // PCM collected for the next frame
  std::size_t inputFill_ = 0;
  std::vector<std::uint8_t> output_;       // ADTS frames of the current call
  std::int64_t fedSamples_ = 0;            // samples per channel given to Encode
  std::int64_t nextFramePts_ = 0;          // samples per channel sent to the encoder
  std::int64_t encodedEnd_ = 0;            // end of the last packet, in input samples
  bool flushed_ = false;
};
