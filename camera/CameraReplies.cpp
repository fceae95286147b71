#include "camera/CameraReplies.h"

#include "camera/DecimalText.h"
#include "common/Md5.h"

namespace mc::relay {

std::string loginDigest(const std::string& key) {
  constexpr std::size_t kDigestedTail = 5;
  const std::string_view tail =
      key.size() > kDigestedTail ? std::string_view(key).substr(key.size() - kDigestedTail) : std::string_view(key);
  return mc::md5Upper(tail);
}

std::int32_t qualityLevel(const std::string& text) {
  const std::int32_t level = decimalValue(text);
  return level >= 1 && level <= 5 ? level : 0;
}

CameraAbility abilityFromSettings(const MessageEnvelope& reply, const std::string& cameraId) {
  CameraAbility ability;
  ability.cameraId = cameraId;
  ability.EnableQP = reply.param("EnableQP") == "1";
  ability.PTZ = reply.param("PTZ") == "1";
  ability.Audio = reply.param("Audio") == "1";
  ability.Speak = reply.param("Speak") == "1";
  ability.SetTime = reply.param("SetTime") == "1";
  ability.ViedoQP = qualityLevel(reply.param("ViedoQP"));
  return ability;
}

}  // namespace mc::relay
