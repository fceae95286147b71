#pragma once
#include <atomic>
#include <memory>

#include "media/IRenderTarget.h"

class PaneFrameMailbox;

// The render target of one pane window (a VideoPaneWidget), made by the
// display handler of each camera through the installed factory.
//
// How the program uses it: after the QApplication exists and
// ui::installPostMessageHook() has run, call installPaneRenderTargets() once;
// from then on every live or playback view opened into a pane's handle
// (VideoPaneWidget::handle(), the window given to CMainLogic::openLive or
// startPlayback) draws into that pane. Nothing else is needed: the pane
// shows the pictures, erases them when the view stops, and receives the
// display's MSG_PANE_LOADED at its HandleMessage.
//
// Threads: Open, Close, Render, SetSourceRect, Present and Erase run on the
// camera's dispatch thread and only copy the picture's planes into the
// pane's mailbox; the pane is told by a posted message (at most one on its
// way) and draws on the UI thread. A pane that is gone just drops the
// notices. Geometry is exact on the UI thread (the wheel zoom) and the
// pane's last reported geometry elsewhere.
class PaneRenderTarget : public IRenderTarget {
 public:
  explicit PaneRenderTarget(mc::WindowHandle window);
  // Clears the pane when this target's picture is still shown there.
  ~PaneRenderTarget() override;

  bool Open(int format, mc::WindowHandle window, int width, int height, const DisplayTrims& trims) override;
  void Close() override;
  bool Render(const std::uint8_t* picture, int width, int height) override;
  bool SetSourceRect(int top, int bottom, int left, int right) override;
  bool Present() override;
  void SetTrims(const DisplayTrims& trims) override;
  void Erase() override;
  WindowGeometry Geometry() const override;

  const std::shared_ptr<PaneFrameMailbox>& mailbox() const { return mailbox_; }

 private:
  bool OpenFor(int width, int height);
  void tellPane(bool needed);

  const std::shared_ptr<PaneFrameMailbox> mailbox_;
  std::atomic<mc::WindowHandle> window_;
  int format_ = kFormatYv12;
  int width_ = 0;  // open size
  int height_ = 0;
  bool open_ = false;
  bool rendered_ = false;  // a picture was copied since the last Present
  PixelRect source_;
  DisplayTrims trims_;
};

// The factory for setRenderTargetFactory: a PaneRenderTarget for each pane
// window. Callable from any thread.
RenderTargetFactory paneRenderTargetFactory();
// setRenderTargetFactory(paneRenderTargetFactory()).
void installPaneRenderTargets();
