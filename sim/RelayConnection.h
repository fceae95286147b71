#pragma once
#include <boost/asio/steady_timer.hpp>
#include <memory>
#include <string>

#include "sim/CommandConnection.h"
#include "sim/MediaSink.h"
#include "sim/PlaybackStream.h"

namespace sim {

class RelayServer;

// One client of a relay: logs in with a camera id (live) or a playback
// ticket, then receives that camera's frames and sends commands and
// talk-back sound. A link that has not logged in within 30 s is closed.
class RelayConnection : public CommandConnection, public MediaSink {
 public:
  static constexpr int kLoginLimitSeconds = 30;
  // A viewer whose unsent backlog passes either bound loses pictures until
  // the next key frame, and sound meanwhile.
  static constexpr std::size_t kMaxBacklogBytes = 1024 * 1024;
  static constexpr std::size_t kMaxBacklogFrames = 100;
  // The kernel's share of a viewer's backlog stays small, so a stalled
  // viewer shows in the backlog within a fraction of a second.
  static constexpr int kSendBufferBytes = 256 * 1024;

  RelayConnection(boost::asio::ip::tcp::socket socket, std::shared_ptr<ClientBufferPool> buffers,
                  std::shared_ptr<ServerStats> stats, std::weak_ptr<RelayServer> server, std::uint64_t id);

  void begin();

  std::uint64_t id() const { return id_; }
  const std::string& cameraId() const { return cameraId_; }
  bool live() const { return mode_ == Mode::Live; }
  bool playback() const { return mode_ == Mode::Playback; }
  // Live link whose camera went away; it resumes when the camera is back.
  bool waiting() const { return waiting_; }
  const std::shared_ptr<PlaybackStream>& playbackStream() const { return playback_; }
  std::uint64_t framesDropped() const { return dropped_; }

  // The camera went off line or was deleted: stop the pictures, keep the link.
  void cameraGone(const std::string& text);
  // The camera is back: pictures again.
  void cameraBack();

  // MediaSink
  void sendVideo(const SharedBytes& frame, bool key) override;
  void sendAudio(const SharedBytes& frame) override;

 protected:
  void onCommand(const MessageEnvelope& command) override;
  bool onMedia(const BufferPtr& body) override;
  void onClosed() override;

 private:
  enum class Mode { None, Live, Playback };
  void login(const MessageEnvelope& command, RelayServer& server);
  void liveCommand(const MessageEnvelope& command, RelayServer& server);
  void playbackCommand(const MessageEnvelope& command);
  void capabilities(const MessageEnvelope& command, RelayServer& server);
  void detach();
  bool backlogged() const;
  std::shared_ptr<RelayConnection> self();

  std::weak_ptr<RelayServer> server_;
  const std::uint64_t id_;
  boost::asio::steady_timer loginTimer_;
  Mode mode_ = Mode::None;
  std::string cameraId_;
  bool waiting_ = false;
  bool needKey_ = true;
  std::uint64_t dropped_ = 0;
  std::shared_ptr<PlaybackStream> playback_;
};

}  // namespace sim
