#pragma once
#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "core/AppFolder.h"
#include "link/ClientBufferPool.h"
#include "tests/link/LoopbackPeer.h"
#include "tests/link/RecordingClient.h"
#include "tests/support/TempFolder.h"

namespace mc::test {

template <typename Predicate>
bool eventually(Predicate predicate, int timeoutMs = 5000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    if (predicate()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return predicate();
}

// Closes a link and checks that nothing holds it afterwards: every pending
// handler (reads, timers, callbacks) must let go once it is closed.
template <typename T>
void closeAndExpectReleased(std::shared_ptr<T>& link) {
  if (!link) return;
  std::weak_ptr<T> watch = link;
  link->close();
  link.reset();
  EXPECT_TRUE(eventually([&] { return watch.expired(); })) << "a closed link is still referenced";
}

// Pools, a log folder and the links of one test; every link is closed and
// must be released by the end of the test.
class LinkFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    setApplicationFolder(temp_.path());
    pools_->init();
  }
  void TearDown() override {
    for (auto& link : links_) closeAndExpectReleased(link);
    pools_->release();
  }

  std::shared_ptr<RecordingClient> makeClient() {
    auto client = RecordingClient::create(pools_);
    links_.push_back(client);
    return client;
  }

  static std::vector<std::uint8_t> pattern(std::size_t size, std::uint8_t seed) {
    std::vector<std::uint8_t> bytes(size);
    for (std::size_t i = 0; i < size; ++i) bytes[i] = static_cast<std::uint8_t>(seed + i * 31 + (i >> 8));
    return bytes;
  }

  TempFolder temp_;
  std::shared_ptr<ClientBufferPool> pools_ = ClientBufferPool::create();
  std::vector<std::shared_ptr<RecordingClient>> links_;
};

}  // namespace mc::test
