#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/WindowMessage.h"
#include "link/CatalogueParam.h"
#include "link/IServerNotify.h"
#include "link/ServerRequests.h"

class CCameraLogic;
class CCameraPlayBack;
class CServerLogic;
class ClientBufferPool;
class ThreadPool;

// The one object between the windows and everything behind them: it owns the
// worker pool and the buffer pools, finds and keeps the logic-server link,
// logs the account in, keeps the catalogue in step with the server through the
// local store, forwards the device-management requests, and turns server
// notices into window messages for the main window.
//
// Threads: requests block their caller for up to the server's answer limit,
// so they run on worker threads (the start-up worker, window worker pools),
// never on workerPool threads that must deliver the reply; the re-login after
// a reconnection is a workerPool task of its own for that reason.
class CMainLogic : public IServerNotify, public std::enable_shared_from_this<CMainLogic> {
 public:
  static constexpr int kWorkerThreads = 5;

  static std::shared_ptr<CMainLogic> create();
  CMainLogic() = default;
  ~CMainLogic() override;
  CMainLogic(const CMainLogic&) = delete;
  CMainLogic& operator=(const CMainLogic&) = delete;

  // Creates the worker pool and the buffer pools and opens paramInfo.db in
  // the application folder as AppContext.localDb. False when the store cannot
  // be opened.
  bool start();

  // Asks the configured dispatchers, in order, for the logic server and
  // connects there. False with "连接服务器失败" when none leads to one.
  bool connectServer(std::string& errorText);
  // Logs AppContext.userName in with the MD5 digest of AppContext.password.
  bool accountLogin();
  // Brings the cached catalogue in step when the server's version differs
  // (asking the version first when `version` is empty), asks the on-line
  // states and rebuilds the catalogue, reusing the records already held.
  // Posts MSG_TREES_REBUILD to `window` when given.
  bool loadCatalogue(mc::WindowHandle window, const std::string& version);

  // Copies of the catalogue: on-line nodes first.
  std::vector<IParamPtr> getNodes() const;
  // The node or camera with that id, or empty.
  IParamPtr findParam(const std::string& id) const;
  // On-line entries first, each group in its order, for nodes and children;
  // recounts the on-line cameras of each node (and the total) from their flags.
  void reorderByOnline();

  // Opens the camera's live view in `window` (the two trims cut the pane's
  // title and tool bars): 1 opened, 0 refused (no window, already open) or
  // failed. A closed view is kept and reused by the next open; after a
  // successful open the camera is asked for its settings.
  int openLive(mc::WindowHandle window, const SxtParamPtr& camera, int topTrim, int bottomTrim);
  void closeLive(const SxtParamPtr& camera);
  std::shared_ptr<CCameraLogic> getLive(const SxtParamPtr& camera) const;

  // Asks the logic server for a playback of the camera and opens it in
  // `window`: 1 on success, else 0 with "已经在回放中！", "与服务器连接断开！",
  // the server's refusal, or "登录流媒体失败".
  int startPlayback(const SxtParamPtr& camera, mc::WindowHandle window, std::string& errorText);
  void stopPlayback(const SxtParamPtr& camera);
  std::shared_ptr<CCameraPlayBack> getPlayback(const SxtParamPtr& camera) const;
  // Seeks every open playback to `position`.
  void playbackToAll(const std::string& position);

  enum ViewKind { kLiveView = 1, kPlaybackView = 3 };
  // Silences every view, then turns the sound of the camera's view of `kind`
  // on or off: at most one view plays sound.
  void setSoundCamera(const SxtParamPtr& camera, bool on, int kind);

  // Requests forwarded to the logic server (false without a link).
  bool renameNode(const std::string& userId, const std::string& nodeId, const std::string& nodeName);
  bool updateCamera(const CameraUpdate& request);
  bool addCamera(const CameraAddition& request, std::string& errorMsg);
  bool registerIpcDevice(const IpcDeviceRegistration& request, std::string& errorMsg);
  bool registerNvrDevice(const NvrDeviceRegistration& request, std::string& errorMsg);
  bool registerOtherDevice(const OtherDeviceRegistration& request, std::string& errorMsg);
  bool registerEhomeDevice(const EhomeDeviceRegistration& request, EhomeParams& params, std::string& errorMsg);
  bool getEhomeParams(const std::string& nodeId, EhomeParams& params, std::string& errorMsg);
  bool requestPlayback(const std::string& cameraId, PlaybackTicket& ticket);

  // Deletes on the server, then drops the entry from the catalogue.
  bool deleteNode(const std::string& userId, const std::string& nodeId, std::string& errorText);
  bool deleteCamera(const std::string& nodeId, const std::string& cameraId, std::string& errorText);

  // Closes and releases the logic-server link.
  void closeServer();
  // Closes every playback and live view, stops the worker pool, releases the
  // buffer pools and empties the catalogue.
  void shutdown();

  // Figures of the last catalogue load.
  std::int32_t nodeTotal() const { return nodeTotal_; }
  std::int32_t cameraTotal() const { return cameraTotal_; }
  std::int32_t onlineCameraTotal() const { return onlineCameraTotal_; }

  // A copy of the logic-server link pointer (may be empty).
  std::shared_ptr<CServerLogic> serverLink() const;
  std::shared_ptr<ClientBufferPool> bufferPool() const { return bufferPool_; }
  std::shared_ptr<ThreadPool> workerPool() const { return workerPool_; }

  // IServerNotify, on workerPool.
  void OnServerDisconnected() override {}
  void OnServerReconnected() override;
  void OnNodeActive(const std::string& nodeId, const std::string& active) override;
  void OnCameraActive(const std::string& cameraId, const std::string& active) override;

 private:
  void relogin();
  // Waits (up to a limit) until the links closed so far have run their last
  // callbacks: a link whose callback is still queued when the worker pool
  // stops would never be freed.
  void awaitClosedLinks();
  void retire(std::weak_ptr<void> link);

  std::shared_ptr<ClientBufferPool> bufferPool_;
  std::shared_ptr<ThreadPool> workerPool_;
  mutable std::mutex liveLock_;
  std::map<SxtParamPtr, std::shared_ptr<CCameraLogic>> liveViews_;
  mutable std::mutex playbackLock_;
  std::map<SxtParamPtr, std::shared_ptr<CCameraPlayBack>> playbackViews_;
  mutable std::mutex serverLock_;
  std::shared_ptr<CServerLogic> serverLogic_;
  mutable std::mutex catalogueLock_;
  std::vector<IParamPtr> nodes_;
  std::mutex reloginLock_;
  std::mutex closedLinksLock_;
  std::vector<std::weak_ptr<void>> closedLinks_;
  std::atomic<std::int32_t> onlineCameraTotal_{0};
  std::atomic<std::int32_t> cameraTotal_{0};
  std::atomic<std::int32_t> nodeTotal_{0};
};

// A pair of texts posted with MSG_NODE_ACTIVE and MSG_CAMERA_ACTIVE: the id and
// the server's "active" text.
struct ActiveNotice {
  std::string id;
  std::string active;
};
