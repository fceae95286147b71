// IMA ADPCM frames against spandsp: the DVI4 block form (mode 3), the IMA4 block form
// (mode 0x23) and the headerless stream (mode 0x43).
#include "tests/voice/SpandspReference.h"
#include "tests/voice/VoiceCodec.h"
#include "tests/voice/VoiceSignals.h"

#include <gtest/gtest.h>

namespace voicetest {
namespace {

int16_t littleEndian(const Bytes& b, size_t at)
{
    return static_cast<int16_t>(b[at] | (b[at + 1] << 8));
}

int16_t bigEndian(const Bytes& b, size_t at)
{
    return static_cast<int16_t>((b[at] << 8) | b[at + 1]);
}

// spandsp writes the DVI4 predictor in network byte order; our frames hold little-endian words.
Bytes dvi4ToReference(Bytes payload)
{
    std::swap(payload[0], payload[1]);
    return payload;
}

// Block lengths that change from frame to frame; multiples of 4 for the DVI4 form, one more
// for the IMA4 form (whose first sample travels in the header).
constexpr int kBlockSizes[] = {160, 80, 240, 480, 320, 4};

TEST(ImaAdpcmExact, Dvi4BlocksMatchReferenceEncoder)
{
    for (const NamedSignal& signal : comparisonSignals(16000)) {
        SCOPED_TRACE(signal.name);
        EncoderStream ours(HI_VOICE_MODE_ADPCM_DVI4);
        ReferenceIma reference(ImaVariant::Dvi4);
        size_t at = 0;
        for (int frame = 0; at + 480 <= signal.samples.size(); ++frame) {
            const int n = kBlockSizes[frame % std::size(kBlockSizes)];
            const std::span<const int16_t> chunk(signal.samples.data() + at, n);
            at += n;
            const Bytes payload = payloadOf(ours.encode(chunk));
            const Bytes expected = reference.encode(chunk);
            ASSERT_EQ(payload.size(), expected.size());
            ASSERT_EQ(littleEndian(payload, 0), bigEndian(expected, 0)) << "predictor, frame " << frame;
            ASSERT_EQ(payload[2], expected[2]) << "step index, frame " << frame;
            ASSERT_EQ(payload[3], 0);
            ASSERT_EQ(Bytes(payload.begin() + 4, payload.end()), Bytes(expected.begin() + 4, expected.end()))
                << "codes, frame " << frame;
        }
    }
}

TEST(ImaAdpcmExact, Dvi4DecoderMatchesReference)
{
    for (const NamedSignal& signal : comparisonSignals(8000)) {
        SCOPED_TRACE(signal.name);
        const std::vector<Bytes> frames = encodeAll(HI_VOICE_MODE_ADPCM_DVI4, signal.samples, 160);
        DecoderStream ours(HI_VOICE_MODE_ADPCM_DVI4);
        ReferenceIma reference(ImaVariant::Dvi4);
        for (const Bytes& frame : frames) {
            ASSERT_EQ(ours.decode(frame), reference.decode(dvi4ToReference(payloadOf(frame))));
        }
    }
    // Arbitrary headers and codes drive the predictor into both clipping limits.
    DecoderStream ours(HI_VOICE_MODE_ADPCM_DVI4);
    ReferenceIma reference(ImaVariant::Dvi4);
    for (int frame = 0; frame < 100; ++frame) {
        Bytes payload = randomBytes(2 * 122, 500 + frame);
        payload[2] %= 89;
        payload[3] = 0;
        const std::vector<int16_t> decoded = ours.decode(makeFrame(payload));
        ASSERT_EQ(decoded.size(), 480u);
        ASSERT_EQ(decoded, reference.decode(dvi4ToReference(payload))) << "frame " << frame;
    }
}

TEST(ImaAdpcmExact, Ima4BlocksMatchReferenceEncoder)
{
    for (const NamedSignal& signal : comparisonSignals(16000)) {
        SCOPED_TRACE(signal.name);
        EncoderStream ours(HI_VOICE_MODE_ADPCM_IMA4);
        ReferenceIma reference(ImaVariant::Ima4);
        size_t at = 0;
        for (int frame = 0; at + 481 <= signal.samples.size(); ++frame) {
            const int n = kBlockSizes[frame % std::size(kBlockSizes)] + 1;
            const std::span<const int16_t> chunk(signal.samples.data() + at, n);
            at += n;
            const Bytes payload = payloadOf(ours.encode(chunk));
            ASSERT_EQ(payload.size(), 4u + (n - 1) / 2);
            ASSERT_EQ(littleEndian(payload, 0), chunk[0]);
            ASSERT_EQ(payload, reference.encode(chunk)) << "frame " << frame;
        }
    }
}

TEST(ImaAdpcmExact, Ima4DecoderMatchesReference)
{
    for (const NamedSignal& signal : comparisonSignals(8000)) {
        SCOPED_TRACE(signal.name);
        const std::vector<Bytes> frames = encodeAll(HI_VOICE_MODE_ADPCM_IMA4, signal.samples, 161);
        DecoderStream ours(HI_VOICE_MODE_ADPCM_IMA4);
        ReferenceIma reference(ImaVariant::Ima4);
        for (const Bytes& frame : frames) {
            const std::vector<int16_t> decoded = ours.decode(frame);
            ASSERT_EQ(decoded.size(), 161u);
            ASSERT_EQ(decoded, reference.decode(payloadOf(frame)));
        }
    }
    DecoderStream ours(HI_VOICE_MODE_ADPCM_IMA4);
    ReferenceIma reference(ImaVariant::Ima4);
    for (int frame = 0; frame < 100; ++frame) {
        Bytes payload = randomBytes(2 * 122, 900 + frame);
        payload[2] %= 89;
        payload[3] = 0;
        const std::vector<int16_t> decoded = ours.decode(makeFrame(payload));
        ASSERT_EQ(decoded.size(), 481u);
        ASSERT_EQ(decoded, reference.decode(payload)) << "frame " << frame;
    }
}

// Without a block header the predictor and index run on from frame to frame: the frames
// joined must equal one uninterrupted reference stream.
TEST(ImaAdpcmExact, HeaderlessStreamMatchesReference)
{
    for (const NamedSignal& signal : comparisonSignals(16000)) {
        SCOPED_TRACE(signal.name);
        const std::vector<Bytes> frames = encodeAll(HI_VOICE_MODE_ADPCM_RAW, signal.samples, 160);
        ReferenceIma referenceEncoder(ImaVariant::Dvi4);
        for (size_t i = 0; i < frames.size(); ++i) {
            const Bytes block = referenceEncoder.encode(std::span(signal.samples).subspan(160 * i, 160));
            ASSERT_EQ(payloadOf(frames[i]), Bytes(block.begin() + 4, block.end())) << "frame " << i;
        }

        Bytes stream = {0, 0, 0, 0};  // predictor 0, index 0: the reset state
        for (const Bytes& frame : frames) {
            const Bytes payload = payloadOf(frame);
            stream.insert(stream.end(), payload.begin(), payload.end());
        }
        ReferenceIma referenceDecoder(ImaVariant::Dvi4);
        ASSERT_EQ(decodeAll(HI_VOICE_MODE_ADPCM_RAW, frames), referenceDecoder.decode(stream));
    }
}

}  // namespace
}  // namespace voicetest
