#pragma once
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// Media frames as relays send them: a 4-byte little-endian length, "V", the
// header words (6 for video, 5 for audio), the payload.
namespace sim {

using Bytes = std::vector<std::uint8_t>;
using SharedBytes = std::shared_ptr<const Bytes>;

inline constexpr std::uint32_t kTagLiveVideo = 0x56;      // "V"
inline constexpr std::uint32_t kTagPlaybackVideo = 0x52;  // "R"
inline constexpr std::uint32_t kTagLiveAudio = 0x41;      // "A"
inline constexpr std::uint32_t kTagPlaybackAudio = 0x50;  // "P"
inline constexpr std::size_t kMaxFrameBody = 512000;

struct VideoHeader {
  std::uint32_t tag = kTagLiveVideo;
  std::uint32_t timestamp = 0;
  std::uint32_t sequence = 0;
  bool key = false;
  int width = 0;
  int height = 0;
  std::uint32_t recordTime = 0;  // word 5, playback only
};

// Word 5 of a playback frame: year - 2012, month, day, hour, minute.
std::uint32_t packRecordTime(int year, int month, int day, int hour, int minute);

// A whole frame ready to write, length prefix included.
SharedBytes videoFrame(const VideoHeader& header, const std::uint8_t* payload, std::size_t size);
SharedBytes audioFrame(std::uint32_t tag, std::uint32_t word1, std::uint32_t formatWord, const std::uint8_t* payload,
                       std::size_t size);

// A received media body ("V", header, payload) taken apart; false when the
// tag is unknown or the lengths do not add up.
struct ReceivedMedia {
  std::uint32_t tag = 0;
  std::uint32_t words[6] = {};
  const std::uint8_t* payload = nullptr;
  std::size_t size = 0;
};
bool parseMediaBody(const std::uint8_t* body, std::size_t length, ReceivedMedia& out);

}  // namespace sim
