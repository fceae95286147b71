#pragma once
#include <boost/asio/io_service.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/ClientBufferPool.h"
#include "link/Framing.h"
#include "sim/MediaFrame.h"

namespace sim {

// The server side of one length-framed TCP link: the project's FrameReader
// cuts the stream into bodies (pooled buffers) for `onFrame`; queued frames
// are written a batch at a time. Everything runs on the io_service's thread;
// handlers keep the object alive.
class FramedConnection : public std::enable_shared_from_this<FramedConnection> {
 public:
  // Unsent bytes a link may hold; a peer that lets more pile up is closed.
  static constexpr std::size_t kMaxQueuedBytes = 16 * 1024 * 1024;

  FramedConnection(boost::asio::ip::tcp::socket socket, std::shared_ptr<ClientBufferPool> buffers);
  virtual ~FramedConnection();
  FramedConnection(const FramedConnection&) = delete;
  FramedConnection& operator=(const FramedConnection&) = delete;

  void start();
  // Queue a whole frame (length prefix included). Ignored once closed.
  void send(SharedBytes frame);
  void send(std::shared_ptr<const Asio_Buffer> frame);
  // Ends the link; `onClosed` runs once, whoever closes first.
  void close();

  bool isOpen() const { return open_; }
  std::size_t queuedBytes() const { return queuedBytes_; }
  std::size_t queuedFrames() const { return queue_.size(); }
  const std::string& peer() const { return peer_; }

 protected:
  // One received body (4 to 512 000 bytes). May call close().
  virtual void onFrame(const BufferPtr& body) = 0;
  // A length outside 4..512 000 arrived; the link is closed next.
  virtual void onBadLength(std::int32_t length) { (void)length; }
  virtual void onClosed() = 0;

  boost::asio::io_service& service();
  void limitSendBuffer(int bytes);

 private:
  struct Outgoing {
    std::shared_ptr<const void> owner;
    const std::uint8_t* data;
    std::size_t size;
  };
  void queue(Outgoing frame);
  void readSome();
  void writeNext();

  boost::asio::ip::tcp::socket socket_;
  std::shared_ptr<ClientBufferPool> buffers_;
  FrameReader reader_;
  std::string peer_;
  bool open_ = true;
  bool started_ = false;
  std::deque<Outgoing> queue_;
  std::size_t inFlight_ = 0;  // frames of the write in progress
  std::size_t queuedBytes_ = 0;
};

// One listening socket; hands every accepted socket on. Can stop and listen
// again on the port it was given the first time.
class TcpListener : public std::enable_shared_from_this<TcpListener> {
 public:
  using Accepted = std::function<void(boost::asio::ip::tcp::socket)>;

  TcpListener(boost::asio::io_service& service, std::string host, int port, Accepted accepted);

  // Binds and starts accepting; throws boost::system::system_error.
  void listen();
  void stop();

  bool listening() const { return acceptor_.is_open(); }
  int port() const { return port_; }
  const std::string& host() const { return host_; }

 private:
  void acceptNext();

  boost::asio::io_service& service_;
  boost::asio::ip::tcp::acceptor acceptor_;
  boost::asio::steady_timer retry_;
  std::string host_;
  int port_;
  Accepted accepted_;
  std::uint64_t generation_ = 0;  // stale accept completions after a stop are ignored
};

}  // namespace sim
