#include "sim/FramedConnection.h"

#include <boost/asio/write.hpp>

#include <cstring>

namespace sim {

namespace asio = boost::asio;
using boost::system::error_code;

namespace {
constexpr std::size_t kReadChunk = 64 * 1024;
constexpr std::size_t kBatch = 64;  // frames per write
}  // namespace

FramedConnection::FramedConnection(asio::ip::tcp::socket socket) : socket_(std::move(socket)) {
  error_code ec;
  const auto remote = socket_.remote_endpoint(ec);
  if (!ec) peer_ = remote.address().to_string() + ":" + std::to_string(remote.port());
  socket_.set_option(asio::ip::tcp::no_delay(true), ec);
}

FramedConnection::~FramedConnection() = default;

asio::io_service& FramedConnection::service() {
  return static_cast<asio::io_service&>(socket_.get_executor().context());
}

void FramedConnection::start() {
  if (started_) return;
  started_ = true;
  readBuffer_.resize(kReadChunk);
  readSome();
}

void FramedConnection::readSome() {
  auto self = shared_from_this();
  socket_.async_read_some(asio::buffer(readBuffer_), [self](const error_code& ec, std::size_t n) {
    if (!self->open_) return;
    if (ec) {
      self->close();
      return;
    }
    self->consume(n);
    if (self->open_) self->readSome();
  });
}

void FramedConnection::consume(std::size_t bytes) {
  pending_.insert(pending_.end(), readBuffer_.begin(), readBuffer_.begin() + static_cast<std::ptrdiff_t>(bytes));
  std::size_t at = 0;
  while (open_ && pending_.size() - at >= 4) {
    const std::uint8_t* p = pending_.data() + at;
    const std::int32_t length = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) | p[1] << 8 | p[2] << 16 |
                                                          static_cast<std::uint32_t>(p[3]) << 24);
    if (length < 4 || length > static_cast<std::int32_t>(kMaxFrameBody)) {
      onBadLength(length);
      close();
      return;
    }
    if (pending_.size() - at < 4 + static_cast<std::size_t>(length)) break;
    onFrame(p + 4, static_cast<std::size_t>(length));
    at += 4 + static_cast<std::size_t>(length);
  }
  if (!open_) return;
  pending_.erase(pending_.begin(), pending_.begin() + static_cast<std::ptrdiff_t>(at));
}

void FramedConnection::send(SharedBytes frame) {
  if (!open_ || !frame || frame->empty()) return;
  queuedBytes_ += frame->size();
  queue_.push_back(std::move(frame));
  if (inFlight_ == 0) writeNext();
}

void FramedConnection::writeNext() {
  if (!open_ || queue_.empty()) return;
  std::vector<asio::const_buffer> buffers;
  inFlight_ = std::min(queue_.size(), kBatch);
  buffers.reserve(inFlight_);
  for (std::size_t i = 0; i < inFlight_; ++i) buffers.emplace_back(asio::buffer(*queue_[i]));
  auto self = shared_from_this();
  asio::async_write(socket_, buffers, [self](const error_code& ec, std::size_t) {
    if (!self->open_) return;
    if (ec) {
      self->close();
      return;
    }
    for (std::size_t i = 0; i < self->inFlight_; ++i) {
      self->queuedBytes_ -= self->queue_.front()->size();
      self->queue_.pop_front();
    }
    self->inFlight_ = 0;
    self->writeNext();
  });
}

void FramedConnection::close() {
  if (!open_) return;
  open_ = false;
  error_code ignored;
  socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
  socket_.close(ignored);
  queue_.clear();
  queuedBytes_ = 0;
  pending_.clear();
  onClosed();
}

// ---------------------------------------------------------------- listener

TcpListener::TcpListener(asio::io_service& service, std::string host, int port, Accepted accepted)
    : service_(service), acceptor_(service), retry_(service), host_(std::move(host)), port_(port), accepted_(std::move(accepted)) {}

void TcpListener::listen() {
  if (acceptor_.is_open()) return;
  const asio::ip::tcp::endpoint endpoint(asio::ip::make_address(host_), static_cast<unsigned short>(port_));
  acceptor_.open(endpoint.protocol());
  acceptor_.set_option(asio::ip::tcp::acceptor::reuse_address(true));
  try {
    acceptor_.bind(endpoint);
    acceptor_.listen(asio::socket_base::max_listen_connections);
  } catch (...) {
    error_code ignored;
    acceptor_.close(ignored);
    throw;
  }
  port_ = acceptor_.local_endpoint().port();
  ++generation_;
  acceptNext();
}

void TcpListener::stop() {
  error_code ignored;
  acceptor_.close(ignored);
  retry_.cancel(ignored);
  ++generation_;
}

void TcpListener::acceptNext() {
  auto self = shared_from_this();
  const std::uint64_t generation = generation_;
  auto socket = std::make_shared<asio::ip::tcp::socket>(service_);
  acceptor_.async_accept(*socket, [self, socket, generation](const error_code& ec) {
    if (generation != self->generation_ || !self->acceptor_.is_open()) return;
    if (!ec) {
      self->accepted_(std::move(*socket));
      self->acceptNext();
      return;
    }
    // Errors such as too many open files must not end the listener; try
    // again a little later instead of spinning.
    self->retry_.expires_from_now(std::chrono::milliseconds(50));
    self->retry_.async_wait([self, generation](const error_code& waitError) {
      if (!waitError && generation == self->generation_ && self->acceptor_.is_open()) self->acceptNext();
    });
  });
}

}  // namespace sim
