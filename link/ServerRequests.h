#pragma once
#include <cstdint>
#include <string>

// Arguments and answers of the logic-server requests. Every value is a text
// passed through as the server sends or expects it; lists are ";"-separated.

namespace server_msg {
inline constexpr std::int32_t kQueryLogicServer = 1;
inline constexpr std::int32_t kLogin = 2;
inline constexpr std::int32_t kNodeList = 3;
inline constexpr std::int32_t kOnlineState = 4;
inline constexpr std::int32_t kCameraList = 5;
inline constexpr std::int32_t kNodeActive = 14;
inline constexpr std::int32_t kCameraActive = 15;
inline constexpr std::int32_t kPlayback = 16;
inline constexpr std::int32_t kAddCamera = 20;
inline constexpr std::int32_t kCatalogueVersion = 22;
inline constexpr std::int32_t kDeleteNode = 27;
inline constexpr std::int32_t kDeleteCamera = 45;
inline constexpr std::int32_t kRenameNode = 46;
inline constexpr std::int32_t kUpdateCamera = 47;
inline constexpr std::int32_t kRegisterIpc = 63;
inline constexpr std::int32_t kRegisterNvr = 64;
inline constexpr std::int32_t kRegisterOther = 65;
inline constexpr std::int32_t kRegisterEhome = 98;
inline constexpr std::int32_t kEhomeParams = 99;
inline constexpr std::int32_t kNoHandler = -1;
}  // namespace server_msg

// login result codes
inline constexpr int kLoginSucceeded = 1;
inline constexpr int kLoginRefused = -1;    // answered with another status
inline constexpr int kLoginNoAnswer = 0;    // not sent or not answered in time

struct NodeListReply {
  std::string nodeNameList;
  std::string nodeIdList;
  std::string cameraCountList;
  std::string cameraVersionList;
  std::string nodeTypeList;
};

struct CameraListReply {
  std::string cameraIdList;
  std::string cameraNameList;
  std::string transpondIPList;
  std::string transpondPortList;
  std::string expiredList;
  std::string cameraLongitudeList;
  std::string cameraLatitudeList;
  std::string cameraIndexList;
  std::string transRtmpPortList;
};

struct PlaybackTicket {
  std::string status;      // the reply's status whenever one came
  std::string playBackId;  // on success
  std::string errorMsg;    // otherwise; "前端设备不支持" when no reply came
};

struct IpcDeviceRegistration {
  std::string mac;
  std::string nodeName;
  std::string cameraNameList;
  std::string cameraIndexList;
  std::string cameraLongitude;
  std::string cameraLatitude;
  std::string type;
};

struct NvrDeviceRegistration {
  std::string mac;
  std::string nodeName;
  std::string cameraLongitude;
  std::string cameraLatitude;
  std::string type;
};

struct OtherDeviceRegistration {
  std::string mac;
  std::string nodeName;
  std::string nodeType;
  std::string cameraNum;
  std::string longitude;
  std::string latitude;
};

struct CameraAddition {
  std::string nodeId;
  std::string nodeType;
  std::string cameraName;
  std::string cameraIndex;
  std::string cameraLongitude;
  std::string cameraLatitude;
};

struct CameraUpdate {
  std::string nodeId;
  std::string cameraId;
  std::string cameraName;
  std::string longitude;
  std::string latitude;
};

struct EhomeDeviceRegistration {
  std::string mac;
  std::string nodeName;
  std::string nodeType;
  std::string cameraList;
  std::string userId;
};

struct EhomeParams {
  std::string EhomeIp;
  std::string EhomePort;
  std::string EhomeID;
};
