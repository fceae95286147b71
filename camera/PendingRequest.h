#pragma once
#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "common/AutoResetEvent.h"
#include "link/MessageEnvelope.h"

// A relay command whose reply is awaited: the envelope sent, an event that
// the reply sets, and the reply texts the caller reads afterwards.
//
// Threads: the asking thread calls Begin, Wait and the readers; the link's
// callback strand calls Answer. The texts have their own lock, so a reply
// that arrives after its caller gave up cannot race the next round. CallLock
// keeps two callers of the same request from sharing one round.
class PendingRequest {
 public:
  // `resultNames`: the reply params copied besides "status" and "errorMsg".
  PendingRequest(std::int32_t msgType, std::vector<std::string> resultNames);
  PendingRequest(const PendingRequest&) = delete;
  PendingRequest& operator=(const PendingRequest&) = delete;

  // Starts a round: the event reset, the texts cleared, the envelope stamped
  // with `timeSep` and given `params`. Returns the envelope to send.
  MessageEnvelope Begin(std::int32_t timeSep, std::map<std::string, std::string> params = {});

  // Copies the reply's "status", "errorMsg" and result params (absent ones as
  // empty texts) and sets the event.
  void Answer(const MessageEnvelope& reply);

  // True when Answer came within `milliseconds`.
  bool Wait(std::uint32_t milliseconds);

  std::string Status() const;
  std::string ErrorMsg() const;
  // A result text by its param name; empty when absent or not a result name.
  std::string Result(const std::string& name) const;

  std::int32_t MsgType() const { return msgType; }
  std::int32_t TimeSep() const;
  std::mutex& CallLock() { return callLock; }

 private:
  const std::int32_t msgType;
  const std::vector<std::string> resultNames;
  mc::AutoResetEvent event;
  std::mutex callLock;

  mutable std::mutex textLock;  // guards everything below
  MessageEnvelope envelope;
  std::string status;
  std::string errorMsg;
  std::map<std::string, std::string> results;
};
