#pragma once
#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "camera/CCameraLogic.h"
#include "camera/IPlayBackNotify.h"
#include "camera/PendingRequest.h"
#include "camera/RecordSearch.h"

// Plays back a device's recordings through a relay in one pane of the
// playback wall: a live camera object opened with a playback id as its login
// key, whose link carries "R" video and "P" audio. Adds the record search,
// the recorded days and stretches, seek, faster, slower, pause and resume, and
// the position and state reports to the playback page.
//
// Threads: SearchRecord blocks its caller (a window worker) for up to 10 s;
// the reply handlers and the IPlayBackNotify calls run on the link's callback
// strand. `records` is guarded by recordsLock, `speed` by speedLock;
// `playState` is atomic.
class CCameraPlayBack : public CCameraLogic {
 public:
  static constexpr std::uint32_t kSearchLimitMs = 10000;
  static constexpr std::int32_t kOtherReplies = -1;  // key of the catch-all reply handler

  CCameraPlayBack(SxtParamPtr cameraRecord, std::shared_ptr<ClientBufferPool> bufferPool,
                  std::shared_ptr<ThreadPool> callbackPool, std::optional<PipelineFactory> factory = std::nullopt);
  ~CCameraPlayBack() override;

  // Searches recordings of `type` ("0" or "1") between two local times
  // ("%Y-%m-%d %H:%M:%S"). The previous result is cleared first. On failure
  // `error` says why: "网络断开", "请求超时", the relay's errorMsg, "数据异常".
  bool SearchRecord(const std::string& type, const std::string& startTime, const std::string& stopTime,
                    std::string& error);
  // A copy of the last search's days.
  void GetRecords(std::vector<RecordDay>& days) const;
  // Moves playback to "<day text> hh:mm:ss". False without a link.
  bool Seek(const std::string& position);
  bool Faster();
  bool Slower();
  // 1 play, 0 pause. The page sets playState itself before calling.
  bool SetPlayState(std::int32_t state);
  double GetSpeed() const;

  // The playback page (not owned; it outlives every playback). Null to stop.
  void SetNotify(IPlayBackNotify* notify);

  // ICameraNotify
  bool OnCommand(const MessageEnvelope& envelope) override;
  void OnPlayTime(const std::string& text) override;

  // 1 playing, 0 paused: as last set by the page or reported by the relay.
  std::atomic<std::int32_t> playState{1};

  std::shared_ptr<CCameraPlayBack> shared() { return std::static_pointer_cast<CCameraPlayBack>(shared_from_this()); }

 private:
  void OnPlayReply(const MessageEnvelope& reply);
  void OnSearchReply(const MessageEnvelope& reply);
  void RegisterPlayReply(std::int32_t msgType, ReplyHandler handler);

  mutable std::mutex speedLock;
  double speed = 1.0;

  mutable std::mutex recordsLock;
  std::vector<RecordDay> records;

  PendingRequest searchRequest;

  mutable std::mutex playReplyLock;  // guards playReplyHandlers
  std::map<std::int32_t, ReplyHandler> playReplyHandlers;

  std::atomic<IPlayBackNotify*> playbackNotify{nullptr};
};
