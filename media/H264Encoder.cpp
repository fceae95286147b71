#include "media/H264Encoder.h"

#include <cstdarg>
#include <cstdio>

#include <x264.h>

#include "core/OLog.h"

namespace {

// The library's messages go to the calling thread's log.
void logFromX264(void*, int level, const char* format, va_list args) {
  if (level > X264_LOG_WARNING) return;
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  if (level == X264_LOG_ERROR) {
    LOG_ERROR("x264: %s", text);
  } else {
    LOG_WARNING("x264: %s", text);
  }
}

}  // namespace

void CH264Encoder::EncoderDeleter::operator()(x264_t* encoder) const { x264_encoder_close(encoder); }

CH264Encoder::~CH264Encoder() = default;

std::unique_ptr<CH264Encoder> CH264Encoder::create(int width, int height, const Settings& settings,
                                                   std::string* error) {
  auto fail = [error](std::string reason) -> std::unique_ptr<CH264Encoder> {
    if (error != nullptr) *error = std::move(reason);
    return nullptr;
  };
  const int codedWidth = width & ~1;
  const int codedHeight = height & ~1;
  if (codedWidth < 2 || codedHeight < 2 || width > 16384 || height > 16384) {
    return fail("unusable picture size " + std::to_string(width) + "x" + std::to_string(height));
  }
  x264_param_t param;
  if (x264_param_default_preset(&param, settings.preset, "zerolatency") < 0) {
    return fail(std::string("unknown x264 preset ") + settings.preset);
  }
  param.i_csp = X264_CSP_I420;
  param.i_width = codedWidth;
  param.i_height = codedHeight;
  param.i_fps_num = settings.frameRate > 0 ? settings.frameRate : 25;
  param.i_fps_den = 1;
  param.i_timebase_num = 1;
  param.i_timebase_den = param.i_fps_num;
  param.b_vfr_input = 0;
  // One thread and no sliced threads: one slice per picture and no delay.
  param.i_threads = 1;
  param.b_sliced_threads = 0;
  param.i_slice_count = 1;
  param.i_bframe = 0;
  param.i_keyint_max = settings.keyInterval > 0 ? settings.keyInterval : 50;
  param.i_keyint_min = 1;
  param.b_intra_refresh = 0;
  param.b_annexb = 1;
  param.b_repeat_headers = 1;
  param.b_aud = 0;
  param.rc.i_rc_method = X264_RC_CRF;
  param.rc.f_rf_constant = float(settings.crf);
  param.i_log_level = X264_LOG_WARNING;
  param.pf_log = logFromX264;
  if (x264_param_apply_profile(&param, "main") < 0) return fail("x264 refused the main profile");

  std::unique_ptr<CH264Encoder> encoder(new CH264Encoder(width, height));
  encoder->encoder_.reset(x264_encoder_open(&param));
  if (!encoder->encoder_) {
    return fail("x264_encoder_open failed for " + std::to_string(codedWidth) + "x" +
                std::to_string(codedHeight));
  }
  return encoder;
}

bool CH264Encoder::encode(const std::uint8_t* picture, std::size_t size, const std::uint8_t*& out,
                          std::size_t& outLength) {
  out = nullptr;
  outLength = 0;
  const std::size_t lumaSize = std::size_t(width_) * height_;
  const std::size_t chromaSize = std::size_t(width_ / 2) * (height_ / 2);
  if (picture == nullptr || size < lumaSize + 2 * chromaSize) return false;

  x264_picture_t in;
  x264_picture_init(&in);
  in.img.i_csp = X264_CSP_I420;
  in.img.i_plane = 3;
  // YV12 stores Cr before Cb; the library takes Y, Cb, Cr planes.
  std::uint8_t* base = const_cast<std::uint8_t*>(picture);  // x264 only reads the planes
  in.img.plane[0] = base;
  in.img.plane[1] = base + lumaSize + chromaSize;
  in.img.plane[2] = base + lumaSize;
  in.img.i_stride[0] = width_;
  in.img.i_stride[1] = width_ / 2;
  in.img.i_stride[2] = width_ / 2;
  in.i_pts = nextPts_++;
  if (keyFrameRequested_) {
    in.i_type = X264_TYPE_IDR;
    keyFrameRequested_ = false;
  }
  x264_nal_t* nals = nullptr;
  int nalCount = 0;
  x264_picture_t encoded;
  const int bytes = x264_encoder_encode(encoder_.get(), &nals, &nalCount, &in, &encoded);
  if (bytes < 0) {
    LOG_ERROR("x264_encoder_encode failed (%d)", bytes);
    return false;
  }
  if (bytes == 0 || nalCount == 0) return false;
  // With Annex B output the units are laid out back to back.
  out = nals[0].p_payload;
  outLength = std::size_t(bytes);
  return true;
}
