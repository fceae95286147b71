#pragma once
#include <memory>
#include <mutex>

#include "link/AsioBuffer.h"
#include "link/MemoryPool.h"

using BufferPtr = std::shared_ptr<Asio_Buffer>;
using AsioBufferPool = MemoryPool<Asio_Buffer>;

// The two buffer pools of the links: general bodies (100 bytes of capacity to
// start, grown as needed and kept grown) and 4-byte length headers. One per
// coordinator; every Client built on it takes its read buffers here.
class ClientBufferPool {
 public:
  // Refill when at most 100 are idle, by 200; 500 to start; 1000 kept idle at most.
  static constexpr std::int32_t kLowWater = 100;
  static constexpr std::int32_t kGrowBy = 200;
  static constexpr std::int32_t kInitial = 500;
  static constexpr std::int32_t kMaxRetained = 1000;
  static constexpr std::int32_t kHeaderSize = 4;

  static std::shared_ptr<ClientBufferPool> create() { return std::make_shared<ClientBufferPool>(); }
  ClientBufferPool() = default;
  // Closes the pools if release was not called, so idle buffers do not keep
  // them alive for ever.
  ~ClientBufferPool();
  ClientBufferPool(const ClientBufferPool&) = delete;
  ClientBufferPool& operator=(const ClientBufferPool&) = delete;

  // Creates both pools; runs once, later calls do nothing.
  void init();
  // Empty before init and after release.
  BufferPtr getBuffer();
  BufferPtr getHeaderBuffer();
  // Closes both pools: idle buffers are deleted, buffers in use are deleted
  // when they come back.
  void release();

  std::shared_ptr<AsioBufferPool> bodyPool() const;
  std::shared_ptr<AsioBufferPool> headerPool() const;

 private:
  mutable std::mutex lock_;
  bool initialised_ = false;
  std::shared_ptr<AsioBufferPool> bodyPool_;
  std::shared_ptr<AsioBufferPool> headerPool_;
};
