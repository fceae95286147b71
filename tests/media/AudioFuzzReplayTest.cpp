#include <gtest/gtest.h>

#include <filesystem>

#include "fuzz/media/AudioDecodersEntry.h"
#include "tests/support/TempFolder.h"

namespace {

// Every seed of the audio decoders' fuzz corpus replayed as a test (a crash
// or sanitizer report fails it).
TEST(FuzzReplay, AudioDecodersCorpus) {
  std::size_t replayed = 0;
  for (const auto& entry : std::filesystem::directory_iterator(MC_FUZZ_CORPUS "/audio_decoders")) {
    if (!entry.is_regular_file()) continue;
    const std::string bytes = mc::test::readFile(entry.path().string());
    SCOPED_TRACE(entry.path().filename().string());
    mc::fuzz::audioDecodersOneInput(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    ++replayed;
  }
  EXPECT_GT(replayed, 0u) << "the corpus is missing";
}

}  // namespace
