#pragma once
#include <cstdint>
#include <vector>

#include "sim/Catalogue.h"

namespace sim {

// A camera's sound: a sine tone coded once into a loop of frames that repeats
// without a seam. AAC frames carry their ADTS header; G.711 frames are A-law
// bytes, 320 samples (40 ms) each.
struct AudioLoop {
  AudioSpec spec;
  double toneHz = 0;         // the tone actually coded (a whole number of periods fits the loop)
  int samplesPerFrame = 0;   // per channel
  std::uint32_t formatWord = 0;  // media header word 3
  std::vector<std::vector<std::uint8_t>> frames;

  double frameSeconds() const { return static_cast<double>(samplesPerFrame) / spec.sampleRate; }
};

inline constexpr int kG711FrameSamples = 320;
inline constexpr double kToneAmplitude = 0.5;  // of full scale

// Codes the loop of `spec` (AAC through libavcodec's native encoder, or A-law).
// Throws EncoderError (VideoEncoder.h) when the codec cannot be opened.
AudioLoop makeAudioLoop(const AudioSpec& spec);

// ITU-T G.711 A-law compression of one 16-bit sample.
std::uint8_t alawFromLinear(std::int16_t sample);

// The 7-byte ADTS header of an AAC-LC frame with `payloadBytes` behind it.
void writeAdtsHeader(std::uint8_t* out, int sampleRate, int channels, int payloadBytes);

// Media header word 3: sample rate, 16 bits, channels, codec (0 AAC, 3 A-law).
std::uint32_t audioFormatWord(const AudioSpec& spec);

}  // namespace sim
