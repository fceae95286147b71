#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// Plain records of the simulated platform: what the JSON file describes and
// what the world model keeps. No behaviour here.
namespace sim {

// One recorded stretch of a day, in minutes of the day (0 to 1440).
struct Segment {
  int start = 0;
  int end = 0;
  int type = 0;  // 0 scheduled recording, 1 alarm recording
};

struct RecordingDay {
  std::string day;  // "YYYY-MM-DD"
  std::vector<Segment> segments;
};

enum class AudioCodec { None, Aac, G711a };

struct AudioSpec {
  AudioCodec codec = AudioCodec::None;
  int sampleRate = 8000;
  int channels = 1;
  int toneHz = 1000;
  int bitrateKbps = 32;  // AAC only
};

struct VideoSpec {
  int width = 352;
  int height = 288;
  int fps = 25;
  int bitrateKbps = 256;  // at quality level 3
};

struct Capabilities {
  bool qp = true;
  bool ptz = false;
  bool audio = false;
  bool speak = false;
  bool setTime = true;
};

struct NamedItem {
  std::string id;
  std::string name;
};

struct CameraRecord {
  std::string id;
  std::string name;
  int number = 0;              // drawn into the test picture
  std::string index;           // channel number on its device
  std::string relay;           // relay name
  bool online = true;          // the camera's own state (its node must be on line too)
  std::string expires;         // "YYYY-MM-DD", empty: never
  std::string longitude;
  std::string latitude;
  VideoSpec video;
  AudioSpec audio;
  Capabilities caps;
  int quality = 3;             // 1 to 5
  std::vector<NamedItem> presets;
  std::vector<NamedItem> cruises;
  std::vector<RecordingDay> recordings;
};

struct EhomeParams {
  std::string ip;
  std::string port;
  std::string id;
};

struct NodeRecord {
  std::string id;
  std::string name;
  int type = 1;
  bool online = true;
  std::string mac;
  std::string cameraVersion;
  int channels = -1;  // channel capacity; -1 means "as many as cameras"
  std::optional<EhomeParams> ehome;
  std::vector<std::string> cameras;  // camera ids in the server's order
};

struct UserRecord {
  std::string name;
  std::string password;
  std::string userId;
  std::string oemId;  // empty: any
  std::string permission = "1";
  std::string permissionName;
  std::string viewNewVersion;
  std::string viewUpdateUrl;
  std::string uploadUrl;
  std::string showMsg;
  std::string longitude;
  std::string latitude;
  std::string version;               // catalogue version stamp
  std::vector<std::string> nodes;    // node ids in the server's order
};

struct RelayRecord {
  std::string name;
  int port = 0;
  int rtmpPort = 1935;
};

}  // namespace sim
