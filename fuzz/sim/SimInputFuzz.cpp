#include "fuzz/sim/SimFuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return sim_fuzz::serverInputEntry(data, size);
}
