#pragma once
#include <cstdint>
#include <mutex>
#include <vector>

#include "media/IRenderTarget.h"
#include "media/Yv12Picture.h"

// A render target without a screen: keeps the last uploaded picture, the
// source rectangle and what was presented, so tests and the command-line tool
// can see what a pane would show. Safe to read from any thread.
class OffscreenRenderTarget : public IRenderTarget {
 public:
  struct Snapshot {
    bool open = false;
    int width = 0;  // open size
    int height = 0;
    PixelRect sourceRect;
    PixelRect lastDestination;  // client rectangle of the last Present
    DisplayTrims trims;
    std::uint64_t opens = 0;     // successful Open calls
    std::uint64_t closes = 0;
    std::uint64_t renders = 0;   // pictures uploaded
    std::uint64_t presents = 0;  // successful Present calls
    std::uint64_t erases = 0;
  };

  // `clientWidth` x `clientHeight` is the pretended size of the window's
  // client area at (screenLeft, screenTop).
  explicit OffscreenRenderTarget(int clientWidth = 704, int clientHeight = 576, int screenLeft = 0,
                                 int screenTop = 0);

  bool Open(int format, mc::WindowHandle window, int width, int height, const DisplayTrims& trims) override;
  void Close() override;
  bool Render(const std::uint8_t* picture, int width, int height) override;
  bool SetSourceRect(int top, int bottom, int left, int right) override;
  bool Present() override;
  void SetTrims(const DisplayTrims& trims) override;
  void Erase() override;
  WindowGeometry Geometry() const override;

  void SetGeometry(const WindowGeometry& geometry);
  // Makes the following Present calls fail (a lost display).
  void FailPresents(bool fail);

  Snapshot state() const;
  // A copy of the last uploaded picture (empty before the first).
  Yv12Picture lastPicture() const;
  // The last picture cut to the source rectangle of the last Present.
  Yv12Picture presentedPicture() const;

 private:
  bool OpenLocked(int format, mc::WindowHandle window, int width, int height);
  void CloseLocked();

  mutable std::mutex mutex_;
  WindowGeometry geometry_;
  mc::WindowHandle window_ = mc::kNoWindow;
  int format_ = kFormatYv12;
  bool failPresents_ = false;
  Snapshot state_;
  Yv12Picture picture_;
  PixelRect presentedRect_;
};
