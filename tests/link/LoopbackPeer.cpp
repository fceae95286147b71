#include "tests/link/LoopbackPeer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <stdexcept>

namespace mc::test {

namespace {

int remainingMs(std::chrono::steady_clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

}  // namespace

PeerConnection::PeerConnection(int fd) : fd_(fd) {}

PeerConnection::~PeerConnection() { close(); }

void PeerConnection::close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

int PeerConnection::remotePort() const {
  sockaddr_in address {};
  socklen_t length = sizeof address;
  if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&address), &length) != 0) return 0;
  return ntohs(address.sin_port);
}

bool PeerConnection::sendBytes(const void* data, std::size_t size) {
  const auto* bytes = static_cast<const std::uint8_t*>(data);
  while (size > 0) {
    const ssize_t sent = ::send(fd_, bytes, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) return false;
    bytes += sent;
    size -= static_cast<std::size_t>(sent);
  }
  return true;
}

bool PeerConnection::readExactly(std::size_t size, std::vector<std::uint8_t>& out, int timeoutMs) {
  out.assign(size, 0);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::size_t got = 0;
  while (got < size) {
    pollfd poller {fd_, POLLIN, 0};
    const int ready = ::poll(&poller, 1, remainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t count = ::recv(fd_, out.data() + got, size - got, 0);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    got += static_cast<std::size_t>(count);
  }
  return true;
}

bool PeerConnection::readFrame(std::vector<std::uint8_t>& body, int timeoutMs) {
  std::vector<std::uint8_t> header;
  if (!readExactly(4, header, timeoutMs)) return false;
  const std::uint32_t length = header[0] | (header[1] << 8) | (header[2] << 16) | (std::uint32_t(header[3]) << 24);
  if (length > 64u * 1024 * 1024) return false;
  return readExactly(length, body, timeoutMs);
}

int PeerConnection::waitForClose(int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  std::uint8_t scratch[4096];
  for (;;) {
    pollfd poller {fd_, POLLIN, 0};
    const int ready = ::poll(&poller, 1, remainingMs(deadline));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return -1;
    const ssize_t count = ::recv(fd_, scratch, sizeof scratch, 0);
    if (count == 0) return 0;
    if (count < 0) return errno == EINTR ? -1 : errno;
  }
}

LoopbackPeer::LoopbackPeer(int port) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (listenFd_ < 0) throw std::runtime_error(std::strerror(errno));
  const int on = 1;
  ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address {};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 || ::listen(listenFd_, 64) != 0)
    throw std::runtime_error(std::strerror(errno));
  socklen_t length = sizeof address;
  ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC);
  thread_ = std::thread([this] { acceptLoop(); });
}

LoopbackPeer::~LoopbackPeer() {
  stopListening();
  std::lock_guard lock(lock_);
  pending_.clear();
}

void LoopbackPeer::stopListening() {
  if (thread_.joinable()) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto written = ::write(wakeFd_, &one, sizeof one);
    thread_.join();
  }
  if (listenFd_ >= 0) ::close(listenFd_);
  if (wakeFd_ >= 0) ::close(wakeFd_);
  listenFd_ = wakeFd_ = -1;
}

void LoopbackPeer::acceptLoop() {
  for (;;) {
    pollfd pollers[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    if (::poll(pollers, 2, -1) < 0) {
      if (errno == EINTR) continue;
      return;
    }
    if (pollers[1].revents) return;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    ++accepted_;
    if (dropOnAccept_) {
      ::close(fd);
      continue;
    }
    {
      std::lock_guard lock(lock_);
      pending_.push_back(std::make_shared<PeerConnection>(fd));
    }
    arrived_.notify_all();
  }
}

std::shared_ptr<PeerConnection> LoopbackPeer::nextConnection(int timeoutMs) {
  std::unique_lock lock(lock_);
  if (!arrived_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [this] { return !pending_.empty(); }))
    return nullptr;
  auto connection = pending_.front();
  pending_.pop_front();
  return connection;
}

std::vector<std::uint8_t> lengthBytes(std::int32_t length) {
  const auto value = static_cast<std::uint32_t>(length);
  return {static_cast<std::uint8_t>(value), static_cast<std::uint8_t>(value >> 8),
          static_cast<std::uint8_t>(value >> 16), static_cast<std::uint8_t>(value >> 24)};
}

std::vector<std::uint8_t> frameBytes(const std::vector<std::uint8_t>& body) {
  auto bytes = lengthBytes(static_cast<std::int32_t>(body.size()));
  bytes.insert(bytes.end(), body.begin(), body.end());
  return bytes;
}

}  // namespace mc::test
