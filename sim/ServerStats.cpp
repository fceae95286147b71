#include "sim/ServerStats.h"

#include <json/json.h>

namespace sim {
namespace {

std::string write(const Json::Value& value) {
  Json::StreamWriterBuilder writer;
  writer["indentation"] = "";
  writer["emitUTF8"] = true;
  return Json::writeString(writer, value);
}

Json::Value paramsValue(const Params& params) {
  Json::Value out(Json::objectValue);
  for (const auto& [k, v] : params) out[k] = v;
  return out;
}

const char* modeName(Fault::Mode mode) {
  switch (mode) {
    case Fault::Mode::Delay: return "delay";
    case Fault::Mode::Withhold: return "withhold";
    case Fault::Mode::Mistime: return "mistime";
    case Fault::Mode::Normal: break;
  }
  return "normal";
}

}  // namespace

std::string paramsJson(const Params& params) { return write(paramsValue(params)); }

void ServerStats::connected() {
  std::lock_guard<std::mutex> guard(lock_);
  ++clients_;
  ++accepted_;
}

void ServerStats::disconnected() {
  std::lock_guard<std::mutex> guard(lock_);
  --clients_;
}

void ServerStats::refusedGarbage() {
  std::lock_guard<std::mutex> guard(lock_);
  ++garbage_;
}

void ServerStats::ignoredForeign() {
  std::lock_guard<std::mutex> guard(lock_);
  ++foreign_;
}

void ServerStats::request(const RequestRecord& record) {
  std::lock_guard<std::mutex> guard(lock_);
  ++requests_[record.msgType];
  last_[record.msgType] = record;
}

void ServerStats::answered() {
  std::lock_guard<std::mutex> guard(lock_);
  ++answered_;
}

Fault ServerStats::fault(int msgType) const {
  std::lock_guard<std::mutex> guard(lock_);
  const auto it = faults_.find(msgType);
  return it == faults_.end() ? Fault{} : it->second;
}

void ServerStats::setFault(int msgType, const Fault& fault) {
  std::lock_guard<std::mutex> guard(lock_);
  Fault& f = faults_[msgType];
  f.mode = fault.mode;
  f.delayMs = fault.delayMs;
  if (f.mode == Fault::Mode::Normal && f.overrides.empty()) faults_.erase(msgType);
}

void ServerStats::setOverride(int msgType, const std::string& name, const std::string& value) {
  std::lock_guard<std::mutex> guard(lock_);
  faults_[msgType].overrides[name] = value;
}

void ServerStats::clearFaults() {
  std::lock_guard<std::mutex> guard(lock_);
  faults_.clear();
}

void ServerStats::clearFault(int msgType) {
  std::lock_guard<std::mutex> guard(lock_);
  faults_.erase(msgType);
}

bool ServerStats::last(int msgType, RequestRecord& record) const {
  std::lock_guard<std::mutex> guard(lock_);
  const auto it = last_.find(msgType);
  if (it == last_.end()) return false;
  record = it->second;
  return true;
}

void ServerStats::reset() {
  std::lock_guard<std::mutex> guard(lock_);
  accepted_ = garbage_ = foreign_ = answered_ = 0;
  requests_.clear();
  last_.clear();
}

int ServerStats::clients() const {
  std::lock_guard<std::mutex> guard(lock_);
  return clients_;
}

std::string ServerStats::json() const {
  std::lock_guard<std::mutex> guard(lock_);
  Json::Value out(Json::objectValue);
  out["clients"] = clients_;
  out["accepted"] = static_cast<Json::UInt64>(accepted_);
  out["garbage"] = static_cast<Json::UInt64>(garbage_);
  out["foreign"] = static_cast<Json::UInt64>(foreign_);
  out["answered"] = static_cast<Json::UInt64>(answered_);
  Json::Value& requests = out["requests"] = Json::Value(Json::objectValue);
  for (const auto& [kind, n] : requests_) requests[std::to_string(kind)] = static_cast<Json::UInt64>(n);
  Json::Value& faults = out["faults"] = Json::Value(Json::objectValue);
  for (const auto& [kind, f] : faults_) {
    Json::Value fault;
    fault["mode"] = modeName(f.mode);
    if (f.mode == Fault::Mode::Delay) fault["ms"] = f.delayMs;
    if (!f.overrides.empty()) fault["overrides"] = paramsValue(f.overrides);
    faults[std::to_string(kind)] = fault;
  }
  return write(out);
}

}  // namespace sim
