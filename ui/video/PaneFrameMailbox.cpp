#include "ui/video/PaneFrameMailbox.h"

#include <utility>

bool PaneFrameMailbox::publish(const PixelRect& source, const DisplayTrims& trims) {
  {
    std::lock_guard lock(mutex_);
    PresentedFrame& frame = frames_[write_];
    frame.source = source;
    frame.trims = trims;
    frame.sequence = ++sequence_;
    std::swap(write_, pending_);
    if (fresh_) ++stats_.replaced;
    fresh_ = true;
    cleared_ = false;
    ++stats_.presented;
  }
  return !noticePending_.exchange(true);
}

bool PaneFrameMailbox::clear() {
  {
    std::lock_guard lock(mutex_);
    cleared_ = true;
    fresh_ = false;
  }
  return !noticePending_.exchange(true);
}

bool PaneFrameMailbox::hasPicture() const {
  std::lock_guard lock(mutex_);
  return !cleared_;
}

const PresentedFrame* PaneFrameMailbox::take() {
  std::lock_guard lock(mutex_);
  if (cleared_) return nullptr;
  if (fresh_) {
    std::swap(front_, pending_);
    fresh_ = false;
    ++stats_.taken;
  }
  return frames_[front_].sequence ? &frames_[front_] : nullptr;
}

PaneVideoStats PaneFrameMailbox::stats() const {
  std::lock_guard lock(mutex_);
  return stats_;
}

void PaneFrameMailbox::setGeometry(const WindowGeometry& geometry) {
  std::lock_guard lock(mutex_);
  geometry_ = geometry;
}

WindowGeometry PaneFrameMailbox::geometry() const {
  std::lock_guard lock(mutex_);
  return geometry_;
}
