#include "camera/CCameraPlayBack.h"

#include <cstdlib>

#include "camera/CameraReplies.h"
#include "camera/DecimalText.h"
#include "common/TickCount.h"

using namespace mc::relay;

CCameraPlayBack::CCameraPlayBack(SxtParamPtr cameraRecord, std::shared_ptr<ClientBufferPool> bufferPool,
                                 std::shared_ptr<ThreadPool> callbackPool, std::optional<PipelineFactory> factory)
    : CCameraLogic(std::move(cameraRecord), std::move(bufferPool), std::move(callbackPool), std::move(factory)),
      searchRequest(kSearchRecord, {"data", "time"}) {
  RegisterPlayReply(kOtherReplies, [this](const MessageEnvelope& reply) { OnPlayReply(reply); });
}

CCameraPlayBack::~CCameraPlayBack() = default;

void CCameraPlayBack::RegisterPlayReply(std::int32_t msgType, ReplyHandler handler) {
  std::lock_guard lock(playReplyLock);
  playReplyHandlers[msgType] = std::move(handler);
}

bool CCameraPlayBack::SearchRecord(const std::string& type, const std::string& startTime,
                                   const std::string& stopTime, std::string& error) {
  std::lock_guard call(searchRequest.CallLock());
  {
    std::lock_guard lock(recordsLock);
    records.clear();
  }
  playState = 1;

  const MessageEnvelope envelope = searchRequest.Begin(
      static_cast<std::int32_t>(mc::tickCount()), {{"type", type}, {"startTime", startTime}, {"stopTime", stopTime}});
  RegisterPlayReply(kSearchRecord, [this](const MessageEnvelope& reply) { OnSearchReply(reply); });
  const auto current = CurrentLink();
  if (!current || !current->SendEnvelope(envelope)) {
    error = "网络断开";
    return false;
  }
  if (!searchRequest.Wait(kSearchLimitMs)) {
    error = "请求超时";
    return false;
  }
  if (searchRequest.Status() != kStatusOk) {
    error = searchRequest.ErrorMsg();
    return false;
  }
  std::vector<RecordDay> days;
  if (!parseRecordSearch(searchRequest.Result("data"), searchRequest.Result("time"), days)) {
    error = "数据异常";
    return false;
  }
  std::lock_guard lock(recordsLock);
  records = std::move(days);
  return true;
}

void CCameraPlayBack::OnSearchReply(const MessageEnvelope& reply) { searchRequest.Answer(reply); }

void CCameraPlayBack::GetRecords(std::vector<RecordDay>& days) const {
  std::lock_guard lock(recordsLock);
  days = records;
}

bool CCameraPlayBack::Seek(const std::string& position) { return SendCommand(kSeek, {{"posTime", position}}); }

bool CCameraPlayBack::Faster() { return SendCommand(kPlayFaster); }

bool CCameraPlayBack::Slower() { return SendCommand(kPlaySlower); }

bool CCameraPlayBack::SetPlayState(std::int32_t state) {
  return SendCommand(kPlayState, {{"type", std::to_string(state)}});
}

double CCameraPlayBack::GetSpeed() const {
  std::lock_guard lock(speedLock);
  return speed;
}

void CCameraPlayBack::SetNotify(IPlayBackNotify* notify) { playbackNotify = notify; }

bool CCameraPlayBack::OnCommand(const MessageEnvelope& envelope) {
  if (CCameraLogic::OnCommand(envelope)) return true;
  ReplyHandler handler;
  {
    std::lock_guard lock(playReplyLock);
    auto it = playReplyHandlers.find(envelope.msgType);
    if (it == playReplyHandlers.end()) it = playReplyHandlers.find(kOtherReplies);
    if (it != playReplyHandlers.end()) handler = it->second;
  }
  if (handler) handler(envelope);
  return true;
}

void CCameraPlayBack::OnPlayReply(const MessageEnvelope& reply) {
  IPlayBackNotify* const page = playbackNotify.load();
  switch (reply.msgType) {
    case kPlayState: {
      const std::string type = reply.param("type");
      if (type.empty()) return;
      playState = decimalValue(type);
      break;
    }
    case kPlayFaster:
    case kPlaySlower: {
      const std::string text = reply.param("speed");
      if (text.empty()) return;
      std::lock_guard lock(speedLock);
      speed = std::atof(text.c_str());
      break;
    }
    default:
      return;  // a seek's reply, or anything else: nothing to show
  }
  if (page) page->OnPlayStateChanged();
}

void CCameraPlayBack::OnPlayTime(const std::string& text) {
  if (IPlayBackNotify* const page = playbackNotify.load()) page->OnPlayTime(cameraRecord, text);
}
