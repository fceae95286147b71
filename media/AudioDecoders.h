#pragma once
#include <memory>

#include "media/AudioDecoding.h"
#include "media/FrameHeader.h"

// The decoder for a camera's sound, chosen by the codec of its first frame:
// AAC (ADTS frames) or G.711 A-law; null for any other codec, whose frames
// are then consumed without output (G.711 µ-law included).
std::unique_ptr<IAudioDecoder> createAudioDecoder(const mc::media::AudioFormat& firstFrame);
