#include <cstddef>
#include <cstdint>

#include "fuzz/media/AudioDecodersEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return mc::fuzz::audioDecodersOneInput(data, size);
}
