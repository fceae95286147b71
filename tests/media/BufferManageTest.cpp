#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <vector>

#include "media/CBufferManage.h"
#include "media/FrameHeader.h"

namespace {

using namespace mc::media;

// A CBufferManage on a clock the test moves.
class BuffersOnTestClock : public ::testing::Test {
 protected:
  std::uint32_t now = 10'000;
  CBufferManage buffers{[this] { return now; }};

  // Queues a video frame; the sender's clock equals ours unless `timestamp`
  // is given (offset 0).
  void pushVideo(std::uint32_t sequence, bool key, std::uint32_t timestamp, std::uint32_t length = 100) {
    VideoFramePtr frame = buffers.AcquireVideoFrame(length);
    frame->header[0] = kTagLiveVideo << 16;
    frame->header[1] = timestamp;
    frame->header[2] = length;
    frame->header[3] = sequence;
    frame->header[4] = makePictureWord(352, 288, key);
    ASSERT_TRUE(buffers.PushVideoFrame(std::move(frame)));
  }

  // Pops after the hold window has passed for frames stamped `now`.
  std::vector<std::uint32_t> popAllDue() {
    std::vector<std::uint32_t> released;
    for (int i = 0; i < 1000 && buffers.videoQueued() > 0; ++i) {
      if (VideoFramePtr frame = buffers.PopVideoFrame()) {
        released.push_back(frame->sequence());
        buffers.ReleaseVideoFrame(std::move(frame));
      }
    }
    return released;
  }
};

TEST_F(BuffersOnTestClock, HoldWindowHoldsFramesWithinHalfASecondEitherWay) {
  struct Case {
    std::int32_t senderAhead;  // timestamp minus the offset clock's now, ms
    bool released;
  };
  const Case cases[] = {
      {0, false},    {-500, false}, {500, false}, {-501, true}, {501, true},
      {-600, true},  {600, true},   {250, false}, {-100000, true}, {100000, true},
  };
  for (const Case& c : cases) {
    CBufferManage fresh([this] { return now; });
    fresh.SetClockOffset(1234);
    VideoFramePtr frame = fresh.AcquireVideoFrame(10);
    frame->header[1] = now - 1234u + static_cast<std::uint32_t>(c.senderAhead);
    frame->header[3] = 1;
    fresh.PushVideoFrame(std::move(frame));
    EXPECT_EQ(fresh.PopVideoFrame() != nullptr, c.released) << "sender ahead by " << c.senderAhead << " ms";
    EXPECT_EQ(fresh.videoQueued(), c.released ? 0u : 1u);
  }
}

TEST_F(BuffersOnTestClock, HeldFrameIsReleasedOnTheFirstPassMoreThan500msLater) {
  buffers.SetClockOffset(static_cast<std::int32_t>(now - 777));
  pushVideo(1, true, 777);  // due exactly now on the offset clock
  for (int passed = 0; passed <= 500; passed += 10) {
    now = 10'000 + static_cast<std::uint32_t>(passed);
    EXPECT_EQ(buffers.PopVideoFrame(), nullptr) << passed << " ms";
  }
  now = 10'501;
  EXPECT_NE(buffers.PopVideoFrame(), nullptr);
}

TEST_F(BuffersOnTestClock, HoldWindowWorksAcrossTheTickCountWrap) {
  now = 0xFFFF'FF00u;
  buffers.SetClockOffset(static_cast<std::int32_t>(now - 5000u));
  pushVideo(1, true, 5000);
  now += 400;  // wrapped past zero
  EXPECT_EQ(buffers.PopVideoFrame(), nullptr);
  now += 101;
  EXPECT_NE(buffers.PopVideoFrame(), nullptr);
}

TEST_F(BuffersOnTestClock, FramesAfterASequenceGapAreDroppedUntilTheNextKeyFrame) {
  // Frames stamped 1 s in the past are all due at once.
  const std::uint32_t past = now - 1000;
  pushVideo(5, true, past);
  pushVideo(7, false, past);  // 6 was lost
  pushVideo(8, false, past);
  pushVideo(9, true, past);
  pushVideo(10, false, past);
  pushVideo(12, true, past);  // a gap onto a key frame is fine
  EXPECT_EQ(popAllDue(), (std::vector<std::uint32_t>{5, 9, 10, 12}));
  EXPECT_EQ(buffers.stats().videoDiscontinuous, 2u);
}

TEST_F(BuffersOnTestClock, SequenceContinuityWrapsAround) {
  const std::uint32_t past = now - 1000;
  pushVideo(0xFFFF'FFFEu, true, past);
  pushVideo(0xFFFF'FFFFu, false, past);
  pushVideo(0, false, past);
  EXPECT_EQ(popAllDue(), (std::vector<std::uint32_t>{0xFFFF'FFFEu, 0xFFFF'FFFFu, 0}));
}

TEST_F(BuffersOnTestClock, ClearVideoForgetsTheLastSequence) {
  const std::uint32_t past = now - 1000;
  pushVideo(41, true, past);
  EXPECT_EQ(popAllDue().size(), 1u);
  buffers.ClearVideo();
  pushVideo(100, false, past);  // would be a gap without the clear
  EXPECT_EQ(popAllDue(), (std::vector<std::uint32_t>{100}));
}

TEST_F(BuffersOnTestClock, FullQueueIsTrimmedToTheNextKeyFrame) {
  // 100 queued (held), the key frame 40th.
  for (std::uint32_t i = 1; i <= 100; ++i) pushVideo(i, i == 40, now);
  const std::size_t pooledBefore = buffers.videoPooled();
  pushVideo(101, false, now);
  EXPECT_EQ(buffers.videoQueued(), 62u);  // the key frame, 60 after it, the new one
  EXPECT_EQ(buffers.videoPooled(), pooledBefore + 39);
  EXPECT_EQ(buffers.stats().videoTrimmed, 39u);

  now += 1000;
  const std::vector<std::uint32_t> released = popAllDue();
  ASSERT_FALSE(released.empty());
  EXPECT_EQ(released.front(), 40u);
  EXPECT_EQ(released.back(), 101u);
}

TEST_F(BuffersOnTestClock, KeyFrameAtTheHeadDoesNotStopTheTrimming) {
  // A stalled consumer and a stream with a key frame every 25 frames: the
  // queue must stay bounded, and always start on a key frame after a trim.
  for (std::uint32_t i = 0; i < 1000; ++i) {
    pushVideo(i + 1, i % 25 == 0, now);
    ASSERT_LE(buffers.videoQueued(), CBufferManage::kQueueLimit + 25) << "after push " << i;
  }
  now += 1000;
  const std::vector<std::uint32_t> released = popAllDue();
  ASSERT_FALSE(released.empty());
  EXPECT_EQ((released.front() - 1) % 25, 0u) << "first frame after trimming is not a key frame";
  EXPECT_EQ(released.back(), 1000u);
  // Everything after the head key frame continues the sequence.
  for (std::size_t i = 1; i < released.size(); ++i) EXPECT_EQ(released[i], released[i - 1] + 1);
}

TEST_F(BuffersOnTestClock, FullQueueWithoutKeyFramesEmptiesAndWaitsForOne) {
  pushVideo(1, true, now - 1000);
  EXPECT_EQ(popAllDue(), (std::vector<std::uint32_t>{1}));
  for (std::uint32_t i = 2; i <= 101; ++i) pushVideo(i, false, now);
  pushVideo(102, false, now - 1000);
  EXPECT_EQ(buffers.videoQueued(), 1u) << "no key frame to keep: all 100 are trimmed";
  EXPECT_EQ(buffers.PopVideoFrame(), nullptr) << "102 does not follow 1";
  pushVideo(103, false, now - 1000);
  pushVideo(104, true, now - 1000);
  pushVideo(105, false, now - 1000);
  EXPECT_EQ(popAllDue(), (std::vector<std::uint32_t>{104, 105}));
}

TEST(BufferManage, AudioLengthLimits) {
  CBufferManage buffers;
  struct Case {
    std::int32_t length;
    bool accepted;
  };
  for (const Case& c : {Case{-1, false}, Case{0, false}, Case{1, true}, Case{102399, true}, Case{102400, false},
                        Case{512000, false}}) {
    AudioFramePtr frame = buffers.AcquireAudioFrame(c.length);
    EXPECT_EQ(frame != nullptr, c.accepted) << c.length;
    if (frame) {
      EXPECT_GE(frame->payload.size(), static_cast<std::size_t>(c.length));
    }
  }
}

TEST(BufferManage, FullAudioQueueLosesItsOldestFrameToThePool) {
  CBufferManage buffers;
  for (std::uint32_t i = 0; i < 101; ++i) {
    AudioFramePtr frame = buffers.AcquireAudioFrame(160);
    frame->header[1] = i;  // marks the frame
    buffers.PushAudioFrame(std::move(frame));
  }
  EXPECT_EQ(buffers.audioQueued(), 100u);
  EXPECT_EQ(buffers.audioPooled(), 1u);
  EXPECT_EQ(buffers.stats().audioOverflowed, 1u);
  AudioFramePtr oldest = buffers.PopAudioFrame();
  ASSERT_NE(oldest, nullptr);
  EXPECT_EQ(oldest->header[1], 1u);  // frame 0 went to the pool
}

TEST(BufferManage, AudioFramesComeOutInArrivalOrderAtOnce) {
  CBufferManage buffers;
  for (std::uint32_t i = 0; i < 5; ++i) {
    AudioFramePtr frame = buffers.AcquireAudioFrame(10);
    frame->header[1] = i;
    buffers.PushAudioFrame(std::move(frame));
  }
  for (std::uint32_t i = 0; i < 5; ++i) {
    AudioFramePtr frame = buffers.PopAudioFrame();
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->header[1], i);
  }
  EXPECT_EQ(buffers.PopAudioFrame(), nullptr);
}

TEST(BufferManage, RecycledRecordsKeepTheirCapacityAndComeBackCleared) {
  CBufferManage buffers;
  // Fill the video pool with large records.
  std::vector<VideoFramePtr> out;
  for (int i = 0; i < 3; ++i) {
    out.push_back(buffers.AcquireVideoFrame(200'000));
    std::memset(out.back()->payload.data(), 0xAB, out.back()->payload.size());
    out.back()->header.fill(0xFFFF'FFFFu);
  }
  const std::uint8_t* storage = out.back()->payload.data();
  for (auto& frame : out) buffers.ReleaseVideoFrame(std::move(frame));

  VideoFramePtr reused = buffers.AcquireVideoFrame(1000);
  EXPECT_EQ(reused->payload.data(), storage) << "a pooled record was not reused";
  EXPECT_GE(reused->payload.size(), 200'000u) << "a recycled record lost its capacity";
  for (std::uint32_t word : reused->header) EXPECT_EQ(word, 0u);
  for (std::size_t i = 1000; i < 1000 + kPayloadPadding; ++i) ASSERT_EQ(reused->payload[i], 0) << "padding at " << i;

  AudioFramePtr audio = buffers.AcquireAudioFrame(4000);
  audio->header.fill(7);
  const std::uint8_t* audioStorage = audio->payload.data();
  buffers.ReleaseAudioFrame(std::move(audio));
  AudioFramePtr again = buffers.AcquireAudioFrame(100);
  EXPECT_EQ(again->payload.data(), audioStorage);
  EXPECT_GE(again->payload.size(), 4000u);
  for (std::uint32_t word : again->header) EXPECT_EQ(word, 0u);
}

TEST(BufferManage, ClearDeletesQueuedAndPooledRecordsAndNullsAreIgnored) {
  CBufferManage buffers;
  for (int i = 0; i < 4; ++i) buffers.PushVideoFrame(buffers.AcquireVideoFrame(10));
  for (int i = 0; i < 3; ++i) buffers.ReleaseVideoFrame(buffers.AcquireVideoFrame(10));
  for (int i = 0; i < 4; ++i) buffers.PushAudioFrame(buffers.AcquireAudioFrame(10));
  buffers.ReleaseVideoFrame(nullptr);
  buffers.ReleaseAudioFrame(nullptr);
  EXPECT_FALSE(buffers.PushVideoFrame(nullptr));
  buffers.ClearVideo();
  buffers.ClearAudio();
  EXPECT_EQ(buffers.videoQueued() + buffers.videoPooled() + buffers.audioQueued() + buffers.audioPooled(), 0u);
}

TEST(FrameHeader, FieldsReadBackAsWritten) {
  struct Case {
    std::uint32_t width, height;
    bool key;
  };
  for (const Case& c : {Case{1920, 1080, true}, Case{352, 288, false}, Case{4095, 4095, true}, Case{0, 0, false}}) {
    const std::uint32_t word = makePictureWord(c.width, c.height, c.key);
    EXPECT_EQ(pictureWidth(word), c.width);
    EXPECT_EQ(pictureHeight(word), c.height);
    EXPECT_EQ(isKeyFrame(word), c.key);
  }
  EXPECT_EQ(payloadLength(0xFE00'0000u | 12345u), 12345u) << "bits 25-31 are not part of the length";

  const AudioFormat formats[] = {{8000, 16, 1, kCodecG711A}, {48000, 16, 2, kCodecAac}, {44100, -8, -1, -2}};
  for (const AudioFormat& format : formats) EXPECT_EQ(audioFormat(makeAudioFormatWord(format)), format);
  // Signed fields: bits per sample 0xF0 reads -16, channels 0xF -1, codec 0x8 -8.
  const AudioFormat odd = audioFormat(0x8FF0'1F40u);
  EXPECT_EQ(odd.sampleRate, 8000u);
  EXPECT_EQ(odd.bitsPerSample, -16);
  EXPECT_EQ(odd.channels, -1);
  EXPECT_EQ(odd.codec, -8);

  const RecordTime t = recordTime(makeRecordTimeWord({2014, 3, 15, 8, 5}));
  EXPECT_EQ(t.year, 2014);
  EXPECT_EQ(t.month, 3);
  EXPECT_EQ(t.day, 15);
  EXPECT_EQ(t.hour, 8);
  EXPECT_EQ(t.minute, 5);
  EXPECT_EQ(recordTime(2u | (3u << 6) | (15u << 10) | (8u << 15) | (5u << 20)).year, 2014);
}

}  // namespace
