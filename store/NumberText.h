#pragma once
#include <cstdint>
#include <string>
#include <string_view>

namespace mc {

// Numbers in stored statements and server lists, read and written the same way
// whatever the process locale.

// A real as "%f" prints it in the C locale: six decimals, "." as the decimal
// point. A value that is not finite prints as 0.000000.
std::string formatReal(double value);

// The leading decimal number of `text`, as atof reads it in the C locale:
// leading blanks skipped, an optional sign, 0 when there is no number. Values
// that are not finite read as 0.
double parseReal(std::string_view text);

// The leading decimal integer of `text`, as atoi reads it: leading blanks
// skipped, an optional sign, 0 when there is none; values beyond 32 bits are
// clamped to the nearest limit instead of being undefined.
std::int32_t parseInteger(std::string_view text);

}  // namespace mc
