// G.711 frames against spandsp's G.711 for every sample value and every code.
#include "tests/voice/SpandspReference.h"
#include "tests/voice/VoiceCodec.h"
#include "tests/voice/VoiceSignals.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace voicetest {
namespace {

struct G711Case {
    int16_t mode;
    bool alaw;
    bool swapped;  // earlier sample in the high byte of each word
};

void PrintTo(const G711Case& c, std::ostream* os)
{
    *os << "mode " << c.mode;
}

class G711Exact : public testing::TestWithParam<G711Case> {};

TEST_P(G711Exact, EncodesEverySampleValueLikeReference)
{
    const G711Case c = GetParam();
    const Pcm values = everySampleValue();
    EncoderStream encoder(c.mode);
    for (size_t at = 0; at < values.size(); at += 480) {
        const size_t n = std::min<size_t>(480, values.size() - at);
        const Bytes payload = payloadOf(encoder.encode(std::span(values).subspan(at, n)));
        ASSERT_EQ(payload.size(), n);
        for (size_t i = 0; i < n; ++i) {
            const int16_t x = values[at + i];
            const uint8_t expected = c.alaw ? referenceAlaw(x) : referenceUlaw(x);
            ASSERT_EQ(payload[c.swapped ? i ^ 1 : i], expected) << "sample value " << x;
        }
    }
}

TEST_P(G711Exact, DecodesEveryCodeLikeReference)
{
    const G711Case c = GetParam();
    Bytes codes(480);
    for (size_t i = 0; i < codes.size(); ++i) codes[i] = static_cast<uint8_t>(i);
    Bytes payload(codes.size());
    for (size_t i = 0; i < codes.size(); ++i) payload[c.swapped ? i ^ 1 : i] = codes[i];

    DecoderStream decoder(c.mode);
    const std::vector<int16_t> pcm = decoder.decode(makeFrame(payload));
    ASSERT_EQ(decoder.result(), HI_VOICE_OK);
    ASSERT_EQ(pcm.size(), codes.size());
    for (size_t i = 0; i < codes.size(); ++i) {
        EXPECT_EQ(pcm[i], c.alaw ? referenceFromAlaw(codes[i]) : referenceFromUlaw(codes[i])) << "code " << int(codes[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(AllLayouts, G711Exact,
                         testing::Values(G711Case{1, true, false}, G711Case{2, false, false},
                                         G711Case{0x41, true, true}, G711Case{0x42, false, true}),
                         [](const testing::TestParamInfo<G711Case>& info) {
                             return "mode" + std::to_string(info.param.mode);
                         });

}  // namespace
}  // namespace voicetest
