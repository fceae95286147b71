#include "sim/MediaLibrary.h"

#include <algorithm>

namespace sim {

VideoLoop makeVideoLoop(const VideoKey& key) {
  VideoLoop loop;
  loop.key = key;
  loop.keyInterval = key.fps;
  const int frames = kLoopSeconds * key.fps;
  const TestPicture picture(key.width, key.height, key.number, key.ptz, key.playback);
  VideoEncoder encoder(key.width, key.height, key.fps, key.bitrateKbps, loop.keyInterval);
  I420Picture raw;
  // The first pass lets the rate control settle; the second is kept.
  for (int pass = 0; pass < 2; ++pass)
    for (int i = 0; i < frames; ++i) {
      picture.render(i, frames, raw);
      EncodedPicture coded = encoder.encode(raw);
      if (pass == 1) loop.frames.push_back(std::move(coded));
    }
  if (!loop.frames.front().key) throw EncoderError("x264: the loop does not open with a key frame");
  return loop;
}

int bitrateForLevel(int configuredKbps, int level) {
  static const int kPercent[5] = {25, 50, 100, 150, 200};
  const int percent = kPercent[std::clamp(level, 1, 5) - 1];
  return std::max(16, configuredKbps * percent / 100);
}

MediaLibrary::MediaLibrary(int threads, std::size_t keptVideoLoops) : keptVideoLoops_(keptVideoLoops) {
  for (int i = 0; i < std::max(1, threads); ++i) threads_.emplace_back([this] { work(); });
}

MediaLibrary::~MediaLibrary() {
  {
    std::lock_guard<std::mutex> guard(lock_);
    stopping_ = true;
  }
  wake_.notify_all();
  for (auto& t : threads_) t.join();
}

void MediaLibrary::post(std::function<void()> job) {
  {
    std::lock_guard<std::mutex> guard(lock_);
    jobs_.push_back(std::move(job));
  }
  wake_.notify_one();
}

void MediaLibrary::work() {
  while (true) {
    std::function<void()> job;
    {
      std::unique_lock<std::mutex> guard(lock_);
      wake_.wait(guard, [&] { return stopping_ || !jobs_.empty(); });
      if (stopping_) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
}

void MediaLibrary::keepVideo(const VideoKey& key, std::shared_ptr<const VideoLoop> loop) {
  videoLoops_[key] = std::move(loop);
  videoUse_.remove(key);
  videoUse_.push_back(key);
  while (videoUse_.size() > keptVideoLoops_) {
    videoLoops_.erase(videoUse_.front());
    videoUse_.pop_front();
  }
}

void MediaLibrary::video(const VideoKey& key, VideoDone done) {
  std::shared_ptr<const VideoLoop> kept;
  {
    std::lock_guard<std::mutex> guard(lock_);
    const auto it = videoLoops_.find(key);
    if (it != videoLoops_.end()) {
      kept = it->second;
      videoUse_.remove(key);
      videoUse_.push_back(key);
    } else {
      auto& waiting = videoWaiting_[key];
      waiting.push_back(std::move(done));
      if (waiting.size() > 1) return;  // already being coded
    }
  }
  if (kept) {
    done(kept, {});
    return;
  }
  post([this, key] {
    std::shared_ptr<const VideoLoop> loop;
    std::string error;
    try {
      loop = std::make_shared<const VideoLoop>(makeVideoLoop(key));
    } catch (const std::exception& e) {
      error = e.what();
    }
    std::vector<VideoDone> callbacks;
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (loop) {
        keepVideo(key, loop);
        ++videoLoopsCoded_;
      }
      callbacks.swap(videoWaiting_[key]);
      videoWaiting_.erase(key);
    }
    for (auto& cb : callbacks) cb(loop, error);
  });
}

void MediaLibrary::audio(const AudioSpec& spec, AudioDone done) {
  const AudioKey key{spec.codec, spec.sampleRate, spec.channels, spec.toneHz, spec.bitrateKbps};
  std::shared_ptr<const AudioLoop> kept;
  {
    std::lock_guard<std::mutex> guard(lock_);
    const auto it = audioLoops_.find(key);
    if (it != audioLoops_.end()) {
      kept = it->second;
    } else {
      auto& waiting = audioWaiting_[key];
      waiting.push_back(std::move(done));
      if (waiting.size() > 1) return;
    }
  }
  if (kept) {
    done(kept, {});
    return;
  }
  post([this, key, spec] {
    std::shared_ptr<const AudioLoop> loop;
    std::string error;
    try {
      loop = std::make_shared<const AudioLoop>(makeAudioLoop(spec));
    } catch (const std::exception& e) {
      error = e.what();
    }
    std::vector<AudioDone> callbacks;
    {
      std::lock_guard<std::mutex> guard(lock_);
      if (loop) audioLoops_[key] = loop;
      callbacks.swap(audioWaiting_[key]);
      audioWaiting_.erase(key);
    }
    for (auto& cb : callbacks) cb(loop, error);
  });
}

int MediaLibrary::videoLoopsCoded() const {
  std::lock_guard<std::mutex> guard(lock_);
  return videoLoopsCoded_;
}

}  // namespace sim
