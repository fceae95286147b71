#include "sim/VideoEncoder.h"

#include <x264.h>

#include <cstring>

namespace sim {

void VideoEncoder::Closer::operator()(x264_t* encoder) const { x264_encoder_close(encoder); }

VideoEncoder::VideoEncoder(int width, int height, int fps, int bitrateKbps, int keyInterval)
    : width_(width), height_(height) {
  x264_param_t param;
  if (x264_param_default_preset(&param, "veryfast", "zerolatency") < 0)
    throw EncoderError("x264: preset veryfast/zerolatency refused");
  param.i_log_level = X264_LOG_ERROR;
  param.i_threads = 1;
  param.b_sliced_threads = 0;
  param.i_slice_count = 1;
  param.i_width = width;
  param.i_height = height;
  param.i_csp = X264_CSP_I420;
  param.i_fps_num = static_cast<std::uint32_t>(fps);
  param.i_fps_den = 1;
  param.i_timebase_num = 1;
  param.i_timebase_den = static_cast<std::uint32_t>(fps);
  param.i_keyint_max = keyInterval;
  param.i_keyint_min = keyInterval;
  param.i_scenecut_threshold = 0;
  param.b_intra_refresh = 0;
  param.i_bframe = 0;
  param.rc.i_rc_method = X264_RC_ABR;
  param.rc.i_bitrate = bitrateKbps;
  param.rc.i_vbv_max_bitrate = bitrateKbps;
  param.rc.i_vbv_buffer_size = bitrateKbps;
  // Constant bitrate with filler data, as cameras send it: a still scene
  // still costs the configured rate on the network.
  param.i_nal_hrd = X264_NAL_HRD_CBR;
  param.rc.b_filler = 1;
  param.b_repeat_headers = 1;
  param.b_annexb = 1;
  param.b_aud = 0;
  param.vui.i_colorprim = 6;   // BT.601 (SMPTE 170M)
  param.vui.i_transfer = 6;
  param.vui.i_colmatrix = 6;
  param.vui.b_fullrange = 0;
  if (x264_param_apply_profile(&param, "main") < 0) throw EncoderError("x264: profile main refused");
  encoder_.reset(x264_encoder_open(&param));
  if (!encoder_)
    throw EncoderError("x264: cannot open an encoder for " + std::to_string(width) + "x" + std::to_string(height));
}

VideoEncoder::~VideoEncoder() = default;

EncodedPicture VideoEncoder::encode(const I420Picture& picture) {
  if (picture.width != width_ || picture.height != height_) throw EncoderError("x264: picture of the wrong size");
  x264_picture_t in;
  x264_picture_init(&in);
  in.img.i_csp = X264_CSP_I420;
  in.img.i_plane = 3;
  in.img.i_stride[0] = width_;
  in.img.i_stride[1] = in.img.i_stride[2] = width_ / 2;
  in.img.plane[0] = const_cast<std::uint8_t*>(picture.y());
  in.img.plane[1] = const_cast<std::uint8_t*>(picture.u());
  in.img.plane[2] = const_cast<std::uint8_t*>(picture.v());
  in.i_pts = pts_++;
  x264_picture_t out;
  x264_nal_t* nals = nullptr;
  int count = 0;
  const int bytes = x264_encoder_encode(encoder_.get(), &nals, &count, &in, &out);
  if (bytes < 0) throw EncoderError("x264: encoding failed");
  if (bytes == 0) throw EncoderError("x264: the encoder held a picture back");
  EncodedPicture coded;
  coded.key = out.b_keyframe != 0;
  // The payloads of one call are contiguous in x264's buffer.
  coded.data.assign(nals[0].p_payload, nals[0].p_payload + bytes);
  return coded;
}

}  // namespace sim
