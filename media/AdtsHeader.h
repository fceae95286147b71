#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

// The ADTS header in front of each AAC frame of a raw AAC stream.
namespace mc::aac {

struct AdtsHeader {
  int objectType = 2;          // audio object type (2 = AAC LC)
  int frequencyIndex = 0;      // index into the MPEG-4 sampling frequency table
  int channelConfig = 0;       // 1..7; 0 = defined in the payload (not supported)
  std::size_t headerLength = 7;  // 9 with a CRC
  std::size_t frameLength = 0;   // header and payload
  int rawBlocks = 1;           // AAC frames of 1024 samples in this ADTS frame

  int sampleRate() const;
  // The two-byte AudioSpecificConfig a decoder needs for this stream.
  std::vector<std::uint8_t> audioSpecificConfig() const;
};

// Reads the header at the start of `data`; nothing when the bytes are not a
// complete, consistent ADTS frame of at most `length` bytes.
std::optional<AdtsHeader> parseAdts(const std::uint8_t* data, std::size_t length);

// Writes the 7-byte header (no CRC) of a frame carrying `payloadLength` bytes
// of one raw AAC frame. False when the values do not fit the header.
bool writeAdts(std::uint8_t* out, int objectType, int frequencyIndex, int channelConfig,
               std::size_t payloadLength);

// Index of `sampleRate` in the MPEG-4 table, or -1.
int frequencyIndexOf(int sampleRate);

}  // namespace mc::aac
