#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <thread>

#include "core/AppFolder.h"
#include "media/AudioLogic.h"
#include "media/SoundDevice.h"
#include "media/SoundDevicePulse.h"
#include "tests/support/PulseAudioServer.h"
#include "tests/support/SoundCapture.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ToneAnalysis.h"

using mc::test::PulseAudioServer;
using mc::test::SoundCapture;
using mc::test::TempFolder;

namespace {

using Clock = std::chrono::steady_clock;

// Two tones, one per channel (the same on both for mono).
std::vector<std::int16_t> twoTones(double left, double right, double amplitude, std::uint32_t rate, double seconds,
                                   int channels) {
  const auto frames = static_cast<std::size_t>(seconds * rate);
  std::vector<std::int16_t> samples;
  for (std::size_t i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / rate;
    samples.push_back(static_cast<std::int16_t>(std::lround(amplitude * std::sin(2 * M_PI * left * t))));
    if (channels == 2)
      samples.push_back(static_cast<std::int16_t>(std::lround(amplitude * std::sin(2 * M_PI * right * t))));
  }
  return samples;
}

// Hands PCM to the output in 20 ms pieces at the pace a camera delivers it.
void feedInRealTime(AudioLogic& logic, const std::vector<std::int16_t>& pcm, std::uint32_t rate, int channels) {
  const std::size_t piece = rate / 50 * static_cast<std::size_t>(channels);
  auto next = Clock::now();
  for (std::size_t start = 0; start < pcm.size(); start += piece) {
    const std::size_t count = std::min(piece, pcm.size() - start);
    logic.EnqueuePcm(reinterpret_cast<const std::uint8_t*>(pcm.data() + start),
                     static_cast<std::uint32_t>(count * sizeof(std::int16_t)), rate, 16, channels);
    next += std::chrono::milliseconds(20);
    std::this_thread::sleep_until(next);
  }
}

constexpr double kAmplitude = 8000;
constexpr double kLoud = 1000;  // RMS threshold between silence and the tone
constexpr std::uint32_t kCaptureRate = 16000;

// Records the sink's monitor until `stretches` loud stretches of at least
// `seconds` each have ended (or 8 s have passed), allowing for the sink's
// own latency.
std::vector<std::int16_t> recordUntilTonesEnd(SoundCapture& capture, int channels, double seconds,
                                              std::size_t stretches = 1) {
  const auto deadline = Clock::now() + std::chrono::seconds(8);
  while (Clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    const auto left = mc::test::channelOf(capture.samples(), channels, 0);
    const auto found = mc::test::loudStretches(left, kCaptureRate, kLoud, static_cast<std::size_t>(seconds * kCaptureRate));
    if (found.size() >= stretches && found.back().end + kCaptureRate / 4 < left.size()) break;
  }
  return capture.stop();
}

struct SoundFixture : ::testing::Test {
  TempFolder folder;
  void SetUp() override { setApplicationFolder(folder.path()); }
};

struct ToneCase {
  const char* name;
  std::uint32_t rate;
  int channels;
  double left;
  double right;
};
void PrintTo(const ToneCase& c, std::ostream* out) { *out << c.name; }

class TonePlayed : public SoundFixture, public ::testing::WithParamInterface<ToneCase> {};

TEST_P(TonePlayed, ReachesTheSinkAtItsFrequencyAndLevel) {
  const ToneCase& c = GetParam();
  PulseAudioServer server;
  ASSERT_TRUE(server.ready()) << server.error();
  SoundCapture capture(kCaptureRate, c.channels);
  ASSERT_TRUE(capture.start()) << capture.error();

  auto logic = AudioLogic::create(createSoundOutput());
  feedInRealTime(*logic, twoTones(c.left, c.right, kAmplitude, c.rate, 1.5, c.channels), c.rate, c.channels);
  const auto recorded = recordUntilTonesEnd(capture, c.channels, 1.2);
  const auto stats = logic->stats();
  logic->stop();

  EXPECT_EQ(stats.droppedQueueFull, 0u) << "sound delivered in real time loses nothing";
  EXPECT_EQ(stats.bytesDroppedRingFull, 0u);
  EXPECT_EQ(stats.opens, 1u);
  for (int channel = 0; channel < c.channels; ++channel) {
    const double frequency = channel == 0 ? c.left : c.right;
    const auto samples = mc::test::channelOf(recorded, c.channels, channel);
    const auto stretch = mc::test::loudStretch(samples, kCaptureRate, kLoud);
    ASSERT_GE(stretch.size(), 1.2 * kCaptureRate) << "channel " << channel << ": the tone did not reach the sink";
    const std::span<const std::int16_t> middle(samples.data() + stretch.begin + kCaptureRate / 10,
                                               stretch.size() - kCaptureRate / 5);
    EXPECT_NEAR(mc::test::dominantFrequency(middle, kCaptureRate), frequency, 2.0) << "channel " << channel;
    EXPECT_NEAR(20 * std::log10(mc::test::toneAmplitude(middle, frequency, kCaptureRate) / kAmplitude), 0.0, 1.0)
        << "channel " << channel;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, TonePlayed,
                         ::testing::Values(ToneCase{"Mono8k", 8000, 1, 440, 440},
                                           ToneCase{"Mono16k", 16000, 1, 1000, 1000},
                                           ToneCase{"Stereo48kKeepsItsChannelsApart", 48000, 2, 600, 1500}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(SoundFixture, AFormatChangeReopensTheRealDeviceAndBothTonesAreHeard) {
  PulseAudioServer server;
  ASSERT_TRUE(server.ready()) << server.error();
  SoundCapture capture(kCaptureRate, 1);
  ASSERT_TRUE(capture.start()) << capture.error();

  auto logic = AudioLogic::create(createSoundOutput());
  feedInRealTime(*logic, twoTones(440, 440, kAmplitude, 8000, 1.5, 1), 8000, 1);
  feedInRealTime(*logic, twoTones(1000, 1000, kAmplitude, 16000, 1.5, 1), 16000, 1);
  const auto recorded = recordUntilTonesEnd(capture, 1, 1.0, 2);
  EXPECT_EQ(logic->stats().opens, 2u);
  logic->stop();

  // The old stream's buffered tail goes with it and the new one buffers
  // before it plays, so the tones may be apart; both must be there, in order.
  const auto stretches = mc::test::loudStretches(recorded, kCaptureRate, kLoud, kCaptureRate / 10);
  std::vector<double> frequencies;
  for (const auto& stretch : stretches) {
    const std::span<const std::int16_t> piece(recorded.data() + stretch.begin, stretch.size());
    frequencies.push_back(std::round(mc::test::dominantFrequency(piece, kCaptureRate) / 10) * 10);
  }
  EXPECT_EQ(frequencies, (std::vector<double>{440, 1000})) << "one stretch per tone, 440 Hz first";
  std::size_t heard = 0;
  for (const auto& stretch : stretches) heard += stretch.size();
  EXPECT_GE(heard, 2.5 * kCaptureRate) << "at most half a second lost at the switch";
}

TEST_F(SoundFixture, TheSoundServerGoingAwayNeitherHangsNorStopsThePlayThread) {
  auto server = std::make_unique<PulseAudioServer>();
  ASSERT_TRUE(server->ready()) << server->error();
  auto logic = AudioLogic::create(createSoundOutput());
  const auto tone = twoTones(440, 440, kAmplitude, 8000, 0.5, 1);
  feedInRealTime(*logic, tone, 8000, 1);
  server.reset();
  feedInRealTime(*logic, tone, 8000, 1);
  feedInRealTime(*logic, tone, 8000, 1);
  auto handled = [&] {
    const auto s = logic->stats();
    return s.played + s.droppedNoDevice + s.droppedQueueFull;
  };
  for (const auto deadline = Clock::now() + std::chrono::seconds(5); handled() < 75 && Clock::now() < deadline;)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  const auto stats = logic->stats();
  logic->stop();
  EXPECT_GE(stats.opens, 2u) << "the output is reopened once the server is gone";
  EXPECT_EQ(stats.played + stats.droppedNoDevice + stats.droppedQueueFull, 3 * 25u) << "every record was handled";
  EXPECT_LE(stats.droppedNoDevice, 1u) << "the null output takes over";
}

TEST_F(SoundFixture, WithoutASoundServerTheNullOutputPlays) {
  TempFolder empty;
  ::setenv("XDG_RUNTIME_DIR", empty.path().c_str(), 1);
  ::setenv("PULSE_SERVER", ("unix:" + empty.file("none")).c_str(), 1);
  auto output = createSoundOutput();
  ASSERT_TRUE(output->open(PcmFormat{8000, 16, 1}, [](std::size_t) {}));
  EXPECT_STREQ(output->name(), "null");

  auto logic = AudioLogic::create(createSoundOutput());
  feedInRealTime(*logic, twoTones(440, 440, kAmplitude, 8000, 0.2, 1), 8000, 1);
  for (const auto deadline = Clock::now() + std::chrono::seconds(5); logic->stats().played < 10 && Clock::now() < deadline;)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  EXPECT_EQ(logic->stats().played, 10u);
  EXPECT_EQ(logic->stats().droppedNoDevice, 0u);
}

TEST_F(SoundFixture, WithASoundServerPulseAudioComesFirstAndRefusesBadFormats) {
  PulseAudioServer server;
  ASSERT_TRUE(server.ready()) << server.error();
  auto output = createSoundOutput();
  ASSERT_TRUE(output->open(PcmFormat{8000, 16, 1}, [](std::size_t) {}));
  EXPECT_STREQ(output->name(), "pulseaudio");
  output->close();

  PulseSoundOutput pulse;
  for (const PcmFormat bad : {PcmFormat{8000, 12, 1}, PcmFormat{8000, 16, 0}, PcmFormat{0, 16, 1}})
    EXPECT_FALSE(pulse.open(bad, [](std::size_t) {})) << bad.text();
  EXPECT_FALSE(pulse.submit(0, nullptr, 0)) << "a closed output refuses blocks";
}

}  // namespace
