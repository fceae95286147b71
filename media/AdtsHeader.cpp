#include "media/AdtsHeader.h"

#include <array>

namespace mc::aac {
namespace {

constexpr std::array<int, 13> kSampleRates = {96000, 88200, 64000, 48000, 44100, 32000, 24000,
                                              22050, 16000, 12000, 11025, 8000,  7350};
constexpr std::size_t kMaxFrameLength = (1u << 13) - 1;

}  // namespace

int AdtsHeader::sampleRate() const {
  return frequencyIndex >= 0 && frequencyIndex < int(kSampleRates.size()) ? kSampleRates[frequencyIndex] : 0;
}

std::vector<std::uint8_t> AdtsHeader::audioSpecificConfig() const {
  // 5 bits object type, 4 bits frequency index, 4 bits channels, 3 zero bits.
  return {std::uint8_t((objectType << 3) | (frequencyIndex >> 1)),
          std::uint8_t(((frequencyIndex & 1) << 7) | (channelConfig << 3))};
}

int frequencyIndexOf(int sampleRate) {
  for (std::size_t i = 0; i < kSampleRates.size(); ++i) {
    if (kSampleRates[i] == sampleRate) return int(i);
  }
  return -1;
}

std::optional<AdtsHeader> parseAdts(const std::uint8_t* d, std::size_t length) {
  if (d == nullptr || length < 7) return std::nullopt;
  if (d[0] != 0xFF || (d[1] & 0xF6) != 0xF0) return std::nullopt;  // sync word, layer 0
  AdtsHeader h;
  const bool crc = (d[1] & 0x01) == 0;
  h.headerLength = crc ? 9 : 7;
  h.objectType = ((d[2] >> 6) & 0x03) + 1;
  h.frequencyIndex = (d[2] >> 2) & 0x0F;
  h.channelConfig = ((d[2] & 0x01) << 2) | ((d[3] >> 6) & 0x03);
  h.frameLength = (std::size_t(d[3] & 0x03) << 11) | (std::size_t(d[4]) << 3) | (d[5] >> 5);
  h.rawBlocks = (d[6] & 0x03) + 1;
  if (h.sampleRate() == 0 || h.channelConfig == 0) return std::nullopt;
  if (h.frameLength <= h.headerLength || h.frameLength > length) return std::nullopt;
  return h;
}

bool writeAdts(std::uint8_t* out, int objectType, int frequencyIndex, int channelConfig,
               std::size_t payloadLength) {
  const std::size_t frameLength = payloadLength + 7;
  if (objectType < 1 || objectType > 4 || frequencyIndex < 0 || frequencyIndex > 12 ||
      channelConfig < 1 || channelConfig > 7 || frameLength > kMaxFrameLength) {
    return false;
  }
  out[0] = 0xFF;
  out[1] = 0xF1;  // MPEG-4, layer 0, no CRC
  out[2] = std::uint8_t(((objectType - 1) << 6) | (frequencyIndex << 2) | (channelConfig >> 2));
  out[3] = std::uint8_t(((channelConfig & 0x03) << 6) | (frameLength >> 11));
  out[4] = std::uint8_t((frameLength >> 3) & 0xFF);
  out[5] = std::uint8_t(((frameLength & 0x07) << 5) | 0x1F);  // buffer fullness 0x7FF: VBR
  out[6] = 0xFC;                                             // one raw data block
  return true;
}

}  // namespace mc::aac
