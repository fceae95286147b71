#include "core/ThreadPool.h"

#include <boost/thread/thread.hpp>
#include <string>

#include "core/OThread.h"

std::shared_ptr<ThreadPool> ThreadPool::create(int threadCount) {
  return std::make_shared<ThreadPool>(threadCount);
}

ThreadPool::ThreadPool(int threadCount)
    : service_(std::make_shared<boost::asio::io_service>()),
      keepAlive_(std::make_shared<boost::asio::io_service::work>(*service_)) {
  for (int i = 0; i < threadCount; ++i) {
    auto thread = OThread::create();
    auto service = service_;
    const std::string name = std::to_string(threadCount) + "_threadPoolLogin_" + std::to_string(i);
    if (thread->start(name, [service] { service->run(); })) threads_.push_back(std::move(thread));
  }
  threadCount_ = static_cast<int>(threads_.size());
}

ThreadPool::~ThreadPool() { stop(); }

void ThreadPool::post(std::function<void()> task) {
  if (!service_) return;
  service_->post([task = std::move(task)] {
    boost::this_thread::interruption_point();
    task();
    boost::this_thread::interruption_point();
  });
}

void ThreadPool::stop() {
  keepAlive_.reset();
  if (service_) service_->stop();
  for (auto& thread : threads_) thread->stop();
}

int ThreadPool::runningThreads() const {
  int count = 0;
  for (const auto& thread : threads_) count += thread->running() ? 1 : 0;
  return count;
}
