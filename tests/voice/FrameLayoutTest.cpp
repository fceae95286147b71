// Encoder frames: header words, payload sizes, byte order, sample count limits, errors,
// and the state records each mode uses.
#include "tests/voice/SpandspReference.h"
#include "tests/voice/VoiceCodec.h"
#include "tests/voice/VoiceSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <thread>

namespace voicetest {
namespace {

constexpr int16_t kAllModes[] = {1, 2, 3, 4, 5, 6, 7, 0x23, 0x24, 0x25, 0x26, 0x27, 0x41, 0x42, 0x43, 0x44};

struct SizeCase {
    int16_t mode;
    int samples;
    int payloadWords;
};

TEST(EncoderFrame, HeaderWordsAndPayloadLengthForEveryMode)
{
    const SizeCase cases[] = {
        {1, 160, 80},   {1, 161, 80},   {1, 481, 240},  {1, 1, 0},      {2, 160, 80},   {0x41, 160, 80},
        {0x42, 161, 80}, {3, 160, 42},  {3, 161, 42},   {3, 481, 122},  {3, 3, 2},      {0x23, 161, 42},
        {0x23, 160, 41}, {0x23, 1, 2},  {0x23, 481, 122}, {0x43, 160, 40}, {0x43, 481, 120}, {0x43, 3, 0},
        {4, 160, 20},   {5, 160, 30},   {6, 160, 40},   {7, 160, 50},   {4, 481, 60},   {5, 481, 90},
        {6, 481, 120},  {7, 481, 150},  {5, 100, 18},   {7, 7, 2},      {0x24, 160, 20}, {0x25, 160, 30},
        {0x26, 160, 40}, {0x27, 160, 50}, {0x27, 481, 150}, {0x44, 160, 20}, {0x44, 481, 60}, {0x44, 7, 0},
    };
    const Pcm pcm = speechLike(481, 5);
    for (const SizeCase& c : cases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", " << c.samples << " samples");
        EncoderStream encoder(c.mode);
        const Bytes frame = encoder.encode(std::span(pcm).first(c.samples));
        ASSERT_EQ(encoder.result(), HI_VOICE_OK);
        ASSERT_EQ(frame.size(), 4u + 2 * c.payloadWords);
        EXPECT_EQ(frame[0], 0x00);
        EXPECT_EQ(frame[1], 0x01);
        EXPECT_EQ(frame[2], c.payloadWords);
        EXPECT_EQ(frame[3], 0x00);
    }
}

TEST(EncoderFrame, Mode1HoldsOneCodeBytePerSampleInSampleOrder)
{
    const Pcm pcm = speechLike(161, 9);
    EncoderStream encoder(HI_VOICE_MODE_G711A);
    const Bytes frame = encoder.encode(std::span(pcm).first(160));
    ASSERT_EQ(frame.size(), 164u);
    EXPECT_EQ(Bytes(frame.begin(), frame.begin() + 4), (Bytes{0x00, 0x01, 0x50, 0x00}));
    for (int i = 0; i < 160; ++i) {
        ASSERT_EQ(frame[4 + i], referenceAlaw(pcm[i])) << "sample " << i;
    }

    // 161 samples: the same 80 words, the last sample is left out.
    EncoderStream odd(HI_VOICE_MODE_G711A);
    EXPECT_EQ(odd.encode(pcm), frame);
}

TEST(EncoderFrame, Mode65SwapsTheBytesOfEveryWord)
{
    const Pcm pcm = speechLike(160, 11);
    const Bytes plain = EncoderStream(HI_VOICE_MODE_G711A).encode(pcm);
    const Bytes swapped = EncoderStream(HI_VOICE_MODE_G711A_SWAP).encode(pcm);
    ASSERT_EQ(swapped.size(), plain.size());
    EXPECT_EQ(Bytes(swapped.begin(), swapped.begin() + 4), Bytes(plain.begin(), plain.begin() + 4));
    for (size_t i = 4; i < plain.size(); i += 2) {
        EXPECT_EQ(swapped[i], plain[i + 1]);
        EXPECT_EQ(swapped[i + 1], plain[i]);
    }
}

// The G.726 packings: least significant bit first, most significant bit first, and eight
// 2-bit codes per word with the earliest in bits 14-15. Codes 0,1,2,3,0,1,2,3 come from the
// reference coder fed with a known signal; here the bit positions are checked directly.
TEST(EncoderFrame, G726PackingsPlaceTheSameCodes)
{
    const Pcm pcm = speechLike(160, 13);
    ReferenceG726 reference(2, Packing::OneCodePerByte);
    const Bytes codes = reference.encode(pcm);
    ASSERT_EQ(codes.size(), 160u);

    const Bytes lsb = payloadOf(EncoderStream(HI_VOICE_MODE_G726_16).encode(pcm));
    const Bytes msb = payloadOf(EncoderStream(HI_VOICE_MODE_G726_16_MSB).encode(pcm));
    const Bytes words = payloadOf(EncoderStream(HI_VOICE_MODE_G726_16_WORD).encode(pcm));
    ASSERT_EQ(lsb.size(), 40u);
    ASSERT_EQ(msb.size(), 40u);
    ASSERT_EQ(words.size(), 40u);
    for (int i = 0; i < 160; ++i) {
        const int byte = i / 4;
        const int slot = i % 4;
        ASSERT_EQ((lsb[byte] >> (2 * slot)) & 3, codes[i]) << "lsb-first, sample " << i;
        ASSERT_EQ((msb[byte] >> (6 - 2 * slot)) & 3, codes[i]) << "msb-first, sample " << i;
        const int word = words[2 * (i / 8)] | (words[2 * (i / 8) + 1] << 8);
        ASSERT_EQ((word >> (14 - 2 * (i % 8))) & 3, codes[i]) << "word form, sample " << i;
    }
}

TEST(EncoderFrame, SampleCountOutsideOneTo481IsRefusedWithoutOutput)
{
    const Pcm pcm(600, 1000);
    for (int16_t mode : kAllModes) {
        for (int16_t count : {int16_t{0}, int16_t{-1}, int16_t{482}, int16_t{600}, int16_t{-32768}}) {
            HiVoiceState state;
            ASSERT_EQ(HI_VOICE_EncReset(&state, mode), HI_VOICE_OK);
            const HiVoiceState before = state;
            Bytes frame(HI_VOICE_MAX_FRAME_BYTES, 0xEE);
            EXPECT_EQ(HI_VOICE_EncodeFrame(&state, pcm.data(), frame.data(), count), HI_VOICE_ERR_ENC_COUNT)
                << "mode " << mode << ", count " << count;
            EXPECT_TRUE(std::all_of(frame.begin(), frame.end(), [](uint8_t b) { return b == 0xEE; }));
            EXPECT_EQ(std::memcmp(&state, &before, sizeof state), 0);
        }
        HiVoiceState state;
        ASSERT_EQ(HI_VOICE_EncReset(&state, mode), HI_VOICE_OK);
        Bytes frame(HI_VOICE_MAX_FRAME_BYTES);
        EXPECT_EQ(HI_VOICE_EncodeFrame(&state, pcm.data(), frame.data(), 481), HI_VOICE_OK) << "mode " << mode;
        EXPECT_EQ(HI_VOICE_EncodeFrame(&state, pcm.data(), frame.data(), 1), HI_VOICE_OK) << "mode " << mode;
    }
}

TEST(EncoderFrame, NullPointersAreReportedInArgumentOrder)
{
    HiVoiceState state;
    ASSERT_EQ(HI_VOICE_EncReset(&state, HI_VOICE_MODE_G711A), HI_VOICE_OK);
    const Pcm pcm(160, 0);
    Bytes frame(HI_VOICE_MAX_FRAME_BYTES);
    EXPECT_EQ(HI_VOICE_EncReset(nullptr, HI_VOICE_MODE_G711A), HI_VOICE_ERR_NULL_STATE);
    EXPECT_EQ(HI_VOICE_EncodeFrame(nullptr, nullptr, nullptr, 0), HI_VOICE_ERR_NULL_STATE);
    EXPECT_EQ(HI_VOICE_EncodeFrame(&state, nullptr, frame.data(), 160), HI_VOICE_ERR_NULL_INPUT);
    EXPECT_EQ(HI_VOICE_EncodeFrame(&state, pcm.data(), nullptr, 160), HI_VOICE_ERR_NULL_OUTPUT);
    // Pointers are checked before the count.
    EXPECT_EQ(HI_VOICE_EncodeFrame(&state, pcm.data(), nullptr, 0), HI_VOICE_ERR_NULL_OUTPUT);
}

TEST(EncoderFrame, UnsupportedModeIsStoredAndRefusedByEveryCall)
{
    const Pcm pcm(160, 0);
    const Bytes validFrame = EncoderStream(HI_VOICE_MODE_G711A).encode(pcm);
    for (int16_t mode : {int16_t{0}, int16_t{8}, int16_t{0x22}, int16_t{0x28}, int16_t{0x40}, int16_t{0x45},
                         int16_t{97}, int16_t{-1}, int16_t{0x7FFF}}) {
        HiVoiceState state;
        EXPECT_EQ(HI_VOICE_EncReset(&state, mode), HI_VOICE_ERR_ENC_MODE) << mode;
        EXPECT_EQ(state.mode, mode);
        Bytes frame(HI_VOICE_MAX_FRAME_BYTES, 0xEE);
        EXPECT_EQ(HI_VOICE_EncodeFrame(&state, pcm.data(), frame.data(), 160), HI_VOICE_ERR_ENC_MODE);
        EXPECT_EQ(frame[0], 0xEE);
        // The count is checked before the mode.
        EXPECT_EQ(HI_VOICE_EncodeFrame(&state, pcm.data(), frame.data(), 0), HI_VOICE_ERR_ENC_COUNT);

        EXPECT_EQ(HI_VOICE_DecReset(&state, mode), HI_VOICE_ERR_DEC_MODE) << mode;
        EXPECT_EQ(state.mode, mode);
        std::vector<int16_t> out(HI_VOICE_MAX_DECODE_SAMPLES);
        int16_t count = 99;
        EXPECT_EQ(HI_VOICE_DecodeFrame(&state, validFrame.data(), out.data(), &count), HI_VOICE_ERR_DEC_MODE);
        EXPECT_EQ(count, 0);
    }
}

// Each mode keeps to the record size it is documented with; records need no alignment.
TEST(StateRecord, EveryModeStaysInsideItsRecordAtAnyAlignment)
{
    struct RecordCase {
        int16_t mode;
        size_t size;
    };
    const RecordCase cases[] = {
        {1, HI_VOICE_STATE_SIZE_FOR_G711},     {2, HI_VOICE_STATE_SIZE_FOR_G711},
        {0x41, HI_VOICE_STATE_SIZE_FOR_G711},  {0x42, HI_VOICE_STATE_SIZE_FOR_G711},
        {3, HI_VOICE_STATE_SIZE_FOR_ADPCM},    {0x23, HI_VOICE_STATE_SIZE_FOR_ADPCM},
        {0x43, HI_VOICE_STATE_SIZE_FOR_ADPCM}, {4, HI_VOICE_STATE_SIZE_FOR_G726},
        {5, HI_VOICE_STATE_SIZE_FOR_G726},     {6, HI_VOICE_STATE_SIZE_FOR_G726},
        {7, HI_VOICE_STATE_SIZE_FOR_G726},     {0x24, HI_VOICE_STATE_SIZE_FOR_G726},
        {0x27, HI_VOICE_STATE_SIZE_FOR_G726},  {0x44, HI_VOICE_STATE_SIZE_FOR_G726_WORD},
    };
    const Pcm pcm = speechLike(1700, 17);
    for (const RecordCase& c : cases) {
        for (size_t offset : {0u, 1u, 3u}) {
            SCOPED_TRACE(testing::Message() << "mode " << c.mode << ", offset " << offset);
            std::vector<uint8_t> storage(offset + c.size + 32, 0xA5);
            void* encoder = storage.data() + offset;
            ASSERT_EQ(HI_VOICE_EncReset(encoder, c.mode), HI_VOICE_OK);
            std::vector<uint8_t> decoderStorage = storage;
            void* decoder = decoderStorage.data() + offset;
            ASSERT_EQ(HI_VOICE_DecReset(decoder, c.mode), HI_VOICE_OK);
            for (int f = 0; f < 10; ++f) {
                Bytes frame(HI_VOICE_MAX_FRAME_BYTES);
                ASSERT_EQ(HI_VOICE_EncodeFrame(encoder, pcm.data() + 160 * f, frame.data(), 161), HI_VOICE_OK);
                std::vector<int16_t> out(HI_VOICE_MAX_DECODE_SAMPLES);
                int16_t count = 0;
                const int32_t result = HI_VOICE_DecodeFrame(decoder, frame.data(), out.data(), &count);
                // Every mode decodes its own 160- or 161-sample frames.
                ASSERT_EQ(result, HI_VOICE_OK);
            }
            for (const auto* bytes : {&storage, &decoderStorage}) {
                EXPECT_TRUE(std::all_of(bytes->begin(), bytes->begin() + offset, [](uint8_t b) { return b == 0xA5; }));
                EXPECT_TRUE(std::all_of(bytes->begin() + offset + c.size, bytes->end(), [](uint8_t b) { return b == 0xA5; }));
            }
        }
    }
}

int32_t field32(const HiVoiceState& state, size_t offset)
{
    int32_t value;
    std::memcpy(&value, state.bytes + offset, sizeof value);
    return value;
}

int16_t field16(const HiVoiceState& state, size_t offset)
{
    int16_t value;
    std::memcpy(&value, state.bytes + offset, sizeof value);
    return value;
}

TEST(StateRecord, ResetWritesTheModeAndTheCoderStartValues)
{
    for (int16_t mode : kAllModes) {
        HiVoiceState state;
        std::memset(&state, 0x77, sizeof state);
        ASSERT_EQ(HI_VOICE_EncReset(&state, mode), HI_VOICE_OK);
        EXPECT_EQ(state.mode, mode);
    }
    HiVoiceState adpcm;
    std::memset(&adpcm, 0x77, sizeof adpcm);
    ASSERT_EQ(HI_VOICE_EncReset(&adpcm, HI_VOICE_MODE_ADPCM_DVI4), HI_VOICE_OK);
    EXPECT_EQ(field16(adpcm, 2), 0);   // predictor
    EXPECT_EQ(adpcm.bytes[4], 0);      // step index

    for (int16_t mode : {int16_t{4}, int16_t{5}, int16_t{6}, int16_t{7}, int16_t{0x24}, int16_t{0x27}}) {
        HiVoiceState g726;
        std::memset(&g726, 0x77, sizeof g726);
        ASSERT_EQ(HI_VOICE_EncReset(&g726, mode), HI_VOICE_OK);
        EXPECT_EQ(field32(g726, 4), 2) << "16-bit linear samples";
        EXPECT_EQ(field32(g726, 8), mode >= 0x24 ? mode - 0x22 : mode - 2) << "bits per code";
        EXPECT_EQ(field32(g726, 12), 34816) << "yl";
        EXPECT_EQ(field32(g726, 16), 544) << "yu";
    }
}

// The ADPCM record carries the predictor and index: the next DVI4 block header holds what
// the record held after the previous block.
TEST(StateRecord, AdpcmRecordCarriesPredictorAndIndexToTheNextBlock)
{
    const Pcm pcm = speechLike(320, 19);
    HiVoiceState state;
    ASSERT_EQ(HI_VOICE_EncReset(&state, HI_VOICE_MODE_ADPCM_DVI4), HI_VOICE_OK);
    Bytes frame(HI_VOICE_MAX_FRAME_BYTES);
    ASSERT_EQ(HI_VOICE_EncodeFrame(&state, pcm.data(), frame.data(), 160), HI_VOICE_OK);
    const int16_t predictor = field16(state, 2);
    const uint8_t index = state.bytes[4];
    EXPECT_NE(index, 0);
    ASSERT_EQ(HI_VOICE_EncodeFrame(&state, pcm.data() + 160, frame.data(), 160), HI_VOICE_OK);
    EXPECT_EQ(static_cast<int16_t>(frame[4] | (frame[5] << 8)), predictor);
    EXPECT_EQ(frame[6], index);
}

// All codec memory lives in the caller's records: streams coded at the same time on
// different threads give exactly the frames they give one after the other.
TEST(StateRecord, StreamsOnSeparateThreadsDoNotInterfere)
{
    const Pcm pcm = speechLike(8000, 61);
    const int16_t modes[] = {3, 6, 0x25, 0x44};
    std::vector<std::vector<Bytes>> expected;
    for (int16_t mode : modes) {
        expected.push_back(encodeAll(mode, pcm, 160));
    }
    std::vector<std::vector<Bytes>> produced(std::size(modes));
    std::vector<std::thread> threads;
    for (size_t t = 0; t < std::size(modes); ++t) {
        threads.emplace_back([&, t] {
            HiVoiceState state;
            HI_VOICE_EncReset(&state, modes[t]);
            for (size_t at = 0; at + 160 <= pcm.size(); at += 160) {
                Bytes frame(HI_VOICE_MAX_FRAME_BYTES);
                HI_VOICE_EncodeFrame(&state, pcm.data() + at, frame.data(), 160);
                frame.resize(4 + 2 * frame[2]);
                produced[t].push_back(frame);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    for (size_t t = 0; t < std::size(modes); ++t) {
        EXPECT_EQ(produced[t], expected[t]) << "mode " << modes[t];
    }
}

}  // namespace
}  // namespace voicetest
