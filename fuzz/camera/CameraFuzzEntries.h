#pragma once
#include <cstddef>
#include <cstdint>

// Entry points shared by the fuzz targets and by the tests that replay their
// seed corpora. Each returns 0 and traps when an invariant breaks.
namespace camera_fuzz {

// A relay's byte stream (4-byte little-endian length, body; cut at the first
// bad length as the link does) handed body by body to a relay link. Every
// media frame it queues must hold exactly what its body carried.
int relayBodiesEntry(const std::uint8_t* data, std::size_t size);

// A record-search reply: the input up to the first zero byte is "data", the
// rest "time". The two lists must agree in length for a result, every listed
// day must appear once, and no stretch may come from nowhere.
int recordSearchEntry(const std::uint8_t* data, std::size_t size);

}  // namespace camera_fuzz
