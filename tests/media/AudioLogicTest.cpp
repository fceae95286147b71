#include <gtest/gtest.h>

#include "core/AppFolder.h"
#include "media/AudioLogic.h"
#include "media/StreamAudioData.h"
#include "tests/media/FakeSoundOutput.h"
#include "tests/support/TempFolder.h"

using mc::test::FakeSoundOutput;
using mc::test::FakeSoundState;
using mc::test::TempFolder;

namespace {

std::vector<std::uint8_t> filled(std::size_t length, std::uint8_t value) {
  return std::vector<std::uint8_t>(length, value);
}

struct PlayFixture : ::testing::Test {
  TempFolder folder;  // the play thread's log goes here
  std::shared_ptr<FakeSoundState> device = std::make_shared<FakeSoundState>();
  std::shared_ptr<AudioLogic> logic;

  void SetUp() override {
    setApplicationFolder(folder.path());
    device->completeAtOnce = true;
  }
  void TearDown() override {
    if (logic) logic->stop();
  }
  void start() { logic = AudioLogic::create(std::make_unique<FakeSoundOutput>(device)); }

  void enqueue(const std::vector<std::uint8_t>& pcm, std::uint32_t rate, int channels = 1, int bits = 16) {
    logic->EnqueuePcm(pcm.data(), static_cast<std::uint32_t>(pcm.size()), rate, bits, channels);
  }
  bool playedAtLeast(std::uint64_t records) {
    for (int i = 0; i < 500; ++i) {
      if (logic->stats().played + logic->stats().droppedNoDevice >= records) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return false;
  }
};

TEST_F(PlayFixture, EnqueueReturnsWhileTheDeviceHangsAndKeepsAtMostTenRecords) {
  device->holdOpen = true;
  start();
  enqueue(filled(640, 0), 8000);
  ASSERT_TRUE(device->waitUntil([&] { return device->inOpen; })) << "the play thread should be opening the device";

  // The play thread is stuck in open with record 0; ten more fit, the rest
  // are dropped, and none of these calls waits for the device.
  for (std::uint8_t i = 1; i <= 15; ++i) enqueue(filled(640, i), 8000);
  EXPECT_EQ(logic->stats().queued, 11u);
  EXPECT_EQ(logic->stats().droppedQueueFull, 5u);

  device->releaseOpen();
  ASSERT_TRUE(playedAtLeast(11));
  const auto played = device->playedBytes();
  // 11 × 640 bytes: six whole blocks submitted, the rest waits in the seventh.
  ASSERT_EQ(played.size(), 6 * AudioBlockRing::kBlockBytes);
  for (std::size_t i = 0; i < played.size(); ++i)
    ASSERT_EQ(played[i], i / 640) << "byte " << i << ": records must play in order, records 11-15 not at all";
}

struct FormatChangeCase {
  const char* name;
  PcmFormat first;
  PcmFormat second;
  bool reopens;
};
void PrintTo(const FormatChangeCase& c, std::ostream* out) { *out << c.name; }

class FormatChange : public PlayFixture, public ::testing::WithParamInterface<FormatChangeCase> {};

TEST_P(FormatChange, ReopensTheDeviceBeforeTheNewFormatPlays) {
  const FormatChangeCase& c = GetParam();
  start();
  logic->EnqueuePcm(filled(2048, 0x11).data(), 2048, c.first.sampleRate, c.first.bitsPerSample, c.first.channels);
  ASSERT_TRUE(playedAtLeast(1));
  logic->EnqueuePcm(filled(2048, 0x22).data(), 2048, c.second.sampleRate, c.second.bitsPerSample,
                    c.second.channels);
  ASSERT_TRUE(playedAtLeast(2));

  std::lock_guard lock(device->mutex);
  std::vector<std::string> expected{"open " + mc::test::formatText(c.first), "submit 0", "submit 1"};
  if (c.reopens) {
    expected.insert(expected.end(), {"close", "open " + mc::test::formatText(c.second), "submit 0", "submit 1"});
  } else {
    expected.insert(expected.end(), {"submit 2", "submit 3"});
  }
  EXPECT_EQ(device->events, expected);
  for (const auto& block : device->submitted) {
    const int expectedByte = c.reopens ? (block.openNumber == 1 ? 0x11 : 0x22) : (block.block < 2 ? 0x11 : 0x22);
    EXPECT_EQ(block.bytes, filled(1024, static_cast<std::uint8_t>(expectedByte))) << "block " << block.block << " of open " << block.openNumber;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FormatChange,
    ::testing::Values(FormatChangeCase{"SampleRate8kTo16k", {8000, 16, 1}, {16000, 16, 1}, true},
                      FormatChangeCase{"MonoToStereo", {8000, 16, 1}, {8000, 16, 2}, true},
                      FormatChangeCase{"SampleWidth", {8000, 16, 1}, {8000, 8, 1}, true},
                      FormatChangeCase{"SameFormatKeepsTheDevice", {16000, 16, 1}, {16000, 16, 1}, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(PlayFixture, ARefusedOpenDiscardsThatRecordAndTheNextRecordRetries) {
  device->refuseOpens = 1;
  start();
  enqueue(filled(1024, 0x11), 8000);
  ASSERT_TRUE(playedAtLeast(1));
  enqueue(filled(1024, 0x22), 8000);
  ASSERT_TRUE(playedAtLeast(2));
  EXPECT_EQ(device->playedBytes(), filled(1024, 0x22));
  EXPECT_EQ(logic->stats().openFailures, 1u);
  EXPECT_EQ(logic->stats().droppedNoDevice, 1u);
  EXPECT_EQ(logic->stats().opens, 1u);
}

TEST_F(PlayFixture, AFailedSwitchToANewFormatDoesNotSilenceTheOldOne) {
  start();
  enqueue(filled(1024, 0x11), 8000);
  ASSERT_TRUE(playedAtLeast(1));
  {
    std::lock_guard lock(device->mutex);
    device->refuseOpens = 1;
  }
  enqueue(filled(1024, 0x22), 44100);  // refused
  ASSERT_TRUE(playedAtLeast(2));
  enqueue(filled(1024, 0x33), 8000);  // the old format again: must open anew
  ASSERT_TRUE(playedAtLeast(3));
  std::vector<std::uint8_t> expected = filled(1024, 0x11);
  const auto third = filled(1024, 0x33);
  expected.insert(expected.end(), third.begin(), third.end());
  EXPECT_EQ(device->playedBytes(), expected);
  std::lock_guard lock(device->mutex);
  EXPECT_EQ(device->events, (std::vector<std::string>{"open 8000/16/1", "submit 0", "close", "refused 44100/16/1",
                                                      "open 8000/16/1", "submit 0"}));
}

TEST_F(PlayFixture, ADeviceThatFailsWhilePlayingIsReopenedForTheNextRecord) {
  start();
  enqueue(filled(1024, 0x11), 8000);
  ASSERT_TRUE(playedAtLeast(1));
  {
    std::lock_guard lock(device->mutex);
    device->refuseSubmits = 1;  // the sound server went away
  }
  enqueue(filled(1024, 0x22), 8000);
  ASSERT_TRUE(playedAtLeast(2));
  enqueue(filled(1024, 0x33), 8000);
  ASSERT_TRUE(playedAtLeast(3));
  std::lock_guard lock(device->mutex);
  EXPECT_EQ(device->opens, 2);
  ASSERT_FALSE(device->submitted.empty());
  EXPECT_EQ(device->submitted.back().bytes, filled(1024, 0x33));
}

TEST_F(PlayFixture, AFullRingDropsTheRestOfTheRecordAndCountsIt) {
  device->completeAtOnce = false;  // the device holds every block
  start();
  // 25 records of 1024 bytes: the first 20 fill the ring, the rest find it busy.
  for (int i = 0; i < 25; ++i) {
    enqueue(filled(1024, static_cast<std::uint8_t>(i)), 8000);
    ASSERT_TRUE(playedAtLeast(static_cast<std::uint64_t>(i + 1)));
  }
  EXPECT_EQ(logic->stats().bytesWritten, 20u * 1024);
  EXPECT_EQ(logic->stats().bytesDroppedRingFull, 5u * 1024);
  device->complete(0);
  enqueue(filled(1024, 0x77), 8000);
  ASSERT_TRUE(playedAtLeast(26));
  std::lock_guard lock(device->mutex);
  ASSERT_EQ(device->submitted.size(), 21u);
  EXPECT_EQ(device->submitted.back().block, 0u);
  EXPECT_EQ(device->submitted.back().bytes, filled(1024, 0x77));
}

TEST_F(PlayFixture, StopClosesTheDeviceAndIgnoresLaterPcm) {
  start();
  enqueue(filled(1024, 1), 8000);
  ASSERT_TRUE(playedAtLeast(1));
  logic->stop();
  enqueue(filled(1024, 2), 8000);
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  std::lock_guard lock(device->mutex);
  EXPECT_EQ(device->events.back(), "close");
  EXPECT_EQ(device->submitted.size(), 1u);
}

TEST(StreamAudioData, KeepsItsBufferWhileTheLengthStaysTheSame) {
  StreamAudioData record;
  record.set(2048, 8000, 16, 1);
  const std::uint8_t* first = record.data.get();
  record.set(2048, 16000, 16, 2);
  EXPECT_EQ(record.data.get(), first);
  EXPECT_EQ(record.sampleRate, 16000u);
  EXPECT_EQ(record.channels, 2);
  record.set(4096, 16000, 16, 2);
  EXPECT_EQ(record.length, 4096u);
  record.data[4095] = 1;  // the new size is really there (ASan would see an overflow)
}

}  // namespace
