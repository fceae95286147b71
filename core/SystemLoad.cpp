#include "core/SystemLoad.h"

#include <charconv>
#include <fstream>
#include <sstream>
#include <vector>

namespace mc {
namespace {

bool readNumber(std::string_view& text, std::uint64_t& value) {
  std::size_t start = text.find_first_not_of(" \t");
  if (start == std::string_view::npos) return false;
  text.remove_prefix(start);
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end == text.data()) return false;
  text.remove_prefix(static_cast<std::size_t>(end - text.data()));
  return true;
}

// The line that starts with `key` (followed by a blank or ':'), without the key.
std::optional<std::string_view> lineOf(std::string_view text, std::string_view key) {
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(at, end - at);
    if (line.size() > key.size() && line.substr(0, key.size()) == key &&
        (line[key.size()] == ' ' || line[key.size()] == '\t' || line[key.size()] == ':'))
      return line.substr(key.size() + 1);
    at = end + 1;
  }
  return std::nullopt;
}

std::optional<std::uint64_t> meminfoValue(std::string_view text, std::string_view key) {
  std::optional<std::string_view> line = lineOf(text, key);
  std::uint64_t value = 0;
  if (!line || !readNumber(*line, value)) return std::nullopt;
  return value;
}

}  // namespace

std::optional<CpuTimes> parseCpuTimes(std::string_view procStat) {
  std::optional<std::string_view> line = lineOf(procStat, "cpu");
  if (!line) return std::nullopt;
  // user nice system idle iowait irq softirq steal (guest times are already
  // part of user and nice).
  std::vector<std::uint64_t> fields;
  std::uint64_t value = 0;
  while (fields.size() < 8 && readNumber(*line, value)) fields.push_back(value);
  if (fields.size() < 4) return std::nullopt;
  fields.resize(8, 0);
  CpuTimes times;
  times.idle = fields[3] + fields[4];
  times.kernel = times.idle + fields[2] + fields[5] + fields[6];
  times.user = fields[0] + fields[1] + fields[7];
  return times;
}

int cpuLoadPercent(const CpuTimes& before, const CpuTimes& after) {
  if (after.idle < before.idle || after.kernel < before.kernel || after.user < before.user) return 0;
  const std::uint64_t idle = after.idle - before.idle;
  const std::uint64_t total = (after.kernel - before.kernel) + (after.user - before.user);
  if (total == 0 || idle > total) return 0;
  // 100 − idle / total × 100 truncated, in whole numbers: 100 − ⌈idle × 100 / total⌉.
  return static_cast<int>(100 - (idle * 100 + total - 1) / total);
}

std::optional<int> parseMemoryLoad(std::string_view procMeminfo) {
  const std::optional<std::uint64_t> total = meminfoValue(procMeminfo, "MemTotal");
  if (!total || *total == 0) return std::nullopt;
  std::optional<std::uint64_t> available = meminfoValue(procMeminfo, "MemAvailable");
  if (!available) {
    available = meminfoValue(procMeminfo, "MemFree").value_or(0) + meminfoValue(procMeminfo, "Buffers").value_or(0) +
                meminfoValue(procMeminfo, "Cached").value_or(0);
  }
  const std::uint64_t used = *available >= *total ? 0 : *total - *available;
  return static_cast<int>(used * 100 / *total);
}

std::string readProcFile(const char* path) {
  std::ifstream file(path);
  if (!file) return {};
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

CpuLoadSampler::CpuLoadSampler(std::string path) : path_(std::move(path)) {}

std::optional<int> CpuLoadSampler::sample() { return sampleText(readProcFile(path_.c_str())); }

std::optional<int> CpuLoadSampler::sampleText(std::string_view procStat) {
  const std::optional<CpuTimes> now = parseCpuTimes(procStat);
  if (!now) return std::nullopt;
  std::optional<int> load;
  if (previous_) load = cpuLoadPercent(*previous_, *now);
  previous_ = now;
  return load;
}

std::optional<int> systemMemoryLoad() {
  const std::string text = readProcFile("/proc/meminfo");
  if (text.empty()) return std::nullopt;
  return parseMemoryLoad(text);
}

}  // namespace mc
