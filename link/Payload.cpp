#include "link/Payload.h"

#include <cstring>
#include <string>

#include "core/OLog.h"
#include "link/Base64.h"
#include "link/Framing.h"

namespace {

// Writes "1", the Base64 text and a zero byte at `out`.
void writePayload(const std::string& base64, std::uint8_t* out) {
  out[0] = payload::kEncodingBase64;
  std::memcpy(out + 1, base64.data(), base64.size());
  out[1 + base64.size()] = 0;
}

bool encodeText(const MessageEnvelope& envelope, std::string& base64) {
  std::string json;
  if (!encodeEnvelope(envelope, json)) return false;
  if (!base64Encode(json, base64)) return false;
  return base64.size() + 2 <= static_cast<std::size_t>(frame::kMaxBodySize);
}

const char* baseName(const char* path) {
  const char* slash = std::strrchr(path, '/');
  return slash ? slash + 1 : path;
}

}  // namespace

bool buildPayload(const MessageEnvelope& envelope, Asio_Buffer& out) {
  std::string base64;
  if (!encodeText(envelope, base64)) {
    out.resize(0);
    return false;
  }
  out.resize(static_cast<std::int32_t>(base64.size() + 2));
  writePayload(base64, out.data());
  return true;
}

bool buildFrame(const MessageEnvelope& envelope, Asio_Buffer& out) {
  std::string base64;
  if (!encodeText(envelope, base64)) {
    out.resize(0);
    return false;
  }
  const auto length = static_cast<std::int32_t>(base64.size() + 2);
  out.resize(length + frame::kHeaderSize);
  frame::writeLength(out.data(), length);
  writePayload(base64, out.data() + frame::kHeaderSize);
  return true;
}

bool parsePayload(const Asio_Buffer& body, MessageEnvelope& envelope, const char* callerFile, unsigned callerLine) {
  const auto size = static_cast<std::size_t>(body.size());
  if (size == 0) return false;
  const std::uint8_t* bytes = body.data();
  if (bytes[size - 1] != 0) return false;
  if (bytes[0] != payload::kEncodingBase64) return false;
  const auto* end = static_cast<const std::uint8_t*>(std::memchr(bytes + 1, 0, size - 1));
  const std::string_view text(reinterpret_cast<const char*>(bytes + 1), static_cast<std::size_t>(end - (bytes + 1)));
  std::string json;
  if (!base64Decode(text, json)) return false;
  if (OLog* log = OLog::current()) {
    log->setSource(baseName(callerFile), callerLine);
    log->write(OLog::Prompt, "接收到 ENCODRTYPE_BASE64 命令 data:%s", json.c_str());
  }
  return decodeEnvelope(json, envelope);
}
