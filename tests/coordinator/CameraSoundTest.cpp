// The camera's sound heard for real: the simulator's tone, decoded by the
// client (AAC and G.711 A-law cameras) and played to a private PulseAudio
// daemon, is recorded back from the null sink's monitor.
#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

#include "tests/coordinator/CliRunner.h"
#include "tests/coordinator/CoordinatorFixture.h"
#include "tests/support/PulseAudioServer.h"
#include "tests/support/SoundCapture.h"
#include "tests/support/ToneAnalysis.h"

using coordtest::CliRun;
using coordtest::CoordinatorTest;

namespace {

const char* const kToneCameras = R"({
  "users": [{"name": "alice", "password": "secret", "userId": "u1"}],
  "nodes": [{"id": "n1", "name": "Yard", "cameras": [
    {"id": "cam-aac", "name": "AAC", "audio": {"codec": "aac", "sampleRate": 8000, "channels": 1, "toneHz": 1000}},
    {"id": "cam-alaw", "name": "A-law", "audio": {"codec": "g711a", "toneHz": 440}}
  ]}]
})";

class CameraSound : public CoordinatorTest {
 protected:
  std::string config() const override { return kToneCameras; }
  void SetUp() override {
    CoordinatorTest::SetUp();
    writeConfig();
  }
};

}  // namespace

TEST_F(CameraSound, TheCameraToneIsHeardAtItsFrequency) {
  struct Case {
    const char* camera;
    double toneHz;
  };
  mc::test::PulseAudioServer pulse;
  ASSERT_TRUE(pulse.ready()) << pulse.error() << pulse.log();
  for (const Case c : {Case{"cam-aac", 1000}, Case{"cam-alaw", 440}}) {
    mc::test::SoundCapture capture(8000, 1);
    ASSERT_TRUE(capture.start()) << capture.error();
    const CliRun run =
        coordtest::runCli(home.path(), std::string("live ") + c.camera + " --sound --seconds 4 --user alice --password secret");
    const auto samples = capture.stop();
    ASSERT_EQ(run.exitCode, 0) << run.err;
    // A busy machine may leave short gaps in the sound; what matters is that the
    // tone is heard for most of the run and has the camera's frequency.
    std::size_t heardSamples = 0;
    for (const auto& stretch : mc::test::loudStretches(samples, 8000, 1000, 800)) heardSamples += stretch.size();
    EXPECT_GT(heardSamples, 12000u) << c.camera << ": at least 1.5 s of the 4 s run, of " << samples.size();
    const auto loud = mc::test::loudStretch(samples, 8000, 1000);
    ASSERT_GT(loud.size(), 4000u) << c.camera << ": an unbroken half second to measure";
    const std::span<const std::int16_t> heard(samples.data() + loud.begin, loud.size());
    EXPECT_NEAR(mc::test::dominantFrequency(heard, 8000, 100, 3900), c.toneHz, 2.0) << c.camera;
    // The level over 100 ms windows (a glitch breaks the phase of one window, not of all).
    std::vector<double> levels;
    for (std::size_t at = 0; at + 800 <= heard.size(); at += 800)
      levels.push_back(mc::test::toneAmplitude(heard.subspan(at, 800), c.toneHz, 8000));
    std::nth_element(levels.begin(), levels.begin() + levels.size() / 2, levels.end());
    EXPECT_GT(levels[levels.size() / 2], 8000) << c.camera << ": the tone is -6 dBFS";
  }
}
