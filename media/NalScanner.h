#pragma once
#include <cstddef>
#include <cstdint>

// Splits an Annex B H.264 byte stream into NAL units.
namespace mc::h264 {

enum NalType : std::uint8_t {
  kNalSlice = 1,        // coded slice of a non-IDR picture
  kNalPartitionA = 2,   // data partitions A to C
  kNalPartitionC = 4,
  kNalIdrSlice = 5,
  kNalSei = 6,
  kNalSps = 7,
  kNalPps = 8,
};

struct NalUnit {
  const std::uint8_t* data = nullptr;  // first byte is the NAL header
  std::size_t length = 0;
  std::uint8_t header() const { return data[0]; }
  std::uint8_t type() const { return data[0] & 0x1F; }
  bool isSlice() const { return type() >= kNalSlice && type() <= kNalIdrSlice; }
};

// Finds the unit after the next start code (00 00 01, or 00 00 00 01 whose
// first zero ends the previous unit) at or after `pos`. The unit ends before
// the next 00 00 00 / 00 00 01 or at the end of the buffer; `pos` moves past
// it. False when no further start code is followed by at least one byte.
bool nextNalUnit(const std::uint8_t* data, std::size_t length, std::size_t& pos, NalUnit& unit);

}  // namespace mc::h264
