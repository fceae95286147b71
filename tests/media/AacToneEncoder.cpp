#include "tests/media/AacToneEncoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

#include <algorithm>
#include <array>
#include <memory>
#include <stdexcept>
#include <string>

namespace mc::test {
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

int samplingIndex(std::uint32_t rate) {
  constexpr std::array<std::uint32_t, 13> rates{96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                                22050, 16000, 12000, 11025, 8000,  7350};
  const auto it = std::find(rates.begin(), rates.end(), rate);
  if (it == rates.end()) throw std::invalid_argument("no ADTS sampling index for " + std::to_string(rate));
  return static_cast<int>(it - rates.begin());
}

std::vector<std::uint8_t> adtsFrame(const AVPacket& packet, std::uint32_t rate, int channels) {
  const std::size_t length = 7 + static_cast<std::size_t>(packet.size);
  const int profile = 1;  // AAC LC (object type 2) minus one
  std::vector<std::uint8_t> frame(length);
  frame[0] = 0xFF;
  frame[1] = 0xF1;  // MPEG-4, layer 0, no CRC
  frame[2] = static_cast<std::uint8_t>((profile << 6) | (samplingIndex(rate) << 2) | (channels >> 2));
  frame[3] = static_cast<std::uint8_t>(((channels & 3) << 6) | (length >> 11));
  frame[4] = static_cast<std::uint8_t>((length >> 3) & 0xFF);
  frame[5] = static_cast<std::uint8_t>(((length & 7) << 5) | 0x1F);
  frame[6] = 0xFC;
  std::copy_n(packet.data, packet.size, frame.begin() + 7);
  return frame;
}

void check(int result, const char* what) {
  if (result < 0) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(result, text, sizeof text);
    throw std::runtime_error(std::string(what) + ": " + text);
  }
}

}  // namespace

std::vector<std::vector<std::uint8_t>> encodeAdts(std::span<const std::int16_t> interleaved, std::uint32_t sampleRate,
                                                  int channels, long bitRate) {
  av_log_set_level(AV_LOG_ERROR);
  const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_AAC);
  if (!codec) throw std::runtime_error("no AAC encoder");
  std::unique_ptr<AVCodecContext, CodecContextFree> context(avcodec_alloc_context3(codec));
  context->sample_fmt = AV_SAMPLE_FMT_FLTP;
  context->sample_rate = static_cast<int>(sampleRate);
  av_channel_layout_default(&context->ch_layout, channels);
  context->bit_rate = bitRate;
  context->profile = FF_PROFILE_AAC_LOW;
  check(avcodec_open2(context.get(), codec, nullptr), "avcodec_open2");

  std::unique_ptr<AVFrame, FrameFree> frame(av_frame_alloc());
  std::unique_ptr<AVPacket, PacketFree> packet(av_packet_alloc());
  std::vector<std::vector<std::uint8_t>> frames;
  auto drain = [&] {
    for (;;) {
      const int result = avcodec_receive_packet(context.get(), packet.get());
      if (result == AVERROR(EAGAIN) || result == AVERROR_EOF) return;
      check(result, "avcodec_receive_packet");
      frames.push_back(adtsFrame(*packet, sampleRate, channels));
      av_packet_unref(packet.get());
    }
  };

  const std::size_t perFrame = static_cast<std::size_t>(context->frame_size);
  const std::size_t total = interleaved.size() / static_cast<std::size_t>(channels);
  for (std::size_t start = 0; start < total; start += perFrame) {
    const std::size_t count = std::min(perFrame, total - start);
    frame->nb_samples = static_cast<int>(count);
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->sample_rate = static_cast<int>(sampleRate);
    check(av_channel_layout_copy(&frame->ch_layout, &context->ch_layout), "av_channel_layout_copy");
    check(av_frame_get_buffer(frame.get(), 0), "av_frame_get_buffer");
    for (int c = 0; c < channels; ++c) {
      auto* plane = reinterpret_cast<float*>(frame->data[c]);
      for (std::size_t i = 0; i < count; ++i)
        plane[i] = interleaved[(start + i) * static_cast<std::size_t>(channels) + static_cast<std::size_t>(c)] / 32768.0f;
    }
    check(avcodec_send_frame(context.get(), frame.get()), "avcodec_send_frame");
    av_frame_unref(frame.get());
    drain();
  }
  check(avcodec_send_frame(context.get(), nullptr), "flush");
  drain();
  return frames;
}

}  // namespace mc::test
