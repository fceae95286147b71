#pragma once
#include <algorithm>
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "media/FrameHeader.h"

// Zeroed bytes kept behind every payload so a decoder may read a little past
// the end of the bitstream without leaving the record (libavcodec asks for
// 64). CBufferManage keeps them; the stream link writes only the payload.
inline constexpr std::size_t kPayloadPadding = 64;

// Payload storage of a frame record. It grows to what a frame needs and never
// shrinks, so a recycled record keeps its capacity.
inline void growPayload(std::vector<std::uint8_t>& payload, std::size_t length) {
  if (payload.size() < length + kPayloadPadding) payload.resize(length + kPayloadPadding);
  std::fill_n(payload.begin() + static_cast<std::ptrdiff_t>(length), kPayloadPadding, std::uint8_t{0});
}

// One queued video frame: the 6 header words as received, then the payload
// (one H.264 access unit in Annex B form). `payload.size()` is the record's
// capacity; the frame's length is header word 2.
struct StreamVideoFrame {
  std::array<std::uint32_t, mc::media::kVideoHeaderWords> header{};
  std::vector<std::uint8_t> payload;

  std::uint32_t tag() const { return mc::media::frameTag(header[0]); }
  std::uint32_t timestamp() const { return header[1]; }
  std::uint32_t payloadLength() const { return mc::media::payloadLength(header[2]); }
  std::uint32_t sequence() const { return header[3]; }
  bool isKeyFrame() const { return mc::media::isKeyFrame(header[4]); }
  std::uint32_t width() const { return mc::media::pictureWidth(header[4]); }
  std::uint32_t height() const { return mc::media::pictureHeight(header[4]); }
  mc::media::RecordTime recordTime() const { return mc::media::recordTime(header[5]); }
};

// One queued audio frame: the 5 header words, then the payload (an ADTS AAC
// frame or G.711 A-law bytes).
struct StreamAudioFrame {
  std::array<std::uint32_t, mc::media::kAudioHeaderWords> header{};
  std::vector<std::uint8_t> payload;

  std::uint32_t tag() const { return mc::media::frameTag(header[0]); }
  std::uint32_t payloadLength() const { return mc::media::payloadLength(header[2]); }
  mc::media::AudioFormat format() const { return mc::media::audioFormat(header[3]); }
};

// A frame record is owned by exactly one party at a time: the pool, the
// queue, the stream link filling it, or the dispatch thread handling it.
using VideoFramePtr = std::unique_ptr<StreamVideoFrame>;
using AudioFramePtr = std::unique_ptr<StreamAudioFrame>;
