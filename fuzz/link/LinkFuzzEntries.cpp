#include "fuzz/link/LinkFuzzEntries.h"

#include <cstring>

#include "link/Base64.h"
#include "link/ClientBufferPool.h"
#include "link/Framing.h"
#include "link/MemoryPool.h"
#include "link/Payload.h"

namespace link_fuzz {

namespace {

void require(bool condition) {
  if (!condition) __builtin_trap();
}

bool sameEnvelope(const MessageEnvelope& a, const MessageEnvelope& b) {
  return a.version == b.version && a.appId == b.appId && a.clientType == b.clientType && a.msgType == b.msgType &&
         a.TimeSep == b.TimeSep && a.params == b.params;
}

}  // namespace

int parsePayloadEntry(const std::uint8_t* data, std::size_t size) {
  Asio_Buffer body(static_cast<std::int32_t>(size));
  if (size > 0) std::memcpy(body.data(), data, size);
  MessageEnvelope envelope;
  if (!parsePayload(body, envelope)) return 0;

  // Integers survive exactly; texts may be normalised once by the JSON
  // writer (invalid UTF-8), after which they are stable.
  Asio_Buffer rebuilt;
  require(buildPayload(envelope, rebuilt));
  MessageEnvelope second;
  require(parsePayload(rebuilt, second));
  require(second.msgType == envelope.msgType && second.clientType == envelope.clientType &&
          second.version == envelope.version && second.appId == envelope.appId && second.TimeSep == envelope.TimeSep);
  require(buildPayload(second, rebuilt));
  MessageEnvelope third;
  require(parsePayload(rebuilt, third));
  require(sameEnvelope(second, third));

  // Base64 of the decoded text round-trips.
  const auto* end = static_cast<const std::uint8_t*>(std::memchr(data + 1, 0, size - 1));
  std::string json;
  require(base64Decode(std::string_view(reinterpret_cast<const char*>(data + 1), end - (data + 1)), json));
  std::string text, back;
  if (base64Encode(json, text)) {
    require(base64Decode(text, back));
    require(back == json);
  }
  return 0;
}

std::vector<std::vector<std::uint8_t>> referenceFrames(const std::uint8_t* data, std::size_t size, bool& badLength) {
  std::vector<std::vector<std::uint8_t>> frames;
  badLength = false;
  std::size_t at = 0;
  while (size - at >= 4) {
    const std::int32_t length = frame::readLength(data + at);
    if (length < 4 || length > 512000) {
      badLength = true;
      break;
    }
    if (size - at - 4 < static_cast<std::size_t>(length)) break;
    frames.emplace_back(data + at + 4, data + at + 4 + length);
    at += 4 + static_cast<std::size_t>(length);
  }
  return frames;
}

std::vector<std::size_t> readSizes(std::uint8_t seed, std::size_t size) {
  std::vector<std::size_t> sizes;
  std::uint32_t state = seed * 2654435761u + 1;
  const std::size_t largest = 1 + (seed % 64) * (seed % 7 == 0 ? 1024 : 16);
  for (std::size_t total = 0; total < size;) {
    state = state * 1103515245u + 12345u;
    const std::size_t next = std::min<std::size_t>(1 + (state >> 8) % largest, size - total);
    sizes.push_back(next);
    total += next;
  }
  return sizes;
}

int readLoopEntry(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::uint8_t seed = data[0];
  const std::uint8_t* stream = data + 1;
  const std::size_t length = size - 1;

  auto headers = MemoryPool<Asio_Buffer>::create([] { return new Asio_Buffer(4); });
  auto bodies = MemoryPool<Asio_Buffer>::create();
  headers->init(1, 2, 2, 4);
  bodies->init(1, 2, 2, 4);
  FrameReader reader([&headers] { return headers->get(); }, [&bodies] { return bodies->get(); });

  bool badLength = false;
  const auto expected = referenceFrames(stream, length, badLength);
  std::size_t delivered = 0;
  std::size_t at = 0;
  FrameReader::Result result = FrameReader::Result::NeedMore;
  for (const std::size_t readSize : readSizes(seed, length)) {
    std::size_t left = readSize;
    while (left > 0 && result != FrameReader::Result::BadLength) {
      // As a socket read: at most what the reader asks for.
      const FrameReader::Region region = reader.prepare();
      require(region.size > 0);
      const std::size_t take = std::min(region.size, left);
      std::memcpy(region.data, stream + at, take);
      at += take;
      left -= take;
      BufferPtr body;
      result = reader.commit(take, body);
      require(result != FrameReader::Result::NoBuffer);
      if (result == FrameReader::Result::Body) {
        require(delivered < expected.size());
        const auto& want = expected[delivered++];
        require(body && static_cast<std::size_t>(body->size()) == want.size() &&
                std::memcmp(body->data(), want.data(), want.size()) == 0);
        MessageEnvelope envelope;
        parsePayload(*body, envelope);
      }
    }
    if (result == FrameReader::Result::BadLength) break;
  }
  require(delivered == expected.size());
  require((result == FrameReader::Result::BadLength) == badLength);
  headers->close();
  bodies->close();
  return 0;
}

}  // namespace link_fuzz
