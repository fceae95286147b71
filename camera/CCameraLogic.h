#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "camera/CCameraTcp.h"
#include "camera/CameraAbility.h"
#include "camera/ICameraNotify.h"
#include "camera/PendingRequest.h"
#include "common/WindowMessage.h"
#include "link/CatalogueParam.h"
#include "media/CMediaPipeline.h"
#include "media/IVideoState.h"
#include "media/StreamAudioData.h"

class ClientBufferPool;
class ThreadPool;

// The client side of one open live pane: owns the pane's relay link and
// media pipeline, logs in to the relay and turns the operator's actions into
// relay commands (PTZ moves, cruises, preset and cruise lists, quality level,
// device clock, talk-back). Replies and notices come back through
// ICameraNotify: the pane title (the camera record's status text) shows a
// failed login, relay notices and a lost link; capabilities go to the main
// window as MSG_CAMERA_PARAMS.
//
// Threads: Open, Close, SendCommand, the list requests and RequestTalk run on
// the interface thread or the coordinator's threads; the list and talk
// requests block their caller for up to 5 s. OnCommand, the reply handlers,
// OnReconnected and OnDisconnected run on the link's callback strand and never
// wait. Lock order: openLock, then linkLock; the camera record's status lock
// is innermost; the reply-handler lock is held only for a lookup or an
// insertion. Always owned by a shared pointer.
class CCameraLogic : public ICameraNotify, public std::enable_shared_from_this<CCameraLogic>, public IVideoState {
 public:
  static constexpr std::uint32_t kAnswerLimitMs = 5000;
  static constexpr const char* kLinkLostText = "连接异常";

  using ReplyHandler = std::function<void(const MessageEnvelope&)>;

  // `factory` makes the media pipeline (the program's default when absent).
  // Throws std::invalid_argument without a camera record.
  CCameraLogic(SxtParamPtr cameraRecord, std::shared_ptr<ClientBufferPool> bufferPool,
               std::shared_ptr<ThreadPool> callbackPool, std::optional<PipelineFactory> factory = std::nullopt);
  ~CCameraLogic() override;
  CCameraLogic(const CCameraLogic&) = delete;
  CCameraLogic& operator=(const CCameraLogic&) = delete;

  // Builds the pipeline for `window`, connects to the camera's relay within
  // 3 s and sends the login with `key`. True at once when already open. On
  // failure the title reads "连接异常" and everything is torn down again.
  bool Open(const std::string& key, mc::WindowHandle window, int top, int bottom, int left, int right);
  // Ends the link and the pipeline and clears the title. Always true; the
  // object may be opened again.
  bool Close();
  bool IsOpen() const;

  // Sends a command (version 1, appId 1, clientType 2, TimeSep = tick count).
  // False when closed or the envelope cannot be sent.
  bool SendCommand(std::int32_t msgType, const std::map<std::string, std::string>& params = {});

  // The preset list ("presetIdList", "presetNameList"; ";"-separated). False
  // when closed, unanswered within 5 s or answered with another status than "1".
  bool GetPresetList(std::string& ids, std::string& names);
  // The cruise list and the preset list, the same way.
  bool GetCruiseList(std::string& cruiseIds, std::string& cruiseNames, std::string& presetIds,
                     std::string& presetNames);
  // Asks for the camera's speaker: 1 granted (index = the talk channel),
  // 2 the camera is in another talk, -1 refused, closed or unanswered in 5 s.
  // Only the reply carrying this request's TimeSep counts.
  int RequestTalk(std::int32_t& index);
  // Sends one encoded talk-back record when open. Always true.
  bool SendTalkAudio(const StreamAudioDataPtr& data);

  std::int32_t GetAudioType() const { return audioType; }
  SxtParamPtr GetCameraRecord() const { return cameraRecord; }
  // Mouse wheel over the pane, screen coordinates (interface thread).
  void Zoom(int x, int y, std::int16_t delta);

  // Pipeline figures since the last Open (tests, statistics).
  PipelineStats GetPipelineStats() const { return pipeline.stats(); }
  std::shared_ptr<CBufferManage> GetBufferManage() const { return bufferManage; }
  // The relay link while open, else empty.
  std::shared_ptr<CCameraTcp> GetLink() const { return CurrentLink(); }
  std::string GetLoginKey() const;

  // ICameraNotify
  bool OnCommand(const MessageEnvelope& envelope) override;
  void OnReconnected() override;
  void OnDisconnected() override;

 protected:
  // Registers `handler` for the request's msgType and sends its envelope.
  bool SendRequest(PendingRequest& request, const MessageEnvelope& envelope, ReplyHandler handler);
  void RegisterReply(std::int32_t msgType, ReplyHandler handler);
  std::shared_ptr<CCameraTcp> CurrentLink() const;
  bool SendLogin();

  const SxtParamPtr cameraRecord;

 private:
  void OnLoginReply(const MessageEnvelope& reply);
  void OnRelayNotice(const MessageEnvelope& reply);
  void OnQualityReply(const MessageEnvelope& reply);
  void OnSettingsReply(const MessageEnvelope& reply);
  void OnTalkReply(const MessageEnvelope& reply);
  void PostAbility(CameraAbility ability);
  void TearDown(std::shared_ptr<CCameraTcp> oldLink);

  const std::shared_ptr<CBufferManage> bufferManage;
  const std::shared_ptr<ClientBufferPool> bufferPool;
  const std::shared_ptr<ThreadPool> callbackPool;
  CMediaPipeline pipeline;

 public:
  // Camera sound to the speakers; set only by the coordinator, which keeps it
  // on for at most one view. (The pipeline's own flag.)
  std::atomic<bool>& soundOn;

 private:
  std::mutex openLock;           // serialises Open and Close
  mutable std::mutex linkLock;   // guards link, loginKey, paneWindow; never held while waiting
  std::shared_ptr<CCameraTcp> link;
  std::string loginKey;
  mc::WindowHandle paneWindow = mc::kNoWindow;

  mutable std::mutex replyLock;  // guards replyHandlers
  std::map<std::int32_t, ReplyHandler> replyHandlers;

  PendingRequest presetRequest;
  PendingRequest cruiseRequest;
  PendingRequest talkRequest;
  std::atomic<std::int32_t> audioType{0};
  std::atomic<std::uint32_t> talkStamp{0};
};
