// GoogleTest main for window tests on a real display: a private Xvfb (with
// Mesa's OpenGL, which the panes use), then one QApplication on it, the window registry as the
// post-message hook and the skin's theme. Listing the tests needs no display.
#include <gtest/gtest.h>

#include <dlfcn.h>

#include <QApplication>
#include <cstdio>

#include "tests/support/XvfbServer.h"
#include "ui/lib/Theme.h"
#include "ui/lib/WindowRegistry.h"

int main(int argc, char** argv) {
  testing::InitGoogleTest(&argc, argv);
  if (GTEST_FLAG_GET(list_tests)) return RUN_ALL_TESTS();

  mc::test::XvfbServer xvfb;
  if (!xvfb.ready()) {
    std::fprintf(stderr, "no X server for the test: %s\n", xvfb.error().c_str());
    return 1;
  }
  xvfb.exportDisplay();
  // Mesa's llvmpipe is a software renderer, for which the panes would choose
  // the painter: these tests are for the OpenGL surface.
  qputenv("MC_VIDEO_SURFACE", "opengl");
  // Mesa's drivers are unloaded when the display closes, before the leak
  // check at exit: kept loaded, their own allocations are recognised (and
  // suppressed) by the library they come from.
  for (const char* driver : {"libGLX_mesa.so.0", "swrast_dri.so", "/usr/lib/x86_64-linux-gnu/dri/swrast_dri.so"})
    dlopen(driver, RTLD_NOW | RTLD_NODELETE);
  int result = 1;
  {
    QApplication app(argc, argv);
    ui::installPostMessageHook();
    ui::applySkinTheme();
    result = RUN_ALL_TESTS();
    mc::setPostMessageHook({});
  }
  return result;
}
