#pragma once
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace mc {

// An event that releases one waiter per `set` and then turns unsignalled again.
// A `set` with nobody waiting stays pending until the next `wait`.
class AutoResetEvent {
 public:
  void set();
  void reset();
  // Waits at most `milliseconds`; true when the event was set, false on timeout.
  bool wait(std::uint32_t milliseconds);
  // Waits without a limit.
  void wait();

 private:
  std::mutex mutex_;
  std::condition_variable signalled_;
  bool set_ = false;
};

}  // namespace mc
