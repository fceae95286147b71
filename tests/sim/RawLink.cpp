#include "tests/sim/RawLink.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <stdexcept>

#include "link/AsioBuffer.h"
#include "link/Payload.h"

namespace simtest {

std::vector<std::uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> framed(const std::vector<std::uint8_t>& body) {
  std::vector<std::uint8_t> out(4);
  const auto n = static_cast<std::uint32_t>(body.size());
  out[0] = static_cast<std::uint8_t>(n);
  out[1] = static_cast<std::uint8_t>(n >> 8);
  out[2] = static_cast<std::uint8_t>(n >> 16);
  out[3] = static_cast<std::uint8_t>(n >> 24);
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

RawLink::RawLink(const std::string& host, int port) {
  fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (fd_ < 0 || ::inet_pton(AF_INET, host.c_str(), &address.sin_addr) != 1 ||
      ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    throw std::runtime_error("cannot connect to " + host + ":" + std::to_string(port));
  int on = 1;
  ::setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

RawLink::~RawLink() {
  if (fd_ >= 0) ::close(fd_);
}

bool RawLink::sendBytes(const std::vector<std::uint8_t>& bytes) {
  std::size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n <= 0) return false;
    sent += static_cast<std::size_t>(n);
  }
  return true;
}

bool RawLink::sendCommand(std::int32_t msgType, std::int32_t timeSep, const std::map<std::string, std::string>& params,
                          std::int32_t clientType) {
  MessageEnvelope envelope;
  envelope.msgType = msgType;
  envelope.TimeSep = timeSep;
  envelope.clientType = clientType;
  envelope.params = params;
  Asio_Buffer frame;
  if (!buildFrame(envelope, frame)) return false;
  return sendBytes(std::vector<std::uint8_t>(frame.data(), frame.data() + frame.size()));
}

bool RawLink::readExactly(std::uint8_t* out, std::size_t size, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::size_t got = 0;
  while (got < size) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    const ssize_t n = ::recv(fd_, out + got, size - got, 0);
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return true;
}

bool RawLink::readFrame(std::vector<std::uint8_t>& body, int timeoutMs) {
  std::uint8_t header[4];
  if (!readExactly(header, 4, timeoutMs)) return false;
  const std::uint32_t n = header[0] | header[1] << 8 | header[2] << 16 | static_cast<std::uint32_t>(header[3]) << 24;
  if (n > 512000) return false;
  body.resize(n);
  return readExactly(body.data(), n, timeoutMs);
}

bool RawLink::readCommand(MessageEnvelope& envelope, int timeoutMs, int* skipped) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::vector<std::uint8_t> body;
  while (true) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0 || !readFrame(body, static_cast<int>(left))) return false;
    if (!body.empty() && body[0] == '1') {
      Asio_Buffer buffer(static_cast<std::int32_t>(body.size()));
      std::memcpy(buffer.data(), body.data(), body.size());
      envelope = MessageEnvelope{};
      return parsePayload(buffer, envelope);
    }
    if (skipped) ++*skipped;
  }
}

bool RawLink::closedByPeer(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::uint8_t sink[4096];
  while (true) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) return false;
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    const ssize_t n = ::recv(fd_, sink, sizeof sink, 0);
    if (n <= 0) return true;  // end of stream or reset
  }
}

}  // namespace simtest
