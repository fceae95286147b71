#pragma once
#include <string>
#include <vector>

#include "sim/ServerStats.h"
#include "sim/World.h"

namespace sim {

// What the control port may do to the running simulator. Servers are named
// "dispatcher", "logic" or by their relay name.
class SimulatorControl {
 public:
  virtual ~SimulatorControl() = default;
  virtual World& world() = 0;
  virtual ServerStats* stats(const std::string& server) = 0;  // null for an unknown name
  virtual bool isRelay(const std::string& server) const = 0;
  virtual std::vector<std::string> servers() const = 0;
  // Closes every link of the server; its listener stays open.
  virtual int dropLinks(const std::string& server) = 0;
  // Closes the listener and every link / listens again on the same port.
  virtual bool stopServer(const std::string& server, std::string& error) = 0;
  virtual bool startServer(const std::string& server, std::string& error) = 0;
  // Relay notice (kind 15) to every relay link of the camera; returns how many got it.
  virtual int relayNotice(const std::string& cameraId, const std::string& status, const std::string& text) = 0;
  // A message of the server's own to every link of the server; how many got it.
  virtual int sendMessage(const std::string& server, int msgType, const Params& params) = 0;
  // The camera's device state as JSON, empty for an unknown camera.
  virtual std::string cameraState(const std::string& cameraId) = 0;
  // Every server's counters as one JSON object.
  virtual std::string statsJson() = 0;
};

// The line protocol of the control port (sim/README.md): one command per
// line, one answer line each, "ok", "ok <json>" or "error <text>".
class ControlService {
 public:
  explicit ControlService(SimulatorControl& target) : target_(target) {}

  std::string execute(const std::string& line);

 private:
  SimulatorControl& target_;
};

}  // namespace sim
