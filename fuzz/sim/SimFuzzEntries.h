#pragma once
#include <cstddef>
#include <cstdint>

// The fuzz entry of platform-sim's inputs, shared by the fuzz target and the
// test that replays its seed corpus. Returns 0; traps when an invariant breaks.
namespace sim_fuzz {

// data[0] % 4 picks what the rest is:
//   0  a media body from a relay client (parseMediaBody);
//   1  control-port lines, "\n"-separated;
//   2  logic-server requests: records of [kind][param count] then per param
//      [name index][value length][value bytes]; data[1] bit 0 logs in first;
//   3  recordings and the playback requests on them (search, seek, advance).
int serverInputEntry(const std::uint8_t* data, std::size_t size);

}  // namespace sim_fuzz
