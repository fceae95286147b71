#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "link/ClientBufferPool.h"

// The framing of every link: a 32-bit little-endian signed length L, then L
// bytes of body, 4 <= L <= 512 000 on receipt. No socket code here, so a
// server speaking the same framing links it as it is.
namespace frame {

inline constexpr std::int32_t kHeaderSize = 4;
inline constexpr std::int32_t kMinBodySize = 4;
inline constexpr std::int32_t kMaxBodySize = 512000;

std::int32_t readLength(const std::uint8_t* bytes);
void writeLength(std::uint8_t* bytes, std::int32_t length);
inline bool isValidBodyLength(std::int32_t length) { return length >= kMinBodySize && length <= kMaxBodySize; }

// frame = length prefix + the `size` payload bytes (frame is resized).
void encodeFrame(const std::uint8_t* payload, std::int32_t size, Asio_Buffer& frame);

}  // namespace frame

// The receive side of the framing as a state machine that reads into pooled
// buffers without copying: prepare() says where the next bytes go (the rest of
// the 4-byte header, or the rest of the body), commit() takes how many
// arrived. A socket reader reads straight into the prepared region; a byte
// stream goes through feed(). One thread at a time.
class FrameReader {
 public:
  using BufferSource = std::function<BufferPtr()>;

  enum class Result {
    NeedMore,   // the current header or body is not complete yet
    Body,       // a whole body is ready (commit's `body`, or feed's callback)
    BadLength,  // a header announced a length outside 4..512 000; the stream is unusable
    NoBuffer,   // no header or body buffer could be had; nothing more is read
  };

  struct Region {
    std::uint8_t* data = nullptr;
    std::size_t size = 0;  // 0: nothing can be read (see the last result)
  };

  // `headerSource` gives the 4-byte header buffer (one per stream, reused),
  // `bodySource` one buffer per body.
  FrameReader(BufferSource headerSource, BufferSource bodySource);

  // Forgets any partial frame and the header buffer; the next prepare starts
  // a new stream.
  void reset();

  Region prepare();

  // `count` bytes were written into the last prepared region (count <= its
  // size). On Body, `body` holds the body (size = L) and the reader is back at
  // the next header.
  Result commit(std::size_t count, BufferPtr& body);

  // Copies a byte stream through the reader, calling onBody for every body in
  // order. Returns at the first BadLength or NoBuffer, else NeedMore once all
  // bytes are taken. `consumed` (optional) receives how many bytes were used.
  Result feed(const std::uint8_t* data, std::size_t size, const std::function<void(BufferPtr)>& onBody,
              std::size_t* consumed = nullptr);

  bool readingHeader() const { return !body_; }
  // The length of the last header read (the offending one after BadLength).
  std::int32_t lastLength() const { return lastLength_; }

 private:
  BufferSource headerSource_;
  BufferSource bodySource_;
  BufferPtr header_;
  BufferPtr body_;
  std::size_t filled_ = 0;  // bytes of the current header or body received
  std::int32_t lastLength_ = 0;
  Result stopped_ = Result::NeedMore;  // BadLength or NoBuffer once the stream is unusable
};
