#pragma once
#include <boost/asio/io_service.hpp>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "link/ClientBufferPool.h"
#include "sim/FramedConnection.h"
#include "sim/LogicService.h"
#include "sim/ServerStats.h"
#include "sim/World.h"

namespace sim {

class LogicConnection;

// The dispatcher or the logic server: one listener, its links, and (logic
// server only) the on-line notices 14 and 15 pushed to the users' links.
// Runs on the io_service's thread; world changes may come from any thread.
class LogicServer : public WorldObserver, public std::enable_shared_from_this<LogicServer> {
 public:
  enum class Role { Dispatcher, Logic };

  LogicServer(boost::asio::io_service& service, Role role, std::string host, int port,
              std::shared_ptr<LogicService> logic, std::shared_ptr<ClientBufferPool> buffers);
  ~LogicServer() override;

  // Listens (again) on the configured port, or on the one first bound when it was 0.
  void start();
  // Closes the listener and every link.
  void stop();
  int dropLinks();
  // A message of the server's own to every link; how many got it.
  int broadcast(std::int32_t msgType, const Params& params);

  int port() const;
  const std::string& host() const { return host_; }
  bool listening() const;
  const std::shared_ptr<ServerStats>& stats() const { return stats_; }

  void onNodeActive(const std::string& nodeId, bool active, const std::vector<std::string>& userIds) override;
  void onCameraActive(const std::string& cameraId, bool active, const std::vector<std::string>& userIds) override;
  void onCameraGone(const std::string&) override {}

 private:
  friend class LogicConnection;
  void accept(boost::asio::ip::tcp::socket socket);
  void forget(std::uint64_t id);
  void push(std::int32_t msgType, const char* idName, const std::string& id, bool active,
            const std::vector<std::string>& userIds);

  boost::asio::io_service& service_;
  const Role role_;
  std::string host_;
  std::shared_ptr<LogicService> logic_;
  std::shared_ptr<ClientBufferPool> buffers_;
  std::shared_ptr<ServerStats> stats_;
  const int configuredPort_;
  std::shared_ptr<TcpListener> listener_;  // made by the first start
  std::map<std::uint64_t, std::shared_ptr<LogicConnection>> links_;
  std::uint64_t nextId_ = 0;
};

}  // namespace sim
