#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "common/Messages.h"
#include "common/TickCount.h"
#include "common/WindowMessage.h"
#include "core/AppFolder.h"
#include "media/CMediaPipeline.h"
#include "media/OffscreenRenderTarget.h"
#include "tests/media/MediaTestSupport.h"
#include "tests/support/TempFolder.h"

namespace {

using mc::media::AudioFormat;

template <typename Predicate>
bool eventually(Predicate predicate, int milliseconds = 10000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (predicate()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return predicate();
}

// What the fake handlers saw, in order.
class CallLog {
 public:
  void add(std::string call) {
    std::lock_guard lock(mutex_);
    calls_.push_back(std::move(call));
  }
  std::vector<std::string> calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  std::size_t count(const std::string& call) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(std::count(calls_.begin(), calls_.end(), call));
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
};

std::string sequenceOf(const VideoDoContext* context) {
  return context && context->frame ? std::to_string(context->frame->sequence()) : "?";
}

// A video handler that logs each call and does what the test says.
class SpyVideoDo : public IVideoDo {
 public:
  using Behaviour = std::function<bool(VideoDoContext*)>;
  SpyVideoDo(std::int32_t kind, std::string name, CallLog& log, Behaviour behaviour = {})
      : IVideoDo(kind, SxtParam::create("spy"), {}), name_(std::move(name)), log_(log), behaviour_(behaviour) {}
  bool Process(VideoDoContext* context) override {
    log_.add(name_ + " " + sequenceOf(context));
    return behaviour_ ? behaviour_(context) : true;
  }
  bool Stop() override {
    log_.add(name_ + " stop");
    return true;
  }

 private:
  std::string name_;
  CallLog& log_;
  Behaviour behaviour_;
};

// A handler of both chains, as the recorder is.
class SpyRecorder : public IVideoDo, public IAduioDo {
 public:
  explicit SpyRecorder(CallLog& log)
      : IVideoDo(kRecodrDo, SxtParam::create("spy"), {}), IAduioDo(SxtParam::create("spy")), log_(log) {}
  bool Process(VideoDoContext* context) override {
    log_.add("record " + sequenceOf(context));
    return true;
  }
  bool Process(const std::uint8_t* pcm, std::uint32_t length, std::uint32_t rate, std::int32_t bits,
               std::int32_t channels) override {
    log_.add("pcm " + std::to_string(pcm[0]) + " " + std::to_string(length) + " " + std::to_string(rate) + " " +
             std::to_string(bits) + " " + std::to_string(channels));
    return true;
  }
  bool Stop() override {
    log_.add("record stop");
    return true;
  }

 private:
  CallLog& log_;
};

// Turns each payload byte into one 16-bit sample; the payload's first byte
// 0xEE makes it throw.
class FakeAudioDecoder : public IAudioDecoder {
 public:
  bool Decode(const std::uint8_t* payload, std::uint32_t length, const AudioFormat& format, IPcmSink& sink) override {
    if (length > 0 && payload[0] == 0xEE) throw std::runtime_error("broken sound");
    pcm_.assign(length * 2, 0);
    for (std::uint32_t i = 0; i < length; ++i) pcm_[2 * i] = payload[i];
    sink.OnPcm(PcmBlock{pcm_.data(), length * 2, format.sampleRate, 16, format.channels});
    return true;
  }

 private:
  std::vector<std::uint8_t> pcm_;
};

class FakeSpeakers : public IPcmOutput {
 public:
  explicit FakeSpeakers(CallLog& log) : log_(log) {}
  void EnqueuePcm(const std::uint8_t* pcm, std::uint32_t length, std::uint32_t, std::int32_t,
                  std::int32_t) override {
    log_.add("speakers " + std::to_string(pcm[0]) + " " + std::to_string(length));
  }

 private:
  CallLog& log_;
};

struct PaneState : IVideoState {};

// Lets the test look at a pane's target after the pipeline has dropped it.
class SharedTarget : public IRenderTarget {
 public:
  explicit SharedTarget(std::shared_ptr<OffscreenRenderTarget> target) : target_(std::move(target)) {}
  bool Open(int format, mc::WindowHandle window, int width, int height, const DisplayTrims& trims) override {
    return target_->Open(format, window, width, height, trims);
  }
  void Close() override { target_->Close(); }
  bool Render(const std::uint8_t* picture, int width, int height) override {
    return target_->Render(picture, width, height);
  }
  bool SetSourceRect(int top, int bottom, int left, int right) override {
    return target_->SetSourceRect(top, bottom, left, right);
  }
  bool Present() override { return target_->Present(); }
  void SetTrims(const DisplayTrims& trims) override { target_->SetTrims(trims); }
  void Erase() override { target_->Erase(); }
  WindowGeometry Geometry() const override { return target_->Geometry(); }

 private:
  std::shared_ptr<OffscreenRenderTarget> target_;
};

class Pipeline : public ::testing::Test {
 protected:
  static constexpr mc::WindowHandle kPane = 9;
  mc::test::TempFolder temp;
  CallLog log;
  SxtParamPtr camera = SxtParam::create("1001");
  std::shared_ptr<CBufferManage> buffers = std::make_shared<CBufferManage>();
  std::shared_ptr<PaneState> pane = std::make_shared<PaneState>();
  std::mutex targetsLock;
  std::vector<std::shared_ptr<OffscreenRenderTarget>> targets;
  Yv12Picture decodedPicture = mc::test::makeTestPicture(352, 288);
  std::vector<std::uint32_t> failingSequences;
  std::vector<std::uint32_t> throwingSequences;
  int audioDecodersMade = 0;

  void SetUp() override {
    setApplicationFolder(temp.path());
    setRenderTargetFactory([this](mc::WindowHandle) -> std::unique_ptr<IRenderTarget> {
      auto target = std::make_shared<OffscreenRenderTarget>();
      std::lock_guard lock(targetsLock);
      targets.push_back(target);
      return std::make_unique<SharedTarget>(target);
    });
  }
  void TearDown() override { setRenderTargetFactory({}); }

  OffscreenRenderTarget& target() {
    std::lock_guard lock(targetsLock);
    return *targets.back();
  }

  // Fake decoder, recorder and snapshot handlers; fake sound.
  PipelineFactory spyFactory() {
    PipelineFactory factory;
    factory.makeDecoder = [this](const HandlerContext&) {
      return std::make_shared<SpyVideoDo>(kDecodeDo, "decode", log, [this](VideoDoContext* context) {
        const std::uint32_t sequence = context->frame->sequence();
        if (std::count(throwingSequences.begin(), throwingSequences.end(), sequence))
          throw std::runtime_error("broken picture");
        if (std::count(failingSequences.begin(), failingSequences.end(), sequence)) {
          context->picture = nullptr;
          return false;
        }
        context->picture = decodedPicture.data();
        context->width = 352;
        context->height = 288;
        context->decoded = true;
        return true;
      });
    };
    factory.makeRecorder = [this](const HandlerContext&) {
      auto recorder = std::make_shared<SpyRecorder>(log);
      return RecorderHandlers{recorder, recorder};
    };
    factory.makeSnapshot = [this](const HandlerContext&) {
      return std::make_shared<SpyVideoDo>(kPictrueDo, "snapshot", log);
    };
    factory.makeAudioDecoder = [this](const AudioFormat& format) -> std::unique_ptr<IAudioDecoder> {
      ++audioDecodersMade;
      log.add("audio decoder for codec " + std::to_string(format.codec));
      return std::make_unique<FakeAudioDecoder>();
    };
    factory.soundOutput = std::make_shared<FakeSpeakers>(log);
    factory.captureFolder = [this] { return temp.path(); };
    return factory;
  }

  // A frame that is due at once (stamped a second ago on the local clock).
  void pushVideo(std::uint32_t sequence, bool key = true) {
    VideoFramePtr frame = buffers->AcquireVideoFrame(16);
    frame->header[1] = mc::tickCount() - 1000;
    frame->header[2] = 16;
    frame->header[3] = sequence;
    frame->header[4] = mc::media::makePictureWord(352, 288, key);
    buffers->PushVideoFrame(std::move(frame));
  }

  void pushAudio(std::uint8_t firstByte, std::uint32_t length, AudioFormat format) {
    AudioFramePtr frame = buffers->AcquireAudioFrame(static_cast<std::int32_t>(length));
    frame->header[0] = mc::media::kTagLiveAudio << 16;
    frame->header[2] = length;
    frame->header[3] = mc::media::makeAudioFormatWord(format);
    frame->payload[0] = firstByte;
    buffers->PushAudioFrame(std::move(frame));
  }
};

TEST_F(Pipeline, VideoRunsDecodeRecordSnapshotDisplayAndStopsAtAFailedDecode) {
  CMediaPipeline pipeline(camera, buffers, spyFactory());
  pipeline.BuildPipeline(pane, kPane, {}, CMediaPipeline::Dispatch::Manual);
  failingSequences = {2};
  for (std::uint32_t s = 1; s <= 3; ++s) pushVideo(s);
  for (int i = 0; i < 3; ++i) pipeline.DispatchPass();

  EXPECT_EQ(log.calls(), (std::vector<std::string>{"decode 1", "record 1", "snapshot 1", "decode 2", "decode 3",
                                                   "record 3", "snapshot 3"}));
  EXPECT_EQ(target().state().renders, 2u) << "the display must skip the frame that gave no picture";
  EXPECT_EQ(buffers->videoPooled(), 3u) << "every frame goes back to the pool";
  const PipelineStats stats = pipeline.stats();
  EXPECT_EQ(stats.videoFramesHandled, 3u);
  EXPECT_EQ(stats.framesDecoded, 2u);
  EXPECT_TRUE(stats.hasPicture);
}

TEST_F(Pipeline, AudioGoesToTheHandlersAndToTheSpeakersOnlyWhileSoundIsOn) {
  CMediaPipeline pipeline(camera, buffers, spyFactory());
  pipeline.BuildPipeline(pane, kPane, {}, CMediaPipeline::Dispatch::Manual);
  const AudioFormat g711{8000, 16, 1, mc::media::kCodecG711A};
  const AudioFormat aac{16000, 16, 2, mc::media::kCodecAac};
  const AudioFormat mulaw{8000, 16, 1, 1};  // not decoded

  pushAudio(11, 160, g711);
  pushAudio(12, 200, aac);
  pushAudio(13, 160, mulaw);
  pushAudio(14, 160, g711);
  pipeline.DispatchPass();
  pipeline.DispatchPass();
  pipeline.soundOn = true;
  pipeline.DispatchPass();
  pipeline.DispatchPass();

  EXPECT_EQ(log.calls(), (std::vector<std::string>{
                             "audio decoder for codec 3",
                             "pcm 11 320 8000 16 1",
                             "audio decoder for codec 0",
                             "pcm 12 400 16000 16 2",
                             // codec 1: consumed unheard
                             "pcm 14 320 8000 16 1",
                             "speakers 14 320",
                         }));
  EXPECT_EQ(buffers->audioQueued(), 0u);
  EXPECT_EQ(buffers->audioPooled(), 4u);

  // Each codec's decoder serves the camera until the pipeline is rebuilt.
  pushAudio(15, 160, g711);
  pipeline.DispatchPass();
  EXPECT_EQ(audioDecodersMade, 2);
  pipeline.BuildPipeline(pane, kPane, {}, CMediaPipeline::Dispatch::Manual);
  pushAudio(16, 160, g711);
  pipeline.DispatchPass();
  EXPECT_EQ(audioDecodersMade, 3);
}

TEST_F(Pipeline, StopStopsEveryHandlerOnceItsLastFrameIsDoneAndReleasesThem) {
  std::weak_ptr<IVideoDo> anyHandler;
  PipelineFactory factory = spyFactory();
  auto makeDecoder = factory.makeDecoder;
  factory.makeDecoder = [&](const HandlerContext& context) {
    auto handler = makeDecoder(context);
    anyHandler = handler;
    return handler;
  };
  CMediaPipeline pipeline(camera, buffers, factory);
  pipeline.BuildPipeline(pane, kPane, {}, CMediaPipeline::Dispatch::Manual);
  pushVideo(1);
  pipeline.DispatchPass();
  pushVideo(2);
  pushAudio(1, 10, AudioFormat{8000, 16, 1, mc::media::kCodecG711A});
  pipeline.StopPipeline();

  const std::vector<std::string> calls = log.calls();
  const std::vector<std::string> tail(calls.end() - 4, calls.end());
  EXPECT_EQ(tail, (std::vector<std::string>{"decode stop", "record stop", "snapshot stop", "record stop"}))
      << "video handlers in chain order, then the audio handlers";
  EXPECT_EQ(target().state().erases, 1u) << "the display erases the pane";
  EXPECT_TRUE(anyHandler.expired());
  EXPECT_EQ(buffers->videoQueued() + buffers->audioQueued(), 0u);
  pipeline.DispatchPass();
  EXPECT_EQ(log.calls().size(), calls.size()) << "nothing runs after Stop";
}

TEST_F(Pipeline, BuildingAgainReplacesTheChainInsteadOfAddingToIt) {
  CMediaPipeline pipeline(camera, buffers, spyFactory());
  pipeline.BuildPipeline(pane, kPane, {}, CMediaPipeline::Dispatch::Manual);
  pushVideo(1);
  pipeline.BuildPipeline(pane, kPane, {}, CMediaPipeline::Dispatch::Manual);
  EXPECT_EQ(log.count("decode stop"), 1u) << "the old handlers are stopped";
  EXPECT_EQ(buffers->videoQueued(), 0u) << "building empties the queues";
  pushVideo(7);
  pipeline.DispatchPass();
  EXPECT_EQ(log.count("decode 7"), 1u);
  EXPECT_EQ(log.count("snapshot 7"), 1u);
}

TEST_F(Pipeline, ExceptionsEndOnlyTheStepAndAreLogged) {
  CMediaPipeline pipeline(camera, buffers, spyFactory());
  pipeline.BuildPipeline(pane, kPane, {});
  throwingSequences = {2};
  for (std::uint32_t s = 1; s <= 3; ++s) pushVideo(s);
  const AudioFormat g711{8000, 16, 1, mc::media::kCodecG711A};
  pushAudio(0xEE, 10, g711);
  pushAudio(21, 10, g711);

  ASSERT_TRUE(eventually([&] { return pipeline.stats().videoFramesHandled == 2 && log.count("pcm 21 20 8000 16 1"); }));
  EXPECT_EQ(log.count("snapshot 3"), 1u) << "the frame after the throwing one runs normally";
  const PipelineStats stats = pipeline.stats();
  EXPECT_EQ(stats.videoExceptions, 1u);
  EXPECT_EQ(stats.audioExceptions, 1u);
  EXPECT_EQ(buffers->videoPooled(), 3u) << "the frame of a failed step is recycled too";
  pipeline.StopPipeline();

  const std::string logText = mc::test::readFile(temp.path() + "/Log/1001.txt");
  EXPECT_NE(logText.find("视频解码 出现异常"), std::string::npos) << logText;
  EXPECT_NE(logText.find("音频解码 出现异常"), std::string::npos) << logText;
  EXPECT_NE(logText.find("broken picture"), std::string::npos) << logText;
}

TEST_F(Pipeline, ZoomReachesTheDisplay) {
  CMediaPipeline pipeline(camera, buffers, spyFactory());
  pipeline.BuildPipeline(pane, kPane, {}, CMediaPipeline::Dispatch::Manual);
  pipeline.Zoom(352, 288, 120);  // nothing shown yet: ignored
  pushVideo(1);
  pipeline.DispatchPass();
  pane->zooming = true;
  // The offscreen pane is 704 x 576 at (0, 0): its centre is the picture's.
  pipeline.Zoom(352, 288, 120);
  pushVideo(2);
  pipeline.DispatchPass();
  EXPECT_EQ(target().state().sourceRect, (PixelRect{25, 20, 327, 267}));
  pipeline.StopPipeline();
  pipeline.Zoom(352, 288, 120);  // no display any more
}

// The program's own handlers on a dispatch thread, fed like the stream link
// feeds them.
TEST_F(Pipeline, CameraStreamIsHeldHalfASecondThenDecodedShownAndSnapshotted) {
  mc::setPostMessageHook([this](mc::WindowHandle window, mc::WindowMessage message) {
    if (window == kPane && message.id == mc::msg::MSG_PANE_LOADED) log.add("loaded");
    return true;
  });
  PipelineFactory factory = defaultPipelineFactory();
  factory.captureFolder = [this] { return temp.path(); };
  CMediaPipeline pipeline(camera, buffers, factory);
  pipeline.BuildPipeline(pane, kPane, {});

  const int w = 352, h = 288, count = 20;
  mc::test::H264TestEncoder encoder(w, h, 10);
  std::vector<Yv12Picture> sources;
  const std::uint32_t start = mc::tickCount();
  bool offsetSet = false;
  for (int i = 0; i < count; ++i) {
    sources.push_back(mc::test::makeTestPicture(w, h, i));
    const mc::test::AccessUnit unit = encoder.encode(sources.back());
    const std::uint32_t timestamp = 90'000u + static_cast<std::uint32_t>(i) * 40u;  // the camera's clock
    if (!offsetSet) {
      buffers->SetClockOffset(static_cast<std::int32_t>(mc::tickCount() - timestamp));
      offsetSet = true;
    }
    VideoFramePtr frame = buffers->AcquireVideoFrame(static_cast<std::uint32_t>(unit.bytes.size()));
    std::copy(unit.bytes.begin(), unit.bytes.end(), frame->payload.begin());
    frame->header[0] = mc::media::kTagLiveVideo << 16;
    frame->header[1] = timestamp;
    frame->header[2] = static_cast<std::uint32_t>(unit.bytes.size());
    frame->header[3] = static_cast<std::uint32_t>(i + 1);
    frame->header[4] = mc::media::makePictureWord(w, h, unit.key);
    buffers->PushVideoFrame(std::move(frame));
  }

  ASSERT_TRUE(eventually([&] { return pipeline.stats().hasPicture; }));
  const std::uint32_t firstPictureAfter = pipeline.stats().firstPictureTick - start;
  EXPECT_GE(firstPictureAfter, 490u) << "the playout delay holds the first frame half a second";
  pane->snapshotRequested = true;
  ASSERT_TRUE(eventually([&] { return pipeline.stats().framesDecoded == count; }));
  EXPECT_FALSE(pane->snapshotRequested);
  EXPECT_EQ(log.count("loaded"), 1u);
  EXPECT_EQ(pipeline.stats().width, 352u);
  EXPECT_EQ(pipeline.stats().height, 288u);

  const Yv12Picture shown = target().lastPicture();
  ASSERT_EQ(shown.size(), sources.back().size());
  EXPECT_LT(mc::test::compareBytes(shown.data(), sources.back().data(), shown.size()).mean, 1.5);

  pipeline.StopPipeline();
  mc::setPostMessageHook({});
  std::size_t jpegs = 0;
  for (const auto& entry : std::filesystem::directory_iterator(temp.path()))
    jpegs += entry.path().extension() == ".jpeg" && entry.path().filename().string().rfind("1001-", 0) == 0;
  EXPECT_EQ(jpegs, 1u);
  EXPECT_EQ(target().state().erases, 1u);
  EXPECT_EQ(buffers->stats().videoDiscontinuous + buffers->stats().videoTrimmed, 0u);
}

}  // namespace
