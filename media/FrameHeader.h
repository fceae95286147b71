#pragma once
#include <cstdint>

// Fields of the media frame header: little-endian 32-bit words copied
// unchanged from the wire into the frame records. Video frames carry 6 words,
// audio frames 5. These are pure functions, usable by senders (the relay
// simulator) as well as by the receiving pipeline.
namespace mc::media {

inline constexpr int kVideoHeaderWords = 6;
inline constexpr int kAudioHeaderWords = 5;

// Frame tags, bits 16-31 of word 0.
inline constexpr std::uint32_t kTagLiveVideo = 0x56;      // 'V'
inline constexpr std::uint32_t kTagPlaybackVideo = 0x52;  // 'R'
inline constexpr std::uint32_t kTagLiveAudio = 0x41;      // 'A'
inline constexpr std::uint32_t kTagPlaybackAudio = 0x50;  // 'P'

// Audio codecs, bits 28-31 of audio word 3.
inline constexpr std::int32_t kCodecAac = 0;    // AAC in ADTS frames
inline constexpr std::int32_t kCodecG711A = 3;  // G.711 A-law

inline constexpr std::uint32_t kPayloadLengthMask = 0x01FF'FFFF;  // 25 bits

constexpr std::uint32_t frameTag(std::uint32_t word0) { return word0 >> 16; }
constexpr std::uint32_t payloadLength(std::uint32_t word2) { return word2 & kPayloadLengthMask; }

// Video word 4: bit 0 key frame (IDR), bits 1-12 height, bits 20-31 width.
constexpr bool isKeyFrame(std::uint32_t word4) { return (word4 & 1u) != 0; }
constexpr std::uint32_t pictureHeight(std::uint32_t word4) { return (word4 >> 1) & 0xFFFu; }
constexpr std::uint32_t pictureWidth(std::uint32_t word4) { return word4 >> 20; }
constexpr std::uint32_t makePictureWord(std::uint32_t width, std::uint32_t height, bool key) {
  return ((width & 0xFFFu) << 20) | ((height & 0xFFFu) << 1) | (key ? 1u : 0u);
}

// Audio word 3: bits 0-15 sample rate (unsigned), 16-23 bits per sample
// (signed 8-bit), 24-27 channel count (signed 4-bit), 28-31 codec (signed 4-bit).
struct AudioFormat {
  std::uint32_t sampleRate = 0;
  std::int32_t bitsPerSample = 0;
  std::int32_t channels = 0;
  std::int32_t codec = 0;

  friend bool operator==(const AudioFormat&, const AudioFormat&) = default;
};

constexpr std::int32_t signExtend(std::uint32_t value, int bits) {
  const std::uint32_t sign = 1u << (bits - 1);
  value &= (1u << bits) - 1u;
  return static_cast<std::int32_t>(value ^ sign) - static_cast<std::int32_t>(sign);
}

constexpr AudioFormat audioFormat(std::uint32_t word3) {
  return AudioFormat{word3 & 0xFFFFu, signExtend(word3 >> 16, 8), signExtend(word3 >> 24, 4),
                     signExtend(word3 >> 28, 4)};
}

constexpr std::uint32_t makeAudioFormatWord(const AudioFormat& format) {
  return (format.sampleRate & 0xFFFFu) | ((static_cast<std::uint32_t>(format.bitsPerSample) & 0xFFu) << 16) |
         ((static_cast<std::uint32_t>(format.channels) & 0xFu) << 24) |
         ((static_cast<std::uint32_t>(format.codec) & 0xFu) << 28);
}

// Playback video word 5: the recording's date and time.
struct RecordTime {
  int year = 0;  // full year (bits 0-5 hold year - 2012)
  int month = 0;
  int day = 0;
  int hour = 0;
  int minute = 0;
};

constexpr RecordTime recordTime(std::uint32_t word5) {
  return RecordTime{static_cast<int>(word5 & 0x3Fu) + 2012, static_cast<int>((word5 >> 6) & 0xFu),
                    static_cast<int>((word5 >> 10) & 0x1Fu), static_cast<int>((word5 >> 15) & 0x1Fu),
                    static_cast<int>((word5 >> 20) & 0x3Fu)};
}

constexpr std::uint32_t makeRecordTimeWord(const RecordTime& t) {
  return (static_cast<std::uint32_t>(t.year - 2012) & 0x3Fu) | ((static_cast<std::uint32_t>(t.month) & 0xFu) << 6) |
         ((static_cast<std::uint32_t>(t.day) & 0x1Fu) << 10) | ((static_cast<std::uint32_t>(t.hour) & 0x1Fu) << 15) |
         ((static_cast<std::uint32_t>(t.minute) & 0x3Fu) << 20);
}

}  // namespace mc::media
