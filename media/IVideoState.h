#pragma once
#include <atomic>

// The pane's wishes, read by the media handlers on every frame: a plain base
// of the camera object. The interface thread writes the flags, the camera's
// dispatch thread reads them (and clears some); all accesses are sequentially
// consistent atomics, no further ordering is implied.
class IVideoState {
 public:
  std::atomic<bool> recording{false};          // write the stream to an MP4 file
  std::atomic<bool> zooming{false};            // show only the zoom rectangle
  std::atomic<bool> talking{false};            // talk-back active (tool bar icon only)
  std::atomic<bool> snapshotRequested{false};  // write the next decoded picture to a JPEG

  // Flips `flag` atomically and returns the new value (the pane tool bar's
  // toggles).
  static bool flip(std::atomic<bool>& flag) {
    bool old = flag.load();
    while (!flag.compare_exchange_weak(old, !old)) {
    }
    return !old;
  }

 protected:
  IVideoState() = default;
  ~IVideoState() = default;
};
