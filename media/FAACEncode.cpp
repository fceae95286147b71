#include "media/FAACEncode.h"

#include <algorithm>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

#include "core/OLog.h"
#include "media/AdtsHeader.h"

namespace {

// Bit rate per channel: about 2 bits per sample, 16 to 64 kbit/s.
std::int64_t bitRateFor(int sampleRate, int channels) {
  return std::int64_t(channels) * std::clamp(sampleRate * 2, 16000, 64000);
}

float sampleAt(const std::uint8_t* p, int bytes) {
  switch (bytes) {
    case 2:
      return float(std::int16_t(p[0] | (p[1] << 8))) / 32768.0f;
    case 3: {
      const std::int32_t v = std::int32_t((std::uint32_t(p[0]) << 8) | (std::uint32_t(p[1]) << 16) |
                                          (std::uint32_t(p[2]) << 24));
      return float(v) / 2147483648.0f;
    }
    default: {
      const std::int32_t v = std::int32_t(std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) |
                                          (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24));
      return float(v) / 2147483648.0f;
    }
  }
}

}  // namespace

bool FAACEncode::Init(int sampleRate, int bitsPerSample, int channels) {
  context_.reset();
  frame_.reset();
  packet_.reset();
  inputFill_ = 0;
  fedSamples_ = nextFramePts_ = encodedEnd_ = 0;
  flushed_ = false;
  sampleRate_ = sampleRate;
  bitsPerSample_ = bitsPerSample;
  channels_ = channels;
  inputBytes_ = 0;

  frequencyIndex_ = mc::aac::frequencyIndexOf(sampleRate);
  if (frequencyIndex_ < 0) {
    LOG_ERROR("AAC: unsupported sample rate %d", sampleRate);
    return false;
  }
  if (bitsPerSample != 16 && bitsPerSample != 24 && bitsPerSample != 32) {
    LOG_ERROR("AAC: unsupported sample width %d bits", bitsPerSample);
    return false;
  }
  if (channels < 1 || channels > 6) {
    LOG_ERROR("AAC: unsupported channel count %d", channels);
    return false;
  }
  const AVCodec* codec = avcodec_find_encoder_by_name("aac");
  if (codec == nullptr) {
    LOG_ERROR("AAC: libavcodec has no aac encoder");
    return false;
  }
  mc::av::CodecContextPtr context(avcodec_alloc_context3(codec));
  mc::av::FramePtr frame(av_frame_alloc());
  mc::av::PacketPtr packet(av_packet_alloc());
  if (!context || !frame || !packet) {
    LOG_ERROR("AAC: out of memory");
    return false;
  }
  context->sample_fmt = AV_SAMPLE_FMT_FLTP;
  context->sample_rate = sampleRate;
  av_channel_layout_default(&context->ch_layout, channels);
  context->bit_rate = bitRateFor(sampleRate, channels);
  context->profile = FF_PROFILE_AAC_LOW;
  context->time_base = AVRational{1, sampleRate};
  if (const int rc = avcodec_open2(context.get(), codec, nullptr); rc < 0) {
    LOG_ERROR("AAC: avcodec_open2 failed: %s", mc::av::errorText(rc).c_str());
    return false;
  }
  if (context->frame_size != kFrameSamples) {
    LOG_ERROR("AAC: unexpected frame size %d", context->frame_size);
    return false;
  }
  frame->format = AV_SAMPLE_FMT_FLTP;
  frame->sample_rate = sampleRate;
  frame->nb_samples = kFrameSamples;
  if (const int rc = av_channel_layout_copy(&frame->ch_layout, &context->ch_layout); rc < 0) {
    LOG_ERROR("AAC: %s", mc::av::errorText(rc).c_str());
    return false;
  }
  if (const int rc = av_frame_get_buffer(frame.get(), 0); rc < 0) {
    LOG_ERROR("AAC: av_frame_get_buffer failed: %s", mc::av::errorText(rc).c_str());
    return false;
  }
  context_ = std::move(context);
  frame_ = std::move(frame);
  packet_ = std::move(packet);
  inputBytes_ = std::size_t(kFrameSamples) * channels * (bitsPerSample / 8);
  inputBuffer_.assign(inputBytes_, 0);
  return true;
}

bool FAACEncode::Encode(const std::uint8_t* pcm, std::size_t length, const std::uint8_t*& output,
                        std::size_t& outputLength) {
  output = nullptr;
  outputLength = 0;
  output_.clear();
  if (!context_ || flushed_ || pcm == nullptr) return false;
  const std::size_t frameBytes = std::size_t(channels_) * (bitsPerSample_ / 8);
  fedSamples_ += std::int64_t((inputFill_ + length) / frameBytes) - std::int64_t(inputFill_ / frameBytes);
  while (length > 0) {
    const std::size_t take = std::min(length, inputBytes_ - inputFill_);
    std::copy_n(pcm, take, inputBuffer_.begin() + std::ptrdiff_t(inputFill_));
    inputFill_ += take;
    pcm += take;
    length -= take;
    if (inputFill_ == inputBytes_) {
      inputFill_ = 0;
      if (!encodeFrame(kFrameSamples)) break;
    }
  }
  if (output_.empty()) return false;
  output = output_.data();
  outputLength = output_.size();
  return true;
}

bool FAACEncode::Flush(const std::uint8_t*& output, std::size_t& outputLength) {
  output = nullptr;
  outputLength = 0;
  output_.clear();
  if (!context_ || flushed_) return false;
  flushed_ = true;
  const std::size_t frameBytes = std::size_t(channels_) * (bitsPerSample_ / 8);
  const int partial = int(inputFill_ / frameBytes);
  inputFill_ = 0;
  if (partial > 0) encodeFrame(partial);  // the encoder takes a short last frame
  if (const int rc = avcodec_send_frame(context_.get(), nullptr); rc < 0) {
    LOG_ERROR("AAC: flushing failed: %s", mc::av::errorText(rc).c_str());
  } else {
    drainPackets();
  }
  if (output_.empty()) return false;
  output = output_.data();
  outputLength = output_.size();
  return true;
}

bool FAACEncode::encodeFrame(int samples) {
  if (const int rc = av_frame_make_writable(frame_.get()); rc < 0) {
    LOG_ERROR("AAC: av_frame_make_writable failed: %s", mc::av::errorText(rc).c_str());
    return false;
  }
  frame_->nb_samples = samples;
  const int bytes = bitsPerSample_ / 8;
  const std::uint8_t* p = inputBuffer_.data();
  for (int i = 0; i < samples; ++i) {
    for (int c = 0; c < channels_; ++c, p += bytes) {
      reinterpret_cast<float*>(frame_->data[c])[i] = sampleAt(p, bytes);
    }
  }
  frame_->pts = nextFramePts_;
  nextFramePts_ += samples;
  if (const int rc = avcodec_send_frame(context_.get(), frame_.get()); rc < 0) {
    LOG_ERROR("AAC: avcodec_send_frame failed: %s", mc::av::errorText(rc).c_str());
    return false;
  }
  return drainPackets();
}

bool FAACEncode::drainPackets() {
  for (;;) {
    const int rc = avcodec_receive_packet(context_.get(), packet_.get());
    if (rc == AVERROR(EAGAIN) || rc == AVERROR_EOF) return true;
    if (rc < 0) {
      LOG_ERROR("AAC: avcodec_receive_packet failed: %s", mc::av::errorText(rc).c_str());
      return false;
    }
    const std::size_t at = output_.size();
    output_.resize(at + 7 + std::size_t(packet_->size));
    if (mc::aac::writeAdts(output_.data() + at, 2, frequencyIndex_, channels_, std::size_t(packet_->size))) {
      std::copy_n(packet_->data, packet_->size, output_.begin() + std::ptrdiff_t(at + 7));
      encodedEnd_ = packet_->pts + (packet_->duration > 0 ? packet_->duration : kFrameSamples);
    } else {
      LOG_ERROR("AAC: frame of %d bytes does not fit an ADTS header", packet_->size);
      output_.resize(at);
    }
    av_packet_unref(packet_.get());
  }
}
