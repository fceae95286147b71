#pragma once
#include "sim/MediaFrame.h"

namespace sim {

// Where a stream hands its frames: one relay link. The link decides, by its
// own backlog, whether a frame goes out or is dropped (a dropped picture makes
// it wait for the next key frame).
class MediaSink {
 public:
  virtual ~MediaSink() = default;
  virtual void sendVideo(const SharedBytes& frame, bool key) = 0;
  virtual void sendAudio(const SharedBytes& frame) = 0;
};

}  // namespace sim
