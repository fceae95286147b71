#pragma once
#include <cstdint>
#include <span>
#include <vector>

namespace mc::test {

// Encodes 16-bit PCM to AAC LC with libavcodec's native encoder and wraps
// every packet in a 7-byte ADTS header, as a camera sends its sound. One
// vector per ADTS frame.
std::vector<std::vector<std::uint8_t>> encodeAdts(std::span<const std::int16_t> interleaved, std::uint32_t sampleRate,
                                                  int channels, long bitRate);

}  // namespace mc::test
