#pragma once
#include <QImage>
#include <QWidget>
#include <memory>

#include "common/WindowMessage.h"
#include "media/IRenderTarget.h"
#include "ui/video/PaneFrameMailbox.h"
#include "ui/video/VideoSurface.h"

// A pane window that the media pipeline draws camera pictures into. It has a
// handle in the window registry from construction to destruction: that handle
// is the window given to the coordinator's openLive (or startPlayback), and
// the pane render target reaches the pane through it. Without video the
// pane shows its background colour; while a picture is presented its video
// surface covers it. Messages posted to the handle arrive at HandleMessage
// (MSG_PANE_LOADED from the display handler, for instance); the video
// notices of the render target are handled here. UI thread only.
class VideoPaneWidget : public QWidget {
  Q_OBJECT

 public:
  // Library-internal message: the render target's notice that its mailbox
  // (the payload) has a new picture or was cleared.
  static constexpr std::uint32_t kMsgVideoNotice = 0x8000 + 0x300;

  // `kind` comes from probeVideoSurfaceKind(), asked once for all panes.
  explicit VideoPaneWidget(VideoSurfaceKind kind, QWidget* parent = nullptr);
  ~VideoPaneWidget() override;

  mc::WindowHandle handle() const { return handle_; }
  VideoSurfaceKind surfaceKind() const { return surface_->kind(); }
  // Whether a picture is presented (the video surface is up).
  bool showsVideo() const;
  // Figures of the pictures presented since the current video began.
  PaneVideoStats videoStats() const;
  // The client area in screen coordinates.
  WindowGeometry clientGeometry() const;
  // What the pane shows now (its background, or its video), drawn afresh:
  // for tests and screenshots.
  QImage grabPane();

 protected:
  // Posted messages other than the video notices.
  virtual void HandleMessage(const mc::WindowMessage& message);

  bool event(QEvent* event) override;
  void paintEvent(QPaintEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void moveEvent(QMoveEvent* event) override;

 private:
  void onVideoNotice(const std::shared_ptr<PaneFrameMailbox>& mailbox);
  void publishGeometry();

  std::unique_ptr<IVideoSurface> surface_;
  std::shared_ptr<PaneFrameMailbox> mailbox_;  // the current video, or null
  mc::WindowHandle handle_ = mc::kNoWindow;
};

// The pane registered under `handle`, or null; UI thread. Finds the pane
// also when the handle belongs to an object inside it.
VideoPaneWidget* findVideoPane(mc::WindowHandle handle);
