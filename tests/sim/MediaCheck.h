#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct AVCodecContext;
struct AVFrame;
struct AVPacket;

// Independent decoders (libavcodec) that tests use to look at what the
// simulator sends: pictures by pixel value, sound by its frequency.
namespace simtest {

struct Picture {
  int width = 0;
  int height = 0;
  std::vector<std::uint8_t> y, u, v;  // tightly packed planes

  int lumaAt(int x, int yRow) const { return y[static_cast<std::size_t>(yRow) * width + x]; }
  int uAt(int x, int yRow) const { return u[static_cast<std::size_t>(yRow / 2) * (width / 2) + x / 2]; }
  int vAt(int x, int yRow) const { return v[static_cast<std::size_t>(yRow / 2) * (width / 2) + x / 2]; }
};

class Decoder {
 public:
  // codecName: "h264", "aac" or "pcm_alaw" (the last needs rate and channels).
  explicit Decoder(const std::string& codecName, int sampleRate = 0, int channels = 0);
  ~Decoder();
  Decoder(const Decoder&) = delete;
  Decoder& operator=(const Decoder&) = delete;

  // One access unit; true when it gave a picture.
  bool decodePicture(const std::uint8_t* data, std::size_t size, Picture& out);
  // One audio frame; appends the first channel's samples (as -1..1).
  bool decodeAudio(const std::uint8_t* data, std::size_t size, std::vector<float>& samples);
  int sampleRate() const;
  int channels() const;

 private:
  struct ContextFree {
    void operator()(AVCodecContext* c) const;
  };
  struct FrameFree {
    void operator()(AVFrame* f) const;
  };
  struct PacketFree {
    void operator()(AVPacket* p) const;
  };
  bool send(const std::uint8_t* data, std::size_t size);
  std::unique_ptr<AVCodecContext, ContextFree> ctx_;
  std::unique_ptr<AVFrame, FrameFree> frame_;
  std::unique_ptr<AVPacket, PacketFree> packet_;
};

// Frequency of a clean tone, from the spacing of its rising zero crossings.
double toneFrequency(const std::vector<float>& samples, int sampleRate);
// Root mean square of the samples.
double rms(const std::vector<float>& samples);

}  // namespace simtest
