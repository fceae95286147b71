#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace mc {

// Cuts `text` at every `separator`. Every list the servers send is a
// ";"-separated text; versions are cut at ".". With `dropEmpty` set, empty
// pieces (two separators in a row, a leading or trailing one) are left out.
std::vector<std::string> splitText(std::string_view text, char separator, bool dropEmpty);

}  // namespace mc
