#include "link/AsioBuffer.h"

#include <algorithm>
#include <cstring>

Asio_Buffer::Asio_Buffer() : storage_(kDefaultCapacity, 0) {}

Asio_Buffer::Asio_Buffer(std::int32_t n)
    : storage_(static_cast<std::size_t>(std::max<std::int32_t>(n, 0)), 0),
      size_(std::max<std::int32_t>(n, 0)),
      dirtyExtent_(size_) {}

void Asio_Buffer::resize(std::int32_t n) {
  n = std::max<std::int32_t>(n, 0);
  if (static_cast<std::size_t>(n) > storage_.size()) storage_.resize(static_cast<std::size_t>(n), 0);
  size_ = n;
  dirtyExtent_ = std::max(dirtyExtent_, n);
}

void Asio_Buffer::reset() {
  if (dirtyExtent_ > 0) std::memset(storage_.data(), 0, static_cast<std::size_t>(dirtyExtent_));
  size_ = 0;
  dirtyExtent_ = 0;
}
