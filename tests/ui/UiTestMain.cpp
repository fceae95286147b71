// GoogleTest main for the window tests: one QApplication on the main thread,
// the window registry as the post-message hook, and the skin's theme.
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/lib/Theme.h"
#include "ui/lib/WindowRegistry.h"

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  ui::installPostMessageHook();
  ui::applySkinTheme();
  const int result = RUN_ALL_TESTS();
  mc::setPostMessageHook({});
  return result;
}
