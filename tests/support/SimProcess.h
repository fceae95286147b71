#pragma once
#include <sys/types.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/TempFolder.h"

namespace mc::test {

// platform-sim as a child process, for integration tests.
//
//   mc::test::SimProcess sim(R"({"users":[{"name":"u","password":"p"}], "nodes":[...]})");
//   client.connect(sim.dispatcher().host, std::to_string(sim.dispatcher().port));
//   sim.controlOk("camera-online cam1 0");   // change the world, read counters
//   sim.stop();                              // or let the destructor do it
//
// The constructor writes the JSON configuration (format: sim/README.md) to a
// temporary folder, starts the simulator, and waits for its listener lines;
// it throws std::runtime_error (with the simulator's error output) when the
// simulator does not come up. The executable is $MC_PLATFORM_SIM, or the one
// this build made. The process is stopped by its PID only: SIGTERM, then
// SIGKILL after a grace period.
class SimProcess {
 public:
  struct Endpoint {
    std::string host;
    int port = 0;
    std::string portText() const { return std::to_string(port); }
  };

  explicit SimProcess(const std::string& configJson,
                      std::chrono::milliseconds startLimit = std::chrono::seconds(20));
  ~SimProcess();
  SimProcess(const SimProcess&) = delete;
  SimProcess& operator=(const SimProcess&) = delete;

  const Endpoint& dispatcher() const { return dispatcher_; }
  const Endpoint& logic() const { return logic_; }
  const Endpoint& control() const { return control_; }
  // Relays in the order of the configuration's "relays".
  const Endpoint& relay(std::size_t index = 0) const { return relays_.at(index); }
  std::size_t relayCount() const { return relays_.size(); }
  pid_t pid() const { return pid_; }

  // One command on the control port; returns the answer line ("ok ...",
  // "error ..."). Throws std::runtime_error when the port does not answer.
  std::string command(const std::string& line);
  // The same, expecting "ok": returns the text after "ok " (the JSON of
  // stats, camera ...), and records a test failure otherwise.
  std::string controlOk(const std::string& line);

  // Stops the simulator (SIGTERM, SIGKILL after `grace`) and returns its exit
  // status as waitpid reports it, or -1 when it was stopped already.
  int stop(std::chrono::milliseconds grace = std::chrono::seconds(5));
  // Waits for the simulator to end by itself (after a signal the test sent);
  // its waitpid status, or -1 when it is still running after `limit`.
  int waitExit(std::chrono::milliseconds limit);
  bool running() const { return pid_ > 0; }

  // What the simulator wrote to its standard error so far.
  std::string errorOutput() const;
  const std::string& configPath() const { return configPath_; }

 private:
  void readListeners(int fd, std::chrono::milliseconds limit);
  void openControl();

  TempFolder folder_;
  std::string configPath_;
  std::string errorPath_;
  pid_t pid_ = -1;
  int stdoutFd_ = -1;
  int controlFd_ = -1;
  std::string controlPending_;
  Endpoint dispatcher_, logic_, control_;
  std::vector<Endpoint> relays_;
};

// The path of the platform-sim executable the tests use.
std::string platformSimPath();

}  // namespace mc::test
