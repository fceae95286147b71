#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

// A pool of recycled objects handed out as shared pointers. The deleter of
// every object handed out holds a strong reference to its pool, so the pool
// lives while any of its objects does; when the last reference to an object
// goes, the object is reset and, while the pool is open and holds fewer than
// maxRetained idle objects, put back for the next get. The pool and its idle
// objects keep each other alive until close. T needs a reset().
//
// Thread safety: get, close and the recycling (on whichever thread drops the
// last reference) are serialised by one mutex.
namespace memory_pool_detail {

// Memory for the shared-pointer control blocks of a pool's objects. Wrapping
// a returned object again needs a new control block; the block of the
// previous wrapping comes back here first, so a steady stream of get and
// return allocates nothing.
class BlockCache {
 public:
  explicit BlockCache(std::size_t limit) : limit_(limit) {}
  ~BlockCache() {
    for (void* block : free_) ::operator delete(block);
  }
  BlockCache(const BlockCache&) = delete;
  BlockCache& operator=(const BlockCache&) = delete;

  void* allocate(std::size_t size) {
    {
      std::lock_guard lock(lock_);
      if (size == blockSize_ && !free_.empty()) {
        void* block = free_.back();
        free_.pop_back();
        return block;
      }
    }
    return ::operator new(size);
  }

  void deallocate(void* block, std::size_t size) noexcept {
    {
      std::lock_guard lock(lock_);
      if (blockSize_ == 0) blockSize_ = size;
      if (size == blockSize_ && free_.size() < limit_) {
        try {
          free_.push_back(block);
          return;
        } catch (...) {
        }
      }
    }
    ::operator delete(block);
  }

 private:
  std::mutex lock_;
  std::vector<void*> free_;
  std::size_t blockSize_ = 0;  // all blocks of one pool have the same size
  const std::size_t limit_;
};

template <typename U>
struct BlockAllocator {
  using value_type = U;
  explicit BlockAllocator(std::shared_ptr<BlockCache> cache) : cache(std::move(cache)) {}
  template <typename V>
  BlockAllocator(const BlockAllocator<V>& other) : cache(other.cache) {}
  U* allocate(std::size_t n) { return static_cast<U*>(cache->allocate(n * sizeof(U))); }
  void deallocate(U* block, std::size_t n) noexcept { cache->deallocate(block, n * sizeof(U)); }
  template <typename V>
  bool operator==(const BlockAllocator<V>& other) const { return cache == other.cache; }
  template <typename V>
  bool operator!=(const BlockAllocator<V>& other) const { return cache != other.cache; }
  std::shared_ptr<BlockCache> cache;
};

}  // namespace memory_pool_detail

template <typename T>
class MemoryPool : public std::enable_shared_from_this<MemoryPool<T>> {
 public:
  // Makes a new object; may return null. Empty: T's default constructor.
  using Factory = std::function<T*()>;

  static std::shared_ptr<MemoryPool> create(Factory factory = {}) {
    return std::shared_ptr<MemoryPool>(new MemoryPool(std::move(factory)));
  }

  MemoryPool(const MemoryPool&) = delete;
  MemoryPool& operator=(const MemoryPool&) = delete;

  // Stores the limits, opens the pool and creates `initial` idle objects.
  void init(std::int32_t lowWater, std::int32_t growBy, std::int32_t initial, std::int32_t maxRetained) {
    std::lock_guard lock(lock_);
    lowWater_ = lowWater;
    growBy_ = growBy;
    maxRetained_ = maxRetained;
    closed_ = false;
    for (std::int32_t i = 0; i < initial; ++i)
      if (!addNewLocked()) break;
  }

  // The most recently returned idle object (refilling by growBy when at most
  // lowWater are idle); empty when the pool is closed or nothing can be made.
  std::shared_ptr<T> get() {
    std::lock_guard lock(lock_);
    if (closed_) return {};
    if (count_ <= lowWater_) {
      for (std::int32_t i = 0; i < growBy_; ++i)
        if (!addNewLocked()) break;
    }
    if (available_.empty()) return {};
    std::shared_ptr<T> object = std::move(available_.back());
    available_.pop_back();
    --count_;
    return object;
  }

  // Closes the pool for good and deletes every idle object; objects still in
  // use are deleted when their last reference goes.
  void close() {
    std::vector<std::shared_ptr<T>> idle;
    {
      std::lock_guard lock(lock_);
      closed_ = true;
      idle.swap(available_);
      count_ = 0;
    }
    // Destroyed outside the lock: each deleter takes it.
  }

  std::int32_t idleCount() const { return count_; }
  bool isClosed() const { return closed_; }
  // Objects made by this pool so far (each a fresh allocation).
  std::uint64_t createdCount() const { return created_; }

 private:
  struct Recycler {
    std::shared_ptr<MemoryPool> pool;
    void operator()(T* object) const { pool->recycle(object); }
  };

  // Spare control blocks kept; only a few are free at any moment.
  static constexpr std::size_t kSpareBlocks = 64;

  explicit MemoryPool(Factory factory)
      : factory_(std::move(factory)), blocks_(std::make_shared<memory_pool_detail::BlockCache>(kSpareBlocks)) {}

  // Wraps a raw object in a shared pointer with the recycling deleter.
  std::shared_ptr<T> wrap(T* object) {
    return std::shared_ptr<T>(object, Recycler{this->shared_from_this()},
                              memory_pool_detail::BlockAllocator<T>(blocks_));
  }

  bool addNewLocked() {
    T* object = nullptr;
    try {
      object = factory_ ? factory_() : new T();
    } catch (...) {
      return false;
    }
    if (!object) return false;
    ++created_;
    return retainLocked(object);
  }

  // Appends the object, wrapped again, to the idle list. When that fails the
  // object is deleted (by the deleter of the half-built shared pointer).
  bool retainLocked(T* object) {
    ReentryGuard guard;
    try {
      available_.push_back(wrap(object));
    } catch (...) {
      return false;
    }
    ++count_;
    return true;
  }

  void recycle(T* object) noexcept {
    // Inside retainLocked a shared pointer that could not be built or stored
    // calls its deleter at once: that object is deleted, not wrapped again.
    if (ReentryGuard::active()) {
      delete object;
      return;
    }
    object->reset();
    if (!closed_) {
      std::lock_guard lock(lock_);
      if (!closed_ && count_ < maxRetained_) {
        retainLocked(object);
        return;
      }
    }
    delete object;
  }

  struct ReentryGuard {
    ReentryGuard() { depth()++; }
    ~ReentryGuard() { depth()--; }
    static bool active() { return depth() > 0; }
    static int& depth() {
      thread_local int value = 0;
      return value;
    }
  };

  std::vector<std::shared_ptr<T>> available_;  // idle objects, newest last
  std::atomic<std::int32_t> count_{0};
  std::atomic<bool> closed_{false};
  mutable std::mutex lock_;
  std::int32_t lowWater_ = 100;
  std::int32_t growBy_ = 200;
  std::int32_t maxRetained_ = 1000;
  std::atomic<std::uint64_t> created_{0};
  Factory factory_;
  std::shared_ptr<memory_pool_detail::BlockCache> blocks_;
};
