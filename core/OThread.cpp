#include "core/OThread.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <boost/thread/thread.hpp>

#include "core/OLog.h"

std::shared_ptr<OThread> OThread::create() { return std::shared_ptr<OThread>(new OThread()); }

OThread::~OThread() {
  // The last owner may be the thread itself (its body holds a reference); a
  // boost::thread destroyed while joinable is detached.
}

bool OThread::start(const std::string& name, std::function<void()> work) {
  stop();
  std::lock_guard lock(mutex_);
  name_ = name;
  work_ = std::move(work);
  running_ = false;
  try {
    auto self = shared_from_this();
    thread_ = std::make_shared<boost::thread>([self, name, work = work_] { self->body(name, work); });
  } catch (...) {
    thread_.reset();
    return false;
  }
  return true;
}

void OThread::stop() {
  std::shared_ptr<boost::thread> thread;
  {
    std::lock_guard lock(mutex_);
    thread.swap(thread_);
  }
  if (thread) {
    thread->interrupt();
    if (thread->get_id() != boost::this_thread::get_id() && thread->joinable()) thread->join();
    else if (thread->joinable()) thread->detach();
  }
  running_ = false;
}

std::string OThread::name() const {
  std::lock_guard lock(mutex_);
  return name_;
}

void OThread::body(std::string name, const std::function<void()>& work) {
  if (name.empty()) name = std::to_string(::syscall(SYS_gettid));
  ::pthread_setname_np(::pthread_self(), name.substr(0, 15).c_str());
  OLog::install(std::make_unique<OLog>(name + ".txt"));
  running_ = true;
  try {
    work();
  } catch (...) {
    LOG_ERROR("线程异常退出！%s", name.c_str());
  }
  running_ = false;
}
