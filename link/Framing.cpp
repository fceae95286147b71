#include "link/Framing.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace frame {

std::int32_t readLength(const std::uint8_t* bytes) {
  const std::uint32_t value = static_cast<std::uint32_t>(bytes[0]) | (static_cast<std::uint32_t>(bytes[1]) << 8) |
                              (static_cast<std::uint32_t>(bytes[2]) << 16) |
                              (static_cast<std::uint32_t>(bytes[3]) << 24);
  return static_cast<std::int32_t>(value);
}

void writeLength(std::uint8_t* bytes, std::int32_t length) {
  const auto value = static_cast<std::uint32_t>(length);
  bytes[0] = static_cast<std::uint8_t>(value);
  bytes[1] = static_cast<std::uint8_t>(value >> 8);
  bytes[2] = static_cast<std::uint8_t>(value >> 16);
  bytes[3] = static_cast<std::uint8_t>(value >> 24);
}

void encodeFrame(const std::uint8_t* payload, std::int32_t size, Asio_Buffer& frame) {
  if (size < 0) size = 0;
  frame.resize(size + kHeaderSize);
  writeLength(frame.data(), size);
  if (size > 0) std::memcpy(frame.data() + kHeaderSize, payload, static_cast<std::size_t>(size));
}

}  // namespace frame

FrameReader::FrameReader(BufferSource headerSource, BufferSource bodySource)
    : headerSource_(std::move(headerSource)), bodySource_(std::move(bodySource)) {}

void FrameReader::reset() {
  header_.reset();
  body_.reset();
  filled_ = 0;
  lastLength_ = 0;
  stopped_ = Result::NeedMore;
}

FrameReader::Region FrameReader::prepare() {
  if (stopped_ != Result::NeedMore) return {};
  if (body_) {
    return {body_->data() + filled_, static_cast<std::size_t>(body_->size()) - filled_};
  }
  if (!header_) {
    header_ = headerSource_ ? headerSource_() : BufferPtr();
    if (!header_) {
      stopped_ = Result::NoBuffer;
      return {};
    }
    header_->resize(frame::kHeaderSize);
  }
  return {header_->data() + filled_, static_cast<std::size_t>(frame::kHeaderSize) - filled_};
}

FrameReader::Result FrameReader::commit(std::size_t count, BufferPtr& body) {
  if (stopped_ != Result::NeedMore) return stopped_;
  filled_ += count;
  if (body_) {
    if (filled_ < static_cast<std::size_t>(body_->size())) return Result::NeedMore;
    body = std::move(body_);
    body_.reset();
    filled_ = 0;
    return Result::Body;
  }
  if (!header_ || filled_ < static_cast<std::size_t>(frame::kHeaderSize)) return Result::NeedMore;
  filled_ = 0;
  lastLength_ = frame::readLength(header_->data());
  if (!frame::isValidBodyLength(lastLength_)) return stopped_ = Result::BadLength;
  BufferPtr next = bodySource_ ? bodySource_() : BufferPtr();
  if (!next) return stopped_ = Result::NoBuffer;
  try {
    next->resize(lastLength_);
  } catch (const std::bad_alloc&) {
    return stopped_ = Result::NoBuffer;
  }
  body_ = std::move(next);
  return Result::NeedMore;
}

FrameReader::Result FrameReader::feed(const std::uint8_t* data, std::size_t size,
                                      const std::function<void(BufferPtr)>& onBody, std::size_t* consumed) {
  std::size_t used = 0;
  Result result = stopped_;
  while (result == Result::NeedMore || result == Result::Body) {
    if (used == size) {
      result = Result::NeedMore;
      break;
    }
    const Region region = prepare();
    if (region.size == 0) {
      result = stopped_;
      break;
    }
    const std::size_t take = std::min(region.size, size - used);
    std::memcpy(region.data, data + used, take);
    used += take;
    BufferPtr body;
    result = commit(take, body);
    if (result == Result::Body && onBody) onBody(std::move(body));
  }
  if (consumed) *consumed = used;
  return result;
}
