#pragma once
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "link/MessageEnvelope.h"

namespace mc::test {

// A relay server for tests on 127.0.0.1: accepts links, records every
// command envelope and every other frame it receives, answers commands
// through a responder, and sends whatever bodies the test gives it. One
// thread runs all its socket work.
class RelayPeer {
 public:
  // Replies to one received command (none by default). Runs on the peer's
  // thread.
  using Responder = std::function<std::vector<MessageEnvelope>(const MessageEnvelope& request)>;

  RelayPeer();
  ~RelayPeer();
  RelayPeer(const RelayPeer&) = delete;
  RelayPeer& operator=(const RelayPeer&) = delete;

  int port() const { return port_; }
  std::string portText() const { return std::to_string(port_); }

  void setResponder(Responder responder);

  // Queues a body (the length field is added) on every open connection.
  void sendBody(const std::vector<std::uint8_t>& body);
  void sendEnvelope(const MessageEnvelope& envelope);
  // Closes every open connection; the listener stays.
  void dropConnections();
  // Stops accepting (connection attempts are refused) and resumes on the same port.
  void stopListening();
  void startListening();

  int connectionsAccepted() const;
  int openConnections() const;
  bool waitConnections(int accepted, std::chrono::milliseconds limit = std::chrono::seconds(5));
  bool waitOpenConnections(int open, std::chrono::milliseconds limit = std::chrono::seconds(5));

  // Commands received so far, in order.
  std::vector<MessageEnvelope> commands() const;
  // The `occurrence`-th command (1-based) of `msgType`, waiting for it.
  std::optional<MessageEnvelope> waitCommand(std::int32_t msgType, int occurrence = 1,
                                             std::chrono::milliseconds limit = std::chrono::seconds(5));
  // Frames received that were not commands, each with its length field.
  std::vector<std::vector<std::uint8_t>> mediaFrames() const;
  bool waitMediaFrames(std::size_t count, std::chrono::milliseconds limit = std::chrono::seconds(5));

 private:
  struct Impl;
  class Session;
  std::unique_ptr<Impl> impl_;
  int port_ = 0;
};

// Waits until `predicate` holds, polling every 2 ms.
template <typename Predicate>
bool eventually(Predicate predicate, std::chrono::milliseconds limit = std::chrono::seconds(5)) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (std::chrono::steady_clock::now() < deadline) {
    if (predicate()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return predicate();
}

}  // namespace mc::test
