#pragma once
#include <QImage>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "media/IRenderTarget.h"
#include "ui/video/VideoSurface.h"

struct SwsContext;

// The surface of a pane where no OpenGL context can be had: libswscale
// converts the source rectangle of each picture (BT.601, limited range) to
// RGB at the size it is drawn, and QPainter draws it into the pane less its
// trims. The conversion runs on the UI thread, once per new picture or size.
class PainterVideoSurface : public QWidget, public IVideoSurface {
 public:
  explicit PainterVideoSurface(QWidget* parent);
  ~PainterVideoSurface() override;

  QWidget* widget() override { return this; }
  VideoSurfaceKind kind() const override { return VideoSurfaceKind::Painter; }
  void setMailbox(std::shared_ptr<PaneFrameMailbox> mailbox) override;
  void frameArrived() override { update(); }
  QImage grabFrame() override { return grab().toImage(); }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  struct ScalerDeleter {
    void operator()(SwsContext* context) const;
  };

  bool convert(const PresentedFrame& frame, const QSize& size);

  std::shared_ptr<PaneFrameMailbox> mailbox_;
  std::unique_ptr<SwsContext, ScalerDeleter> scaler_;
  QImage converted_;
  std::uint64_t convertedSequence_ = 0;
  PixelRect convertedSource_;
  bool failureReported_ = false;
};
