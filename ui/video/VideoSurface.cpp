#include "ui/video/VideoSurface.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>

#include "ui/video/GlVideoSurface.h"
#include "ui/video/PaneFrameMailbox.h"
#include "ui/video/PainterVideoSurface.h"

namespace {

// Platforms without windows on a display: Qt offers no usable OpenGL widget
// there (the offscreen platform crashes when one is shown).
bool platformWithoutOpenGl() {
  const QString platform = QGuiApplication::platformName();
  return platform == QLatin1String("offscreen") || platform == QLatin1String("minimal") ||
         platform == QLatin1String("vnc") || platform == QLatin1String("linuxfb");
}

bool openGlContextWorks() {
  QOpenGLContext context;
  if (!context.create()) return false;
  QOffscreenSurface surface;
  surface.setFormat(context.format());
  surface.create();
  if (!surface.isValid() || !context.makeCurrent(&surface)) return false;
  const bool works = context.functions() != nullptr;
  context.doneCurrent();
  return works;
}

}  // namespace

VideoSurfaceKind probeVideoSurfaceKind() {
  const QByteArray forced = qgetenv("MC_VIDEO_SURFACE").toLower();
  if (forced == "painter") return VideoSurfaceKind::Painter;
  if (forced == "opengl") return VideoSurfaceKind::OpenGL;
  if (platformWithoutOpenGl()) return VideoSurfaceKind::Painter;
  return openGlContextWorks() ? VideoSurfaceKind::OpenGL : VideoSurfaceKind::Painter;
}

std::unique_ptr<IVideoSurface> createVideoSurface(VideoSurfaceKind kind, QWidget* parent) {
  if (kind == VideoSurfaceKind::OpenGL) return std::make_unique<GlVideoSurface>(parent);
  return std::make_unique<PainterVideoSurface>(parent);
}

QRect frameDestination(const PresentedFrame& frame, const QSize& surfaceSize) {
  const PixelRect r = destinationRect(WindowGeometry{0, 0, surfaceSize.width(), surfaceSize.height()}, frame.trims);
  if (r.width() <= 0 || r.height() <= 0) return {};
  return QRect(r.left, r.top, r.width(), r.height());
}
