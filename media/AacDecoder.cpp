#include "media/AacDecoder.h"

#include <neaacdec.h>

#include "core/OLog.h"

namespace {

// ADTS header: 12-bit syncword 0xFFF; channel configuration in bits 2..0 of
// byte 2 (its low bit) and bits 7..6 of byte 3.
constexpr std::size_t kAdtsHeaderBytes = 7;

bool startsWithAdts(const std::uint8_t* p, std::size_t n) {
  return n >= kAdtsHeaderBytes && p[0] == 0xFF && (p[1] & 0xF0) == 0xF0;
}

int adtsChannelConfiguration(const std::uint8_t* p, std::size_t n) {
  if (!startsWithAdts(p, n)) return -1;
  return ((p[2] & 0x01) << 2) | (p[3] >> 6);
}

}  // namespace

void AacDecoder::HandleClose::operator()(void* handle) const { NeAACDecClose(static_cast<NeAACDecHandle>(handle)); }

AacDecoder::AacDecoder(void* handle) : handle_(handle) {}

AacDecoder::~AacDecoder() = default;

std::unique_ptr<AacDecoder> AacDecoder::create(std::uint32_t sampleRate) {
  NeAACDecHandle handle = NeAACDecOpen();
  if (!handle) {
    LOG_ERROR("AAC decoder cannot be created");
    return nullptr;
  }
  std::unique_ptr<AacDecoder> decoder(new AacDecoder(handle));
  NeAACDecConfigurationPtr config = NeAACDecGetCurrentConfiguration(handle);
  config->defObjectType = LC;
  config->defSampleRate = sampleRate;
  // The dispatch loop hands on 16-bit PCM only, whatever the frame announces.
  config->outputFormat = FAAD_FMT_16BIT;
  // Otherwise FAAD2 assumes implicit SBR and reports twice the real rate.
  config->dontUpSampleImplicitSBR = 1;
  if (!NeAACDecSetConfiguration(handle, config)) {
    LOG_ERROR("AAC decoder refuses its configuration (%u Hz)", sampleRate);
    return nullptr;
  }
  return decoder;
}

bool AacDecoder::initialise(const std::uint8_t* payload, std::size_t length) {
  // Only an ADTS header can set the decoder up; anything else would lock it
  // into raw mode for the camera's whole stream.
  if (!startsWithAdts(payload, length)) {
    LOG_ERROR("AAC frame without ADTS header (%zu bytes)", length);
    return false;
  }
  unsigned long rate = 0;
  unsigned char channels = 0;
  const long result = NeAACDecInit(static_cast<NeAACDecHandle>(handle_.get()), const_cast<unsigned char*>(payload),
                                   static_cast<unsigned long>(length), &rate, &channels);
  if (result < 0) {
    LOG_ERROR("AAC stream header not understood (%zu bytes)", length);
    return false;
  }
  initialised_ = true;
  sampleRate_ = static_cast<std::uint32_t>(rate);
  channels_ = channels;
  return true;
}

bool AacDecoder::Decode(const std::uint8_t* payload, std::uint32_t length, const mc::media::AudioFormat&,
                        IPcmSink& sink) {
  if (!payload || length == 0) return length == 0;
  if (!initialised_ && !initialise(payload, length)) return false;
  auto* handle = static_cast<NeAACDecHandle>(handle_.get());
  while (length > 0) {
    NeAACDecFrameInfo info{};
    auto* samples = static_cast<const std::int16_t*>(NeAACDecDecode(
        handle, &info, const_cast<unsigned char*>(payload), static_cast<unsigned long>(length)));
    if (info.error != 0) {
      LOG_ERROR("AAC decode: %s", NeAACDecGetErrorMessage(info.error));
      return false;
    }
    const int configuration = adtsChannelConfiguration(payload, length);
    const auto consumed = static_cast<std::uint32_t>(std::min<unsigned long>(info.bytesconsumed, length));
    payload += consumed;
    length -= consumed;
    // The decoder's first frame yields no samples but is consumed; a call
    // that consumes nothing ends the payload, so the loop always progresses.
    const bool stalled = consumed == 0;
    if (info.samples == 0 || !samples || info.channels == 0) {
      if (stalled) break;
      continue;
    }

    const std::uint32_t rate = info.samplerate ? static_cast<std::uint32_t>(info.samplerate) : sampleRate_;
    if (configuration == 1 && info.channels == 2 && !info.ps) {
      const std::size_t frames = info.samples / 2;
      mono_.resize(frames);
      for (std::size_t i = 0; i < frames; ++i) mono_[i] = samples[2 * i];
      sink.OnPcm(PcmBlock{reinterpret_cast<const std::uint8_t*>(mono_.data()), static_cast<std::uint32_t>(frames * 2),
                          rate, 16, 1});
    } else {
      sink.OnPcm(PcmBlock{reinterpret_cast<const std::uint8_t*>(samples), static_cast<std::uint32_t>(info.samples * 2),
                          rate, 16, info.channels});
    }
    if (stalled) break;
  }
  return true;
}
