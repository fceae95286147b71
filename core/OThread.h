#pragma once
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

namespace boost { class thread; }

// A named thread running one function with its own logger (Log/<name>.txt).
// An exception escaping the function, including boost's interruption, is
// logged as "线程异常退出！<name>" and ends only this thread.
class OThread : public std::enable_shared_from_this<OThread> {
 public:
  static std::shared_ptr<OThread> create();
  ~OThread();

  // Interrupts and joins a running thread first, then starts `work` on a new
  // thread. An empty name is replaced by the thread's numeric id. False when
  // the thread cannot be created.
  bool start(const std::string& name, std::function<void()> work);

  // Requests interruption and joins (never joins from the thread itself).
  void stop();

  bool running() const { return running_; }
  // The name given to start (may be empty for an unnamed thread).
  std::string name() const;

 private:
  OThread() = default;
  void body(std::string name, const std::function<void()>& work);

  mutable std::mutex mutex_;  // guards thread_ and name_
  std::shared_ptr<boost::thread> thread_;
  std::atomic<bool> running_{false};
  std::string name_;
  std::function<void()> work_;
};
