// The transcoder: frames of modes 0x41-0x44 become frames of modes 1-4 in place.
#include "tests/voice/VoiceCodec.h"
#include "tests/voice/VoiceSignals.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace voicetest {
namespace {

struct TranscodeCase {
    int16_t transcodeMode;
    int16_t sourceMode;
    int16_t targetMode;
};

const TranscodeCase kCases[] = {
    {HI_VOICE_TRANSCODE_G711A, HI_VOICE_MODE_G711A_SWAP, HI_VOICE_MODE_G711A},
    {HI_VOICE_TRANSCODE_G711U, HI_VOICE_MODE_G711U_SWAP, HI_VOICE_MODE_G711U},
    {HI_VOICE_TRANSCODE_ADPCM, HI_VOICE_MODE_ADPCM_RAW, HI_VOICE_MODE_ADPCM_DVI4},
    {HI_VOICE_TRANSCODE_G726_16, HI_VOICE_MODE_G726_16_WORD, HI_VOICE_MODE_G726_16},
};

// Converts one frame in a buffer with room for the 4 bytes an ADPCM block header adds.
Bytes transcode(HiVoiceTranscodeState& state, const Bytes& frame, int32_t& result)
{
    Bytes buffer(frame.size() + 4 + 16, 0xEE);
    std::copy(frame.begin(), frame.end(), buffer.begin());
    result = HI_VOICE_TransCodeFrame(&state, buffer.data());
    buffer.resize(4 + 2 * buffer[2]);
    return buffer;
}

TEST(Transcode, GivesTheBytesThatEncodingTheSamePcmInTheTargetModeGives)
{
    const std::vector<NamedSignal> signals = {{"speech", speechLike(16000, 43)},
                                              {"speech2", speechLike(16000, 47)},
                                              {"sweep", fullScaleSweep(16000)}};
    for (const TranscodeCase& c : kCases) {
        for (const NamedSignal& signal : signals) {
            SCOPED_TRACE(testing::Message() << "mode " << c.transcodeMode << ", " << signal.name);
            const std::vector<Bytes> source = encodeAll(c.sourceMode, signal.samples, 160);
            const std::vector<Bytes> target = encodeAll(c.targetMode, signal.samples, 160);
            HiVoiceTranscodeState state;
            ASSERT_EQ(HI_VOICE_TransCodeReset(&state, c.transcodeMode), HI_VOICE_OK);
            for (size_t i = 0; i < source.size(); ++i) {
                int32_t result = 0;
                const Bytes converted = transcode(state, source[i], result);
                ASSERT_EQ(result, HI_VOICE_OK);
                ASSERT_EQ(converted, target[i]) << "frame " << i;
            }
        }
    }
}

TEST(Transcode, ErrorsLeaveTheFrameAsItWas)
{
    HiVoiceTranscodeState state;
    EXPECT_EQ(HI_VOICE_TransCodeReset(nullptr, HI_VOICE_TRANSCODE_G711A), HI_VOICE_ERR_TRANSCODE_NULL_STATE);
    EXPECT_EQ(HI_VOICE_TransCodeFrame(nullptr, nullptr), HI_VOICE_ERR_TRANSCODE_NULL_STATE);
    ASSERT_EQ(HI_VOICE_TransCodeReset(&state, HI_VOICE_TRANSCODE_G711A), HI_VOICE_OK);
    EXPECT_EQ(HI_VOICE_TransCodeFrame(&state, nullptr), HI_VOICE_ERR_NULL_INPUT);

    for (const TranscodeCase& c : kCases) {
        SCOPED_TRACE(testing::Message() << "mode " << c.transcodeMode);
        ASSERT_EQ(HI_VOICE_TransCodeReset(&state, c.transcodeMode), HI_VOICE_OK);
        const Bytes good = EncoderStream(c.sourceMode).encode(speechLike(160, 53));
        struct Damage {
            size_t at;
            uint8_t value;
            int32_t result;
        };
        for (const Damage d : {Damage{1, 0x00, HI_VOICE_ERR_DEC_KIND}, Damage{1, 0x02, HI_VOICE_ERR_DEC_KIND},
                               Damage{2, 0x00, HI_VOICE_ERR_DEC_LENGTH}, Damage{2, 0xFF, HI_VOICE_ERR_DEC_LENGTH}}) {
            Bytes frame = good;
            frame[d.at] = d.value;
            frame.resize(4 + 2 * 255 + 4, 0);
            const Bytes before = frame;
            EXPECT_EQ(HI_VOICE_TransCodeFrame(&state, frame.data()), d.result);
            EXPECT_EQ(frame, before);
        }
    }
}

TEST(Transcode, OnlyModes97To100AreAccepted)
{
    for (int16_t mode : {int16_t{0}, int16_t{1}, int16_t{4}, int16_t{65}, int16_t{96}, int16_t{101}, int16_t{-97}}) {
        HiVoiceTranscodeState state;
        ASSERT_EQ(HI_VOICE_TransCodeReset(&state, HI_VOICE_TRANSCODE_G711A), HI_VOICE_OK);
        EXPECT_EQ(HI_VOICE_TransCodeReset(&state, mode), HI_VOICE_ERR_TRANSCODE_MODE) << mode;
        // The failed reset ends the earlier stream.
        Bytes frame = EncoderStream(HI_VOICE_MODE_G711A_SWAP).encode(Pcm(160, 100));
        const Bytes before = frame;
        EXPECT_EQ(HI_VOICE_TransCodeFrame(&state, frame.data()), HI_VOICE_ERR_TRANSCODE_MODE) << mode;
        EXPECT_EQ(frame, before);
    }
}

// The record holds the target encoder at offset 0 and the source decoder at offset 2048 and
// nothing past the decoder's own record.
TEST(Transcode, StateRecordLayout)
{
    const Pcm pcm = speechLike(1600, 59);
    for (const TranscodeCase& c : kCases) {
        std::vector<uint8_t> storage(HI_VOICE_TRANSCODE_STATE_SIZE + 64, 0xA5);
        ASSERT_EQ(HI_VOICE_TransCodeReset(storage.data(), c.transcodeMode), HI_VOICE_OK);
        EXPECT_EQ(storage[0] | (storage[1] << 8), c.targetMode);
        EXPECT_EQ(storage[HI_VOICE_TRANSCODE_DECODER_OFFSET] | (storage[HI_VOICE_TRANSCODE_DECODER_OFFSET + 1] << 8),
                  c.sourceMode);
        for (const Bytes& frame : encodeAll(c.sourceMode, pcm, 160)) {
            Bytes buffer(frame.size() + 4);
            std::copy(frame.begin(), frame.end(), buffer.begin());
            ASSERT_EQ(HI_VOICE_TransCodeFrame(storage.data(), buffer.data()), HI_VOICE_OK);
        }
        EXPECT_TRUE(std::all_of(storage.begin() + HI_VOICE_TRANSCODE_STATE_SIZE, storage.end(),
                                [](uint8_t b) { return b == 0xA5; }))
            << "mode " << c.transcodeMode;
    }
}

}  // namespace
}  // namespace voicetest
