#include <gtest/gtest.h>

#include "media/CDecodeDo.h"
#include "tests/media/MediaTestSupport.h"

namespace {

using mc::test::AccessUnit;
using mc::test::compareBytes;
using mc::test::H264TestEncoder;
using mc::test::makeVideoFrame;

class Decoder : public ::testing::Test {
 protected:
  SxtParamPtr camera = SxtParam::create("1001");
  CDecodeDo decoder{camera, {}};
  VideoDoContext context;
  std::uint32_t sequence = 1;

  void SetUp() override { decoder.Reset(); }

  bool decode(const AccessUnit& unit, int width, int height) {
    VideoFramePtr frame = makeVideoFrame(unit, width, height, sequence++);
    context.frame = frame.get();
    const bool ok = decoder.Process(&context);
    context.frame = nullptr;
    return ok;
  }
};

TEST_F(Decoder, DecodesCameraH264ToTheEncodedPictures) {
  const int w = 352, h = 288;
  H264TestEncoder encoder(w, h, 10);
  for (int i = 0; i < 30; ++i) {
    const Yv12Picture source = mc::test::makeTestPicture(w, h, i);
    ASSERT_TRUE(decode(encoder.encode(source), w, h)) << "picture " << i;
    ASSERT_NE(context.picture, nullptr);
    EXPECT_TRUE(context.decoded);
    EXPECT_EQ(context.width, 352u);
    EXPECT_EQ(context.height, 288u);
    EXPECT_EQ(context.pictureSize, 352u * 288u * 3u / 2u);
    const Yv12View out = context.pictureView();
    const Yv12Layout layout{w, h};
    const auto luma = compareBytes(out.luma(), source.view().luma(), layout.lumaSize());
    const auto cr = compareBytes(out.cr(), source.view().cr(), layout.chromaSize());
    const auto cb = compareBytes(out.cb(), source.view().cb(), layout.chromaSize());
    EXPECT_LT(luma.mean, 1.5) << "picture " << i;
    EXPECT_LT(cr.mean, 1.5) << "picture " << i;
    EXPECT_LT(cb.mean, 1.5) << "picture " << i;
    EXPECT_LT(luma.largest, 48) << "picture " << i;
  }
}

TEST_F(Decoder, PicturesAreLumaThenCrThenCb) {
  const int w = 320, h = 240;
  H264TestEncoder encoder(w, h);
  const Yv12Picture flat = mc::test::makeFlatPicture(w, h, /*y=*/120, /*cb=*/60, /*cr=*/200);
  ASSERT_TRUE(decode(encoder.encode(flat), w, h));
  const std::uint8_t* p = context.picture;
  const std::size_t lumaSize = static_cast<std::size_t>(w) * h;
  EXPECT_NEAR(p[lumaSize / 2], 120, 2);
  EXPECT_NEAR(p[lumaSize + 10], 200, 2) << "the plane after luma must be Cr (V)";
  EXPECT_NEAR(p[lumaSize * 5 / 4 + 10], 60, 2) << "the last plane must be Cb (U)";
  EXPECT_NEAR(p[lumaSize * 3 / 2 - 1], 60, 2);
}

TEST_F(Decoder, PictureBufferFollowsTheHeaderSize) {
  struct Case {
    int width, height;
    std::uint32_t bytes;
  };
  for (const Case& c : {Case{176, 144, 38016}, Case{704, 576, 608256}, Case{1920, 1080, 3110400}}) {
    H264TestEncoder encoder(c.width, c.height, 25, 30);
    ASSERT_TRUE(decode(encoder.encode(mc::test::makeTestPicture(c.width, c.height)), c.width, c.height))
        << c.width << "x" << c.height;
    EXPECT_EQ(context.pictureSize, c.bytes);
    EXPECT_EQ(decoder.decoderWidth(), c.width);
    EXPECT_EQ(decoder.decoderHeight(), c.height);
  }
  EXPECT_EQ(decoder.instancesCreated(), 3u);
}

TEST_F(Decoder, ASizeChangeReleasesTheInstanceAndDecodesWithAFreshOne) {
  H264TestEncoder small(352, 288), large(704, 576);
  const Yv12Picture smallPicture = mc::test::makeTestPicture(352, 288, 3);
  const Yv12Picture largePicture = mc::test::makeTestPicture(704, 576, 5);
  ASSERT_TRUE(decode(small.encode(smallPicture), 352, 288));
  ASSERT_TRUE(decode(small.encode(smallPicture), 352, 288));
  EXPECT_EQ(decoder.instancesCreated(), 1u);

  ASSERT_TRUE(decode(large.encode(largePicture), 704, 576));
  EXPECT_EQ(decoder.instancesCreated(), 2u);
  EXPECT_EQ(context.width, 704u);
  EXPECT_LT(compareBytes(context.picture, largePicture.data(), largePicture.size()).mean, 2.0);
  ASSERT_TRUE(decode(large.encode(largePicture), 704, 576));
  EXPECT_EQ(decoder.instancesCreated(), 2u);

  decoder.Stop();
  EXPECT_EQ(decoder.decoderWidth(), 0);
  EXPECT_EQ(decoder.decoderHeight(), 0);
}

TEST_F(Decoder, BadFramesGiveNoPictureAndTheNextGoodFrameDecodes) {
  const int w = 352, h = 288;
  H264TestEncoder encoder(w, h, 1);  // every picture a key frame
  const AccessUnit good = encoder.encode(mc::test::makeTestPicture(w, h));
  AccessUnit garbage;
  garbage.bytes.assign(4000, 0);
  for (std::size_t i = 0; i < garbage.bytes.size(); ++i) garbage.bytes[i] = static_cast<std::uint8_t>(i * 7919u >> 3);
  garbage.bytes[2] = 1;

  struct Case {
    const char* name;
    const AccessUnit* unit;
    int width, height;
  };
  const Case cases[] = {
      {"zero width in the header", &good, 0, h},
      {"zero height in the header", &good, w, 0},
      {"odd size in the header", &good, w + 1, h},
      {"header size differs from the stream", &good, 704, 576},
      {"bytes that are no H.264", &garbage, w, h},
  };
  for (const Case& c : cases) {
    context.picture = reinterpret_cast<const std::uint8_t*>(&c);  // must be cleared
    context.pictureSize = 1;
    EXPECT_FALSE(decode(*c.unit, c.width, c.height)) << c.name;
    EXPECT_EQ(context.picture, nullptr) << c.name;
    EXPECT_EQ(context.pictureSize, 0u) << c.name;
    EXPECT_TRUE(decode(encoder.encode(mc::test::makeTestPicture(w, h)), w, h)) << "after " << c.name;
  }
}

TEST_F(Decoder, LengthBeyondTheRecordIsRefused) {
  H264TestEncoder encoder(352, 288);
  VideoFramePtr frame = makeVideoFrame(encoder.encode(mc::test::makeTestPicture(352, 288)), 352, 288, 1);
  frame->header[2] = static_cast<std::uint32_t>(frame->payload.size() + 1);
  context.frame = frame.get();
  EXPECT_FALSE(decoder.Process(&context));
  frame->header[2] = 0;
  EXPECT_FALSE(decoder.Process(&context));
}

}  // namespace
