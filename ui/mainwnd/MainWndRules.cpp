#include "ui/mainwnd/MainWndRules.h"

#include <algorithm>
#include <charconv>
#include <set>

namespace mainwnd {
namespace {

std::string_view trimmed(std::string_view text) {
  const std::size_t start = text.find_first_not_of(" \t\r\n");
  if (start == std::string_view::npos) return {};
  const std::size_t end = text.find_last_not_of(" \t\r\n");
  return text.substr(start, end - start + 1);
}

// A whole decimal number filling the text.
std::optional<long long> wholeNumber(std::string_view text) {
  if (text.empty()) return std::nullopt;
  long long value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

}  // namespace

std::optional<int> splitCountOfButton(std::string_view controlName) {
  static constexpr std::string_view kButtons[] = {"1", "4", "6", "8", "9", "16", "25", "36", "49", "64"};
  if (std::find(std::begin(kButtons), std::end(kButtons), controlName) == std::end(kButtons)) return std::nullopt;
  return static_cast<int>(*wholeNumber(controlName));
}

bool tourAllowed(int layoutCount) { return layoutCount == 6 || layoutCount == 8; }

std::optional<int> parseTourSeconds(std::string_view text) {
  const std::optional<long long> seconds = wholeNumber(trimmed(text));
  if (!seconds || *seconds < 1 || *seconds > 60) return std::nullopt;
  return static_cast<int>(*seconds);
}

std::string menuLayoutOf(int typeCode) {
  switch (typeCode) {
    case 8: case 9: case 10: case 12: case 15: case 16:
      return "MapDuiMenu2.xml";
    case 1: case 3: case 4: case 11:
      return "MapDuiMenu1.xml";
    case 13:
      return "MapDuiMenuSxt.xml";
    default:
      return {};
  }
}

bool opensAllOnDoubleClick(int typeCode) {
  switch (typeCode) {
    case 1: case 2: case 3: case 4: case 8: case 9: case 10: case 11: case 12: case 14: case 15: case 16:
      return true;
    default:
      return false;
  }
}

int firstChannelOf(int typeCode) { return typeCode == 15 || typeCode == 16 ? 1 : 0; }

std::optional<std::string> freeChannelList(int typeCode, int capacity, const std::vector<std::string>& usedChannels) {
  if (static_cast<long long>(usedChannels.size()) >= capacity) return std::nullopt;
  std::set<long long> used;
  for (const std::string& channel : usedChannels)
    if (const std::optional<long long> number = wholeNumber(trimmed(channel))) used.insert(*number);
  const int start = firstChannelOf(typeCode);
  std::string list;
  for (int i = 0; i < capacity; ++i) {
    const int number = i + start;
    if (!used.count(number)) list += std::to_string(number) + ";";
  }
  return list;
}

}  // namespace mainwnd
