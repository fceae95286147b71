#include "sim/LogicService.h"

#include <ctime>
#include <initializer_list>

#include "common/Split.h"

namespace sim {
namespace {

std::string get(const Params& p, const char* name) {
  const auto it = p.find(name);
  return it == p.end() ? std::string() : it->second;
}

Params refuse(const std::string& text) { return {{"status", "0"}, {"errorMsg", text}}; }
Params success() { return {{"status", "1"}, {"errorMsg", ""}}; }

// The first of `names` that is missing or empty, or null.
const char* missing(const Params& p, std::initializer_list<const char*> names) {
  for (const char* name : names)
    if (get(p, name).empty()) return name;
  return nullptr;
}

Params missingField(const char* name) { return refuse(std::string("缺少参数：") + name); }

// The first of `names` whose text holds ";", which would break the
// ";"-separated lists the catalogue is answered in; or null.
const char* breaksLists(const Params& p, std::initializer_list<const char*> names) {
  for (const char* name : names) {
    const auto it = p.find(name);
    if (it != p.end() && it->second.find(';') != std::string::npos) return name;
  }
  return nullptr;
}

Params listBreaker(const char* name) { return refuse(std::string("参数不能包含分号：") + name); }

bool parseNumber(const std::string& text, int low, int high, int& value) {
  if (text.empty() || text.size() > 9) return false;
  int n = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + (c - '0');
  }
  if (n < low || n > high) return false;
  value = n;
  return true;
}

bool parseNodeType(const std::string& text, int fallback, int& type) {
  if (text.empty()) {
    type = fallback;
    return true;
  }
  return parseNumber(text, 1, 99, type) && type != 13;
}

std::string join(const std::vector<std::string>& items) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i) out += ';';
    out += items[i];
  }
  return out;
}

// Every id followed by ";" (the on-line state answer, as the client writes its ids).
std::string joinTerminated(const std::vector<std::string>& items) {
  std::string out;
  for (const auto& item : items) out += item + ';';
  return out;
}

std::string localTime() {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[32];
  std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
  return text;
}

// The user a request names must be the one logged in on the link.
const Params* wrongUser(const LogicSession& session, const Params& request, const char* field, Params& reply) {
  const std::string named = get(request, field);
  if (named.empty()) reply = missingField(field);
  else if (named != session.userId) reply = refuse("无权访问该用户的数据");
  else return nullptr;
  return &reply;
}

Params withEhome(Params reply, const EhomeParams& e) {
  reply["EhomeIp"] = e.ip;
  reply["EhomePort"] = e.port;
  reply["EhomeID"] = e.id;
  return reply;
}

}  // namespace

LogicService::LogicService(std::shared_ptr<World> world, std::function<LogicAddress()> logicAddress)
    : world_(std::move(world)), logicAddress_(std::move(logicAddress)) {}

Params LogicService::handleDispatcher(int msgType, const Params& request) {
  if (msgType == 1) return queryLogicServer(request);
  return refuse("请连接逻辑服务器");
}

Params LogicService::handle(LogicSession& session, int msgType, const Params& request) {
  if (msgType == 1) return queryLogicServer(request);
  if (msgType == 2) return login(session, request);
  if (!session.loggedIn()) {
    Params reply = refuse("请先登录");
    if (msgType == 16) {
      reply["msgType"] = get(request, "msgType");
      reply["cameraId"] = get(request, "cameraId");
      reply["msgId"] = get(request, "msgId");
    }
    return reply;
  }
  switch (msgType) {
    case 3: return nodeList(session, request);
    case 4: return onlineState(session, request);
    case 5: return cameraList(session, request);
    case 22: return catalogueVersion(session, request);
    case 16: return playback(session, request);
    case 63: return registerIpc(session, request);
    case 64: return registerNvr(session, request);
    case 65: return registerOther(session, request);
    case 98: return registerEhome(session, request);
    case 20: return addCamera(session, request);
    case 46: return renameNode(session, request);
    case 47: return updateCamera(session, request);
    case 45: return deleteCamera(session, request);
    case 27: return deleteNode(session, request);
    case 99: return ehomeParams(session, request);
    default: return refuse("不支持的消息类型：" + std::to_string(msgType));
  }
}

Params LogicService::queryLogicServer(const Params& request) {
  const std::string user = get(request, "userName");
  if (user.empty()) return missingField("userName");
  if (!world_->hasUser(user)) return refuse("用户不存在");
  const LogicAddress address = logicAddress_();
  Params reply = success();
  reply["LogicServerIp"] = address.host;
  reply["LogicServerPort"] = std::to_string(address.port);
  return reply;
}

Params LogicService::login(LogicSession& session, const Params& request) {
  if (const char* field = missing(request, {"userName", "password"})) return missingField(field);
  std::string error;
  const auto user = world_->login(get(request, "userName"), get(request, "password"), get(request, "oemId"), error);
  if (!user) return refuse(error);
  session.userId = user->userId;
  session.userName = user->name;
  Params reply = success();
  reply["userId"] = user->userId;
  reply["viewUpdateUrl"] = user->viewUpdateUrl;
  reply["uploadUrl"] = user->uploadUrl;
  reply["nodeVersion"] = world_->catalogueVersion(user->userId);
  reply["ShowMsg"] = user->showMsg;
  reply["permission"] = user->permission;
  reply["permissionName"] = user->permissionName;
  reply["viewNewVersion"] = user->viewNewVersion;
  reply["sysTime"] = localTime();
  reply["longitude"] = user->longitude;
  reply["latitude"] = user->latitude;
  return reply;
}

Params LogicService::nodeList(const LogicSession& session, const Params& request) {
  Params refusal;
  if (wrongUser(session, request, "userId", refusal)) return refusal;
  std::vector<std::string> names, ids, counts, versions, types;
  for (const NodeRow& row : world_->nodeList(session.userId)) {
    names.push_back(row.name);
    ids.push_back(row.id);
    counts.push_back(row.cameraCount);
    versions.push_back(row.cameraVersion);
    types.push_back(row.type);
  }
  Params reply = success();
  reply["nodeNameList"] = join(names);
  reply["nodeIdList"] = join(ids);
  reply["cameraCountList"] = join(counts);
  reply["cameraVersionList"] = join(versions);
  reply["nodeTypeList"] = join(types);
  return reply;
}

Params LogicService::onlineState(const LogicSession& session, const Params& request) {
  std::vector<std::string> nodes, cameras;
  world_->onlineState(session.userId, mc::splitText(get(request, "nodeIdList"), ';', true),
                      mc::splitText(get(request, "cameraIdList"), ';', true), nodes, cameras);
  Params reply = success();
  reply["nodeIdList"] = joinTerminated(nodes);
  reply["cameraIdList"] = joinTerminated(cameras);
  return reply;
}

Params LogicService::cameraList(const LogicSession& session, const Params& request) {
  std::vector<CameraRow> rows;
  std::string error;
  if (!world_->cameraList(session.userId, get(request, "nodeId"), rows, error)) return refuse(error);
  std::vector<std::string> lists[9];
  for (const CameraRow& r : rows) {
    const std::string* fields[9] = {&r.id,       &r.name,     &r.transpondIp, &r.transpondPort, &r.expires,
                                    &r.longitude, &r.latitude, &r.index,       &r.rtmpPort};
    for (int i = 0; i < 9; ++i) lists[i].push_back(*fields[i]);
  }
  static const char* const kNames[9] = {"cameraIdList",        "cameraNameList",     "transpondIPList",
                                        "transpondPortList",   "expiredList",        "cameraLongitudeList",
                                        "cameraLatitudeList",  "cameraIndexList",    "transRtmpPortList"};
  Params reply = success();
  for (int i = 0; i < 9; ++i) reply[kNames[i]] = join(lists[i]);
  return reply;
}

Params LogicService::catalogueVersion(const LogicSession& session, const Params& request) {
  Params refusal;
  if (wrongUser(session, request, "userId", refusal)) return refusal;
  Params reply = success();
  reply["version"] = world_->catalogueVersion(session.userId);
  return reply;
}

Params LogicService::playback(const LogicSession& session, const Params& request) {
  Params reply;
  const std::string cameraId = get(request, "cameraId");
  if (get(request, "msgType") != "Playback") reply = refuse("不支持的回放请求");
  else if (cameraId.empty()) reply = missingField("cameraId");
  else {
    std::string ticket, error;
    if (world_->requestPlayback(session.userId, cameraId, ticket, error)) {
      reply = success();
      reply["playBackId"] = ticket;
    } else {
      reply = refuse(error);
    }
  }
  reply["msgType"] = get(request, "msgType");
  reply["cameraId"] = cameraId;
  reply["msgId"] = get(request, "msgId");
  return reply;
}

namespace {

Params registerWith(World& world, const std::string& userId, const DeviceRegistration& device) {
  std::string nodeId, error;
  std::optional<EhomeParams> ehome;
  if (!world.registerDevice(userId, device, nodeId, ehome, error)) return refuse(error);
  Params reply = success();
  reply["nodeId"] = nodeId;
  if (ehome) reply = withEhome(reply, *ehome);
  return reply;
}

}  // namespace

Params LogicService::registerIpc(const LogicSession& session, const Params& request) {
  if (const char* field = missing(request, {"mac", "nodeName", "cameraNameList", "cameraIndexList"}))
    return missingField(field);
  if (const char* field = breaksLists(request, {"nodeName", "cameraLongitude", "cameraLatitude"}))
    return listBreaker(field);
  DeviceRegistration device;
  device.mac = get(request, "mac");
  device.nodeName = get(request, "nodeName");
  if (!parseNodeType(get(request, "type"), 8, device.nodeType)) return refuse("设备类型错误：" + get(request, "type"));
  const auto names = mc::splitText(get(request, "cameraNameList"), ';', true);
  const auto indexes = mc::splitText(get(request, "cameraIndexList"), ';', true);
  if (names.size() != indexes.size()) return refuse("摄像头名称与通道号数量不一致");
  for (std::size_t i = 0; i < names.size(); ++i) device.cameras.emplace_back(names[i], indexes[i]);
  device.longitude = get(request, "cameraLongitude");
  device.latitude = get(request, "cameraLatitude");
  return registerWith(*world_, session.userId, device);
}

Params LogicService::registerNvr(const LogicSession& session, const Params& request) {
  if (const char* field = missing(request, {"mac", "nodeName"})) return missingField(field);
  if (const char* field = breaksLists(request, {"nodeName", "cameraLongitude", "cameraLatitude"}))
    return listBreaker(field);
  DeviceRegistration device;
  device.mac = get(request, "mac");
  device.nodeName = get(request, "nodeName");
  if (!parseNodeType(get(request, "type"), 9, device.nodeType)) return refuse("设备类型错误：" + get(request, "type"));
  device.channels = world_->nvrChannels();
  device.longitude = get(request, "cameraLongitude");
  device.latitude = get(request, "cameraLatitude");
  return registerWith(*world_, session.userId, device);
}

Params LogicService::registerOther(const LogicSession& session, const Params& request) {
  if (const char* field = missing(request, {"mac", "nodeName", "nodeType", "cameraNum"})) return missingField(field);
  if (const char* field = breaksLists(request, {"nodeName", "longitude", "latitude"})) return listBreaker(field);
  DeviceRegistration device;
  device.mac = get(request, "mac");
  device.nodeName = get(request, "nodeName");
  if (!parseNodeType(get(request, "nodeType"), 1, device.nodeType))
    return refuse("设备类型错误：" + get(request, "nodeType"));
  int count = 0;
  if (!parseNumber(get(request, "cameraNum"), 0, 256, count)) return refuse("通道数错误：" + get(request, "cameraNum"));
  // Channel numbers start at 1 for the recorder and camera types 15 and 16, at 0 otherwise.
  const int first = device.nodeType == 15 || device.nodeType == 16 ? 1 : 0;
  for (int i = 0; i < count; ++i)
    device.cameras.emplace_back("通道" + std::to_string(first + i), std::to_string(first + i));
  device.channels = count;
  device.longitude = get(request, "longitude");
  device.latitude = get(request, "latitude");
  return registerWith(*world_, session.userId, device);
}

Params LogicService::registerEhome(const LogicSession& session, const Params& request) {
  Params refusal;
  if (wrongUser(session, request, "userId", refusal)) return refusal;
  if (const char* field = missing(request, {"mac", "nodeName", "nodeType"})) return missingField(field);
  if (const char* field = breaksLists(request, {"nodeName"})) return listBreaker(field);
  DeviceRegistration device;
  device.mac = get(request, "mac");
  device.nodeName = get(request, "nodeName");
  if (!parseNodeType(get(request, "nodeType"), 16, device.nodeType))
    return refuse("设备类型错误：" + get(request, "nodeType"));
  for (const std::string& channel : mc::splitText(get(request, "cameraList"), ';', true)) {
    int n = 0;
    if (!parseNumber(channel, 0, 4096, n)) return refuse("通道号错误：" + channel);
    device.cameras.emplace_back("通道" + channel, channel);
  }
  device.channels = static_cast<int>(device.cameras.size());
  device.ehome = true;
  return registerWith(*world_, session.userId, device);
}

Params LogicService::addCamera(const LogicSession& session, const Params& request) {
  if (const char* field = missing(request, {"nodeId", "cameraName", "cameraIndex"})) return missingField(field);
  if (const char* field = breaksLists(request, {"cameraName", "cameraIndex", "cameraLongitude", "cameraLatitude"}))
    return listBreaker(field);
  std::string cameraId, error;
  if (!world_->addCamera(session.userId, get(request, "nodeId"), get(request, "cameraName"), get(request, "cameraIndex"),
                         get(request, "cameraLongitude"), get(request, "cameraLatitude"), cameraId, error))
    return refuse(error);
  Params reply = success();
  reply["cameraId"] = cameraId;
  return reply;
}

Params LogicService::renameNode(const LogicSession& session, const Params& request) {
  Params refusal;
  if (wrongUser(session, request, "userId", refusal)) return refusal;
  if (const char* field = missing(request, {"nodeId", "nodeName"})) return missingField(field);
  if (const char* field = breaksLists(request, {"nodeName"})) return listBreaker(field);
  std::string error;
  if (!world_->renameNode(session.userId, get(request, "nodeId"), get(request, "nodeName"), error)) return refuse(error);
  return success();
}

Params LogicService::updateCamera(const LogicSession& session, const Params& request) {
  if (const char* field = missing(request, {"nodeId", "cameraId", "cameraName"})) return missingField(field);
  if (const char* field = breaksLists(request, {"cameraName", "longitude", "latitude"})) return listBreaker(field);
  std::string error;
  if (!world_->updateCamera(session.userId, get(request, "nodeId"), get(request, "cameraId"), get(request, "cameraName"),
                            get(request, "longitude"), get(request, "latitude"), error))
    return refuse(error);
  return success();
}

Params LogicService::deleteCamera(const LogicSession& session, const Params& request) {
  if (const char* field = missing(request, {"nodeId", "cameraId"})) return missingField(field);
  std::string error;
  if (!world_->deleteCamera(session.userId, get(request, "nodeId"), get(request, "cameraId"), error)) return refuse(error);
  return success();
}

Params LogicService::deleteNode(const LogicSession& session, const Params& request) {
  Params refusal;
  if (wrongUser(session, request, "sonId", refusal)) return refusal;
  if (const char* field = missing(request, {"nodeId"})) return missingField(field);
  std::string error;
  if (!world_->deleteNode(session.userId, get(request, "nodeId"), error)) return refuse(error);
  return success();
}

Params LogicService::ehomeParams(const LogicSession& session, const Params& request) {
  if (const char* field = missing(request, {"nodeId"})) return missingField(field);
  EhomeParams params;
  std::string error;
  if (!world_->ehomeParams(session.userId, get(request, "nodeId"), params, error)) return refuse(error);
  return withEhome(success(), params);
}

}  // namespace sim
