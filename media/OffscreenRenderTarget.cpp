#include "media/OffscreenRenderTarget.h"

#include <algorithm>
#include <cstring>

OffscreenRenderTarget::OffscreenRenderTarget(int clientWidth, int clientHeight, int screenLeft, int screenTop)
    : geometry_{screenLeft, screenTop, clientWidth, clientHeight} {}

bool OffscreenRenderTarget::Open(int format, mc::WindowHandle window, int width, int height,
                                 const DisplayTrims& trims) {
  std::lock_guard lock(mutex_);
  state_.trims = trims;
  return OpenLocked(format, window, width, height);
}

bool OffscreenRenderTarget::OpenLocked(int format, mc::WindowHandle window, int width, int height) {
  window_ = window;
  format_ = format;
  state_.width = width;
  state_.height = height;
  if (window == mc::kNoWindow || window == static_cast<mc::WindowHandle>(-1)) return false;
  if (format != kFormatYv12 || width <= 0 || height <= 0 || width % 2 || height % 2) return false;
  picture_.resize(width, height);
  state_.open = true;
  state_.sourceRect = PixelRect{0, 0, width, height};
  ++state_.opens;
  return true;
}

void OffscreenRenderTarget::Close() {
  std::lock_guard lock(mutex_);
  CloseLocked();
}

void OffscreenRenderTarget::CloseLocked() {
  if (!state_.open) return;
  state_.open = false;
  ++state_.closes;
}

bool OffscreenRenderTarget::Render(const std::uint8_t* picture, int width, int height) {
  std::lock_guard lock(mutex_);
  if (width != state_.width || height != state_.height) {
    CloseLocked();
    OpenLocked(format_, window_, width, height);
  }
  if (!state_.open || !picture) return true;
  std::memcpy(picture_.data(), picture, picture_.size());
  state_.sourceRect = PixelRect{0, 0, width, height};
  ++state_.renders;
  return true;
}

bool OffscreenRenderTarget::SetSourceRect(int top, int bottom, int left, int right) {
  std::lock_guard lock(mutex_);
  const PixelRect rect{left, top, right, bottom};
  if (!isValidSourceRect(rect, state_.width, state_.height)) return false;
  state_.sourceRect = rect;
  return true;
}

bool OffscreenRenderTarget::Present() {
  std::lock_guard lock(mutex_);
  if (!state_.open || failPresents_) return false;
  state_.lastDestination = destinationRect(geometry_, state_.trims);
  presentedRect_ = state_.sourceRect;
  ++state_.presents;
  return true;
}

void OffscreenRenderTarget::SetTrims(const DisplayTrims& trims) {
  std::lock_guard lock(mutex_);
  state_.trims = trims;
}

void OffscreenRenderTarget::Erase() {
  std::lock_guard lock(mutex_);
  ++state_.erases;
}

WindowGeometry OffscreenRenderTarget::Geometry() const {
  std::lock_guard lock(mutex_);
  return geometry_;
}

void OffscreenRenderTarget::SetGeometry(const WindowGeometry& geometry) {
  std::lock_guard lock(mutex_);
  geometry_ = geometry;
}

void OffscreenRenderTarget::FailPresents(bool fail) {
  std::lock_guard lock(mutex_);
  failPresents_ = fail;
}

OffscreenRenderTarget::Snapshot OffscreenRenderTarget::state() const {
  std::lock_guard lock(mutex_);
  return state_;
}

Yv12Picture OffscreenRenderTarget::lastPicture() const {
  std::lock_guard lock(mutex_);
  if (state_.renders == 0) return {};
  return picture_;
}

Yv12Picture OffscreenRenderTarget::presentedPicture() const {
  std::lock_guard lock(mutex_);
  const PixelRect r = presentedRect_;
  if (state_.presents == 0 || r.width() <= 0 || r.height() <= 0) return {};
  // Chroma is cut on even picture coordinates.
  const int left = r.left & ~1, top = r.top & ~1;
  const int width = (r.right - left) & ~1, height = (r.bottom - top) & ~1;
  Yv12Picture out(width, height);
  const Yv12View in = picture_.view();
  for (int y = 0; y < height; ++y)
    std::memcpy(out.luma() + static_cast<std::size_t>(y) * width,
                in.luma() + static_cast<std::size_t>(top + y) * in.width + left, static_cast<std::size_t>(width));
  const int cw = width / 2, ch = height / 2, inCw = in.width / 2;
  for (int y = 0; y < ch; ++y) {
    const std::size_t from = static_cast<std::size_t>(top / 2 + y) * inCw + left / 2;
    std::memcpy(out.cr() + static_cast<std::size_t>(y) * cw, in.cr() + from, static_cast<std::size_t>(cw));
    std::memcpy(out.cb() + static_cast<std::size_t>(y) * cw, in.cb() + from, static_cast<std::size_t>(cw));
  }
  return out;
}
