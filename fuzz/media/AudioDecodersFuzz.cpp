// Camera audio payloads as the network delivers them: the first bytes pick
// the codec and announced format, the rest is the payload.
#include <cstddef>
#include <cstdint>
#include <memory>

#include "media/AacDecoder.h"
#include "media/G711Decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const bool aac = (data[0] & 1) == 0;
  const int channels = (data[0] >> 1) & 0x7;
  const std::uint32_t rate = 8000u * (1u + (data[1] & 0x5u));
  std::uint64_t total = 0;
  auto sink = [&total](const std::uint8_t* pcm, std::uint32_t length, std::uint32_t, std::int32_t, std::int32_t) {
    for (std::uint32_t i = 0; i < length; ++i) total += pcm[i];  // touches every byte handed on
  };
  if (aac) {
    // Two payloads through one decoder: the first sets it up, the second
    // shows whether a bad first frame leaves it usable.
    auto decoder = AacDecoder::create(rate);
    if (!decoder) return 0;
    const std::size_t half = (size - 2) / 2;
    decoder->decode(data + 2, half, sink);
    decoder->decode(data + 2 + half, size - 2 - half, sink);
  } else {
    G711Decoder decoder;
    decoder.decode(data + 2, size - 2, rate, channels, sink);
  }
  return total == 1 ? 1 : 0;
}
