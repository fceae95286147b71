#include "common/AutoResetEvent.h"

#include <chrono>

namespace mc {

void AutoResetEvent::set() {
  {
    std::lock_guard lock(mutex_);
    set_ = true;
  }
  signalled_.notify_one();
}

void AutoResetEvent::reset() {
  std::lock_guard lock(mutex_);
  set_ = false;
}

bool AutoResetEvent::wait(std::uint32_t milliseconds) {
  std::unique_lock lock(mutex_);
  if (!signalled_.wait_for(lock, std::chrono::milliseconds(milliseconds), [this] { return set_; }))
    return false;
  set_ = false;
  return true;
}

void AutoResetEvent::wait() {
  std::unique_lock lock(mutex_);
  signalled_.wait(lock, [this] { return set_; });
  set_ = false;
}

}  // namespace mc
