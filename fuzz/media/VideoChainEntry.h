#pragma once
#include <cstddef>
#include <cstdint>

namespace mc::fuzz {

// Feeds bytes as a relay would deliver video frames: each record is a
// 24-byte frame header (6 little-endian words) followed by as many payload
// bytes as its length field says (cut at the end of the input). The frames
// go through the camera's buffers and a dispatch pass of the decode and
// display chain.
int videoChainOneInput(const std::uint8_t* data, std::size_t size);

}  // namespace mc::fuzz
