#include "sim/ControlServer.h"

#include <boost/asio/read_until.hpp>
#include <boost/asio/streambuf.hpp>
#include <boost/asio/write.hpp>

#include <deque>
#include <istream>

namespace sim {

namespace asio = boost::asio;
using boost::system::error_code;

// One control client: reads a line, answers it, reads the next.
class ControlConnection : public std::enable_shared_from_this<ControlConnection> {
 public:
  ControlConnection(asio::ip::tcp::socket socket, std::weak_ptr<ControlServer> server, std::uint64_t id)
      : socket_(std::move(socket)), input_(ControlServer::kMaxLine), server_(std::move(server)), id_(id) {}

  void start() { readLine(); }

  void close() {
    if (!open_) return;
    open_ = false;
    error_code ignored;
    socket_.shutdown(asio::ip::tcp::socket::shutdown_both, ignored);
    socket_.close(ignored);
    if (auto server = server_.lock()) server->forget(id_);
  }

 private:
  void readLine() {
    auto self = shared_from_this();
    asio::async_read_until(socket_, input_, '\n', [self](const error_code& ec, std::size_t) {
      if (!self->open_) return;
      if (ec) {  // closed, or a line longer than the limit
        self->close();
        return;
      }
      std::istream in(&self->input_);
      std::string line;
      std::getline(in, line);
      auto server = self->server_.lock();
      if (!server) return;
      self->answer(server->commands_.execute(line) + "\n");
    });
  }

  void answer(std::string text) {
    auto self = shared_from_this();
    auto out = std::make_shared<std::string>(std::move(text));
    asio::async_write(socket_, asio::buffer(*out), [self, out](const error_code& ec, std::size_t) {
      if (!self->open_) return;
      if (ec) self->close();
      else self->readLine();
    });
  }

  asio::ip::tcp::socket socket_;
  asio::streambuf input_;
  std::weak_ptr<ControlServer> server_;
  const std::uint64_t id_;
  bool open_ = true;
};

ControlServer::ControlServer(asio::io_service& service, std::string host, int port, SimulatorControl& target)
    : service_(service), host_(std::move(host)), configuredPort_(port), commands_(target) {}

void ControlServer::start() {
  if (!listener_) {
    std::weak_ptr<ControlServer> weak = weak_from_this();
    listener_ = std::make_shared<TcpListener>(service_, host_, configuredPort_, [weak](asio::ip::tcp::socket s) {
      auto self = weak.lock();
      if (!self) return;
      const std::uint64_t id = ++self->nextId_;
      auto link = std::make_shared<ControlConnection>(std::move(s), weak, id);
      self->links_[id] = link;
      link->start();
    });
  }
  listener_->listen();
}

void ControlServer::stop() {
  if (listener_) listener_->stop();
  auto links = links_;
  for (auto& [id, link] : links) link->close();
}

int ControlServer::port() const { return listener_ ? listener_->port() : configuredPort_; }

void ControlServer::forget(std::uint64_t id) { links_.erase(id); }

}  // namespace sim
