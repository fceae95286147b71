#include "sim/PlaybackStream.h"

#include <cstdio>

#include "common/TickCount.h"
#include "sim/CameraDevice.h"

namespace sim {

namespace asio = boost::asio;

namespace {
// Above this speed only key frames are sent, as recorders do.
constexpr double kAllFramesUpTo = 4;
}  // namespace

double PlaybackStream::kSpeedsFor(int index) { return kSpeeds[index]; }

PlaybackStream::PlaybackStream(asio::io_service& service, std::shared_ptr<MediaLibrary> library,
                               const CameraRecord& camera, std::weak_ptr<MediaSink> sink, Notice notice)
    : service_(service),
      library_(std::move(library)),
      camera_(camera),
      index_(camera.recordings),
      sink_(std::move(sink)),
      notice_(std::move(notice)),
      timer_(service),
      speedIndex_(kNormalSpeed) {}

void PlaybackStream::start() {
  position_ = index_.start();
  const VideoKey key{camera_.video.width,
                     camera_.video.height,
                     camera_.video.fps,
                     bitrateForLevel(camera_.video.bitrateKbps, camera_.quality),
                     camera_.number,
                     {},
                     true};
  std::weak_ptr<PlaybackStream> weak = shared_from_this();
  asio::io_service& service = service_;
  library_->video(key, [weak, &service](std::shared_ptr<const VideoLoop> loop, const std::string& error) {
    if (!loop) std::fprintf(stderr, "platform-sim: no playback pictures: %s\n", error.c_str());
    service.post([weak, loop] {
      if (auto self = weak.lock()) self->videoReady(loop);
    });
  });
  if (camera_.audio.codec != AudioCodec::None)
    library_->audio(camera_.audio, [weak, &service](std::shared_ptr<const AudioLoop> loop, const std::string&) {
      service.post([weak, loop] {
        if (auto self = weak.lock()) self->audio_ = loop;
      });
    });
}

void PlaybackStream::stop() {
  stopped_ = true;
  ++generation_;
  boost::system::error_code ignored;
  timer_.cancel(ignored);
}

void PlaybackStream::videoReady(std::shared_ptr<const VideoLoop> loop) {
  if (stopped_ || !loop) return;
  video_ = loop;
  restartPace();
}

bool PlaybackStream::search(const std::string& type, const std::string& startTime, const std::string& stopTime,
                            std::string& data, std::string& time, std::string& error) const {
  return index_.search(type, startTime, stopTime, data, time, error);
}

bool PlaybackStream::seek(const std::string& posTime, std::string& error) {
  std::string day;
  int second = 0;
  if (!parseDateTime(posTime, day, second)) {
    error = "时间格式错误";
    return false;
  }
  RecordingMoment found;
  if (!index_.firstAtOrAfter(day, second, found)) {
    error = "该时间之后没有录像";
    return false;
  }
  position_ = found;
  ended_ = false;
  restartPace();
  return true;
}

double PlaybackStream::faster() {
  if (speedIndex_ + 1 < static_cast<int>(std::size(kSpeeds))) ++speedIndex_;
  restartPace();
  return speed();
}

double PlaybackStream::slower() {
  if (speedIndex_ > 0) --speedIndex_;
  restartPace();
  return speed();
}

int PlaybackStream::setState(int state) {
  if (state != 0 && state != 1) return -1;
  paused_ = state == 0;
  restartPace();
  return paused_ ? 0 : 1;
}

// Pictures start again at a key frame, and the pace from now.
void PlaybackStream::restartPace() {
  ++generation_;
  boost::system::error_code ignored;
  timer_.cancel(ignored);
  ticking_ = false;
  frame_ = 0;
  audioSent_ = 0;
  paceStart_ = due_ = std::chrono::steady_clock::now();
  startTick_ = mc::tickCount();
  if (stopped_ || paused_ || ended_ || !video_) return;
  ticking_ = true;
  tick();
}

void PlaybackStream::tick() {
  if (stopped_ || !ticking_) return;
  auto sink = sink_.lock();
  if (!sink) return;
  const double rate = speed();
  const bool keysOnly = rate > kAllFramesUpTo;
  const std::size_t step = keysOnly ? static_cast<std::size_t>(video_->keyInterval) : 1;
  const EncodedPicture& picture = video_->frames[frame_ % video_->frames.size()];
  VideoHeader header;
  header.tag = kTagPlaybackVideo;
  header.timestamp = startTick_ + static_cast<std::uint32_t>(
                                      std::chrono::duration_cast<std::chrono::milliseconds>(due_ - paceStart_).count());
  header.sequence = ++sequence_;
  header.key = picture.key;
  header.width = camera_.video.width;
  header.height = camera_.video.height;
  header.recordTime = index_.recordTimeWord(position_);
  sink->sendVideo(videoFrame(header, picture.data.data(), picture.data.size()), picture.key);
  frame_ = (frame_ + step) % video_->frames.size();

  // Sound only at normal speed.
  if (audio_ && !audio_->frames.empty() && speedIndex_ == kNormalSpeed) {
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - paceStart_).count();
    while (static_cast<double>(audioSent_) * audio_->frameSeconds() <= elapsed) {
      const auto& bytes = audio_->frames[audioSent_ % audio_->frames.size()];
      sink->sendAudio(audioFrame(kTagPlaybackAudio, header.timestamp, audio_->formatWord, bytes.data(), bytes.size()));
      ++audioSent_;
    }
  }

  // The recording moves on by the media time this picture stands for.
  const double mediaSeconds = static_cast<double>(step) / camera_.video.fps;
  if (!index_.advance(position_, mediaSeconds)) {
    ended_ = true;
    ticking_ = false;
    notice_("0", "回放结束");
    return;
  }
  schedule();
}

void PlaybackStream::schedule() {
  const double rate = speed();
  const std::size_t step = rate > kAllFramesUpTo ? static_cast<std::size_t>(video_->keyInterval) : 1;
  const auto period = std::chrono::nanoseconds(static_cast<long long>(1e9 * step / (camera_.video.fps * rate)));
  due_ += period;
  const auto now = std::chrono::steady_clock::now();
  if (due_ + 10 * period < now) due_ = now;
  timer_.expires_at(due_);
  auto self = shared_from_this();
  const std::uint64_t generation = generation_;
  timer_.async_wait([self, generation](const boost::system::error_code& ec) {
    if (!ec && generation == self->generation_) self->tick();
  });
}

}  // namespace sim
