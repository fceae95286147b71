#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "link/AsioBuffer.h"
#include "link/ClientBufferPool.h"
#include "link/MemoryPool.h"

namespace {

bool allZero(const Asio_Buffer& buffer) {
  return std::all_of(buffer.data(), buffer.data() + buffer.capacity(), [](std::uint8_t b) { return b == 0; });
}

// A buffer that counts its deletions, to see what a pool keeps and drops.
struct CountedBuffer : Asio_Buffer {
  explicit CountedBuffer(std::atomic<int>* deleted) : deleted(deleted) {}
  ~CountedBuffer() override { ++*deleted; }
  std::atomic<int>* deleted;
};

}  // namespace

TEST(AsioBuffer, ConstructionResizeAndResetKeepTheStorageRules) {
  Asio_Buffer fresh;
  EXPECT_EQ(fresh.size(), 0);
  EXPECT_EQ(fresh.capacity(), 100);
  EXPECT_TRUE(allZero(fresh));

  Asio_Buffer sized(7);
  EXPECT_EQ(sized.size(), 7);
  EXPECT_EQ(sized.capacity(), 7);

  Asio_Buffer buffer;
  buffer.resize(5000);
  EXPECT_EQ(buffer.size(), 5000);
  EXPECT_GE(buffer.capacity(), 5000);
  EXPECT_TRUE(allZero(buffer)) << "grown bytes start as zero";
  std::fill(buffer.data(), buffer.data() + buffer.size(), 0xAB);

  buffer.resize(10);  // never shrinks
  EXPECT_EQ(buffer.size(), 10);
  EXPECT_GE(buffer.capacity(), 5000);
  buffer.reset();
  EXPECT_EQ(buffer.size(), 0);
  EXPECT_TRUE(allZero(buffer)) << "reset clears everything written, even past the last size";

  buffer.resize(-3);
  EXPECT_EQ(buffer.size(), 0);
}

TEST(MemoryPool, HandsOutLastReturnedFirstAndRefillsAtLowWater) {
  auto pool = MemoryPool<Asio_Buffer>::create();
  pool->init(2, 3, 4, 10);
  EXPECT_EQ(pool->idleCount(), 4);
  EXPECT_EQ(pool->createdCount(), 4u);

  auto a = pool->get();  // 4 idle > 2: no refill
  EXPECT_EQ(pool->idleCount(), 3);
  auto b = pool->get();
  EXPECT_EQ(pool->idleCount(), 2);
  auto c = pool->get();  // 2 idle <= low water: 3 more made first
  EXPECT_EQ(pool->createdCount(), 7u);
  EXPECT_EQ(pool->idleCount(), 4);

  Asio_Buffer* raw = b.get();
  b->resize(300);
  b->data()[299] = 9;
  b.reset();  // back to the pool, reset
  auto again = pool->get();
  EXPECT_EQ(again.get(), raw) << "last in, first out";
  EXPECT_EQ(again->size(), 0);
  EXPECT_TRUE(allZero(*again));
  EXPECT_EQ(pool->createdCount(), 7u) << "recycled, not allocated";
  pool->close();
}

TEST(MemoryPool, RetainsAtMostMaxIdleObjectsAndDeletesTheRest) {
  std::atomic<int> deleted{0};
  auto pool = MemoryPool<Asio_Buffer>::create([&deleted] { return new CountedBuffer(&deleted); });
  pool->init(0, 1, 0, 1000);
  std::vector<std::shared_ptr<Asio_Buffer>> inUse;
  for (int i = 0; i < 1001; ++i) inUse.push_back(pool->get());
  EXPECT_EQ(pool->idleCount(), 0);
  EXPECT_EQ(pool->createdCount(), 1001u);

  inUse.resize(1);  // 1000 come back and are kept
  EXPECT_EQ(pool->idleCount(), 1000);
  EXPECT_EQ(deleted, 0);
  inUse.clear();    // number 1001 finds the pool full
  EXPECT_EQ(pool->idleCount(), 1000);
  EXPECT_EQ(deleted, 1);

  pool->close();
  EXPECT_EQ(pool->idleCount(), 0);
  EXPECT_EQ(deleted, 1001);
}

TEST(MemoryPool, ObjectsKeepTheirPoolAliveAndAreDeletedAfterClose) {
  std::atomic<int> deleted{0};
  std::weak_ptr<MemoryPool<Asio_Buffer>> weakPool;
  std::shared_ptr<Asio_Buffer> survivor;
  {
    auto pool = MemoryPool<Asio_Buffer>::create([&deleted] { return new CountedBuffer(&deleted); });
    weakPool = pool;
    pool->init(1, 1, 3, 10);
    survivor = pool->get();
    pool->close();
    EXPECT_EQ(pool->get(), nullptr) << "a closed pool hands out nothing";
    EXPECT_EQ(deleted, 2);
  }
  EXPECT_FALSE(weakPool.expired()) << "the deleter holds its pool";
  survivor.reset();
  EXPECT_EQ(deleted, 3) << "returned to a closed pool: deleted";
  EXPECT_TRUE(weakPool.expired());
}

TEST(MemoryPool, ConcurrentGetAndReturnLoseNothing) {
  std::atomic<int> deleted{0};
  auto pool = MemoryPool<Asio_Buffer>::create([&deleted] { return new CountedBuffer(&deleted); });
  pool->init(4, 8, 16, 64);
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&pool] {
      std::vector<std::shared_ptr<Asio_Buffer>> held;
      for (int i = 0; i < 2000; ++i) {
        held.push_back(pool->get());
        ASSERT_TRUE(held.back());
        held.back()->resize(i % 200);
        if (held.size() > 10) held.erase(held.begin(), held.begin() + 5);
      }
    });
  }
  for (auto& thread : threads) thread.join();
  const int created = static_cast<int>(pool->createdCount());
  EXPECT_EQ(pool->idleCount() + deleted, created);
  EXPECT_LE(pool->idleCount(), 64);
  pool->close();
  EXPECT_EQ(deleted, created);
}

TEST(ClientBufferPool, InitRunsOnceAndHeaderBuffersHoldFourBytes) {
  auto pools = ClientBufferPool::create();
  EXPECT_EQ(pools->getBuffer(), nullptr) << "nothing before init";
  pools->init();
  auto body = pools->bodyPool();
  EXPECT_EQ(body->idleCount(), ClientBufferPool::kInitial);
  pools->init();
  EXPECT_EQ(pools->bodyPool(), body) << "a second init changes nothing";

  auto buffer = pools->getBuffer();
  ASSERT_TRUE(buffer);
  EXPECT_EQ(buffer->capacity(), 100);
  auto header = pools->getHeaderBuffer();
  ASSERT_TRUE(header);
  EXPECT_EQ(header->capacity(), 4);

  pools->release();
  EXPECT_EQ(pools->getBuffer(), nullptr);
  EXPECT_EQ(pools->getHeaderBuffer(), nullptr);
  EXPECT_EQ(body->idleCount(), 0);
}
