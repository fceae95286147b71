#include "sim/FramedConnection.h"

#include <boost/asio/write.hpp>

#include <cstring>

namespace sim {

namespace asio = boost::asio;
using boost::system::error_code;

namespace {
constexpr std::size_t kBatch = 64;  // frames per write
}  // namespace

FramedConnection::FramedConnection(asio::ip::tcp::socket socket, std::shared_ptr<ClientBufferPool> buffers)
    : socket_(std::move(socket)),
      buffers_(std::move(buffers)),
      reader_([pool = buffers_] { return pool->getHeaderBuffer(); }, [pool = buffers_] { return pool->getBuffer(); }) {
  error_code ec;
  const auto remote = socket_.remote_endpoint(ec);
  if (!ec) peer_ = remote.address().to_string() + ":" + std::to_string(remote.port());
  socket_.set_option(asio::ip::tcp::no_delay(true), ec);
}

FramedConnection::~FramedConnection() = default;

asio::io_service& FramedConnection::service() {
  return static_cast<asio::io_service&>(socket_.get_executor().context());
}

void FramedConnection::limitSendBuffer(int bytes) {
  error_code ignored;
  socket_.set_option(asio::socket_base::send_buffer_size(bytes), ignored);
}

void FramedConnection::start() {
  if (started_) return;
  started_ = true;
  readSome();
}

void FramedConnection::readSome() {
  const FrameReader::Region region = reader_.prepare();
  if (region.size == 0) {  // no buffer to read into
    close();
    return;
  }
  auto self = shared_from_this();
  socket_.async_read_some(asio::buffer(region.data, region.size), [self](const error_code& ec, std::size_t n) {
    if (!self->open_) return;
    if (ec) {
      self->close();
      return;
    }
    BufferPtr body;
    switch (self->reader_.commit(n, body)) {
      case FrameReader::Result::Body: self->onFrame(body); break;
      case FrameReader::Result::BadLength:
        self->onBadLength(self->reader_.lastLength());
        self->close();
        return;
      case FrameReader::Result::NoBuffer: self->close(); return;
      case FrameReader::Result::NeedMore: break;
    }
    if (self->open_) self->readSome();
  });
}

void FramedConnection::send(SharedBytes frame) {
  if (!frame || frame->empty()) return;
  const std::uint8_t* data = frame->data();
  const std::size_t size = frame->size();
  queue({std::move(frame), data, size});
}

void FramedConnection::send(std::shared_ptr<const Asio_Buffer> frame) {
  if (!frame || frame->size() <= 0) return;
  const std::uint8_t* data = frame->data();
  const auto size = static_cast<std::size_t>(frame->size());
  queue({std::move(frame), data, size});
}

void FramedConnection::queue(Outgoing frame) {
  if (!open_) return;
  if (queuedBytes_ + frame.size > kMaxQueuedBytes) {
    // A peer that never reads what it asked for is let go.
    close();
    return;
  }
  queuedBytes_ += frame.size;
  queue_.push_back(std::move(frame));
  if (inFlight_ == 0) writeNext();
}

void FramedConnection::writeNext() {
  if (!open_ || queue_.empty()) return;
  std::vector<asio::const_buffer> buffers;
  inFlight_ = std::min(queue_.size(), kBatch);
  buffers.reserve(inFlight_);
  for (std::size_t i = 0; i < inFlight_; ++i) buffers.emplace_back(queue_[i].data, queue_[i].size);
  auto self = shared_from_this();
  asio::async_write(socket_, buffers, [self](const error_code& ec, std::size_t) {
    if (!self->open_) return;
    if (ec) {
      self->close();
      return;
    }
    for (std::size_t i = 0; i < self->inFlight_; ++i) {
      self->queuedBytes_ -= self->queue_.front().size;
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
  queuedBytes_ = 0;
  reader_.reset();
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
