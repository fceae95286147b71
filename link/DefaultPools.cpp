#include "link/DefaultPools.h"

#include "core/ThreadPool.h"

namespace {

struct DefaultPools {
  std::shared_ptr<ThreadPool> io = ThreadPool::create(1);
  std::shared_ptr<ThreadPool> callbacks = ThreadPool::create(1);
};

DefaultPools& defaultPools() {
  static DefaultPools pools;
  return pools;
}

}  // namespace

std::shared_ptr<ThreadPool> defaultIoPool() { return defaultPools().io; }
std::shared_ptr<ThreadPool> defaultCallbackPool() { return defaultPools().callbacks; }
