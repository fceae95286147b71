#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "media/SoundDevice.h"

namespace mc::test {

// A sound output that records what it is asked to do. The test keeps the
// shared state while the output itself belongs to the ring under test.
struct FakeSoundState {
  struct Submitted {
    std::size_t block;
    std::vector<std::uint8_t> bytes;
    int openNumber;  // which open (1, 2 ...) the block was submitted under
  };

  std::mutex mutex;
  std::condition_variable changed;
  std::vector<std::string> events;  // "open 8000/16/1", "refused 8000/16/1", "submit 3", "close"
  std::vector<Submitted> submitted;
  std::vector<PcmFormat> opened;
  ISoundOutput::BlockDone done;
  int opens = 0;

  // Behaviour, set by the test.
  bool completeAtOnce = false;  // report each block done inside submit
  int refuseOpens = 0;          // the next N opens fail
  int refuseSubmits = 0;        // the next N submits fail
  bool holdOpen = false;        // open waits until the test clears this
  bool inOpen = false;

  // Reports `block` done as the device's thread would.
  void complete(std::size_t block) {
    ISoundOutput::BlockDone callback;
    {
      std::lock_guard lock(mutex);
      callback = done;
    }
    if (callback) callback(block);
  }

  void releaseOpen() {
    {
      std::lock_guard lock(mutex);
      holdOpen = false;
    }
    changed.notify_all();
  }

  template <typename Predicate>
  bool waitUntil(Predicate predicate, int milliseconds = 5000) {
    std::unique_lock lock(mutex);
    return changed.wait_for(lock, std::chrono::milliseconds(milliseconds), [&] { return predicate(); });
  }

  // Every submitted byte, in order.
  std::vector<std::uint8_t> playedBytes() {
    std::lock_guard lock(mutex);
    std::vector<std::uint8_t> all;
    for (const auto& s : submitted) all.insert(all.end(), s.bytes.begin(), s.bytes.end());
    return all;
  }
};

inline std::string formatText(const PcmFormat& f) {
  return std::to_string(f.sampleRate) + "/" + std::to_string(f.bitsPerSample) + "/" + std::to_string(f.channels);
}

class FakeSoundOutput final : public ISoundOutput {
 public:
  explicit FakeSoundOutput(std::shared_ptr<FakeSoundState> state) : state_(std::move(state)) {}

  const char* name() const override { return "fake"; }

  bool open(const PcmFormat& format, BlockDone done) override {
    close();
    std::unique_lock lock(state_->mutex);
    state_->inOpen = true;
    state_->changed.notify_all();
    state_->changed.wait(lock, [&] { return !state_->holdOpen; });
    state_->inOpen = false;
    if (state_->refuseOpens > 0) {
      --state_->refuseOpens;
      state_->events.push_back("refused " + formatText(format));
      state_->changed.notify_all();
      return false;
    }
    ++state_->opens;
    state_->opened.push_back(format);
    state_->events.push_back("open " + formatText(format));
    state_->done = std::move(done);
    open_ = true;
    state_->changed.notify_all();
    return true;
  }

  bool submit(std::size_t block, const std::uint8_t* data, std::size_t length) override {
    ISoundOutput::BlockDone callback;
    {
      std::lock_guard lock(state_->mutex);
      if (!open_) return false;
      if (state_->refuseSubmits > 0) {
        --state_->refuseSubmits;
        state_->events.push_back("refused submit " + std::to_string(block));
        state_->changed.notify_all();
        return false;
      }
      state_->events.push_back("submit " + std::to_string(block));
      state_->submitted.push_back({block, std::vector<std::uint8_t>(data, data + length), state_->opens});
      if (state_->completeAtOnce) callback = state_->done;
    }
    state_->changed.notify_all();
    if (callback) callback(block);
    return true;
  }

  void close() override {
    std::lock_guard lock(state_->mutex);
    if (!open_) return;
    open_ = false;
    state_->done = nullptr;
    state_->events.push_back("close");
    state_->changed.notify_all();
  }

 private:
  std::shared_ptr<FakeSoundState> state_;
  bool open_ = false;
};

}  // namespace mc::test
