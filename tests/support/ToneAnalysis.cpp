#include "tests/support/ToneAnalysis.h"

#include <cmath>
#include <numbers>

namespace mc::test {

std::vector<std::int16_t> makeTone(double frequency, double amplitude, std::uint32_t sampleRate, double seconds,
                                   int channels) {
  const auto frames = static_cast<std::size_t>(seconds * sampleRate);
  std::vector<std::int16_t> samples;
  samples.reserve(frames * static_cast<std::size_t>(channels));
  for (std::size_t i = 0; i < frames; ++i) {
    const double value = amplitude * std::sin(2 * std::numbers::pi * frequency * static_cast<double>(i) / sampleRate);
    for (int c = 0; c < channels; ++c) samples.push_back(static_cast<std::int16_t>(std::lround(value)));
  }
  return samples;
}

std::vector<std::int16_t> channelOf(std::span<const std::int16_t> interleaved, int channels, int channel) {
  std::vector<std::int16_t> out;
  out.reserve(interleaved.size() / static_cast<std::size_t>(channels));
  for (std::size_t i = static_cast<std::size_t>(channel); i < interleaved.size(); i += static_cast<std::size_t>(channels))
    out.push_back(interleaved[i]);
  return out;
}

double rms(std::span<const std::int16_t> samples) {
  if (samples.empty()) return 0;
  double sum = 0;
  for (const std::int16_t s : samples) sum += static_cast<double>(s) * s;
  return std::sqrt(sum / static_cast<double>(samples.size()));
}

double toneAmplitude(std::span<const std::int16_t> samples, double frequency, std::uint32_t sampleRate) {
  if (samples.empty()) return 0;
  const double coefficient = 2 * std::cos(2 * std::numbers::pi * frequency / sampleRate);
  double s1 = 0, s2 = 0;
  for (const std::int16_t x : samples) {
    const double s0 = x + coefficient * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  const double power = s1 * s1 + s2 * s2 - coefficient * s1 * s2;
  return 2 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(samples.size());
}

namespace {

std::vector<std::int16_t> hann(std::span<const std::int16_t> samples) {
  // A Hann window keeps the side lobes of a strong tone below its neighbours.
  std::vector<std::int16_t> windowed(samples.size());
  for (std::size_t i = 0; i < samples.size(); ++i) {
    const double w = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * static_cast<double>(i) / samples.size());
    windowed[i] = static_cast<std::int16_t>(std::lround(samples[i] * w));
  }
  return windowed;
}

double strongest(std::span<const std::int16_t> samples, std::uint32_t rate, double from, double to, double step) {
  double bestFrequency = from, bestAmplitude = -1;
  for (double f = from; f <= to; f += step) {
    const double a = toneAmplitude(samples, f, rate);
    if (a > bestAmplitude) {
      bestAmplitude = a;
      bestFrequency = f;
    }
  }
  return bestFrequency;
}

}  // namespace

double dominantFrequency(std::span<const std::int16_t> samples, std::uint32_t sampleRate, double lowHz,
                         double highHz) {
  if (samples.empty()) return 0;
  if (highHz <= 0) highHz = sampleRate / 2.0 - 10;
  // Coarse scan over a short piece (bins of rate / 4096), then a fine scan of
  // the whole around the peak.
  const auto coarsePiece = hann(samples.first(std::min<std::size_t>(samples.size(), 4096)));
  const double coarseStep = sampleRate / static_cast<double>(coarsePiece.size()) / 2;
  const double coarse = strongest(coarsePiece, sampleRate, lowHz, highHz, coarseStep);
  const auto whole = hann(samples);
  return strongest(whole, sampleRate, std::max(lowHz, coarse - 2 * coarseStep),
                   std::min(highHz, coarse + 2 * coarseStep), 0.25);
}

std::vector<Stretch> loudStretches(std::span<const std::int16_t> samples, std::uint32_t sampleRate, double threshold,
                                   std::size_t minSamples) {
  const std::size_t window = std::max<std::size_t>(1, sampleRate / 100);
  std::vector<Stretch> found;
  Stretch current;
  bool inside = false;
  auto finish = [&] {
    if (inside && current.size() >= minSamples) found.push_back(current);
    inside = false;
  };
  for (std::size_t start = 0; start + window <= samples.size(); start += window) {
    if (rms(samples.subspan(start, window)) <= threshold) {
      finish();
      continue;
    }
    if (!inside) current.begin = start;
    current.end = start + window;
    inside = true;
  }
  finish();
  return found;
}

Stretch loudStretch(std::span<const std::int16_t> samples, std::uint32_t sampleRate, double threshold) {
  Stretch best;
  for (const Stretch& s : loudStretches(samples, sampleRate, threshold, 1))
    if (s.size() > best.size()) best = s;
  return best;
}

}  // namespace mc::test
