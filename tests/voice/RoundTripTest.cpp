// decode(encode(x)) for every mode: within the codec's known error, and no wrap-around.
#include "tests/voice/VoiceCodec.h"
#include "tests/voice/VoiceSignals.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace voicetest {
namespace {

double snrDecibels(std::span<const int16_t> reference, std::span<const int16_t> decoded)
{
    double signal = 0;
    double noise = 0;
    for (size_t i = 0; i < reference.size(); ++i) {
        signal += double(reference[i]) * reference[i];
        const double e = double(reference[i]) - decoded[i];
        noise += e * e;
    }
    return 10.0 * std::log10(signal / std::max(noise, 1.0));
}

// The G.711 quantiser error is at most half an interval: intervals are 1/16 of the segment's
// lower edge (A-law segments 0 and 1 have intervals of 16, µ-law magnitudes carry a bias of 132).
TEST(RoundTrip, G711ErrorStaysWithinHalfAnIntervalForEveryValue)
{
    struct Case {
        int16_t mode;
        bool alaw;
    };
    Pcm values = everySampleValue();
    values.resize(137 * 480, 0);  // whole 480-sample frames
    for (const Case c : {Case{1, true}, Case{2, false}, Case{0x41, true}, Case{0x42, false}}) {
        std::vector<Bytes> frames;
        EncoderStream encoder(c.mode);
        for (size_t at = 0; at < values.size(); at += 480) {
            frames.push_back(encoder.encode(std::span(values).subspan(at, 480)));
        }
        const std::vector<int16_t> decoded = decodeAll(c.mode, frames);
        ASSERT_EQ(decoded.size(), values.size());
        for (size_t i = 0; i < values.size(); ++i) {
            const long x = values[i];
            const long magnitude = std::labs(x);
            const long bound = c.alaw ? std::max(8L, magnitude / 32) + 1 : (magnitude + 132) / 32 + 1;
            // Beyond the last level (A-law 32256, µ-law 32124) the error grows by the overshoot.
            const long top = c.alaw ? 32256 : 32124;
            const long allowed = bound + std::max(0L, magnitude - top);
            ASSERT_LE(std::labs(x - decoded[i]), allowed) << "mode " << c.mode << ", value " << x;
            ASSERT_TRUE(decoded[i] == 0 || (x >= 0) == (decoded[i] > 0)) << "sign of " << x;
        }
    }
}

struct SnrCase {
    int16_t mode;
    int frameSamples;
    double minimumSnr;  // dB on the speech-like signal
};

// Lower bounds about 2 dB under what these codecs reach on the synthetic speech (G.711 about
// 37.6 dB, IMA ADPCM 17.7, G.726 at 16/24/32/40 kbit/s 11.7/15.0/19.0/20.6).
const SnrCase kSnrCases[] = {
    {1, 160, 35},     {2, 160, 35},     {0x41, 160, 35},  {0x42, 160, 35},
    {3, 160, 15.5},   {0x23, 161, 15.5}, {0x43, 160, 15.5},
    {4, 160, 9.5},    {5, 160, 13},     {6, 160, 17},     {7, 160, 18.5},
    {0x24, 160, 9.5}, {0x25, 160, 13},  {0x26, 160, 17},  {0x27, 160, 18.5}, {0x44, 160, 9.5},
};

TEST(RoundTrip, SpeechComesBackAboveEachCodecsSignalToNoiseRatio)
{
    const Pcm speech = speechLike(32000, 41);
    for (const SnrCase& c : kSnrCases) {
        const std::vector<Bytes> frames = encodeAll(c.mode, speech, c.frameSamples);
        const std::vector<int16_t> decoded = decodeAll(c.mode, frames);
        ASSERT_EQ(decoded.size(), frames.size() * c.frameSamples) << "mode " << c.mode;
        const double snr = snrDecibels(std::span(speech).first(decoded.size()), decoded);
        EXPECT_GE(snr, c.minimumSnr) << "mode " << c.mode;
        RecordProperty("snr_mode_" + std::to_string(c.mode), std::to_string(snr));
    }
}

// A full-scale sine makes the reconstructed signal overshoot the 16-bit range near its
// peaks; a decoder that let it wrap round would turn the loudest samples into full-scale
// samples of the opposite sign. (Full-scale square waves are left out: G.726 itself, as the
// Recommendation defines it, does not track them.)
TEST(RoundTrip, LoudInputKeepsItsSign)
{
    for (const double frequency : {400.0, 1000.0}) {
        Pcm sine(16000);
        for (size_t n = 0; n < sine.size(); ++n) {
            sine[n] = static_cast<int16_t>(std::lround(32767 * std::sin(2 * 3.14159265358979 * frequency * n / 8000.0)));
        }
        for (const SnrCase& c : kSnrCases) {
            const std::vector<int16_t> decoded = decodeAll(c.mode, encodeAll(c.mode, sine, c.frameSamples));
            int wrong = 0;
            for (size_t i = 400; i < decoded.size(); ++i) {
                if (std::abs(sine[i]) >= 24000 && sine[i] * decoded[i] <= 0) {
                    ++wrong;
                }
            }
            EXPECT_EQ(wrong, 0) << "mode " << c.mode << ", " << frequency << " Hz";
        }
    }
}

}  // namespace
}  // namespace voicetest
