#include "ui/video/VideoSurface.h"

#include <QGuiApplication>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>

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

// A renderer that rasterises on the processor (Mesa's llvmpipe, softpipe,
// swrast): there every pane's frame buffer and the window's composition cost
// processor time, and the painter surface is cheaper (16 CIF panes at 25
// pictures/s: the painter drew them all at under half the processor load
// with which llvmpipe dropped a quarter; see bench_pane_video).
bool isSoftwareRenderer(const QByteArray& renderer) {
  const QByteArray name = renderer.toLower();
  return name.contains("llvmpipe") || name.contains("softpipe") || name.contains("swrast") ||
         name.contains("software rasterizer");
}

// Whether an OpenGL context with a hardware renderer can be had.
bool hardwareOpenGl() {
  QOpenGLContext context;
  if (!context.create()) return false;
  QOffscreenSurface surface;
  surface.setFormat(context.format());
  surface.create();
  if (!surface.isValid() || !context.makeCurrent(&surface)) return false;
  QOpenGLFunctions* gl = context.functions();
  const auto* renderer = gl ? reinterpret_cast<const char*>(gl->glGetString(GL_RENDERER)) : nullptr;
  const bool hardware = renderer && !isSoftwareRenderer(renderer);
  context.doneCurrent();
  return hardware;
}

}  // namespace

VideoSurfaceKind probeVideoSurfaceKind() {
  if (platformWithoutOpenGl()) return VideoSurfaceKind::Painter;
  const QByteArray forced = qgetenv("MC_VIDEO_SURFACE").toLower();
  if (forced == "painter") return VideoSurfaceKind::Painter;
  if (forced == "opengl") return VideoSurfaceKind::OpenGL;
  return hardwareOpenGl() ? VideoSurfaceKind::OpenGL : VideoSurfaceKind::Painter;
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
