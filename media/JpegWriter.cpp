#include "media/JpegWriter.h"

#include <algorithm>
#include <csetjmp>
#include <vector>

extern "C" {
#include <jpeglib.h>
}

namespace mc::media {

namespace {

// libjpeg's default error handler ends the process; this one jumps back to
// the compressing function with the library's message.
struct ErrorManager {
  jpeg_error_mgr base;
  std::jmp_buf jump;
  char message[JMSG_LENGTH_MAX];
};

extern "C" void jumpOnError(j_common_ptr info) {
  auto* manager = reinterpret_cast<ErrorManager*>(info->err);
  (*info->err->format_message)(info, manager->message);
  std::longjmp(manager->jump, 1);
}

extern "C" void ignoreMessage(j_common_ptr, int) {}

// Row pointers of one band of 16 luma and 8 chroma rows. Rows are read
// straight from the picture when its widths are whole blocks; otherwise they
// are copied into rows padded to whole blocks by repeating the last sample,
// because libjpeg reads every row up to a block boundary. Rows below the
// picture repeat its last row; they only fill blocks that decoding crops.
class BandRows {
 public:
  BandRows(const Yv12View& picture, int lumaPadded, int chromaPadded)
      : picture_(picture), lumaPadded_(lumaPadded), chromaPadded_(chromaPadded) {
    copying_ = lumaPadded != picture.width || chromaPadded != picture.width / 2;
    if (copying_) {
      lumaRows_.resize(static_cast<std::size_t>(lumaPadded) * 16);
      cbRows_.resize(static_cast<std::size_t>(chromaPadded) * 8);
      crRows_.resize(static_cast<std::size_t>(chromaPadded) * 8);
    }
  }

  void fill(int bandTop) {
    const int chromaWidth = picture_.width / 2;
    const int chromaHeight = std::max(picture_.height / 2, 1);
    for (int i = 0; i < 16; ++i) {
      const int row = std::min(bandTop + i, picture_.height - 1);
      luma_[i] = rowOf(picture_.luma(), picture_.width, row, lumaRows_, lumaPadded_, i);
    }
    for (int i = 0; i < 8; ++i) {
      const int row = std::min((bandTop + 2 * i) / 2, chromaHeight - 1);
      cb_[i] = rowOf(picture_.cb(), chromaWidth, row, cbRows_, chromaPadded_, i);
      cr_[i] = rowOf(picture_.cr(), chromaWidth, row, crRows_, chromaPadded_, i);
    }
  }

  JSAMPARRAY planes[3] = {luma_, cb_, cr_};

 private:
  JSAMPROW rowOf(const std::uint8_t* plane, int width, int row, std::vector<JSAMPLE>& scratch, int padded, int slot) {
    auto* source = const_cast<JSAMPLE*>(plane + static_cast<std::size_t>(row) * static_cast<std::size_t>(width));
    if (!copying_) return source;
    JSAMPLE* target = scratch.data() + static_cast<std::size_t>(slot) * static_cast<std::size_t>(padded);
    std::copy_n(source, width, target);
    std::fill(target + width, target + padded, width > 0 ? source[width - 1] : JSAMPLE{0});
    return target;
  }

  Yv12View picture_;
  int lumaPadded_;
  int chromaPadded_;
  bool copying_ = false;
  std::vector<JSAMPLE> lumaRows_, cbRows_, crRows_;
  JSAMPROW luma_[16] = {};
  JSAMPROW cb_[8] = {};
  JSAMPROW cr_[8] = {};
};

class Compressor {
 public:
  Compressor() {
    info.err = jpeg_std_error(&errors.base);
    errors.base.error_exit = jumpOnError;
    errors.base.emit_message = ignoreMessage;
  }
  ~Compressor() {
    if (created) jpeg_destroy_compress(&info);
  }
  Compressor(const Compressor&) = delete;
  Compressor& operator=(const Compressor&) = delete;

  jpeg_compress_struct info{};
  ErrorManager errors{};
  bool created = false;
};

}  // namespace

bool writeYv12Jpeg(const Yv12View& picture, std::FILE* file, std::string& error) {
  if (picture.empty() || picture.width < 2 || picture.height < 2 || !file) {
    error = "no picture";
    return false;
  }
  const int lumaPadded = (picture.width + 15) / 16 * 16;
  const int chromaPadded = lumaPadded / 2;
  BandRows rows(picture, lumaPadded, chromaPadded);

  Compressor compressor;
  jpeg_compress_struct& info = compressor.info;
  // Only objects constructed before this point are touched after a jump.
  if (setjmp(compressor.errors.jump)) {
    error = compressor.errors.message;
    return false;
  }
  jpeg_create_compress(&info);
  compressor.created = true;

  info.image_width = static_cast<JDIMENSION>(picture.width);
  info.image_height = static_cast<JDIMENSION>(picture.height);
  info.input_components = 3;
  info.in_color_space = JCS_YCbCr;
  jpeg_set_defaults(&info);
  jpeg_set_colorspace(&info, JCS_YCbCr);
  info.raw_data_in = TRUE;
  info.comp_info[0].h_samp_factor = 2;
  info.comp_info[0].v_samp_factor = 2;
  info.comp_info[1].h_samp_factor = 1;
  info.comp_info[1].v_samp_factor = 1;
  info.comp_info[2].h_samp_factor = 1;
  info.comp_info[2].v_samp_factor = 1;
  jpeg_set_quality(&info, kSnapshotQuality, TRUE);
  info.optimize_coding = TRUE;
  jpeg_stdio_dest(&info, file);
  jpeg_start_compress(&info, TRUE);

  for (int band = 0; band < picture.height; band += 16) {
    rows.fill(band);
    jpeg_write_raw_data(&info, rows.planes, 16);
  }
  jpeg_finish_compress(&info);
  return true;
}

}  // namespace mc::media
