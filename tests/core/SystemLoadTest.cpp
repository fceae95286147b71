// Processor and memory load from the texts of /proc/stat and /proc/meminfo.
#include <gtest/gtest.h>

#include <fstream>

#include "core/SystemLoad.h"
#include "tests/support/TempFolder.h"

namespace {

using mc::CpuTimes;

// user nice system idle iowait irq softirq steal guest guest_nice
std::string statText(const std::string& cpuFields) {
  return "cpu  " + cpuFields + "\ncpu0 1 1 1 1 1 1 1 1 0 0\nintr 12345 0 0\nctxt 99\n";
}

TEST(SystemLoad, CpuTimesFromProcStat) {
  const auto times = mc::parseCpuTimes(statText("100 20 30 400 50 6 7 8 90 10"));
  ASSERT_TRUE(times);
  EXPECT_EQ(times->idle, 450u);                    // idle + iowait
  EXPECT_EQ(times->kernel, 450u + 30 + 6 + 7);     // idle counts as kernel time
  EXPECT_EQ(times->user, 100u + 20 + 8);           // guest time is inside user and nice
  // Old kernels give only four fields.
  const auto old = mc::parseCpuTimes("cpu 10 0 5 85\n");
  ASSERT_TRUE(old);
  EXPECT_EQ(old->idle, 85u);
  EXPECT_EQ(old->kernel, 90u);
  EXPECT_EQ(old->user, 10u);
}

TEST(SystemLoad, MalformedProcStatGivesNothing) {
  for (const char* text : {"", "cpu0 1 2 3 4\n", "cpu 1 2 3\n", "cpu a b c d\n", "cpux 1 2 3 4\n", "intr 1\n"})
    EXPECT_FALSE(mc::parseCpuTimes(text)) << '"' << text << '"';
}

TEST(SystemLoad, LoadIsTheShareOfTimeNotIdle) {
  struct Case {
    CpuTimes before, after;
    int load;
  };
  const Case cases[] = {
      {{100, 200, 50}, {175, 300, 100}, 50},   // 75 idle of 150: 100 − 50
      {{0, 0, 0}, {100, 100, 0}, 0},           // all idle
      {{0, 0, 0}, {0, 60, 40}, 100},           // never idle
      {{0, 0, 0}, {67, 100, 0}, 33},           // 33.0: truncated, not rounded
      {{0, 0, 0}, {2, 3, 0}, 33},              // 33.33…
      {{0, 0, 0}, {1, 3, 0}, 66},              // 66.66… truncated
      {{10, 20, 30}, {10, 20, 30}, 0},         // no time passed: no division by zero
      {{500, 600, 700}, {400, 650, 750}, 0},   // counters went back (a reset)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "after " << c.after.idle << "/" << c.after.kernel << "/" << c.after.user);
    EXPECT_EQ(mc::cpuLoadPercent(c.before, c.after), c.load);
  }
}

TEST(SystemLoad, SamplerTakesTheBaselineFirst) {
  mc::CpuLoadSampler sampler;
  EXPECT_EQ(sampler.sampleText(statText("0 0 0 0 0 0 0 0 0 0")), std::nullopt) << "baseline";
  EXPECT_EQ(sampler.sampleText(statText("25 0 25 50 0 0 0 0 0 0")), 50);
  // Each reading is against the previous sample, not the baseline.
  EXPECT_EQ(sampler.sampleText(statText("25 0 25 150 0 0 0 0 0 0")), 0);
  EXPECT_EQ(sampler.sampleText("garbage"), std::nullopt);
  EXPECT_EQ(sampler.sampleText(statText("125 0 25 150 0 0 0 0 0 0")), 100) << "a bad read keeps the last sample";
}

TEST(SystemLoad, SamplerReadsItsFile) {
  mc::test::TempFolder folder;
  const std::string path = folder.file("stat");
  auto write = [&](const std::string& fields) { std::ofstream(path) << statText(fields); };
  mc::CpuLoadSampler sampler(path);
  write("10 0 10 80 0 0 0 0 0 0");
  EXPECT_EQ(sampler.sample(), std::nullopt);
  write("40 0 10 110 0 0 0 0 0 0");
  EXPECT_EQ(sampler.sample(), 50);
  mc::CpuLoadSampler missing(folder.file("absent"));
  EXPECT_EQ(missing.sample(), std::nullopt);
  // This machine's own file reads.
  mc::CpuLoadSampler real;
  real.sample();
  const std::optional<int> load = real.sample();
  ASSERT_TRUE(load);
  EXPECT_GE(*load, 0);
  EXPECT_LE(*load, 100);
}

TEST(SystemLoad, MemoryLoadFromMeminfo) {
  struct Case {
    const char* text;
    std::optional<int> load;
  };
  const Case cases[] = {
      {"MemTotal:       16000000 kB\nMemFree:         1000000 kB\nMemAvailable:    4000000 kB\n", 75},
      {"MemTotal: 1000 kB\nMemAvailable: 1000 kB\n", 0},
      {"MemTotal: 1000 kB\nMemAvailable: 0 kB\n", 100},
      {"MemTotal: 3000 kB\nMemAvailable: 1001 kB\n", 66},  // 66.63…: truncated
      // Without MemAvailable: free + buffers + cached.
      {"MemTotal: 1000 kB\nMemFree: 100 kB\nBuffers: 50 kB\nCached: 250 kB\nSwapCached: 999 kB\n", 60},
      {"MemTotal: 1000 kB\nMemAvailable: 5000 kB\n", 0},  // more available than there is
      {"MemFree: 100 kB\n", std::nullopt},
      {"MemTotal: 0 kB\nMemAvailable: 0 kB\n", std::nullopt},
      {"", std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(mc::parseMemoryLoad(c.text), c.load) << c.text;
  const std::optional<int> real = mc::systemMemoryLoad();
  ASSERT_TRUE(real);
  EXPECT_GT(*real, 0);
  EXPECT_LT(*real, 100);
}

}  // namespace
