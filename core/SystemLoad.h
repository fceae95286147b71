#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Processor and memory load for the main window's status read-outs, from
// /proc/stat and /proc/meminfo. The parse functions take the files' contents
// so they can be checked with fixed texts.
namespace mc {

// Processor times summed over all processors, in clock ticks. As on the
// system the read-out was designed for, kernel time includes idle time:
// idle = idle + iowait; kernel = idle + system + irq + softirq;
// user = user + nice + steal.
struct CpuTimes {
  std::uint64_t idle = 0;
  std::uint64_t kernel = 0;
  std::uint64_t user = 0;
};

// The times of the "cpu " line of /proc/stat; empty when there is none or it
// is malformed.
std::optional<CpuTimes> parseCpuTimes(std::string_view procStat);

// 100 − Δidle / (Δkernel + Δuser) × 100, truncated, within 0 … 100; 0 when no
// time passed between the two (or the counters went backwards).
int cpuLoadPercent(const CpuTimes& before, const CpuTimes& after);

// The memory in use as a whole percentage: (MemTotal − MemAvailable) /
// MemTotal × 100, truncated. Kernels without MemAvailable count MemFree +
// Buffers + Cached as available. Empty without MemTotal.
std::optional<int> parseMemoryLoad(std::string_view procMeminfo);

// The whole text of a /proc file; empty when it cannot be read.
std::string readProcFile(const char* path);

// Samples the processor load once a second: the first sample only takes the
// baseline, each later one reports the load since the previous sample.
// Not thread-safe; the main window uses it from its statistics timer.
class CpuLoadSampler {
 public:
  // `path` is the stat file ("/proc/stat" on a real system).
  explicit CpuLoadSampler(std::string path = "/proc/stat");

  // The load since the previous sample, or empty for the baseline sample
  // and while the file cannot be read.
  std::optional<int> sample();
  // The same from the file's text (for tests).
  std::optional<int> sampleText(std::string_view procStat);

 private:
  std::string path_;
  std::optional<CpuTimes> previous_;
};

// The memory load of this system, or empty when /proc/meminfo cannot be read.
std::optional<int> systemMemoryLoad();

}  // namespace mc
