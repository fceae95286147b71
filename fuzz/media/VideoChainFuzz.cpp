#include <cstddef>
#include <cstdint>

#include "fuzz/media/VideoChainEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return mc::fuzz::videoChainOneInput(data, size);
}
