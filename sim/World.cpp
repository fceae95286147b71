#include "sim/World.h"

#include <json/json.h>

#include <algorithm>
#include <chrono>
#include <set>

#include "common/Md5.h"

namespace sim {

// Changes collected under the lock and told to observers after it is released.
struct World::Notices {
  struct Active {
    bool node;
    std::string id;
    bool active;
    std::vector<std::string> users;
  };
  std::vector<Active> active;
  std::vector<std::string> gone;
  std::vector<std::shared_ptr<WorldObserver>> observers;
};

World::World(const SimConfig& config)
    : users_(config.users),
      nodes_(config.nodes),
      cameraTemplate_(config.cameraTemplate),
      ehomeServer_(config.ehomeServer),
      nvrChannels_(config.nvrChannels) {
  // Stamps made by this run never repeat those of an earlier run, so a client
  // that cached a catalogue never mistakes a new one for it: the start time
  // in nanoseconds, then a counter of fixed width.
  stampBase_ = static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::nanoseconds>(
                                              std::chrono::system_clock::now().time_since_epoch())
                                              .count());
  for (const NodeRecord& node : nodes_)
    for (const std::string& id : node.cameras)
      for (const CameraRecord& c : config.cameras)
        if (c.id == id) cameras_[id] = Camera{c, node.id};
  for (const RelayRecord& r : config.relays) relays_[r.name] = Relay{config.host, r.port, r.rtmpPort};
}

void World::addObserver(std::weak_ptr<WorldObserver> observer) {
  std::lock_guard<std::mutex> guard(lock_);
  observers_.push_back(std::move(observer));
}

void World::setRelayAddress(const std::string& relay, const std::string& host, int port) {
  std::lock_guard<std::mutex> guard(lock_);
  Relay& r = relays_[relay];
  r.host = host;
  r.port = port;
}

// ---------------------------------------------------------------- helpers

const UserRecord* World::findUserById(const std::string& userId) const {
  for (const UserRecord& u : users_)
    if (u.userId == userId) return &u;
  return nullptr;
}

UserRecord* World::findUserById(const std::string& userId) {
  for (UserRecord& u : users_)
    if (u.userId == userId) return &u;
  return nullptr;
}

bool World::userSeesNode(const UserRecord& user, const std::string& nodeId) const {
  return std::find(user.nodes.begin(), user.nodes.end(), nodeId) != user.nodes.end();
}

bool World::visibleNode(const std::string& userId, const std::string& nodeId, std::string& error) const {
  const UserRecord* user = findUserById(userId);
  if (!user) {
    error = "用户不存在";
    return false;
  }
  if (nodeId.empty()) {
    error = "缺少参数：nodeId";
    return false;
  }
  if (!userSeesNode(*user, nodeId)) {
    error = "节点不存在";
    return false;
  }
  return true;
}

bool World::effectiveOnline(const Camera& camera) const {
  if (!camera.record.online) return false;
  for (const NodeRecord& n : nodes_)
    if (n.id == camera.nodeId) return n.online;
  return false;
}

bool World::expired(const CameraRecord& camera) const {
  return !camera.expires.empty() && camera.expires < localDay(0);
}

std::vector<std::string> World::usersOfNode(const std::string& nodeId) const {
  std::vector<std::string> ids;
  for (const UserRecord& u : users_)
    if (userSeesNode(u, nodeId)) ids.push_back(u.userId);
  return ids;
}

std::string World::newStamp() { return std::to_string(stampBase_) + std::to_string(10000000 + ++counter_); }

std::string World::newId(const std::string& prefix) {
  while (true) {
    std::string id = prefix + std::to_string(100000 + ++counter_);
    bool used = cameras_.count(id) > 0;
    for (const NodeRecord& n : nodes_) used = used || n.id == id;
    if (!used) return id;
  }
}

void World::touchUser(UserRecord& user) { user.version = newStamp(); }

void World::touchNode(const std::string& nodeId, bool camerasChanged) {
  if (camerasChanged)
    for (NodeRecord& n : nodes_)
      if (n.id == nodeId) n.cameraVersion = newStamp();
  for (UserRecord& u : users_)
    if (userSeesNode(u, nodeId)) touchUser(u);
}

void World::deliver(const Notices& notices) {
  for (const auto& observer : notices.observers) {
    for (const auto& a : notices.active) {
      if (a.node) observer->onNodeActive(a.id, a.active, a.users);
      else observer->onCameraActive(a.id, a.active, a.users);
    }
    for (const auto& id : notices.gone) observer->onCameraGone(id);
  }
}

// ---------------------------------------------------------------- accounts

bool World::hasUser(const std::string& userName) const {
  std::lock_guard<std::mutex> guard(lock_);
  for (const UserRecord& u : users_)
    if (u.name == userName) return true;
  return false;
}

std::optional<UserRecord> World::login(const std::string& userName, const std::string& digest,
                                       const std::string& oemId, std::string& error) const {
  std::lock_guard<std::mutex> guard(lock_);
  for (const UserRecord& u : users_) {
    if (u.name != userName) continue;
    if (mc::md5Upper(u.password) != digest || (!u.oemId.empty() && u.oemId != oemId)) break;
    return u;
  }
  error = "用户名或密码错误";
  return std::nullopt;
}

// ---------------------------------------------------------------- reads

std::string World::catalogueVersion(const std::string& userId) const {
  std::lock_guard<std::mutex> guard(lock_);
  const UserRecord* user = findUserById(userId);
  return user ? user->version : std::string();
}

std::vector<NodeRow> World::nodeList(const std::string& userId) const {
  std::lock_guard<std::mutex> guard(lock_);
  std::vector<NodeRow> rows;
  const UserRecord* user = findUserById(userId);
  if (!user) return rows;
  for (const std::string& id : user->nodes)
    for (const NodeRecord& n : nodes_)
      if (n.id == id) {
        const int count = n.channels >= 0 ? n.channels : static_cast<int>(n.cameras.size());
        rows.push_back({n.id, n.name, std::to_string(n.type), std::to_string(count), n.cameraVersion});
      }
  return rows;
}

bool World::cameraList(const std::string& userId, const std::string& nodeId, std::vector<CameraRow>& rows,
                       std::string& error) const {
  std::lock_guard<std::mutex> guard(lock_);
  rows.clear();
  if (!visibleNode(userId, nodeId, error)) return false;
  for (const NodeRecord& n : nodes_) {
    if (n.id != nodeId) continue;
    for (const std::string& id : n.cameras) {
      const auto it = cameras_.find(id);
      if (it == cameras_.end()) continue;
      const CameraRecord& c = it->second.record;
      const auto relay = relays_.find(c.relay);
      CameraRow row{c.id, c.name, "", "", c.expires, c.longitude, c.latitude, c.index, ""};
      if (relay != relays_.end()) {
        row.transpondIp = relay->second.host;
        row.transpondPort = std::to_string(relay->second.port);
        row.rtmpPort = std::to_string(relay->second.rtmpPort);
      }
      rows.push_back(std::move(row));
    }
  }
  return true;
}

void World::onlineState(const std::string& userId, const std::vector<std::string>& nodeIds,
                        const std::vector<std::string>& cameraIds, std::vector<std::string>& onlineNodes,
                        std::vector<std::string>& onlineCameras) const {
  std::lock_guard<std::mutex> guard(lock_);
  onlineNodes.clear();
  onlineCameras.clear();
  const UserRecord* user = findUserById(userId);
  if (!user) return;
  for (const std::string& id : nodeIds) {
    if (!userSeesNode(*user, id)) continue;
    for (const NodeRecord& n : nodes_)
      if (n.id == id && n.online) onlineNodes.push_back(id);
  }
  for (const std::string& id : cameraIds) {
    const auto it = cameras_.find(id);
    if (it != cameras_.end() && userSeesNode(*user, it->second.nodeId) && effectiveOnline(it->second))
      onlineCameras.push_back(id);
  }
}

// ---------------------------------------------------------------- changes

bool World::registerDevice(const std::string& userId, const DeviceRegistration& device, std::string& nodeId,
                           std::optional<EhomeParams>& ehome, std::string& error) {
  std::lock_guard<std::mutex> guard(lock_);
  UserRecord* user = findUserById(userId);
  if (!user) {
    error = "用户不存在";
    return false;
  }
  if (device.mac.empty()) {
    error = "缺少参数：mac";
    return false;
  }
  if (device.nodeName.empty()) {
    error = "缺少参数：nodeName";
    return false;
  }
  for (const NodeRecord& n : nodes_)
    if (n.mac == device.mac) {
      error = "设备已注册";
      return false;
    }
  std::set<std::string> indexes;
  for (const auto& [name, index] : device.cameras)
    if (!indexes.insert(index).second) {
      error = "通道号重复：" + index;
      return false;
    }

  NodeRecord node;
  node.id = newId("node");
  node.name = device.nodeName;
  node.type = device.nodeType;
  node.mac = device.mac;
  node.channels = device.channels;
  node.cameraVersion = newStamp();
  if (device.ehome) {
    // The device's serial number serves as its platform-access id.
    node.ehome = EhomeParams{ehomeServer_.ip, ehomeServer_.port, device.mac.substr(0, 31)};
    ehome = node.ehome;
  }
  for (const auto& [name, index] : device.cameras) {
    Camera camera{cameraTemplate_, node.id};
    camera.record.id = newId("cam");
    camera.record.name = name;
    camera.record.index = index;
    camera.record.longitude = device.longitude;
    camera.record.latitude = device.latitude;
    camera.record.number = static_cast<int>(cameras_.size()) + 1;
    node.cameras.push_back(camera.record.id);
    cameras_[camera.record.id] = std::move(camera);
  }
  nodeId = node.id;
  nodes_.push_back(std::move(node));
  user->nodes.push_back(nodeId);
  touchUser(*user);
  return true;
}

bool World::addCamera(const std::string& userId, const std::string& nodeId, const std::string& name,
                      const std::string& index, const std::string& longitude, const std::string& latitude,
                      std::string& cameraId, std::string& error) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!visibleNode(userId, nodeId, error)) return false;
  if (name.empty()) {
    error = "缺少参数：cameraName";
    return false;
  }
  if (index.empty()) {
    error = "缺少参数：cameraIndex";
    return false;
  }
  NodeRecord* node = nullptr;
  for (NodeRecord& n : nodes_)
    if (n.id == nodeId) node = &n;
  for (const std::string& id : node->cameras)
    if (cameras_[id].record.index == index) {
      error = "通道已存在";
      return false;
    }
  if (node->channels >= 0 && static_cast<int>(node->cameras.size()) >= node->channels) {
    error = "通道已满";
    return false;
  }
  Camera camera{cameraTemplate_, nodeId};
  camera.record.id = newId("cam");
  camera.record.name = name;
  camera.record.index = index;
  camera.record.longitude = longitude;
  camera.record.latitude = latitude;
  camera.record.number = static_cast<int>(cameras_.size()) + 1;
  cameraId = camera.record.id;
  node->cameras.push_back(cameraId);
  cameras_[cameraId] = std::move(camera);
  touchNode(nodeId, true);
  return true;
}

bool World::renameNode(const std::string& userId, const std::string& nodeId, const std::string& name,
                       std::string& error) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!visibleNode(userId, nodeId, error)) return false;
  if (name.empty()) {
    error = "缺少参数：nodeName";
    return false;
  }
  for (NodeRecord& n : nodes_)
    if (n.id == nodeId) n.name = name;
  touchNode(nodeId, false);
  return true;
}

bool World::updateCamera(const std::string& userId, const std::string& nodeId, const std::string& cameraId,
                         const std::string& name, const std::string& longitude, const std::string& latitude,
                         std::string& error) {
  std::lock_guard<std::mutex> guard(lock_);
  if (!visibleNode(userId, nodeId, error)) return false;
  const auto it = cameras_.find(cameraId);
  if (it == cameras_.end() || it->second.nodeId != nodeId) {
    error = "摄像头不存在";
    return false;
  }
  if (name.empty()) {
    error = "缺少参数：cameraName";
    return false;
  }
  it->second.record.name = name;
  it->second.record.longitude = longitude;
  it->second.record.latitude = latitude;
  touchNode(nodeId, true);
  return true;
}

bool World::deleteCamera(const std::string& userId, const std::string& nodeId, const std::string& cameraId,
                         std::string& error) {
  Notices notices;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!visibleNode(userId, nodeId, error)) return false;
    const auto it = cameras_.find(cameraId);
    if (it == cameras_.end() || it->second.nodeId != nodeId) {
      error = "摄像头不存在";
      return false;
    }
    cameras_.erase(it);
    for (NodeRecord& n : nodes_)
      if (n.id == nodeId) n.cameras.erase(std::find(n.cameras.begin(), n.cameras.end(), cameraId));
    touchNode(nodeId, true);
    notices.gone.push_back(cameraId);
    for (auto& o : observers_)
      if (auto strong = o.lock()) notices.observers.push_back(strong);
  }
  deliver(notices);
  return true;
}

bool World::deleteNode(const std::string& userId, const std::string& nodeId, std::string& error) {
  Notices notices;
  {
    std::lock_guard<std::mutex> guard(lock_);
    if (!visibleNode(userId, nodeId, error)) return false;
    touchNode(nodeId, true);  // every user who saw it gets a new catalogue stamp
    const auto node = std::find_if(nodes_.begin(), nodes_.end(), [&](const NodeRecord& n) { return n.id == nodeId; });
    for (const std::string& id : node->cameras) {
      cameras_.erase(id);
      notices.gone.push_back(id);
    }
    nodes_.erase(node);
    for (UserRecord& u : users_) u.nodes.erase(std::remove(u.nodes.begin(), u.nodes.end(), nodeId), u.nodes.end());
    for (auto& o : observers_)
      if (auto strong = o.lock()) notices.observers.push_back(strong);
  }
  deliver(notices);
  return true;
}

bool World::ehomeParams(const std::string& userId, const std::string& nodeId, EhomeParams& params,
                        std::string& error) const {
  std::lock_guard<std::mutex> guard(lock_);
  if (!visibleNode(userId, nodeId, error)) return false;
  for (const NodeRecord& n : nodes_)
    if (n.id == nodeId) {
      if (!n.ehome) break;
      params = *n.ehome;
      return true;
    }
  error = "该节点不是EHome设备";
  return false;
}

// ---------------------------------------------------------------- states

bool World::setNodeOnline(const std::string& nodeId, bool online) {
  Notices notices;
  {
    std::lock_guard<std::mutex> guard(lock_);
    NodeRecord* node = nullptr;
    for (NodeRecord& n : nodes_)
      if (n.id == nodeId) node = &n;
    if (!node) return false;
    if (node->online == online) return true;
    std::vector<std::pair<std::string, bool>> before;
    for (const std::string& id : node->cameras) before.emplace_back(id, effectiveOnline(cameras_[id]));
    node->online = online;
    const std::vector<std::string> users = usersOfNode(nodeId);
    notices.active.push_back({true, nodeId, online, users});
    for (const auto& [id, was] : before) {
      const bool now = effectiveOnline(cameras_[id]);
      if (now == was) continue;
      notices.active.push_back({false, id, now, users});
      if (!now) notices.gone.push_back(id);
    }
    for (auto& o : observers_)
      if (auto strong = o.lock()) notices.observers.push_back(strong);
  }
  deliver(notices);
  return true;
}

bool World::setCameraOnline(const std::string& cameraId, bool online) {
  Notices notices;
  {
    std::lock_guard<std::mutex> guard(lock_);
    const auto it = cameras_.find(cameraId);
    if (it == cameras_.end()) return false;
    const bool was = effectiveOnline(it->second);
    it->second.record.online = online;
    const bool now = effectiveOnline(it->second);
    if (was == now) return true;
    notices.active.push_back({false, cameraId, now, usersOfNode(it->second.nodeId)});
    if (!now) notices.gone.push_back(cameraId);
    for (auto& o : observers_)
      if (auto strong = o.lock()) notices.observers.push_back(strong);
  }
  deliver(notices);
  return true;
}

// ---------------------------------------------------------------- playback

bool World::requestPlayback(const std::string& userId, const std::string& cameraId, std::string& playBackId,
                            std::string& error) {
  std::lock_guard<std::mutex> guard(lock_);
  const UserRecord* user = findUserById(userId);
  const auto it = cameras_.find(cameraId);
  if (!user || it == cameras_.end() || !userSeesNode(*user, it->second.nodeId)) {
    error = "摄像头不存在";
    return false;
  }
  const CameraRecord& c = it->second.record;
  if (expired(c)) {
    error = "服务已过期";
    return false;
  }
  if (!effectiveOnline(it->second)) {
    error = "设备不在线";
    return false;
  }
  if (c.recordings.empty()) {
    error = "前端设备不支持";
    return false;
  }
  playBackId = "PB" + newStamp();
  tickets_[playBackId] = Ticket{cameraId};
  return true;
}

RelayLogin World::resolveRelayLogin(const std::string& relay, const std::string& sxtId) const {
  std::lock_guard<std::mutex> guard(lock_);
  RelayLogin login;
  std::string cameraId = sxtId;
  const auto ticket = tickets_.find(sxtId);
  if (ticket != tickets_.end()) {
    login.playback = true;
    cameraId = ticket->second.cameraId;
  }
  login.cameraId = cameraId;
  const auto it = cameras_.find(cameraId);
  if (it == cameras_.end() || it->second.record.relay != relay) login.error = "设备不存在";
  else if (expired(it->second.record)) login.error = "服务已过期";
  else if (!effectiveOnline(it->second)) login.error = "设备不在线";
  return login;
}

// ---------------------------------------------------------------- camera facts

std::optional<CameraRecord> World::camera(const std::string& cameraId) const {
  std::lock_guard<std::mutex> guard(lock_);
  const auto it = cameras_.find(cameraId);
  if (it == cameras_.end()) return std::nullopt;
  return it->second.record;
}

bool World::cameraOnline(const std::string& cameraId) const {
  std::lock_guard<std::mutex> guard(lock_);
  const auto it = cameras_.find(cameraId);
  return it != cameras_.end() && effectiveOnline(it->second);
}

void World::setCameraQuality(const std::string& cameraId, int level) {
  std::lock_guard<std::mutex> guard(lock_);
  const auto it = cameras_.find(cameraId);
  if (it != cameras_.end()) it->second.record.quality = level;
}

std::string World::describe() const {
  std::lock_guard<std::mutex> guard(lock_);
  Json::Value root(Json::objectValue);
  Json::Value& users = root["users"] = Json::Value(Json::arrayValue);
  for (const UserRecord& u : users_) {
    Json::Value user;
    user["name"] = u.name;
    user["userId"] = u.userId;
    user["version"] = u.version;
    user["nodes"] = Json::Value(Json::arrayValue);
    for (const std::string& id : u.nodes) user["nodes"].append(id);
    users.append(user);
  }
  Json::Value& nodes = root["nodes"] = Json::Value(Json::arrayValue);
  for (const NodeRecord& n : nodes_) {
    Json::Value node;
    node["id"] = n.id;
    node["name"] = n.name;
    node["type"] = n.type;
    node["online"] = n.online;
    node["mac"] = n.mac;
    node["cameraVersion"] = n.cameraVersion;
    node["cameras"] = Json::Value(Json::arrayValue);
    for (const std::string& id : n.cameras) {
      const Camera& c = cameras_.at(id);
      Json::Value cam;
      cam["id"] = id;
      cam["name"] = c.record.name;
      cam["index"] = c.record.index;
      cam["online"] = effectiveOnline(c);
      cam["expired"] = expired(c.record);
      cam["relay"] = c.record.relay;
      cam["quality"] = c.record.quality;
      node["cameras"].append(cam);
    }
    nodes.append(node);
  }
  Json::StreamWriterBuilder writer;
  writer["indentation"] = "";
  writer["emitUTF8"] = true;
  return Json::writeString(writer, root);
}

}  // namespace sim
