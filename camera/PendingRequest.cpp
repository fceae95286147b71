#include "camera/PendingRequest.h"

PendingRequest::PendingRequest(std::int32_t msgType, std::vector<std::string> resultNames)
    : msgType(msgType), resultNames(std::move(resultNames)) {
  envelope.msgType = msgType;
}

MessageEnvelope PendingRequest::Begin(std::int32_t timeSep, std::map<std::string, std::string> params) {
  std::lock_guard lock(textLock);
  event.reset();
  status.clear();
  errorMsg.clear();
  results.clear();
  envelope.TimeSep = timeSep;
  envelope.params = std::move(params);
  return envelope;
}

void PendingRequest::Answer(const MessageEnvelope& reply) {
  {
    std::lock_guard lock(textLock);
    status = reply.param("status");
    errorMsg = reply.param("errorMsg");
    for (const auto& name : resultNames) results[name] = reply.param(name);
  }
  event.set();
}

bool PendingRequest::Wait(std::uint32_t milliseconds) { return event.wait(milliseconds); }

std::string PendingRequest::Status() const {
  std::lock_guard lock(textLock);
  return status;
}

std::string PendingRequest::ErrorMsg() const {
  std::lock_guard lock(textLock);
  return errorMsg;
}

std::string PendingRequest::Result(const std::string& name) const {
  std::lock_guard lock(textLock);
  const auto it = results.find(name);
  return it == results.end() ? std::string() : it->second;
}

std::int32_t PendingRequest::TimeSep() const {
  std::lock_guard lock(textLock);
  return envelope.TimeSep;
}
