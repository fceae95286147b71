#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include <json/json.h>

// Generated input and file inspection for the recording tests.
namespace mc::test {

// A YV12 picture (luma, Cr, Cb): the left half of the luma dark (60), the
// right half bright (190), a 16-pixel grey square (128) that moves with
// `index`; Cr 180, Cb 90 everywhere.
std::vector<std::uint8_t> makePicture(int width, int height, int index);
constexpr int kLeftLuma = 60, kRightLuma = 190, kCr = 180, kCb = 90;

// Interleaved 16-bit PCM of a sine tone: `samples` per channel, starting at
// sample `offset` of the tone.
std::vector<std::uint8_t> makeTone(int sampleRate, int channels, int samples, std::int64_t offset,
                                   double frequency = 1000.0, int amplitude = 8000);

// `ffprobe -v error -show_streams -show_format -of json FILE`, parsed.
Json::Value probe(const std::string& path);

struct DemuxedPacket {
  int size = 0;
  bool key = false;
  double time = 0;      // seconds
  double duration = 0;  // seconds
};
struct DemuxedStream {
  std::string type;   // "video" or "audio"
  std::string codec;  // libav codec name
  int width = 0, height = 0;
  int sampleRate = 0, channels = 0;
  std::vector<std::uint8_t> extradata;
  std::vector<DemuxedPacket> packets;
};
// Every stream of the file with its packets, read with libavformat. Empty
// when the file cannot be opened.
std::vector<DemuxedStream> demux(const std::string& path);

struct DecodedPicture {
  int width = 0, height = 0;
  double leftLuma = 0, rightLuma = 0;  // mean of a block inside each half
  double cb = 0, cr = 0;               // mean of each chroma plane
  std::vector<std::uint8_t> yv12;      // the whole picture, when asked for
};
// Every picture of the file's video stream decoded with libavcodec; with
// `keepPictures` each in YV12 layout too.
std::vector<DecodedPicture> decodeVideo(const std::string& path, bool keepPictures = false);

struct DecodedAudio {
  int sampleRate = 0;
  std::vector<float> samples;  // first channel
};
DecodedAudio decodeAudio(const std::string& path);

// Frequency of a tone from its zero crossings.
double toneFrequency(const std::vector<float>& samples, int sampleRate);

}  // namespace mc::test
