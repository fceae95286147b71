#pragma once
#include <time.h>

#include <chrono>
#include <dirent.h>
#include <fstream>
#include <map>
#include <sstream>
#include <unistd.h>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "camera/CCameraLogic.h"
#include "media/OffscreenRenderTarget.h"

namespace mc::bench {

// CPU seconds of the whole process (every thread) and of the calling thread.
inline double processCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
inline double threadCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}
inline double wallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// CPU seconds of every thread of the process by thread name (threads that
// share a name are added up).
inline std::map<std::string, double> cpuByThreadName() {
  std::map<std::string, double> cpu;
  const double tick = static_cast<double>(sysconf(_SC_CLK_TCK));
  DIR* tasks = opendir("/proc/self/task");
  if (!tasks) return cpu;
  while (const dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream stat(std::string("/proc/self/task/") + entry->d_name + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    const auto open = text.find('('), close = text.rfind(')');
    if (open == std::string::npos || close == std::string::npos) continue;
    std::string name = text.substr(open + 1, close - open - 1);
    std::istringstream rest(text.substr(close + 2));
    std::string field;
    double utime = 0, stime = 0;
    for (int i = 3; i <= 15 && rest >> field; ++i) {
      if (i == 14) utime = std::stod(field);
      if (i == 15) stime = std::stod(field);
    }
    cpu[name] += (utime + stime) / tick;
  }
  closedir(tasks);
  return cpu;
}

// utime + stime of another process, from /proc.
inline double otherProcessCpuSeconds(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  const auto close = text.rfind(')');
  if (close == std::string::npos) return 0;
  std::istringstream fields(text.substr(close + 2));
  std::string skip;
  for (int i = 0; i < 11; ++i) fields >> skip;  // state ... cmajflt
  double utime = 0, stime = 0;
  fields >> utime >> stime;
  return (utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// The resident memory of this process in MiB.
inline long residentMiB() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6)) / 1024;
  return 0;
}

// A new folder below $TMPDIR (or /tmp) for the benchmark's logs.
inline std::string makeHomeFolder() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/mc-bench-XXXXXX";
  if (!mkdtemp(pattern.data())) return "/tmp";
  return pattern;
}

// A platform-sim world of `count` cameras "BENCH%07d" of one size and rate,
// without sound, on one relay.
inline std::string benchWorld(int count, int width, int height, int fps) {
  std::string cameras;
  for (int i = 1; i <= count; ++i) {
    char id[32];
    std::snprintf(id, sizeof id, "BENCH%07d", i);
    if (i > 1) cameras += ",";
    cameras += "{\"id\":\"" + std::string(id) + "\",\"width\":" + std::to_string(width) +
               ",\"height\":" + std::to_string(height) + ",\"fps\":" + std::to_string(fps) +
               ",\"audio\":{\"codec\":\"none\"}}";
  }
  return "{\"users\":[{\"name\":\"bench\",\"password\":\"bench\"}],\"nodes\":[{\"id\":\"benchsite\",\"cameras\":[" +
         cameras + "]}]}";
}

inline std::string benchCameraId(int index) {
  char id[32];
  std::snprintf(id, sizeof id, "BENCH%07d", index);
  return id;
}

// Panes draw into offscreen targets (a picture copy per frame, as an upload).
inline void useOffscreenPanes() {
  setRenderTargetFactory([](mc::WindowHandle) { return std::make_unique<OffscreenRenderTarget>(352, 288); });
}

}  // namespace mc::bench
