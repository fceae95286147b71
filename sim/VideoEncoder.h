#pragma once
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/TestPicture.h"

typedef struct x264_t x264_t;

namespace sim {

class EncoderError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// One coded picture: an Annex B access unit.
struct EncodedPicture {
  std::vector<std::uint8_t> data;
  bool key = false;
};

// H.264 through libx264 as a camera would send it: no B-frames, one slice
// per picture, an IDR with SPS and PPS every `keyInterval` pictures, a
// constant bitrate.
class VideoEncoder {
 public:
  VideoEncoder(int width, int height, int fps, int bitrateKbps, int keyInterval);
  ~VideoEncoder();
  VideoEncoder(const VideoEncoder&) = delete;
  VideoEncoder& operator=(const VideoEncoder&) = delete;

  // Codes one picture; the encoder has no delay, so every call yields one
  // access unit. Throws EncoderError.
  EncodedPicture encode(const I420Picture& picture);

 private:
  struct Closer {
    void operator()(x264_t* encoder) const;
  };
  std::unique_ptr<x264_t, Closer> encoder_;
  int width_;
  int height_;
  std::int64_t pts_ = 0;
};

}  // namespace sim
