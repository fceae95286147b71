#include "tests/voice/VoiceSignals.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace voicetest {
namespace {

constexpr double kRate = 8000.0;

class Lcg {
public:
    explicit Lcg(uint32_t seed) : state_(seed * 2654435761u + 1) {}
    uint32_t next()
    {
        state_ = state_ * 1664525u + 1013904223u;
        return state_;
    }
    // Uniform in [0, 1).
    double uniform() { return (next() >> 8) / 16777216.0; }
    // Uniform in [-1, 1).
    double symmetric() { return 2.0 * uniform() - 1.0; }

private:
    uint32_t state_;
};

// Two-pole resonator for formants.
class Resonator {
public:
    Resonator(double frequency, double bandwidth)
    {
        const double r = std::exp(-std::numbers::pi * bandwidth / kRate);
        a1_ = 2.0 * r * std::cos(2.0 * std::numbers::pi * frequency / kRate);
        a2_ = -r * r;
        gain_ = 1.0 - r;
    }
    double step(double x)
    {
        const double y = gain_ * x + a1_ * y1_ + a2_ * y2_;
        y2_ = y1_;
        y1_ = y;
        return y;
    }

private:
    double a1_ = 0, a2_ = 0, gain_ = 0, y1_ = 0, y2_ = 0;
};

int16_t saturate(double value)
{
    return static_cast<int16_t>(std::clamp(std::lround(value), -32768L, 32767L));
}

struct Vowel {
    double f1, f2, f3;
};
constexpr Vowel kVowels[] = {
    {730, 1090, 2440}, {270, 2290, 3010}, {300, 870, 2240}, {530, 1840, 2480}, {570, 840, 2410}};

std::vector<double> voicedSegment(int length, Lcg& rng)
{
    const Vowel& v = kVowels[rng.next() % 5];
    Resonator f1(v.f1, 90), f2(v.f2, 110), f3(v.f3, 170);
    const double pitch = 90.0 + 130.0 * rng.uniform();
    const double glide = (rng.uniform() - 0.5) * 0.6;
    std::vector<double> out(length);
    double phase = 1.0;
    double glottal = 0.0;  // pulses smoothed into the falling treble of a voice source
    for (int n = 0; n < length; ++n) {
        const double t = static_cast<double>(n) / length;
        const double f0 = pitch * (1.0 + glide * t) * (1.0 + 0.02 * std::sin(2 * std::numbers::pi * 5.5 * n / kRate));
        phase += f0 / kRate;
        double excitation = 0.02 * rng.symmetric();
        if (phase >= 1.0) {
            phase -= 1.0;
            excitation += 1.0;
        }
        glottal = 0.93 * glottal + excitation;
        const double envelope = std::pow(std::sin(std::numbers::pi * t), 0.6);
        out[n] = envelope * (f1.step(glottal) + 0.6 * f2.step(glottal) + 0.3 * f3.step(glottal));
    }
    return out;
}

std::vector<double> hissSegment(int length, Lcg& rng)
{
    Resonator hiss(2800 + 800 * rng.uniform(), 1200);
    std::vector<double> out(length);
    for (int n = 0; n < length; ++n) {
        const double t = static_cast<double>(n) / length;
        out[n] = std::sin(std::numbers::pi * t) * hiss.step(rng.symmetric());
    }
    return out;
}

}  // namespace

Pcm speechLike(int samples, uint32_t seed)
{
    Lcg rng(seed);
    Pcm out;
    out.reserve(samples);
    while (static_cast<int>(out.size()) < samples) {
        const int length = static_cast<int>(kRate * (0.08 + 0.25 * rng.uniform()));
        const double kind = rng.uniform();
        std::vector<double> segment;
        double level;
        if (kind < 0.65) {
            segment = voicedSegment(length, rng);
            level = 32767.0 * (0.1 + 0.85 * rng.uniform());
        } else if (kind < 0.85) {
            segment = hissSegment(length, rng);
            level = 32767.0 * (0.02 + 0.15 * rng.uniform());
        } else {
            segment.assign(length, 0.0);
            for (double& s : segment) s = rng.symmetric();
            level = 30.0;
        }
        double peak = 1e-9;
        for (double s : segment) peak = std::max(peak, std::abs(s));
        for (double s : segment) {
            if (static_cast<int>(out.size()) == samples) break;
            out.push_back(saturate(s * level / peak));
        }
    }
    return out;
}

Pcm fullScaleNoise(int samples, uint32_t seed)
{
    Lcg rng(seed);
    Pcm out(samples);
    for (int16_t& s : out) s = static_cast<int16_t>(rng.next() >> 16);
    return out;
}

Pcm fullScaleSquare(int samples, int period)
{
    Pcm out(samples);
    for (int n = 0; n < samples; ++n) {
        out[n] = (n % period) < period / 2 ? int16_t{32767} : int16_t{-32768};
    }
    return out;
}

Pcm fullScaleSweep(int samples)
{
    Pcm out(samples);
    double phase = 0.0;
    for (int n = 0; n < samples; ++n) {
        const double f = 50.0 + (3900.0 - 50.0) * n / samples;
        phase += 2.0 * std::numbers::pi * f / kRate;
        out[n] = saturate(32767.5 * std::sin(phase));
    }
    return out;
}

Pcm everySampleValue()
{
    Pcm out(65536);
    for (int i = 0; i < 65536; ++i) out[i] = static_cast<int16_t>(i - 32768);
    return out;
}

std::vector<NamedSignal> comparisonSignals(int samples)
{
    return {
        {"speech", speechLike(samples, 1)},
        {"speech2", speechLike(samples, 7)},
        {"noise", fullScaleNoise(samples, 3)},
        {"square", fullScaleSquare(samples, 37)},
        {"sweep", fullScaleSweep(samples)},
    };
}

std::vector<uint8_t> randomBytes(int count, uint32_t seed)
{
    Lcg rng(seed);
    std::vector<uint8_t> out(count);
    for (uint8_t& b : out) b = static_cast<uint8_t>(rng.next() >> 24);
    return out;
}

}  // namespace voicetest
