#pragma once
#include <cstring>
#include <memory>

#include "media/FrameHeader.h"
#include "media/StreamFrame.h"
#include "tests/support/H264TestStream.h"

namespace mc::test {

// A live video frame record carrying `unit`, as the stream link fills it.
inline VideoFramePtr makeVideoFrame(const AccessUnit& unit, int width, int height, std::uint32_t sequence,
                                    std::uint32_t timestamp = 0) {
  auto frame = std::make_unique<StreamVideoFrame>();
  growPayload(frame->payload, unit.bytes.size());
  std::memcpy(frame->payload.data(), unit.bytes.data(), unit.bytes.size());
  frame->header[0] = mc::media::kTagLiveVideo << 16;
  frame->header[1] = timestamp;
  frame->header[2] = static_cast<std::uint32_t>(unit.bytes.size());
  frame->header[3] = sequence;
  frame->header[4] = mc::media::makePictureWord(static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height),
                                                unit.key);
  return frame;
}

}  // namespace mc::test
