#include "camera/CCameraLogic.h"

#include <stdexcept>

#include "camera/CameraReplies.h"
#include "camera/DecimalText.h"
#include "common/Messages.h"
#include "common/TickCount.h"
#include "core/AppContext.h"
#include "core/OLog.h"

using namespace mc::relay;

namespace {

std::int32_t commandStamp() { return static_cast<std::int32_t>(mc::tickCount()); }

}  // namespace

CCameraLogic::CCameraLogic(SxtParamPtr cameraRecord, std::shared_ptr<ClientBufferPool> bufferPool,
                           std::shared_ptr<ThreadPool> callbackPool, std::optional<PipelineFactory> factory)
    : cameraRecord(std::move(cameraRecord)),
      bufferManage(std::make_shared<CBufferManage>()),
      bufferPool(std::move(bufferPool)),
      callbackPool(std::move(callbackPool)),
      pipeline(this->cameraRecord, bufferManage, factory ? std::move(*factory) : defaultPipelineFactory()),
      soundOn(pipeline.soundOn),
      presetRequest(kPresetList, {"presetIdList", "presetNameList"}),
      cruiseRequest(kCruiseList, {"cruiseIdList", "cruiseNameList", "presetIdList", "presetNameList"}),
      talkRequest(kTalkRequest, {"Index"}) {
  if (!this->cameraRecord) throw std::invalid_argument("CCameraLogic needs a camera record");
  RegisterReply(kLogin, [this](const MessageEnvelope& reply) { OnLoginReply(reply); });
  RegisterReply(kRelayNotice, [this](const MessageEnvelope& reply) { OnRelayNotice(reply); });
  RegisterReply(kQuality, [this](const MessageEnvelope& reply) { OnQualityReply(reply); });
  RegisterReply(kCameraSettings, [this](const MessageEnvelope& reply) { OnSettingsReply(reply); });
}

CCameraLogic::~CCameraLogic() {
  std::shared_ptr<CCameraTcp> oldLink;
  {
    std::lock_guard lock(linkLock);
    oldLink = std::move(link);
  }
  if (oldLink) oldLink->Close();
  // The pipeline member stops itself.
}

// ---- open and close -------------------------------------------------------

bool CCameraLogic::Open(const std::string& key, mc::WindowHandle window, int top, int bottom, int left,
                        int right) {
  if (IsOpen()) return true;
  std::lock_guard open(openLock);
  if (IsOpen()) return true;  // opened by a caller we waited for

  cameraRecord->setStatusText(std::string());
  {
    std::lock_guard lock(linkLock);
    paneWindow = window;
    loginKey = key;
  }
  pipeline.BuildPipeline(weak_from_this(), window, DisplayTrims{top, bottom, left, right});

  auto newLink = std::make_shared<CCameraTcp>(cameraRecord, bufferPool, callbackPool, bufferManage);
  newLink->SetNotify(weak_from_this());
  {
    std::lock_guard lock(linkLock);
    link = newLink;
  }
  if (newLink->Connect(key) && SendLogin()) return true;

  LOG_WARNING("Camera %s: relay %s:%s not reached or login not sent", cameraRecord->id.c_str(),
              cameraRecord->transpondIp.get().c_str(), cameraRecord->transpondPort.get().c_str());
  cameraRecord->setStatusText(kLinkLostText);
  TearDown(std::move(newLink));
  return false;
}

bool CCameraLogic::Close() {
  {
    std::lock_guard open(openLock);
    std::shared_ptr<CCameraTcp> oldLink;
    {
      std::lock_guard lock(linkLock);
      paneWindow = mc::kNoWindow;
      oldLink = link;
    }
    TearDown(std::move(oldLink));
  }
  cameraRecord->setStatusText(std::string());
  return true;
}

// Under openLock: the link goes first (so no callback of it reaches this
// object any more), then the pipeline.
void CCameraLogic::TearDown(std::shared_ptr<CCameraTcp> oldLink) {
  {
    std::lock_guard lock(linkLock);
    if (link == oldLink) link.reset();
  }
  if (oldLink) oldLink->Close();
  pipeline.StopPipeline();
}

bool CCameraLogic::IsOpen() const { return CurrentLink() != nullptr; }

std::shared_ptr<CCameraTcp> CCameraLogic::CurrentLink() const {
  std::lock_guard lock(linkLock);
  return link;
}

std::string CCameraLogic::GetLoginKey() const {
  std::lock_guard lock(linkLock);
  return loginKey;
}

// ---- commands ---------------------------------------------------------------

bool CCameraLogic::SendLogin() {
  const std::string key = GetLoginKey();
  return SendCommand(kLogin, {{"SxtId", key}, {"PWD", loginDigest(key)}});
}

bool CCameraLogic::SendCommand(std::int32_t msgType, const std::map<std::string, std::string>& params) {
  const auto current = CurrentLink();
  if (!current) return false;
  MessageEnvelope envelope;
  envelope.msgType = msgType;
  envelope.TimeSep = commandStamp();
  envelope.params = params;
  return current->SendEnvelope(envelope);
}

void CCameraLogic::RegisterReply(std::int32_t msgType, ReplyHandler handler) {
  std::lock_guard lock(replyLock);
  replyHandlers[msgType] = std::move(handler);
}

bool CCameraLogic::SendRequest(PendingRequest& request, const MessageEnvelope& envelope, ReplyHandler handler) {
  RegisterReply(request.MsgType(), std::move(handler));
  const auto current = CurrentLink();
  return current && current->SendEnvelope(envelope);
}

bool CCameraLogic::GetPresetList(std::string& ids, std::string& names) {
  std::lock_guard call(presetRequest.CallLock());
  const MessageEnvelope envelope = presetRequest.Begin(commandStamp());
  if (!SendRequest(presetRequest, envelope, [this](const MessageEnvelope& reply) { presetRequest.Answer(reply); }))
    return false;
  if (!presetRequest.Wait(kAnswerLimitMs)) return false;
  if (presetRequest.Status() != kStatusOk) return false;
  ids = presetRequest.Result("presetIdList");
  names = presetRequest.Result("presetNameList");
  return true;
}

bool CCameraLogic::GetCruiseList(std::string& cruiseIds, std::string& cruiseNames, std::string& presetIds,
                                 std::string& presetNames) {
  std::lock_guard call(cruiseRequest.CallLock());
  const MessageEnvelope envelope = cruiseRequest.Begin(commandStamp());
  if (!SendRequest(cruiseRequest, envelope, [this](const MessageEnvelope& reply) { cruiseRequest.Answer(reply); }))
    return false;
  if (!cruiseRequest.Wait(kAnswerLimitMs)) return false;
  if (cruiseRequest.Status() != kStatusOk) return false;
  cruiseIds = cruiseRequest.Result("cruiseIdList");
  cruiseNames = cruiseRequest.Result("cruiseNameList");
  presetIds = cruiseRequest.Result("presetIdList");
  presetNames = cruiseRequest.Result("presetNameList");
  return true;
}

int CCameraLogic::RequestTalk(std::int32_t& index) {
  std::lock_guard call(talkRequest.CallLock());
  const std::uint32_t stamp = mc::tickCount();
  talkStamp = stamp;
  const MessageEnvelope envelope = talkRequest.Begin(static_cast<std::int32_t>(stamp));
  if (!SendRequest(talkRequest, envelope, [this](const MessageEnvelope& reply) { OnTalkReply(reply); })) return -1;
  if (!talkRequest.Wait(kAnswerLimitMs)) return -1;
  const std::string status = talkRequest.Status();
  if (status == kStatusOk) {
    index = decimalValue(talkRequest.Result("Index"));
    return 1;
  }
  if (status == "-1") return -1;
  return 2;
}

bool CCameraLogic::SendTalkAudio(const StreamAudioDataPtr& data) {
  if (const auto current = CurrentLink()) current->SendAudio(data);
  return true;
}

void CCameraLogic::Zoom(int x, int y, std::int16_t delta) { pipeline.Zoom(x, y, delta); }

// ---- replies (link callback strand) -------------------------------------------

bool CCameraLogic::OnCommand(const MessageEnvelope& envelope) {
  ReplyHandler handler;
  {
    std::lock_guard lock(replyLock);
    const auto it = replyHandlers.find(envelope.msgType);
    if (it == replyHandlers.end()) return false;
    handler = it->second;
  }
  handler(envelope);
  return true;
}

void CCameraLogic::OnLoginReply(const MessageEnvelope& reply) {
  if (reply.param("status") != kStatusOk) cameraRecord->setStatusText(reply.param("errorMsg"));
}

void CCameraLogic::OnRelayNotice(const MessageEnvelope& reply) { cameraRecord->setStatusText(reply.param("errorMsg")); }

void CCameraLogic::OnQualityReply(const MessageEnvelope& reply) {
  // The flags as the main window last stored them; only the level is new.
  CameraAbility ability;
  ability.cameraId = cameraRecord->id;
  ability.EnableQP = cameraRecord->enableQp;
  ability.PTZ = cameraRecord->ptzEnabled;
  ability.Audio = cameraRecord->audioEnabled;
  ability.Speak = cameraRecord->speakEnabled;
  ability.SetTime = cameraRecord->setTimeEnabled;
  ability.ViedoQP = qualityLevel(reply.param("ViedoQP"));
  PostAbility(std::move(ability));
}

void CCameraLogic::OnSettingsReply(const MessageEnvelope& reply) {
  if (reply.param("status") != kStatusOk) return;
  CameraAbility ability = abilityFromSettings(reply, GetLoginKey());
  if (reply.param("AudioType") == "2") audioType = 2;
  PostAbility(std::move(ability));
}

void CCameraLogic::OnTalkReply(const MessageEnvelope& reply) {
  // An answer to an earlier request (another TimeSep) is not this one's.
  if (static_cast<std::uint32_t>(reply.TimeSep) != talkStamp.load()) return;
  talkRequest.Answer(reply);
}

void CCameraLogic::PostAbility(CameraAbility ability) {
  mc::postMessage(AppContext::instance().mainHwnd, mc::msg::MSG_CAMERA_PARAMS, 0, 0,
                  std::make_shared<CameraAbility>(std::move(ability)));
}

void CCameraLogic::OnReconnected() { SendLogin(); }

void CCameraLogic::OnDisconnected() {
  // Only while open: a link that was closed on purpose leaves the title alone.
  std::lock_guard lock(linkLock);
  if (link) cameraRecord->setStatusText(kLinkLostText);
}
