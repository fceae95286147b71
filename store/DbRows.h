#pragma once
#include <cstdint>
#include <string>

// One record per table of the local store, fields in column order, so a
// "select *" fills them by column position.

struct UserRow {
  std::int32_t colId = 0;
  std::string userName;     // as typed at login; unique
  std::string userId;       // from the login reply
  std::string userPwd;      // the typed password, kept only when remembered
  std::string nodeVersion;  // catalogue version stamp last cached
  std::int32_t remember = 0;
  std::int32_t autoLogin = 0;
  std::string LoginTime;    // "YYYYMMDD-HH:MM:SS" local time; text order is time order
};

struct NodeRow {
  std::int32_t colId = 0;
  std::string nodeName;
  std::string nodeId;
  std::string CameraVersion;  // the node's camera-list version stamp
  std::string userId;         // owning account
  std::int32_t nodeType = 0;
  std::int32_t cameraCount = 0;
};

struct CameraRow {
  std::int32_t colId = 0;
  std::string cameraName;
  std::string cameraId;
  std::string transIp;    // relay server address
  std::string transPort;  // relay server port, decimal
  std::string nodeId;     // owning node
  double cameraLongitude = 0;
  double cameraLatitude = 0;
  std::string ExpiredTime;
  std::string SxtIndex;   // channel index on the node
  std::string RtmpPort;
};
