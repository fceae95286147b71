#pragma once
#include <QColor>
#include <QImage>
#include <QRect>
#include <memory>

class PaneFrameMailbox;
struct PresentedFrame;
class QWidget;

// How pane pictures reach the screen.
enum class VideoSurfaceKind {
  OpenGL,   // three plane textures, YUV to RGB in a shader, scaled by the GPU
  Painter,  // libswscale converts and scales, QPainter draws (no OpenGL context)
};

// The surface a pane draws its pictures on: a child widget covering the
// pane, shown while the pane shows video. It draws the pane's background,
// then the frame's source rectangle scaled into the pane less the trims.
// UI thread only.
class IVideoSurface {
 public:
  virtual ~IVideoSurface() = default;

  virtual QWidget* widget() = 0;
  virtual VideoSurfaceKind kind() const = 0;
  // The mailbox pictures come from (null: none).
  virtual void setMailbox(std::shared_ptr<PaneFrameMailbox> mailbox) = 0;
  // A newer picture may be waiting: repaint soon.
  virtual void frameArrived() = 0;
  // What the surface shows now, drawn afresh.
  virtual QImage grabFrame() = 0;
};

// The colour of a pane without video (red 56, green 60, blue 60).
inline const QColor kPaneBackground(56, 60, 60);

// OpenGL when an OpenGL context with a hardware renderer can be had on this
// display, else the painter (no context at all, or a renderer that
// rasterises on the processor, where the painter costs less).
// MC_VIDEO_SURFACE=opengl or =painter in the environment forces one where
// the platform has OpenGL at all. UI thread, after the QApplication exists.
VideoSurfaceKind probeVideoSurfaceKind();

// A new surface of that kind, a child of `parent`.
std::unique_ptr<IVideoSurface> createVideoSurface(VideoSurfaceKind kind, QWidget* parent);

// The part of a surface `surfaceSize` large that a frame is drawn into: the
// whole surface less the frame's trims (empty when the trims leave nothing).
QRect frameDestination(const PresentedFrame& frame, const QSize& surfaceSize);
