#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "media/Yv12Picture.h"

struct AVCodecContext;

namespace mc::test {

// One encoded access unit in Annex B form.
struct AccessUnit {
  std::vector<std::uint8_t> bytes;
  bool key = false;
};

// Encodes YV12 pictures the way a camera does: libx264 through libavcodec,
// no B-frames, zero-latency tuning, one slice per picture, parameter sets
// before every IDR, each picture's access unit out at once.
class H264TestEncoder {
 public:
  H264TestEncoder(int width, int height, int keyInterval = 25, int crf = 12);
  ~H264TestEncoder();
  H264TestEncoder(const H264TestEncoder&) = delete;
  H264TestEncoder& operator=(const H264TestEncoder&) = delete;

  // Throws std::runtime_error with libavcodec's text on failure.
  AccessUnit encode(const Yv12Picture& picture);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

// A test picture: a luma gradient with bright and dark squares that move
// with `index`, chroma in four quadrants of distinct Cb and Cr values.
Yv12Picture makeTestPicture(int width, int height, int index = 0);

// A picture with detail everywhere, like a camera's view of a street: fixed
// noise texture under a pattern that pans by `index`, so encoded streams have
// camera-like sizes and decode costs.
Yv12Picture makeBusyPicture(int width, int height, int index = 0);

// A picture of one colour.
Yv12Picture makeFlatPicture(int width, int height, std::uint8_t y, std::uint8_t cb, std::uint8_t cr);

// Mean and largest absolute difference of two planes of the same size.
struct PlaneDifference {
  double mean = 0;
  int largest = 0;
};
PlaneDifference compareBytes(const std::uint8_t* a, const std::uint8_t* b, std::size_t count);

// `count` access units of moving test pictures (busy ones when `busy`).
std::vector<AccessUnit> encodeTestStream(int width, int height, int count, int keyInterval = 25, bool busy = false,
                                         int crf = 12);

}  // namespace mc::test
