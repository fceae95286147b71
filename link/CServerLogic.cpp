#include "link/CServerLogic.h"

#include <cstdlib>

#include "common/TickCount.h"
#include "core/AppContext.h"
#include "core/OLog.h"
#include "link/Payload.h"

namespace {

constexpr const char* kPlaybackTag = "Playback";
constexpr const char* kNoPlaybackAnswer = "前端设备不支持";
constexpr const char* kDefaultLongitude = "116.404";
constexpr const char* kDefaultLatitude = "39.915";

struct Kind {
  std::int32_t msgType;
  std::vector<std::string> replyFields;  // besides status
};

// Every request kind and the reply params it reads.
const std::vector<Kind>& requestKinds() {
  static const std::vector<Kind> kinds = {
      {server_msg::kQueryLogicServer, {"LogicServerIp", "LogicServerPort"}},
      {server_msg::kLogin,
       {"userId", "viewUpdateUrl", "uploadUrl", "nodeVersion", "ShowMsg", "permission", "permissionName",
        "viewNewVersion", "sysTime", "longitude", "latitude"}},
      {server_msg::kNodeList, {"nodeNameList", "nodeIdList", "cameraCountList", "cameraVersionList", "nodeTypeList"}},
      {server_msg::kOnlineState, {"nodeIdList", "cameraIdList"}},
      {server_msg::kCameraList,
       {"cameraIdList", "cameraNameList", "transpondIPList", "transpondPortList", "expiredList",
        "cameraLongitudeList", "cameraLatitudeList", "cameraIndexList", "transRtmpPortList"}},
      {server_msg::kCatalogueVersion, {"version"}},
      {server_msg::kPlayback, {"msgType", "cameraId", "errorMsg", "msgId", "playBackId"}},
      {server_msg::kRegisterIpc, {"errorMsg"}},
      {server_msg::kRegisterNvr, {"errorMsg"}},
      {server_msg::kRegisterOther, {"errorMsg"}},
      {server_msg::kAddCamera, {"errorMsg"}},
      {server_msg::kRenameNode, {}},
      {server_msg::kUpdateCamera, {}},
      {server_msg::kDeleteCamera, {"errorMsg"}},
      {server_msg::kDeleteNode, {"errorMsg"}},
      {server_msg::kRegisterEhome, {"EhomeIp", "EhomePort", "EhomeID", "errorMsg"}},
      {server_msg::kEhomeParams, {"EhomeIp", "EhomePort", "EhomeID", "errorMsg"}},
  };
  return kinds;
}

}  // namespace

CServerLogic::RequestRecord::RequestRecord(std::int32_t msgType, std::vector<std::string> fields)
    : replyFields(std::move(fields)) {
  envelope.msgType = msgType;
  if (msgType == server_msg::kPlayback) envelope.params["msgType"] = kPlaybackTag;
}

std::string CServerLogic::Answer::field(const std::string& name) const {
  const auto it = fields.find(name);
  return it == fields.end() ? std::string() : it->second;
}

std::shared_ptr<CServerLogic> CServerLogic::create(const std::shared_ptr<IServerNotify>& notify,
                                                   std::shared_ptr<ClientBufferPool> bufferPool,
                                                   std::shared_ptr<ThreadPool> callbackPool) {
  return std::make_shared<CServerLogic>(notify, std::move(bufferPool), std::move(callbackPool));
}

CServerLogic::CServerLogic(const std::shared_ptr<IServerNotify>& notify, std::shared_ptr<ClientBufferPool> bufferPool,
                           std::shared_ptr<ThreadPool> callbackPool)
    : Client(std::move(bufferPool), std::move(callbackPool), nullptr, false), notify_(notify) {
  for (const auto& kind : requestKinds())
    records_.emplace(kind.msgType, std::make_unique<RequestRecord>(kind.msgType, kind.replyFields));
  handlers_[server_msg::kNoHandler] = [](const MessageEnvelope&) {};
  handlers_[server_msg::kNodeActive] = [this](const MessageEnvelope& notice) { onNodeActive(notice); };
  handlers_[server_msg::kCameraActive] = [this](const MessageEnvelope& notice) { onCameraActive(notice); };
}

CServerLogic::~CServerLogic() = default;

bool CServerLogic::connect(const std::string& host, const std::string& port) {
  if (host.empty() || port.empty()) return false;
  return Client::connect(host, std::atoi(port.c_str()), kConnectLimitMs);
}

// ---- the exchange -----------------------------------------------------------

void CServerLogic::setHandler(std::int32_t msgType, Handler handler) {
  std::lock_guard lock(handlersLock_);
  handlers_[msgType] = std::move(handler);
}

bool CServerLogic::sendRequest(RequestRecord& record) {
  if (isClosed()) return false;
  BufferPtr frame;
  {
    std::lock_guard lock(sendLock_);
    const std::int32_t msgType = record.envelope.msgType;
    if (msgType == server_msg::kPlayback) {
      setHandler(msgType, [this](const MessageEnvelope& reply) { onPlaybackReply(reply); });
    } else {
      setHandler(msgType, [this, &record](const MessageEnvelope& reply) { fillReply(record, reply); });
    }
    frame = getBuffer();
    if (!frame) return false;
    std::lock_guard recordLock(record.lock);
    if (!buildFrame(record.envelope, *frame)) {
      LOG_ERROR("request %d could not be encoded", msgType);
      return false;
    }
  }
  return send(std::move(frame));
}

CServerLogic::Answer CServerLogic::exchange(std::int32_t msgType, Params params) {
  Answer answer;
  const auto it = records_.find(msgType);
  if (it == records_.end()) return answer;
  RequestRecord& record = *it->second;
  record.answered.reset();
  {
    std::lock_guard lock(record.lock);
    record.status.clear();
    record.reply.clear();
    if (msgType == server_msg::kPlayback) {
      record.envelope.params.clear();
      record.envelope.params["msgType"] = kPlaybackTag;
    } else {
      record.envelope.params.clear();
    }
    for (auto& [name, value] : params) record.envelope.params[name] = std::move(value);
  }
  if (!sendRequest(record)) return answer;
  answer.outcome = Outcome::NoAnswer;
  if (!record.answered.wait(answerLimitMs_)) return answer;
  std::lock_guard lock(record.lock);
  answer.outcome = Outcome::Answered;
  answer.status = record.status;
  answer.fields = record.reply;
  return answer;
}

void CServerLogic::fillReply(RequestRecord& record, const MessageEnvelope& reply) {
  {
    std::lock_guard lock(record.lock);
    record.status = reply.param("status");
    record.reply.clear();
    for (const auto& name : record.replyFields) record.reply[name] = reply.param(name);
  }
  record.answered.set();
}

void CServerLogic::onPlaybackReply(const MessageEnvelope& reply) {
  RequestRecord& record = *records_.at(server_msg::kPlayback);
  {
    std::lock_guard lock(record.lock);
    if (reply.param("msgType") != kPlaybackTag) return;
    if (reply.param("cameraId") != record.envelope.param("cameraId")) return;
  }
  fillReply(record, reply);
}

void CServerLogic::onNodeActive(const MessageEnvelope& notice) {
  const std::string nodeId = notice.param("nodeId");
  const std::string active = notice.param("active");
  if (nodeId.empty() || active.empty()) return;
  if (auto notify = notify_.lock()) notify->OnNodeActive(nodeId, active);
}

void CServerLogic::onCameraActive(const MessageEnvelope& notice) {
  const std::string cameraId = notice.param("cameraId");
  const std::string active = notice.param("active");
  if (cameraId.empty() || active.empty()) return;
  if (auto notify = notify_.lock()) notify->OnCameraActive(cameraId, active);
}

// ---- link callbacks ---------------------------------------------------------

void CServerLogic::OnRecv(const BufferPtr& body) {
  MessageEnvelope envelope;
  if (!body || !parsePayload(*body, envelope)) return;
  if (envelope.clientType != 2) return;
  Handler handler;
  {
    std::lock_guard lock(handlersLock_);
    auto it = handlers_.find(envelope.msgType);
    if (it == handlers_.end()) it = handlers_.find(server_msg::kNoHandler);
    if (it != handlers_.end()) handler = it->second;
  }
  if (handler) handler(envelope);
  if (auto notify = notify_.lock()) notify->OnServerMessage(envelope);
}

void CServerLogic::OnReconnected() {
  if (auto notify = notify_.lock()) notify->OnServerReconnected();
}

void CServerLogic::OnDisconnected(const boost::system::error_code&) {
  if (auto notify = notify_.lock()) notify->OnServerDisconnected();
}

void CServerLogic::OnSent(const BufferPtr&, std::int32_t) {}

// ---- requests ---------------------------------------------------------------

bool CServerLogic::withError(const Answer& answer, std::string& errorMsg) {
  if (answer.succeeded()) return true;
  if (answer.outcome == Outcome::Answered) errorMsg = answer.field("errorMsg");
  return false;
}

bool CServerLogic::queryLogicServer() {
  AppContext& context = AppContext::instance();
  const Answer answer = exchange(server_msg::kQueryLogicServer, {{"userName", context.userName}});
  if (!answer.succeeded()) return false;
  context.logicServerIp = answer.field("LogicServerIp");
  context.logicServerPort = answer.field("LogicServerPort");
  return true;
}

int CServerLogic::login(const std::string& userName, const std::string& passwordDigest, const std::string& oemId) {
  AppContext& context = AppContext::instance();
  context.loginName = userName;
  const Answer answer =
      exchange(server_msg::kLogin, {{"oemId", oemId}, {"userName", userName}, {"password", passwordDigest}});
  if (answer.outcome != Outcome::Answered) return kLoginNoAnswer;
  if (answer.status != "1") return kLoginRefused;
  context.userId = answer.field("userId");
  context.viewUpdateUrl = answer.field("viewUpdateUrl");
  context.uploadUrl = answer.field("uploadUrl");
  context.showMsg = answer.field("ShowMsg");
  context.nodeVersion = answer.field("nodeVersion");
  context.permission = answer.field("permission");
  context.permissionName = answer.field("permissionName");
  context.newVersion = answer.field("viewNewVersion");
  context.sysTime = answer.field("sysTime");
  context.longitude = answer.field("longitude");
  context.latitude = answer.field("latitude");
  if (context.longitude.empty() || context.latitude.empty()) {
    context.longitude = kDefaultLongitude;
    context.latitude = kDefaultLatitude;
  }
  return kLoginSucceeded;
}

bool CServerLogic::getNodeList(const std::string& userId, NodeListReply& reply) {
  const Answer answer = exchange(server_msg::kNodeList, {{"userId", userId}});
  if (!answer.succeeded()) return false;
  reply.nodeNameList = answer.field("nodeNameList");
  reply.nodeIdList = answer.field("nodeIdList");
  reply.cameraCountList = answer.field("cameraCountList");
  reply.cameraVersionList = answer.field("cameraVersionList");
  reply.nodeTypeList = answer.field("nodeTypeList");
  return true;
}

bool CServerLogic::getOnlineState(const std::string& nodeIdList, const std::string& cameraIdList,
                                  std::string& onlineNodeIds, std::string& onlineCameraIds) {
  onlineNodeIds.clear();
  onlineCameraIds.clear();
  const Answer answer =
      exchange(server_msg::kOnlineState, {{"nodeIdList", nodeIdList}, {"cameraIdList", cameraIdList}});
  if (!answer.succeeded()) return false;
  onlineNodeIds = answer.field("nodeIdList");
  onlineCameraIds = answer.field("cameraIdList");
  return true;
}

bool CServerLogic::getCameraList(const std::string& nodeId, CameraListReply& reply) {
  const Answer answer = exchange(server_msg::kCameraList, {{"nodeId", nodeId}});
  if (!answer.succeeded()) return false;
  reply.cameraIdList = answer.field("cameraIdList");
  reply.cameraNameList = answer.field("cameraNameList");
  reply.transpondIPList = answer.field("transpondIPList");
  reply.transpondPortList = answer.field("transpondPortList");
  reply.expiredList = answer.field("expiredList");
  reply.cameraLongitudeList = answer.field("cameraLongitudeList");
  reply.cameraLatitudeList = answer.field("cameraLatitudeList");
  reply.cameraIndexList = answer.field("cameraIndexList");
  reply.transRtmpPortList = answer.field("transRtmpPortList");
  return true;
}

bool CServerLogic::getCatalogueVersion(const std::string& userId, std::string& version) {
  const Answer answer = exchange(server_msg::kCatalogueVersion, {{"userId", userId}});
  if (!answer.succeeded()) return false;
  version = answer.field("version");
  return true;
}

bool CServerLogic::requestPlayback(const std::string& cameraId, PlaybackTicket& ticket) {
  ticket = {};
  const Answer answer =
      exchange(server_msg::kPlayback, {{"cameraId", cameraId}, {"msgId", std::to_string(mc::tickCount())}});
  if (answer.outcome != Outcome::Answered) {
    ticket.errorMsg = kNoPlaybackAnswer;
    return false;
  }
  ticket.status = answer.status;
  if (answer.status == "1") {
    ticket.playBackId = answer.field("playBackId");
    return true;
  }
  ticket.errorMsg = answer.field("errorMsg");
  return false;
}

bool CServerLogic::registerIpcDevice(const IpcDeviceRegistration& request, std::string& errorMsg) {
  return withError(exchange(server_msg::kRegisterIpc, {{"mac", request.mac},
                                                       {"nodeName", request.nodeName},
                                                       {"cameraNameList", request.cameraNameList},
                                                       {"cameraIndexList", request.cameraIndexList},
                                                       {"cameraLongitude", request.cameraLongitude},
                                                       {"cameraLatitude", request.cameraLatitude},
                                                       {"type", request.type}}),
                   errorMsg);
}

bool CServerLogic::registerNvrDevice(const NvrDeviceRegistration& request, std::string& errorMsg) {
  return withError(exchange(server_msg::kRegisterNvr, {{"mac", request.mac},
                                                       {"nodeName", request.nodeName},
                                                       {"cameraLongitude", request.cameraLongitude},
                                                       {"cameraLatitude", request.cameraLatitude},
                                                       {"type", request.type}}),
                   errorMsg);
}

bool CServerLogic::registerOtherDevice(const OtherDeviceRegistration& request, std::string& errorMsg) {
  return withError(exchange(server_msg::kRegisterOther, {{"mac", request.mac},
                                                         {"nodeName", request.nodeName},
                                                         {"nodeType", request.nodeType},
                                                         {"cameraNum", request.cameraNum},
                                                         {"longitude", request.longitude},
                                                         {"latitude", request.latitude}}),
                   errorMsg);
}

bool CServerLogic::addCamera(const CameraAddition& request, std::string& errorMsg) {
  return withError(exchange(server_msg::kAddCamera, {{"nodeId", request.nodeId},
                                                     {"nodeType", request.nodeType},
                                                     {"cameraName", request.cameraName},
                                                     {"cameraIndex", request.cameraIndex},
                                                     {"cameraLongitude", request.cameraLongitude},
                                                     {"cameraLatitude", request.cameraLatitude}}),
                   errorMsg);
}

bool CServerLogic::renameNode(const std::string& userId, const std::string& nodeId, const std::string& nodeName) {
  return exchange(server_msg::kRenameNode, {{"userId", userId}, {"nodeId", nodeId}, {"nodeName", nodeName}})
      .succeeded();
}

bool CServerLogic::updateCamera(const CameraUpdate& request) {
  return exchange(server_msg::kUpdateCamera, {{"nodeId", request.nodeId},
                                              {"cameraId", request.cameraId},
                                              {"cameraName", request.cameraName},
                                              {"longitude", request.longitude},
                                              {"latitude", request.latitude}})
      .succeeded();
}

bool CServerLogic::deleteCamera(const std::string& nodeId, const std::string& cameraId, std::string& errorMsg) {
  return withError(exchange(server_msg::kDeleteCamera, {{"nodeId", nodeId}, {"cameraId", cameraId}}), errorMsg);
}

bool CServerLogic::deleteNode(const std::string& sonId, const std::string& nodeId, std::string& errorMsg) {
  return withError(exchange(server_msg::kDeleteNode, {{"sonId", sonId}, {"nodeId", nodeId}}), errorMsg);
}

bool CServerLogic::registerEhomeDevice(const EhomeDeviceRegistration& request, EhomeParams& params,
                                       std::string& errorMsg) {
  const Answer answer = exchange(server_msg::kRegisterEhome, {{"mac", request.mac},
                                                              {"nodeName", request.nodeName},
                                                              {"nodeType", request.nodeType},
                                                              {"cameraList", request.cameraList},
                                                              {"userId", request.userId}});
  if (!withError(answer, errorMsg)) return false;
  params.EhomeIp = answer.field("EhomeIp");
  params.EhomePort = answer.field("EhomePort");
  params.EhomeID = answer.field("EhomeID");
  return true;
}

bool CServerLogic::getEhomeParams(const std::string& nodeId, EhomeParams& params, std::string& errorMsg) {
  const Answer answer = exchange(server_msg::kEhomeParams, {{"nodeId", nodeId}});
  if (!withError(answer, errorMsg)) return false;
  params.EhomeIp = answer.field("EhomeIp");
  params.EhomePort = answer.field("EhomePort");
  params.EhomeID = answer.field("EhomeID");
  return true;
}
