#pragma once
#include <chrono>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "link/MessageEnvelope.h"
#include "tests/sim/RawLink.h"

namespace simtest {

// One media frame as received, taken apart by the layout the relay documents.
struct Media {
  std::uint32_t tag = 0;  // 'V', 'R', 'A', 'P'
  std::uint32_t words[6] = {};
  std::vector<std::uint8_t> payload;
  std::chrono::steady_clock::time_point arrived;

  bool video() const { return tag == 'V' || tag == 'R'; }
  bool key() const { return words[4] & 1; }
  int width() const { return static_cast<int>(words[4] >> 20); }
  int height() const { return static_cast<int>((words[4] >> 1) & 0xFFF); }
  std::uint32_t sequence() const { return words[3]; }
  std::uint32_t timestamp() const { return words[1]; }
  // Playback word 5 as "YYYY-MM-DD HH:MM".
  std::string recordTime() const;
};

// A raw client of a relay: logs in, sends commands, and sorts what comes
// back into replies, notices (kind 15) and media frames.
class RelayViewer {
 public:
  RelayViewer(const std::string& host, int port) : link_(host, port) {}

  // Sends the login (SxtId, PWD from the last five characters) and waits for its reply.
  bool login(const std::string& key, MessageEnvelope& reply);
  // Status of the login reply, "" when none came.
  std::string loginStatus(const std::string& key);

  bool send(std::int32_t kind, const std::map<std::string, std::string>& params, std::int32_t timeSep = 0);
  // Sends and waits for the reply of that kind (media and notices are kept).
  bool request(std::int32_t kind, const std::map<std::string, std::string>& params, MessageEnvelope& reply,
               std::int32_t timeSep = 0, int timeoutMs = 5000);
  // A reply or notice of `kind` that arrived or arrives within the time.
  bool waitCommand(std::int32_t kind, MessageEnvelope& out, int timeoutMs = 5000);

  // Reads for `ms` and returns the media frames received meanwhile (with any kept before).
  std::vector<Media> collect(int ms);
  // Reads until `enough` says so or the time passes; returns every frame read.
  std::vector<Media> collectUntil(const std::function<bool(const std::vector<Media>&)>& enough, int timeoutMs);
  // True when nothing but commands arrives for `ms`.
  bool silentFor(int ms);
  // True when the relay closes the link within the time.
  bool closedByPeer(int ms = 3000) { return link_.closedByPeer(ms); }

  RawLink& raw() { return link_; }

 private:
  // Reads one frame into the queues; false on timeout or end.
  bool pump(int timeoutMs);

  RawLink link_;
  std::deque<MessageEnvelope> commands_;
  std::vector<Media> media_;
};

}  // namespace simtest
