#include "core/CrashHandler.h"

#include <execinfo.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

namespace {

constexpr int kFatalSignals[] = {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT};

// Filled at installation so the handler allocates nothing.
char dumpFolder[1024];
char alternateStack[64 * 1024];

// A debugger shows up as a non-zero TracerPid in /proc/self/status.
bool debuggerAttached() {
  const int fd = ::open("/proc/self/status", O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  char buffer[4096];
  const ssize_t length = ::read(fd, buffer, sizeof buffer - 1);
  ::close(fd);
  if (length <= 0) return false;
  buffer[length] = '\0';
  const char* tracer = std::strstr(buffer, "TracerPid:");
  if (!tracer) return false;
  tracer += std::strlen("TracerPid:");
  while (*tracer == ' ' || *tracer == '\t') ++tracer;
  return *tracer != '0';
}

void writeText(int fd, const char* text) {
  std::size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t written = ::write(fd, text, left);
    if (written <= 0) return;
    text += written;
    left -= static_cast<std::size_t>(written);
  }
}

void writeDump(int signalNumber) {
  ::mkdir(dumpFolder, 0755);
  const std::time_t now = std::time(nullptr);
  std::tm local {};
  ::localtime_r(&now, &local);
  const long pid = static_cast<long>(::getpid());
  const long tid = static_cast<long>(::syscall(SYS_gettid));
  char path[1400];
  std::snprintf(path, sizeof path, "%s/%s-%04d%02d%02d-%02d%02d%02d-%ld-%ld.dmp", dumpFolder, "v1.0",
                local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min,
                local.tm_sec, pid, tid);
  const int fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return;
  char header[256];
  std::snprintf(header, sizeof header, "signal %d (%s)\nprocess %ld\nthread %ld\nbacktrace:\n",
                signalNumber, ::sigabbrev_np(signalNumber) ? ::sigabbrev_np(signalNumber) : "?", pid, tid);
  writeText(fd, header);
  void* frames[64];
  const int count = ::backtrace(frames, 64);
  ::backtrace_symbols_fd(frames, count, fd);
  ::close(fd);
  writeText(STDERR_FILENO, path);
  writeText(STDERR_FILENO, "\n");
}

void onFatalSignal(int signalNumber) {
  // One dump per crash: a second fatal signal while writing goes the default way.
  static volatile sig_atomic_t handling = 0;
  if (!handling) {
    handling = 1;
    if (!debuggerAttached()) writeDump(signalNumber);
  }
  ::signal(signalNumber, SIG_DFL);
  ::raise(signalNumber);
}

}  // namespace

std::string crashDumpFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string folder = (tmp && *tmp) ? tmp : "/tmp";
  while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
  return folder + "/dump";
}

void installCrashHandler() {
  std::snprintf(dumpFolder, sizeof dumpFolder, "%s", crashDumpFolder().c_str());
  ::tzset();
  // backtrace loads libgcc on first use; do that now, not inside the handler.
  void* warmUp[1];
  ::backtrace(warmUp, 1);

  stack_t stack {};
  stack.ss_sp = alternateStack;
  stack.ss_size = sizeof alternateStack;
  ::sigaltstack(&stack, nullptr);

  struct sigaction action {};
  action.sa_handler = onFatalSignal;
  action.sa_flags = SA_ONSTACK | SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  for (int signalNumber : kFatalSignals) ::sigaction(signalNumber, &action, nullptr);
}
