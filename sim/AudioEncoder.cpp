#include "sim/AudioEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
}

#include <cmath>
#include <memory>
#include <string>

#include "sim/VideoEncoder.h"

namespace sim {
namespace {

struct CodecContextFree {
  void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
  void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
  void operator()(AVPacket* p) const { av_packet_free(&p); }
};

std::string avError(int code) {
  char text[AV_ERROR_MAX_STRING_SIZE] = {};
  av_strerror(code, text, sizeof text);
  return text;
}

int adtsRateIndex(int sampleRate) {
  static const int kRates[] = {96000, 88200, 64000, 48000, 44100, 32000, 24000, 22050, 16000, 12000, 11025, 8000, 7350};
  for (int i = 0; i < 13; ++i)
    if (kRates[i] == sampleRate) return i;
  return 11;
}

constexpr double kPi = 3.14159265358979323846;

AudioLoop aacLoop(const AudioSpec& spec) {
  AudioLoop loop;
  loop.spec = spec;
  loop.samplesPerFrame = 1024;
  const int frames = (spec.sampleRate + 1023) / 1024;  // about one second
  const int loopSamples = frames * 1024;
  const long cycles = std::max(1L, std::lround(static_cast<double>(spec.toneHz) * loopSamples / spec.sampleRate));
  loop.toneHz = static_cast<double>(cycles) * spec.sampleRate / loopSamples;

  const AVCodec* codec = avcodec_find_encoder_by_name("aac");
  if (!codec) throw EncoderError("libavcodec has no aac encoder");
  std::unique_ptr<AVCodecContext, CodecContextFree> ctx(avcodec_alloc_context3(codec));
  if (!ctx) throw EncoderError("aac: out of memory");
  ctx->sample_fmt = AV_SAMPLE_FMT_FLTP;
  ctx->sample_rate = spec.sampleRate;
  av_channel_layout_default(&ctx->ch_layout, spec.channels);
  ctx->bit_rate = static_cast<std::int64_t>(spec.bitrateKbps) * 1000;
  ctx->profile = FF_PROFILE_AAC_LOW;
  if (const int rc = avcodec_open2(ctx.get(), codec, nullptr); rc < 0)
    throw EncoderError("aac: cannot open the encoder: " + avError(rc));

  std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
  std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
  if (!frame || !packet) throw EncoderError("aac: out of memory");
  frame->nb_samples = ctx->frame_size;
  frame->format = AV_SAMPLE_FMT_FLTP;
  frame->sample_rate = spec.sampleRate;
  av_channel_layout_copy(&frame->ch_layout, &ctx->ch_layout);
  if (const int rc = av_frame_get_buffer(frame.get(), 0); rc < 0)
    throw EncoderError("aac: no frame buffer: " + avError(rc));

  std::vector<std::vector<std::uint8_t>> packets;
  auto drain = [&] {
    while (true) {
      const int rc = avcodec_receive_packet(ctx.get(), packet.get());
      if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return;
      if (rc < 0) throw EncoderError("aac: encoding failed: " + avError(rc));
      std::vector<std::uint8_t> adts(7 + packet->size);
      writeAdtsHeader(adts.data(), spec.sampleRate, spec.channels, packet->size);
      std::copy(packet->data, packet->data + packet->size, adts.begin() + 7);
      packets.push_back(std::move(adts));
      av_packet_unref(packet.get());
    }
  };
  // Three periods of a periodic signal; the middle one is coded in steady
  // state, with the encoder's priming behind it.
  for (int k = 0; k < 3 * frames; ++k) {
    if (const int rc = av_frame_make_writable(frame.get()); rc < 0)
      throw EncoderError("aac: frame not writable: " + avError(rc));
    for (int i = 0; i < 1024; ++i) {
      const long n = (static_cast<long>(k) * 1024 + i) % loopSamples;
      const float s = static_cast<float>(kToneAmplitude * std::sin(2 * kPi * cycles * n / loopSamples));
      for (int ch = 0; ch < spec.channels; ++ch) reinterpret_cast<float*>(frame->data[ch])[i] = s;
    }
    frame->pts = static_cast<std::int64_t>(k) * 1024;
    if (const int rc = avcodec_send_frame(ctx.get(), frame.get()); rc < 0)
      throw EncoderError("aac: encoding failed: " + avError(rc));
    drain();
  }
  avcodec_send_frame(ctx.get(), nullptr);
  drain();
  // Packet k decodes to input samples [(k - 1) * 1024, k * 1024).
  if (static_cast<int>(packets.size()) < 2 * frames + 1) throw EncoderError("aac: the encoder gave too few frames");
  loop.frames.assign(packets.begin() + frames + 1, packets.begin() + 2 * frames + 1);
  loop.formatWord = audioFormatWord(spec);
  return loop;
}

AudioLoop alawLoop(const AudioSpec& spec) {
  AudioLoop loop;
  loop.spec = spec;
  loop.samplesPerFrame = kG711FrameSamples;
  const int loopSamples = 8000;  // one second holds a whole number of periods of a whole-Hz tone
  loop.toneHz = spec.toneHz;
  for (int start = 0; start < loopSamples; start += kG711FrameSamples) {
    std::vector<std::uint8_t> bytes(kG711FrameSamples);
    for (int i = 0; i < kG711FrameSamples; ++i) {
      const double s = kToneAmplitude * std::sin(2 * kPi * spec.toneHz * (start + i) / 8000.0);
      bytes[i] = alawFromLinear(static_cast<std::int16_t>(std::lround(s * 32767)));
    }
    loop.frames.push_back(std::move(bytes));
  }
  loop.formatWord = audioFormatWord(spec);
  return loop;
}

}  // namespace

std::uint8_t alawFromLinear(std::int16_t sample) {
  static const int kSegmentEnd[8] = {0x1F, 0x3F, 0x7F, 0xFF, 0x1FF, 0x3FF, 0x7FF, 0xFFF};
  int value = sample >> 3;
  int mask = 0xD5;
  if (value < 0) {
    mask = 0x55;
    value = -value - 1;
  }
  int segment = 0;
  while (segment < 8 && value > kSegmentEnd[segment]) ++segment;
  if (segment >= 8) return static_cast<std::uint8_t>(0x7F ^ mask);
  int coded = segment << 4;
  coded |= segment < 2 ? (value >> 1) & 0x0F : (value >> segment) & 0x0F;
  return static_cast<std::uint8_t>(coded ^ mask);
}

void writeAdtsHeader(std::uint8_t* out, int sampleRate, int channels, int payloadBytes) {
  const int length = payloadBytes + 7;
  const int rate = adtsRateIndex(sampleRate);
  out[0] = 0xFF;
  out[1] = 0xF1;  // MPEG-4, layer 0, no CRC
  out[2] = static_cast<std::uint8_t>((1 << 6) | (rate << 2) | ((channels >> 2) & 1));  // AAC LC
  out[3] = static_cast<std::uint8_t>(((channels & 3) << 6) | ((length >> 11) & 3));
  out[4] = static_cast<std::uint8_t>((length >> 3) & 0xFF);
  out[5] = static_cast<std::uint8_t>(((length & 7) << 5) | 0x1F);
  out[6] = 0xFC;
}

std::uint32_t audioFormatWord(const AudioSpec& spec) {
  const std::uint32_t codec = spec.codec == AudioCodec::G711a ? 3 : 0;
  return (static_cast<std::uint32_t>(spec.sampleRate) & 0xFFFF) | (16u << 16) |
         ((static_cast<std::uint32_t>(spec.channels) & 0xF) << 24) | (codec << 28);
}

AudioLoop makeAudioLoop(const AudioSpec& spec) {
  switch (spec.codec) {
    case AudioCodec::Aac: return aacLoop(spec);
    case AudioCodec::G711a: return alawLoop(spec);
    case AudioCodec::None: break;
  }
  AudioLoop none;
  none.spec = spec;
  return none;
}

}  // namespace sim
