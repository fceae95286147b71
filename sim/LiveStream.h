#pragma once
#include <boost/asio/io_service.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "sim/Catalogue.h"
#include "sim/MediaLibrary.h"
#include "sim/MediaSink.h"

namespace sim {

// The live stream of one camera: paced at the camera's frame rate, each
// picture and sound frame is built once and handed to every viewer. Runs on
// the io_service's thread; lives while it has viewers.
class LiveStream : public std::enable_shared_from_this<LiveStream> {
 public:
  LiveStream(boost::asio::io_service& service, std::shared_ptr<MediaLibrary> library, const CameraRecord& camera,
             const PtzView& ptz);
  ~LiveStream();

  void add(const std::shared_ptr<MediaSink>& viewer);
  void remove(const MediaSink* viewer);
  std::size_t viewers() const { return viewers_.size(); }

  // A PTZ move or a quality change: the new pictures follow at the next key frame.
  void setPicture(const PtzView& ptz, int quality);
  void stop();

  std::uint64_t picturesSent() const { return picturesSent_; }

 private:
  void want(const VideoKey& key);
  void videoReady(const VideoKey& key, std::shared_ptr<const VideoLoop> loop);
  void audioReady(std::shared_ptr<const AudioLoop> loop);
  void schedule();
  void tick();
  template <typename Send>
  void each(Send send);

  boost::asio::io_service& service_;
  std::shared_ptr<MediaLibrary> library_;
  CameraRecord camera_;
  boost::asio::steady_timer timer_;
  bool running_ = false;
  bool stopped_ = false;
  VideoKey wanted_;
  std::shared_ptr<const VideoLoop> current_;
  std::shared_ptr<const VideoLoop> next_;
  std::shared_ptr<const AudioLoop> audio_;
  std::vector<std::weak_ptr<MediaSink>> viewers_;
  std::size_t index_ = 0;  // position in the loop
  std::uint32_t sequence_ = 0;
  std::uint64_t picturesSent_ = 0;
  std::uint64_t audioSent_ = 0;
  std::chrono::steady_clock::time_point started_;
  std::uint32_t startTick_ = 0;  // the relay's millisecond clock at started_
  std::chrono::steady_clock::time_point due_;
};

}  // namespace sim
