#include "sim/LiveStream.h"

#include <algorithm>
#include <cstdio>

#include "common/TickCount.h"

namespace sim {

namespace asio = boost::asio;

LiveStream::LiveStream(asio::io_service& service, std::shared_ptr<MediaLibrary> library, const CameraRecord& camera,
                       const PtzView& ptz)
    : service_(service), library_(std::move(library)), camera_(camera), timer_(service) {
  wanted_ = VideoKey{camera.video.width,
                     camera.video.height,
                     camera.video.fps,
                     bitrateForLevel(camera.video.bitrateKbps, camera.quality),
                     camera.number,
                     ptz,
                     false};
}

LiveStream::~LiveStream() = default;

void LiveStream::add(const std::shared_ptr<MediaSink>& viewer) {
  viewers_.push_back(viewer);
  if (current_ || next_) return;
  // First viewer: fetch the loops (coded once and kept by the library).
  want(wanted_);
  if (camera_.audio.codec != AudioCodec::None) {
    std::weak_ptr<LiveStream> weak = shared_from_this();
    asio::io_service& service = service_;
    library_->audio(camera_.audio, [weak, &service](std::shared_ptr<const AudioLoop> loop, const std::string& error) {
      if (!loop) std::fprintf(stderr, "platform-sim: no sound: %s\n", error.c_str());
      service.post([weak, loop] {
        if (auto self = weak.lock()) self->audioReady(loop);
      });
    });
  }
}

void LiveStream::remove(const MediaSink* viewer) {
  viewers_.erase(std::remove_if(viewers_.begin(), viewers_.end(),
                                [viewer](const std::weak_ptr<MediaSink>& w) {
                                  auto v = w.lock();
                                  return !v || v.get() == viewer;
                                }),
                 viewers_.end());
}

void LiveStream::setPicture(const PtzView& ptz, int quality) {
  VideoKey key = wanted_;
  key.ptz = ptz;
  key.bitrateKbps = bitrateForLevel(camera_.video.bitrateKbps, quality);
  camera_.quality = quality;
  if (key == wanted_) return;
  want(key);
}

void LiveStream::want(const VideoKey& key) {
  wanted_ = key;
  std::weak_ptr<LiveStream> weak = shared_from_this();
  asio::io_service& service = service_;
  library_->video(key, [weak, &service, key](std::shared_ptr<const VideoLoop> loop, const std::string& error) {
    if (!loop) std::fprintf(stderr, "platform-sim: no pictures: %s\n", error.c_str());
    service.post([weak, key, loop] {
      if (auto self = weak.lock()) self->videoReady(key, loop);
    });
  });
}

void LiveStream::videoReady(const VideoKey& key, std::shared_ptr<const VideoLoop> loop) {
  if (stopped_ || !loop || !(key == wanted_)) return;
  if (!current_) current_ = loop;
  else next_ = loop;
  if (!running_) {
    running_ = true;
    started_ = due_ = std::chrono::steady_clock::now();
    startTick_ = mc::tickCount();
    tick();
  }
}

void LiveStream::audioReady(std::shared_ptr<const AudioLoop> loop) {
  if (stopped_ || !loop || loop->frames.empty()) return;
  audio_ = loop;
  // Sound starts with the pictures being sent now.
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
  audioSent_ = running_ ? static_cast<std::uint64_t>(elapsed / audio_->frameSeconds()) : 0;
}

void LiveStream::stop() {
  stopped_ = true;
  running_ = false;
  viewers_.clear();
  boost::system::error_code ignored;
  timer_.cancel(ignored);
}

template <typename Send>
void LiveStream::each(Send send) {
  bool pruned = false;
  for (const auto& weak : viewers_) {
    if (auto viewer = weak.lock()) send(*viewer);
    else pruned = true;
  }
  if (pruned)
    viewers_.erase(std::remove_if(viewers_.begin(), viewers_.end(), [](const auto& w) { return w.expired(); }),
                   viewers_.end());
}

void LiveStream::tick() {
  if (stopped_) return;
  // Switch to new pictures only where a key frame opens a group.
  if (next_ && index_ % static_cast<std::size_t>(current_->keyInterval) == 0) {
    current_ = std::move(next_);
    index_ = 0;
  }
  const EncodedPicture& picture = current_->frames[index_ % current_->frames.size()];
  VideoHeader header;
  header.tag = kTagLiveVideo;
  // Stamped with the time the picture is due, as a camera stamps capture
  // time: a picture sent late on a busy machine keeps its place in time.
  header.timestamp = startTick_ + static_cast<std::uint32_t>(
                                      std::chrono::duration_cast<std::chrono::milliseconds>(due_ - started_).count());
  header.sequence = ++sequence_;
  header.key = picture.key;
  header.width = camera_.video.width;
  header.height = camera_.video.height;
  const SharedBytes frame = videoFrame(header, picture.data.data(), picture.data.size());
  each([&](MediaSink& v) { v.sendVideo(frame, picture.key); });
  ++picturesSent_;
  index_ = (index_ + 1) % current_->frames.size();

  if (audio_) {
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    while (static_cast<double>(audioSent_) * audio_->frameSeconds() <= elapsed) {
      const auto& bytes = audio_->frames[audioSent_ % audio_->frames.size()];
      const SharedBytes sound = audioFrame(kTagLiveAudio, header.timestamp, audio_->formatWord, bytes.data(), bytes.size());
      each([&](MediaSink& v) { v.sendAudio(sound); });
      ++audioSent_;
    }
  }
  schedule();
}

void LiveStream::schedule() {
  const auto period = std::chrono::nanoseconds(1'000'000'000LL / camera_.video.fps);
  due_ += period;
  const auto now = std::chrono::steady_clock::now();
  // After a stall, go on from now instead of sending a burst.
  if (due_ + 10 * period < now) due_ = now;
  timer_.expires_at(due_);
  auto self = shared_from_this();
  timer_.async_wait([self](const boost::system::error_code& ec) {
    if (!ec) self->tick();
  });
}

}  // namespace sim
