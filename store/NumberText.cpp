#include "store/NumberText.h"

#include <charconv>
#include <cmath>
#include <limits>
#include <system_error>

namespace mc {

namespace {

bool isBlank(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Removes leading blanks and one sign; false when a second sign follows.
bool takeSign(std::string_view& text, bool& negative) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  return text.empty() || (text.front() != '+' && text.front() != '-');
}

}  // namespace

std::string formatReal(double value) {
  if (!std::isfinite(value)) value = 0;
  // A finite double prints in fixed form with at most 309 integer digits.
  char buffer[400];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, 6);
  if (result.ec != std::errc()) return "0.000000";
  return std::string(buffer, result.ptr);
}

double parseReal(std::string_view text) {
  bool negative = false;
  if (!takeSign(text, negative)) return 0;
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (result.ec != std::errc() || !std::isfinite(value)) return 0;
  return negative ? -value : value;
}

std::int32_t parseInteger(std::string_view text) {
  bool negative = false;
  if (!takeSign(text, negative)) return 0;
  std::size_t digits = 0;
  while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') ++digits;
  std::int64_t value = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > std::int64_t{1} << 32) break;  // already beyond every 32-bit value
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

}  // namespace mc
