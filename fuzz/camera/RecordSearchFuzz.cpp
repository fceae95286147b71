#include "fuzz/camera/CameraFuzzEntries.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  return camera_fuzz::recordSearchEntry(data, size);
}
