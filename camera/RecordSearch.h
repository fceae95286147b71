#pragma once
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// One day of recordings as the relay names it, with its recorded stretches
// in minutes of the day (start, end; 0 to 1440 as the relay gives them).
struct RecordDay {
  std::string day;
  std::vector<std::pair<std::int32_t, std::int32_t>> segments;

  friend bool operator==(const RecordDay&, const RecordDay&) = default;
};

namespace mc::relay {

// Reads a record-search reply: `data` lists day texts and `time` the
// stretches of each day, both ";"-separated and of the same length (empty
// pieces count); item i of `time` holds "start-end" stretches separated by
// "|". A day whose item of `time` is empty is left out; a stretch that is not exactly two
// numbers around one "-" is skipped ("-5" reads as 0 to 5); a day named twice
// collects the stretches of both, in reply order. False when the two lists
// differ in length (`days` is then empty).
bool parseRecordSearch(const std::string& data, const std::string& time, std::vector<RecordDay>& days);

}  // namespace mc::relay
