#pragma once
#include <boost/asio/io_service.hpp>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "sim/ControlService.h"
#include "sim/FramedConnection.h"

namespace sim {

class ControlConnection;

// The control port: line-based text on loopback, one answer line per
// command (ControlService). Runs on the io_service's thread.
class ControlServer : public std::enable_shared_from_this<ControlServer> {
 public:
  static constexpr std::size_t kMaxLine = 8192;

  ControlServer(boost::asio::io_service& service, std::string host, int port, SimulatorControl& target);
  void start();
  void stop();
  int port() const;
  const std::string& host() const { return host_; }

 private:
  friend class ControlConnection;
  void forget(std::uint64_t id);

  boost::asio::io_service& service_;
  std::string host_;
  const int configuredPort_;
  ControlService commands_;
  std::shared_ptr<TcpListener> listener_;
  std::map<std::uint64_t, std::shared_ptr<ControlConnection>> links_;
  std::uint64_t nextId_ = 0;
};

}  // namespace sim
