#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct x264_t;

// H.264 encoder for YV12 pictures (libx264), standing where the encoder
// library of the recorder stands: one instance per picture size, Annex B
// output, no B-frames, one slice per picture, no frame delay (every picture
// in gives its access unit out). The first output, and every IDR picture,
// carries the sequence and picture parameter sets.
class CH264Encoder {
 public:
  struct Settings {
    int frameRate = 25;    // nominal pace, for rate control
    int keyInterval = 50;  // pictures between IDR pictures
    int crf = 23;          // constant quality factor
    const char* preset = "superfast";
  };

  // Null when the size is unusable or the library refuses the settings (the
  // reason, with the library's own message when it gave one, in `error`).
  // Odd widths or heights are cropped by one pixel.
  static std::unique_ptr<CH264Encoder> create(int width, int height, const Settings& settings,
                                              std::string* error = nullptr);
  static std::unique_ptr<CH264Encoder> create(int width, int height, std::string* error = nullptr) {
    return create(width, height, Settings{}, error);
  }
  ~CH264Encoder();
  CH264Encoder(const CH264Encoder&) = delete;
  CH264Encoder& operator=(const CH264Encoder&) = delete;

  // Encodes one YV12 picture (luma, Cr, Cb planes back to back, `size` at
  // least width × height + 2 × (width / 2) × (height / 2)). On true, `out`
  // points at `outLength` bytes of Annex B H.264, valid until the next call.
  bool encode(const std::uint8_t* picture, std::size_t size, const std::uint8_t*& out,
              std::size_t& outLength);

  // The next picture is coded as an IDR picture with parameter sets.
  void requestKeyFrame() { keyFrameRequested_ = true; }

  int width() const { return width_; }
  int height() const { return height_; }

 private:
  struct EncoderDeleter {
    void operator()(x264_t* encoder) const;
  };
  CH264Encoder(int width, int height) : width_(width), height_(height) {}

  std::unique_ptr<x264_t, EncoderDeleter> encoder_;
  int width_;   // size of the pictures given to encode
  int height_;
  std::int64_t nextPts_ = 0;
  bool keyFrameRequested_ = false;
};
