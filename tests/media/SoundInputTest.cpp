#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <mutex>
#include <thread>

#include "core/AppFolder.h"
#include "media/AudioLogic.h"
#include "media/SoundDevicePulse.h"
#include "tests/support/PulseAudioServer.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ToneAnalysis.h"

namespace {

using Clock = std::chrono::steady_clock;

// What a capture handed over.
struct Captured {
  std::mutex mutex;
  std::vector<std::uint32_t> lengths;
  std::vector<PcmFormat> formats;
  std::vector<std::int16_t> samples;

  ISoundInput::OnPcm receiver() {
    return [this](const std::uint8_t* pcm, std::uint32_t length, const PcmFormat& format) {
      std::lock_guard lock(mutex);
      lengths.push_back(length);
      formats.push_back(format);
      const auto* s = reinterpret_cast<const std::int16_t*>(pcm);
      samples.insert(samples.end(), s, s + length / 2);
    };
  }
  std::vector<std::int16_t> copy() {
    std::lock_guard lock(mutex);
    return samples;
  }
};

struct CaptureCase {
  const char* name;
  int channels;
  std::size_t bufferBytes;
  double left;
  double right;
};
void PrintTo(const CaptureCase& c, std::ostream* out) { *out << c.name; }

class Capture : public ::testing::TestWithParam<CaptureCase> {
 protected:
  mc::test::TempFolder folder;
  void SetUp() override { setApplicationFolder(folder.path()); }
};

// The talk-back formats: 20 ms mono buffers and 128 ms stereo buffers at 8 kHz.
TEST_P(Capture, DeliversWholeBuffersOfWhatIsPlaying) {
  const CaptureCase& c = GetParam();
  mc::test::PulseAudioServer server;
  ASSERT_TRUE(server.ready()) << server.error();
  const PcmFormat format{8000, 16, c.channels};
  PulseSoundInput input(mc::test::PulseAudioServer::kMonitor);
  Captured captured;
  ASSERT_TRUE(input.start(format, c.bufferBytes, captured.receiver())) << input.lastError();

  std::vector<std::int16_t> tone;
  for (std::size_t i = 0; i < 8000 * 3 / 2; ++i) {
    const double t = i / 8000.0;
    tone.push_back(static_cast<std::int16_t>(std::lround(8000 * std::sin(2 * M_PI * c.left * t))));
    if (c.channels == 2) tone.push_back(static_cast<std::int16_t>(std::lround(8000 * std::sin(2 * M_PI * c.right * t))));
  }
  auto speakers = AudioLogic::create(createSoundOutput());
  const std::size_t piece = 160 * static_cast<std::size_t>(c.channels);
  auto next = Clock::now();
  for (std::size_t start = 0; start < tone.size(); start += piece) {
    speakers->EnqueuePcm(reinterpret_cast<const std::uint8_t*>(tone.data() + start),
                         static_cast<std::uint32_t>(piece * 2), 8000, 16, c.channels);
    next += std::chrono::milliseconds(20);
    std::this_thread::sleep_until(next);
  }
  mc::test::Stretch loud;
  for (const auto deadline = Clock::now() + std::chrono::seconds(6); Clock::now() < deadline;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    const auto left = mc::test::channelOf(captured.copy(), c.channels, 0);
    loud = mc::test::loudStretch(left, 8000, 1000);
    if (loud.size() >= 8000 && loud.end + 2000 < left.size()) break;
  }
  input.stop();
  speakers->stop();

  std::lock_guard lock(captured.mutex);
  for (std::size_t i = 0; i < captured.lengths.size(); ++i) {
    ASSERT_EQ(captured.lengths[i], c.bufferBytes) << "buffer " << i;
    ASSERT_EQ(captured.formats[i], format);
  }
  for (int channel = 0; channel < c.channels; ++channel) {
    const auto samples = mc::test::channelOf(captured.samples, c.channels, channel);
    const auto stretch = mc::test::loudStretch(samples, 8000, 1000);
    ASSERT_GE(stretch.size(), 8000u) << "channel " << channel << ": the tone was not captured";
    const std::span<const std::int16_t> middle(samples.data() + stretch.begin + 800, stretch.size() - 1600);
    EXPECT_NEAR(mc::test::dominantFrequency(middle, 8000), channel == 0 ? c.left : c.right, 2) << channel;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, Capture,
                         ::testing::Values(CaptureCase{"Mono20ms", 1, 320, 1000, 1000},
                                           CaptureCase{"Stereo128ms", 2, 4096, 500, 1200}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CaptureStart, FailsWithAReasonWhenThereIsNoSoundServerOrTheBuffersDoNotFit) {
  mc::test::TempFolder empty;
  setApplicationFolder(empty.path());
  ::setenv("XDG_RUNTIME_DIR", empty.path().c_str(), 1);
  ::setenv("PULSE_SERVER", ("unix:" + empty.file("none")).c_str(), 1);
  auto input = createSoundInput();
  EXPECT_FALSE(input->start(PcmFormat{8000, 16, 1}, 320, {}));
  EXPECT_FALSE(input->lastError().empty());

  PulseSoundInput odd;
  EXPECT_FALSE(odd.start(PcmFormat{8000, 16, 1}, 321, {})) << "a buffer must hold whole samples";
  EXPECT_NE(odd.lastError().find("321"), std::string::npos) << odd.lastError();
}

}  // namespace
