#pragma once
#include <boost/asio/io_service.hpp>
#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/ClientBufferPool.h"
#include "sim/ControlService.h"
#include "sim/LogicService.h"
#include "sim/SimConfig.h"
#include "sim/World.h"

namespace sim {

class ControlServer;
class LogicServer;
class MediaLibrary;
class RelayServer;

// Where one server listens.
struct ListenerInfo {
  std::string role;  // "dispatcher", "logic", "relay" or "control"
  std::string name;  // the relay's name; the role otherwise
  std::string host;
  int port = 0;
};

// The whole simulated platform in one object: dispatcher, logic server,
// relays and the control port on one io_service. `start` binds every
// listener; `run` (or `runInBackground`) serves until `stop`. Every server
// works on the io_service's one thread; `stop` may be called from any thread.
class Simulator : public SimulatorControl {
 public:
  explicit Simulator(const SimConfig& config, int encoderThreads = 2);
  ~Simulator() override;
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  // Throws boost::system::system_error when a port cannot be bound.
  void start();
  // In the order dispatcher, logic, relays, control.
  std::vector<ListenerInfo> listeners() const;
  const ListenerInfo& listener(const std::string& name) const;

  void run();
  void runInBackground();
  // Closes every server and ends `run`; joins the background thread.
  void stop();

  boost::asio::io_service& service() { return service_; }
  const std::shared_ptr<World>& worldPtr() const { return world_; }

  // SimulatorControl (called on the io thread by the control port)
  World& world() override { return *world_; }
  ServerStats* stats(const std::string& server) override;
  bool isRelay(const std::string& server) const override;
  std::vector<std::string> servers() const override;
  int dropLinks(const std::string& server) override;
  bool stopServer(const std::string& server, std::string& error) override;
  bool startServer(const std::string& server, std::string& error) override;
  int relayNotice(const std::string& cameraId, const std::string& status, const std::string& text) override;
  int sendMessage(const std::string& server, int msgType, const Params& params) override;
  std::string cameraState(const std::string& cameraId) override;
  std::string statsJson() override;

 private:
  std::shared_ptr<RelayServer> relay(const std::string& name) const;
  void closeAll();
  static void closeServers(const std::shared_ptr<LogicServer>& dispatcher, const std::shared_ptr<LogicServer>& logic,
                           const std::vector<std::shared_ptr<RelayServer>>& relays,
                           const std::shared_ptr<ControlServer>& control);

  SimConfig config_;
  boost::asio::io_service service_;
  std::unique_ptr<boost::asio::io_service::work> keepRunning_;
  std::shared_ptr<World> world_;
  std::shared_ptr<ClientBufferPool> buffers_;
  std::shared_ptr<MediaLibrary> library_;
  std::shared_ptr<LogicService> logic_;
  std::shared_ptr<LogicServer> dispatcher_;
  std::shared_ptr<LogicServer> logicServer_;
  std::vector<std::shared_ptr<RelayServer>> relays_;
  std::shared_ptr<ControlServer> control_;
  std::vector<ListenerInfo> listeners_;
  std::thread background_;
  std::atomic<bool> stopped_{false};
};

}  // namespace sim
