#include "sim/RecordingIndex.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "sim/MediaFrame.h"

namespace sim {

bool parseDateTime(const std::string& text, std::string& day, int& secondOfDay) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char tail = 0;
  if (text.size() != 19 ||
      std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) != 6)
    return false;
  if (y < 2000 || y > 2099 || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 59 || h < 0 ||
      mi < 0 || s < 0)
    return false;
  day = text.substr(0, 10);
  secondOfDay = h * 3600 + mi * 60 + s;
  return true;
}

RecordingIndex::RecordingIndex(std::vector<RecordingDay> days) : days_(std::move(days)) {
  std::sort(days_.begin(), days_.end(), [](const RecordingDay& a, const RecordingDay& b) { return a.day < b.day; });
  for (RecordingDay& d : days_)
    std::sort(d.segments.begin(), d.segments.end(),
              [](const Segment& a, const Segment& b) { return a.start < b.start; });
  days_.erase(std::remove_if(days_.begin(), days_.end(), [](const RecordingDay& d) { return d.segments.empty(); }),
              days_.end());
}

bool RecordingIndex::search(const std::string& type, const std::string& start, const std::string& stop,
                            std::string& data, std::string& time, std::string& error) const {
  data.clear();
  time.clear();
  std::string firstDay, lastDay;
  int firstSecond = 0, lastSecond = 0;
  if (!parseDateTime(start, firstDay, firstSecond) || !parseDateTime(stop, lastDay, lastSecond)) {
    error = "时间格式错误";
    return false;
  }
  if (type != "0" && type != "1") {
    error = "录像类型错误";
    return false;
  }
  if (std::make_pair(lastDay, lastSecond) < std::make_pair(firstDay, firstSecond)) {
    error = "时间段不正确";
    return false;
  }
  bool any = false;
  for (const RecordingDay& d : days_) {
    if (d.day < firstDay || d.day > lastDay) continue;
    const int from = d.day == firstDay ? firstSecond / 60 : 0;
    const int to = d.day == lastDay ? (lastSecond + 59) / 60 : 1440;
    std::string stretches;
    for (const Segment& s : d.segments) {
      if (type == "1" && s.type != 1) continue;
      const int a = std::max(s.start, from), b = std::min(s.end, to);
      if (a >= b) continue;
      if (!stretches.empty()) stretches += '|';
      stretches += std::to_string(a) + "-" + std::to_string(b);
    }
    if (stretches.empty()) continue;
    if (any) {
      data += ';';
      time += ';';
    }
    data += d.day;
    time += stretches;
    any = true;
  }
  if (!any) {
    error = "该时间段内没有录像";
    return false;
  }
  return true;
}

bool RecordingIndex::firstAtOrAfter(const std::string& day, double second, RecordingMoment& out) const {
  for (int i = 0; i < static_cast<int>(days_.size()); ++i) {
    if (days_[i].day < day) continue;
    const double from = days_[i].day == day ? second : 0;
    for (const Segment& s : days_[i].segments) {
      if (s.end * 60.0 <= from) continue;
      out.day = i;
      out.second = std::max(from, s.start * 60.0);
      return true;
    }
  }
  return false;
}

RecordingMoment RecordingIndex::start() const {
  if (days_.empty()) return {};
  return {static_cast<int>(days_.size()) - 1, days_.back().segments.front().start * 60.0};
}

bool RecordingIndex::advance(RecordingMoment& p, double seconds) const {
  while (p.day < static_cast<int>(days_.size())) {
    const RecordingDay& d = days_[p.day];
    for (const Segment& s : d.segments) {
      const double a = s.start * 60.0, b = s.end * 60.0;
      if (p.second >= b) continue;
      if (p.second < a) p.second = a;  // jump over a gap
      if (p.second + seconds < b) {
        p.second += seconds;
        return true;
      }
      seconds -= b - p.second;
      p.second = b;
    }
    if (p.day + 1 >= static_cast<int>(days_.size())) return false;
    ++p.day;
    p.second = 0;
  }
  return false;
}

std::uint32_t RecordingIndex::recordTimeWord(const RecordingMoment& m) const {
  if (days_.empty()) return 0;
  int y = 0, mo = 0, d = 0;
  std::sscanf(days_[std::min<std::size_t>(m.day, days_.size() - 1)].day.c_str(), "%4d-%2d-%2d", &y, &mo, &d);
  const int second = std::min(86399, static_cast<int>(m.second));
  return packRecordTime(y, mo, d, second / 3600, second / 60 % 60);
}

std::string RecordingIndex::text(const RecordingMoment& m) const {
  if (days_.empty()) return {};
  const int second = std::min(86399, static_cast<int>(m.second));
  char clock[32];
  std::snprintf(clock, sizeof clock, " %02d:%02d:%02d", second / 3600, second / 60 % 60, second % 60);
  return days_[std::min<std::size_t>(m.day, days_.size() - 1)].day + clock;
}

}  // namespace sim
