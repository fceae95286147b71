#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace mc::test {

// Records 16-bit PCM from a PulseAudio source (by default the null sink's
// monitor) on a thread of its own, from start() until stop().
class SoundCapture {
 public:
  SoundCapture(std::uint32_t sampleRate, int channels, std::string source = "null.monitor");
  ~SoundCapture();
  SoundCapture(const SoundCapture&) = delete;
  SoundCapture& operator=(const SoundCapture&) = delete;

  // False when the source cannot be opened (error() says why).
  bool start();
  // Ends the recording and returns every sample taken (interleaved).
  std::vector<std::int16_t> stop();
  // A copy of the samples taken so far.
  std::vector<std::int16_t> samples();
  const std::string& error() const { return error_; }

 private:
  void readLoop(void* stream);

  std::uint32_t sampleRate_;
  int channels_;
  std::string source_;
  std::string error_;
  std::thread reader_;
  std::atomic<bool> stopping_{false};
  std::mutex mutex_;
  std::vector<std::int16_t> samples_;
};

}  // namespace mc::test
