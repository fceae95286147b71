#include "tests/link/FakeLogicServer.h"

#include <poll.h>
#include <sys/socket.h>

#include "link/Framing.h"
#include "link/Payload.h"

namespace mc::test {

FakeLogicServer::FakeLogicServer() : thread_([this] { serve(); }) {}

FakeLogicServer::~FakeLogicServer() {
  stop_ = true;
  thread_.join();
}

void FakeLogicServer::setResponder(Responder responder) {
  std::lock_guard lock(lock_);
  responder_ = std::move(responder);
}

std::vector<MessageEnvelope> FakeLogicServer::requests() {
  std::lock_guard lock(lock_);
  return requests_;
}

std::vector<std::vector<std::uint8_t>> FakeLogicServer::rawBodies() {
  std::lock_guard lock(lock_);
  return rawBodies_;
}

bool FakeLogicServer::waitForRequests(std::size_t count, int timeoutMs) {
  std::unique_lock lock(lock_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return requests_.size() >= count; });
}

bool FakeLogicServer::waitForConnections(int count, int timeoutMs) {
  std::unique_lock lock(lock_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] { return connections_ >= count; });
}

MessageEnvelope FakeLogicServer::reply(const MessageEnvelope& request, std::map<std::string, std::string> params) {
  MessageEnvelope envelope;
  envelope.msgType = request.msgType;
  envelope.params = std::move(params);
  return envelope;
}

bool FakeLogicServer::sendEnvelope(const std::shared_ptr<PeerConnection>& connection, const MessageEnvelope& envelope) {
  Asio_Buffer frame;
  if (!connection || !buildFrame(envelope, frame)) return false;
  std::lock_guard lock(sendLock_);
  return connection->sendBytes(frame.data(), static_cast<std::size_t>(frame.size()));
}

bool FakeLogicServer::push(const MessageEnvelope& envelope) {
  std::shared_ptr<PeerConnection> connection;
  {
    std::lock_guard lock(lock_);
    connection = current_;
  }
  return sendEnvelope(connection, envelope);
}

bool FakeLogicServer::pushBody(const std::vector<std::uint8_t>& body) {
  std::shared_ptr<PeerConnection> connection;
  {
    std::lock_guard lock(lock_);
    connection = current_;
  }
  if (!connection) return false;
  std::lock_guard lock(sendLock_);
  return connection->sendBytes(frameBytes(body));
}

void FakeLogicServer::dropConnection() {
  std::lock_guard lock(lock_);
  if (current_) ::shutdown(current_->fd(), SHUT_RDWR);
}

void FakeLogicServer::serve() {
  while (!stop_) {
    auto connection = peer_.nextConnection(50);
    if (!connection) continue;
    {
      std::lock_guard lock(lock_);
      current_ = connection;
      ++connections_;
    }
    changed_.notify_all();
    serveConnection(connection);
    std::lock_guard lock(lock_);
    current_.reset();
  }
}

void FakeLogicServer::serveConnection(const std::shared_ptr<PeerConnection>& connection) {
  FrameReader reader([] { return std::make_shared<Asio_Buffer>(4); }, [] { return std::make_shared<Asio_Buffer>(); });
  std::vector<std::uint8_t> chunk(65536);
  while (!stop_) {
    pollfd poller {connection->fd(), POLLIN, 0};
    if (::poll(&poller, 1, 50) <= 0) continue;
    const ssize_t count = ::recv(connection->fd(), chunk.data(), chunk.size(), 0);
    if (count <= 0) return;
    std::vector<MessageEnvelope> toSend;
    const auto result = reader.feed(chunk.data(), static_cast<std::size_t>(count), [&](BufferPtr body) {
      MessageEnvelope request;
      const bool parsed = parsePayload(*body, request);
      Responder responder;
      {
        std::lock_guard lock(lock_);
        rawBodies_.emplace_back(body->data(), body->data() + body->size());
        if (parsed) requests_.push_back(request);
        responder = responder_;
      }
      changed_.notify_all();
      if (parsed && responder) {
        for (auto& envelope : responder(request)) toSend.push_back(std::move(envelope));
      }
    });
    for (const auto& envelope : toSend) sendEnvelope(connection, envelope);
    if (result == FrameReader::Result::BadLength || result == FrameReader::Result::NoBuffer) return;
  }
}

}  // namespace mc::test
