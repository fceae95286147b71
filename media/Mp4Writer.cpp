#include "media/Mp4Writer.h"

#include <cstdio>
#include <cstring>

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/mem.h>
}

#include "common/TickCount.h"
#include "core/OLog.h"
#include "media/AdtsHeader.h"
#include "media/NalScanner.h"

namespace {

constexpr std::size_t kMaxHeldBytes = 16u << 20;  // samples held before the header
constexpr std::uint8_t kStartCode[] = {0, 0, 0, 1};

void appendUnit(std::vector<std::uint8_t>& out, const mc::h264::NalUnit& unit) {
  out.insert(out.end(), std::begin(kStartCode), std::end(kStartCode));
  out.insert(out.end(), unit.data, unit.data + unit.length);
}

// Copies `bytes` into the codec parameters' extradata (padded as libav wants).
bool setExtradata(AVCodecParameters* par, const std::vector<std::uint8_t>& bytes) {
  par->extradata = static_cast<std::uint8_t*>(av_mallocz(bytes.size() + AV_INPUT_BUFFER_PADDING_SIZE));
  if (par->extradata == nullptr) return false;
  std::memcpy(par->extradata, bytes.data(), bytes.size());
  par->extradata_size = int(bytes.size());
  return true;
}

mc::av::PacketPtr packetOf(const std::uint8_t* data, std::size_t length) {
  mc::av::PacketPtr packet(av_packet_alloc());
  if (!packet || av_new_packet(packet.get(), int(length)) < 0) return nullptr;
  std::memcpy(packet->data, data, length);
  return packet;
}

}  // namespace

Mp4Writer::Mp4Writer(Clock clock) : clock_(clock ? std::move(clock) : Clock(mc::tickCount)) {}

Mp4Writer::~Mp4Writer() { Close(); }

std::uint32_t Mp4Writer::now() const { return clock_(); }

bool Mp4Writer::Create(const std::string& path, int width, int height, int frameRate, std::string* error) {
  if (output_) Close();
  auto fail = [error](std::string reason) {
    if (error != nullptr) *error = std::move(reason);
    return false;
  };
  if (path.empty()) return fail("no file name");
  if (width <= 0 || height <= 0) {
    return fail("unusable picture size " + std::to_string(width) + "x" + std::to_string(height));
  }
  AVFormatContext* raw = nullptr;
  if (const int rc = avformat_alloc_output_context2(&raw, nullptr, "mp4", path.c_str()); rc < 0) {
    return fail("no mp4 muxer: " + mc::av::errorText(rc));
  }
  mc::av::OutputContextPtr output(raw);
  if (const int rc = avio_open(&output->pb, path.c_str(), AVIO_FLAG_WRITE); rc < 0) {
    return fail("MP4Encoder ERROR: Open file[" + path + "] fialed. " + mc::av::errorText(rc));
  }
  discard();
  output_ = std::move(output);
  videoSamples_ = audioSamples_ = 0;
  path_ = path;
  width_ = width;
  height_ = height;
  frameRate_ = frameRate > 0 ? frameRate : 25;
  startTick_ = now();
  return true;
}

bool Mp4Writer::addVideoStream() {
  AVStream* stream = avformat_new_stream(output_.get(), nullptr);
  if (stream == nullptr) return false;
  AVCodecParameters* par = stream->codecpar;
  par->codec_type = AVMEDIA_TYPE_VIDEO;
  par->codec_id = AV_CODEC_ID_H264;
  par->width = width_ & ~1;
  par->height = height_ & ~1;
  par->format = AV_PIX_FMT_YUV420P;
  // Annex B parameter sets: the muxer turns them into the avcC record.
  std::vector<std::uint8_t> config;
  config.insert(config.end(), std::begin(kStartCode), std::end(kStartCode));
  config.insert(config.end(), sps_.begin(), sps_.end());
  config.insert(config.end(), std::begin(kStartCode), std::end(kStartCode));
  config.insert(config.end(), pps_.begin(), pps_.end());
  if (!setExtradata(par, config)) return false;
  stream->time_base = AVRational{1, kVideoTimeScale};
  videoStream_ = stream;
  return true;
}

bool Mp4Writer::addAudioStream(const std::vector<std::uint8_t>& config, int sampleRate, int channels) {
  AVStream* stream = avformat_new_stream(output_.get(), nullptr);
  if (stream == nullptr) return false;
  AVCodecParameters* par = stream->codecpar;
  par->codec_type = AVMEDIA_TYPE_AUDIO;
  par->codec_id = AV_CODEC_ID_AAC;
  par->profile = FF_PROFILE_AAC_LOW;
  par->sample_rate = sampleRate;
  av_channel_layout_default(&par->ch_layout, channels);
  par->frame_size = 1024;
  if (!setExtradata(par, config)) return false;
  stream->time_base = AVRational{1, sampleRate};
  audioStream_ = stream;
  audioRate_ = sampleRate;
  return true;
}

int Mp4Writer::WriteVideo(const std::uint8_t* data, std::size_t length, bool first) {
  if (!output_ || data == nullptr) return -1;
  if (failed_) return 0;
  std::vector<std::uint8_t> sample;
  bool idr = false;
  bool hasSlice = false;
  std::size_t pos = 0;
  mc::h264::NalUnit unit;
  bool firstUnit = true;
  while (mc::h264::nextNalUnit(data, length, pos, unit)) {
    if (first && firstUnit && unit.type() != mc::h264::kNalSps) {
      LOG_WARNING("sps not found! (%s)", path_.c_str());
    }
    firstUnit = false;
    // The unit type decides, whatever the reference priority bits say.
    switch (unit.type()) {
      case mc::h264::kNalSps:
        if (sps_.empty()) sps_.assign(unit.data, unit.data + unit.length);
        break;
      case mc::h264::kNalPps:
        if (pps_.empty()) pps_.assign(unit.data, unit.data + unit.length);
        break;
      case mc::h264::kNalIdrSlice:
        idr = true;
        [[fallthrough]];
      case mc::h264::kNalSlice:
      case mc::h264::kNalPartitionA:
      case mc::h264::kNalPartitionA + 1:
      case mc::h264::kNalPartitionC:
        hasSlice = true;
        [[fallthrough]];
      case mc::h264::kNalSei:
        appendUnit(sample, unit);
        break;
      default:  // delimiters, end of sequence, filler: no place in a sample
        break;
    }
  }
  const int consumed = int(pos);
  if (!hasSlice) return consumed;
  if (videoStream_ == nullptr) {
    // Nothing before an IDR picture with its parameter sets can be decoded.
    if (!idr || sps_.empty() || pps_.empty()) {
      if (!warnedNoIdr_) {
        LOG_WARNING("%s pictures dropped from %s until an IDR picture with its parameter sets",
                    idr ? "sps/pps not found!" : "no IDR picture yet:", path_.c_str());
      }
      warnedNoIdr_ = true;
      return 0;
    }
    if (!addVideoStream()) {
      LOG_ERROR("add video track failed. (%s)", path_.c_str());
      failed_ = true;
      return 0;
    }
    firstVideoTick_ = now();
  }
  std::int64_t pts = std::int64_t(std::uint32_t(now() - startTick_)) * (kVideoTimeScale / 1000);
  if (pts <= lastVideoPts_) pts = lastVideoPts_ + 1;
  // A sample lasts until the next one starts; the muxer takes the duration
  // from the next sample's time, and for the last sample from this estimate.
  const std::int64_t duration =
      lastVideoPts_ >= 0 ? pts - lastVideoPts_ : std::int64_t(kVideoTimeScale / frameRate_);
  lastVideoPts_ = pts;
  mc::av::PacketPtr packet = packetOf(sample.data(), sample.size());
  if (!packet) return 0;
  packet->pts = packet->dts = pts;
  packet->duration = duration;
  if (idr) packet->flags |= AV_PKT_FLAG_KEY;
  return submit(false, std::move(packet)) ? consumed : 0;
}

int Mp4Writer::WriteAudio(const std::uint8_t* data, std::size_t length, bool first,
                          std::int64_t samplesBehind) {
  (void)first;  // the track is set up by the first frame that reaches it
  if (!output_ || data == nullptr) return -1;
  if (failed_) return 0;
  struct Frame {
    std::size_t offset;
    mc::aac::AdtsHeader header;
  };
  std::vector<Frame> frames;
  std::int64_t totalSamples = 0;
  for (std::size_t pos = 0; pos < length;) {
    const auto header = mc::aac::parseAdts(data + pos, length - pos);
    if (!header) {
      LOG_WARNING("MP4: %zu bytes of audio without an ADTS header dropped", length - pos);
      break;
    }
    frames.push_back({pos, *header});
    totalSamples += std::int64_t(header->rawBlocks) * 1024;
    pos += header->frameLength;
  }
  if (frames.empty()) return 0;
  // Audio joins the file once its video has started.
  if (videoStream_ == nullptr) return 0;

  const mc::aac::AdtsHeader& format = frames.front().header;
  const int formatKey = (format.objectType << 8) | (format.frequencyIndex << 4) | format.channelConfig;
  if (audioStream_ == nullptr) {
    if (headerWritten_) {
      if (!audioRefused_) {
        LOG_WARNING("MP4: audio came after %s was started without it; not recorded", path_.c_str());
      }
      audioRefused_ = true;
      return 0;
    }
    if (!addAudioStream(format.audioSpecificConfig(), format.sampleRate(), format.channelConfig)) {
      LOG_ERROR("MP4: cannot add the audio track to %s", path_.c_str());
      failed_ = true;
      return 0;
    }
    audioConfigBytes_ = formatKey;
    // The last frame ends samplesBehind before now on the file's time line.
    const std::int64_t nowSamples = std::int64_t(std::uint32_t(now() - startTick_)) * audioRate_ / 1000;
    nextAudioPts_ = nowSamples - samplesBehind - totalSamples;
  }
  bool ok = true;
  for (const Frame& frame : frames) {
    const mc::aac::AdtsHeader& h = frame.header;
    const int key = (h.objectType << 8) | (h.frequencyIndex << 4) | h.channelConfig;
    if (key != audioConfigBytes_ || h.rawBlocks != 1) {
      LOG_WARNING("MP4: AAC frame of another format dropped from %s", path_.c_str());
      continue;
    }
    const std::int64_t pts = nextAudioPts_;
    nextAudioPts_ += 1024;
    // Audio from before the file began is left out, except the one frame
    // just before its start: the decoder needs it to begin cleanly, and the
    // file's edit list hides it.
    if (pts < -1024) continue;
    mc::av::PacketPtr packet =
        packetOf(data + frame.offset + h.headerLength, h.frameLength - h.headerLength);
    if (!packet) return 0;
    packet->pts = packet->dts = pts;
    packet->duration = 1024;
    packet->flags |= AV_PKT_FLAG_KEY;
    ok = submit(true, std::move(packet)) && ok;
  }
  return ok ? 1 : 0;
}

bool Mp4Writer::submit(bool audio, mc::av::PacketPtr packet) {
  if (headerWritten_) return writePacket(audio, packet.get());
  heldBytes_ += std::size_t(packet->size);
  held_.push_back({audio, std::move(packet)});
  const bool audioWaitOver = std::uint32_t(now() - firstVideoTick_) >= kAudioWaitMs;
  if (audioStream_ != nullptr || audioWaitOver || heldBytes_ > kMaxHeldBytes) return startFile();
  return true;
}

bool Mp4Writer::startFile() {
  if (const int rc = avformat_write_header(output_.get(), nullptr); rc < 0) {
    LOG_ERROR("MP4: cannot write the header of %s: %s", path_.c_str(), mc::av::errorText(rc).c_str());
    failed_ = true;
    held_.clear();
    return false;
  }
  headerWritten_ = true;
  bool ok = true;
  for (HeldPacket& held : held_) {
    if (!writePacket(held.audio, held.packet.get())) {
      ok = false;
      break;
    }
  }
  held_.clear();
  heldBytes_ = 0;
  return ok;
}

bool Mp4Writer::writePacket(bool audio, AVPacket* packet) {
  if (failed_) return false;
  AVStream* stream = audio ? audioStream_ : videoStream_;
  const AVRational clock = audio ? AVRational{1, audioRate_} : AVRational{1, kVideoTimeScale};
  av_packet_rescale_ts(packet, clock, stream->time_base);
  packet->stream_index = stream->index;
  if (const int rc = av_write_frame(output_.get(), packet); rc < 0) {
    LOG_ERROR("MP4WriteSample() failed! %s: %s", path_.c_str(), mc::av::errorText(rc).c_str());
    failed_ = true;
    return false;
  }
  ++(audio ? audioSamples_ : videoSamples_);
  return true;
}

bool Mp4Writer::Close() {
  if (!output_) return false;
  if (!headerWritten_ && !failed_ && videoStream_ != nullptr) startFile();
  bool ok = false;
  if (headerWritten_) {
    if (const int rc = av_write_trailer(output_.get()); rc < 0) {
      LOG_ERROR("MP4: cannot finish %s: %s", path_.c_str(), mc::av::errorText(rc).c_str());
    } else {
      ok = !failed_;
    }
  }
  const bool empty = videoSamples_ + audioSamples_ == 0;
  output_.reset();
  if (empty) {
    std::remove(path_.c_str());
    ok = false;
  }
  discard();
  return ok;
}

void Mp4Writer::discard() {
  output_.reset();
  held_.clear();
  heldBytes_ = 0;
  headerWritten_ = failed_ = audioRefused_ = warnedNoIdr_ = false;
  sps_.clear();
  pps_.clear();
  videoStream_ = audioStream_ = nullptr;
  lastVideoPts_ = nextAudioPts_ = -1;
  audioRate_ = audioConfigBytes_ = 0;
}
