#include "tests/camera/RelayPeer.h"

#include <boost/asio/io_service.hpp>
#include <boost/asio/ip/tcp.hpp>
#include <boost/asio/read.hpp>
#include <boost/asio/write.hpp>
#include <deque>
#include <future>
#include <stdexcept>

#include "link/Framing.h"
#include "link/Payload.h"

namespace mc::test {

namespace asio = boost::asio;
using asio::ip::tcp;
using boost::system::error_code;

struct RelayPeer::Impl {
  asio::io_service service;
  std::unique_ptr<asio::io_service::work> work;
  std::thread thread;
  std::unique_ptr<tcp::acceptor> acceptor;
  std::vector<std::shared_ptr<Session>> sessions;  // io thread only

  mutable std::mutex lock;  // guards everything below
  std::condition_variable changed;
  Responder responder;
  std::vector<MessageEnvelope> commands;
  std::vector<std::vector<std::uint8_t>> media;
  int accepted = 0;
  int open = 0;

  void acceptNext();

  // Runs `task` on the io thread and waits for it.
  template <typename Task>
  void run(Task task) {
    std::promise<void> done;
    service.post([&] {
      task();
      done.set_value();
    });
    done.get_future().wait();
  }
};

class RelayPeer::Session : public std::enable_shared_from_this<Session> {
 public:
  Session(RelayPeer::Impl& impl, tcp::socket socket) : impl_(impl), socket_(std::move(socket)) {}

  void start() { readHeader(); }

  void send(std::vector<std::uint8_t> frame) {
    if (closed_) return;
    queue_.push_back(std::move(frame));
    if (queue_.size() == 1) writeNext();
  }

  void close() {
    if (closed_) return;
    closed_ = true;
    error_code ignored;
    socket_.shutdown(tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    std::lock_guard lock(impl_.lock);
    --impl_.open;
    impl_.changed.notify_all();
  }

  bool closed() const { return closed_; }

 private:
  void readHeader() {
    asio::async_read(socket_, asio::buffer(header_), [self = shared_from_this()](const error_code& error, std::size_t) {
      if (error) return self->close();
      const std::int32_t length = frame::readLength(self->header_);
      if (!frame::isValidBodyLength(length)) return self->close();
      self->body_.assign(static_cast<std::size_t>(length), 0);
      self->readBody();
    });
  }

  void readBody() {
    asio::async_read(socket_, asio::buffer(body_), [self = shared_from_this()](const error_code& error, std::size_t) {
      if (error) return self->close();
      self->handleBody();
      if (!self->closed_) self->readHeader();
    });
  }

  void handleBody() {
    Asio_Buffer body(static_cast<std::int32_t>(body_.size()));
    std::copy(body_.begin(), body_.end(), body.data());
    MessageEnvelope envelope;
    if (!body_.empty() && body_[0] == payload::kEncodingBase64 && parsePayload(body, envelope)) {
      Responder responder;
      {
        std::lock_guard lock(impl_.lock);
        impl_.commands.push_back(envelope);
        responder = impl_.responder;
        impl_.changed.notify_all();
      }
      if (!responder) return;
      for (const auto& reply : responder(envelope)) {
        Asio_Buffer frame;
        if (buildFrame(reply, frame)) send(std::vector<std::uint8_t>(frame.data(), frame.data() + frame.size()));
      }
      return;
    }
    std::vector<std::uint8_t> whole(header_, header_ + 4);
    whole.insert(whole.end(), body_.begin(), body_.end());
    std::lock_guard lock(impl_.lock);
    impl_.media.push_back(std::move(whole));
    impl_.changed.notify_all();
  }

  void writeNext() {
    asio::async_write(socket_, asio::buffer(queue_.front()), [self = shared_from_this()](const error_code& error,
                                                                                       std::size_t) {
      if (error) return self->close();
      self->queue_.pop_front();
      if (!self->queue_.empty()) self->writeNext();
    });
  }

  RelayPeer::Impl& impl_;
  tcp::socket socket_;
  std::uint8_t header_[4] = {};
  std::vector<std::uint8_t> body_;
  std::deque<std::vector<std::uint8_t>> queue_;
  bool closed_ = false;
};

void RelayPeer::Impl::acceptNext() {
  tcp::acceptor* current = acceptor.get();
  auto socket = std::make_shared<tcp::socket>(service);
  current->async_accept(*socket, [this, current, socket](const error_code& error) {
    if (error || acceptor.get() != current) return;
    auto session = std::make_shared<Session>(*this, std::move(*socket));
    sessions.push_back(session);
    {
      std::lock_guard guard(lock);
      ++accepted;
      ++open;
      changed.notify_all();
    }
    session->start();
    acceptNext();
  });
}

RelayPeer::RelayPeer() : impl_(std::make_unique<Impl>()) {
  impl_->work = std::make_unique<asio::io_service::work>(impl_->service);
  impl_->thread = std::thread([this] { impl_->service.run(); });
  startListening();
}

RelayPeer::~RelayPeer() {
  impl_->run([this] {
    if (impl_->acceptor) impl_->acceptor->close();
    for (auto& session : impl_->sessions) session->close();
    impl_->sessions.clear();
  });
  impl_->work.reset();
  impl_->service.stop();
  impl_->thread.join();
}

void RelayPeer::setResponder(Responder responder) {
  std::lock_guard lock(impl_->lock);
  impl_->responder = std::move(responder);
}

void RelayPeer::sendBody(const std::vector<std::uint8_t>& body) {
  std::vector<std::uint8_t> frame(4 + body.size());
  frame::writeLength(frame.data(), static_cast<std::int32_t>(body.size()));
  std::copy(body.begin(), body.end(), frame.begin() + 4);
  impl_->run([this, &frame] {
    for (auto& session : impl_->sessions) session->send(frame);
  });
}

void RelayPeer::sendEnvelope(const MessageEnvelope& envelope) {
  Asio_Buffer payload;
  if (!buildPayload(envelope, payload)) throw std::runtime_error("envelope cannot be framed");
  sendBody(std::vector<std::uint8_t>(payload.data(), payload.data() + payload.size()));
}

void RelayPeer::dropConnections() {
  impl_->run([this] {
    for (auto& session : impl_->sessions) session->close();
    impl_->sessions.clear();
  });
}

void RelayPeer::stopListening() {
  impl_->run([this] {
    if (impl_->acceptor) impl_->acceptor->close();
    impl_->acceptor.reset();
  });
}

void RelayPeer::startListening() {
  impl_->run([this] {
    auto acceptor = std::make_unique<tcp::acceptor>(impl_->service);
    const tcp::endpoint endpoint(asio::ip::make_address("127.0.0.1"), static_cast<unsigned short>(port_));
    acceptor->open(endpoint.protocol());
    acceptor->set_option(tcp::acceptor::reuse_address(true));
    acceptor->bind(endpoint);
    acceptor->listen();
    port_ = acceptor->local_endpoint().port();
    impl_->acceptor = std::move(acceptor);
    impl_->acceptNext();
  });
}

int RelayPeer::connectionsAccepted() const {
  std::lock_guard lock(impl_->lock);
  return impl_->accepted;
}

int RelayPeer::openConnections() const {
  std::lock_guard lock(impl_->lock);
  return impl_->open;
}

bool RelayPeer::waitConnections(int accepted, std::chrono::milliseconds limit) {
  std::unique_lock lock(impl_->lock);
  return impl_->changed.wait_for(lock, limit, [&] { return impl_->accepted >= accepted; });
}

bool RelayPeer::waitOpenConnections(int open, std::chrono::milliseconds limit) {
  std::unique_lock lock(impl_->lock);
  return impl_->changed.wait_for(lock, limit, [&] { return impl_->open == open; });
}

std::vector<MessageEnvelope> RelayPeer::commands() const {
  std::lock_guard lock(impl_->lock);
  return impl_->commands;
}

std::optional<MessageEnvelope> RelayPeer::waitCommand(std::int32_t msgType, int occurrence,
                                                      std::chrono::milliseconds limit) {
  std::unique_lock lock(impl_->lock);
  std::optional<MessageEnvelope> found;
  impl_->changed.wait_for(lock, limit, [&] {
    int seen = 0;
    for (const auto& command : impl_->commands) {
      if (command.msgType == msgType && ++seen == occurrence) {
        found = command;
        return true;
      }
    }
    return false;
  });
  return found;
}

std::vector<std::vector<std::uint8_t>> RelayPeer::mediaFrames() const {
  std::lock_guard lock(impl_->lock);
  return impl_->media;
}

bool RelayPeer::waitMediaFrames(std::size_t count, std::chrono::milliseconds limit) {
  std::unique_lock lock(impl_->lock);
  return impl_->changed.wait_for(lock, limit, [&] { return impl_->media.size() >= count; });
}

}  // namespace mc::test
