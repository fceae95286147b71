#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "fuzz/link/LinkFuzzEntries.h"
#include "tests/link/ClientFixture.h"

using namespace mc::test;

namespace {

std::vector<std::pair<std::string, std::vector<std::uint8_t>>> corpus(const std::string& target) {
  std::vector<std::pair<std::string, std::vector<std::uint8_t>>> files;
  for (const auto& entry : std::filesystem::directory_iterator(std::string(MC_FUZZ_CORPUS_DIR) + "/" + target)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    files.emplace_back(entry.path().filename().string(),
                       std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), {}));
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

TEST(FuzzCorpus, ParsePayloadSeedsReplay) {
  const auto files = corpus("parse_payload");
  ASSERT_FALSE(files.empty());
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    EXPECT_EQ(link_fuzz::parsePayloadEntry(bytes.data(), bytes.size()), 0);
  }
}

TEST(FuzzCorpus, ReadLoopSeedsReplay) {
  const auto files = corpus("read_loop");
  ASSERT_FALSE(files.empty());
  for (const auto& [name, bytes] : files) {
    SCOPED_TRACE(name);
    EXPECT_EQ(link_fuzz::readLoopEntry(bytes.data(), bytes.size()), 0);
  }
}

// The same seeds, sent by a peer in the same read sizes, through a real Client.
using FuzzCorpusOverLoopback = LinkFixture;

TEST_F(FuzzCorpusOverLoopback, ReadLoopSeedsReachAClientAsFramesOrAClose) {
  for (const auto& [name, bytes] : corpus("read_loop")) {
    SCOPED_TRACE(name);
    ASSERT_FALSE(bytes.empty());
    bool badLength = false;
    const auto expected = link_fuzz::referenceFrames(bytes.data() + 1, bytes.size() - 1, badLength);

    LoopbackPeer peer;
    auto client = makeClient();
    ASSERT_TRUE(client->connect("127.0.0.1", peer.port(), 3000));
    auto connection = peer.nextConnection();
    ASSERT_TRUE(connection);
    std::size_t at = 1;
    for (const std::size_t size : link_fuzz::readSizes(bytes[0], bytes.size() - 1)) {
      if (!connection->sendBytes(bytes.data() + at, size)) break;  // closed by the client
      at += size;
    }
    if (badLength) {
      ASSERT_TRUE(client->waitForDisconnects(1));
      EXPECT_FALSE(client->disconnects()[0]);
    } else {
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      EXPECT_TRUE(client->disconnects().empty());
    }
    ASSERT_TRUE(client->waitForBodies(expected.size()));
    EXPECT_EQ(client->bodies(), expected);
  }
}
