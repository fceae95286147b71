#include "media/AudioLogic.h"

#include <boost/thread/thread.hpp>
#include <cstring>

#include "core/OLog.h"
#include "core/OThread.h"

std::shared_ptr<AudioLogic> AudioLogic::instance() {
  static const std::shared_ptr<AudioLogic> logic = create(createSoundOutput());
  return logic;
}

std::shared_ptr<AudioLogic> AudioLogic::create(std::unique_ptr<ISoundOutput> device) {
  std::shared_ptr<AudioLogic> logic(new AudioLogic(std::move(device)));
  logic->start();
  return logic;
}

AudioLogic::AudioLogic(std::unique_ptr<ISoundOutput> device)
    : ring_(std::move(device)), playThread_(OThread::create()) {}

AudioLogic::~AudioLogic() { stop(); }

void AudioLogic::start() {
  // The thread ends before this object does: stop() joins it.
  playThread_->start("audio play thread!", [this] { playLoop(); });
}

void AudioLogic::stop() {
  playThread_->stop();
  ring_.close();
  openFormat_ = {};
}

void AudioLogic::EnqueuePcm(const std::uint8_t* pcm, std::uint32_t length, std::uint32_t sampleRate,
                            std::int32_t bitsPerSample, std::int32_t channels) {
  if (!pcm || length == 0) return;
  {
    boost::lock_guard<boost::mutex> lock(pendingMutex_);
    if (pending_.size() >= kPendingLimit) {
      ++droppedQueueFull_;
      return;
    }
  }
  StreamAudioDataPtr record = takeSpare();
  record->set(length, sampleRate, bitsPerSample, channels);
  std::memcpy(record->data.get(), pcm, length);
  bool accepted = false;
  {
    boost::lock_guard<boost::mutex> lock(pendingMutex_);
    accepted = pending_.size() < kPendingLimit;  // another camera may have filled it meanwhile
    if (accepted) pending_.push_back(record);
  }
  if (!accepted) {
    ++droppedQueueFull_;
    putSpare(std::move(record));
    return;
  }
  ++queued_;
  pendingReady_.notify_one();
}

StreamAudioDataPtr AudioLogic::takeSpare() {
  {
    std::lock_guard lock(spareMutex_);
    if (!spare_.empty()) {
      StreamAudioDataPtr record = std::move(spare_.back());
      spare_.pop_back();
      return record;
    }
  }
  return std::make_shared<StreamAudioData>();
}

void AudioLogic::putSpare(StreamAudioDataPtr record) {
  record->encodedData = nullptr;
  record->encodedLength = 0;
  std::lock_guard lock(spareMutex_);
  spare_.push_back(std::move(record));
}

void AudioLogic::playLoop() {
  for (;;) {
    StreamAudioDataPtr record;
    {
      boost::unique_lock<boost::mutex> lock(pendingMutex_);
      while (pending_.empty()) pendingReady_.wait(lock);  // interruption point
      record = std::move(pending_.front());
      pending_.pop_front();
    }
    play(*record);
    putSpare(std::move(record));
  }
}

void AudioLogic::play(const StreamAudioData& record) {
  const PcmFormat format{record.sampleRate, record.bitsPerSample, record.channels};
  if (format != openFormat_ || ring_.deviceFailed()) {
    ring_.close();
    openFormat_ = {};
    if (ring_.open(format)) {
      openFormat_ = format;
      ++opens_;
    } else {
      ++openFailures_;
    }
  }
  if (!ring_.isOpen()) {
    ++droppedNoDevice_;
    return;
  }
  const long taken = ring_.write(record.data.get(), record.length);
  if (taken > 0) bytesWritten_ += static_cast<std::uint64_t>(taken);
  if (taken < static_cast<long>(record.length))
    bytesDroppedRingFull_ += record.length - static_cast<std::uint64_t>(taken < 0 ? 0 : taken);
  ++played_;
  if (ring_.deviceFailed()) {
    LOG_WARNING("sound output %s failed; it is reopened with the next PCM", ring_.deviceName());
    ring_.close();
    openFormat_ = {};
  }
}

AudioLogic::Stats AudioLogic::stats() const {
  Stats s;
  s.queued = queued_;
  s.droppedQueueFull = droppedQueueFull_;
  s.played = played_;
  s.droppedNoDevice = droppedNoDevice_;
  s.bytesWritten = bytesWritten_;
  s.bytesDroppedRingFull = bytesDroppedRingFull_;
  s.opens = opens_;
  s.openFailures = openFailures_;
  return s;
}
