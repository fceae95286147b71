#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace mc {

// Statements of the local store are texts with printf-style markers: '%s' for
// a text (always written between single quotes), %d for a 32-bit integer and
// %f for a real with six decimals.
using SqlValue = std::variant<std::string_view, std::int32_t, double>;

// Every statement must fit a buffer of this many bytes, terminator included.
inline constexpr std::size_t kStatementBufferSize = 512;

// Substitutes `values` for the markers in order. Texts have every single quote
// doubled, so no value can end its literal early. Empty when the result would
// not fit kStatementBufferSize, when a text holds a NUL byte, or when the
// markers and values do not match (count, type, or a %s without its quotes).
std::optional<std::string> formatStatement(std::string_view pattern, std::initializer_list<SqlValue> values);

}  // namespace mc
