#include "link/MessageEnvelope.h"

#include <json/json.h>

std::string MessageEnvelope::param(const std::string& name) const {
  const auto it = params.find(name);
  return it == params.end() ? std::string() : it->second;
}

bool encodeEnvelope(const MessageEnvelope& envelope, std::string& json) {
  json.clear();
  try {
    Json::Value root(Json::objectValue);
    root["version"] = envelope.version;
    root["appId"] = envelope.appId;
    root["clientType"] = envelope.clientType;
    root["msgType"] = envelope.msgType;
    root["TimeSep"] = envelope.TimeSep;
    Json::Value params(Json::objectValue);
    for (const auto& [name, value] : envelope.params) params[name] = value;
    root["params"] = std::move(params);
    Json::FastWriter writer;
    json = writer.write(root);
  } catch (...) {
    json.clear();
    return false;
  }
  return !json.empty();
}

bool decodeEnvelope(std::string_view json, MessageEnvelope& envelope) {
  try {
    Json::Value root;
    Json::Reader reader;
    if (!reader.parse(json.data(), json.data() + json.size(), root, false)) return false;
    MessageEnvelope decoded;
    decoded.version = root.get("version", 0).asInt();
    decoded.appId = root.get("appId", 0).asInt();
    decoded.clientType = root.get("clientType", 0).asInt();
    decoded.msgType = root.get("msgType", 0).asInt();
    decoded.TimeSep = root.get("TimeSep", 0).asInt();
    const Json::Value& params = root["params"];
    for (const auto& name : params.getMemberNames()) {
      if (name.empty()) continue;
      decoded.params[name] = params[name].asString();
    }
    envelope = std::move(decoded);
  } catch (...) {
    return false;
  }
  return true;
}
