// Arbitrary frames: every announced length in every mode, in buffers of exactly the size the
// header announces, so the sanitizers see any read or write past them; and the fuzz seeds.
#include "fuzz/voice/VoiceFrameInput.h"
#include "tests/voice/VoiceCodec.h"
#include "tests/voice/VoiceSignals.h"

#include "hivoice.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>

namespace voicetest {
namespace {

TEST(FrameInput, EveryAnnouncedLengthStaysInsideTheFrameAndTheOutput)
{
    const int16_t modes[] = {1, 2, 3, 4, 5, 6, 7, 0x23, 0x24, 0x25, 0x26, 0x27, 0x41, 0x42, 0x43, 0x44};
    for (int16_t mode : modes) {
        for (int words = 0; words < 256; ++words) {
            const size_t size = 4 + 2 * static_cast<size_t>(words);
            const Bytes noise = randomBytes(static_cast<int>(size), mode * 1000 + words);
            auto frame = std::make_unique<uint8_t[]>(size);
            std::copy(noise.begin(), noise.end(), frame.get());
            frame[1] = 0x01;
            frame[2] = static_cast<uint8_t>(words);
            auto pcm = std::make_unique<int16_t[]>(HI_VOICE_MAX_DECODE_SAMPLES);
            HiVoiceState state;
            ASSERT_EQ(HI_VOICE_DecReset(&state, mode), HI_VOICE_OK);
            int16_t count = -1;
            const int32_t result = HI_VOICE_DecodeFrame(&state, frame.get(), pcm.get(), &count);
            ASSERT_TRUE(result == HI_VOICE_OK || result == HI_VOICE_ERR_DEC_LENGTH) << mode << "/" << words;
            ASSERT_LE(count, HI_VOICE_MAX_DECODE_SAMPLES);
        }
    }
}

TEST(FrameInput, FuzzSeedCorpusDecodesCleanly)
{
    const std::filesystem::path corpus = MC_VOICE_FUZZ_CORPUS;
    int inputs = 0;
    for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
        std::ifstream in(entry.path(), std::ios::binary);
        const Bytes data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        voicefuzz::decodeVoiceFrame(data.data(), data.size());
        ++inputs;
    }
    EXPECT_GT(inputs, 0) << "no seeds in " << corpus;
}

}  // namespace
}  // namespace voicetest
