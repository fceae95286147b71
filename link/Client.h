#pragma once
#include <atomic>
#include <boost/asio/io_service.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/steady_timer.hpp>
#include <boost/asio/strand.hpp>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "link/ClientBufferPool.h"
#include "link/Framing.h"

class ThreadPool;

// The TCP link every conversation of the program runs on (the logic server,
// each camera's relay). It connects with a time limit, keeps the socket alive
// (keep-alive 5 s / 5 s, linger 0), reads length-prefixed bodies (4 to
// 512 000 bytes) into pooled buffers, queues outgoing buffers one write at a
// time (coalescing a backlog of more than 10), and after a lost connection
// reconnects by itself, pausing 200 ms doubling to 5 s between attempts, until
// close is called.
//
// Threads: socket work runs on the I/O pool, serialised by an I/O strand. The
// five callbacks run on the callback pool, one at a time and in order through
// a callback strand (or concurrently when built with parallelCallbacks).
// connect, send and close may be called from any thread; connect blocks its
// caller for at most the time limit. Always owned by a shared pointer: every
// pending handler holds one, so the object lives until its socket work ends.
class Client : public std::enable_shared_from_this<Client> {
 public:
  static constexpr std::int32_t kCoalesceAbove = 10;   // waiting buffers written as one beyond this
  static constexpr std::uint32_t kFirstRetryDelayMs = 200;
  static constexpr std::uint32_t kMaxRetryDelayMs = 5000;
  static constexpr int kKeepAliveSeconds = 5;          // idle time and probe interval

  // Empty pools are replaced by the process-wide default pools.
  Client(std::shared_ptr<ClientBufferPool> bufferPool, std::shared_ptr<ThreadPool> callbackPool,
         std::shared_ptr<ThreadPool> ioPool, bool parallelCallbacks);
  virtual ~Client();
  Client(const Client&) = delete;
  Client& operator=(const Client&) = delete;

  // Already connected: true at once, whatever the arguments. Reconnecting by
  // itself: takes the new address for the next attempts (trying it at once)
  // and returns true without waiting. Otherwise resolves `host` (the first
  // result is used), connects within `timeLimitMs` and returns whether it did;
  // an attempt that misses the limit is abandoned, never left to connect later.
  bool connect(const std::string& host, int port, std::uint32_t timeLimitMs);

  // Queues `buffer` to be written as it is (the caller frames it). False only
  // when the client is closed (or the buffer is empty); nothing is queued then.
  bool send(BufferPtr buffer);

  // Ends the connection, or a reconnection in progress, and stops
  // reconnecting. OnDisconnected follows when a connection was open.
  void close();

  // A body buffer for senders; empty when the pool is closed.
  BufferPtr getBuffer();

  bool isClosed() const { return closed_; }
  // Lost and trying to get back by itself.
  bool isReconnecting() const { return closed_ && autoReconnect_; }
  // Buffers waiting to be written, the one being written included.
  std::int32_t queuedBuffers() const { return queued_; }
  // Reconnection attempts since the connection was lost (0 while connected).
  std::uint32_t reconnectAttempts() const { return reconnectAttempts_; }
  // The numeric address connected (or being reconnected) to, and the port.
  std::string remoteHost() const;
  int remotePort() const;

 protected:
  // Callbacks, on the callback pool (see above). Exceptions are caught and logged.
  // After a connect call's own attempt succeeded.
  virtual void OnConnected() {}
  // After an automatic reconnection succeeded.
  virtual void OnReconnected() {}
  // Every complete body received (size = its length); the buffer is the caller's.
  virtual void OnRecv(const BufferPtr& body) = 0;
  // A buffer was written completely; `remaining` buffers are still queued.
  virtual void OnSent(const BufferPtr& buffer, std::int32_t remaining) = 0;
  // The connection ended: the error, or success after close or a bad length.
  virtual void OnDisconnected(const boost::system::error_code& error) = 0;

 private:
  using Socket = boost::asio::ip::tcp::socket;
  using SocketPtr = std::shared_ptr<Socket>;
  struct ConnectAttempt;

  // Memory for the one delivery task a Client has posted at a time, so the
  // hand-over to the callback strand allocates nothing.
  class DeliverySlot {
   public:
    void* allocate(std::size_t size);
    void deallocate(void* memory);

   private:
    alignas(std::max_align_t) unsigned char storage_[256];
    std::atomic<bool> inUse_{false};
  };

  // One callback to deliver, in the order the I/O side produced them.
  struct CallbackEvent {
    enum class Kind { Connected, Reconnected, Recv, Sent, Disconnected };
    Kind kind;
    BufferPtr buffer;
    std::int32_t remaining = 0;
    boost::system::error_code error;
  };

  void startConnect(const std::shared_ptr<ConnectAttempt>& attempt, const boost::asio::ip::tcp::endpoint& endpoint);
  void onConnectDone(const std::shared_ptr<ConnectAttempt>& attempt, const SocketPtr& socket,
                     const boost::system::error_code& error);
  void abandonConnect(const std::shared_ptr<ConnectAttempt>& attempt);
  void onCloseRequested();
  void handleClose(const boost::system::error_code& error);
  void scheduleReconnect();
  void startReconnectAttempt(std::uint64_t round);
  void onReconnectDone(std::uint64_t round, const SocketPtr& socket, const boost::system::error_code& error);
  void retryNow();
  void becomeConnected(const SocketPtr& socket);
  void startRead(const SocketPtr& socket);
  void onRead(const SocketPtr& socket, const boost::system::error_code& error, std::size_t count);
  void enqueue(BufferPtr buffer);
  void startWrite();
  void onWrite(const SocketPtr& socket, const boost::system::error_code& error);
  void coalesceQueue();
  void applyKeepAlive(Socket& socket);
  static void closeQuietly(const SocketPtr& socket);
  void postCallback(CallbackEvent event);
  void postDelivery();
  void deliverPending();
  void deliver(const CallbackEvent& event);

  std::shared_ptr<ClientBufferPool> bufferPool_;
  std::shared_ptr<ThreadPool> callbackPool_;
  std::shared_ptr<ThreadPool> ioPool_;
  boost::asio::io_service::strand ioStrand_;
  boost::asio::io_service::strand callbackStrand_;
  const bool parallelCallbacks_;

  std::atomic<bool> closed_{true};
  std::atomic<bool> autoReconnect_{false};
  std::atomic<std::int32_t> queued_{0};
  std::atomic<std::uint32_t> reconnectAttempts_{0};

  mutable std::mutex addressLock_;  // guards host_, port_, attemptLimitMs_
  std::string host_;
  int port_ = 0;
  std::uint32_t attemptLimitMs_ = 3000;

  std::mutex connectCallLock_;  // one connect call at a time

  // Callbacks waiting for the callback strand. The I/O side appends; one
  // posted delivery task takes the whole batch, so a busy stream costs one
  // hand-over per batch instead of one per message.
  std::mutex eventsLock_;
  std::vector<CallbackEvent> events_;
  bool deliveryPosted_ = false;
  DeliverySlot deliverySlot_;
  std::vector<CallbackEvent> delivering_;  // callback strand only

  // Touched on ioStrand only.
  SocketPtr socket_;  // the connection, or the attempt under way
  std::deque<BufferPtr> sendQueue_;
  FrameReader reader_;
  std::shared_ptr<ConnectAttempt> pendingConnect_;
  boost::asio::steady_timer retryTimer_;    // the pause before a reconnection attempt
  boost::asio::steady_timer attemptTimer_;  // the time limit of one reconnection attempt
  std::uint32_t retryDelayMs_ = kFirstRetryDelayMs;
  std::uint64_t reconnectRound_ = 0;  // bumped to void pending reconnection handlers
  bool reconnecting_ = false;         // a reconnection pause or attempt is under way
};
