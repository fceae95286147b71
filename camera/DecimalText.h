#pragma once
#include <cctype>
#include <cstdint>
#include <limits>
#include <string_view>

namespace mc::relay {

// The decimal value of a text the way atoi reads it (leading blanks, a sign,
// the digits up to the first other character; 0 when there are none), but
// clamped to the 32-bit range instead of overflowing on long digit runs that
// a peer may send.
inline std::int32_t decimalValue(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && std::isspace(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  std::int64_t value = 0;
  constexpr std::int64_t limit = std::int64_t{std::numeric_limits<std::int32_t>::max()} + 1;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > limit) value = limit;
  }
  if (negative) value = -value;
  if (value > std::numeric_limits<std::int32_t>::max()) value = std::numeric_limits<std::int32_t>::max();
  return static_cast<std::int32_t>(value);
}

}  // namespace mc::relay
