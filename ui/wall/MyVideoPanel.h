#pragma once
#include <QImage>
#include <QTimer>
#include <memory>
#include <vector>

#include "link/CatalogueParam.h"
#include "ui/video/VideoPaneWidget.h"

class IPaneCameras;
class VideoPanelNotify;

// One pane of the video wall: a child window of the main window that the
// camera's display draws into (through its handle), with the camera record it
// holds (weakly: a pane whose record was released is free), the waiting
// animation "checking.gif" between MSG_PANE_LOADING and MSG_PANE_LOADED, and
// the mouse: press, release, double click and hover go to the wall; the
// wheel zooms the camera's picture while its digital zoom is on. UI thread.
class MyVideoPanel : public VideoPaneWidget {
  Q_OBJECT

 public:
  static constexpr int kAnimationMaxSide = 130;

  enum Kind { kLive = 0, kPlayback = 1 };

  // `animationFile` is the full path of "checking.gif".
  MyVideoPanel(VideoSurfaceKind surface, int kind, VideoPanelNotify* wall, std::shared_ptr<IPaneCameras> cameras,
               QString animationFile, QWidget* parent);
  ~MyVideoPanel() override;

  int index() const { return index_; }
  void setIndex(int index) { index_ = index; }

  // The camera shown, or null when the pane is free.
  SxtParamPtr camera() const { return camera_.lock(); }
  void setCamera(const SxtParamPtr& camera) { camera_ = camera; }
  bool isFree() const { return camera_.expired(); }

  bool isAnimating() const { return animating_; }
  int animationFrame() const { return frame_; }
  int animationFrameCount() const { return static_cast<int>(frames_.size()); }

 protected:
  void HandleMessage(const mc::WindowMessage& message) override;
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseDoubleClickEvent(QMouseEvent* event) override;
  void wheelEvent(QWheelEvent* event) override;
  bool event(QEvent* event) override;

 private:
  void startAnimation();
  void stopAnimation();
  bool loadAnimation();
  MyVideoPanel* paneUnder(const QPointF& globalPosition) const;

  int index_ = -1;
  const int kind_;
  VideoPanelNotify* const wall_;
  const std::shared_ptr<IPaneCameras> cameras_;
  std::weak_ptr<SxtParam> camera_;

  const QString animationFile_;
  bool animationLoaded_ = false;  // tried once
  std::vector<QImage> frames_;
  int firstDelayMs_ = 0;  // the frame-delay property of the first frame
  int frame_ = 0;
  bool animating_ = false;
  QTimer animationTimer_;
};
