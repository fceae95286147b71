#include <gtest/gtest.h>

#include <filesystem>
#include <functional>

#include "fuzz/camera/CameraFuzzEntries.h"
#include "tests/support/TempFolder.h"

namespace {

// Every seed of the camera fuzz corpora replayed as a test (a broken
// invariant traps, a sanitizer report fails it).
TEST(FuzzReplay, CameraCorpora) {
  struct Corpus {
    const char* folder;
    std::function<int(const std::uint8_t*, std::size_t)> entry;
  };
  const Corpus corpora[] = {{"relay_bodies", camera_fuzz::relayBodiesEntry},
                            {"record_search", camera_fuzz::recordSearchEntry}};
  for (const auto& corpus : corpora) {
    std::size_t replayed = 0;
    for (const auto& file : std::filesystem::directory_iterator(std::string(MC_FUZZ_CORPUS "/") + corpus.folder)) {
      if (!file.is_regular_file()) continue;
      SCOPED_TRACE(file.path().string());
      const std::string bytes = mc::test::readFile(file.path().string());
      corpus.entry(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      ++replayed;
    }
    EXPECT_GT(replayed, 0u) << corpus.folder << ": the corpus is missing";
  }
}

}  // namespace
