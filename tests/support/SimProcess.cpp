#include "tests/support/SimProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace mc::test {
namespace {

using Clock = std::chrono::steady_clock;

// "ROLE HOST:PORT"
bool parseListener(const std::string& line, std::string& role, SimProcess::Endpoint& endpoint) {
  const auto space = line.find(' ');
  const auto colon = line.rfind(':');
  if (space == std::string::npos || colon == std::string::npos || colon < space) return false;
  role = line.substr(0, space);
  endpoint.host = line.substr(space + 1, colon - space - 1);
  endpoint.port = std::atoi(line.c_str() + colon + 1);
  return endpoint.port > 0;
}

}  // namespace

std::string platformSimPath() {
  if (const char* path = std::getenv("MC_PLATFORM_SIM"); path && *path) return path;
  return MC_PLATFORM_SIM_PATH;
}

SimProcess::SimProcess(const std::string& configJson, std::chrono::milliseconds startLimit) {
  configPath_ = folder_.file("sim.json");
  errorPath_ = folder_.file("sim.stderr");
  writeFile(configPath_, configJson);

  int out[2];
  if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  const std::string program = platformSimPath();
  std::string configFlag = "--config";
  char* argv[] = {const_cast<char*>(program.c_str()), configFlag.data(), configPath_.data(), nullptr};
  const int rc = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (rc != 0) {
    ::close(out[0]);
    pid_ = -1;
    throw std::runtime_error("cannot start " + program + ": " + std::strerror(rc));
  }
  stdoutFd_ = out[0];
  try {
    readListeners(stdoutFd_, startLimit);
    openControl();
  } catch (...) {
    stop(std::chrono::milliseconds(500));
    throw;
  }
}

SimProcess::~SimProcess() { stop(); }

void SimProcess::readListeners(int fd, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  std::string buffer;
  bool haveControl = false;
  while (!haveControl) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) throw std::runtime_error("platform-sim did not report its listeners in time: " + errorOutput());
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, static_cast<int>(left)) <= 0) continue;
    char chunk[512];
    const ssize_t n = ::read(fd, chunk, sizeof chunk);
    if (n <= 0) throw std::runtime_error("platform-sim ended before listening: " + errorOutput());
    buffer.append(chunk, static_cast<std::size_t>(n));
    std::size_t newline;
    while ((newline = buffer.find('\n')) != std::string::npos) {
      const std::string line = buffer.substr(0, newline);
      buffer.erase(0, newline + 1);
      std::string role;
      Endpoint endpoint;
      if (!parseListener(line, role, endpoint)) continue;
      if (role == "dispatcher") dispatcher_ = endpoint;
      else if (role == "logic") logic_ = endpoint;
      else if (role == "relay") relays_.push_back(endpoint);
      else if (role == "control") {
        control_ = endpoint;
        haveControl = true;
      }
    }
  }
}

void SimProcess::openControl() {
  controlFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (controlFd_ < 0) throw std::runtime_error("socket failed");
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(control_.port));
  if (::inet_pton(AF_INET, control_.host.c_str(), &address.sin_addr) != 1 ||
      ::connect(controlFd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    throw std::runtime_error("cannot reach the control port " + control_.host + ":" + control_.portText());
  timeval limit{10, 0};
  ::setsockopt(controlFd_, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
}

std::string SimProcess::command(const std::string& line) {
  if (controlFd_ < 0) throw std::runtime_error("the simulator is stopped");
  const std::string text = line + "\n";
  if (::send(controlFd_, text.data(), text.size(), MSG_NOSIGNAL) != static_cast<ssize_t>(text.size()))
    throw std::runtime_error("control port write failed");
  while (true) {
    const auto newline = controlPending_.find('\n');
    if (newline != std::string::npos) {
      std::string answer = controlPending_.substr(0, newline);
      controlPending_.erase(0, newline + 1);
      return answer;
    }
    char chunk[4096];
    const ssize_t n = ::recv(controlFd_, chunk, sizeof chunk, 0);
    if (n <= 0) throw std::runtime_error("the control port did not answer \"" + line + "\"");
    controlPending_.append(chunk, static_cast<std::size_t>(n));
  }
}

std::string SimProcess::controlOk(const std::string& line) {
  const std::string answer = command(line);
  if (answer == "ok") return {};
  if (answer.rfind("ok ", 0) == 0) return answer.substr(3);
  ADD_FAILURE() << "control \"" << line << "\" answered: " << answer;
  return {};
}

int SimProcess::stop(std::chrono::milliseconds grace) {
  if (controlFd_ >= 0) ::close(controlFd_);
  controlFd_ = -1;
  if (pid_ <= 0) return -1;
  ::kill(pid_, SIGTERM);
  int status = 0;
  const auto deadline = Clock::now() + grace;
  while (true) {
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_ || (done < 0 && errno != EINTR)) break;
    if (Clock::now() >= deadline) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
  if (stdoutFd_ >= 0) ::close(stdoutFd_);
  stdoutFd_ = -1;
  return status;
}

int SimProcess::waitExit(std::chrono::milliseconds limit) {
  if (pid_ <= 0) return -1;
  const auto deadline = Clock::now() + limit;
  int status = 0;
  while (true) {
    const pid_t done = ::waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (done < 0 && errno != EINTR) return -1;
    if (Clock::now() >= deadline) return -1;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
  if (controlFd_ >= 0) ::close(controlFd_);
  controlFd_ = -1;
  if (stdoutFd_ >= 0) ::close(stdoutFd_);
  stdoutFd_ = -1;
  return status;
}

std::string SimProcess::errorOutput() const { return readFile(errorPath_); }

}  // namespace mc::test
