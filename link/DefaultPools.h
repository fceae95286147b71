#pragma once
#include <memory>

class ThreadPool;

// The process-wide execution pools for links built without pools of their
// own: one thread each ("1_threadPoolLogin_0"), created on first use and kept
// until exit. The first runs socket I/O, the second the callbacks.
std::shared_ptr<ThreadPool> defaultIoPool();
std::shared_ptr<ThreadPool> defaultCallbackPool();
