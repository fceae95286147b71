#pragma once
#include <QOpenGLBuffer>
#include <QOpenGLFunctions>
#include <QOpenGLShaderProgram>
#include <QOpenGLWidget>
#include <cstdint>
#include <memory>

#include "ui/video/VideoSurface.h"

// The OpenGL surface of a pane: the three planes of each YV12 picture go
// into three one-channel textures, a fragment shader turns them into RGB
// (BT.601, limited range) and the GPU scales the source rectangle into the
// pane less its trims. Textures are reused until the picture size changes.
class GlVideoSurface : public QOpenGLWidget, public IVideoSurface, protected QOpenGLFunctions {
 public:
  explicit GlVideoSurface(QWidget* parent);
  ~GlVideoSurface() override;

  QWidget* widget() override { return this; }
  VideoSurfaceKind kind() const override { return VideoSurfaceKind::OpenGL; }
  void setMailbox(std::shared_ptr<PaneFrameMailbox> mailbox) override;
  void frameArrived() override { update(); }
  QImage grabFrame() override { return grabFramebuffer(); }

 protected:
  void initializeGL() override;
  void paintGL() override;

 private:
  void releaseGl();
  void upload(const PresentedFrame& frame);

  std::shared_ptr<PaneFrameMailbox> mailbox_;
  std::unique_ptr<QOpenGLShaderProgram> program_;
  QOpenGLBuffer vertices_{QOpenGLBuffer::VertexBuffer};
  unsigned textures_[3] = {0, 0, 0};  // luma, Cb, Cr
  int textureWidth_ = 0;
  int textureHeight_ = 0;
  unsigned planeFormat_ = 0;  // GL_RED where the context has it, else GL_LUMINANCE
  std::uint64_t uploaded_ = 0;  // sequence of the picture in the textures
  bool ready_ = false;
  QMetaObject::Connection contextGone_;  // releases the GL objects with the context
};
