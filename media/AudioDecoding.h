#pragma once
#include <cstdint>

#include "media/FrameHeader.h"

// The audio step of the dispatch loop turns each camera audio frame into
// 16-bit PCM through an IAudioDecoder and hands every PCM block to the
// camera's IAduioDo handlers and, while the camera's sound is on, to the
// process-wide IPcmOutput.

// One block of decoded sound: interleaved signed 16-bit samples.
struct PcmBlock {
  const std::uint8_t* data = nullptr;
  std::uint32_t length = 0;  // bytes
  std::uint32_t sampleRate = 0;
  std::int32_t bitsPerSample = 16;
  std::int32_t channels = 1;
};

// Receives the PCM blocks of one decoded frame, on the dispatch thread. The
// block's memory belongs to the decoder and is valid only during the call.
class IPcmSink {
 public:
  virtual void OnPcm(const PcmBlock& block) = 0;

 protected:
  ~IPcmSink() = default;
};

// One camera's decoder for one codec. Created on the camera's first frame of
// that codec (from that frame's format) and kept until the pipeline is
// rebuilt or stopped; used only on the camera's dispatch thread.
class IAudioDecoder {
 public:
  virtual ~IAudioDecoder() = default;
  // Decodes one frame payload, calling `sink` once per PCM block produced
  // (possibly none). False when the payload could not be decoded (the
  // decoder logs why); the dispatch loop goes on with the next frame.
  virtual bool Decode(const std::uint8_t* payload, std::uint32_t length, const mc::media::AudioFormat& format,
                      IPcmSink& sink) = 0;
};

// The speakers: takes a copy of the PCM and returns at once, never waiting on
// the sound device. Called from the dispatch threads of all cameras.
class IPcmOutput {
 public:
  virtual ~IPcmOutput() = default;
  virtual void EnqueuePcm(const std::uint8_t* pcm, std::uint32_t length, std::uint32_t sampleRate,
                          std::int32_t bitsPerSample, std::int32_t channels) = 0;
};
