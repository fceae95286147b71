#include "media/CBufferManage.h"

#include <cstdlib>

#include "common/TickCount.h"

CBufferManage::CBufferManage(Clock clock) : clock_(clock ? std::move(clock) : Clock(&mc::tickCount)) {}

CBufferManage::~CBufferManage() = default;

VideoFramePtr CBufferManage::AcquireVideoFrame(std::uint32_t length) {
  VideoFramePtr frame;
  {
    std::lock_guard lock(videoLock);
    // One record stays in the pool; it is taken once another joins it.
    if (videoPool.size() > 1) {
      frame = std::move(videoPool.back());
      videoPool.pop_back();
    }
  }
  if (!frame) frame = std::make_unique<StreamVideoFrame>();
  frame->header.fill(0);
  growPayload(frame->payload, length);
  return frame;
}

bool CBufferManage::PushVideoFrame(VideoFramePtr frame) {
  if (!frame) return false;
  std::lock_guard lock(videoLock);
  if (videoQueue.size() >= kQueueLimit) {
    // Trim from the head up to the next key frame, which stays at the head so
    // decoding resumes on a picture that needs no predecessor. A key frame
    // already at the head goes too: keeping it would stop the trimming for
    // good and let the queue grow without bound.
    bool head = true;
    while (!videoQueue.empty()) {
      if (!head && videoQueue.front()->isKeyFrame()) break;
      videoPool.push_back(std::move(videoQueue.front()));
      videoQueue.pop_front();
      ++videoTrimmed_;
      head = false;
    }
  }
  videoQueue.push_back(std::move(frame));
  ++videoPushed_;
  return true;
}

VideoFramePtr CBufferManage::PopVideoFrame() {
  const std::uint32_t now = clock_();
  std::lock_guard lock(videoLock);
  if (videoQueue.empty()) return nullptr;
  StreamVideoFrame& head = *videoQueue.front();

  // Playout delay: a frame is due once the sender's clock, moved onto ours by
  // the offset, is more than the hold window behind. A frame further away in
  // either direction (a clock jump, a stale offset) goes at once.
  const auto due = static_cast<std::int32_t>(now - static_cast<std::uint32_t>(clockOffset.load()) - head.timestamp());
  if (std::llabs(static_cast<long long>(due)) <= holdWindow) return nullptr;

  VideoFramePtr frame = std::move(videoQueue.front());
  videoQueue.pop_front();

  // Continuity: after a gap every frame up to the next key frame is dropped,
  // since none of them can be decoded without the lost one.
  const bool continues = lastSequence == 0 || frame->sequence() - lastSequence == 1u || frame->isKeyFrame();
  if (!continues) {
    ++videoDiscontinuous_;
    return nullptr;  // the record is deleted here
  }
  lastSequence = frame->sequence();
  return frame;
}

void CBufferManage::ReleaseVideoFrame(VideoFramePtr frame) {
  if (!frame) return;
  std::lock_guard lock(videoLock);
  videoPool.push_back(std::move(frame));
}

AudioFramePtr CBufferManage::AcquireAudioFrame(std::int32_t length) {
  if (length <= 0 || length > kMaxAudioLength) return nullptr;
  AudioFramePtr frame;
  {
    std::lock_guard lock(audioLock);
    if (!audioPool.empty()) {
      frame = std::move(audioPool.back());
      audioPool.pop_back();
    }
  }
  if (!frame) frame = std::make_unique<StreamAudioFrame>();
  frame->header.fill(0);
  growPayload(frame->payload, static_cast<std::size_t>(length));
  return frame;
}

void CBufferManage::PushAudioFrame(AudioFramePtr frame) {
  if (!frame) return;
  std::lock_guard lock(audioLock);
  const bool full = audioQueue.size() >= kQueueLimit;
  audioQueue.push_back(std::move(frame));
  ++audioPushed_;
  if (full) {
    audioPool.push_back(std::move(audioQueue.front()));
    audioQueue.pop_front();
    ++audioOverflowed_;
  }
}

AudioFramePtr CBufferManage::PopAudioFrame() {
  // Audio carries no timestamp: frames go in arrival order as soon as asked.
  std::lock_guard lock(audioLock);
  if (audioQueue.empty()) return nullptr;
  AudioFramePtr frame = std::move(audioQueue.front());
  audioQueue.pop_front();
  return frame;
}

void CBufferManage::ReleaseAudioFrame(AudioFramePtr frame) {
  if (!frame) return;
  std::lock_guard lock(audioLock);
  audioPool.push_back(std::move(frame));
}

void CBufferManage::SetClockOffset(std::int32_t offset) { clockOffset.store(offset); }

void CBufferManage::ClearVideo() {
  std::deque<VideoFramePtr> queue;
  std::vector<VideoFramePtr> pool;
  {
    std::lock_guard lock(videoLock);
    queue.swap(videoQueue);
    pool.swap(videoPool);
    lastSequence = 0;
  }
  // Records are freed outside the lock.
}

void CBufferManage::ClearAudio() {
  std::deque<AudioFramePtr> queue;
  std::vector<AudioFramePtr> pool;
  {
    std::lock_guard lock(audioLock);
    queue.swap(audioQueue);
    pool.swap(audioPool);
  }
}

BufferStats CBufferManage::stats() const {
  return BufferStats{videoPushed_.load(), videoTrimmed_.load(), videoDiscontinuous_.load(), audioPushed_.load(),
                     audioOverflowed_.load()};
}

std::size_t CBufferManage::videoQueued() const {
  std::lock_guard lock(videoLock);
  return videoQueue.size();
}

std::size_t CBufferManage::videoPooled() const {
  std::lock_guard lock(videoLock);
  return videoPool.size();
}

std::size_t CBufferManage::audioQueued() const {
  std::lock_guard lock(audioLock);
  return audioQueue.size();
}

std::size_t CBufferManage::audioPooled() const {
  std::lock_guard lock(audioLock);
  return audioPool.size();
}
