#pragma once
#include "link/AsioBuffer.h"
#include "link/MessageEnvelope.h"

// The command payload: "1" (ENCODRTYPE_BASE64), the Base64 text of the compact
// JSON envelope, a zero byte. In a frame the length field holds the Base64
// length + 2. Both directions, every link.
namespace payload {
inline constexpr std::uint8_t kEncodingBase64 = '1';
}

// Fills `payload` (resized) with the payload of the envelope. False when the
// envelope cannot be encoded or its frame would exceed the 512 000-byte body
// limit a receiver enforces; `payload` is then left empty.
bool buildPayload(const MessageEnvelope& envelope, Asio_Buffer& payload);

// The same payload behind its 4-byte length field, ready for Client::send.
bool buildFrame(const MessageEnvelope& envelope, Asio_Buffer& frame);

// Decodes a received body. Drops it (false) unless the last byte is zero and
// the first is "1" and the text up to the first zero byte is strict Base64.
// The decoded JSON is logged ("Prompt:") with the caller's source location
// (filled in by default) before the envelope is decoded; the decode decides
// the result.
bool parsePayload(const Asio_Buffer& body, MessageEnvelope& envelope, const char* callerFile = __builtin_FILE(),
                  unsigned callerLine = __builtin_LINE());
