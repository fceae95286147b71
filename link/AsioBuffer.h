#pragma once
#include <cstdint>
#include <vector>

// One network buffer: a byte store that only grows, and the number of valid
// bytes at its start. Every byte the links read or write travels in one of
// these, recycled through MemoryPool so a steady stream allocates nothing.
class Asio_Buffer {
 public:
  static constexpr std::int32_t kDefaultCapacity = 100;

  // 100 zero bytes of storage, size 0.
  Asio_Buffer();
  // n zero bytes of storage, size n (a negative n counts as 0).
  explicit Asio_Buffer(std::int32_t n);
  virtual ~Asio_Buffer() = default;

  Asio_Buffer(const Asio_Buffer&) = default;
  Asio_Buffer& operator=(const Asio_Buffer&) = default;

  // Grows the storage to n bytes when it is smaller (new bytes are zero), then
  // size = n. A negative n counts as 0.
  void resize(std::int32_t n);
  // size = 0 and every byte of storage zero again.
  void reset();

  // Start of the storage. Write only below size(): reset clears what lies
  // below the largest size set since the last reset.
  std::uint8_t* data() { return storage_.data(); }
  const std::uint8_t* data() const { return storage_.data(); }
  std::int32_t size() const { return size_; }
  std::int32_t capacity() const { return static_cast<std::int32_t>(storage_.size()); }

 private:
  std::vector<std::uint8_t> storage_;
  std::int32_t size_ = 0;
  // Bytes at or past this offset are known to be zero, so reset only clears
  // what a user may have written (the largest size since the last reset)
  // instead of a whole grown storage on every recycle.
  std::int32_t dirtyExtent_ = 0;
};
