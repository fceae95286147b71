#include "media/AudioDecoders.h"

#include "media/AacDecoder.h"
#include "media/G711Decoder.h"

std::unique_ptr<IAudioDecoder> createAudioDecoder(const mc::media::AudioFormat& firstFrame) {
  switch (firstFrame.codec) {
    case mc::media::kCodecAac: return AacDecoder::create(firstFrame.sampleRate);
    case mc::media::kCodecG711A: return std::make_unique<G711Decoder>();
    default: return nullptr;
  }
}
