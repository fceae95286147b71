#include "media/G711Decoder.h"

#include <algorithm>
#include <cstring>

#include "core/OLog.h"

std::int16_t alawToLinear(std::uint8_t code) {
  // Even bits are inverted on the line; bit 7 is the sign (1 = positive),
  // bits 4-6 the segment, bits 0-3 the step within it. Decoder output is the
  // middle of the quantisation interval, scaled to 16 bits.
  const unsigned value = code ^ 0x55u;
  const unsigned segment = (value >> 4) & 0x7u;
  int magnitude = static_cast<int>((value & 0x0Fu) << 4) + 8;
  if (segment >= 1) magnitude += 0x100;
  if (segment >= 2) magnitude <<= (segment - 1);
  return static_cast<std::int16_t>((value & 0x80u) ? magnitude : -magnitude);
}

int g711aDecode(const std::uint8_t* in, std::size_t count, std::uint8_t* out, std::size_t outCapacity) {
  if (!in || !out) {
    LOG_ERROR("Error, empty data or transmit failed, exit !");
    return -1;
  }
  if (count == 0) return 0;
  if (count > outCapacity / 2) return -1;
  for (std::size_t i = 0; i < count; ++i) {
    const std::int16_t sample = alawToLinear(in[i]);
    std::memcpy(out + 2 * i, &sample, sizeof sample);
  }
  return static_cast<int>(2 * count);
}

bool G711Decoder::Decode(const std::uint8_t* payload, std::uint32_t length, const mc::media::AudioFormat& format,
                         IPcmSink& sink) {
  if (length == 0) return true;
  std::uint32_t sampleRate = format.sampleRate;
  std::int32_t channels = format.channels;
  if (!payload) return g711aDecode(payload, length, pcmBuffer_.data(), pcmBuffer_.size()) >= 0;
  if (sampleRate == 0) sampleRate = kDefaultSampleRate;
  if (channels < 1) channels = 1;
  // Blocks hold whole sample frames of all channels.
  const std::size_t perBlock = std::max<std::size_t>(
      1, kPcmBufferBytes / 2 / static_cast<std::size_t>(channels) * static_cast<std::size_t>(channels));
  for (std::size_t done = 0; done < length;) {
    const std::size_t count = std::min(perBlock, length - done);
    const int bytes = g711aDecode(payload + done, count, pcmBuffer_.data(), pcmBuffer_.size());
    if (bytes < 0) return false;
    sink.OnPcm(PcmBlock{pcmBuffer_.data(), static_cast<std::uint32_t>(bytes), sampleRate, 16, channels});
    done += count;
  }
  return true;
}
