#pragma once
#include <cstdint>
#include <functional>
#include <memory>

#include "common/WindowMessage.h"

// Pixels cut from each edge of the pane window before the picture is drawn.
struct DisplayTrims {
  int top = 0;
  int bottom = 0;
  int left = 0;
  int right = 0;
};

// A rectangle by its edges (right and bottom exclusive).
struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;

  int width() const { return right - left; }
  int height() const { return bottom - top; }
  friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Where a pane window is: its client area in screen coordinates.
struct WindowGeometry {
  int screenLeft = 0;
  int screenTop = 0;
  int clientWidth = 0;
  int clientHeight = 0;
};

// Where the display handler draws: one pane window. The display handler
// opens it for a picture size, uploads each picture, chooses the part of the
// picture to show and presents it scaled into the window's client area less
// the trims. Open, Close, Render, SetSourceRect, Present and Erase run on the
// camera's dispatch thread (Erase after it has been joined); Geometry runs on
// the interface thread (mouse wheel zoom) and must be safe against the others.
class IRenderTarget {
 public:
  static constexpr int kFormatYv12 = 1;

  virtual ~IRenderTarget() = default;

  // Prepares for pictures of this size in `window`. A null window (0) or
  // window -1 fails; the trims are stored whatever the outcome.
  virtual bool Open(int format, mc::WindowHandle window, int width, int height, const DisplayTrims& trims) = 0;
  virtual void Close() = 0;
  // Uploads a YV12 picture; reopens first when its size differs from the open
  // size. The source rectangle becomes the whole picture. True when nothing
  // needed drawing (not open, no picture).
  virtual bool Render(const std::uint8_t* picture, int width, int height) = 0;
  // Shows only this part of the picture; rejected (false, rectangle kept)
  // unless 0 <= top < bottom <= height and 0 <= left < right <= width.
  virtual bool SetSourceRect(int top, int bottom, int left, int right) = 0;
  // Draws the source rectangle into the client area less the trims.
  virtual bool Present() = 0;
  virtual void SetTrims(const DisplayTrims& trims) = 0;
  // Clears the window so the last picture disappears.
  virtual void Erase() = 0;
  // The pane window's client area; zero sizes when unknown.
  virtual WindowGeometry Geometry() const = 0;
};

// True when `rect` is a valid source rectangle of a width x height picture.
inline bool isValidSourceRect(const PixelRect& rect, int width, int height) {
  return rect.left >= 0 && rect.top >= 0 && rect.right <= width && rect.bottom <= height && rect.top < rect.bottom &&
         rect.left < rect.right;
}

// The client area less the trims, in client coordinates (may be empty).
inline PixelRect destinationRect(const WindowGeometry& window, const DisplayTrims& trims) {
  return PixelRect{trims.left, trims.top, window.clientWidth - trims.right, window.clientHeight - trims.bottom};
}

// The program chooses once, at start-up, what each pane draws into (ui/
// installs its OpenGL target); until then, and in tests and the command-line
// tool, panes draw into offscreen targets.
using RenderTargetFactory = std::function<std::unique_ptr<IRenderTarget>(mc::WindowHandle window)>;

// Installs the factory; an empty function restores the offscreen default.
void setRenderTargetFactory(RenderTargetFactory factory);
// A new target for `window` from the installed factory.
std::unique_ptr<IRenderTarget> createRenderTarget(mc::WindowHandle window);
