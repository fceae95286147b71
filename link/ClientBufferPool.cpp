#include "link/ClientBufferPool.h"

ClientBufferPool::~ClientBufferPool() { release(); }

void ClientBufferPool::init() {
  std::lock_guard lock(lock_);
  if (initialised_) return;
  initialised_ = true;
  bodyPool_ = AsioBufferPool::create();
  headerPool_ = AsioBufferPool::create([] { return new Asio_Buffer(kHeaderSize); });
  bodyPool_->init(kLowWater, kGrowBy, kInitial, kMaxRetained);
  headerPool_->init(kLowWater, kGrowBy, kInitial, kMaxRetained);
}

BufferPtr ClientBufferPool::getBuffer() {
  auto pool = bodyPool();
  return pool ? pool->get() : BufferPtr();
}

BufferPtr ClientBufferPool::getHeaderBuffer() {
  auto pool = headerPool();
  return pool ? pool->get() : BufferPtr();
}

void ClientBufferPool::release() {
  std::shared_ptr<AsioBufferPool> body;
  std::shared_ptr<AsioBufferPool> header;
  {
    std::lock_guard lock(lock_);
    body = bodyPool_;
    header = headerPool_;
  }
  if (body) body->close();
  if (header) header->close();
}

std::shared_ptr<AsioBufferPool> ClientBufferPool::bodyPool() const {
  std::lock_guard lock(lock_);
  return bodyPool_;
}

std::shared_ptr<AsioBufferPool> ClientBufferPool::headerPool() const {
  std::lock_guard lock(lock_);
  return headerPool_;
}
