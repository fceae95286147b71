#pragma once
#include <sys/types.h>

#include <string>

#include "tests/support/TempFolder.h"

namespace mc::test {

// A private X server for tests that need a real display with OpenGL (Mesa's
// llvmpipe under Xvfb): `Xvfb :N -screen 0 WxHx24 -nolisten tcp` on the first
// free display number from a starting point that differs per process, so
// tests running side by side each get their own server. Ready once the
// server reports its display number (it does so when it accepts clients).
// Stopped by its PID when the object goes away.
//
//   int main(...) {
//     mc::test::XvfbServer xvfb;            // before the QApplication
//     if (!xvfb.ready()) { report xvfb.error(); return 1; }
//     xvfb.exportDisplay();                  // DISPLAY=:N, QT_QPA_PLATFORM=xcb
//     QApplication app(argc, argv);          // ... goes before xvfb
//   }
//
// Under AddressSanitizer, Qt's xcb platform needs strict_string_checks=0
// (libxkbcommon-x11 strndup's counted strings); tests/ui/CMakeLists.txt sets
// it for its Xvfb tests, and tests/ui/XvfbTestMain.cpp keeps Mesa's drivers
// loaded so the leak check at exit can attribute their allocations.
class XvfbServer {
 public:
  explicit XvfbServer(int width = 1280, int height = 1024, int readyMs = 10000);
  ~XvfbServer();
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  bool ready() const { return ready_; }
  const std::string& error() const { return error_; }
  int display() const { return display_; }
  std::string displayName() const { return displayName(display_); }
  static std::string displayName(int number);
  pid_t pid() const { return pid_; }

  // Points this process's X clients at the server: DISPLAY, and Qt's
  // platform plug-in "xcb" (WAYLAND_DISPLAY removed).
  void exportDisplay() const;

  // Ends the server (SIGTERM, SIGKILL after 3 s) and waits for it; the
  // destructor does the same.
  void stop();

  // The server's own output so far, for failure messages.
  std::string log() const;

 private:
  // One attempt on display `number`: 1 ready, 0 display taken, -1 failure.
  int start(int number, int width, int height, int readyMs);

  TempFolder folder_;  // the server's log
  pid_t pid_ = -1;
  int display_ = -1;
  bool ready_ = false;
  std::string error_;
};

}  // namespace mc::test
