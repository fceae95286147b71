#include <gtest/gtest.h>

#include <numeric>

#include "media/AudioBlockRing.h"
#include "tests/media/FakeSoundOutput.h"

using mc::test::FakeSoundOutput;
using mc::test::FakeSoundState;

namespace {

constexpr std::size_t kBlock = AudioBlockRing::kBlockBytes;
constexpr std::size_t kBlocks = AudioBlockRing::kBlockCount;
const PcmFormat kMono8k{8000, 16, 1};

// Bytes whose value tells where in the stream they came from.
std::vector<std::uint8_t> pattern(std::size_t length, std::size_t start = 0) {
  std::vector<std::uint8_t> bytes(length);
  for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<std::uint8_t>((start + i) % 251);
  return bytes;
}

struct RingFixture : ::testing::Test {
  std::shared_ptr<FakeSoundState> device = std::make_shared<FakeSoundState>();
  AudioBlockRing ring{std::make_unique<FakeSoundOutput>(device)};

  void SetUp() override { ASSERT_TRUE(ring.open(kMono8k)); }

  long write(std::size_t length, std::size_t start = 0) {
    const auto bytes = pattern(length, start);
    return ring.write(bytes.data(), bytes.size());
  }
  std::vector<std::size_t> submittedBlocks() {
    std::vector<std::size_t> blocks;
    for (const auto& s : device->submitted) blocks.push_back(s.block);
    return blocks;
  }
};

TEST_F(RingFixture, ThreeThousandBytesFillTwoBlocksAndWaitInTheThird) {
  ASSERT_EQ(write(3000), 3000);
  EXPECT_EQ(submittedBlocks(), (std::vector<std::size_t>{0, 1}));
  EXPECT_EQ(device->submitted[0].bytes, pattern(kBlock, 0));
  EXPECT_EQ(device->submitted[1].bytes, pattern(kBlock, kBlock));
  EXPECT_EQ(ring.currentBlock(), 2u);
  EXPECT_EQ(ring.fillOffset(), 952u);
  EXPECT_TRUE(ring.blockBusy(0));
  EXPECT_TRUE(ring.blockBusy(1));
  EXPECT_FALSE(ring.blockBusy(2)) << "a partly filled block is not submitted";

  ASSERT_EQ(write(72, 3000), 72);
  EXPECT_EQ(submittedBlocks(), (std::vector<std::size_t>{0, 1, 2}));
  EXPECT_EQ(device->submitted[2].bytes, pattern(kBlock, 2 * kBlock)) << "block 2 holds bytes 2048..3071 in order";
  EXPECT_EQ(ring.currentBlock(), 3u);
  EXPECT_EQ(ring.fillOffset(), 0u);
}

// Back-pressure: what a write takes depends on which blocks the device
// still holds.
struct BackPressureCase {
  const char* name;
  std::size_t heldBefore;                 // bytes written (and held by the device) first
  std::vector<std::size_t> completed;     // blocks the device then reports done
  std::size_t writeLength;
  long taken;
  std::size_t currentBlock;
  std::size_t fillOffset;
  std::size_t submittedByWrite;
};
void PrintTo(const BackPressureCase& c, std::ostream* out) { *out << c.name; }

class RingBackPressure : public RingFixture, public ::testing::WithParamInterface<BackPressureCase> {};

TEST_P(RingBackPressure, TakesOnlyWhatFitsBeforeTheFirstBusyBlock) {
  const BackPressureCase& c = GetParam();
  if (c.heldBefore) {
    ASSERT_EQ(write(c.heldBefore), static_cast<long>(c.heldBefore));
  }
  for (const std::size_t block : c.completed) device->complete(block);
  const std::size_t submittedBefore = device->submitted.size();

  EXPECT_EQ(write(c.writeLength, c.heldBefore), c.taken);
  EXPECT_EQ(ring.currentBlock(), c.currentBlock);
  EXPECT_EQ(ring.fillOffset(), c.fillOffset);
  EXPECT_EQ(device->submitted.size() - submittedBefore, c.submittedByWrite);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RingBackPressure,
    ::testing::Values(
        BackPressureCase{"EmptyRingExactBlock", 0, {}, kBlock, static_cast<long>(kBlock), 1, 0, 1},
        BackPressureCase{"EmptyRingNothing", 0, {}, 0, 0, 0, 0, 0},
        BackPressureCase{"EmptyRingWholeRing", 0, {}, kBlocks * kBlock, static_cast<long>(kBlocks * kBlock), 0, 0,
                         kBlocks},
        BackPressureCase{"FullRingTakesNothing", kBlocks * kBlock, {}, 500, 0, 0, 0, 0},
        BackPressureCase{"FullRingBigWriteTakesNothing", kBlocks * kBlock, {}, 5000, 0, 0, 0, 0},
        BackPressureCase{"LastHalfBlockThenBusy", (kBlocks - 1) * kBlock + 512, {}, 3000, 512, 0, 0, 1},
        BackPressureCase{"OneBlockFreed", kBlocks * kBlock, {0}, 3000, static_cast<long>(kBlock), 1, 0, 1},
        BackPressureCase{"TwoBlocksFreedPartialWaits", kBlocks * kBlock, {0, 1}, 1500, 1500, 1, 476, 1},
        BackPressureCase{"FreedOutOfOrderStopsAtTheBusyOne", kBlocks * kBlock, {1, 2}, 3000, 0, 0, 0, 0},
        BackPressureCase{"WrapsAroundAfterCompletion", 3000, {0, 1}, 18 * kBlock, static_cast<long>(18 * kBlock), 0,
                         952, 18}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(RingFixture, AFreedBlockIsRefilledWithTheNewBytes) {
  ASSERT_EQ(write(kBlocks * kBlock), static_cast<long>(kBlocks * kBlock));
  device->complete(0);
  ASSERT_EQ(write(kBlock, 777), static_cast<long>(kBlock));
  ASSERT_EQ(device->submitted.size(), kBlocks + 1);
  EXPECT_EQ(device->submitted.back().block, 0u);
  EXPECT_EQ(device->submitted.back().bytes, pattern(kBlock, 777));
}

TEST_F(RingFixture, WritingToAClosedDeviceDoesNothing) {
  ring.close();
  EXPECT_EQ(write(3000), -1);
  EXPECT_TRUE(device->submitted.empty());
  EXPECT_EQ(device->events.back(), "close");
}

TEST_F(RingFixture, ARefusedBlockStopsTheWriteUntilTheDeviceIsReopened) {
  device->refuseSubmits = 1;
  EXPECT_EQ(write(3000), 0);
  EXPECT_TRUE(ring.deviceFailed());
  EXPECT_FALSE(ring.blockBusy(0)) << "a refused block must not stay busy";
  EXPECT_EQ(write(3000), 0) << "a failed device takes nothing more";

  ASSERT_TRUE(ring.open(kMono8k));
  EXPECT_FALSE(ring.deviceFailed());
  EXPECT_EQ(write(3000), 3000);
}

TEST_F(RingFixture, ReopeningStartsAgainAtBlockZeroWithEveryBlockFree) {
  ASSERT_EQ(write(kBlocks * kBlock - 100), static_cast<long>(kBlocks * kBlock - 100));
  ASSERT_TRUE(ring.open(PcmFormat{16000, 16, 1}));
  EXPECT_EQ(ring.currentBlock(), 0u);
  EXPECT_EQ(ring.fillOffset(), 0u);
  for (std::size_t i = 0; i < kBlocks; ++i) EXPECT_FALSE(ring.blockBusy(i)) << i;
  device->submitted.clear();
  ASSERT_EQ(write(kBlock, 5), static_cast<long>(kBlock));
  ASSERT_EQ(device->submitted.size(), 1u);
  EXPECT_EQ(device->submitted[0].bytes, pattern(kBlock, 5)) << "no bytes of the old format are played";
  const std::vector<std::string> tail(device->events.end() - 3, device->events.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"close", "open 16000/16/1", "submit 0"}));
}

}  // namespace
