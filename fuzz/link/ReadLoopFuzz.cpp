#include "fuzz/link/LinkFuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return link_fuzz::readLoopEntry(data, size);
}
