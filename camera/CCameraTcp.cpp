#include "camera/CCameraTcp.h"

#include <cstring>
#include <limits>

#include "camera/DecimalText.h"
#include "camera/RelayFrame.h"
#include "common/TickCount.h"
#include "core/AppContext.h"
#include "link/Payload.h"
#include "media/FrameHeader.h"

using mc::relay::headerWord;

CCameraTcp::CCameraTcp(SxtParamPtr cameraRecord, std::shared_ptr<ClientBufferPool> bufferPool,
                       std::shared_ptr<ThreadPool> callbackPool, std::shared_ptr<CBufferManage> bufferManage,
                       Clock clock)
    : Client(std::move(bufferPool), std::move(callbackPool), nullptr, false),
      cameraRecord(std::move(cameraRecord)),
      bufferManage(std::move(bufferManage)),
      clock(clock ? std::move(clock) : Clock(&mc::tickCount)) {}

CCameraTcp::~CCameraTcp() = default;

void CCameraTcp::SetNotify(std::weak_ptr<ICameraNotify> owner) {
  std::lock_guard lock(notifyLock);
  notify = std::move(owner);
}

std::shared_ptr<ICameraNotify> CCameraTcp::LockNotify() const {
  std::lock_guard lock(notifyLock);
  return notify.lock();
}

std::string CCameraTcp::LoginKey() const {
  std::lock_guard lock(notifyLock);
  return loginKey;
}

bool CCameraTcp::Connect(const std::string& key) {
  bytesThisSecond = 0;
  {
    std::lock_guard lock(notifyLock);
    loginKey = key;
  }
  if (key.empty() || !cameraRecord) return false;
  const std::string host = cameraRecord->transpondIp;
  const std::string port = cameraRecord->transpondPort;
  if (host.empty() || port.empty()) return false;
  if (!connect(host, mc::relay::decimalValue(port), kConnectLimitMs)) return false;
  firstFrame = true;
  return true;
}

bool CCameraTcp::SendEnvelope(const MessageEnvelope& envelope) {
  if (isClosed()) return false;
  BufferPtr frame;
  {
    std::lock_guard lock(sendLock);
    frame = getBuffer();
    if (!frame || !buildFrame(envelope, *frame)) return false;
  }
  return send(std::move(frame));
}

bool CCameraTcp::SendAudio(const StreamAudioDataPtr& data) {
  if (isClosed() || !data) return false;
  BufferPtr frame = getBuffer();
  if (!frame || !mc::relay::buildTalkAudioFrame(*data, *frame)) return false;
  return send(std::move(frame));
}

void CCameraTcp::Close() {
  detached = true;
  SetNotify({});
  close();
}

// ---- receiving ----------------------------------------------------------------

void CCameraTcp::OnRecv(const BufferPtr& body) {
  if (!body || body->size() <= 0 || detached) return;
  if (body->data()[0] == mc::relay::kMediaByte) {
    OnMediaFrame(body->data(), body->size());
    return;
  }
  MessageEnvelope envelope;
  if (!parsePayload(*body, envelope)) return;
  if (auto owner = LockNotify()) owner->OnCommand(envelope);
}

void CCameraTcp::OnMediaFrame(const std::uint8_t* body, std::int32_t length) {
  bytesThisSecond += length;
  if (length < mc::relay::kTagOffset + 4) return;  // too short to carry a tag
  const std::uint32_t tag = mc::media::frameTag(headerWord(body, 0));
  switch (tag) {
    case mc::media::kTagLiveVideo:
    case mc::media::kTagPlaybackVideo:
      OnVideoFrame(body, length, tag);
      break;
    case mc::media::kTagLiveAudio:
    case mc::media::kTagPlaybackAudio:
      OnAudioFrame(body, length);
      break;
    default:
      break;
  }
}

void CCameraTcp::OnVideoFrame(const std::uint8_t* body, std::int32_t length, std::uint32_t tag) {
  if (length < mc::relay::kVideoBodyHeader) return;
  const std::uint32_t n = mc::media::payloadLength(headerWord(body, 2));
  if (n == 0 || static_cast<std::uint32_t>(length - mc::relay::kVideoBodyHeader) != n) return;

  const std::uint32_t now = clock();
  if (firstFrame.exchange(false)) bufferManage->SetClockOffset(static_cast<std::int32_t>(now - headerWord(body, 1)));

  VideoFramePtr frame = bufferManage->AcquireVideoFrame(n);
  if (!frame) return;
  for (int i = 0; i < mc::media::kVideoHeaderWords; ++i) frame->header[i] = headerWord(body, i);
  std::memcpy(frame->payload.data(), body + mc::relay::kVideoBodyHeader, n);

  if (now - lastStatTick.load() > kPublishEveryMs) {
    lastStatTick = now;
    Publish(body, tag);
  }
  bufferManage->PushVideoFrame(std::move(frame));
}

void CCameraTcp::Publish(const std::uint8_t* body, std::uint32_t tag) {
  if (tag == mc::media::kTagPlaybackVideo) {
    const std::string text = mc::relay::formatPlayTime(headerWord(body, 5));
    if (auto owner = LockNotify()) owner->OnPlayTime(text);
    return;
  }
  const std::int64_t bytes = bytesThisSecond.exchange(0);
  const auto counted = static_cast<std::int32_t>(std::min<std::int64_t>(bytes, std::numeric_limits<std::int32_t>::max()));
  AppContext::instance().addReceivedBytes(counted);
  if (cameraRecord) cameraRecord->setStatusText(std::to_string(bytes / 1024) + "KB");
}

void CCameraTcp::OnAudioFrame(const std::uint8_t* body, std::int32_t length) {
  if (length < mc::relay::kAudioBodyHeader) return;
  const std::uint32_t n = mc::media::payloadLength(headerWord(body, 2));
  if (static_cast<std::uint32_t>(length - mc::relay::kAudioBodyHeader) < n) return;
  AudioFramePtr frame = bufferManage->AcquireAudioFrame(static_cast<std::int32_t>(n));
  if (!frame) return;
  for (int i = 0; i < mc::media::kAudioHeaderWords; ++i) frame->header[i] = headerWord(body, i);
  std::memcpy(frame->payload.data(), body + mc::relay::kAudioBodyHeader, n);
  bufferManage->PushAudioFrame(std::move(frame));
}

// ---- link events ----------------------------------------------------------------

void CCameraTcp::OnConnected() {
  firstFrame = true;
  if (auto owner = LockNotify()) owner->OnConnected();
}

void CCameraTcp::OnReconnected() {
  firstFrame = true;
  if (auto owner = LockNotify()) owner->OnReconnected();
}

void CCameraTcp::OnDisconnected(const boost::system::error_code&) {
  if (auto owner = LockNotify()) owner->OnDisconnected();
}

void CCameraTcp::OnSent(const BufferPtr& buffer, std::int32_t remaining) {
  if (auto owner = LockNotify()) owner->OnSent(buffer, remaining);
}
