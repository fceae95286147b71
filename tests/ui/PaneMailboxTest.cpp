// The picture hand-over between a camera's dispatch thread and its pane.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <thread>

#include "ui/video/PaneFrameMailbox.h"

namespace {

// Every byte of the picture carries the low byte of its sequence number, so
// a torn copy shows.
void stamp(Yv12Picture& picture, int width, int height, std::uint64_t sequence) {
  picture.resize(width, height);
  std::memset(picture.data(), static_cast<int>(sequence & 0xFF), picture.size());
}

bool intact(const PresentedFrame& frame) {
  const auto expected = static_cast<std::uint8_t>(frame.sequence & 0xFF);
  for (std::size_t i = 0; i < frame.picture.size(); ++i)
    if (frame.picture.data()[i] != expected) return false;
  return true;
}

TEST(PaneFrameMailbox, TheReaderGetsWholePicturesInOrderWhileTheWriterRuns) {
  PaneFrameMailbox mailbox;
  constexpr std::uint64_t kPictures = 3000;
  std::atomic<bool> done{false};
  std::thread writer([&] {
    for (std::uint64_t i = 1; i <= kPictures; ++i) {
      // Sizes change now and then, as when a camera switches resolution.
      const int width = i % 500 < 250 ? 64 : 96;
      stamp(mailbox.writeBuffer(), width, width / 2, i);
      mailbox.publish(PixelRect{0, 0, width, width / 2}, DisplayTrims{});
    }
    done = true;
  });
  std::uint64_t last = 0;
  int torn = 0, backwards = 0, badSource = 0;
  while (!done || last < kPictures) {
    mailbox.noticeTaken();
    const PresentedFrame* frame = mailbox.take();
    if (!frame) continue;
    if (frame->sequence < last) ++backwards;
    if (frame->sequence != last) {
      if (!intact(*frame)) ++torn;
      if (frame->source.right != frame->picture.width()) ++badSource;
    }
    last = frame->sequence;
  }
  writer.join();
  EXPECT_EQ(torn, 0);
  EXPECT_EQ(backwards, 0);
  EXPECT_EQ(badSource, 0) << "a picture travels with its own source rectangle";
  EXPECT_EQ(last, kPictures) << "the newest picture is the one left";
  const PaneVideoStats stats = mailbox.stats();
  EXPECT_EQ(stats.presented, kPictures);
  EXPECT_EQ(stats.taken + stats.replaced, kPictures) << "every picture is either drawn or counted as dropped";
}

TEST(PaneFrameMailbox, ThePaneIsToldOnceUntilItTakesTheNotice) {
  PaneFrameMailbox mailbox;
  stamp(mailbox.writeBuffer(), 8, 8, 1);
  EXPECT_TRUE(mailbox.publish({0, 0, 8, 8}, {}));
  stamp(mailbox.writeBuffer(), 8, 8, 2);
  EXPECT_FALSE(mailbox.publish({0, 0, 8, 8}, {})) << "a notice is already on its way";
  EXPECT_FALSE(mailbox.clear());
  mailbox.noticeTaken();
  EXPECT_EQ(mailbox.take(), nullptr) << "cleared: nothing to show";
  stamp(mailbox.writeBuffer(), 8, 8, 3);
  EXPECT_TRUE(mailbox.publish({0, 0, 8, 8}, {}));
  mailbox.noticeLost();  // the pane was gone
  stamp(mailbox.writeBuffer(), 8, 8, 4);
  EXPECT_TRUE(mailbox.publish({0, 0, 8, 8}, {})) << "a lost notice is sent again with the next picture";
  mailbox.noticeTaken();
  const PresentedFrame* frame = mailbox.take();
  ASSERT_NE(frame, nullptr);
  EXPECT_EQ(frame->sequence, 4u);
  EXPECT_TRUE(intact(*frame));
  EXPECT_EQ(mailbox.stats().replaced, 2u) << "pictures 1 and 3 were replaced unseen (2 was cleared)";
}

TEST(PaneFrameMailbox, ATakenPictureStaysUntilTheNextTake) {
  PaneFrameMailbox mailbox;
  stamp(mailbox.writeBuffer(), 16, 16, 5);
  mailbox.publish({0, 0, 16, 16}, DisplayTrims{1, 2, 3, 4});
  const PresentedFrame* frame = mailbox.take();
  ASSERT_NE(frame, nullptr);
  // Two more pictures go in while the reader still draws the first.
  for (std::uint64_t s = 6; s <= 7; ++s) {
    stamp(mailbox.writeBuffer(), 16, 16, s);
    mailbox.publish({0, 0, 16, 16}, {});
  }
  EXPECT_EQ(frame->sequence, 1u);
  EXPECT_EQ(frame->picture.data()[0], 5) << "the reader's buffer was not written";
  EXPECT_EQ(frame->trims.right, 4);
  EXPECT_EQ(mailbox.take()->sequence, 3u);
  EXPECT_EQ(mailbox.take()->sequence, 3u) << "taking again without news keeps the picture";
}

}  // namespace
