#include "media/ZoomRect.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace mc::media {

namespace {

// Truncates toward zero, saturating far outside the int range.
int truncated(double value) {
  if (!std::isfinite(value)) return 0;
  value = std::clamp(value, static_cast<double>(std::numeric_limits<int>::min()),
                     static_cast<double>(std::numeric_limits<int>::max()));
  return static_cast<int>(value);
}

}  // namespace

ZoomRect zoomStep(const ZoomRect& current, int width, int height, double px, double py, std::int16_t delta) {
  if (width <= 0 || height <= 0) return current;
  const double w = width;
  const double h = height;
  const double hs = kZoomStepPixels;
  const double vs = h * kZoomStepPixels / w;

  ZoomRect next;
  if (delta > 0) {
    next.top = truncated(current.top + vs * py / h);
    next.bottom = truncated(current.bottom - vs * (h - py) / h);
    next.left = truncated(current.left + hs * px / w);
    next.right = truncated(current.right - hs * (w - px) / w);
  } else {
    next.top = truncated(current.top - vs * py / h);
    next.bottom = truncated(current.bottom + vs * (h - py) / h);
    next.left = truncated(current.left - hs * px / w);
    next.right = truncated(current.right + hs * (w - px) / w);
  }

  next.top = std::max(next.top, 0);
  next.bottom = std::clamp(next.bottom, 0, height);
  next.left = std::max(next.left, 0);
  next.right = std::clamp(next.right, 0, width);

  if (next.top > height || next.left > width || next.top >= next.bottom || next.left >= next.right) return current;
  return next;
}

}  // namespace mc::media
