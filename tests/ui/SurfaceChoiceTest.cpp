// Which surface the panes choose on this display, and what the environment
// can force. Runs offscreen (no OpenGL there) and under Xvfb (Mesa's
// llvmpipe: OpenGL that rasterises on the processor); MC_SURFACE_CHOICE_SUITE
// names the suite of each run.
#include <gtest/gtest.h>

#include <QGuiApplication>

#include "ui/video/VideoSurface.h"

namespace {

TEST(MC_SURFACE_CHOICE_SUITE, TheDisplayDecidesAndTheEnvironmentOverridesWhereOpenGlExists) {
  const bool offscreen = QGuiApplication::platformName() == QLatin1String("offscreen");
  const QByteArray saved = qgetenv("MC_VIDEO_SURFACE");
  const struct {
    const char* forced;  // null: not set
    VideoSurfaceKind expected;
  } cases[] = {
      // llvmpipe is OpenGL on the processor: the painter is cheaper there.
      {nullptr, VideoSurfaceKind::Painter},
      {"painter", VideoSurfaceKind::Painter},
      {"opengl", offscreen ? VideoSurfaceKind::Painter : VideoSurfaceKind::OpenGL},
      {"OpenGL", offscreen ? VideoSurfaceKind::Painter : VideoSurfaceKind::OpenGL},
      {"something", VideoSurfaceKind::Painter},
  };
  for (const auto& c : cases) {
    if (c.forced) qputenv("MC_VIDEO_SURFACE", c.forced);
    else qunsetenv("MC_VIDEO_SURFACE");
    EXPECT_EQ(probeVideoSurfaceKind(), c.expected) << (c.forced ? c.forced : "(not set)") << " on "
                                                   << QGuiApplication::platformName().toStdString();
  }
  qputenv("MC_VIDEO_SURFACE", saved);
}

}  // namespace
