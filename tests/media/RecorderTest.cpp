// The recorder as a handler of both chains: files in the capture folder,
// driven by the pane's record flag, checked with ffprobe and decoded back.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "common/FileSystem.h"
#include "media/CBufferManage.h"
#include "media/CDecodeDo.h"
#include "media/CMediaPipeline.h"
#include "media/FrameHeader.h"
#include "media/RecodrDo.h"
#include "tests/media/RecorderFixtures.h"
#include "tests/support/H264TestStream.h"
#include "tests/support/TempFolder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

struct PaneState : IVideoState {};

double probedDuration(const Json::Value& info) {
  return info["format"].isMember("duration") ? std::stod(info["format"]["duration"].asString()) : -1;
}

struct ProbedStreams {
  int h264 = 0, aac = 0, width = 0, height = 0, sampleRate = 0;
};
ProbedStreams probedStreams(const Json::Value& info) {
  ProbedStreams s;
  for (const Json::Value& stream : info["streams"]) {
    if (stream["codec_name"].asString() == "h264") {
      ++s.h264;
      s.width = stream["width"].asInt();
      s.height = stream["height"].asInt();
    } else if (stream["codec_name"].asString() == "aac") {
      ++s.aac;
      s.sampleRate = std::stoi(stream["sample_rate"].asString());
    }
  }
  return s;
}

// A recorder on a clock the test moves, feeding it decoded pictures and PCM
// as the dispatch loop would.
class RecorderTest : public ::testing::Test {
 public:
  void SetUp() override { pane->recording = true; }

  std::unique_ptr<RecodrDo> makeRecorder(std::string folder = {}) {
    return std::make_unique<RecodrDo>(camera, pane, folder.empty() ? captureFolder() : folder,
                                      [this] { return now; });
  }
  std::string captureFolder() const { return folder.file("Capture"); }
  std::string expectedName(std::uint32_t tick) const {
    return captureFolder() + "/1001_" + std::to_string(tick) + ".mp4";
  }

  void picture(RecodrDo& recorder, int width, int height, int index) {
    const Bytes yv12 = mc::test::makePicture(width, height, index);
    VideoDoContext context;
    context.picture = yv12.data();
    context.pictureSize = std::uint32_t(yv12.size());
    context.width = std::uint32_t(width);
    context.height = std::uint32_t(height);
    context.decoded = true;
    EXPECT_TRUE(recorder.Process(&context));
  }
  void sound(RecodrDo& recorder, int rate, int channels, int samples) {
    const Bytes pcm = mc::test::makeTone(rate, channels, samples, toneAt);
    toneAt += samples;
    EXPECT_TRUE(recorder.Process(pcm.data(), std::uint32_t(pcm.size()), std::uint32_t(rate), 16, channels));
  }

  // `ms` of a camera with pictures every `pictureMs` and 40 ms sound blocks.
  void run(RecodrDo& recorder, std::uint32_t ms, int width, int height, std::uint32_t pictureMs = 40,
           int rate = 8000, int channels = 1) {
    for (std::uint32_t t = 0; t < ms; t += 20, now += 20) {
      if (t % pictureMs == 0) picture(recorder, width, height, pictures++);
      if (rate > 0 && t % 40 == 0) sound(recorder, rate, channels, rate / 25);
    }
  }

  mc::test::TempFolder folder;
  SxtParamPtr camera = SxtParam::create("1001");
  std::shared_ptr<PaneState> pane = std::make_shared<PaneState>();
  std::uint32_t now = 700000;
  int pictures = 0;
  std::int64_t toneAt = 0;
};

TEST_F(RecorderTest, RecordingOfFiveSecondsIsAPlayableMp4) {
  auto recorder = makeRecorder();
  const std::uint32_t start = now;
  run(*recorder, 5000, 352, 288);
  EXPECT_EQ(recorder->currentFile(), expectedName(start));
  pane->recording = false;
  run(*recorder, 40, 352, 288);  // the next picture ends the file
  EXPECT_TRUE(recorder->currentFile().empty());
  ASSERT_EQ(recorder->finishedFiles(), std::vector<std::string>{expectedName(start)});

  const std::string file = expectedName(start);
  const Json::Value info = mc::test::probe(file);
  const ProbedStreams streams = probedStreams(info);
  EXPECT_EQ(streams.h264, 1) << info.toStyledString();
  EXPECT_EQ(streams.aac, 1) << info.toStyledString();
  EXPECT_EQ(streams.width, 352);
  EXPECT_EQ(streams.height, 288);
  EXPECT_EQ(streams.sampleRate, 8000);
  EXPECT_NEAR(probedDuration(info), 5.0, 0.2);

  // Sync samples exactly on the encoder's IDR pictures, one per 50 pictures.
  const auto demuxed = mc::test::demux(file);
  ASSERT_EQ(demuxed.size(), 2u);
  const auto& video = demuxed[0].type == "video" ? demuxed[0] : demuxed[1];
  ASSERT_EQ(video.packets.size(), 125u);
  for (std::size_t i = 0; i < video.packets.size(); ++i) {
    EXPECT_EQ(video.packets[i].key, i % 50 == 0) << "picture " << i;
  }

  const auto decoded = mc::test::decodeVideo(file);
  ASSERT_EQ(decoded.size(), 125u);
  for (const auto& p : {decoded.front(), decoded[70], decoded.back()}) {
    EXPECT_NEAR(p.leftLuma, mc::test::kLeftLuma, 4);
    EXPECT_NEAR(p.rightLuma, mc::test::kRightLuma, 4);
    EXPECT_NEAR(p.cb, mc::test::kCb, 4);
    EXPECT_NEAR(p.cr, mc::test::kCr, 4);
  }
  const auto audio = mc::test::decodeAudio(file);
  EXPECT_NEAR(double(audio.samples.size()) / 8000, 5.0, 0.3);
  EXPECT_NEAR(mc::test::toneFrequency(audio.samples, 8000), 1000.0, 5.0);
}

TEST_F(RecorderTest, PicturesAreTakenAtMostEvery40Ms) {
  struct Case {
    std::uint32_t pictureMs;
    std::size_t samples;  // in one second
    double gap;           // seconds between samples
  };
  for (const Case c : {Case{20, 25, 0.040}, Case{40, 25, 0.040}, Case{60, 17, 0.060}, Case{100, 10, 0.100}}) {
    auto recorder = makeRecorder();
    run(*recorder, 1000, 176, 144, c.pictureMs, 0);
    recorder.reset();
    const auto files = mc::test::demux(expectedName(now - 1000));
    ASSERT_EQ(files.size(), 1u) << c.pictureMs;
    const auto& packets = files[0].packets;
    ASSERT_EQ(packets.size(), c.samples) << c.pictureMs;
    EXPECT_NEAR(packets[1].time - packets[0].time, c.gap, 1e-6) << c.pictureMs;
  }
}

TEST_F(RecorderTest, SizeChangeStartsANewFile) {
  auto recorder = makeRecorder();
  const std::uint32_t first = now;
  run(*recorder, 1000, 352, 288);
  const std::uint32_t second = now;
  run(*recorder, 1000, 176, 144);
  EXPECT_EQ(recorder->currentFile(), expectedName(second));
  recorder->Stop();
  EXPECT_FALSE(pane->recording);
  ASSERT_EQ(recorder->finishedFiles(), (std::vector<std::string>{expectedName(first), expectedName(second)}));
  struct Case {
    std::uint32_t tick;
    int width, height;
  };
  for (const Case c : {Case{first, 352, 288}, Case{second, 176, 144}}) {
    const Json::Value info = mc::test::probe(expectedName(c.tick));
    const ProbedStreams streams = probedStreams(info);
    EXPECT_EQ(streams.h264, 1) << info.toStyledString();
    EXPECT_EQ(streams.aac, 1) << info.toStyledString();
    EXPECT_EQ(streams.width, c.width);
    EXPECT_EQ(streams.height, c.height);
    EXPECT_NEAR(probedDuration(info), 1.0, 0.2);
  }
}

// However the recording ends, the file is finished and plays.
TEST_F(RecorderTest, EveryWayOfStoppingFinishesTheFile) {
  struct Case {
    const char* name;
    void (*end)(RecorderTest&, std::unique_ptr<RecodrDo>&);
  };
  const Case cases[] = {
      {"flag off, next picture", [](RecorderTest& t, std::unique_ptr<RecodrDo>& r) {
         t.pane->recording = false;
         t.picture(*r, 176, 144, 0);
       }},
      {"flag off, next sound block", [](RecorderTest& t, std::unique_ptr<RecodrDo>& r) {
         t.pane->recording = false;
         t.sound(*r, 8000, 1, 320);
       }},
      {"Stop", [](RecorderTest&, std::unique_ptr<RecodrDo>& r) { r->Stop(); }},
      {"Reset", [](RecorderTest&, std::unique_ptr<RecodrDo>& r) { r->Reset(); }},
      {"handler released", [](RecorderTest&, std::unique_ptr<RecodrDo>& r) { r.reset(); }},
      {"camera gone", [](RecorderTest& t, std::unique_ptr<RecodrDo>& r) {
         t.pane.reset();
         t.picture(*r, 176, 144, 0);
       }},
  };
  for (const Case& c : cases) {
    pane = std::make_shared<PaneState>();
    pane->recording = true;
    auto recorder = makeRecorder();
    const std::uint32_t start = now;
    run(*recorder, 1000, 176, 144);
    c.end(*this, recorder);
    if (recorder) {
      EXPECT_TRUE(recorder->currentFile().empty()) << c.name;
    }
    const Json::Value info = mc::test::probe(expectedName(start));
    EXPECT_EQ(probedStreams(info).h264, 1) << c.name << info.toStyledString();
    EXPECT_NEAR(probedDuration(info), 1.0, 0.2) << c.name;
    now += 1000;
  }
}

TEST_F(RecorderTest, NothingIsWrittenWhileTheFlagIsOff) {
  pane->recording = false;
  auto recorder = makeRecorder();
  run(*recorder, 500, 176, 144);
  EXPECT_TRUE(recorder->currentFile().empty());
  EXPECT_FALSE(mc::pathExists(captureFolder()));
  // Switched on: the next picture opens the file.
  pane->recording = true;
  const std::uint32_t start = now;
  run(*recorder, 500, 176, 144);
  EXPECT_EQ(recorder->currentFile(), expectedName(start));
}

TEST_F(RecorderTest, TakenNameMovesToTheNextNumber) {
  mc::createFolderTree(captureFolder());
  mc::test::writeFile(expectedName(now), "an older recording");
  auto recorder = makeRecorder();
  const std::uint32_t start = now;
  run(*recorder, 200, 176, 144);
  EXPECT_EQ(recorder->currentFile(), expectedName(start + 1));
  EXPECT_EQ(mc::test::readFile(expectedName(start)), "an older recording");
}

TEST_F(RecorderTest, UnusableCaptureFolderIsRetriedWithoutHarm) {
  mc::test::writeFile(folder.file("blocker"), "");
  auto recorder = makeRecorder(folder.file("blocker/Capture"));
  run(*recorder, 400, 176, 144);
  EXPECT_TRUE(recorder->currentFile().empty());
  EXPECT_TRUE(recorder->finishedFiles().empty());
  // Once the folder can be made, the next picture starts the file.
  std::remove(folder.file("blocker").c_str());
  run(*recorder, 400, 176, 144);
  EXPECT_FALSE(recorder->currentFile().empty());
}

// A new sound format cannot join the file's audio track: a new file begins.
TEST_F(RecorderTest, SoundFormatChangeStartsANewFile) {
  auto recorder = makeRecorder();
  const std::uint32_t first = now;
  run(*recorder, 1000, 176, 144, 40, 8000, 1);
  run(*recorder, 1000, 176, 144, 40, 16000, 2);
  recorder->Stop();
  const auto files = recorder->finishedFiles();
  ASSERT_EQ(files.size(), 2u);
  EXPECT_EQ(files[0], expectedName(first));
  struct Case {
    std::size_t file;
    int rate;
    int channels;
  };
  for (const Case c : {Case{0, 8000, 1}, Case{1, 16000, 2}}) {
    const auto streams = mc::test::demux(files[c.file]);
    ASSERT_EQ(streams.size(), 2u) << c.rate;
    const auto& audio = streams[0].type == "audio" ? streams[0] : streams[1];
    EXPECT_EQ(audio.sampleRate, c.rate);
    EXPECT_EQ(audio.channels, c.channels);
  }
}

// Sound the encoder cannot take leaves a file with pictures only.
TEST_F(RecorderTest, UnsupportedSoundLeavesTheVideo) {
  auto recorder = makeRecorder();
  const std::uint32_t start = now;
  run(*recorder, 3000, 176, 144, 40, 11000, 1);
  recorder->Stop();
  const auto streams = mc::test::demux(expectedName(start));
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].type, "video");
  EXPECT_EQ(streams[0].packets.size(), 75u);
}

// The whole chain: camera frames through the pipeline's decoder into the
// recorder, sound through a decoder stand-in that yields a tone.
class ToneDecoder : public IAudioDecoder {
 public:
  bool Decode(const std::uint8_t*, std::uint32_t length, const mc::media::AudioFormat& format,
              IPcmSink& sink) override {
    const Bytes pcm = mc::test::makeTone(int(format.sampleRate), format.channels, int(length), at_);
    at_ += length;
    sink.OnPcm(PcmBlock{pcm.data(), std::uint32_t(pcm.size()), format.sampleRate, 16, format.channels});
    return true;
  }

 private:
  std::int64_t at_ = 0;
};

TEST_F(RecorderTest, RecordsWhatThePipelineDecodes) {
  auto buffers = std::make_shared<CBufferManage>([this] { return now; });
  PipelineFactory factory;
  factory.makeDecoder = [](const HandlerContext& c) { return std::make_shared<CDecodeDo>(c.cameraRecord, c.videoState); };
  std::shared_ptr<RecodrDo> recorder;
  factory.makeRecorder = [&](const HandlerContext& c) {
    recorder = std::make_shared<RecodrDo>(c.cameraRecord, c.videoState, c.captureFolder, [this] { return now; });
    return RecorderHandlers{recorder, recorder};
  };
  factory.makeAudioDecoder = [](const mc::media::AudioFormat&) { return std::make_unique<ToneDecoder>(); };
  factory.captureFolder = [this] { return captureFolder(); };
  CMediaPipeline pipeline(camera, buffers, factory);
  pipeline.BuildPipeline(pane, mc::kNoWindow, DisplayTrims{}, CMediaPipeline::Dispatch::Manual);
  buffers->SetClockOffset(0);

  const int width = 320, height = 240;
  const auto units = mc::test::encodeTestStream(width, height, 50, 25);
  const std::uint32_t start = now;
  for (std::size_t i = 0; i < units.size(); ++i) {
    VideoFramePtr frame = buffers->AcquireVideoFrame(std::uint32_t(units[i].bytes.size()));
    std::copy(units[i].bytes.begin(), units[i].bytes.end(), frame->payload.begin());
    frame->header[0] = mc::media::kTagLiveVideo << 16;
    frame->header[1] = now - 10000;  // long due: released at once
    frame->header[2] = std::uint32_t(units[i].bytes.size());
    frame->header[3] = std::uint32_t(i + 1);
    frame->header[4] = mc::media::makePictureWord(width, height, units[i].key);
    buffers->PushVideoFrame(std::move(frame));
    AudioFramePtr sound = buffers->AcquireAudioFrame(320);
    sound->header[0] = mc::media::kTagLiveAudio << 16;
    sound->header[2] = 320;
    sound->header[3] = mc::media::makeAudioFormatWord({8000, 16, 1, mc::media::kCodecG711A});
    buffers->PushAudioFrame(std::move(sound));
    pipeline.DispatchPass();
    now += 40;
  }
  ASSERT_TRUE(recorder);
  EXPECT_EQ(recorder->currentFile(), expectedName(start));
  pipeline.StopPipeline();
  EXPECT_FALSE(pane->recording);

  const Json::Value info = mc::test::probe(expectedName(start));
  const ProbedStreams streams = probedStreams(info);
  EXPECT_EQ(streams.h264, 1) << info.toStyledString();
  EXPECT_EQ(streams.aac, 1) << info.toStyledString();
  EXPECT_EQ(streams.width, width);
  EXPECT_EQ(streams.height, height);
  EXPECT_NEAR(probedDuration(info), 2.0, 0.2);
  // The recording shows the camera's pictures.
  const auto decoded = mc::test::decodeVideo(expectedName(start), true);
  ASSERT_EQ(decoded.size(), 50u);
  for (int i : {0, 30, 49}) {
    const Yv12Picture sent = mc::test::makeTestPicture(width, height, i);
    ASSERT_EQ(decoded[std::size_t(i)].yv12.size(), sent.size());
    const auto difference = mc::test::compareBytes(decoded[std::size_t(i)].yv12.data(), sent.data(), sent.size());
    EXPECT_LT(difference.mean, 3.0) << "picture " << i;
  }
}

}  // namespace

namespace {

// Odd sizes cannot be coded in 4:2:0: the last column or row is left out.
TEST_F(RecorderTest, OddPictureSizeIsCroppedToEven) {
  struct Case {
    int width, height, recordedWidth, recordedHeight;
  };
  for (const Case c : {Case{101, 75, 100, 74}, Case{176, 145, 176, 144}}) {
    auto recorder = makeRecorder();
    const std::uint32_t start = now;
    run(*recorder, 400, c.width, c.height, 40, 0);
    recorder.reset();
    const auto decoded = mc::test::decodeVideo(expectedName(start));
    ASSERT_EQ(decoded.size(), 10u) << c.width << "x" << c.height;
    EXPECT_EQ(decoded[0].width, c.recordedWidth);
    EXPECT_EQ(decoded[0].height, c.recordedHeight);
    EXPECT_NEAR(decoded[9].leftLuma, mc::test::kLeftLuma, 4);
    EXPECT_NEAR(decoded[9].cr, mc::test::kCr, 4);
  }
}

}  // namespace

#include <csignal>
#include <sys/resource.h>

namespace {

// Files may not grow past `bytes` while the object lives (writes beyond fail
// with EFBIG, as on a full disk).
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    getrlimit(RLIMIT_FSIZE, &previous_);
    rlimit limit = previous_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &previous_);
    std::signal(SIGXFSZ, previousHandler_);
  }

 private:
  rlimit previous_{};
  void (*previousHandler_)(int) = nullptr;
};

TEST_F(RecorderTest, FileThatCannotGrowIsEndedAndRecordingGoesOn) {
  auto recorder = makeRecorder();
  {
    // Noise does not compress: each picture adds tens of kilobytes.
    FileSizeLimit limit(64 * 1024);
    std::uint32_t seed = 1;
    for (int i = 0; i < 150; ++i, now += 40) {
      Bytes yv12(176 * 144 * 3 / 2);
      for (auto& byte : yv12) byte = std::uint8_t((seed = seed * 1103515245u + 12345u) >> 24);
      VideoDoContext context;
      context.picture = yv12.data();
      context.pictureSize = std::uint32_t(yv12.size());
      context.width = 176;
      context.height = 144;
      recorder->Process(&context);
    }
  }
  // Each file stopped at the limit and the next picture began another.
  std::size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(captureFolder())) {
    EXPECT_LE(std::filesystem::file_size(entry.path()), 64u * 1024) << entry.path();
    ++files;
  }
  EXPECT_GE(files, 2u);
  EXPECT_TRUE(recorder->finishedFiles().empty());
  // With room again, the recording goes on into a playable file.
  const std::string current = recorder->currentFile();
  ASSERT_FALSE(current.empty());
  run(*recorder, 1000, 176, 144);
  recorder->Stop();
  const auto finished = recorder->finishedFiles();
  ASSERT_FALSE(finished.empty());
  const Json::Value info = mc::test::probe(finished.back());
  EXPECT_EQ(probedStreams(info).h264, 1) << info.toStyledString();
}

}  // namespace
