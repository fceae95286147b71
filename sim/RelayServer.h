#pragma once
#include <boost/asio/io_service.hpp>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "link/ClientBufferPool.h"
#include "sim/CameraDevice.h"
#include "sim/FramedConnection.h"
#include "sim/LiveStream.h"
#include "sim/MediaLibrary.h"
#include "sim/ServerStats.h"
#include "sim/World.h"

namespace sim {

class RelayConnection;

// One relay (transpond) server: its listener, its links, one live stream per
// watched camera, and the device state of its cameras, which outlives stops
// and restarts. Runs on the io_service's thread; world changes may come from
// any thread.
class RelayServer : public WorldObserver, public std::enable_shared_from_this<RelayServer> {
 public:
  RelayServer(boost::asio::io_service& service, std::string name, std::string host, int port,
              std::shared_ptr<World> world, std::shared_ptr<MediaLibrary> library,
              std::shared_ptr<ClientBufferPool> buffers);
  ~RelayServer() override;

  void start();
  // Closes the listener and every link; the streams end with their viewers.
  void stop();
  int dropLinks();
  // A message of the relay's own to every link; how many got it.
  int broadcast(std::int32_t msgType, const Params& params);

  const std::string& name() const { return name_; }
  const std::string& host() const { return host_; }
  int port() const;
  bool listening() const;
  const std::shared_ptr<ServerStats>& stats() const { return stats_; }

  // Relay notice (kind 15) to every link of the camera; how many got it.
  int notice(const std::string& cameraId, const std::string& status, const std::string& text);
  // The camera's device state as JSON; empty when the camera is not this relay's.
  std::string cameraState(const std::string& cameraId);

  void onNodeActive(const std::string&, bool, const std::vector<std::string>&) override {}
  void onCameraActive(const std::string& cameraId, bool active, const std::vector<std::string>& userIds) override;
  void onCameraGone(const std::string& cameraId) override;

  // ---- for the relay links
  World& world() { return *world_; }
  boost::asio::io_service& service() { return service_; }
  const std::shared_ptr<MediaLibrary>& library() const { return library_; }
  CameraDevice& device(const std::string& cameraId) { return devices_[cameraId]; }
  // The camera's live stream, made for its first viewer.
  std::shared_ptr<LiveStream> liveStream(const CameraRecord& camera);
  std::shared_ptr<LiveStream> findLiveStream(const std::string& cameraId);
  // A viewer left; the stream ends with its last viewer.
  void leaveLiveStream(const std::string& cameraId, const MediaSink* viewer);
  int nextTalkIndex() { return ++talkCounter_; }
  void forget(std::uint64_t id);

 private:
  void accept(boost::asio::ip::tcp::socket socket);

  boost::asio::io_service& service_;
  std::string name_;
  std::string host_;
  const int configuredPort_;
  std::shared_ptr<World> world_;
  std::shared_ptr<MediaLibrary> library_;
  std::shared_ptr<ClientBufferPool> buffers_;
  std::shared_ptr<ServerStats> stats_;
  std::shared_ptr<TcpListener> listener_;
  std::map<std::uint64_t, std::shared_ptr<RelayConnection>> links_;
  std::map<std::string, std::shared_ptr<LiveStream>> streams_;
  std::map<std::string, CameraDevice> devices_;
  std::uint64_t nextId_ = 0;
  int talkCounter_ = 0;
};

}  // namespace sim
