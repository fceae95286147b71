#pragma once
#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "media/StreamFrame.h"

// Counters of what the buffers dropped, for statistics and benchmarks.
struct BufferStats {
  std::uint64_t videoPushed = 0;
  std::uint64_t videoTrimmed = 0;        // removed by the queue trimming
  std::uint64_t videoDiscontinuous = 0;  // removed by the continuity check
  std::uint64_t audioPushed = 0;
  std::uint64_t audioOverflowed = 0;     // oldest frames pushed out of a full queue
};

// The frame queues of one camera, shared by its stream link (network thread:
// acquire, fill, push) and its dispatch thread (pop, handle, release). Frame
// records are recycled through pools, so a steady stream allocates nothing.
// Every operation may be called from any thread.
class CBufferManage {
 public:
  static constexpr std::size_t kQueueLimit = 100;
  static constexpr std::int32_t kHoldWindowMs = 500;
  static constexpr std::int32_t kMaxAudioLength = 102399;

  using Clock = std::function<std::uint32_t()>;

  // `clock` gives the local millisecond tick count (wrapping 32-bit); the
  // default is mc::tickCount. Tests pass their own.
  explicit CBufferManage(Clock clock = {});
  ~CBufferManage();
  CBufferManage(const CBufferManage&) = delete;
  CBufferManage& operator=(const CBufferManage&) = delete;

  // A record with a zeroed header and room for at least `length` payload
  // bytes (plus zeroed padding). Never refuses.
  VideoFramePtr AcquireVideoFrame(std::uint32_t length);
  // Queues a filled record, trimming a full queue back to a key frame first.
  bool PushVideoFrame(VideoFramePtr frame);
  // The next frame that is due and continues the sequence, or null.
  VideoFramePtr PopVideoFrame();
  // Gives a handled record back to the pool; null is ignored.
  void ReleaseVideoFrame(VideoFramePtr frame);

  // A record with room for `length` bytes, or null when `length` lies outside
  // 1 to 102399 (the link then drops the frame).
  AudioFramePtr AcquireAudioFrame(std::int32_t length);
  // Queues a filled record; a full queue loses its oldest frame to the pool.
  void PushAudioFrame(AudioFramePtr frame);
  // The oldest queued audio frame, or null.
  AudioFramePtr PopAudioFrame();
  void ReleaseAudioFrame(AudioFramePtr frame);

  // Called by the stream link on the first video frame after each connect and
  // reconnect: offset = local tick count - that frame's timestamp.
  void SetClockOffset(std::int32_t offset);

  // Deletes every queued and pooled record (records handed out stay valid and
  // come back through the Release calls).
  void ClearVideo();
  void ClearAudio();

  BufferStats stats() const;
  std::size_t videoQueued() const;
  std::size_t videoPooled() const;
  std::size_t audioQueued() const;
  std::size_t audioPooled() const;

 private:
  Clock clock_;

  mutable std::mutex videoLock;  // guards the video queue, pool and sequence
  std::deque<VideoFramePtr> videoQueue;
  std::vector<VideoFramePtr> videoPool;
  std::uint32_t lastSequence = 0;  // sequence of the last released frame; 0 = none
  std::atomic<std::int32_t> clockOffset{0};
  const std::int32_t holdWindow = kHoldWindowMs;

  mutable std::mutex audioLock;  // guards the audio queue and pool
  std::deque<AudioFramePtr> audioQueue;
  std::vector<AudioFramePtr> audioPool;

  std::atomic<std::uint64_t> videoPushed_{0}, videoTrimmed_{0}, videoDiscontinuous_{0};
  std::atomic<std::uint64_t> audioPushed_{0}, audioOverflowed_{0};
};
