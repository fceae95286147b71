#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "fuzz/store/StoreListsEntry.h"
#include "tests/support/TempFolder.h"

namespace {

// Every seed of the store lists' fuzz corpus replayed as a test (a broken
// promise aborts, a sanitizer report fails it).
TEST(FuzzReplay, StoreListsCorpus) {
  std::size_t replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(MC_FUZZ_CORPUS "/store_lists")) {
    if (!entry.is_regular_file()) continue;
    const std::string bytes = mc::test::readFile(entry.path().string());
    SCOPED_TRACE(entry.path().filename().string());
    mc::fuzz::storeListsOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ++replayed;
  }
  EXPECT_GT(replayed, 0u) << "the corpus is missing";
}

}  // namespace
