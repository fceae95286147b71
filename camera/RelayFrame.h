#pragma once
#include <cstdint>
#include <string>

#include "link/AsioBuffer.h"
#include "link/Framing.h"
#include "media/StreamAudioData.h"

// Bodies of a relay link. The first byte tells the kind: "1" a command
// payload, "V" a media frame; anything else is dropped. A media frame is "V",
// the frame header (6 little-endian words for video, 5 for audio; the tag in
// bits 16-31 of word 0 tells which), then the payload whose length is word 2,
// bits 0-24.
namespace mc::relay {

inline constexpr std::uint8_t kCommandByte = '1';
inline constexpr std::uint8_t kMediaByte = 'V';
inline constexpr std::int32_t kVideoBodyHeader = 1 + 6 * 4;  // 25
inline constexpr std::int32_t kAudioBodyHeader = 1 + 5 * 4;  // 21
inline constexpr std::int32_t kTagOffset = 1;                // word 0 starts here
// The largest payloads a receiver accepts in one body.
inline constexpr std::int32_t kMaxVideoPayload = frame::kMaxBodySize - kVideoBodyHeader;  // 511 975
inline constexpr std::int32_t kMaxAudioPayload = frame::kMaxBodySize - kAudioBodyHeader;

// Word `index` of the header of a media body (little-endian at 1 + 4 * index).
// The caller makes sure the body is long enough.
inline std::uint32_t headerWord(const std::uint8_t* body, int index) {
  const std::uint8_t* p = body + 1 + 4 * index;
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

inline void writeWord(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
  at[2] = static_cast<std::uint8_t>(value >> 16);
  at[3] = static_cast<std::uint8_t>(value >> 24);
}

// The recording time carried in word 5 of a playback video frame, as the
// playback page shows it: "%04d-%02d-%02d %02d:%02d".
std::string formatPlayTime(std::uint32_t word5);

// The whole frame (length field included) of one talk-back audio message:
// length field = payload + 21, "V", the 5-word audio header (tag "A", word 1
// the talk index, word 2 the payload length, word 3 the format with the
// record's codec, word 4 zero), then `encodedLength` bytes from `encodedData`.
// False (frame left empty) when the record has no encoded bytes or they would
// not fit in one body.
bool buildTalkAudioFrame(const StreamAudioData& record, Asio_Buffer& frame);

}  // namespace mc::relay
