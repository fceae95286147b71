#include "link/Client.h"

#include <netinet/in.h>
#include <netinet/tcp.h>

#include <boost/asio/bind_executor.hpp>
#include <boost/asio/connect.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <boost/thread/exceptions.hpp>
#include <chrono>
#include <cstring>
#include <vector>

#include "core/OLog.h"
#include "core/ThreadPool.h"
#include "link/DefaultPools.h"

namespace asio = boost::asio;
using asio::ip::tcp;
using boost::system::error_code;

// One connect call's attempt, shared by the waiting caller and the completion
// handler. `done` or `abandoned` is decided under `lock`, so the caller's
// answer and the state of the link always agree.
struct Client::ConnectAttempt {
  std::mutex lock;
  std::condition_variable finished;
  bool done = false;       // the handler decided (connected or failed)
  bool connected = false;
  bool abandoned = false;  // the caller gave up, or close came first
};

namespace {

// Numeric addresses need no lookup; names go through the resolver with
// address_configured. Every result, in resolver order.
std::vector<tcp::endpoint> resolve(const std::string& host, int port) {
  std::vector<tcp::endpoint> endpoints;
  if (host.empty() || port <= 0 || port > 65535) return endpoints;
  error_code error;
  const auto address = asio::ip::make_address(host, error);
  if (!error) {
    endpoints.emplace_back(address, static_cast<unsigned short>(port));
    return endpoints;
  }
  asio::io_service service;
  tcp::resolver resolver(service);
  const auto results = resolver.resolve(host, std::to_string(port), tcp::resolver::address_configured, error);
  if (error) return endpoints;
  for (const auto& entry : results) endpoints.push_back(entry.endpoint());
  return endpoints;
}

}  // namespace

Client::Client(std::shared_ptr<ClientBufferPool> bufferPool, std::shared_ptr<ThreadPool> callbackPool,
               std::shared_ptr<ThreadPool> ioPool, bool parallelCallbacks)
    : bufferPool_(std::move(bufferPool)),
      callbackPool_(callbackPool ? std::move(callbackPool) : defaultCallbackPool()),
      ioPool_(ioPool ? std::move(ioPool) : defaultIoPool()),
      ioStrand_(ioPool_->service()),
      callbackStrand_(callbackPool_->service()),
      parallelCallbacks_(parallelCallbacks),
      reader_([pool = bufferPool_] { return pool ? pool->getHeaderBuffer() : BufferPtr(); },
              [pool = bufferPool_] { return pool ? pool->getBuffer() : BufferPtr(); }),
      retryTimer_(ioPool_->service()),
      attemptTimer_(ioPool_->service()) {}

Client::~Client() {
  // No handler is pending (each would hold a reference), so the socket is ours.
  closeQuietly(socket_);
}

std::string Client::remoteHost() const {
  std::lock_guard lock(addressLock_);
  return host_;
}

int Client::remotePort() const {
  std::lock_guard lock(addressLock_);
  return port_;
}

BufferPtr Client::getBuffer() { return bufferPool_ ? bufferPool_->getBuffer() : BufferPtr(); }

namespace {

// A task whose operation memory comes from its Client's delivery slot.
template <typename Task>
struct SlotTask {
  Task task;
  void* (*allocate)(void* slot, std::size_t size);
  void (*deallocate)(void* slot, void* memory);
  void* slot;

  void operator()() { task(); }

  friend void* asio_handler_allocate(std::size_t size, SlotTask* self) { return self->allocate(self->slot, size); }
  friend void asio_handler_deallocate(void* memory, std::size_t, SlotTask* self) {
    self->deallocate(self->slot, memory);
  }
};

}  // namespace

void* Client::DeliverySlot::allocate(std::size_t size) {
  bool expected = false;
  if (size <= sizeof storage_ && inUse_.compare_exchange_strong(expected, true)) return storage_;
  return ::operator new(size);
}

void Client::DeliverySlot::deallocate(void* memory) {
  if (memory == storage_) inUse_ = false;
  else ::operator delete(memory);
}

void Client::postDelivery() {
  auto task = [self = shared_from_this()] { self->deliverPending(); };
  callbackStrand_.post(SlotTask<decltype(task)>{
      std::move(task), [](void* slot, std::size_t size) { return static_cast<DeliverySlot*>(slot)->allocate(size); },
      [](void* slot, void* memory) { static_cast<DeliverySlot*>(slot)->deallocate(memory); }, &deliverySlot_});
}

void Client::postCallback(CallbackEvent event) {
  if (parallelCallbacks_) {
    callbackPool_->service().post([self = shared_from_this(), event = std::move(event)] { self->deliver(event); });
    return;
  }
  bool post = false;
  {
    std::lock_guard lock(eventsLock_);
    events_.push_back(std::move(event));
    post = !deliveryPosted_;
    deliveryPosted_ = true;
  }
  if (post) postDelivery();
}

// On the callback strand: one batch, then the strand's turn goes to others.
void Client::deliverPending() {
  {
    std::lock_guard lock(eventsLock_);
    delivering_.swap(events_);
  }
  for (const auto& event : delivering_) deliver(event);
  delivering_.clear();
  bool more = false;
  {
    std::lock_guard lock(eventsLock_);
    more = !events_.empty();
    deliveryPosted_ = more;
  }
  if (more) postDelivery();
}

void Client::deliver(const CallbackEvent& event) {
  try {
    switch (event.kind) {
      case CallbackEvent::Kind::Connected: OnConnected(); break;
      case CallbackEvent::Kind::Reconnected: OnReconnected(); break;
      case CallbackEvent::Kind::Recv: OnRecv(event.buffer); break;
      case CallbackEvent::Kind::Sent: OnSent(event.buffer, event.remaining); break;
      case CallbackEvent::Kind::Disconnected: OnDisconnected(event.error); break;
    }
  } catch (const boost::thread_interrupted&) {
    throw;  // the pool is stopping its thread
  } catch (const std::exception& error) {
    LOG_ERROR("Client callback failed: %s", error.what());
  } catch (...) {
    LOG_ERROR("Client callback failed");
  }
}

// ---- connect ---------------------------------------------------------------

bool Client::connect(const std::string& host, int port, std::uint32_t timeLimitMs) {
  std::lock_guard call(connectCallLock_);
  if (!closed_) return true;

  if (autoReconnect_) {
    const auto endpoints = resolve(host, port);
    if (endpoints.empty()) return false;
    const std::string numeric = endpoints.front().address().to_string();
    bool changed = false;
    {
      std::lock_guard lock(addressLock_);
      if (host_ != numeric || port_ != port) {
        host_ = numeric;
        port_ = port;
        changed = true;
      }
      attemptLimitMs_ = timeLimitMs;
    }
    if (changed) ioStrand_.post([self = shared_from_this()] { self->retryNow(); });
    return true;
  }

  const auto endpoints = resolve(host, port);
  if (endpoints.empty()) return false;
  {
    std::lock_guard lock(addressLock_);
    host_ = endpoints.front().address().to_string();
    port_ = port;
    attemptLimitMs_ = timeLimitMs;
  }
  auto attempt = std::make_shared<ConnectAttempt>();
  ioStrand_.post([self = shared_from_this(), attempt, endpoint = endpoints.front()] {
    self->startConnect(attempt, endpoint);
  });

  std::unique_lock lock(attempt->lock);
  if (attempt->finished.wait_for(lock, std::chrono::milliseconds(timeLimitMs), [&] { return attempt->done; }))
    return attempt->connected;
  attempt->abandoned = true;
  lock.unlock();
  ioStrand_.post([self = shared_from_this(), attempt] { self->abandonConnect(attempt); });
  return false;
}

void Client::startConnect(const std::shared_ptr<ConnectAttempt>& attempt, const tcp::endpoint& endpoint) {
  {
    std::lock_guard lock(attempt->lock);
    if (attempt->abandoned) return;
  }
  auto socket = std::make_shared<Socket>(ioPool_->service());
  closeQuietly(socket_);
  socket_ = socket;
  pendingConnect_ = attempt;
  socket->async_connect(endpoint, asio::bind_executor(ioStrand_, [self = shared_from_this(), attempt,
                                                                   socket](const error_code& error) {
                          self->onConnectDone(attempt, socket, error);
                        }));
}

void Client::onConnectDone(const std::shared_ptr<ConnectAttempt>& attempt, const SocketPtr& socket,
                           const error_code& error) {
  if (pendingConnect_ == attempt) pendingConnect_.reset();
  bool connected = false;
  {
    std::lock_guard lock(attempt->lock);
    if (!attempt->abandoned && socket == socket_) {
      attempt->done = true;
      attempt->connected = connected = !error;
      if (connected) {
        closed_ = false;
        autoReconnect_ = true;
      }
    }
  }
  attempt->finished.notify_all();
  if (!connected) {
    // A failed attempt does nothing else; one that succeeded after its caller
    // gave up is closed again.
    if (socket == socket_) socket_.reset();
    closeQuietly(socket);
    return;
  }
  becomeConnected(socket);
  postCallback({CallbackEvent::Kind::Connected, nullptr, 0, {}});
}

void Client::abandonConnect(const std::shared_ptr<ConnectAttempt>& attempt) {
  if (pendingConnect_ != attempt) return;
  pendingConnect_.reset();
  closeQuietly(socket_);  // aborts the connect; its handler sees the attempt abandoned
  socket_.reset();
}

void Client::becomeConnected(const SocketPtr& socket) {
  applyKeepAlive(*socket);
  retryDelayMs_ = kFirstRetryDelayMs;
  reconnectAttempts_ = 0;
  reader_.reset();
  sendQueue_.clear();
  queued_ = 0;
  closed_ = false;
  startRead(socket);
}

void Client::applyKeepAlive(Socket& socket) {
  error_code error;
  socket.set_option(asio::socket_base::keep_alive(true), error);
  if (error) {
    LOG_WARNING("SO_KEEPALIVE failed: %s", error.message().c_str());
    return;
  }
  using KeepIdle = asio::detail::socket_option::integer<IPPROTO_TCP, TCP_KEEPIDLE>;
  using KeepInterval = asio::detail::socket_option::integer<IPPROTO_TCP, TCP_KEEPINTVL>;
  socket.set_option(KeepIdle(kKeepAliveSeconds), error);
  if (error) LOG_WARNING("TCP_KEEPIDLE failed: %s", error.message().c_str());
  socket.set_option(KeepInterval(kKeepAliveSeconds), error);
  if (error) LOG_WARNING("TCP_KEEPINTVL failed: %s", error.message().c_str());
  socket.set_option(asio::socket_base::linger(true, 0), error);
  if (error) LOG_WARNING("SO_LINGER failed: %s", error.message().c_str());
}

void Client::closeQuietly(const SocketPtr& socket) {
  if (!socket) return;
  error_code ignored;
  socket->shutdown(Socket::shutdown_both, ignored);
  socket->close(ignored);
}

// ---- close and reconnection -----------------------------------------------

void Client::close() {
  autoReconnect_ = false;
  // Posted even when closed: a connect or a reconnection may be under way.
  ioStrand_.post([self = shared_from_this()] { self->onCloseRequested(); });
}

void Client::onCloseRequested() {
  // Again on the strand: a connect that completed between close() and here
  // has set it.
  autoReconnect_ = false;
  ++reconnectRound_;
  reconnecting_ = false;
  retryTimer_.cancel();
  attemptTimer_.cancel();
  if (auto attempt = std::move(pendingConnect_)) {
    {
      std::lock_guard lock(attempt->lock);
      if (!attempt->done) {
        attempt->done = true;
        attempt->connected = false;
        attempt->abandoned = true;
      }
    }
    attempt->finished.notify_all();
  }
  if (closed_) {
    closeQuietly(socket_);  // a connect or reconnection attempt in flight
    socket_.reset();
    return;
  }
  handleClose(error_code());
}

void Client::handleClose(const error_code& error) {
  if (closed_) return;
  closed_ = true;
  sendQueue_.clear();
  queued_ = 0;
  reader_.reset();
  closeQuietly(socket_);
  socket_.reset();
  postCallback({CallbackEvent::Kind::Disconnected, nullptr, 0, error});
  if (autoReconnect_) scheduleReconnect();
}

void Client::scheduleReconnect() {
  reconnecting_ = true;
  const std::uint64_t round = ++reconnectRound_;
  const std::uint32_t delay = retryDelayMs_;
  retryDelayMs_ = std::min(retryDelayMs_ * 2, kMaxRetryDelayMs);
  retryTimer_.expires_after(std::chrono::milliseconds(delay));
  retryTimer_.async_wait(asio::bind_executor(ioStrand_, [self = shared_from_this(), round](const error_code& error) {
    if (!error) self->startReconnectAttempt(round);
  }));
}

void Client::retryNow() {
  if (!reconnecting_ || !autoReconnect_ || !closed_) return;
  retryTimer_.cancel();
  attemptTimer_.cancel();
  closeQuietly(socket_);
  socket_.reset();
  retryDelayMs_ = kFirstRetryDelayMs;
  startReconnectAttempt(++reconnectRound_);
}

void Client::startReconnectAttempt(std::uint64_t round) {
  if (round != reconnectRound_ || !autoReconnect_ || !closed_) return;
  std::string host;
  int port = 0;
  std::uint32_t limit = 0;
  {
    std::lock_guard lock(addressLock_);
    host = host_;
    port = port_;
    limit = attemptLimitMs_;
  }
  error_code error;
  const auto address = asio::ip::make_address(host, error);
  if (error || port <= 0 || port > 65535) {
    scheduleReconnect();
    return;
  }
  ++reconnectAttempts_;
  auto socket = std::make_shared<Socket>(ioPool_->service());
  socket_ = socket;
  attemptTimer_.expires_after(std::chrono::milliseconds(limit));
  attemptTimer_.async_wait(
      asio::bind_executor(ioStrand_, [self = shared_from_this(), round, socket](const error_code& timerError) {
        // Too slow: closing the socket fails the attempt, which then retries.
        if (!timerError && round == self->reconnectRound_ && socket == self->socket_ && self->closed_) {
          error_code ignored;
          socket->close(ignored);
        }
      }));
  socket->async_connect(tcp::endpoint(address, static_cast<unsigned short>(port)),
                        asio::bind_executor(ioStrand_, [self = shared_from_this(), round, socket](const error_code& e) {
                          self->onReconnectDone(round, socket, e);
                        }));
}

void Client::onReconnectDone(std::uint64_t round, const SocketPtr& socket, const error_code& error) {
  if (round != reconnectRound_ || socket != socket_) {
    closeQuietly(socket);
    return;
  }
  attemptTimer_.cancel();
  if (!autoReconnect_) {
    // close came meanwhile: the new connection is closed again.
    reconnecting_ = false;
    closeQuietly(socket);
    socket_.reset();
    return;
  }
  if (error) {
    closeQuietly(socket);
    socket_.reset();
    scheduleReconnect();
    return;
  }
  reconnecting_ = false;
  becomeConnected(socket);
  postCallback({CallbackEvent::Kind::Reconnected, nullptr, 0, {}});
}

// ---- reading ----------------------------------------------------------------

void Client::startRead(const SocketPtr& socket) {
  const FrameReader::Region region = reader_.prepare();
  if (region.size == 0) return;  // no buffer: the read loop rests until the next connection
  socket->async_read_some(asio::buffer(region.data, region.size),
                          asio::bind_executor(ioStrand_, [self = shared_from_this(), socket](const error_code& error,
                                                                                              std::size_t count) {
                            self->onRead(socket, error, count);
                          }));
}

void Client::onRead(const SocketPtr& socket, const error_code& error, std::size_t count) {
  if (socket != socket_ || closed_) return;
  if (error) {
    handleClose(error);
    return;
  }
  BufferPtr body;
  switch (reader_.commit(count, body)) {
    case FrameReader::Result::Body:
      postCallback({CallbackEvent::Kind::Recv, std::move(body), 0, {}});
      startRead(socket);
      break;
    case FrameReader::Result::NeedMore:
      startRead(socket);
      break;
    case FrameReader::Result::BadLength:
      LOG_WARNING("Client %s:%d sent a frame length of %d, closing", remoteHost().c_str(), remotePort(),
                  reader_.lastLength());
      handleClose(error_code());
      break;
    case FrameReader::Result::NoBuffer:
      break;
  }
}

// ---- writing ----------------------------------------------------------------

bool Client::send(BufferPtr buffer) {
  if (!buffer || closed_) return false;
  ioStrand_.post([self = shared_from_this(), buffer = std::move(buffer)]() mutable { self->enqueue(std::move(buffer)); });
  return true;
}

void Client::enqueue(BufferPtr buffer) {
  if (closed_) return;
  sendQueue_.push_back(std::move(buffer));
  queued_ = static_cast<std::int32_t>(sendQueue_.size());
  if (sendQueue_.size() == 1) startWrite();
}

void Client::startWrite() {
  const BufferPtr& front = sendQueue_.front();
  asio::async_write(*socket_, asio::buffer(front->data(), static_cast<std::size_t>(front->size())),
                    asio::bind_executor(ioStrand_, [self = shared_from_this(), socket = socket_](
                                                       const error_code& error, std::size_t) {
                      self->onWrite(socket, error);
                    }));
}

void Client::onWrite(const SocketPtr& socket, const error_code& error) {
  if (closed_ || socket != socket_) return;
  if (error) {
    handleClose(error);
    return;
  }
  BufferPtr written = std::move(sendQueue_.front());
  sendQueue_.pop_front();
  const auto remaining = static_cast<std::int32_t>(sendQueue_.size());
  queued_ = remaining;
  postCallback({CallbackEvent::Kind::Sent, std::move(written), remaining, {}});
  if (sendQueue_.empty()) return;
  if (sendQueue_.size() > static_cast<std::size_t>(kCoalesceAbove)) coalesceQueue();
  startWrite();
}

// Copies the whole backlog, in order, into one buffer written at once.
void Client::coalesceQueue() {
  std::int64_t total = 0;
  for (const auto& buffer : sendQueue_) total += buffer->size();
  if (total > INT32_MAX) return;
  BufferPtr combined = getBuffer();
  if (!combined) return;  // no buffer: written one by one
  combined->resize(static_cast<std::int32_t>(total));
  std::uint8_t* out = combined->data();
  for (const auto& buffer : sendQueue_) {
    std::memcpy(out, buffer->data(), static_cast<std::size_t>(buffer->size()));
    out += buffer->size();
  }
  sendQueue_.clear();
  sendQueue_.push_back(std::move(combined));
  queued_ = 1;
}
