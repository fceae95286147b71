#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "link/MessageEnvelope.h"

namespace simtest {

// A plain blocking TCP client for loopback tests that must send bytes no
// well-behaved client would, or read exactly what a server sends.
class RawLink {
 public:
  RawLink(const std::string& host, int port);
  ~RawLink();
  RawLink(const RawLink&) = delete;
  RawLink& operator=(const RawLink&) = delete;

  bool sendBytes(const std::vector<std::uint8_t>& bytes);
  bool sendBytes(const std::string& bytes) { return sendBytes(std::vector<std::uint8_t>(bytes.begin(), bytes.end())); }
  // One command envelope, framed as the client would.
  bool sendCommand(std::int32_t msgType, std::int32_t timeSep, const std::map<std::string, std::string>& params,
                   std::int32_t clientType = 2);

  // The next frame body; false on timeout or when the link ended.
  bool readFrame(std::vector<std::uint8_t>& body, int timeoutMs = 5000);
  // The next command envelope, skipping media frames (counted into `skipped`).
  bool readCommand(MessageEnvelope& envelope, int timeoutMs = 5000, int* skipped = nullptr);
  // True when the peer closes the link within the time.
  bool closedByPeer(int timeoutMs = 3000);
  int fd() const { return fd_; }

 private:
  bool readExactly(std::uint8_t* out, std::size_t size, int timeoutMs);
  int fd_ = -1;
};

// A body of a well-formed frame: 4-byte little-endian length, then `body`.
std::vector<std::uint8_t> framed(const std::vector<std::uint8_t>& body);
std::vector<std::uint8_t> bytesOf(const std::string& text);

}  // namespace simtest
