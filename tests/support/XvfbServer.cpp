#include "tests/support/XvfbServer.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <thread>
#include <vector>

#include "tests/support/TempFolder.h"

extern char** environ;

namespace mc::test {
namespace {

constexpr int kFirstDisplay = 100;
constexpr int kDisplays = 800;
constexpr int kAttempts = 40;
constexpr int kReportFd = 3;  // the server writes its display number here

bool lockFileExists(int number) {
  return ::access(("/tmp/.X" + std::to_string(number) + "-lock").c_str(), F_OK) == 0 ||
         ::access(("/tmp/.X11-unix/X" + std::to_string(number)).c_str(), F_OK) == 0;
}

// Waits for the server's report on `fd`: its display number, or -1 when it
// ended (the pipe closes with it) or did not report in time.
int awaitReport(int fd, int readyMs) {
  std::string text;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(readyMs);
  while (std::chrono::steady_clock::now() < deadline) {
    pollfd p{fd, POLLIN, 0};
    const int ready = ::poll(&p, 1, 50);
    if (ready > 0) {
      char buffer[32];
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n > 0) {
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.find('\n') != std::string::npos) return std::atoi(text.c_str());
        continue;
      }
      return -1;  // end of file: the server ended without a report
    }
  }
  return -1;
}

}  // namespace

XvfbServer::XvfbServer(int width, int height, int readyMs) {
  int number = kFirstDisplay + static_cast<int>(::getpid() % kDisplays);
  for (int attempt = 0; attempt < kAttempts; ++attempt, ++number) {
    if (number >= kFirstDisplay + kDisplays) number = kFirstDisplay;
    if (lockFileExists(number)) continue;
    const int result = start(number, width, height, readyMs);
    if (result == 1) return;
    if (result < 0) return;
  }
  if (error_.empty()) error_ = "no free display number for Xvfb";
}

XvfbServer::~XvfbServer() { stop(); }

int XvfbServer::start(int number, int width, int height, int readyMs) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) {
    error_ = "pipe failed";
    return -1;
  }
  const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
  const std::string display = displayName(number);
  const std::string report = std::to_string(kReportFd);
  std::vector<std::string> args{"Xvfb", display, "-screen", "0", screen, "-nolisten", "tcp", "-displayfd", report};
  std::vector<char*> argv;
  for (auto& arg : args) argv.push_back(arg.data());
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  const std::string logPath = folder_.file("xvfb.log");
  posix_spawn_file_actions_addopen(&actions, 1, logPath.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  posix_spawn_file_actions_adddup2(&actions, fds[1], kReportFd);  // a dup2 copy stays open across exec
  pid_t pid = -1;
  const int spawned = ::posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (spawned != 0) {
    ::close(fds[0]);
    error_ = "Xvfb cannot be started (is the package xvfb installed?)";
    return -1;
  }
  const int reported = awaitReport(fds[0], readyMs);
  ::close(fds[0]);
  if (reported == number) {
    pid_ = pid;
    display_ = number;
    ready_ = true;
    return 1;
  }
  // No report: the server ended (most likely another one took the display
  // meanwhile: try the next) or hangs. It may still be on its way out.
  int status = 0;
  bool ended = false;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!ended && std::chrono::steady_clock::now() < deadline) {
    ended = ::waitpid(pid, &status, WNOHANG) == pid;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!ended) {
    ::kill(pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    error_ = "Xvfb did not report ready within " + std::to_string(readyMs) + " ms: " + log();
    return -1;
  }
  error_ = "Xvfb ended at start: " + log();
  return 0;
}

std::string XvfbServer::displayName(int number) {
  std::string name = std::to_string(number);
  name.insert(name.begin(), ':');  // (":" + text trips a false -Wrestrict of GCC 12)
  return name;
}

void XvfbServer::exportDisplay() const {
  if (!ready_) return;
  ::setenv("DISPLAY", displayName().c_str(), 1);
  ::unsetenv("WAYLAND_DISPLAY");
  ::setenv("QT_QPA_PLATFORM", "xcb", 1);
}

void XvfbServer::stop() {
  ready_ = false;
  if (pid_ <= 0) return;
  ::kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  int status = 0;
  bool ended = false;
  while (!ended && std::chrono::steady_clock::now() < deadline) {
    ended = ::waitpid(pid_, &status, WNOHANG) == pid_;
    if (!ended) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (!ended) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, &status, 0);
  }
  pid_ = -1;
}

std::string XvfbServer::log() const { return readFile(folder_.file("xvfb.log")); }

}  // namespace mc::test
