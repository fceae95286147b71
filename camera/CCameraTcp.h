#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>

#include "camera/ICameraNotify.h"
#include "link/CatalogueParam.h"
#include "link/Client.h"
#include "link/MessageEnvelope.h"
#include "media/CBufferManage.h"
#include "media/StreamAudioData.h"

class ThreadPool;

// One TCP link to a relay (transpond) server, owned by one open pane. Carries
// command envelopes both ways and media frames: received video and audio go
// into the camera's CBufferManage (the payload copied once, into a pooled
// frame record), talk-back audio goes out. Once a second, on the arrival of a
// video frame, it publishes the live data rate (the camera record's status
// text and the process-wide received-byte counter) or, for playback video, the
// recording time of the picture to its owner.
//
// Threads: the Client callbacks (and so every ICameraNotify call) run on the
// callback pool given at construction, serialised and in arrival order.
// Connect, SendEnvelope, SendAudio and Close may be called from any thread.
// Always owned by a shared pointer.
class CCameraTcp : public Client {
 public:
  static constexpr std::uint32_t kConnectLimitMs = 3000;
  static constexpr std::uint32_t kPublishEveryMs = 1000;

  using Clock = std::function<std::uint32_t()>;

  // `clock` gives the local millisecond tick count (mc::tickCount when empty;
  // tests pass their own).
  CCameraTcp(SxtParamPtr cameraRecord, std::shared_ptr<ClientBufferPool> bufferPool,
             std::shared_ptr<ThreadPool> callbackPool, std::shared_ptr<CBufferManage> bufferManage,
             Clock clock = {});
  ~CCameraTcp() override;

  // The owner, told about everything the link sees; locked for each call.
  void SetNotify(std::weak_ptr<ICameraNotify> owner);

  // Connects to the camera record's relay (transpondIp, transpondPort) within
  // 3000 ms, remembering `key` as the login key. False when the key, the
  // address or the port is empty or the relay cannot be reached in time.
  bool Connect(const std::string& key);

  // Frames the envelope and queues it. False when the link is closed or the
  // envelope cannot be framed; nothing is queued then.
  bool SendEnvelope(const MessageEnvelope& envelope);

  // Sends one talk-back record as an "A" audio frame carrying its encoded
  // bytes. False when the link is closed or the record has nothing to send.
  bool SendAudio(const StreamAudioDataPtr& data);

  // Ends the link and its reconnection. The owner hears nothing more from it:
  // notifications still queued are dropped.
  void Close();

  std::string LoginKey() const;
  const SxtParamPtr& CameraRecord() const { return cameraRecord; }

 protected:
  void OnConnected() override;
  void OnReconnected() override;
  void OnRecv(const BufferPtr& body) override;
  void OnSent(const BufferPtr& buffer, std::int32_t remaining) override;
  void OnDisconnected(const boost::system::error_code& error) override;

 private:
  std::shared_ptr<ICameraNotify> LockNotify() const;
  void OnMediaFrame(const std::uint8_t* body, std::int32_t length);
  void OnVideoFrame(const std::uint8_t* body, std::int32_t length, std::uint32_t tag);
  void OnAudioFrame(const std::uint8_t* body, std::int32_t length);
  void Publish(const std::uint8_t* body, std::uint32_t tag);

  const SxtParamPtr cameraRecord;
  const std::shared_ptr<CBufferManage> bufferManage;
  const Clock clock;

  mutable std::mutex notifyLock;  // guards notify and loginKey; held only to copy them
  std::weak_ptr<ICameraNotify> notify;
  std::string loginKey;

  std::mutex sendLock;  // serialises the building of command frames

  // Set by Close: bodies still queued for the callbacks are dropped, so a
  // closed link neither fills the buffers nor rewrites the pane title.
  std::atomic<bool> detached{false};

  // Receive-path state: written by the callbacks, reset by Connect before
  // the connection exists.
  std::atomic<std::uint32_t> lastStatTick{0};
  std::atomic<bool> firstFrame{true};
  // Bytes of media bodies since the last publication. Wider than the data
  // rate needs: playback frames add to it without ever publishing it.
  std::atomic<std::int64_t> bytesThisSecond{0};
};
