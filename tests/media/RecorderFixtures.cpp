#include "tests/media/RecorderFixtures.h"

#include <cmath>
#include <cstdio>
#include <memory>
#include <numbers>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

#include "media/LibavHandles.h"

namespace mc::test {

std::vector<std::uint8_t> makePicture(int width, int height, int index) {
  const std::size_t luma = std::size_t(width) * height;
  const std::size_t chroma = std::size_t(width / 2) * (height / 2);
  std::vector<std::uint8_t> picture(luma + 2 * chroma);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      picture[std::size_t(y) * width + x] = x < width / 2 ? kLeftLuma : kRightLuma;
    }
  }
  // A moving square keeps the predicted pictures from being empty.
  const int side = 16;
  const int sx = (index * 4) % std::max(1, width - side);
  const int sy = height / 4;
  for (int y = sy; y < std::min(height, sy + side); ++y) {
    for (int x = sx; x < std::min(width, sx + side); ++x) picture[std::size_t(y) * width + x] = 128;
  }
  std::fill_n(picture.begin() + std::ptrdiff_t(luma), chroma, std::uint8_t(kCr));
  std::fill_n(picture.begin() + std::ptrdiff_t(luma + chroma), chroma, std::uint8_t(kCb));
  return picture;
}

std::vector<std::uint8_t> makeTone(int sampleRate, int channels, int samples, std::int64_t offset,
                                   double frequency, int amplitude) {
  std::vector<std::uint8_t> pcm(std::size_t(samples) * channels * 2);
  std::size_t at = 0;
  for (int i = 0; i < samples; ++i) {
    const double t = double(offset + i) / sampleRate;
    const auto v = std::int16_t(std::lround(amplitude * std::sin(2 * std::numbers::pi * frequency * t)));
    for (int c = 0; c < channels; ++c) {
      pcm[at++] = std::uint8_t(v & 0xFF);
      pcm[at++] = std::uint8_t((v >> 8) & 0xFF);
    }
  }
  return pcm;
}

Json::Value probe(const std::string& path) {
  const std::string command = "ffprobe -v error -show_streams -show_format -of json '" + path + "' 2>&1";
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string text;
  if (pipe) {
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe.get())) > 0) text.append(buffer, n);
  }
  Json::Value root;
  Json::CharReaderBuilder builder;
  std::string errors;
  std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
  if (!reader->parse(text.data(), text.data() + text.size(), &root, &errors)) {
    root = Json::Value(Json::objectValue);
    root["error"] = text;
  }
  return root;
}

namespace {

mc::av::InputContextPtr openInput(const std::string& path) {
  AVFormatContext* raw = nullptr;
  if (avformat_open_input(&raw, path.c_str(), nullptr, nullptr) < 0) return nullptr;
  mc::av::InputContextPtr input(raw);
  if (avformat_find_stream_info(input.get(), nullptr) < 0) return nullptr;
  return input;
}

double seconds(std::int64_t value, AVRational base) {
  return value == AV_NOPTS_VALUE ? 0.0 : double(value) * av_q2d(base);
}

double planeMean(const AVFrame* frame, int plane, int x0, int y0, int x1, int y1) {
  double sum = 0;
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) sum += frame->data[plane][std::ptrdiff_t(y) * frame->linesize[plane] + x];
  }
  return sum / double((x1 - x0) * (y1 - y0));
}

// Decodes the first stream of `type`, handing each frame to `sink`.
template <typename Sink>
void decodeStream(const std::string& path, AVMediaType type, Sink sink) {
  auto input = openInput(path);
  if (!input) return;
  const int index = av_find_best_stream(input.get(), type, -1, -1, nullptr, 0);
  if (index < 0) return;
  AVStream* stream = input->streams[index];
  const AVCodec* codec = avcodec_find_decoder(stream->codecpar->codec_id);
  mc::av::CodecContextPtr context(avcodec_alloc_context3(codec));
  avcodec_parameters_to_context(context.get(), stream->codecpar);
  context->thread_count = 1;
  if (avcodec_open2(context.get(), codec, nullptr) < 0) return;
  mc::av::PacketPtr packet(av_packet_alloc());
  mc::av::FramePtr frame(av_frame_alloc());
  auto drain = [&] {
    while (avcodec_receive_frame(context.get(), frame.get()) >= 0) {
      sink(frame.get(), context.get());
      av_frame_unref(frame.get());
    }
  };
  while (av_read_frame(input.get(), packet.get()) >= 0) {
    if (packet->stream_index == index) {
      avcodec_send_packet(context.get(), packet.get());
      drain();
    }
    av_packet_unref(packet.get());
  }
  avcodec_send_packet(context.get(), nullptr);
  drain();
}

}  // namespace

std::vector<DemuxedStream> demux(const std::string& path) {
  std::vector<DemuxedStream> streams;
  auto input = openInput(path);
  if (!input) return streams;
  for (unsigned i = 0; i < input->nb_streams; ++i) {
    const AVCodecParameters* par = input->streams[i]->codecpar;
    DemuxedStream s;
    s.type = av_get_media_type_string(par->codec_type) ? av_get_media_type_string(par->codec_type) : "";
    s.codec = avcodec_get_name(par->codec_id);
    s.width = par->width;
    s.height = par->height;
    s.sampleRate = par->sample_rate;
    s.channels = par->ch_layout.nb_channels;
    s.extradata.assign(par->extradata, par->extradata + par->extradata_size);
    streams.push_back(std::move(s));
  }
  mc::av::PacketPtr packet(av_packet_alloc());
  while (av_read_frame(input.get(), packet.get()) >= 0) {
    const AVRational base = input->streams[packet->stream_index]->time_base;
    streams[std::size_t(packet->stream_index)].packets.push_back(
        {packet->size, (packet->flags & AV_PKT_FLAG_KEY) != 0, seconds(packet->pts, base),
         seconds(packet->duration, base)});
    av_packet_unref(packet.get());
  }
  return streams;
}

std::vector<DecodedPicture> decodeVideo(const std::string& path, bool keepPictures) {
  std::vector<DecodedPicture> pictures;
  decodeStream(path, AVMEDIA_TYPE_VIDEO, [&](const AVFrame* f, const AVCodecContext*) {
    DecodedPicture p;
    p.width = f->width;
    p.height = f->height;
    // Blocks clear of the half boundary and of the moving square's rows.
    const int y0 = f->height / 2, y1 = f->height * 7 / 8;
    p.leftLuma = planeMean(f, 0, f->width / 16, y0, f->width * 6 / 16, y1);
    p.rightLuma = planeMean(f, 0, f->width * 10 / 16, y0, f->width * 15 / 16, y1);
    p.cb = planeMean(f, 1, 0, 0, f->width / 2, f->height / 2);
    p.cr = planeMean(f, 2, 0, 0, f->width / 2, f->height / 2);
    if (keepPictures) {
      // Luma, then Cr (plane 2), then Cb (plane 1).
      for (int plane : {0, 2, 1}) {
        const int w = plane == 0 ? f->width : f->width / 2;
        const int h = plane == 0 ? f->height : f->height / 2;
        for (int y = 0; y < h; ++y) {
          const std::uint8_t* row = f->data[plane] + std::ptrdiff_t(y) * f->linesize[plane];
          p.yv12.insert(p.yv12.end(), row, row + w);
        }
      }
    }
    pictures.push_back(std::move(p));
  });
  return pictures;
}

DecodedAudio decodeAudio(const std::string& path) {
  DecodedAudio audio;
  decodeStream(path, AVMEDIA_TYPE_AUDIO, [&](const AVFrame* f, const AVCodecContext* c) {
    audio.sampleRate = c->sample_rate;
    if (f->format != AV_SAMPLE_FMT_FLTP) return;
    const float* first = reinterpret_cast<const float*>(f->data[0]);
    audio.samples.insert(audio.samples.end(), first, first + f->nb_samples);
  });
  return audio;
}

double toneFrequency(const std::vector<float>& samples, int sampleRate) {
  if (samples.size() < 2 || sampleRate <= 0) return 0;
  std::size_t crossings = 0;
  std::size_t firstCrossing = 0, lastCrossing = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if (samples[i - 1] < 0 && samples[i] >= 0) {
      if (crossings == 0) firstCrossing = i;
      lastCrossing = i;
      ++crossings;
    }
  }
  if (crossings < 2) return 0;
  return double(crossings - 1) * sampleRate / double(lastCrossing - firstCrossing);
}

}  // namespace mc::test
