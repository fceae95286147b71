// Camera sound through the real pipeline: frames in a camera's CBufferManage,
// the dispatch loop's audio step with the real decoders, the recorder's audio
// side and the speakers.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <cstring>
#include <mutex>
#include <thread>

#include "core/AppFolder.h"
#include "media/AacDecoder.h"
#include "media/AudioDecoders.h"
#include "media/AudioLogic.h"
#include "media/CMediaPipeline.h"
#include "media/G711Decoder.h"
#include "tests/media/AacToneEncoder.h"
#include "tests/media/FakeSoundOutput.h"
#include "tests/support/PulseAudioServer.h"
#include "tests/support/SoundCapture.h"
#include "tests/support/TempFolder.h"
#include "tests/support/ToneAnalysis.h"

namespace {

using mc::media::AudioFormat;
using Clock = std::chrono::steady_clock;

// A-law code of a linear sample: the code whose expansion is nearest
// (a search over the decoder's own table keeps the test free of a second
// encoder implementation).
std::uint8_t alawCode(std::int16_t sample) {
  int best = 0;
  for (int code = 1; code < 256; ++code)
    if (std::abs(alawToLinear(static_cast<std::uint8_t>(code)) - sample) <
        std::abs(alawToLinear(static_cast<std::uint8_t>(best)) - sample))
      best = code;
  return static_cast<std::uint8_t>(best);
}

// Camera frames carrying `seconds` of a tone, as the relay delivers them.
struct CameraSound {
  AudioFormat format;
  std::vector<std::vector<std::uint8_t>> frames;
  double frameSeconds;
};

CameraSound g711Camera(double frequency, double seconds) {
  CameraSound sound{AudioFormat{8000, 16, 1, mc::media::kCodecG711A}, {}, 0.02};
  std::vector<std::uint8_t> codes;
  for (const std::int16_t s : mc::test::makeTone(frequency, 8000, 8000, seconds)) codes.push_back(alawCode(s));
  for (std::size_t start = 0; start < codes.size(); start += 160)
    sound.frames.emplace_back(codes.begin() + static_cast<std::ptrdiff_t>(start),
                              codes.begin() + static_cast<std::ptrdiff_t>(std::min(start + 160, codes.size())));
  return sound;
}

CameraSound aacCamera(double frequency, double seconds) {
  CameraSound sound{AudioFormat{16000, 16, 1, mc::media::kCodecAac}, {}, 1024.0 / 16000};
  sound.frames = mc::test::encodeAdts(mc::test::makeTone(frequency, 8000, 16000, seconds), 16000, 1, 32000);
  return sound;
}

// The recorder's audio face: keeps every block it is given.
class RecorderAudio final : public IAduioDo {
 public:
  RecorderAudio() : IAduioDo(SxtParam::create("1001")) {}
  bool Process(const std::uint8_t* pcm, std::uint32_t length, std::uint32_t rate, std::int32_t bits,
               std::int32_t channels) override {
    std::lock_guard guard(mutex_);
    formats_.push_back({rate, bits, channels});
    const auto* samples = reinterpret_cast<const std::int16_t*>(pcm);
    samples_.insert(samples_.end(), samples, samples + length / 2);
    lengths_.push_back(length);
    return true;
  }
  std::vector<std::int16_t> samples() {
    std::lock_guard guard(mutex_);
    return samples_;
  }
  std::vector<PcmFormat> formats() {
    std::lock_guard guard(mutex_);
    return formats_;
  }

 private:
  std::mutex mutex_;
  std::vector<std::int16_t> samples_;
  std::vector<std::uint32_t> lengths_;
  std::vector<PcmFormat> formats_;
};

struct Pane : IVideoState {};

struct CameraSoundFixture : ::testing::Test {
  mc::test::TempFolder temp;
  std::shared_ptr<CBufferManage> buffers = std::make_shared<CBufferManage>();
  std::shared_ptr<Pane> pane = std::make_shared<Pane>();
  std::shared_ptr<RecorderAudio> recorder = std::make_shared<RecorderAudio>();

  void SetUp() override { setApplicationFolder(temp.path()); }

  PipelineFactory factory(std::shared_ptr<IPcmOutput> speakers) {
    PipelineFactory f;
    f.makeRecorder = [this](const HandlerContext&) { return RecorderHandlers{nullptr, recorder}; };
    f.makeAudioDecoder = createAudioDecoder;
    f.soundOutput = std::move(speakers);
    f.captureFolder = [this] { return temp.path(); };
    return f;
  }

  void push(const CameraSound& sound, std::size_t index) {
    const auto& payload = sound.frames[index];
    AudioFramePtr frame = buffers->AcquireAudioFrame(static_cast<std::int32_t>(payload.size()));
    ASSERT_TRUE(frame);
    frame->header[0] = mc::media::kTagLiveAudio << 16;
    frame->header[2] = static_cast<std::uint32_t>(payload.size());
    frame->header[3] = mc::media::makeAudioFormatWord(sound.format);
    std::memcpy(frame->payload.data(), payload.data(), payload.size());
    buffers->PushAudioFrame(std::move(frame));
  }
};

struct CodecCase {
  const char* name;
  CameraSound (*make)(double, double);
  std::uint32_t rate;
  std::uint32_t blockBytes;
};
void PrintTo(const CodecCase& c, std::ostream* out) { *out << c.name; }

class CameraCodec : public CameraSoundFixture, public ::testing::WithParamInterface<CodecCase> {};

TEST_P(CameraCodec, IsDecodedForTheRecorderAndReachesTheSpeakersOnlyWhileSoundIsOn) {
  const CodecCase& c = GetParam();
  const CameraSound sound = c.make(1000, 1.0);
  auto device = std::make_shared<mc::test::FakeSoundState>();
  device->completeAtOnce = true;
  auto speakers = AudioLogic::create(std::make_unique<mc::test::FakeSoundOutput>(device));
  CMediaPipeline pipeline(SxtParam::create("1001"), buffers, factory(speakers));
  pipeline.BuildPipeline(pane, 9, {}, CMediaPipeline::Dispatch::Manual);

  const std::size_t half = sound.frames.size() / 2;
  for (std::size_t i = 0; i < sound.frames.size(); ++i) {
    if (i == half) pipeline.soundOn = true;
    push(sound, i);
    pipeline.DispatchPass();
    // A camera delivers in real time; let the play thread keep up.
    for (int wait = 0; wait < 200 && speakers->stats().played < speakers->stats().queued; ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  const auto stats = pipeline.stats();
  pipeline.StopPipeline();
  for (int i = 0; i < 200 && speakers->stats().played < speakers->stats().queued; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  speakers->stop();

  EXPECT_EQ(stats.audioFramesHandled, sound.frames.size());
  EXPECT_EQ(stats.audioExceptions, 0u);
  for (const PcmFormat& f : recorder->formats()) ASSERT_EQ(f, (PcmFormat{c.rate, 16, 1}));
  const auto recorded = recorder->samples();
  const double heardSeconds = static_cast<double>(recorded.size()) / c.rate;
  EXPECT_NEAR(heardSeconds, 1.0, 0.15) << "the recorder gets the whole stream";
  const std::span<const std::int16_t> middle(recorded.data() + recorded.size() / 4, recorded.size() / 2);
  EXPECT_NEAR(mc::test::dominantFrequency(middle, c.rate), 1000, 2);

  // Only what was decoded after sound was switched on was queued for the speakers.
  const auto expectedBytes = static_cast<double>(sound.frames.size() - half) * c.blockBytes;
  EXPECT_NEAR(static_cast<double>(speakers->stats().bytesWritten), expectedBytes, c.blockBytes + 1024.0);
  EXPECT_EQ(speakers->stats().droppedQueueFull, 0u);
  std::lock_guard lock(device->mutex);
  ASSERT_FALSE(device->opened.empty());
  EXPECT_EQ(device->opened.front(), (PcmFormat{c.rate, 16, 1}));
}

INSTANTIATE_TEST_SUITE_P(Cases, CameraCodec,
                         ::testing::Values(CodecCase{"G711", g711Camera, 8000, 320},
                                           CodecCase{"AacMono", aacCamera, 16000, 2048}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(AudioDecoders, AreChosenByTheCodecOfTheFirstFrame) {
  EXPECT_NE(dynamic_cast<AacDecoder*>(createAudioDecoder({16000, 16, 1, mc::media::kCodecAac}).get()), nullptr);
  EXPECT_NE(dynamic_cast<G711Decoder*>(createAudioDecoder({8000, 16, 1, mc::media::kCodecG711A}).get()), nullptr);
  for (const int codec : {1, 2, 4, 7, -1}) EXPECT_EQ(createAudioDecoder({8000, 16, 1, codec}), nullptr) << codec;
}

// The camera's tone from the dispatch thread through the program's sound
// output to a real sound server.
TEST_P(CameraCodec, IsHeardOnTheSoundServer) {
  const CodecCase& c = GetParam();
  mc::test::PulseAudioServer server;
  ASSERT_TRUE(server.ready()) << server.error();
  mc::test::SoundCapture capture(16000, 1);
  ASSERT_TRUE(capture.start()) << capture.error();
  auto speakers = AudioLogic::create(createSoundOutput());
  CMediaPipeline pipeline(SxtParam::create("1001"), buffers, factory(speakers));
  pipeline.BuildPipeline(pane, 9, {}, CMediaPipeline::Dispatch::Thread);
  pipeline.soundOn = true;

  const CameraSound sound = c.make(700, 2.0);
  auto next = Clock::now();
  for (std::size_t i = 0; i < sound.frames.size(); ++i) {
    push(sound, i);
    next += std::chrono::microseconds(static_cast<long>(sound.frameSeconds * 1e6));
    std::this_thread::sleep_until(next);
  }
  std::vector<std::int16_t> heard;
  mc::test::Stretch tone;
  for (const auto deadline = Clock::now() + std::chrono::seconds(6); Clock::now() < deadline;) {
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    heard = capture.samples();
    tone = mc::test::loudStretch(heard, 16000, 1000);
    if (tone.size() >= 16000 * 1.5 && tone.end + 4000 < heard.size()) break;
  }
  capture.stop();
  pipeline.StopPipeline();
  speakers->stop();

  ASSERT_GE(tone.size(), 16000 * 1.5) << "the camera's tone did not reach the sound server";
  const std::span<const std::int16_t> middle(heard.data() + tone.begin + 1600, tone.size() - 3200);
  EXPECT_NEAR(mc::test::dominantFrequency(middle, 16000), 700, 2);
}

}  // namespace
