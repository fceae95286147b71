#include "media/NalScanner.h"

namespace mc::h264 {

bool nextNalUnit(const std::uint8_t* data, std::size_t length, std::size_t& pos, NalUnit& unit) {
  if (data == nullptr) return false;
  // Start of the unit: the first k >= pos + 3 preceded by 00 00 01.
  std::size_t start = pos + 3;
  while (start < length && !(data[start - 3] == 0 && data[start - 2] == 0 && data[start - 1] == 1)) {
    ++start;
  }
  if (start >= length) {
    pos = length;
    return false;
  }
  // End: the first e > start with e, e + 1 zero and e + 2 zero or one.
  std::size_t end = start + 1;
  while (end + 2 < length && !(data[end] == 0 && data[end + 1] == 0 && data[end + 2] <= 1)) {
    ++end;
  }
  if (end + 2 >= length) end = length;
  pos = end;
  // A unit never ends in a zero byte (its stop bit), so zeros before the next
  // start code or at the end of the buffer are padding.
  while (end - start > 1 && data[end - 1] == 0) --end;
  unit.data = data + start;
  unit.length = end - start;
  return true;
}

}  // namespace mc::h264
