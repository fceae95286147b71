#include <cstddef>
#include <cstdint>

#include "fuzz/store/StoreListsEntry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return mc::fuzz::storeListsOneInput(data, size);
}
