#pragma once
#include <chrono>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <stdexcept>
#include <thread>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "link/Client.h"

namespace mc::test {

// A Client that records every callback, for tests to wait on.
class RecordingClient : public Client {
 public:
  struct Sent {
    std::int32_t size;
    std::int32_t remaining;
  };

  static std::shared_ptr<RecordingClient> create(std::shared_ptr<ClientBufferPool> pool,
                                                 std::shared_ptr<ThreadPool> callbacks = {},
                                                 std::shared_ptr<ThreadPool> io = {}, bool parallel = false) {
    return std::make_shared<RecordingClient>(std::move(pool), std::move(callbacks), std::move(io), parallel);
  }
  RecordingClient(std::shared_ptr<ClientBufferPool> pool, std::shared_ptr<ThreadPool> callbacks,
                  std::shared_ptr<ThreadPool> io, bool parallel)
      : Client(std::move(pool), std::move(callbacks), std::move(io), parallel) {}

  // The next `count` bodies make OnRecv throw (after recording them).
  void throwOnNextBodies(int count) { throwsLeft_ = count; }
  // Threads that ran OnRecv, and the most that ran it at the same time.
  int concurrentPeak() { return read<int>([this] { return peak_; }); }

  // Waits until `predicate` (called under the lock) holds.
  bool waitFor(const std::function<bool()>& predicate, int timeoutMs = 5000) {
    std::unique_lock lock(lock_);
    return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), predicate);
  }
  template <typename T>
  T read(const std::function<T()>& reader) {
    std::lock_guard lock(lock_);
    return reader();
  }

  int connected() { return read<int>([this] { return connected_; }); }
  int reconnected() { return read<int>([this] { return reconnected_; }); }
  std::vector<boost::system::error_code> disconnects() {
    return read<std::vector<boost::system::error_code>>([this] { return disconnects_; });
  }
  std::vector<std::vector<std::uint8_t>> bodies() {
    return read<std::vector<std::vector<std::uint8_t>>>([this] { return bodies_; });
  }
  std::vector<Sent> sent() { return read<std::vector<Sent>>([this] { return sent_; }); }

  bool waitForBodies(std::size_t count, int timeoutMs = 5000) {
    return waitFor([&] { return bodies_.size() >= count; }, timeoutMs);
  }
  bool waitForDisconnects(std::size_t count, int timeoutMs = 5000) {
    return waitFor([&] { return disconnects_.size() >= count; }, timeoutMs);
  }
  bool waitForReconnects(int count, int timeoutMs = 8000) {
    return waitFor([&] { return reconnected_ >= count; }, timeoutMs);
  }
  bool waitForSent(std::size_t count, int timeoutMs = 5000) {
    return waitFor([&] { return sent_.size() >= count; }, timeoutMs);
  }

 protected:
  void OnConnected() override { note([this] { ++connected_; }); }
  void OnReconnected() override { note([this] { ++reconnected_; }); }
  void OnRecv(const BufferPtr& body) override {
    const int running = ++inRecv_;
    if (slowRecv_) std::this_thread::sleep_for(std::chrono::milliseconds(20));
    note([&] {
      peak_ = std::max(peak_, running);
      bodies_.emplace_back(body->data(), body->data() + body->size());
    });
    --inRecv_;
    if (throwsLeft_ > 0) {
      --throwsLeft_;
      throw std::runtime_error("callback failure");
    }
  }
  void OnSent(const BufferPtr& buffer, std::int32_t remaining) override {
    note([&] { sent_.push_back({buffer->size(), remaining}); });
  }
  void OnDisconnected(const boost::system::error_code& error) override {
    note([&] { disconnects_.push_back(error); });
  }

 private:
  void note(const std::function<void()>& change) {
    {
      std::lock_guard lock(lock_);
      change();
    }
    changed_.notify_all();
  }

  std::mutex lock_;
  std::condition_variable changed_;
  int connected_ = 0;
  int reconnected_ = 0;
  std::vector<boost::system::error_code> disconnects_;
  std::vector<std::vector<std::uint8_t>> bodies_;
  std::vector<Sent> sent_;
  std::atomic<int> throwsLeft_{0};
  std::atomic<int> inRecv_{0};
  int peak_ = 0;

 public:
  std::atomic<bool> slowRecv_{false};  // OnRecv takes 20 ms
};

}  // namespace mc::test
