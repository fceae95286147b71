#pragma once
#include <boost/asio/io_service.hpp>
#include <boost/asio/steady_timer.hpp>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "sim/Catalogue.h"
#include "sim/MediaLibrary.h"
#include "sim/MediaSink.h"
#include "sim/RecordingIndex.h"

namespace sim {

// One playback of a camera's recordings on one relay link: "R" pictures and
// "P" sound whose header carries the recording time, paced by the play
// speed, with search, seek, faster, slower, pause and resume. Runs on the
// io_service's thread.
class PlaybackStream : public std::enable_shared_from_this<PlaybackStream> {
 public:
  // `notice` sends a relay notice (status, text) on the link.
  using Notice = std::function<void(const std::string& status, const std::string& text)>;

  PlaybackStream(boost::asio::io_service& service, std::shared_ptr<MediaLibrary> library, const CameraRecord& camera,
                 std::weak_ptr<MediaSink> sink, Notice notice);

  // Starts at the first stretch of the latest recorded day.
  void start();
  void stop();

  bool search(const std::string& type, const std::string& startTime, const std::string& stopTime, std::string& data,
              std::string& time, std::string& error) const;
  bool seek(const std::string& posTime, std::string& error);
  // One step along the speed ladder; returns the new speed.
  double faster();
  double slower();
  // 1 play, 0 pause; returns the state now in force, -1 for another value.
  int setState(int state);

  double speed() const { return kSpeedsFor(speedIndex_); }
  bool paused() const { return paused_; }
  bool ended() const { return ended_; }
  std::string position() const { return index_.text(position_); }

 private:
  static double kSpeedsFor(int index);
  void videoReady(std::shared_ptr<const VideoLoop> loop);
  void restartPace();
  void schedule();
  void tick();

  boost::asio::io_service& service_;
  std::shared_ptr<MediaLibrary> library_;
  CameraRecord camera_;
  RecordingIndex index_;
  std::weak_ptr<MediaSink> sink_;
  Notice notice_;
  boost::asio::steady_timer timer_;
  std::shared_ptr<const VideoLoop> video_;
  std::shared_ptr<const AudioLoop> audio_;
  RecordingMoment position_;
  int speedIndex_;
  bool paused_ = false;
  bool ended_ = false;
  bool stopped_ = false;
  bool ticking_ = false;
  std::uint64_t generation_ = 0;  // a timer armed before a seek or pause does nothing
  std::size_t frame_ = 0;
  std::uint32_t sequence_ = 0;
  std::uint64_t audioSent_ = 0;
  std::chrono::steady_clock::time_point paceStart_;
  std::uint32_t startTick_ = 0;  // the relay's millisecond clock at paceStart_
  std::chrono::steady_clock::time_point due_;
};

}  // namespace sim
