#pragma once
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <condition_variable>
#include <deque>
#include <string>
#include <thread>
#include <vector>

namespace mc::test {

// One accepted TCP connection with blocking helpers that give up after a time
// limit. Plain POSIX sockets, independent of the code under test.
class PeerConnection {
 public:
  explicit PeerConnection(int fd);
  ~PeerConnection();
  PeerConnection(const PeerConnection&) = delete;
  PeerConnection& operator=(const PeerConnection&) = delete;

  bool sendBytes(const void* data, std::size_t size);
  bool sendBytes(const std::vector<std::uint8_t>& bytes) { return sendBytes(bytes.data(), bytes.size()); }
  // Exactly `size` bytes within the limit, or false (timeout, close, error).
  bool readExactly(std::size_t size, std::vector<std::uint8_t>& out, int timeoutMs = 5000);
  // One frame: 4-byte little-endian length, then the body.
  bool readFrame(std::vector<std::uint8_t>& body, int timeoutMs = 5000);
  // Waits until the peer closes; returns the errno of the final read (0 for
  // an orderly close), or -1 when nothing happened within the limit.
  int waitForClose(int timeoutMs = 5000);
  void close();
  int fd() const { return fd_; }
  // The port of the client side of this connection.
  int remotePort() const;

 private:
  int fd_;
};

// A listening socket on 127.0.0.1 (port 0: any free port) that accepts on a
// thread of its own and hands out the connections in arrival order.
class LoopbackPeer {
 public:
  explicit LoopbackPeer(int port = 0);
  ~LoopbackPeer();
  LoopbackPeer(const LoopbackPeer&) = delete;
  LoopbackPeer& operator=(const LoopbackPeer&) = delete;

  int port() const { return port_; }
  // The next accepted connection, or null after the limit.
  std::shared_ptr<PeerConnection> nextConnection(int timeoutMs = 5000);
  int acceptedCount() const { return accepted_; }
  // Accept and close every new connection at once (a peer that drops links).
  void setDropOnAccept(bool drop) { dropOnAccept_ = drop; }
  // Stops listening: further connection attempts are refused.
  void stopListening();

 private:
  void acceptLoop();

  int listenFd_ = -1;
  int wakeFd_ = -1;
  int port_ = 0;
  std::thread thread_;
  std::mutex lock_;
  std::condition_variable arrived_;
  std::deque<std::shared_ptr<PeerConnection>> pending_;
  std::atomic<int> accepted_{0};
  std::atomic<bool> dropOnAccept_{false};
};

// A little-endian length prefix and the body.
std::vector<std::uint8_t> frameBytes(const std::vector<std::uint8_t>& body);
std::vector<std::uint8_t> lengthBytes(std::int32_t length);

}  // namespace mc::test
