#pragma once
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

// The command envelope of every link, in memory. Outgoing envelopes start as
// version 1, appId 1, clientType 2 with empty params; the request sets msgType.
struct MessageEnvelope {
  std::int32_t version = 1;
  std::int32_t appId = 1;
  std::int32_t clientType = 2;
  std::int32_t msgType = 0;
  std::int32_t TimeSep = 0;
  std::map<std::string, std::string> params;  // ordered byte-wise, like the JSON writer

  // The param's text, or an empty text when it is missing.
  std::string param(const std::string& name) const;
};

// Compact JSON (jsoncpp's fast writer): no spaces, members sorted by name,
// one trailing line feed; every param written as a JSON string.
bool encodeEnvelope(const MessageEnvelope& envelope, std::string& json);

// Parses with jsoncpp's reader (comments allowed). Missing integer members
// read as 0 and missing params as none; param values that are strings, null,
// numbers or booleans become texts, an array or object value (or a member
// that is not a number where one is expected) fails the whole decode.
bool decodeEnvelope(std::string_view json, MessageEnvelope& envelope);
