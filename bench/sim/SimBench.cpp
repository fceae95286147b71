// What serving live CIF streams costs platform-sim: 1, 16 and 64 cameras at
// 25 fps with AAC sound, one viewer each, over loopback. The simulator runs
// in this process; its CPU time is the process's minus the viewer thread's.
// Also the one-off cost of coding a camera's loop.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <stdexcept>
#include <string>
#include <vector>

extern "C" {
#include <libavutil/log.h>
}

#include "common/Md5.h"
#include "link/AsioBuffer.h"
#include "link/Payload.h"
#include "sim/AudioEncoder.h"
#include "sim/MediaLibrary.h"
#include "sim/Simulator.h"

namespace {

using Clock = std::chrono::steady_clock;

double cpuSeconds(clockid_t clock) {
  timespec t{};
  clock_gettime(clock, &t);
  return static_cast<double>(t.tv_sec) + t.tv_nsec / 1e9;
}

std::string cameraId(int i) { return "cif-" + std::to_string(1000 + i); }

std::string config(int cameras) {
  std::string json = R"({"relays":[{"name":"relay1"}],"users":[{"name":"bench","password":"bench"}],
    "cameraDefaults":{"width":352,"height":288,"fps":25,"bitrate":384,
                      "audio":{"codec":"aac","sampleRate":8000,"toneHz":1000}},
    "nodes":[{"id":"n1","cameras":[)";
  for (int i = 0; i < cameras; ++i) {
    if (i) json += ',';
    json += "{\"id\":\"";
    json += cameraId(i);
    json += "\"}";
  }
  json += "]}]}";
  return json;
}

// One viewer: a socket, its unparsed bytes, what it counted.
struct Viewer {
  int fd = -1;
  std::vector<std::uint8_t> pending;
  std::uint64_t pictures = 0, sound = 0, bytes = 0, gaps = 0;
  std::uint32_t lastSequence = 0;
  bool sawKey = false;

  void consume() {
    std::size_t at = 0;
    while (pending.size() - at >= 4) {
      const std::uint8_t* p = pending.data() + at;
      const std::uint32_t n = p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
      if (pending.size() - at < 4 + n) break;
      const std::uint8_t* body = p + 4;
      if (n >= 25 && body[0] == 'V') {
        const std::uint32_t tag = (body[3] | body[4] << 8) ;
        if (tag == 'V') {
          const std::uint32_t sequence = body[13] | body[14] << 8 | body[15] << 16 | static_cast<std::uint32_t>(body[16]) << 24;
          if (lastSequence && sequence != lastSequence + 1) ++gaps;
          lastSequence = sequence;
          sawKey = sawKey || (body[17] & 1);
          ++pictures;
        } else {
          ++sound;
        }
      }
      bytes += 4 + n;
      at += 4 + n;
    }
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(at));
  }
};

int connectTo(const sim::ListenerInfo& relay) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_port = htons(static_cast<std::uint16_t>(relay.port));
  ::inet_pton(AF_INET, relay.host.c_str(), &a.sin_addr);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) throw std::runtime_error("connect failed");
  return fd;
}

void login(int fd, const std::string& id) {
  MessageEnvelope login;
  login.msgType = 1;
  login.params = {{"SxtId", id}, {"PWD", mc::md5Upper(id.substr(id.size() - 5))}};
  Asio_Buffer frame;
  buildFrame(login, frame);
  if (::send(fd, frame.data(), static_cast<std::size_t>(frame.size()), MSG_NOSIGNAL) != static_cast<ssize_t>(frame.size()))
    throw std::runtime_error("login send failed");
}

// Reads every viewer for `seconds`.
void pump(std::vector<Viewer>& viewers, double seconds) {
  std::vector<pollfd> fds;
  for (const Viewer& v : viewers) fds.push_back({v.fd, POLLIN, 0});
  const auto end = Clock::now() + std::chrono::duration<double>(seconds);
  std::uint8_t chunk[65536];
  while (Clock::now() < end) {
    if (::poll(fds.data(), fds.size(), 20) <= 0) continue;
    for (std::size_t i = 0; i < fds.size(); ++i) {
      if (!(fds[i].revents & POLLIN)) continue;
      const ssize_t n = ::recv(fds[i].fd, chunk, sizeof chunk, 0);
      if (n <= 0) continue;
      viewers[i].pending.insert(viewers[i].pending.end(), chunk, chunk + n);
      viewers[i].consume();
    }
  }
}

void serve(sim::Simulator& simulator, int streams) {
  const sim::ListenerInfo& relay = simulator.listener("relay1");
  std::vector<Viewer> viewers(static_cast<std::size_t>(streams));
  for (int i = 0; i < streams; ++i) {
    viewers[i].fd = connectTo(relay);
    login(viewers[i].fd, cameraId(i));
  }
  // Warm up until every stream has delivered a key frame (loops coded once).
  const auto warmLimit = Clock::now() + std::chrono::seconds(60);
  bool warm = false;
  while (!warm && Clock::now() < warmLimit) {
    pump(viewers, 0.5);
    warm = true;
    for (const Viewer& v : viewers) warm = warm && v.sawKey;
  }
  pump(viewers, 1.0);
  for (Viewer& v : viewers) v.pictures = v.sound = v.bytes = v.gaps = 0;

  const double window = 10.0;
  const double process0 = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID), viewer0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  const auto wall0 = Clock::now();
  pump(viewers, window);
  const double wall = std::chrono::duration<double>(Clock::now() - wall0).count();
  const double viewerCpu = cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - viewer0;
  const double simCpu = cpuSeconds(CLOCK_PROCESS_CPUTIME_ID) - process0 - viewerCpu;

  std::uint64_t pictures = 0, sound = 0, bytes = 0, gaps = 0;
  for (Viewer& v : viewers) {
    pictures += v.pictures;
    sound += v.sound;
    bytes += v.bytes;
    gaps += v.gaps;
    ::close(v.fd);
  }
  std::printf("%8d %12.2f %12.3f %14.1f %12.1f %10.0f %8llu\n", streams, 100 * simCpu / wall,
              100 * simCpu / wall / streams, pictures / wall / streams, sound / wall / streams,
              bytes * 8 / wall / streams / 1000, static_cast<unsigned long long>(gaps));
  std::fflush(stdout);
}

void codingCost() {
  const int rounds = 5;
  auto t0 = Clock::now();
  double cpu0 = cpuSeconds(CLOCK_THREAD_CPUTIME_ID);
  for (int i = 0; i < rounds; ++i) sim::makeVideoLoop({352, 288, 25, 384, i, {}, false});
  const double videoMs = 1000 * std::chrono::duration<double>(Clock::now() - t0).count() / rounds;
  const double videoCpuMs = 1000 * (cpuSeconds(CLOCK_THREAD_CPUTIME_ID) - cpu0) / rounds;
  t0 = Clock::now();
  sim::AudioSpec aac;
  aac.codec = sim::AudioCodec::Aac;
  for (int i = 0; i < rounds; ++i) sim::makeAudioLoop(aac);
  const double audioMs = 1000 * std::chrono::duration<double>(Clock::now() - t0).count() / rounds;
  std::printf("one-off coding per camera state: CIF video loop (2 s, coded twice) %.1f ms (%.1f ms CPU), "
              "AAC 8 kHz loop %.1f ms\n\n",
              videoMs, videoCpuMs, audioMs);
}

}  // namespace

int main() {
  av_log_set_level(AV_LOG_ERROR);
  codingCost();
  sim::SimConfig cfg = sim::SimConfig::parse(config(64));
  sim::Simulator simulator(cfg);
  simulator.start();
  simulator.runInBackground();
  std::printf("serving CIF 352x288 at 25 fps, 384 kbit/s, AAC 8 kHz; one viewer per camera; 10 s windows\n");
  std::printf("%8s %12s %12s %14s %12s %10s %8s\n", "streams", "sim CPU %", "CPU %/strm", "pictures/s/str",
              "sound/s/str", "kbit/s/str", "gaps");
  for (int streams : {1, 16, 64}) serve(simulator, streams);
  simulator.stop();
  return 0;
}
