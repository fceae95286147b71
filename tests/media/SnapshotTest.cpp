#include <gtest/gtest.h>

#include <boost/date_time/gregorian/gregorian_types.hpp>
#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <csetjmp>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "media/CPictrueDo.h"
#include "media/CaptureFileName.h"
#include "tests/support/H264TestStream.h"
#include "tests/support/TempFolder.h"

extern "C" {
#include <jpeglib.h>
}

namespace {

namespace pt = boost::posix_time;
using boost::gregorian::date;

pt::ptime at(int hour, int minute, int second, long microseconds) {
  return pt::ptime(date(2015, 3, 1), pt::hours(hour) + pt::minutes(minute) + pt::seconds(second) +
                                         pt::microseconds(microseconds));
}

TEST(SnapshotFileName, CameraIdAndLocalTimeWithMicrosecondsWhenNotZero) {
  struct Case {
    pt::ptime time;
    const char* expected;
  };
  const Case cases[] = {
      {at(12, 30, 45, 123456), "/cap/1001-2015-03-01-12-30-45.123456.jpeg"},
      {at(12, 30, 45, 0), "/cap/1001-2015-03-01-12-30-45.jpeg"},
      {at(0, 0, 0, 1), "/cap/1001-2015-03-01-00-00-00.000001.jpeg"},
      {at(23, 59, 59, 999999), "/cap/1001-2015-03-01-23-59-59.999999.jpeg"},
  };
  for (const Case& c : cases) EXPECT_EQ(mc::media::snapshotFileName("/cap", "1001", c.time), c.expected);
}

// A JPEG file read back as planes of YCbCr samples at full resolution.
struct DecodedJpeg {
  int width = 0, height = 0, components = 0;
  J_COLOR_SPACE colorSpace = JCS_UNKNOWN;
  bool progressive = true;
  int sampling[3][2] = {};
  std::vector<std::uint8_t> ycc;  // 3 bytes per pixel
};

struct JumpingErrors {
  jpeg_error_mgr base;
  std::jmp_buf jump;
};

extern "C" void jumpBack(j_common_ptr info) { std::longjmp(reinterpret_cast<JumpingErrors*>(info->err)->jump, 1); }

bool readJpeg(const std::string& path, DecodedJpeg& out) {
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (!file) return false;
  jpeg_decompress_struct info{};
  JumpingErrors errors{};
  info.err = jpeg_std_error(&errors.base);
  errors.base.error_exit = jumpBack;
  if (setjmp(errors.jump)) {
    jpeg_destroy_decompress(&info);
    std::fclose(file);
    return false;
  }
  jpeg_create_decompress(&info);
  jpeg_stdio_src(&info, file);
  jpeg_read_header(&info, TRUE);
  out.components = info.num_components;
  out.colorSpace = info.jpeg_color_space;
  out.progressive = info.progressive_mode;
  for (int i = 0; i < 3 && i < info.num_components; ++i) {
    out.sampling[i][0] = info.comp_info[i].h_samp_factor;
    out.sampling[i][1] = info.comp_info[i].v_samp_factor;
  }
  info.out_color_space = JCS_YCbCr;  // no conversion to RGB
  info.do_fancy_upsampling = FALSE;  // chroma repeated, as the picture means it
  jpeg_start_decompress(&info);
  out.width = static_cast<int>(info.output_width);
  out.height = static_cast<int>(info.output_height);
  out.ycc.resize(static_cast<std::size_t>(out.width) * out.height * 3);
  while (info.output_scanline < info.output_height) {
    JSAMPROW row = out.ycc.data() + static_cast<std::size_t>(info.output_scanline) * out.width * 3;
    jpeg_read_scanlines(&info, &row, 1);
  }
  jpeg_finish_decompress(&info);
  jpeg_destroy_decompress(&info);
  std::fclose(file);
  return true;
}

struct PaneState : IVideoState {};

class Snapshot : public ::testing::Test {
 protected:
  mc::test::TempFolder temp;
  std::shared_ptr<PaneState> pane = std::make_shared<PaneState>();
  pt::ptime now = at(12, 30, 45, 123456);
  std::unique_ptr<CPictrueDo> snapshot = makeHandler(temp.path());
  VideoDoContext context;
  Yv12Picture picture;

  std::unique_ptr<CPictrueDo> makeHandler(const std::string& folder) {
    return std::make_unique<CPictrueDo>(SxtParam::create("1001"), pane, folder, [this] { return now; });
  }

  void decodedPicture(int width, int height) {
    picture = mc::test::makeTestPicture(width, height, 3);
    context.picture = picture.data();
    context.width = static_cast<std::uint32_t>(width);
    context.height = static_cast<std::uint32_t>(height);
    context.pictureSize = static_cast<std::uint32_t>(picture.size());
    context.decoded = true;
  }

  std::vector<std::string> files() const {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(temp.path()))
      names.push_back(entry.path().filename().string());
    return names;
  }
};

TEST_F(Snapshot, WritesTheDecodedPictureAsA420YCbCrJpegThatDecodesBack) {
  struct Size {
    int width, height;
  };
  // 1920 x 1080 is 68 bands of 16 rows, the last with 8; 100 x 50 and
  // 360 x 8 are not whole blocks wide or high.
  for (const Size size : {Size{352, 288}, Size{1920, 1080}, Size{100, 50}, Size{360, 8}}) {
    SCOPED_TRACE(::testing::Message() << size.width << "x" << size.height);
    now += pt::seconds(1);
    decodedPicture(size.width, size.height);
    pane->snapshotRequested = true;
    ASSERT_TRUE(snapshot->Process(&context));
    EXPECT_FALSE(pane->snapshotRequested) << "the request must be cleared";

    const std::string path = mc::media::snapshotFileName(temp.path(), "1001", now);
    EXPECT_EQ(snapshot->lastFile(), path);
    DecodedJpeg jpeg;
    ASSERT_TRUE(readJpeg(path, jpeg)) << path;
    EXPECT_EQ(jpeg.width, size.width);
    EXPECT_EQ(jpeg.height, size.height);
    EXPECT_EQ(jpeg.components, 3);
    EXPECT_EQ(jpeg.colorSpace, JCS_YCbCr);
    EXPECT_FALSE(jpeg.progressive);
    EXPECT_EQ(jpeg.sampling[0][0], 2);
    EXPECT_EQ(jpeg.sampling[0][1], 2);
    EXPECT_EQ(jpeg.sampling[1][0], 1);
    EXPECT_EQ(jpeg.sampling[2][1], 1);

    // Compare every sample with the picture (chroma at its own resolution).
    const Yv12View source = picture.view();
    double lumaError = 0, cbError = 0, crError = 0;
    for (int y = 0; y < size.height; ++y)
      for (int x = 0; x < size.width; ++x) {
        const std::uint8_t* p = jpeg.ycc.data() + (static_cast<std::size_t>(y) * size.width + x) * 3;
        const std::size_t c = static_cast<std::size_t>(y / 2) * (size.width / 2) + x / 2;
        lumaError += std::abs(p[0] - source.luma()[static_cast<std::size_t>(y) * size.width + x]);
        cbError += std::abs(p[1] - source.cb()[c]);
        crError += std::abs(p[2] - source.cr()[c]);
      }
    const double pixels = static_cast<double>(size.width) * size.height;
    EXPECT_LT(lumaError / pixels, 3.0);
    EXPECT_LT(cbError / pixels, 3.0) << "Cb and Cr swapped?";
    EXPECT_LT(crError / pixels, 3.0) << "Cb and Cr swapped?";
  }
}

TEST_F(Snapshot, NothingIsWrittenWithoutARequestOrAPicture) {
  decodedPicture(352, 288);
  EXPECT_TRUE(snapshot->Process(&context));
  EXPECT_TRUE(files().empty());

  pane->snapshotRequested = true;
  context.picture = nullptr;  // nothing decoded yet
  EXPECT_TRUE(snapshot->Process(&context));
  EXPECT_TRUE(files().empty());
  EXPECT_TRUE(pane->snapshotRequested) << "the request waits for the first picture";

  decodedPicture(352, 288);
  EXPECT_TRUE(snapshot->Process(&context));
  EXPECT_EQ(files().size(), 1u);
}

TEST_F(Snapshot, TwoRequestsBeforeTheNextPictureMakeOneFile) {
  pane->snapshotRequested = true;
  pane->snapshotRequested = true;
  decodedPicture(352, 288);
  EXPECT_TRUE(snapshot->Process(&context));
  now += pt::milliseconds(40);
  EXPECT_TRUE(snapshot->Process(&context));
  EXPECT_EQ(files().size(), 1u);
}

TEST_F(Snapshot, AFolderThatCannotBeWrittenKeepsTheRequestAndStopsTheChain) {
  const std::string missing = temp.file("not-yet");
  snapshot = makeHandler(missing);
  decodedPicture(352, 288);
  pane->snapshotRequested = true;
  EXPECT_FALSE(snapshot->Process(&context)) << "false skips the display for this frame";
  EXPECT_TRUE(pane->snapshotRequested);

  std::filesystem::create_directory(missing);
  EXPECT_TRUE(snapshot->Process(&context));
  EXPECT_FALSE(pane->snapshotRequested);
  EXPECT_TRUE(std::filesystem::exists(mc::media::snapshotFileName(missing, "1001", now)));
}

TEST_F(Snapshot, AGoneCameraReadsAsNoRequest) {
  pane->snapshotRequested = true;
  decodedPicture(352, 288);
  pane.reset();
  EXPECT_TRUE(snapshot->Process(&context));
  EXPECT_TRUE(files().empty());
}

}  // namespace
