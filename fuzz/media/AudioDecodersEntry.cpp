#include "fuzz/media/AudioDecodersEntry.h"

#include <memory>

#include "media/AacDecoder.h"
#include "media/G711Decoder.h"

namespace mc::fuzz {
namespace {

// Touches every byte handed on, so a sanitizer sees a block that lies about
// its length.
class Checksum final : public IPcmSink {
 public:
  void OnPcm(const PcmBlock& block) override {
    for (std::uint32_t i = 0; i < block.length; ++i) total += block.data[i];
  }
  std::uint64_t total = 0;
};

}  // namespace

int audioDecodersOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const bool aac = (data[0] & 1) == 0;
  const mc::media::AudioFormat format{8000u * (1u + (data[1] & 0x5u)), 16, (data[0] >> 1) & 0x7,
                                      aac ? mc::media::kCodecAac : mc::media::kCodecG711A};
  const auto length = static_cast<std::uint32_t>(size - 2);
  Checksum sink;
  if (aac) {
    auto decoder = AacDecoder::create(format.sampleRate);
    if (!decoder) return 0;
    const std::uint32_t half = length / 2;
    decoder->Decode(data + 2, half, format, sink);
    decoder->Decode(data + 2 + half, length - half, format, sink);
  } else {
    G711Decoder decoder;
    decoder.Decode(data + 2, length, format, sink);
  }
  return 0;
}

}  // namespace mc::fuzz
