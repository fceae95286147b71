#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>

#include "media/IRenderTarget.h"
#include "media/Yv12Picture.h"

// One presented picture: what a pane draws, the part of it to show and the
// trims of the pane window.
struct PresentedFrame {
  Yv12Picture picture;
  PixelRect source;
  DisplayTrims trims;
  std::uint64_t sequence = 0;  // 1, 2, ... in the order of presentation
};

// Figures of one mailbox since it was made.
struct PaneVideoStats {
  std::uint64_t presented = 0;  // pictures handed over by the display handler
  std::uint64_t taken = 0;      // of those, pictures the pane took for drawing
  std::uint64_t replaced = 0;   // pictures replaced by a newer one before the pane took them
};

// The hand-over of pictures from one camera's dispatch thread to its pane on
// the UI thread: three picture buffers, so neither side ever waits for the
// other's copy or upload. The writer fills the write buffer and publishes
// it; the reader takes the newest published picture. A picture the reader
// has not taken when the next one is published is dropped (counted).
//
// Threads: writeBuffer and publish belong to the dispatch thread (one writer);
// take and noticeTaken to the UI thread (one reader); clear, hasPicture,
// stats and the geometry to any thread.
class PaneFrameMailbox {
 public:
  PaneFrameMailbox() = default;
  PaneFrameMailbox(const PaneFrameMailbox&) = delete;
  PaneFrameMailbox& operator=(const PaneFrameMailbox&) = delete;

  // Writer. The buffer the next picture is copied into; the writer alone
  // touches it until publish.
  Yv12Picture& writeBuffer() { return frames_[write_].picture; }
  // Writer. Makes the write buffer the newest picture. True when the pane
  // must be told (no notice is on its way yet).
  bool publish(const PixelRect& source, const DisplayTrims& trims);

  // The pane shows nothing until the next publish. True when the pane must be
  // told.
  bool clear();
  // Whether a picture is to be shown (published and not cleared since).
  bool hasPicture() const;

  // Reader, first thing when a notice arrives: notices posted from now on are
  // for pictures published after this point.
  void noticeTaken() { noticePending_ = false; }
  // Reader. Null when the pane shows nothing; otherwise the newest picture,
  // which stays valid and unchanged until the next take.
  const PresentedFrame* take();
  // A notice that could not be delivered: the next publish tries again.
  void noticeLost() { noticePending_ = false; }

  PaneVideoStats stats() const;

  // The pane window's client area in screen coordinates, kept by the pane for
  // readers on other threads.
  void setGeometry(const WindowGeometry& geometry);
  WindowGeometry geometry() const;

 private:
  mutable std::mutex mutex_;  // guards the indexes, fresh_, cleared_, the figures and the geometry
  PresentedFrame frames_[3];
  int write_ = 0;    // the writer's buffer
  int pending_ = 1;  // the newest published picture while fresh_
  int front_ = 2;    // the reader's buffer
  bool fresh_ = false;
  bool cleared_ = true;
  std::uint64_t sequence_ = 0;
  PaneVideoStats stats_;
  WindowGeometry geometry_;
  std::atomic<bool> noticePending_{false};
};
