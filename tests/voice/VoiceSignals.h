// Deterministic test signals at 8000 Hz: synthetic speech and full-scale material.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace voicetest {

using Pcm = std::vector<int16_t>;

// Syllables of voiced sound (pulse train through vowel formants), hiss, and pauses, with
// levels from quiet to near full scale.
Pcm speechLike(int samples, uint32_t seed);

// Uniform noise over the whole 16-bit range.
Pcm fullScaleNoise(int samples, uint32_t seed);

// Square wave between -32768 and 32767 with the given period in samples.
Pcm fullScaleSquare(int samples, int period);

// Full-scale sine sweeping from 50 Hz to 3900 Hz.
Pcm fullScaleSweep(int samples);

// Every 16-bit value once, in ascending order.
Pcm everySampleValue();

struct NamedSignal {
    std::string name;
    Pcm samples;
};

// The signals the codec comparisons run on: speech-like and full-scale inputs.
std::vector<NamedSignal> comparisonSignals(int samples);

// Deterministic pseudo-random bytes.
std::vector<uint8_t> randomBytes(int count, uint32_t seed);

}  // namespace voicetest
