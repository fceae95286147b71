#include "tests/voice/VoiceCodec.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace voicetest {

EncoderStream::EncoderStream(int16_t mode)
{
    EXPECT_EQ(HI_VOICE_EncReset(&state_, mode), HI_VOICE_OK) << "mode " << mode;
}

Bytes EncoderStream::encode(std::span<const int16_t> pcm)
{
    Bytes frame(HI_VOICE_MAX_FRAME_BYTES + 16, 0xEE);
    result_ = HI_VOICE_EncodeFrame(&state_, pcm.data(), frame.data(), static_cast<int16_t>(pcm.size()));
    if (result_ != HI_VOICE_OK) {
        return {};
    }
    const size_t length = 4 + 2 * static_cast<size_t>(frame[2]);
    EXPECT_TRUE(std::all_of(frame.begin() + length, frame.end(), [](uint8_t b) { return b == 0xEE; }))
        << "encoder wrote past the frame it announced";
    frame.resize(length);
    return frame;
}

DecoderStream::DecoderStream(int16_t mode)
{
    EXPECT_EQ(HI_VOICE_DecReset(&state_, mode), HI_VOICE_OK) << "mode " << mode;
}

std::vector<int16_t> DecoderStream::decode(const Bytes& frame)
{
    std::vector<int16_t> pcm(HI_VOICE_MAX_DECODE_SAMPLES + 16, 0x5A5A);
    int16_t count = -1;
    result_ = HI_VOICE_DecodeFrame(&state_, frame.data(), pcm.data(), &count);
    if (result_ != HI_VOICE_OK) {
        EXPECT_EQ(count, 0);
        return {};
    }
    EXPECT_TRUE(count >= 0 && count <= HI_VOICE_MAX_DECODE_SAMPLES) << count;
    EXPECT_TRUE(std::all_of(pcm.begin() + count, pcm.end(), [](int16_t s) { return s == 0x5A5A; }))
        << "decoder wrote past the samples it reported";
    pcm.resize(count);
    return pcm;
}

Bytes makeFrame(const Bytes& payload)
{
    Bytes frame = {0x00, 0x01, static_cast<uint8_t>(payload.size() / 2), 0x00};
    frame.insert(frame.end(), payload.begin(), payload.end());
    return frame;
}

std::vector<Bytes> encodeAll(int16_t mode, std::span<const int16_t> pcm, int frameSamples)
{
    EncoderStream encoder(mode);
    std::vector<Bytes> frames;
    for (size_t at = 0; at + frameSamples <= pcm.size(); at += frameSamples) {
        frames.push_back(encoder.encode(pcm.subspan(at, frameSamples)));
        EXPECT_EQ(encoder.result(), HI_VOICE_OK);
    }
    return frames;
}

std::vector<int16_t> decodeAll(int16_t mode, const std::vector<Bytes>& frames)
{
    DecoderStream decoder(mode);
    std::vector<int16_t> pcm;
    for (const Bytes& frame : frames) {
        const std::vector<int16_t> part = decoder.decode(frame);
        EXPECT_EQ(decoder.result(), HI_VOICE_OK);
        pcm.insert(pcm.end(), part.begin(), part.end());
    }
    return pcm;
}

}  // namespace voicetest
