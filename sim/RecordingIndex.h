#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/Catalogue.h"

namespace sim {

// A moment of a camera's recordings: a recorded day and the second of that day.
struct RecordingMoment {
  int day = 0;        // index into RecordingIndex::days()
  double second = 0;  // 0 to 86400
};

// Parses "YYYY-MM-DD HH:MM:SS" into a day text and the second of the day.
bool parseDateTime(const std::string& text, std::string& day, int& secondOfDay);

// The recordings of one camera, days in date order, and what a playback does
// with them: search a range, find where a seek lands, advance over gaps.
class RecordingIndex {
 public:
  explicit RecordingIndex(std::vector<RecordingDay> days);

  const std::vector<RecordingDay>& days() const { return days_; }
  bool empty() const { return days_.empty(); }

  // The answer texts of a search: days joined by ";", each day's stretches
  // "start-end" joined by "|". `type` "0" lists every recording, "1" only
  // alarm recordings. Stretches are cut to the range. False with `error`.
  bool search(const std::string& type, const std::string& start, const std::string& stop, std::string& data,
              std::string& time, std::string& error) const;

  // The first recorded moment at or after `day` `second`; false when none.
  bool firstAtOrAfter(const std::string& day, double second, RecordingMoment& out) const;
  // Where a playback starts: the first stretch of the latest day.
  RecordingMoment start() const;
  // Moves on by `seconds` of recording, jumping over the gaps; false when the
  // recordings end first (the position then stays at the end).
  bool advance(RecordingMoment& position, double seconds) const;

  // Header word 5 for a moment.
  std::uint32_t recordTimeWord(const RecordingMoment& moment) const;
  // "YYYY-MM-DD HH:MM:SS" of a moment.
  std::string text(const RecordingMoment& moment) const;

 private:
  std::vector<RecordingDay> days_;
};

}  // namespace sim
