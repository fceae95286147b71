#include "common/Split.h"

namespace mc {

std::vector<std::string> splitText(std::string_view text, char separator, bool dropEmpty) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = text.find(separator, start);
    const std::string_view piece =
        text.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (!piece.empty() || !dropEmpty) pieces.emplace_back(piece);
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  return pieces;
}

}  // namespace mc
