#include "tests/sim/RelayViewer.h"

#include <cstdio>
#include <cstring>

#include "common/Md5.h"
#include "link/AsioBuffer.h"
#include "link/Payload.h"

namespace simtest {
namespace {

std::uint32_t word(const std::uint8_t* p) {
  return p[0] | p[1] << 8 | p[2] << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
  return static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count());
}

}  // namespace

std::string Media::recordTime() const {
  const std::uint32_t w = words[5];
  char text[32];
  std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u", (w & 0x3F) + 2012, (w >> 6) & 0xF, (w >> 10) & 0x1F,
                (w >> 15) & 0x1F, (w >> 20) & 0x3F);
  return text;
}

bool RelayViewer::pump(int timeoutMs) {
  std::vector<std::uint8_t> body;
  if (timeoutMs <= 0 || !link_.readFrame(body, timeoutMs)) return false;
  if (body.empty()) return true;
  if (body[0] == '1') {
    Asio_Buffer buffer(static_cast<std::int32_t>(body.size()));
    std::memcpy(buffer.data(), body.data(), body.size());
    MessageEnvelope envelope;
    if (parsePayload(buffer, envelope)) commands_.push_back(envelope);
    return true;
  }
  if (body[0] != 'V' || body.size() < 21) return true;
  Media m;
  m.arrived = Clock::now();
  m.tag = word(body.data() + 1) >> 16;
  const int words = m.video() ? 6 : 5;
  if (body.size() < static_cast<std::size_t>(1 + 4 * words)) return true;
  for (int i = 0; i < words; ++i) m.words[i] = word(body.data() + 1 + 4 * i);
  m.payload.assign(body.begin() + 1 + 4 * words, body.end());
  media_.push_back(std::move(m));
  return true;
}

bool RelayViewer::send(std::int32_t kind, const std::map<std::string, std::string>& params, std::int32_t timeSep) {
  return link_.sendCommand(kind, timeSep, params);
}

bool RelayViewer::waitCommand(std::int32_t kind, MessageEnvelope& out, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (true) {
    for (auto it = commands_.begin(); it != commands_.end(); ++it)
      if (it->msgType == kind) {
        out = *it;
        commands_.erase(it);
        return true;
      }
    if (!pump(msLeft(deadline))) return false;
  }
}

bool RelayViewer::request(std::int32_t kind, const std::map<std::string, std::string>& params, MessageEnvelope& reply,
                          std::int32_t timeSep, int timeoutMs) {
  return send(kind, params, timeSep) && waitCommand(kind, reply, timeoutMs);
}

bool RelayViewer::login(const std::string& key, MessageEnvelope& reply) {
  const std::string tail = key.size() > 5 ? key.substr(key.size() - 5) : key;
  return request(1, {{"SxtId", key}, {"PWD", mc::md5Upper(tail)}}, reply, 1);
}

std::string RelayViewer::loginStatus(const std::string& key) {
  MessageEnvelope reply;
  return login(key, reply) ? reply.param("status") : std::string();
}

std::vector<Media> RelayViewer::collect(int ms) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(ms);
  while (msLeft(deadline) > 0) pump(msLeft(deadline));
  std::vector<Media> out;
  out.swap(media_);
  return out;
}

std::vector<Media> RelayViewer::collectUntil(const std::function<bool(const std::vector<Media>&)>& enough,
                                             int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  while (!enough(media_) && msLeft(deadline) > 0) pump(msLeft(deadline));
  std::vector<Media> out;
  out.swap(media_);
  return out;
}

bool RelayViewer::silentFor(int ms) {
  media_.clear();
  return collect(ms).empty();
}

}  // namespace simtest
