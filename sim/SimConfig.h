#pragma once
#include <stdexcept>
#include <string>
#include <vector>

#include "sim/Catalogue.h"

namespace sim {

// A JSON file that cannot be used; the text names the member at fault
// ("nodes[2].cameras[0].fps: must be between 1 and 60").
class ConfigError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Everything the simulator is started with. The format is documented in
// sim/README.md.
struct SimConfig {
  std::string host = "127.0.0.1";
  int dispatcherPort = 0;
  int logicPort = 0;
  int controlPort = 0;
  EhomeParams ehomeServer{"127.0.0.1", "7660", ""};
  int nvrChannels = 16;  // capacity given to a node registered as a recorder
  std::vector<RelayRecord> relays;
  std::vector<UserRecord> users;
  std::vector<NodeRecord> nodes;
  std::vector<CameraRecord> cameras;  // all cameras of all nodes
  CameraRecord cameraTemplate;        // picture, sound and capabilities of registered cameras

  // Parses and checks a configuration; throws ConfigError.
  static SimConfig parse(const std::string& jsonText);
  static SimConfig load(const std::string& path);
};

// Today's date as "YYYY-MM-DD", shifted by `dayOffset` days (local time).
std::string localDay(int dayOffset = 0);

}  // namespace sim
