#pragma once
#include <condition_variable>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "sim/AudioEncoder.h"
#include "sim/Catalogue.h"
#include "sim/TestPicture.h"
#include "sim/VideoEncoder.h"

namespace sim {

// What decides the pictures of a video loop.
struct VideoKey {
  int width = 352;
  int height = 288;
  int fps = 25;
  int bitrateKbps = 256;
  int number = 0;
  PtzView ptz;
  bool playback = false;

  auto operator<=>(const VideoKey&) const = default;
};

// Two seconds of coded pictures that repeat without a seam: a key frame opens
// every second, and the moving block is back where it started at the end.
struct VideoLoop {
  VideoKey key;
  int keyInterval = 0;  // pictures from one key frame to the next
  std::vector<EncodedPicture> frames;
};

inline constexpr int kLoopSeconds = 2;

// Renders and codes one loop (blocking; throws EncoderError).
VideoLoop makeVideoLoop(const VideoKey& key);

// The bitrate a camera sends at quality level 1 to 5 (3 is the configured one).
int bitrateForLevel(int configuredKbps, int level);

// Codes loops on worker threads and keeps them: every camera state is coded
// once, however many viewers and sessions replay it.
class MediaLibrary {
 public:
  using VideoDone = std::function<void(std::shared_ptr<const VideoLoop>, const std::string& error)>;
  using AudioDone = std::function<void(std::shared_ptr<const AudioLoop>, const std::string& error)>;

  explicit MediaLibrary(int threads = 2, std::size_t keptVideoLoops = 256);
  ~MediaLibrary();
  MediaLibrary(const MediaLibrary&) = delete;
  MediaLibrary& operator=(const MediaLibrary&) = delete;

  // `done` runs on a worker thread, or on the caller's thread at once when the
  // loop is kept already. On failure the loop is null and `error` says why.
  void video(const VideoKey& key, VideoDone done);
  void audio(const AudioSpec& spec, AudioDone done);

  // Loops coded so far (counters for the control port and benchmarks).
  int videoLoopsCoded() const;

 private:
  struct AudioKey {
    AudioCodec codec;
    int sampleRate, channels, toneHz, bitrateKbps;
    auto operator<=>(const AudioKey&) const = default;
  };
  void post(std::function<void()> job);
  void work();
  void keepVideo(const VideoKey& key, std::shared_ptr<const VideoLoop> loop);

  mutable std::mutex lock_;
  std::condition_variable wake_;
  std::deque<std::function<void()>> jobs_;
  bool stopping_ = false;
  std::size_t keptVideoLoops_;
  std::map<VideoKey, std::shared_ptr<const VideoLoop>> videoLoops_;
  std::list<VideoKey> videoUse_;  // least recently used first
  std::map<VideoKey, std::vector<VideoDone>> videoWaiting_;
  std::map<AudioKey, std::shared_ptr<const AudioLoop>> audioLoops_;
  std::map<AudioKey, std::vector<AudioDone>> audioWaiting_;
  int videoLoopsCoded_ = 0;
  std::vector<std::thread> threads_;
};

}  // namespace sim
