#include "media/StreamAudioData.h"

void StreamAudioData::set(std::uint32_t newLength, std::uint32_t rate, std::int32_t bits, std::int32_t channelCount) {
  if (newLength != length || !data) {
    data = std::make_unique_for_overwrite<std::uint8_t[]>(newLength == 0 ? 1 : newLength);
    length = newLength;
  }
  sampleRate = rate;
  bitsPerSample = bits;
  channels = channelCount;
}
