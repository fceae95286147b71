#include "sim/MediaFrame.h"

#include <cstring>

namespace sim {
namespace {

void putWord(std::uint8_t* at, std::uint32_t v) {
  at[0] = static_cast<std::uint8_t>(v);
  at[1] = static_cast<std::uint8_t>(v >> 8);
  at[2] = static_cast<std::uint8_t>(v >> 16);
  at[3] = static_cast<std::uint8_t>(v >> 24);
}

std::uint32_t getWord(const std::uint8_t* at) {
  return static_cast<std::uint32_t>(at[0]) | static_cast<std::uint32_t>(at[1]) << 8 |
         static_cast<std::uint32_t>(at[2]) << 16 | static_cast<std::uint32_t>(at[3]) << 24;
}

SharedBytes frame(const std::uint32_t* words, int wordCount, const std::uint8_t* payload, std::size_t size) {
  const std::size_t body = 1 + 4 * wordCount + size;
  auto out = std::make_shared<Bytes>(4 + body);
  std::uint8_t* p = out->data();
  putWord(p, static_cast<std::uint32_t>(body));
  p[4] = 'V';
  for (int i = 0; i < wordCount; ++i) putWord(p + 5 + 4 * i, words[i]);
  if (size) std::memcpy(p + 5 + 4 * wordCount, payload, size);
  return out;
}

}  // namespace

std::uint32_t packRecordTime(int year, int month, int day, int hour, int minute) {
  return static_cast<std::uint32_t>((year - 2012) & 0x3F) | static_cast<std::uint32_t>(month & 0xF) << 6 |
         static_cast<std::uint32_t>(day & 0x1F) << 10 | static_cast<std::uint32_t>(hour & 0x1F) << 15 |
         static_cast<std::uint32_t>(minute & 0x3F) << 20;
}

SharedBytes videoFrame(const VideoHeader& h, const std::uint8_t* payload, std::size_t size) {
  const std::uint32_t words[6] = {
      h.tag << 16,
      h.timestamp,
      static_cast<std::uint32_t>(size) & 0x1FFFFFF,
      h.sequence,
      (h.key ? 1u : 0u) | (static_cast<std::uint32_t>(h.height) & 0xFFF) << 1 |
          (static_cast<std::uint32_t>(h.width) & 0xFFF) << 20,
      h.recordTime,
  };
  return frame(words, 6, payload, size);
}

SharedBytes audioFrame(std::uint32_t tag, std::uint32_t word1, std::uint32_t formatWord, const std::uint8_t* payload,
                       std::size_t size) {
  const std::uint32_t words[5] = {tag << 16, word1, static_cast<std::uint32_t>(size) & 0x1FFFFFF, formatWord, 0};
  return frame(words, 5, payload, size);
}

bool parseMediaBody(const std::uint8_t* body, std::size_t length, ReceivedMedia& out) {
  if (length < 21 || body[0] != 'V') return false;
  out.tag = getWord(body + 1) >> 16;
  const bool video = out.tag == kTagLiveVideo || out.tag == kTagPlaybackVideo;
  const bool audio = out.tag == kTagLiveAudio || out.tag == kTagPlaybackAudio;
  if (!video && !audio) return false;
  const int words = video ? 6 : 5;
  const std::size_t header = 1 + 4 * static_cast<std::size_t>(words);
  if (length < header) return false;
  for (int i = 0; i < words; ++i) out.words[i] = getWord(body + 1 + 4 * i);
  out.size = out.words[2] & 0x1FFFFFF;
  if (out.size == 0 || length - header != out.size) return false;
  out.payload = body + header;
  return true;
}

}  // namespace sim
