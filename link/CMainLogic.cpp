#include "link/CMainLogic.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <set>
#include <thread>
#include <unordered_map>

#include "camera/CCameraLogic.h"
#include "camera/CCameraPlayBack.h"
#include "common/Md5.h"
#include "common/Messages.h"
#include "common/Split.h"
#include "core/AppContext.h"
#include "core/OLog.h"
#include "core/ThreadPool.h"
#include "link/CServerLogic.h"
#include "link/ClientBufferPool.h"
#include "link/Expiry.h"
#include "store/Accounts.h"
#include "store/CatalogueCache.h"
#include "store/LocalDb.h"

namespace {

// The catalogue lists for the store's synchronisation, asked over one link.
class ServerCatalogueSource : public ICatalogueSource {
 public:
  explicit ServerCatalogueSource(std::shared_ptr<CServerLogic> link) : link_(std::move(link)) {}

  bool getNodeList(const std::string& userId, NodeListTexts& lists) override {
    return link_ && link_->getNodeList(userId, lists);
  }

  bool getCameraList(const std::string& nodeId, CameraListTexts& lists) override {
    return link_ && link_->getCameraList(nodeId, lists);
  }

 private:
  std::shared_ptr<CServerLogic> link_;
};

// Entries whose online flag is set first, each group keeping its order.
std::vector<IParamPtr> onlineFirst(const std::vector<IParamPtr>& entries) {
  std::vector<IParamPtr> ordered;
  ordered.reserve(entries.size());
  for (const auto& entry : entries)
    if (entry->online) ordered.push_back(entry);
  for (const auto& entry : entries)
    if (!entry->online) ordered.push_back(entry);
  return ordered;
}

IParamPtr findIn(const std::vector<IParamPtr>& nodes, const std::string& id) {
  for (const auto& node : nodes) {
    if (node->id == id) return node;
    for (const auto& child : node->children())
      if (child->id == id) return child;
  }
  return nullptr;
}

std::string joinIds(const std::vector<std::string>& ids) {
  std::string text;
  for (const auto& id : ids) text += id + ";";
  return text;
}

}  // namespace

std::shared_ptr<CMainLogic> CMainLogic::create() { return std::make_shared<CMainLogic>(); }

CMainLogic::~CMainLogic() {
  if (workerPool_) workerPool_->stop();
}

bool CMainLogic::start() {
  AppContext& context = AppContext::instance();
  workerPool_ = ThreadPool::create(kWorkerThreads);
  bufferPool_ = ClientBufferPool::create();
  bufferPool_->init();
  if (!context.localDb) context.localDb = std::make_shared<CLocalDb>();
  return context.localDb->Open(context.appFolder + "/" + kLocalDbFileName);
}

std::shared_ptr<CServerLogic> CMainLogic::serverLink() const {
  std::lock_guard lock(serverLock_);
  return serverLogic_;
}

bool CMainLogic::connectServer(std::string& errorText) {
  AppContext& context = AppContext::instance();
  std::shared_ptr<CServerLogic> dispatcher;
  auto closeDispatcher = [&] {
    if (!dispatcher) return;
    dispatcher->close();
    retire(dispatcher);
  };
  for (const auto& server : context.servers) {
    closeDispatcher();
    dispatcher = CServerLogic::create(nullptr, bufferPool_, workerPool_);
    if (!dispatcher->connect(server.ip, server.port)) continue;
    if (!dispatcher->queryLogicServer()) continue;

    closeServer();
    std::shared_ptr<CServerLogic> logic;
    {
      std::lock_guard lock(serverLock_);
      serverLogic_ = CServerLogic::create(shared_from_this(), bufferPool_, workerPool_);
      logic = serverLogic_;
    }
    if (logic->connect(context.logicServerIp, context.logicServerPort)) {
      closeDispatcher();
      return true;
    }
    closeServer();
  }
  errorText = "连接服务器失败";
  closeDispatcher();
  return false;
}

void CMainLogic::closeServer() {
  std::shared_ptr<CServerLogic> link;
  {
    std::lock_guard lock(serverLock_);
    link.swap(serverLogic_);
  }
  if (!link) return;
  link->close();
  retire(link);
}

void CMainLogic::retire(std::weak_ptr<void> link) {
  std::lock_guard lock(closedLinksLock_);
  std::erase_if(closedLinks_, [](const std::weak_ptr<void>& closed) { return closed.expired(); });
  closedLinks_.push_back(std::move(link));
}

void CMainLogic::awaitClosedLinks() {
  std::vector<std::weak_ptr<void>> links;
  {
    std::lock_guard lock(closedLinksLock_);
    links.swap(closedLinks_);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  for (const auto& link : links) {
    while (!link.expired() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
}

bool CMainLogic::accountLogin() {
  AppContext& context = AppContext::instance();
  auto link = serverLink();
  if (!link) return false;
  return link->login(context.userName, mc::md5Upper(context.password), context.oemId) == kLoginSucceeded;
}

bool CMainLogic::loadCatalogue(mc::WindowHandle window, const std::string& requestedVersion) {
  AppContext& context = AppContext::instance();
  auto link = serverLink();
  std::string version = requestedVersion;
  if (version.empty() && link && !link->getCatalogueVersion(context.userId, version)) return false;

  onlineCameraTotal_ = 0;
  cameraTotal_ = 0;
  nodeTotal_ = 0;
  if (!context.localDb) return false;

  CLocalDb& db = *context.localDb;
  std::string stored;
  if (db.GetUserNodeVersion(context.userId, stored) && stored != version) context.nodeVersion = version;
  ServerCatalogueSource source(link);
  const mc::LoginUser user{context.userName, context.userId, context.password, context.rememberPassword,
                           context.autoLogin};
  mc::refreshCatalogueCache(db, source, user, version);

  std::vector<mc::StoredNode> catalogue;
  mc::readStoredCatalogue(db, context.userId, catalogue);
  nodeTotal_ = static_cast<std::int32_t>(catalogue.size());

  std::vector<std::string> nodeIds;
  std::vector<std::string> cameraIds;
  for (const auto& entry : catalogue) {
    nodeIds.push_back(entry.node.nodeId);
    for (const auto& camera : entry.cameras) cameraIds.push_back(camera.cameraId);
  }
  std::string onlineNodeText;
  std::string onlineCameraText;
  if (link) link->getOnlineState(joinIds(nodeIds), joinIds(cameraIds), onlineNodeText, onlineCameraText);
  const auto onlineNodeList = mc::splitText(onlineNodeText, ';', true);
  const auto onlineCameraList = mc::splitText(onlineCameraText, ';', true);
  const std::set<std::string> onlineNodes(onlineNodeList.begin(), onlineNodeList.end());
  const std::set<std::string> onlineCameras(onlineCameraList.begin(), onlineCameraList.end());

  const std::time_t now = std::time(nullptr);
  std::tm today {};
  ::localtime_r(&now, &today);
  const std::vector<IParamPtr> current = getNodes();
  std::vector<IParamPtr> rebuilt;
  rebuilt.reserve(catalogue.size());
  for (const auto& entry : catalogue) {
    auto node = std::dynamic_pointer_cast<NodeParam>(findIn(current, entry.node.nodeId));
    if (!node) node = NodeParam::create(entry.node.nodeType, entry.node.nodeId);
    node->name = entry.node.nodeName;
    node->cameraCount = entry.node.cameraCount;
    node->online = onlineNodes.count(node->id) > 0;
    node->onlineCameraCount = 0;

    std::vector<IParamPtr> cameras;
    for (const auto& row : entry.cameras) {
      auto camera = std::dynamic_pointer_cast<SxtParam>(findIn(current, row.cameraId));
      if (!camera) camera = SxtParam::create(row.cameraId);
      camera->name = row.cameraName;
      camera->transpondIp = row.transIp;
      camera->transpondPort = row.transPort;
      camera->longitude = row.cameraLongitude;
      camera->latitude = row.cameraLatitude;
      camera->cameraIndex = row.SxtIndex;
      camera->transRtmpPort = row.RtmpPort;
      camera->expired = mc::serviceExpired(row.ExpiredTime, today);
      camera->online = onlineCameras.count(camera->id) > 0;
      ++cameraTotal_;
      if (camera->online) {
        ++onlineCameraTotal_;
        ++node->onlineCameraCount;
      }
      cameras.push_back(camera);
    }
    node->setChildren(onlineFirst(cameras));
    rebuilt.push_back(node);
  }
  {
    std::lock_guard lock(catalogueLock_);
    nodes_ = onlineFirst(rebuilt);
  }
  if (window != mc::kNoWindow) mc::postMessage(window, mc::msg::MSG_TREES_REBUILD);
  return true;
}

std::vector<IParamPtr> CMainLogic::getNodes() const {
  std::lock_guard lock(catalogueLock_);
  return nodes_;
}

IParamPtr CMainLogic::findParam(const std::string& id) const { return findIn(getNodes(), id); }

void CMainLogic::reorderByOnline() {
  std::lock_guard lock(catalogueLock_);
  std::int32_t onlineTotal = 0;
  for (const auto& node : nodes_) {
    auto children = onlineFirst(node->children());
    // The on-line states changed since the load counted them.
    std::int32_t online = 0;
    for (const auto& child : children) online += child->online ? 1 : 0;
    if (auto counted = std::dynamic_pointer_cast<NodeParam>(node)) counted->onlineCameraCount = online;
    onlineTotal += online;
    node->setChildren(std::move(children));
  }
  onlineCameraTotal_ = onlineTotal;
  nodes_ = onlineFirst(nodes_);
}

bool CMainLogic::renameNode(const std::string& userId, const std::string& nodeId, const std::string& nodeName) {
  auto link = serverLink();
  return link && link->renameNode(userId, nodeId, nodeName);
}

bool CMainLogic::updateCamera(const CameraUpdate& request) {
  auto link = serverLink();
  return link && link->updateCamera(request);
}

bool CMainLogic::addCamera(const CameraAddition& request, std::string& errorMsg) {
  auto link = serverLink();
  return link && link->addCamera(request, errorMsg);
}

bool CMainLogic::registerIpcDevice(const IpcDeviceRegistration& request, std::string& errorMsg) {
  auto link = serverLink();
  return link && link->registerIpcDevice(request, errorMsg);
}

bool CMainLogic::registerNvrDevice(const NvrDeviceRegistration& request, std::string& errorMsg) {
  auto link = serverLink();
  return link && link->registerNvrDevice(request, errorMsg);
}

bool CMainLogic::registerOtherDevice(const OtherDeviceRegistration& request, std::string& errorMsg) {
  auto link = serverLink();
  return link && link->registerOtherDevice(request, errorMsg);
}

bool CMainLogic::registerEhomeDevice(const EhomeDeviceRegistration& request, EhomeParams& params,
                                     std::string& errorMsg) {
  auto link = serverLink();
  return link && link->registerEhomeDevice(request, params, errorMsg);
}

bool CMainLogic::getEhomeParams(const std::string& nodeId, EhomeParams& params, std::string& errorMsg) {
  auto link = serverLink();
  return link && link->getEhomeParams(nodeId, params, errorMsg);
}

bool CMainLogic::requestPlayback(const std::string& cameraId, PlaybackTicket& ticket) {
  auto link = serverLink();
  return link && link->requestPlayback(cameraId, ticket);
}

bool CMainLogic::deleteNode(const std::string& userId, const std::string& nodeId, std::string& errorText) {
  auto link = serverLink();
  if (!link || !link->deleteNode(userId, nodeId, errorText)) return false;
  std::lock_guard lock(catalogueLock_);
  for (auto it = nodes_.begin(); it != nodes_.end(); ++it) {
    if ((*it)->id == nodeId) {
      nodes_.erase(it);
      break;
    }
  }
  return true;
}

bool CMainLogic::deleteCamera(const std::string& nodeId, const std::string& cameraId, std::string& errorText) {
  auto link = serverLink();
  if (!link || !link->deleteCamera(nodeId, cameraId, errorText)) return false;
  std::lock_guard lock(catalogueLock_);
  for (const auto& node : nodes_) {
    auto children = node->children();
    for (auto it = children.begin(); it != children.end(); ++it) {
      if ((*it)->id == cameraId) {
        children.erase(it);
        node->setChildren(std::move(children));
        return true;
      }
    }
  }
  return true;
}

void CMainLogic::OnServerReconnected() {
  if (!workerPool_) return;
  std::weak_ptr<CMainLogic> weak = weak_from_this();
  workerPool_->post([weak] {
    if (auto self = weak.lock()) self->relogin();
  });
}

void CMainLogic::relogin() {
  std::lock_guard lock(reloginLock_);
  AppContext& context = AppContext::instance();
  if (accountLogin() && context.mainWindow && context.mainHwnd != mc::kNoWindow)
    mc::postMessage(context.mainHwnd, mc::msg::MSG_CATALOGUE_CHANGED);
}

void CMainLogic::OnNodeActive(const std::string& nodeId, const std::string& active) {
  AppContext& context = AppContext::instance();
  if (!context.mainWindow) return;
  mc::postMessage(context.mainHwnd, mc::msg::MSG_NODE_ACTIVE, 0, 0,
                  std::make_shared<ActiveNotice>(ActiveNotice{nodeId, active}));
}

void CMainLogic::OnCameraActive(const std::string& cameraId, const std::string& active) {
  AppContext& context = AppContext::instance();
  if (!context.mainWindow) return;
  mc::postMessage(context.mainHwnd, mc::msg::MSG_CAMERA_ACTIVE, 0, 0,
                  std::make_shared<ActiveNotice>(ActiveNotice{cameraId, active}));
}

int CMainLogic::openLive(mc::WindowHandle window, const SxtParamPtr& camera, int topTrim, int bottomTrim) {
  if (window == mc::kNoWindow || !camera) return 0;
  std::shared_ptr<CCameraLogic> view;
  {
    std::lock_guard lock(liveLock_);
    auto& entry = liveViews_[camera];
    if (entry && entry->IsOpen()) return 0;
    if (!entry) entry = std::make_shared<CCameraLogic>(camera, bufferPool_, workerPool_);
    view = entry;
  }
  if (!view->Open(camera->id, window, topTrim, bottomTrim, 0, 0)) return 0;
  view->SendCommand(17);
  return 1;
}

void CMainLogic::closeLive(const SxtParamPtr& camera) {
  if (auto view = getLive(camera); view && view->IsOpen()) view->Close();
}

std::shared_ptr<CCameraLogic> CMainLogic::getLive(const SxtParamPtr& camera) const {
  std::lock_guard lock(liveLock_);
  const auto found = liveViews_.find(camera);
  return found == liveViews_.end() ? nullptr : found->second;
}

int CMainLogic::startPlayback(const SxtParamPtr& camera, mc::WindowHandle window, std::string& errorText) {
  if (!camera) return 0;
  if (getPlayback(camera)) {
    errorText = "已经在回放中！";
    return 0;
  }
  auto link = serverLink();
  if (!link) {
    errorText = "与服务器连接断开！";
    return 0;
  }
  PlaybackTicket ticket;
  if (!link->requestPlayback(camera->id, ticket)) {
    errorText = ticket.errorMsg;
    return 0;
  }
  auto view = std::make_shared<CCameraPlayBack>(camera, bufferPool_, workerPool_);
  if (!view->Open(ticket.playBackId, window, 0, 0, 0, 0)) {
    errorText = "登录流媒体失败";
    return 0;
  }
  std::lock_guard lock(playbackLock_);
  auto& entry = playbackViews_[camera];
  if (entry) {
    // Another start won the race while this one was asking the server.
    view->Close();
    errorText = "已经在回放中！";
    return 0;
  }
  entry = view;
  return 1;
}

void CMainLogic::stopPlayback(const SxtParamPtr& camera) {
  std::shared_ptr<CCameraPlayBack> view;
  {
    std::lock_guard lock(playbackLock_);
    const auto found = playbackViews_.find(camera);
    if (found == playbackViews_.end()) return;
    view = found->second;
    playbackViews_.erase(found);
  }
  view->Close();
}

std::shared_ptr<CCameraPlayBack> CMainLogic::getPlayback(const SxtParamPtr& camera) const {
  std::lock_guard lock(playbackLock_);
  const auto found = playbackViews_.find(camera);
  return found == playbackViews_.end() ? nullptr : found->second;
}

void CMainLogic::playbackToAll(const std::string& position) {
  std::vector<std::shared_ptr<CCameraPlayBack>> views;
  {
    std::lock_guard lock(playbackLock_);
    for (const auto& [camera, view] : playbackViews_) views.push_back(view);
  }
  for (const auto& view : views) view->Seek(position);
}

void CMainLogic::setSoundCamera(const SxtParamPtr& camera, bool on, int kind) {
  {
    std::lock_guard lock(liveLock_);
    for (const auto& [record, view] : liveViews_) view->soundOn = false;
  }
  {
    std::lock_guard lock(playbackLock_);
    for (const auto& [record, view] : playbackViews_) view->soundOn = false;
  }
  if (!camera) return;
  if (kind == kLiveView) {
    if (auto view = getLive(camera)) view->soundOn = on;
  } else if (kind == kPlaybackView) {
    if (auto view = getPlayback(camera)) view->soundOn = on;
  }
}

void CMainLogic::shutdown() {
  std::map<SxtParamPtr, std::shared_ptr<CCameraPlayBack>> playbacks;
  {
    std::lock_guard lock(playbackLock_);
    playbacks.swap(playbackViews_);
  }
  auto closeView = [this](const std::shared_ptr<CCameraLogic>& view) {
    if (auto link = view->GetLink()) retire(link);
    view->Close();
  };
  for (const auto& [camera, view] : playbacks) closeView(view);
  std::map<SxtParamPtr, std::shared_ptr<CCameraLogic>> lives;
  {
    std::lock_guard lock(liveLock_);
    lives.swap(liveViews_);
  }
  for (const auto& [camera, view] : lives) closeView(view);
  playbacks.clear();
  lives.clear();
  awaitClosedLinks();
  if (workerPool_) workerPool_->stop();
  if (bufferPool_) {
    bufferPool_->release();
    bufferPool_.reset();
  }
  std::lock_guard lock(catalogueLock_);
  nodes_.clear();
}
