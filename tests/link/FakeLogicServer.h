#pragma once
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "link/MessageEnvelope.h"
#include "tests/link/LoopbackPeer.h"

namespace mc::test {

// A logic server for tests: takes one connection at a time on 127.0.0.1,
// reads framed envelopes with the project's own framing and payload code (as
// the platform simulator will) and answers each through a responder.
class FakeLogicServer {
 public:
  using Responder = std::function<std::vector<MessageEnvelope>(const MessageEnvelope& request)>;

  FakeLogicServer();
  ~FakeLogicServer();
  FakeLogicServer(const FakeLogicServer&) = delete;
  FakeLogicServer& operator=(const FakeLogicServer&) = delete;

  int port() const { return peer_.port(); }
  std::string portText() const { return std::to_string(port()); }
  void setResponder(Responder responder);

  std::vector<MessageEnvelope> requests();
  std::vector<std::vector<std::uint8_t>> rawBodies();
  bool waitForRequests(std::size_t count, int timeoutMs = 5000);
  bool waitForConnections(int count, int timeoutMs = 8000);

  // Sends to the current connection: an envelope, or bytes framed as they are.
  bool push(const MessageEnvelope& envelope);
  bool pushBody(const std::vector<std::uint8_t>& body);
  // Closes the current connection (the client reconnects by itself).
  void dropConnection();

  // A reply to `request`: its msgType, clientType 2, the given params.
  static MessageEnvelope reply(const MessageEnvelope& request, std::map<std::string, std::string> params);

 private:
  void serve();
  void serveConnection(const std::shared_ptr<PeerConnection>& connection);
  bool sendEnvelope(const std::shared_ptr<PeerConnection>& connection, const MessageEnvelope& envelope);

  LoopbackPeer peer_;
  std::atomic<bool> stop_{false};
  std::mutex lock_;
  std::condition_variable changed_;
  Responder responder_;
  std::vector<MessageEnvelope> requests_;
  std::vector<std::vector<std::uint8_t>> rawBodies_;
  std::shared_ptr<PeerConnection> current_;
  int connections_ = 0;
  std::mutex sendLock_;
  std::thread thread_;
};

}  // namespace mc::test
