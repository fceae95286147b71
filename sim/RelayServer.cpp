#include "sim/RelayServer.h"

#include <json/json.h>

#include "sim/RelayConnection.h"

namespace sim {

RelayServer::RelayServer(boost::asio::io_service& service, std::string name, std::string host, int port,
                         std::shared_ptr<World> world, std::shared_ptr<MediaLibrary> library,
                         std::shared_ptr<ClientBufferPool> buffers)
    : service_(service),
      name_(std::move(name)),
      host_(std::move(host)),
      configuredPort_(port),
      world_(std::move(world)),
      library_(std::move(library)),
      buffers_(std::move(buffers)),
      stats_(std::make_shared<ServerStats>()) {}

RelayServer::~RelayServer() = default;

void RelayServer::start() {
  if (!listener_) {
    std::weak_ptr<RelayServer> weak = weak_from_this();
    listener_ = std::make_shared<TcpListener>(service_, host_, configuredPort_, [weak](boost::asio::ip::tcp::socket s) {
      if (auto self = weak.lock()) self->accept(std::move(s));
    });
  }
  listener_->listen();
  world_->setRelayAddress(name_, host_, listener_->port());
}

void RelayServer::stop() {
  if (listener_) listener_->stop();
  dropLinks();
  for (auto& [id, stream] : streams_) stream->stop();
  streams_.clear();
}

int RelayServer::dropLinks() {
  auto links = links_;
  for (auto& [id, link] : links) link->close();
  return static_cast<int>(links.size());
}

int RelayServer::broadcast(std::int32_t msgType, const Params& params) {
  for (auto& [id, link] : links_) link->notify(msgType, params);
  return static_cast<int>(links_.size());
}

int RelayServer::port() const { return listener_ ? listener_->port() : configuredPort_; }
bool RelayServer::listening() const { return listener_ && listener_->listening(); }

void RelayServer::accept(boost::asio::ip::tcp::socket socket) {
  const std::uint64_t id = ++nextId_;
  auto link = std::make_shared<RelayConnection>(std::move(socket), buffers_, stats_, weak_from_this(), id);
  links_[id] = link;
  stats_->connected();
  link->begin();
}

void RelayServer::forget(std::uint64_t id) { links_.erase(id); }

std::shared_ptr<LiveStream> RelayServer::liveStream(const CameraRecord& camera) {
  auto& stream = streams_[camera.id];
  if (!stream) stream = std::make_shared<LiveStream>(service_, library_, camera, devices_[camera.id].ptz);
  return stream;
}

std::shared_ptr<LiveStream> RelayServer::findLiveStream(const std::string& cameraId) {
  const auto it = streams_.find(cameraId);
  return it == streams_.end() ? nullptr : it->second;
}

void RelayServer::leaveLiveStream(const std::string& cameraId, const MediaSink* viewer) {
  const auto it = streams_.find(cameraId);
  if (it == streams_.end()) return;
  it->second->remove(viewer);
  if (it->second->viewers() == 0) {
    it->second->stop();
    streams_.erase(it);
  }
}

int RelayServer::notice(const std::string& cameraId, const std::string& status, const std::string& text) {
  int sent = 0;
  for (auto& [id, link] : links_)
    if (link->cameraId() == cameraId && (link->live() || link->playback())) {
      link->notify(15, {{"status", status}, {"errorMsg", text}});
      ++sent;
    }
  return sent;
}

void RelayServer::onCameraGone(const std::string& cameraId) {
  std::weak_ptr<RelayServer> weak = weak_from_this();
  service_.post([weak, cameraId] {
    auto self = weak.lock();
    if (!self) return;
    const bool deleted = !self->world_->camera(cameraId);
    auto links = self->links_;
    for (auto& [id, link] : links)
      if (link->cameraId() == cameraId) link->cameraGone(deleted ? "设备已删除" : "设备已离线");
  });
}

void RelayServer::onCameraActive(const std::string& cameraId, bool active, const std::vector<std::string>&) {
  if (!active) return;  // going off line arrives as onCameraGone
  std::weak_ptr<RelayServer> weak = weak_from_this();
  service_.post([weak, cameraId] {
    auto self = weak.lock();
    if (!self) return;
    auto links = self->links_;
    for (auto& [id, link] : links)
      if (link->cameraId() == cameraId && link->waiting()) link->cameraBack();
  });
}

std::string RelayServer::cameraState(const std::string& cameraId) {
  const auto camera = world_->camera(cameraId);
  if (!camera || camera->relay != name_) return {};
  const CameraDevice& d = devices_[cameraId];
  Json::Value out(Json::objectValue);
  out["id"] = cameraId;
  out["relay"] = name_;
  out["online"] = world_->cameraOnline(cameraId);
  out["quality"] = camera->quality;
  Json::Value& ptz = out["ptz"];
  ptz["pan"] = d.ptz.pan;
  ptz["tilt"] = d.ptz.tilt;
  ptz["zoom"] = d.ptz.zoom;
  ptz["focus"] = d.ptz.focus;
  ptz["iris"] = d.ptz.iris;
  out["clock"] = d.clock;
  out["cruise"] = d.cruise;
  out["ptzCommands"] = d.ptzCommands;
  out["refusedCommands"] = d.refusedCommands;
  Json::Value& talk = out["talk"];
  talk["held"] = d.talkHolder != 0;
  talk["index"] = d.talkIndex;
  talk["frames"] = static_cast<Json::UInt64>(d.talkFrames);
  talk["bytes"] = static_cast<Json::UInt64>(d.talkBytes);
  talk["format"] = d.talkFormat;
  talk["rejected"] = static_cast<Json::UInt64>(d.talkRejected);
  int viewers = 0;
  Json::UInt64 dropped = 0;
  Json::Value playbacks(Json::arrayValue);
  for (auto& [id, link] : links_) {
    if (link->cameraId() != cameraId) continue;
    if (link->live()) {
      ++viewers;
      dropped += link->framesDropped();
    }
    if (link->playback() && link->playbackStream()) {
      const auto& p = link->playbackStream();
      Json::Value item;
      item["position"] = p->position();
      item["speed"] = p->speed();
      item["paused"] = p->paused();
      item["ended"] = p->ended();
      playbacks.append(item);
    }
  }
  out["viewers"] = viewers;
  out["framesDropped"] = dropped;
  const auto stream = findLiveStream(cameraId);
  out["picturesSent"] = static_cast<Json::UInt64>(stream ? stream->picturesSent() : 0);
  out["playbacks"] = playbacks;
  Json::StreamWriterBuilder writer;
  writer["indentation"] = "";
  writer["emitUTF8"] = true;
  return Json::writeString(writer, out);
}

}  // namespace sim
