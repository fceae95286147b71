#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace mc::test {

// Measurements of recorded or decoded sound, for tests that check a tone.

// A sine tone of `frequency` Hz and peak `amplitude`, `seconds` long, as
// interleaved 16-bit samples (the same value on every channel).
std::vector<std::int16_t> makeTone(double frequency, double amplitude, std::uint32_t sampleRate, double seconds,
                                   int channels = 1);

// Every `channels`-th sample starting at `channel`.
std::vector<std::int16_t> channelOf(std::span<const std::int16_t> interleaved, int channels, int channel);

double rms(std::span<const std::int16_t> samples);

// Amplitude of the component at `frequency` (Goertzel), in sample units: a
// pure sine of peak A reads about A.
double toneAmplitude(std::span<const std::int16_t> samples, double frequency, std::uint32_t sampleRate);

// The strongest frequency between `lowHz` and `highHz`, found by a coarse
// scan refined to about 0.5 Hz.
double dominantFrequency(std::span<const std::int16_t> samples, std::uint32_t sampleRate, double lowHz = 50,
                         double highHz = 0);

// The longest stretch of consecutive 10 ms windows whose RMS is above
// `threshold`, as [begin, end) sample indices; empty when none.
struct Stretch {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t size() const { return end - begin; }
};
Stretch loudStretch(std::span<const std::int16_t> samples, std::uint32_t sampleRate, double threshold);

// Every such stretch of at least `minSamples`, in order.
std::vector<Stretch> loudStretches(std::span<const std::int16_t> samples, std::uint32_t sampleRate, double threshold,
                                   std::size_t minSamples);

}  // namespace mc::test
