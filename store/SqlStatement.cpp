#include "store/SqlStatement.h"

#include "store/NumberText.h"

namespace mc {

namespace {

void appendQuotedText(std::string& out, std::string_view text) {
  for (const char c : text) {
    out += c;
    if (c == '\'') out += '\'';
  }
}

}  // namespace

std::optional<std::string> formatStatement(std::string_view pattern, std::initializer_list<SqlValue> values) {
  std::string out;
  out.reserve(kStatementBufferSize);
  auto next = values.begin();
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    const char c = pattern[i];
    if (c != '%') {
      out += c;
      continue;
    }
    if (i + 1 >= pattern.size() || next == values.end()) return std::nullopt;
    const char marker = pattern[++i];
    const SqlValue& value = *next++;
    switch (marker) {
      case 's': {
        const auto* text = std::get_if<std::string_view>(&value);
        const bool quoted = i >= 2 && pattern[i - 2] == '\'' && i + 1 < pattern.size() && pattern[i + 1] == '\'';
        if (!text || !quoted || text->find('\0') != std::string_view::npos) return std::nullopt;
        appendQuotedText(out, *text);
        break;
      }
      case 'd': {
        const auto* number = std::get_if<std::int32_t>(&value);
        if (!number) return std::nullopt;
        out += std::to_string(*number);
        break;
      }
      case 'f': {
        const auto* real = std::get_if<double>(&value);
        if (!real) return std::nullopt;
        out += formatReal(*real);
        break;
      }
      default:
        return std::nullopt;
    }
    if (out.size() >= kStatementBufferSize) return std::nullopt;
  }
  if (next != values.end() || out.size() >= kStatementBufferSize) return std::nullopt;
  return out;
}

}  // namespace mc
