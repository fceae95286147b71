// Decoder: payload lengths each mode takes, frame kind bits, errors and what they leave.
#include "tests/voice/VoiceCodec.h"
#include "tests/voice/VoiceSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace voicetest {
namespace {

constexpr int kInvalid = -1;

struct LengthCase {
    int16_t mode;
    int words;
    int samples;  // kInvalid: refused with HI_VOICE_ERR_DEC_LENGTH
};

// A frame with the given payload length in words and arbitrary payload bytes.
Bytes frameWithLength(int words, uint32_t seed)
{
    Bytes payload = randomBytes(2 * words, seed);
    if (words >= 2) {
        payload[2] %= 89;  // a valid ADPCM block header index
    }
    Bytes frame = makeFrame(payload);
    frame[2] = static_cast<uint8_t>(words);
    return frame;
}

TEST(DecoderFrame, PayloadLengthsEachModeTakes)
{
    const LengthCase cases[] = {
        // G.711: at most 240 words, in steps of 80 samples.
        {1, 40, 80}, {1, 80, 160}, {1, 240, 480}, {1, 41, kInvalid}, {1, 239, kInvalid}, {1, 255, kInvalid},
        {2, 120, 240}, {0x41, 80, 160}, {0x42, 200, 400}, {0x42, 20, kInvalid},
        // DVI4 blocks: a two-word header, then four samples per word.
        {3, 2, 0}, {3, 3, 4}, {3, 42, 160}, {3, 122, 480}, {3, 1, kInvalid}, {3, 123, kInvalid},
        // IMA4 blocks: the header holds the first sample.
        {0x23, 2, 1}, {0x23, 42, 161}, {0x23, 122, 481}, {0x23, 1, kInvalid}, {0x23, 123, kInvalid},
        // Headerless ADPCM: four samples per word, at most 480.
        {0x43, 1, 4}, {0x43, 40, 160}, {0x43, 120, 480}, {0x43, 121, kInvalid}, {0x43, 122, kInvalid},
        // G.726 at 16 kbit/s in all three layouts: eight samples per word.
        {4, 10, 80}, {4, 20, 160}, {4, 60, 480}, {4, 11, kInvalid}, {4, 70, kInvalid},
        {0x24, 20, 160}, {0x24, 15, kInvalid}, {0x44, 60, 480}, {0x44, 21, kInvalid}, {0x44, 70, kInvalid},
        // 24 kbit/s: 16/3 samples per word.
        {5, 15, 80}, {5, 30, 160}, {5, 90, 480}, {5, 31, kInvalid}, {5, 16, kInvalid}, {5, 105, kInvalid},
        {0x25, 30, 160}, {0x25, 31, kInvalid},
        // 32 kbit/s: four samples per word.
        {6, 20, 80}, {6, 40, 160}, {6, 120, 480}, {6, 41, kInvalid}, {6, 140, kInvalid},
        {0x26, 40, 160}, {0x26, 30, kInvalid},
        // 40 kbit/s: 16/5 samples per word.
        {7, 25, 80}, {7, 50, 160}, {7, 150, 480}, {7, 51, kInvalid}, {7, 175, kInvalid},
        {0x27, 50, 160}, {0x27, 45, kInvalid},
    };
    for (const LengthCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", " << c.words << " words");
        const Bytes frame = frameWithLength(c.words, c.words);
        DecoderStream decoder(c.mode);
        const std::vector<int16_t> pcm = decoder.decode(frame);
        if (c.samples == kInvalid) {
            EXPECT_EQ(decoder.result(), HI_VOICE_ERR_DEC_LENGTH);
        } else {
            EXPECT_EQ(decoder.result(), HI_VOICE_OK);
            EXPECT_EQ(pcm.size(), static_cast<size_t>(c.samples));
        }
    }
}

TEST(DecoderFrame, ZeroLengthIsRefusedInEveryMode)
{
    for (int16_t mode : {1, 2, 3, 4, 5, 6, 7, 0x23, 0x24, 0x25, 0x26, 0x27, 0x41, 0x42, 0x43, 0x44}) {
        DecoderStream decoder(mode);
        decoder.decode(Bytes{0x00, 0x01, 0x00, 0x00});
        EXPECT_EQ(decoder.result(), HI_VOICE_ERR_DEC_LENGTH) << "mode " << mode;
    }
}

// Only bits 8-9 of word 0 and the low byte of word 1 are read.
TEST(DecoderFrame, FrameKindBitsMustBeOne)
{
    struct KindCase {
        uint8_t word0Low, word0High, word1High;
        int32_t result;
    };
    const KindCase cases[] = {
        {0x00, 0x01, 0x00, HI_VOICE_OK},         {0x00, 0x00, 0x00, HI_VOICE_ERR_DEC_KIND},
        {0x00, 0x02, 0x00, HI_VOICE_ERR_DEC_KIND}, {0x00, 0x03, 0x00, HI_VOICE_ERR_DEC_KIND},
        {0xFF, 0x01, 0x00, HI_VOICE_OK},         {0x00, 0xFD, 0x00, HI_VOICE_OK},
        {0x00, 0x05, 0xFF, HI_VOICE_OK},         {0xFF, 0xFE, 0x00, HI_VOICE_ERR_DEC_KIND},
    };
    Bytes frame = EncoderStream(HI_VOICE_MODE_G711A).encode(speechLike(160, 3));
    for (const KindCase& c : cases) {
        frame[0] = c.word0Low;
        frame[1] = c.word0High;
        frame[3] = c.word1High;
        DecoderStream decoder(HI_VOICE_MODE_G711A);
        const std::vector<int16_t> pcm = decoder.decode(frame);
        EXPECT_EQ(decoder.result(), c.result) << std::hex << int(c.word0High) << int(c.word0Low);
        EXPECT_EQ(pcm.size(), c.result == HI_VOICE_OK ? 160u : 0u);
    }
    // The kind is checked before the length.
    DecoderStream decoder(HI_VOICE_MODE_G711A);
    decoder.decode(Bytes{0x00, 0x00, 0x00, 0x00});
    EXPECT_EQ(decoder.result(), HI_VOICE_ERR_DEC_KIND);
}

TEST(DecoderFrame, NullPointersAreReportedInArgumentOrder)
{
    HiVoiceState state;
    ASSERT_EQ(HI_VOICE_DecReset(&state, HI_VOICE_MODE_G711A), HI_VOICE_OK);
    const Bytes frame = EncoderStream(HI_VOICE_MODE_G711A).encode(Pcm(160, 0));
    std::vector<int16_t> pcm(HI_VOICE_MAX_DECODE_SAMPLES);
    int16_t count = 7;
    EXPECT_EQ(HI_VOICE_DecReset(nullptr, 1), HI_VOICE_ERR_NULL_STATE);
    EXPECT_EQ(HI_VOICE_DecodeFrame(nullptr, frame.data(), pcm.data(), &count), HI_VOICE_ERR_NULL_STATE);
    EXPECT_EQ(HI_VOICE_DecodeFrame(&state, nullptr, pcm.data(), &count), HI_VOICE_ERR_NULL_INPUT);
    EXPECT_EQ(HI_VOICE_DecodeFrame(&state, frame.data(), nullptr, &count), HI_VOICE_ERR_NULL_OUTPUT);
    EXPECT_EQ(count, 7) << "a null output is reported before the count is touched";
    EXPECT_EQ(HI_VOICE_DecodeFrame(&state, frame.data(), pcm.data(), nullptr), HI_VOICE_ERR_NULL_OUTPUT);
}

// A refused frame leaves the output samples and the stream state as they were: the frames
// after it decode exactly as if it had never arrived.
TEST(DecoderFrame, RefusedFrameChangesNeitherOutputNorState)
{
    for (int16_t mode : {int16_t{0x43}, int16_t{6}, int16_t{0x25}, int16_t{0x44}}) {
        SCOPED_TRACE(testing::Message() << "mode " << mode);
        const std::vector<Bytes> frames = encodeAll(mode, speechLike(1600, 23), 160);
        const std::vector<int16_t> expected = decodeAll(mode, frames);

        HiVoiceState state;
        ASSERT_EQ(HI_VOICE_DecReset(&state, mode), HI_VOICE_OK);
        std::vector<int16_t> joined;
        for (size_t i = 0; i < frames.size(); ++i) {
            std::vector<int16_t> pcm(HI_VOICE_MAX_DECODE_SAMPLES, 0x1234);
            int16_t count = 55;
            if (i == 4) {
                Bytes bad = frames[i];
                bad[2] = 255;  // longer than any mode takes
                bad.resize(4 + 2 * 255);
                const HiVoiceState before = state;
                ASSERT_EQ(HI_VOICE_DecodeFrame(&state, bad.data(), pcm.data(), &count), HI_VOICE_ERR_DEC_LENGTH);
                EXPECT_EQ(count, 0);
                EXPECT_TRUE(std::all_of(pcm.begin(), pcm.end(), [](int16_t s) { return s == 0x1234; }));
                EXPECT_EQ(std::memcmp(&before, &state, sizeof state), 0);
            }
            ASSERT_EQ(HI_VOICE_DecodeFrame(&state, frames[i].data(), pcm.data(), &count), HI_VOICE_OK);
            joined.insert(joined.end(), pcm.begin(), pcm.begin() + count);
        }
        EXPECT_EQ(joined, expected);
    }
}

// The most-significant-bit-first forms decode without rewriting the caller's frame, so the
// same frame can be decoded again (a resend, a second listener).
TEST(DecoderFrame, InputFrameIsNotModified)
{
    for (int16_t mode : {int16_t{0x24}, int16_t{0x25}, int16_t{0x26}, int16_t{0x27}, int16_t{0x44}, int16_t{0x41}}) {
        const Bytes frame = EncoderStream(mode).encode(speechLike(160, 29));
        const Bytes copy = frame;
        DecoderStream first(mode);
        DecoderStream second(mode);
        const std::vector<int16_t> a = first.decode(frame);
        EXPECT_EQ(frame, copy) << "mode " << mode;
        EXPECT_EQ(second.decode(frame), a) << "mode " << mode;
    }
}

// A block header index above 88 is taken as 88, never as an index past the step table.
TEST(DecoderFrame, AdpcmHeaderIndexAbove88IsTakenAs88)
{
    for (int16_t mode : {int16_t{HI_VOICE_MODE_ADPCM_DVI4}, int16_t{HI_VOICE_MODE_ADPCM_IMA4}}) {
        Bytes frame = frameWithLength(42, 31);
        frame[6] = 88;
        const std::vector<int16_t> clamped = DecoderStream(mode).decode(frame);
        for (int index : {89, 200, 255}) {
            frame[6] = static_cast<uint8_t>(index);
            DecoderStream decoder(mode);
            EXPECT_EQ(decoder.decode(frame), clamped) << "mode " << mode << ", index " << index;
            EXPECT_EQ(decoder.result(), HI_VOICE_OK);
        }
    }
}

// A damaged state record (written over by the caller) still decodes without reading outside
// tables or overflowing shifts; the sanitizers watch this test.
TEST(DecoderFrame, DamagedStateRecordStaysWithinBounds)
{
    for (int16_t mode : {1, 3, 5, 7, 0x23, 0x26, 0x43, 0x44}) {
        for (uint32_t seed = 1; seed <= 20; ++seed) {
            HiVoiceState state;
            const Bytes noise = randomBytes(sizeof state, seed);
            std::memcpy(&state, noise.data(), sizeof state);
            state.mode = mode;
            const Bytes frame = EncoderStream(mode).encode(fullScaleNoise(160, seed));
            std::vector<int16_t> pcm(HI_VOICE_MAX_DECODE_SAMPLES);
            int16_t count = 0;
            EXPECT_EQ(HI_VOICE_DecodeFrame(&state, frame.data(), pcm.data(), &count), HI_VOICE_OK);
            std::memcpy(&state, noise.data(), sizeof state);
            state.mode = mode;
            Bytes out(HI_VOICE_MAX_FRAME_BYTES);
            const Pcm input = fullScaleNoise(160, seed + 100);
            EXPECT_EQ(HI_VOICE_EncodeFrame(&state, input.data(), out.data(), 160), HI_VOICE_OK);
        }
    }
}

}  // namespace
}  // namespace voicetest
