#pragma once
#include <boost/asio/io_service.hpp>
#include <functional>
#include <memory>
#include <vector>

class OThread;

// A boost.asio io_service run by N OThreads named "<N>_threadPoolLogin_<i>".
// Tasks run on any of the threads; a task that throws ends its thread (after
// the thread logs it), leaving the pool one thread fewer.
class ThreadPool : public std::enable_shared_from_this<ThreadPool> {
 public:
  static std::shared_ptr<ThreadPool> create(int threadCount);
  explicit ThreadPool(int threadCount);
  ~ThreadPool();
  ThreadPool(const ThreadPool&) = delete;
  ThreadPool& operator=(const ThreadPool&) = delete;

  // Queues `task` with an interruption point before and after it. Tasks posted
  // after stop never run.
  void post(std::function<void()> task);

  // Stops the service, then interrupts and joins every thread in order.
  void stop();

  // For objects that run their own asynchronous operations on the pool.
  boost::asio::io_service& service() { return *service_; }

  // Threads actually started.
  int threadCount() const { return threadCount_; }
  // Threads whose function is still running.
  int runningThreads() const;

 private:
  std::shared_ptr<boost::asio::io_service> service_;
  std::shared_ptr<boost::asio::io_service::work> keepAlive_;
  int threadCount_ = 0;
  std::vector<std::shared_ptr<OThread>> threads_;
};
