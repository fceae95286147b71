// Building blocks of local recording: NAL scanning, ADTS headers, the H.264
// and AAC encoders and the MP4 writer, checked on the files they produce.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "common/FileSystem.h"
#include "media/AdtsHeader.h"
#include "media/FAACEncode.h"
#include "media/H264Encoder.h"
#include "media/Mp4Writer.h"
#include "media/NalScanner.h"
#include "tests/media/RecorderFixtures.h"
#include "tests/support/TempFolder.h"

namespace {

using Bytes = std::vector<std::uint8_t>;

std::vector<Bytes> splitUnits(const Bytes& stream) {
  std::vector<Bytes> units;
  std::size_t pos = 0;
  mc::h264::NalUnit unit;
  while (mc::h264::nextNalUnit(stream.data(), stream.size(), pos, unit)) {
    units.emplace_back(unit.data, unit.data + unit.length);
  }
  return units;
}

// ---------------------------------------------------------------- NAL scan

struct NalCase {
  const char* name;
  Bytes stream;
  std::vector<Bytes> units;
};

TEST(NalScan, SplitsAnnexBStreams) {
  const std::vector<NalCase> cases = {
      {"three-byte start codes", {0, 0, 1, 0x67, 0xAA, 0, 0, 1, 0x68, 0xBB}, {{0x67, 0xAA}, {0x68, 0xBB}}},
      {"four-byte start codes", {0, 0, 0, 1, 0x67, 0xAA, 0xBB, 0, 0, 0, 1, 0x65, 0xCC},
       {{0x67, 0xAA, 0xBB}, {0x65, 0xCC}}},
      {"bytes before the first start code", {0x12, 0x34, 0, 0, 1, 0x41, 0x99}, {{0x41, 0x99}}},
      {"trailing zeros are padding", {0, 0, 1, 0x41, 0x99, 0, 0}, {{0x41, 0x99}}},
      {"start code at the very end", {0, 0, 1, 0x41, 0x99, 0, 0, 1}, {{0x41, 0x99}}},
      {"emulation prevention stays inside", {0, 0, 1, 0x41, 0, 0, 3, 1, 0x7F}, {{0x41, 0, 0, 3, 1, 0x7F}}},
      {"no start code", {1, 2, 3, 0, 0}, {}},
      {"empty", {}, {}},
  };
  for (const NalCase& c : cases) {
    EXPECT_EQ(splitUnits(c.stream), c.units) << c.name;
  }
}

// ---------------------------------------------------------------- ADTS

TEST(Adts, HeaderRoundTrip) {
  struct Case {
    int rate, channels;
    std::size_t payload;
  };
  for (const Case c : {Case{8000, 1, 193}, Case{16000, 2, 10}, Case{44100, 2, 1500}, Case{48000, 6, 8184}}) {
    Bytes frame(c.payload + 7, 0x5A);
    const int index = mc::aac::frequencyIndexOf(c.rate);
    ASSERT_TRUE(mc::aac::writeAdts(frame.data(), 2, index, c.channels, c.payload)) << c.rate;
    const auto h = mc::aac::parseAdts(frame.data(), frame.size());
    ASSERT_TRUE(h.has_value()) << c.rate;
    EXPECT_EQ(h->sampleRate(), c.rate);
    EXPECT_EQ(h->channelConfig, c.channels);
    EXPECT_EQ(h->objectType, 2);
    EXPECT_EQ(h->headerLength, 7u);
    EXPECT_EQ(h->frameLength, c.payload + 7);
    EXPECT_EQ(h->rawBlocks, 1);
  }
  Bytes tooBig(8200);
  EXPECT_FALSE(mc::aac::writeAdts(tooBig.data(), 2, 11, 1, 8185));  // 13-bit length field
}

TEST(Adts, RejectsBrokenHeaders) {
  Bytes good(200, 0);
  ASSERT_TRUE(mc::aac::writeAdts(good.data(), 2, 11, 1, 193));
  struct Case {
    const char* name;
    Bytes bytes;
    std::size_t length;
  };
  auto changed = [&](std::size_t at, std::uint8_t value) {
    Bytes b = good;
    b[at] = value;
    return b;
  };
  const std::vector<Case> cases = {
      {"no sync word", changed(0, 0xFE), 200},
      {"frame longer than the buffer", good, 199},
      {"shorter than a header", good, 6},
      {"reserved sampling index", changed(2, std::uint8_t((good[2] & 0xC3) | (13 << 2))), 200},
      {"channels in the payload", changed(3, std::uint8_t(good[3] & 0x3F)), 200},
  };
  for (const Case& c : cases) {
    EXPECT_FALSE(mc::aac::parseAdts(c.bytes.data(), c.length).has_value()) << c.name;
  }
  // The two-byte decoder configuration of AAC LC, 8000 Hz, mono.
  const auto h = mc::aac::parseAdts(good.data(), good.size());
  EXPECT_EQ(h->audioSpecificConfig(), (Bytes{0x15, 0x88}));
}

// ---------------------------------------------------------------- AAC encoder

// Counts back-to-back ADTS frames; -1 when the bytes are not exactly that.
int countAdtsFrames(const std::uint8_t* data, std::size_t length) {
  int frames = 0;
  for (std::size_t pos = 0; pos < length; ++frames) {
    const auto h = mc::aac::parseAdts(data + pos, length - pos);
    if (!h) return -1;
    pos += h->frameLength;
  }
  return frames;
}

TEST(AacEncoder, FrameSizeFollowsTheFormat) {
  struct Case {
    int rate, bits, channels;
    std::size_t inputBytes;
  };
  for (const Case c : {Case{8000, 16, 2, 4096}, Case{8000, 16, 1, 2048}, Case{48000, 24, 2, 6144},
                       Case{16000, 32, 1, 4096}}) {
    FAACEncode encoder;
    ASSERT_TRUE(encoder.Init(c.rate, c.bits, c.channels)) << c.rate << "/" << c.bits << "/" << c.channels;
    EXPECT_EQ(encoder.inputBytes(), c.inputBytes);
  }
}

TEST(AacEncoder, RefusesUnsupportedFormats) {
  struct Case {
    const char* name;
    int rate, bits, channels;
  };
  for (const Case c : {Case{"rate outside the AAC table", 11000, 16, 1}, Case{"8-bit samples", 8000, 8, 1},
                       Case{"no channels", 8000, 16, 0}, Case{"seven channels", 8000, 16, 7},
                       Case{"zero rate", 0, 16, 1}}) {
    FAACEncode encoder;
    EXPECT_FALSE(encoder.Init(c.rate, c.bits, c.channels)) << c.name;
    const Bytes pcm(4096, 0);
    const std::uint8_t* out = nullptr;
    std::size_t outLength = 1;
    EXPECT_FALSE(encoder.Encode(pcm.data(), pcm.size(), out, outLength)) << c.name;
    EXPECT_EQ(outLength, 0u) << c.name;
  }
}

// A block that completes several frames reports every one of them.
TEST(AacEncoder, ReportsEveryFrameOfOneCall) {
  const int rate = 8000, channels = 1;
  FAACEncode piecewise, atOnce;
  ASSERT_TRUE(piecewise.Init(rate, 16, channels));
  ASSERT_TRUE(atOnce.Init(rate, 16, channels));
  const Bytes pcm = mc::test::makeTone(rate, channels, 1024 * 8, 0);
  int piecewiseFrames = 0;
  const std::uint8_t* out = nullptr;
  std::size_t outLength = 0;
  for (std::size_t at = 0; at < pcm.size(); at += 2048) {
    if (piecewise.Encode(pcm.data() + at, 2048, out, outLength)) {
      const int n = countAdtsFrames(out, outLength);
      ASSERT_GT(n, 0);
      piecewiseFrames += n;
    }
  }
  ASSERT_TRUE(atOnce.Encode(pcm.data(), pcm.size(), out, outLength));
  EXPECT_EQ(countAdtsFrames(out, outLength), piecewiseFrames);
  EXPECT_GE(piecewiseFrames, 6);  // eight frames in, less the encoder's delay
  // The first frame out is the encoder's priming; the rest covers the input
  // up to the encoder's delay, in whole frames: nothing is lost.
  EXPECT_EQ(atOnce.samplesBehind(), 8 * 1024 - (piecewiseFrames - 1) * 1024);
}

// ---------------------------------------------------------------- H.264 encoder

std::vector<Bytes> encodePictures(int width, int height, int count, CH264Encoder::Settings settings = {}) {
  auto encoder = CH264Encoder::create(width, height, settings);
  std::vector<Bytes> outputs;
  if (!encoder) return outputs;
  for (int i = 0; i < count; ++i) {
    const Bytes picture = mc::test::makePicture(width, height, i);
    const std::uint8_t* out = nullptr;
    std::size_t length = 0;
    if (!encoder->encode(picture.data(), picture.size(), out, length)) return {};
    outputs.emplace_back(out, out + length);
  }
  return outputs;
}

std::vector<int> unitTypes(const Bytes& output) {
  std::vector<int> types;
  for (const Bytes& unit : splitUnits(output)) types.push_back(unit[0] & 0x1F);
  return types;
}

TEST(H264Encoder, ParameterSetsLeadEveryIdrPicture) {
  CH264Encoder::Settings settings;
  settings.keyInterval = 10;
  const auto outputs = encodePictures(320, 240, 12, settings);
  ASSERT_EQ(outputs.size(), 12u);
  const auto first = splitUnits(outputs[0]);
  ASSERT_GE(first.size(), 3u);
  EXPECT_EQ(first[0][0], 0x67);
  EXPECT_EQ(first[1][0], 0x68);
  EXPECT_EQ(first.back()[0], 0x65);
  for (int i = 1; i < 10; ++i) {
    EXPECT_EQ(unitTypes(outputs[std::size_t(i)]), std::vector<int>{1}) << "picture " << i;  // one slice
  }
  const auto types = unitTypes(outputs[10]);
  ASSERT_EQ(types.size(), 3u);
  EXPECT_EQ(types, (std::vector<int>{7, 8, 5}));
}

TEST(H264Encoder, KeyFrameOnRequest) {
  auto encoder = CH264Encoder::create(176, 144);
  ASSERT_TRUE(encoder);
  const std::uint8_t* out = nullptr;
  std::size_t length = 0;
  for (int i = 0; i < 3; ++i) {
    const Bytes picture = mc::test::makePicture(176, 144, i);
    ASSERT_TRUE(encoder->encode(picture.data(), picture.size(), out, length));
  }
  EXPECT_EQ(unitTypes(Bytes(out, out + length)), std::vector<int>{1});
  encoder->requestKeyFrame();
  const Bytes picture = mc::test::makePicture(176, 144, 3);
  ASSERT_TRUE(encoder->encode(picture.data(), picture.size(), out, length));
  EXPECT_EQ(unitTypes(Bytes(out, out + length)), (std::vector<int>{7, 8, 5}));
}

TEST(H264Encoder, RefusesUnusableInput) {
  std::string error;
  EXPECT_FALSE(CH264Encoder::create(0, 240, &error));
  EXPECT_NE(error.find("0x240"), std::string::npos) << error;
  EXPECT_FALSE(CH264Encoder::create(1, 1));
  auto encoder = CH264Encoder::create(320, 240);
  ASSERT_TRUE(encoder);
  const Bytes shortPicture(320 * 240 * 3 / 2 - 1, 0);
  const std::uint8_t* out = nullptr;
  std::size_t length = 0;
  EXPECT_FALSE(encoder->encode(shortPicture.data(), shortPicture.size(), out, length));
  EXPECT_FALSE(encoder->encode(nullptr, 320 * 240 * 3 / 2, out, length));
}

// ---------------------------------------------------------------- MP4 writer

struct FakeClock {
  std::uint32_t now = 5000;
  Mp4Writer::Clock function() {
    return [this] { return now; };
  }
};

class Mp4WriterTest : public ::testing::Test {
 protected:
  std::string path(const char* name = "out.mp4") { return folder.file(name); }

  // Writes `outputs` one per 40 ms.
  void writeVideo(Mp4Writer& writer, const std::vector<Bytes>& outputs, std::uint32_t step = 40) {
    for (std::size_t i = 0; i < outputs.size(); ++i) {
      EXPECT_EQ(writer.WriteVideo(outputs[i].data(), outputs[i].size(), i == 0), int(outputs[i].size()))
          << "output " << i;
      clock.now += step;
    }
  }

  // One ADTS frame with a payload of `payload` bytes, and a CRC when asked.
  static Bytes adtsFrame(std::size_t payload, bool crc = false) {
    const std::size_t header = crc ? 9 : 7;
    Bytes frame(header + payload, 0x21);
    Bytes plain(7);
    mc::aac::writeAdts(plain.data(), 2, mc::aac::frequencyIndexOf(8000), 1, payload + header - 7);
    std::copy(plain.begin(), plain.end(), frame.begin());
    if (crc) {
      frame[1] &= 0xFE;  // protection present: two CRC bytes follow the header
      frame[7] = frame[8] = 0;
    }
    return frame;
  }

  mc::test::TempFolder folder;
  FakeClock clock;
};

TEST_F(Mp4WriterTest, ParameterSetsGoToTheTrackAndIdrIsASyncSample) {
  const auto outputs = encodePictures(320, 240, 2);
  ASSERT_EQ(outputs.size(), 2u);
  Mp4Writer writer(clock.function());
  ASSERT_TRUE(writer.Create(path(), 320, 240, 20));
  writeVideo(writer, outputs);
  ASSERT_TRUE(writer.Close());

  const auto streams = mc::test::demux(path());
  ASSERT_EQ(streams.size(), 1u);
  const auto& video = streams[0];
  EXPECT_EQ(video.codec, "h264");
  EXPECT_EQ(video.width, 320);
  EXPECT_EQ(video.height, 240);
  // avcC: version 1, then profile, compatibility and level from the SPS.
  const auto first = splitUnits(outputs[0]);
  ASSERT_GE(video.extradata.size(), 8u);
  EXPECT_EQ(video.extradata[0], 1);
  EXPECT_EQ(video.extradata[1], first[0][1]);
  EXPECT_EQ(video.extradata[3], first[0][3]);
  ASSERT_EQ(video.packets.size(), 2u);
  EXPECT_TRUE(video.packets[0].key);
  EXPECT_FALSE(video.packets[1].key);
  // Parameter sets are not part of the sample: SEI and IDR slice, each with a
  // four-byte length, then the P slice alone.
  int firstSample = 0;
  for (const Bytes& unit : first) {
    if ((unit[0] & 0x1F) != 7 && (unit[0] & 0x1F) != 8) firstSample += int(unit.size()) + 4;
  }
  EXPECT_EQ(video.packets[0].size, firstSample);
  EXPECT_EQ(video.packets[1].size, int(splitUnits(outputs[1])[0].size()) + 4);
}

// Slices count by their unit type, whatever their reference priority bits.
TEST_F(Mp4WriterTest, KeepsSlicesOfEveryReferencePriority) {
  auto outputs = encodePictures(176, 144, 4);
  ASSERT_EQ(outputs.size(), 4u);
  const std::uint8_t headers[] = {0x61, 0x01, 0x21};
  for (std::size_t i = 1; i < 4; ++i) {
    ASSERT_EQ(outputs[i][4], 0x41);
    outputs[i][4] = headers[i - 1];
  }
  Mp4Writer writer(clock.function());
  ASSERT_TRUE(writer.Create(path(), 176, 144, 20));
  writeVideo(writer, outputs);
  ASSERT_TRUE(writer.Close());
  const auto streams = mc::test::demux(path());
  ASSERT_EQ(streams.size(), 1u);
  ASSERT_EQ(streams[0].packets.size(), 4u);
  for (std::size_t i = 1; i < 4; ++i) {
    EXPECT_EQ(streams[0].packets[i].size, int(outputs[i].size()))  // 4-byte start code, 4-byte length
        << "header " << int(headers[i - 1]);
    EXPECT_FALSE(streams[0].packets[i].key);
  }
}

TEST_F(Mp4WriterTest, PicturesBeforeTheFirstIdrAreDropped) {
  const auto outputs = encodePictures(176, 144, 3);
  Mp4Writer writer(clock.function());
  ASSERT_TRUE(writer.Create(path(), 176, 144, 20));
  EXPECT_EQ(writer.WriteVideo(outputs[1].data(), outputs[1].size(), true), 0);
  clock.now += 40;
  writeVideo(writer, outputs);
  ASSERT_TRUE(writer.Close());
  const auto streams = mc::test::demux(path());
  ASSERT_EQ(streams.size(), 1u);
  ASSERT_EQ(streams[0].packets.size(), 3u);
  EXPECT_TRUE(streams[0].packets[0].key);
}

TEST_F(Mp4WriterTest, FileWithoutSamplesIsRemoved) {
  Mp4Writer writer(clock.function());
  ASSERT_TRUE(writer.Create(path(), 176, 144, 20));
  EXPECT_TRUE(mc::pathExists(path()));
  EXPECT_FALSE(writer.Close());
  EXPECT_FALSE(mc::pathExists(path()));
  EXPECT_FALSE(writer.isOpen());
  EXPECT_EQ(writer.WriteVideo(nullptr, 0, true), -1);
}

TEST_F(Mp4WriterTest, CreateFailsWhereNoFileCanBe) {
  Mp4Writer writer(clock.function());
  EXPECT_FALSE(writer.Create("", 176, 144, 20));
  std::string error;
  EXPECT_FALSE(writer.Create(folder.file("missing/out.mp4"), 176, 144, 20, &error));
  EXPECT_NE(error.find("Open file[" + folder.file("missing/out.mp4") + "] fialed. No such file or directory"),
            std::string::npos)
      << error;
  EXPECT_FALSE(writer.Create(path(), 0, 144, 20));
  EXPECT_FALSE(writer.isOpen());
}

// Each sample lasts until the next begins, as the clock measured it.
TEST_F(Mp4WriterTest, SampleTimesFollowTheClock) {
  const auto outputs = encodePictures(176, 144, 5);
  const std::uint32_t gaps[] = {40, 80, 40, 120};
  Mp4Writer writer(clock.function());
  ASSERT_TRUE(writer.Create(path(), 176, 144, 25));
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    ASSERT_GT(writer.WriteVideo(outputs[i].data(), outputs[i].size(), i == 0), 0);
    if (i < 4) clock.now += gaps[i];
  }
  ASSERT_TRUE(writer.Close());
  const auto streams = mc::test::demux(path());
  ASSERT_EQ(streams.size(), 1u);
  const auto& packets = streams[0].packets;
  ASSERT_EQ(packets.size(), 5u);
  double expected = 0;
  for (std::size_t i = 0; i < 5; ++i) {
    EXPECT_NEAR(packets[i].time - packets[0].time, expected, 1e-6) << "sample " << i;
    if (i < 4) {
      EXPECT_NEAR(packets[i].duration, gaps[i] / 1000.0, 1e-6) << "sample " << i;
      expected += gaps[i] / 1000.0;
    }
  }
  // The last sample keeps the pace of the one before it.
  EXPECT_NEAR(packets[4].duration, 0.120, 1e-6);
  const Json::Value info = mc::test::probe(path());
  EXPECT_NEAR(std::stod(info["format"]["duration"].asString()), 0.4, 0.01) << info.toStyledString();
}

TEST_F(Mp4WriterTest, AdtsHeadersAreStripped) {
  struct Case {
    const char* name;
    Bytes frame;
    int sample;
  };
  const std::vector<Case> cases = {{"200-byte frame", adtsFrame(193), 193},
                                   {"header with CRC", adtsFrame(191, true), 191}};
  for (const Case& c : cases) {
    const auto outputs = encodePictures(176, 144, 1);
    Mp4Writer writer(clock.function());
    ASSERT_TRUE(writer.Create(path(), 176, 144, 20));
    ASSERT_GT(writer.WriteVideo(outputs[0].data(), outputs[0].size(), true), 0);
    clock.now += 200;
    ASSERT_EQ(writer.WriteAudio(c.frame.data(), c.frame.size(), true), 1) << c.name;
    ASSERT_EQ(writer.WriteAudio(c.frame.data(), c.frame.size(), false), 1) << c.name;
    ASSERT_TRUE(writer.Close()) << c.name;
    const auto streams = mc::test::demux(path());
    ASSERT_EQ(streams.size(), 2u) << c.name;
    const auto& audio = streams[1];
    EXPECT_EQ(audio.codec, "aac") << c.name;
    EXPECT_EQ(audio.sampleRate, 8000) << c.name;
    ASSERT_EQ(audio.packets.size(), 2u) << c.name;
    EXPECT_EQ(audio.packets[0].size, c.sample) << c.name;
    EXPECT_EQ(audio.extradata, (Bytes{0x15, 0x88})) << c.name;
  }
}

TEST_F(Mp4WriterTest, AudioWaitsForTheVideoAndTheFileWaitsForTheAudio) {
  const auto outputs = encodePictures(176, 144, 20);
  const Bytes frame = adtsFrame(100);
  Mp4Writer writer(clock.function());
  ASSERT_TRUE(writer.Create(path(), 176, 144, 25));
  EXPECT_EQ(writer.WriteAudio(frame.data(), frame.size(), true), 0);  // no video yet
  for (std::size_t i = 0; i < outputs.size(); ++i) {
    ASSERT_GT(writer.WriteVideo(outputs[i].data(), outputs[i].size(), i == 0), 0);
    if (i == 10) {  // audio starts 400 ms after the video
      ASSERT_EQ(writer.WriteAudio(frame.data(), frame.size(), true), 1);
    }
    clock.now += 40;
  }
  ASSERT_TRUE(writer.Close());
  const auto streams = mc::test::demux(path());
  ASSERT_EQ(streams.size(), 2u);
  EXPECT_EQ(streams[0].packets.size(), 20u);
  ASSERT_EQ(streams[1].packets.size(), 1u);
  // Placed on the video's time line where it arrived (less its own length).
  EXPECT_NEAR(streams[1].packets[0].time, 0.400 - 0.128, 0.002);
}

TEST_F(Mp4WriterTest, AudioAfterTheWaitIsNotRecorded) {
  const auto outputs = encodePictures(176, 144, 60);
  const Bytes frame = adtsFrame(100);
  Mp4Writer writer(clock.function());
  ASSERT_TRUE(writer.Create(path(), 176, 144, 25));
  writeVideo(writer, outputs);  // 2.4 s without audio
  EXPECT_EQ(writer.WriteAudio(frame.data(), frame.size(), true), 0);
  ASSERT_TRUE(writer.Close());
  const auto streams = mc::test::demux(path());
  ASSERT_EQ(streams.size(), 1u);
  EXPECT_EQ(streams[0].type, "video");
  EXPECT_EQ(streams[0].packets.size(), 60u);
}

// Both encoders into one file: five seconds of pictures at 25 per second and
// a 16 kHz stereo tone in 64 ms blocks.
TEST_F(Mp4WriterTest, EncodedPicturesAndToneMakeAPlayableFile) {
  const int width = 352, height = 288, rate = 16000, channels = 2;
  auto video = CH264Encoder::create(width, height);
  ASSERT_TRUE(video);
  FAACEncode audio;
  ASSERT_TRUE(audio.Init(rate, 16, channels));
  Mp4Writer writer(clock.function());
  ASSERT_TRUE(writer.Create(path(), width, height, 25));
  std::int64_t toneAt = 0;
  bool firstAudio = true;
  for (std::uint32_t ms = 0; ms < 5000; ms += 8) {
    if (ms % 40 == 0) {
      const Bytes picture = mc::test::makePicture(width, height, int(ms / 40));
      const std::uint8_t* out = nullptr;
      std::size_t length = 0;
      ASSERT_TRUE(video->encode(picture.data(), picture.size(), out, length));
      ASSERT_GT(writer.WriteVideo(out, length, ms == 0), 0);
    }
    if (ms % 64 == 0) {
      const Bytes pcm = mc::test::makeTone(rate, channels, rate * 64 / 1000, toneAt);
      toneAt += rate * 64 / 1000;
      const std::uint8_t* out = nullptr;
      std::size_t length = 0;
      if (audio.Encode(pcm.data(), pcm.size(), out, length)) {
        ASSERT_EQ(writer.WriteAudio(out, length, firstAudio, audio.samplesBehind()), 1);
        firstAudio = false;
      }
    }
    clock.now += 8;
  }
  ASSERT_TRUE(writer.Close());

  const Json::Value info = mc::test::probe(path());
  ASSERT_TRUE(info.isMember("streams")) << info.toStyledString();
  ASSERT_EQ(info["streams"].size(), 2u) << info.toStyledString();
  int h264 = 0, aac = 0;
  for (const Json::Value& s : info["streams"]) {
    if (s["codec_name"].asString() == "h264") {
      ++h264;
      EXPECT_EQ(s["width"].asInt(), width);
      EXPECT_EQ(s["height"].asInt(), height);
      EXPECT_NEAR(std::stod(s["duration"].asString()), 5.0, 0.1);
    } else if (s["codec_name"].asString() == "aac") {
      ++aac;
      EXPECT_EQ(s["sample_rate"].asString(), std::to_string(rate));
      EXPECT_EQ(s["channels"].asInt(), channels);
      EXPECT_NEAR(std::stod(s["duration"].asString()), 5.0, 0.25);
    }
  }
  EXPECT_EQ(h264, 1);
  EXPECT_EQ(aac, 1);
  EXPECT_NEAR(std::stod(info["format"]["duration"].asString()), 5.0, 0.25);

  const auto pictures = mc::test::decodeVideo(path());
  ASSERT_EQ(pictures.size(), 125u);
  for (const auto& p : {pictures.front(), pictures[62], pictures.back()}) {
    EXPECT_EQ(p.width, width);
    EXPECT_NEAR(p.leftLuma, mc::test::kLeftLuma, 4);
    EXPECT_NEAR(p.rightLuma, mc::test::kRightLuma, 4);
    EXPECT_NEAR(p.cb, mc::test::kCb, 4);
    EXPECT_NEAR(p.cr, mc::test::kCr, 4);
  }
  const auto sound = mc::test::decodeAudio(path());
  EXPECT_EQ(sound.sampleRate, rate);
  EXPECT_NEAR(double(sound.samples.size()) / rate, 5.0, 0.25);
  EXPECT_NEAR(mc::test::toneFrequency(sound.samples, rate), 1000.0, 5.0);
}

}  // namespace
