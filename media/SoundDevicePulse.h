#pragma once
#include <pulse/simple.h>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "media/SoundDevice.h"

struct PulseSimpleFree {
  void operator()(pa_simple* stream) const { pa_simple_free(stream); }
};
using PulseSimplePtr = std::unique_ptr<pa_simple, PulseSimpleFree>;

// Connects a pa_simple stream of `format` to the default server. `latencyMs`
// sets the server-side buffer (tlength for playback, fragsize for capture);
// live sound wants about 200 ms, the server's default is 2 s. `device` null
// means the server's default sink or source. On failure returns null and puts
// PulseAudio's own text into `error`.
PulseSimplePtr openPulseStream(pa_stream_direction_t direction, const PcmFormat& format, const char* streamName,
                               const char* device, unsigned latencyMs, std::string& error);

// Playback through PulseAudio's simple API. pa_simple_write blocks until the
// server takes the bytes, so a writer thread of its own ("pulse output") does
// the writing and reports each block done once the server holds a copy.
class PulseSoundOutput final : public ISoundOutput {
 public:
  static constexpr unsigned kLatencyMs = 200;

  ~PulseSoundOutput() override;
  const char* name() const override { return "pulseaudio"; }
  bool open(const PcmFormat& format, BlockDone done) override;
  bool submit(std::size_t block, const std::uint8_t* data, std::size_t length) override;
  void close() override;

 private:
  struct QueuedBlock {
    std::size_t block;
    const std::uint8_t* data;
    std::size_t length;
  };
  void writeLoop();

  PulseSimplePtr stream_;
  BlockDone done_;
  std::thread writer_;

  std::mutex mutex_;  // guards the members below
  std::condition_variable wake_;
  std::deque<QueuedBlock> queue_;
  bool stopping_ = false;
  bool failed_ = false;
  std::string failure_;  // PulseAudio's text for the failed write
};

// Capture through PulseAudio's simple API: a reader thread ("pulse input")
// reads one buffer at a time and hands it on.
class PulseSoundInput final : public ISoundInput {
 public:
  static constexpr unsigned kLatencyMs = 20;

  // `source` null: the server's default source.
  explicit PulseSoundInput(const char* source = nullptr) : source_(source ? source : "") {}
  ~PulseSoundInput() override;
  const char* name() const override { return "pulseaudio"; }
  bool start(const PcmFormat& format, std::size_t bufferBytes, OnPcm onPcm) override;
  void stop() override;
  std::string lastError() const override;

 private:
  void readLoop(PcmFormat format, std::size_t bufferBytes, OnPcm onPcm);

  std::string source_;
  PulseSimplePtr stream_;
  std::thread reader_;
  std::atomic<bool> stopping_{false};
  mutable std::mutex errorMutex_;
  std::string lastError_;
};
