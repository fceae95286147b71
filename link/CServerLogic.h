#pragma once
#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "common/AutoResetEvent.h"
#include "link/Client.h"
#include "link/IServerNotify.h"
#include "link/MessageEnvelope.h"
#include "link/ServerRequests.h"

// The conversation with the dispatcher and the logic server: every request is
// a blocking call that sends one envelope and waits at most 5 s for the reply
// of its msgType; notices 14 and 15 and the connection events go to the
// IServerNotify. Requests block their caller, so they are made from worker
// threads, never from the callback pool thread that must deliver the reply.
// One request of each kind at a time (a kind's record is shared).
class CServerLogic : public Client {
 public:
  static constexpr std::uint32_t kConnectLimitMs = 3000;
  static constexpr std::uint32_t kAnswerLimitMs = 5000;

  // Serialised callbacks on `callbackPool`, socket work on the default I/O pool.
  static std::shared_ptr<CServerLogic> create(const std::shared_ptr<IServerNotify>& notify,
                                              std::shared_ptr<ClientBufferPool> bufferPool,
                                              std::shared_ptr<ThreadPool> callbackPool);
  CServerLogic(const std::shared_ptr<IServerNotify>& notify, std::shared_ptr<ClientBufferPool> bufferPool,
               std::shared_ptr<ThreadPool> callbackPool);
  ~CServerLogic() override;

  using Client::connect;
  // False when either text is empty; the port is read as a decimal number.
  bool connect(const std::string& host, const std::string& port);

  // The answer limit of every request (5000 ms; tests shorten it).
  void setAnswerLimit(std::uint32_t milliseconds) { answerLimitMs_ = milliseconds; }

  // msgType 1, for AppContext.userName: sets AppContext.logicServerIp/Port.
  bool queryLogicServer();
  // msgType 2. Stores the user name in AppContext.loginName first; on success
  // fills the login fields of AppContext. kLoginSucceeded / kLoginRefused /
  // kLoginNoAnswer. `passwordDigest` is the upper-case hex MD5 of the password.
  int login(const std::string& userName, const std::string& passwordDigest, const std::string& oemId);
  bool getNodeList(const std::string& userId, NodeListReply& reply);
  // The ids of those asked that are on line; both outputs are cleared first.
  bool getOnlineState(const std::string& nodeIdList, const std::string& cameraIdList, std::string& onlineNodeIds,
                      std::string& onlineCameraIds);
  bool getCameraList(const std::string& nodeId, CameraListReply& reply);
  bool getCatalogueVersion(const std::string& userId, std::string& version);
  // msgType 16; only a reply naming the same camera counts.
  bool requestPlayback(const std::string& cameraId, PlaybackTicket& ticket);
  bool registerIpcDevice(const IpcDeviceRegistration& request, std::string& errorMsg);
  bool registerNvrDevice(const NvrDeviceRegistration& request, std::string& errorMsg);
  bool registerOtherDevice(const OtherDeviceRegistration& request, std::string& errorMsg);
  bool addCamera(const CameraAddition& request, std::string& errorMsg);
  bool renameNode(const std::string& userId, const std::string& nodeId, const std::string& nodeName);
  bool updateCamera(const CameraUpdate& request);
  bool deleteCamera(const std::string& nodeId, const std::string& cameraId, std::string& errorMsg);
  bool deleteNode(const std::string& sonId, const std::string& nodeId, std::string& errorMsg);
  bool registerEhomeDevice(const EhomeDeviceRegistration& request, EhomeParams& params, std::string& errorMsg);
  bool getEhomeParams(const std::string& nodeId, EhomeParams& params, std::string& errorMsg);

 protected:
  void OnReconnected() override;
  void OnRecv(const BufferPtr& body) override;
  void OnSent(const BufferPtr& buffer, std::int32_t remaining) override;
  void OnDisconnected(const boost::system::error_code& error) override;

 private:
  using Params = std::map<std::string, std::string>;
  using Handler = std::function<void(const MessageEnvelope&)>;

  // The awaited reply of one request kind, reused by every call of that kind.
  struct RequestRecord {
    RequestRecord(std::int32_t msgType, std::vector<std::string> replyFields);
    mc::AutoResetEvent answered;
    std::mutex lock;  // guards the fields below against a late reply
    MessageEnvelope envelope;
    std::string status;
    Params reply;  // the kind's reply params (missing ones empty)
    const std::vector<std::string> replyFields;
  };

  enum class Outcome { NotSent, NoAnswer, Answered };
  struct Answer {
    Outcome outcome = Outcome::NotSent;
    std::string status;
    Params fields;
    bool succeeded() const { return outcome == Outcome::Answered && status == "1"; }
    std::string field(const std::string& name) const;
  };

  Answer exchange(std::int32_t msgType, Params params);
  bool sendRequest(RequestRecord& record);
  void fillReply(RequestRecord& record, const MessageEnvelope& reply);
  void onPlaybackReply(const MessageEnvelope& reply);
  void onNodeActive(const MessageEnvelope& notice);
  void onCameraActive(const MessageEnvelope& notice);
  void setHandler(std::int32_t msgType, Handler handler);
  // errorMsg of a refused request (empty when no reply came).
  static bool withError(const Answer& answer, std::string& errorMsg);

  std::map<std::int32_t, std::unique_ptr<RequestRecord>> records_;  // fixed at construction
  std::mutex handlersLock_;
  std::map<std::int32_t, Handler> handlers_;
  std::mutex sendLock_;  // serialises building and queueing of request frames
  std::weak_ptr<IServerNotify> notify_;
  std::atomic<std::uint32_t> answerLimitMs_{kAnswerLimitMs};
};
