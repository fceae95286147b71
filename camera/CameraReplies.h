#pragma once
#include <cstdint>
#include <string>

#include "camera/CameraAbility.h"
#include "link/MessageEnvelope.h"

// Message types of the relay link and the pure parts of reading its replies.
namespace mc::relay {

enum MsgType : std::int32_t {
  kLogin = 1,
  kSearchRecord = 4,
  kPlayFaster = 5,
  kPlaySlower = 6,
  kSeek = 7,
  kPlayState = 8,
  kPtz = 9,
  kPresetList = 10,
  kCruiseList = 12,
  kCruiseStart = 13,
  kCruiseStop = 14,
  kRelayNotice = 15,
  kQuality = 16,
  kCameraSettings = 17,
  kSetTime = 18,
  kTalkRequest = 19,
  kTalkEnd = 20,
};

inline constexpr const char* kStatusOk = "1";

// The relay login's "PWD": the upper-case MD5 digest of the last five
// characters of the key, or of the whole key when it has five or fewer.
std::string loginDigest(const std::string& key);

// A quality level text: its decimal value when that lies in 1..5, else 0.
std::int32_t qualityLevel(const std::string& text);

// The capabilities in a camera-settings reply (msgType 17): each flag true
// when its param is "1", the level by qualityLevel.
CameraAbility abilityFromSettings(const MessageEnvelope& reply, const std::string& cameraId);

}  // namespace mc::relay
