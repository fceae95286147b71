#pragma once
#include <cstddef>
#include <cstdint>

namespace mc::fuzz {

// Feeds bytes as camera sound payloads: byte 0 picks the codec (bit 0: 0 AAC,
// 1 G.711 A-law) and the announced channel count (bits 1-3), byte 1 the
// announced sample rate; the rest is payload. AAC input is split into two
// payloads through one decoder, so a bad first frame is followed by more.
int audioDecodersOneInput(const std::uint8_t* data, std::size_t size);

}  // namespace mc::fuzz
