#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

// Entry points shared by the fuzz targets and by the tests that replay their
// seed corpora. Each returns 0 and traps when an invariant breaks.
namespace link_fuzz {

// A received body through parsePayload; what decodes must survive being
// built and parsed again unchanged.
int parsePayloadEntry(const std::uint8_t* data, std::size_t size);

// The read loop of a link: data[0] picks how the rest is cut into reads, the
// rest is the byte stream. The frame reader must yield exactly the frames a
// plain reading of the stream gives, and stop at the first bad length; every
// body then goes through parsePayload as the logic-server link does.
int readLoopEntry(const std::uint8_t* data, std::size_t size);

// A plain reading of a stream: the complete frames before the end or before
// the first length outside 4..512 000 (then `badLength` is set).
std::vector<std::vector<std::uint8_t>> referenceFrames(const std::uint8_t* data, std::size_t size, bool& badLength);

// The read sizes readLoopEntry uses for a stream of `size` bytes and seed.
std::vector<std::size_t> readSizes(std::uint8_t seed, std::size_t size);

}  // namespace link_fuzz
