#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "link/MessageEnvelope.h"

// Bodies a relay sends, built byte by byte for tests (independent of the
// client's own layout code).
namespace mc::test {

inline void putWord(std::vector<std::uint8_t>& out, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

inline std::uint32_t wordAt(const std::vector<std::uint8_t>& bytes, std::size_t offset) {
  return static_cast<std::uint32_t>(bytes[offset]) | static_cast<std::uint32_t>(bytes[offset + 1]) << 8 |
         static_cast<std::uint32_t>(bytes[offset + 2]) << 16 | static_cast<std::uint32_t>(bytes[offset + 3]) << 24;
}

struct VideoHeader {
  char tag = 'V';
  std::uint32_t timestamp = 0;
  std::uint32_t sequence = 1;
  bool key = true;
  std::uint32_t width = 352;
  std::uint32_t height = 288;
  std::uint32_t recordTime = 0;  // word 5
  std::uint32_t lowBits0 = 0;    // word 0 bits 0-15
  std::uint32_t highBits2 = 0;   // word 2 bits 25-31
};

// "V", six header words, the payload. `declaredLength` < 0 declares the real length.
inline std::vector<std::uint8_t> videoBody(const VideoHeader& h, const std::vector<std::uint8_t>& payload,
                                           long declaredLength = -1) {
  std::vector<std::uint8_t> body{'V'};
  const auto length = static_cast<std::uint32_t>(declaredLength < 0 ? static_cast<long>(payload.size()) : declaredLength);
  putWord(body, static_cast<std::uint32_t>(static_cast<unsigned char>(h.tag)) << 16 | (h.lowBits0 & 0xFFFF));
  putWord(body, h.timestamp);
  putWord(body, (length & 0x1FFFFFF) | h.highBits2 << 25);
  putWord(body, h.sequence);
  putWord(body, (h.width & 0xFFF) << 20 | (h.height & 0xFFF) << 1 | (h.key ? 1 : 0));
  putWord(body, h.recordTime);
  body.insert(body.end(), payload.begin(), payload.end());
  return body;
}

// "V", five audio header words, the payload.
inline std::vector<std::uint8_t> audioBody(char tag, std::uint32_t formatWord, const std::vector<std::uint8_t>& payload,
                                           long declaredLength = -1) {
  std::vector<std::uint8_t> body{'V'};
  const auto length = static_cast<std::uint32_t>(declaredLength < 0 ? static_cast<long>(payload.size()) : declaredLength);
  putWord(body, static_cast<std::uint32_t>(static_cast<unsigned char>(tag)) << 16);
  putWord(body, 0);
  putWord(body, length & 0x1FFFFFF);
  putWord(body, formatWord);
  putWord(body, 0);
  body.insert(body.end(), payload.begin(), payload.end());
  return body;
}

// `count` bytes counting up from `first`.
inline std::vector<std::uint8_t> patternBytes(std::size_t count, std::uint8_t first = 0) {
  std::vector<std::uint8_t> bytes(count);
  for (std::size_t i = 0; i < count; ++i) bytes[i] = static_cast<std::uint8_t>(first + i);
  return bytes;
}

// A reply to `request` carrying its TimeSep and the given params.
inline MessageEnvelope replyTo(const MessageEnvelope& request, std::map<std::string, std::string> params) {
  MessageEnvelope reply;
  reply.msgType = request.msgType;
  reply.TimeSep = request.TimeSep;
  reply.params = std::move(params);
  return reply;
}

inline MessageEnvelope relayMessage(std::int32_t msgType, std::map<std::string, std::string> params,
                                    std::int32_t timeSep = 0) {
  MessageEnvelope message;
  message.msgType = msgType;
  message.TimeSep = timeSep;
  message.params = std::move(params);
  return message;
}

}  // namespace mc::test
