// The simulated cameras' media: coded loops decode with an independent
// decoder to the configured size, the documented picture and the configured
// tone.
#include <gtest/gtest.h>

#include <cmath>

#include "sim/AudioEncoder.h"
#include "sim/MediaLibrary.h"
#include "tests/sim/MediaCheck.h"
#include "tests/sim/PictureModel.h"

using namespace sim;

namespace {

// NAL unit types of one Annex B access unit, in order.
std::vector<int> nalTypes(const std::vector<std::uint8_t>& au) {
  std::vector<int> types;
  for (std::size_t i = 0; i + 3 < au.size(); ++i)
    if (au[i] == 0 && au[i + 1] == 0 && au[i + 2] == 1) {
      types.push_back(au[i + 3] & 0x1F);
      i += 2;
    }
  return types;
}

}  // namespace

TEST(VideoLoop, IsACameraLikeH264StreamOfTheConfiguredSize) {
  struct Case {
    int width, height, fps, kbps;
  };
  const Case cases[] = {{352, 288, 25, 256}, {704, 576, 12, 1024}, {160, 120, 5, 64}};
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.width) + "x" + std::to_string(c.height));
    const VideoLoop loop = makeVideoLoop({c.width, c.height, c.fps, c.kbps, 7, {}, false});
    ASSERT_EQ(loop.frames.size(), static_cast<std::size_t>(kLoopSeconds * c.fps));
    simtest::Decoder decoder("h264");
    std::size_t bytes = 0;
    for (std::size_t i = 0; i < loop.frames.size(); ++i) {
      const EncodedPicture& f = loop.frames[i];
      bytes += f.data.size();
      EXPECT_EQ(f.key, i % c.fps == 0) << "frame " << i;
      const std::vector<int> types = nalTypes(f.data);
      int slices = 0;
      for (int t : types) slices += (t == 1 || t == 5);
      EXPECT_EQ(slices, 1) << "frame " << i;
      if (f.key) {
        // SPS and PPS come in front of every IDR picture.
        const auto idr = std::find(types.begin(), types.end(), 5);
        ASSERT_NE(idr, types.end());
        EXPECT_NE(std::find(types.begin(), idr, 7), idr);
        EXPECT_NE(std::find(types.begin(), idr, 8), idr);
      } else {
        EXPECT_EQ(std::count(types.begin(), types.end(), 7), 0);
      }
      simtest::Picture picture;
      // No B-frames: every access unit gives its picture at once.
      ASSERT_TRUE(decoder.decodePicture(f.data.data(), f.data.size(), picture)) << "frame " << i;
      EXPECT_EQ(picture.width, c.width);
      EXPECT_EQ(picture.height, c.height);
    }
    const double kbps = bytes * 8.0 / kLoopSeconds / 1000;
    EXPECT_GT(kbps, c.kbps * 0.3);
    EXPECT_LT(kbps, c.kbps * 1.6);
  }
}

TEST(VideoLoop, ShowsTheDocumentedPictureForEveryPtzPosition) {
  const PtzView views[] = {{}, {1, 0, 0, 0, 0}, {0, 4, 0, 0, 0}, {3, 2, 2, 0, 0}, {0, 0, 0, 0, 3}, {0, 0, 0, 0, -2}};
  for (const PtzView& ptz : views) {
    SCOPED_TRACE("pan " + std::to_string(ptz.pan) + " tilt " + std::to_string(ptz.tilt) + " zoom " +
                 std::to_string(ptz.zoom) + " iris " + std::to_string(ptz.iris));
    const VideoKey key{352, 288, 25, 512, 42, ptz, false};
    const VideoLoop loop = makeVideoLoop(key);
    simtest::Decoder decoder("h264");
    simtest::Picture picture;
    ASSERT_TRUE(decoder.decodePicture(loop.frames[0].data.data(), loop.frames[0].data.size(), picture));
    const int mismatches = simtest::countSceneMismatches(picture, ptz);
    EXPECT_EQ(mismatches, 0);
  }
}

TEST(VideoLoop, FocusBlursTheEdgesOfTheBars) {
  auto edgeSteepness = [](int focus) {
    const VideoLoop loop = makeVideoLoop({352, 288, 25, 1024, 1, {0, 0, 0, focus, 0}, false});
    simtest::Decoder decoder("h264");
    simtest::Picture p;
    EXPECT_TRUE(decoder.decodePicture(loop.frames[0].data.data(), loop.frames[0].data.size(), p));
    // Largest luma step between neighbours across the cyan/green edge (x = 132).
    int steepest = 0;
    for (int x = 120; x < 144; ++x) steepest = std::max(steepest, std::abs(p.lumaAt(x + 1, 60) - p.lumaAt(x, 60)));
    return steepest;
  };
  const int sharp = edgeSteepness(0);
  EXPECT_GT(sharp, 18);
  EXPECT_LT(edgeSteepness(3), sharp / 2);
  EXPECT_LT(edgeSteepness(-3), sharp / 2);
}

TEST(VideoLoop, StripShowsTheNumberAndABlockThatMoves) {
  const VideoLoop live = makeVideoLoop({352, 288, 25, 512, 8, {}, false});
  const VideoLoop playback = makeVideoLoop({352, 288, 25, 512, 8, {}, true});
  simtest::Decoder decoder("h264");
  std::vector<int> blockX;
  for (int i = 0; i < 50; ++i) {
    simtest::Picture p;
    ASSERT_TRUE(decoder.decodePicture(live.frames[i].data.data(), live.frames[i].data.size(), p));
    if (i == 0) {
      EXPECT_TRUE(simtest::stripShowsNumber(p, 8));
      EXPECT_FALSE(simtest::stripShowsNumber(p, 3));
      EXPECT_NEAR(p.uAt(300, 288 - 4), kStripLive.u, 6);
    }
    blockX.push_back(simtest::blockPosition(p));
  }
  // To the right over the first half of the loop, back over the second.
  EXPECT_LT(blockX[0], blockX[12]);
  EXPECT_LT(blockX[12], blockX[24]);
  EXPECT_GT(blockX[24], blockX[37]);
  EXPECT_GT(blockX[37], blockX[49]);
  EXPECT_LE(std::abs(blockX[0] - blockX[49]), 16);

  simtest::Decoder other("h264");
  simtest::Picture p;
  ASSERT_TRUE(other.decodePicture(playback.frames[0].data.data(), playback.frames[0].data.size(), p));
  EXPECT_NEAR(p.uAt(300, 288 - 4), kStripPlayback.u, 6);
  EXPECT_TRUE(simtest::stripShowsNumber(p, 8));
}

TEST(AudioLoop, DecodesToTheConfiguredToneAcrossTheSeam) {
  struct Case {
    AudioCodec codec;
    const char* decoder;
    int sampleRate, channels, toneHz;
    std::uint32_t formatWord;
  };
  const Case cases[] = {
      {AudioCodec::Aac, "aac", 8000, 1, 1000, 0x01101F40},
      {AudioCodec::Aac, "aac", 16000, 1, 440, 0x01103E80},
      {AudioCodec::Aac, "aac", 44100, 2, 997, 0x0210AC44},
      {AudioCodec::G711a, "pcm_alaw", 8000, 1, 800, 0x31101F40},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.decoder) + " " + std::to_string(c.sampleRate) + " Hz tone " + std::to_string(c.toneHz));
    AudioSpec spec;
    spec.codec = c.codec;
    spec.sampleRate = c.sampleRate;
    spec.channels = c.channels;
    spec.toneHz = c.toneHz;
    const AudioLoop loop = makeAudioLoop(spec);
    EXPECT_EQ(loop.formatWord, c.formatWord);
    EXPECT_NEAR(loop.toneHz, c.toneHz, 0.5);
    ASSERT_FALSE(loop.frames.empty());
    EXPECT_NEAR(loop.frames.size() * loop.frameSeconds(), 1.0, 0.1);
    simtest::Decoder decoder(c.decoder, c.sampleRate, c.channels);
    std::vector<float> samples;
    for (int round = 0; round < 3; ++round)
      for (const auto& frame : loop.frames) {
        if (c.codec == AudioCodec::Aac) {
          ASSERT_GE(frame.size(), 7u);
          ASSERT_EQ(frame[0], 0xFF);
          ASSERT_EQ(frame[1] & 0xF0, 0xF0);
          const int adtsLength = ((frame[3] & 3) << 11) | (frame[4] << 3) | (frame[5] >> 5);
          ASSERT_EQ(adtsLength, static_cast<int>(frame.size()));
        }
        decoder.decodeAudio(frame.data(), frame.size(), samples);
      }
    EXPECT_EQ(decoder.sampleRate(), c.sampleRate);
    EXPECT_EQ(decoder.channels(), c.channels);
    // Leave out the decoder's start-up; then every stretch, seams included,
    // carries the tone at its level.
    const std::size_t skip = 2048;
    ASSERT_GT(samples.size(), skip + c.sampleRate);
    const std::vector<float> steady(samples.begin() + skip, samples.end());
    EXPECT_NEAR(simtest::toneFrequency(steady, c.sampleRate), loop.toneHz, loop.toneHz * 0.005);
    const std::size_t window = c.sampleRate / 50;
    for (std::size_t at = 0; at + window <= steady.size(); at += window) {
      const std::vector<float> part(steady.begin() + at, steady.begin() + at + window);
      ASSERT_NEAR(simtest::rms(part), kToneAmplitude / std::sqrt(2.0), 0.06) << "at sample " << skip + at;
    }
  }
}

TEST(AudioLoop, ALawCompressionMatchesTheStandardTable) {
  struct Case {
    std::int16_t linear;
    std::uint8_t alaw;
  };
  const Case cases[] = {{0, 0xD5}, {-1, 0x55}, {16, 0xD4}, {32767, 0xAA}, {-32768, 0x2A}, {1000, 0xFA}, {-1000, 0x7A}};
  for (const Case& c : cases) EXPECT_EQ(alawFromLinear(c.linear), c.alaw) << c.linear;
}
