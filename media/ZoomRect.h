#pragma once
#include <cstdint>

#include "media/IRenderTarget.h"

// The part of the picture shown while a pane zooms, moved by the mouse wheel.
// Each wheel step takes 50 picture pixels off (zoom in) or adds them back
// (zoom out) horizontally, and as much vertically as keeps the picture's
// aspect ratio, split in proportion to the cursor position so the picture
// point under the cursor stays where it is.
namespace mc::media {

inline constexpr double kZoomStepPixels = 50.0;

struct ZoomRect {
  int top = 0;
  int bottom = 0;
  int left = 0;
  int right = 0;

  static ZoomRect whole(int width, int height) { return ZoomRect{0, height, 0, width}; }
  friend bool operator==(const ZoomRect&, const ZoomRect&) = default;
};

// One wheel step at the cursor position (px, py) in picture pixels of a
// width x height picture. Returns `current` unchanged when the step would
// leave no picture, or when the size is unknown.
ZoomRect zoomStep(const ZoomRect& current, int width, int height, double px, double py, std::int16_t delta);

}  // namespace mc::media
