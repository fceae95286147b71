#include "camera/RecordSearch.h"

#include <algorithm>

#include "camera/DecimalText.h"
#include "common/Split.h"

namespace mc::relay {

bool parseRecordSearch(const std::string& data, const std::string& time, std::vector<RecordDay>& days) {
  days.clear();
  const auto dayTexts = mc::splitText(data, ';', false);
  const auto timeTexts = mc::splitText(time, ';', false);
  if (dayTexts.size() != timeTexts.size()) return false;

  for (std::size_t i = 0; i < timeTexts.size(); ++i) {
    if (timeTexts[i].empty()) continue;
    RecordDay day{dayTexts[i], {}};
    for (const auto& stretch : mc::splitText(timeTexts[i], '|', true)) {
      const auto ends = mc::splitText(stretch, '-', false);
      if (ends.size() == 2) day.segments.emplace_back(decimalValue(ends[0]), decimalValue(ends[1]));
    }
    const auto same = std::find_if(days.begin(), days.end(), [&](const RecordDay& d) { return d.day == day.day; });
    if (same != days.end())
      same->segments.insert(same->segments.end(), day.segments.begin(), day.segments.end());
    else
      days.push_back(std::move(day));
  }
  return true;
}

}  // namespace mc::relay
