#include "tests/sim/MediaCheck.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

#include <cmath>
#include <cstring>
#include <stdexcept>

namespace simtest {

void Decoder::ContextFree::operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
void Decoder::FrameFree::operator()(AVFrame* f) const { av_frame_free(&f); }
void Decoder::PacketFree::operator()(AVPacket* p) const { av_packet_free(&p); }

Decoder::Decoder(const std::string& codecName, int sampleRate, int channels) {
  const AVCodec* codec = avcodec_find_decoder_by_name(codecName.c_str());
  if (!codec) throw std::runtime_error("no decoder " + codecName);
  ctx_.reset(avcodec_alloc_context3(codec));
  if (sampleRate > 0) {
    ctx_->sample_rate = sampleRate;
    av_channel_layout_default(&ctx_->ch_layout, channels);
  }
  if (avcodec_open2(ctx_.get(), codec, nullptr) < 0) throw std::runtime_error("cannot open " + codecName);
  frame_.reset(av_frame_alloc());
  packet_.reset(av_packet_alloc());
}

Decoder::~Decoder() = default;

bool Decoder::send(const std::uint8_t* data, std::size_t size) {
  if (av_new_packet(packet_.get(), static_cast<int>(size)) < 0) return false;
  std::memcpy(packet_->data, data, size);
  const int rc = avcodec_send_packet(ctx_.get(), packet_.get());
  av_packet_unref(packet_.get());
  return rc >= 0;
}

bool Decoder::decodePicture(const std::uint8_t* data, std::size_t size, Picture& out) {
  if (!send(data, size)) return false;
  bool got = false;
  while (avcodec_receive_frame(ctx_.get(), frame_.get()) >= 0) {
    const AVFrame* f = frame_.get();
    out.width = f->width;
    out.height = f->height;
    auto copyPlane = [&](int plane, int w, int h, std::vector<std::uint8_t>& dst) {
      dst.resize(static_cast<std::size_t>(w) * h);
      for (int row = 0; row < h; ++row)
        std::memcpy(dst.data() + static_cast<std::size_t>(row) * w, f->data[plane] + row * f->linesize[plane], w);
    };
    copyPlane(0, f->width, f->height, out.y);
    copyPlane(1, f->width / 2, f->height / 2, out.u);
    copyPlane(2, f->width / 2, f->height / 2, out.v);
    av_frame_unref(frame_.get());
    got = true;
  }
  return got;
}

bool Decoder::decodeAudio(const std::uint8_t* data, std::size_t size, std::vector<float>& samples) {
  if (!send(data, size)) return false;
  bool got = false;
  while (avcodec_receive_frame(ctx_.get(), frame_.get()) >= 0) {
    const AVFrame* f = frame_.get();
    const auto fmt = static_cast<AVSampleFormat>(f->format);
    const int channels = f->ch_layout.nb_channels;
    for (int i = 0; i < f->nb_samples; ++i) {
      switch (fmt) {
        case AV_SAMPLE_FMT_FLTP: samples.push_back(reinterpret_cast<const float*>(f->data[0])[i]); break;
        case AV_SAMPLE_FMT_FLT: samples.push_back(reinterpret_cast<const float*>(f->data[0])[i * channels]); break;
        case AV_SAMPLE_FMT_S16:
          samples.push_back(reinterpret_cast<const std::int16_t*>(f->data[0])[i * channels] / 32768.0f);
          break;
        case AV_SAMPLE_FMT_S16P: samples.push_back(reinterpret_cast<const std::int16_t*>(f->data[0])[i] / 32768.0f); break;
        default: throw std::runtime_error("unexpected sample format");
      }
    }
    av_frame_unref(frame_.get());
    got = true;
  }
  return got;
}

int Decoder::sampleRate() const { return ctx_->sample_rate; }
int Decoder::channels() const { return ctx_->ch_layout.nb_channels; }

double toneFrequency(const std::vector<float>& samples, int sampleRate) {
  double first = -1, last = -1;
  int crossings = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if (samples[i - 1] < 0 && samples[i] >= 0) {
      const double t = (i - 1) + samples[i - 1] / (samples[i - 1] - samples[i]);
      if (first < 0) first = t;
      last = t;
      ++crossings;
    }
  }
  if (crossings < 2) return 0;
  return (crossings - 1) * static_cast<double>(sampleRate) / (last - first);
}

double rms(const std::vector<float>& samples) {
  double sum = 0;
  for (float s : samples) sum += static_cast<double>(s) * s;
  return samples.empty() ? 0 : std::sqrt(sum / samples.size());
}

}  // namespace simtest
