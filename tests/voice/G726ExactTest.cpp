// G.726 frames against spandsp's ITU-exact G.726 at every rate and in every packing.
#include "tests/voice/SpandspReference.h"
#include "tests/voice/VoiceCodec.h"
#include "tests/voice/VoiceSignals.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace voicetest {
namespace {

enum class Layout { LsbFirst, MsbFirst, Words };

struct G726Case {
    int16_t mode;
    int bits;
    Layout layout;
};

std::string caseName(const testing::TestParamInfo<G726Case>& info)
{
    return "mode" + std::to_string(info.param.mode);
}

void PrintTo(const G726Case& c, std::ostream* os)
{
    *os << "mode " << c.mode << " (" << c.bits << " bits)";
}

// spandsp returns the low 16 bits of 4 * SR, so where the reconstructed signal overshoots
// the 14-bit range its sample wraps to the opposite sign; ours is clipped there. Everywhere
// else the samples must be equal. Since SR feeds the adaptation, any difference in the coder
// state shows up in the following unclipped samples.
testing::AssertionResult sameUpToClipping(const std::vector<int16_t>& ours, const std::vector<int16_t>& reference)
{
    if (ours.size() != reference.size()) {
        return testing::AssertionFailure() << ours.size() << " samples, reference " << reference.size();
    }
    for (size_t i = 0; i < ours.size(); ++i) {
        if (ours[i] == reference[i]) continue;
        const bool clipped = ours[i] == 32767 || ours[i] == -32768;
        if (!clipped || reference[i] % 4 != 0) {
            return testing::AssertionFailure() << "sample " << i << ": " << ours[i] << ", reference " << reference[i];
        }
    }
    return testing::AssertionSuccess();
}

// The reference stream for a case: the word layout is the most-significant-bit-first
// stream with the two bytes of every 16-bit word exchanged.
ReferenceG726 referenceFor(const G726Case& c)
{
    return ReferenceG726(c.bits, c.layout == Layout::LsbFirst ? Packing::LsbFirst : Packing::MsbFirst);
}

Bytes swapPairs(Bytes bytes)
{
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) std::swap(bytes[i], bytes[i + 1]);
    return bytes;
}

Bytes toReferenceLayout(const G726Case& c, const Bytes& payload)
{
    return c.layout == Layout::Words ? swapPairs(payload) : payload;
}

// Frame lengths that vary from frame to frame; all hold whole bytes at every rate.
constexpr int kFrameSizes[] = {160, 80, 240, 480, 320};

class G726Exact : public testing::TestWithParam<G726Case> {};

TEST_P(G726Exact, EncodesEveryFrameLikeReference)
{
    const G726Case c = GetParam();
    for (const NamedSignal& signal : comparisonSignals(16000)) {
        SCOPED_TRACE(signal.name);
        EncoderStream ours(c.mode);
        ReferenceG726 reference = referenceFor(c);
        size_t at = 0;
        for (int frame = 0; at + 480 <= signal.samples.size(); ++frame) {
            const int n = kFrameSizes[frame % std::size(kFrameSizes)];
            const std::span<const int16_t> chunk(signal.samples.data() + at, n);
            at += n;
            const Bytes encoded = ours.encode(chunk);
            ASSERT_EQ(ours.result(), HI_VOICE_OK);
            ASSERT_EQ(payloadWords(encoded), n * c.bits / 16);
            ASSERT_EQ(toReferenceLayout(c, payloadOf(encoded)), reference.encode(chunk))
                << "frame " << frame << " at sample " << at - n;
        }
    }
}

TEST_P(G726Exact, DecodesEncodedFramesLikeReference)
{
    const G726Case c = GetParam();
    for (const NamedSignal& signal : comparisonSignals(16000)) {
        SCOPED_TRACE(signal.name);
        const std::vector<Bytes> frames = encodeAll(c.mode, signal.samples, 160);
        DecoderStream ours(c.mode);
        ReferenceG726 reference = referenceFor(c);
        for (size_t i = 0; i < frames.size(); ++i) {
            const std::vector<int16_t> decoded = ours.decode(frames[i]);
            ASSERT_EQ(ours.result(), HI_VOICE_OK);
            ASSERT_TRUE(sameUpToClipping(decoded, reference.decode(toReferenceLayout(c, payloadOf(frames[i])))))
                << "frame " << i;
        }
    }
}

// Random codes reach every code value, overload and the transition detector far more often
// than an encoder's output does.
TEST_P(G726Exact, DecodesRandomCodesLikeReference)
{
    const G726Case c = GetParam();
    DecoderStream ours(c.mode);
    ReferenceG726 reference = referenceFor(c);
    const int words = 480 * c.bits / 16;
    for (int frame = 0; frame < 60; ++frame) {
        const Bytes payload = randomBytes(2 * words, 100 + frame);
        const std::vector<int16_t> decoded = ours.decode(makeFrame(payload));
        ASSERT_EQ(ours.result(), HI_VOICE_OK);
        ASSERT_EQ(decoded.size(), 480u);
        ASSERT_TRUE(sameUpToClipping(decoded, reference.decode(toReferenceLayout(c, payload)))) << "frame " << frame;
    }
}

INSTANTIATE_TEST_SUITE_P(AllRates, G726Exact,
                         testing::Values(G726Case{4, 2, Layout::LsbFirst}, G726Case{5, 3, Layout::LsbFirst},
                                         G726Case{6, 4, Layout::LsbFirst}, G726Case{7, 5, Layout::LsbFirst},
                                         G726Case{36, 2, Layout::MsbFirst}, G726Case{37, 3, Layout::MsbFirst},
                                         G726Case{38, 4, Layout::MsbFirst}, G726Case{39, 5, Layout::MsbFirst},
                                         G726Case{68, 2, Layout::Words}),
                         caseName);

}  // namespace
}  // namespace voicetest
