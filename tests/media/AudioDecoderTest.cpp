#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "media/AacDecoder.h"
#include "media/G711Decoder.h"
#include "tests/media/AacToneEncoder.h"
#include "tests/support/ToneAnalysis.h"

using mc::test::encodeAdts;
using mc::test::makeTone;

namespace {

struct Block {
  std::vector<std::int16_t> samples;
  std::uint32_t length;
  std::uint32_t rate;
  std::int32_t bits;
  std::int32_t channels;
};

// Collects what a decoder hands on.
struct Collected final : IPcmSink {
  std::vector<Block> blocks;
  void OnPcm(const PcmBlock& pcm) override {
    Block block{std::vector<std::int16_t>(pcm.length / 2), pcm.length, pcm.sampleRate, pcm.bitsPerSample,
                pcm.channels};
    std::memcpy(block.samples.data(), pcm.data, pcm.length);
    blocks.push_back(std::move(block));
  }
  std::vector<std::int16_t> all() const {
    std::vector<std::int16_t> samples;
    for (const auto& b : blocks) samples.insert(samples.end(), b.samples.begin(), b.samples.end());
    return samples;
  }
};

std::uint32_t size32(const std::vector<std::uint8_t>& bytes) { return static_cast<std::uint32_t>(bytes.size()); }

// What an AAC frame announces; the AAC decoder reads the stream's own headers.
const mc::media::AudioFormat kAac{16000, 16, 1, mc::media::kCodecAac};

double decibels(double ratio) { return 20 * std::log10(ratio); }

// ---- AAC ------------------------------------------------------------------

struct AacCase {
  const char* name;
  std::uint32_t rate;
  int channels;
  double frequency;
  long bitRate;
};
void PrintTo(const AacCase& c, std::ostream* out) { *out << c.name; }

class AacTone : public ::testing::TestWithParam<AacCase> {};

TEST_P(AacTone, DecodesToTheToneAtItsRateLevelAndChannelCount) {
  const AacCase& c = GetParam();
  constexpr double kAmplitude = 10000;
  const auto pcm = makeTone(c.frequency, kAmplitude, c.rate, 1.0, c.channels);
  const auto frames = encodeAdts(pcm, c.rate, c.channels, c.bitRate);
  ASSERT_GT(frames.size(), 5u);

  auto decoder = AacDecoder::create(c.rate);
  ASSERT_TRUE(decoder);
  Collected out;
  for (std::size_t i = 0; i < frames.size(); ++i) ASSERT_TRUE(decoder->Decode(frames[i].data(), size32(frames[i]), kAac, out)) << "frame " << i;

  EXPECT_EQ(decoder->sampleRate(), c.rate) << "dontUpSampleImplicitSBR must keep the real rate";
  ASSERT_EQ(out.blocks.size(), frames.size() - 1) << "every frame but the first yields one block";
  for (const auto& block : out.blocks) {
    ASSERT_EQ(block.length, 1024u * 2 * static_cast<unsigned>(c.channels));
    ASSERT_EQ(block.rate, c.rate);
    ASSERT_EQ(block.bits, 16);
    ASSERT_EQ(block.channels, c.channels);
  }
  const auto decoded = out.all();
  for (int channel = 0; channel < c.channels; ++channel) {
    const auto samples = mc::test::channelOf(decoded, c.channels, channel);
    // The steady middle, away from the encoder's start-up and tail.
    const std::span<const std::int16_t> middle(samples.data() + samples.size() / 4, samples.size() / 2);
    EXPECT_NEAR(mc::test::dominantFrequency(middle, c.rate), c.frequency, 2.0) << "channel " << channel;
    EXPECT_NEAR(decibels(mc::test::toneAmplitude(middle, c.frequency, c.rate) / kAmplitude), 0.0, 1.0)
        << "channel " << channel;
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, AacTone,
                         ::testing::Values(AacCase{"Mono8k", 8000, 1, 440, 24000},
                                           AacCase{"Mono16k", 16000, 1, 1000, 32000},
                                           AacCase{"Stereo44k", 44100, 2, 1000, 128000},
                                           AacCase{"Stereo48k", 48000, 2, 3000, 128000}),
                         [](const auto& info) { return std::string(info.param.name); });

struct AacStream : ::testing::Test {
  std::vector<std::vector<std::uint8_t>> frames = encodeAdts(makeTone(1000, 8000, 16000, 1.0), 16000, 1, 32000);
  std::unique_ptr<AacDecoder> decoder = AacDecoder::create(16000);
  Collected out;

  bool decode(const std::vector<std::uint8_t>& payload) {
    return decoder->Decode(payload.data(), size32(payload), kAac, out);
  }
};

TEST_F(AacStream, APayloadOfSeveralFramesDecodesThemAll) {
  std::vector<std::uint8_t> three;
  for (int i = 0; i < 3; ++i) three.insert(three.end(), frames[static_cast<std::size_t>(i)].begin(), frames[static_cast<std::size_t>(i)].end());
  ASSERT_TRUE(decode(three));
  EXPECT_EQ(out.blocks.size(), 2u) << "three frames, the first without output";
  ASSERT_TRUE(decode(frames[3]));
  EXPECT_EQ(out.blocks.size(), 3u);
}

TEST_F(AacStream, ACorruptFrameIsLostAloneAndTheStreamGoesOn) {
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(decode(frames[static_cast<std::size_t>(i)]));
  const std::size_t before = out.blocks.size();

  auto broken = frames[4];
  for (std::size_t i = 7; i < broken.size(); ++i) broken[i] = static_cast<std::uint8_t>(0xA5 ^ (i * 37));
  decode(broken);  // may or may not be detected; must not crash or poison the decoder
  std::vector<std::uint8_t> truncated(frames[5].begin(), frames[5].begin() + 5);
  EXPECT_FALSE(decode(truncated)) << "a frame shorter than its header";

  const std::size_t afterDamage = out.blocks.size();
  for (std::size_t i = 6; i < 12; ++i) EXPECT_TRUE(decode(frames[i])) << "frame " << i;
  EXPECT_GE(out.blocks.size() - afterDamage, 5u) << "the decoder must recover after damaged frames";
  EXPECT_GE(afterDamage, before);
}

TEST_F(AacStream, AFirstPayloadWithoutADTSHeaderDoesNotLockTheDecoder) {
  const std::vector<std::uint8_t> garbage(300, 0x42);
  EXPECT_FALSE(decode(garbage));
  EXPECT_FALSE(decoder->initialised());
  for (std::size_t i = 0; i < 5; ++i) ASSERT_TRUE(decode(frames[i])) << "frame " << i;
  EXPECT_EQ(out.blocks.size(), 4u);
  EXPECT_EQ(out.blocks.back().channels, 1);
  EXPECT_EQ(out.blocks.back().length, 2048u) << "a mono frame of 1024 samples is handed on as 2048 bytes";
}

TEST_F(AacStream, EmptyAndNullPayloadsYieldNothing) {
  EXPECT_TRUE(decoder->Decode(frames[0].data(), 0, kAac, out));
  EXPECT_FALSE(decoder->Decode(nullptr, 10, kAac, out));
  EXPECT_TRUE(out.blocks.empty());
}

TEST(AacNoise, RandomBytesBehindAnADTSHeaderNeverCrashOrHang) {
  auto decoder = AacDecoder::create(8000);
  Collected out;
  std::uint32_t seed = 12345;
  for (int round = 0; round < 300; ++round) {
    std::vector<std::uint8_t> payload(static_cast<std::size_t>(7 + round % 400));
    for (auto& b : payload) b = static_cast<std::uint8_t>((seed = seed * 1103515245u + 12345u) >> 24);
    payload[0] = 0xFF;
    payload[1] = 0xF1;
    decoder->Decode(payload.data(), size32(payload), kAac, out);
  }
  for (const auto& block : out.blocks) EXPECT_EQ(block.length % 2, 0u);
}

// ---- G.711 A-law ------------------------------------------------------------

// The A-law decoder table of ITU-T G.711, written from its definition: the
// line code's even bits are inverted; bit 7 = sign (1 positive), bits 6-4 =
// segment s, bits 3-0 = step q. Segment 0 decodes to 2q + 1, segment s >= 1
// to 2^s * (q + 16) + 2^(s - 1), in units of the 13-bit scale; 16-bit output
// is that value times 8.
std::int16_t referenceAlaw(std::uint8_t line) {
  const int code = line ^ 0x55;
  const int s = (code >> 4) & 7;
  const int q = code & 15;
  const int magnitude = s == 0 ? 2 * q + 1 : (1 << s) * (q + 16) + (1 << (s - 1));
  return static_cast<std::int16_t>((code & 0x80 ? 1 : -1) * magnitude * 8);
}

TEST(G711, EveryCodeExpandsAsTheStandardDefinesIt) {
  for (int code = 0; code < 256; ++code)
    ASSERT_EQ(alawToLinear(static_cast<std::uint8_t>(code)), referenceAlaw(static_cast<std::uint8_t>(code))) << code;
  // Fixed points of the standard's table.
  EXPECT_EQ(alawToLinear(0xD5), 8);
  EXPECT_EQ(alawToLinear(0x55), -8);
  EXPECT_EQ(alawToLinear(0xAA), 32256);
  EXPECT_EQ(alawToLinear(0x2A), -32256);
}

struct G711Case {
  const char* name;
  bool nullInput;
  bool nullOutput;
  std::size_t count;
  std::size_t capacity;
  int result;
};
void PrintTo(const G711Case& c, std::ostream* out) { *out << c.name; }

class G711Call : public ::testing::TestWithParam<G711Case> {};

TEST_P(G711Call, ReturnsTheOutputSizeOrMinusOne) {
  const G711Case& c = GetParam();
  std::vector<std::uint8_t> in(c.count + 1, 0xD5), out(c.capacity + 1, 0xEE);
  EXPECT_EQ(g711aDecode(c.nullInput ? nullptr : in.data(), c.count, c.nullOutput ? nullptr : out.data(), c.capacity),
            c.result);
  if (c.result < 0) {
    EXPECT_EQ(out[0], 0xEE) << "nothing written on failure";
  }
  EXPECT_EQ(out[c.capacity], 0xEE) << "never past the output's capacity";
}

INSTANTIATE_TEST_SUITE_P(Cases, G711Call,
                         ::testing::Values(G711Case{"OneFrame", false, false, 160, 10240, 320},
                                           G711Case{"FillsTheBuffer", false, false, 5120, 10240, 10240},
                                           G711Case{"OneByteTooMany", false, false, 5121, 10240, -1},
                                           G711Case{"AllEmpty", true, true, 0, 0, -1},
                                           G711Case{"NothingToDecode", false, false, 0, 10240, 0},
                                           G711Case{"NullInput", true, false, 160, 10240, -1},
                                           G711Case{"NullOutput", false, true, 160, 10240, -1}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(G711, DecodesIntoNativeSixteenBitSamples) {
  const std::uint8_t in[] = {0xD5, 0x2A, 0xAA};
  std::int16_t out[3] = {};
  ASSERT_EQ(g711aDecode(in, 3, reinterpret_cast<std::uint8_t*>(out), sizeof out), 6);
  EXPECT_EQ(out[0], 8);
  EXPECT_EQ(out[1], -32256);
  EXPECT_EQ(out[2], 32256);
}

struct G711FrameCase {
  const char* name;
  std::size_t length;
  std::uint32_t rate;
  int channels;
  std::vector<std::uint32_t> blockLengths;
  std::uint32_t handedRate;
  int handedChannels;
};
void PrintTo(const G711FrameCase& c, std::ostream* out) { *out << c.name; }

class G711Frame : public ::testing::TestWithParam<G711FrameCase> {};

TEST_P(G711Frame, IsHandedOnWholeAsSixteenBitPcm) {
  const G711FrameCase& c = GetParam();
  std::vector<std::uint8_t> payload(c.length);
  for (std::size_t i = 0; i < payload.size(); ++i) payload[i] = static_cast<std::uint8_t>(i * 7);
  G711Decoder decoder;
  Collected out;
  const mc::media::AudioFormat format{c.rate, 16, c.channels, mc::media::kCodecG711A};
  ASSERT_TRUE(decoder.Decode(payload.data(), size32(payload), format, out));
  std::vector<std::uint32_t> lengths;
  for (const auto& b : out.blocks) {
    lengths.push_back(b.length);
    EXPECT_EQ(b.rate, c.handedRate);
    EXPECT_EQ(b.bits, 16);
    EXPECT_EQ(b.channels, c.handedChannels);
  }
  EXPECT_EQ(lengths, c.blockLengths);
  const auto samples = out.all();
  ASSERT_EQ(samples.size(), payload.size());
  for (std::size_t i = 0; i < samples.size(); ++i) ASSERT_EQ(samples[i], referenceAlaw(payload[i])) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, G711Frame,
    ::testing::Values(G711FrameCase{"TwentyMilliseconds", 160, 8000, 1, {320}, 8000, 1},
                      G711FrameCase{"LargerThanThePcmBufferIsSplit", 6000, 8000, 1, {10240, 1760}, 8000, 1},
                      G711FrameCase{"SplitOnWholeSampleFrames", 6000, 8000, 3, {10236, 1764}, 8000, 3},
                      G711FrameCase{"UnknownRateAndChannelsReadAs8kMono", 320, 0, 0, {640}, 8000, 1},
                      G711FrameCase{"EmptyFrame", 0, 8000, 1, {}, 8000, 1}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
