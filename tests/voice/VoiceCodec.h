// Small helpers over the hivoice C interface for tests: one encoder or decoder stream.
#pragma once

#include "hivoice.h"

#include <cstdint>
#include <span>
#include <vector>

namespace voicetest {

using Bytes = std::vector<uint8_t>;

// Payload length (low byte of word 1) of a frame.
inline int payloadWords(const Bytes& frame)
{
    return frame.size() >= 4 ? frame[2] : -1;
}

inline Bytes payloadOf(const Bytes& frame)
{
    return Bytes(frame.begin() + 4, frame.end());
}

class EncoderStream {
public:
    explicit EncoderStream(int16_t mode);
    // One frame, trimmed to the length its header states; empty on error (see result()).
    Bytes encode(std::span<const int16_t> pcm);
    int32_t result() const { return result_; }

private:
    HiVoiceState state_{};
    int32_t result_ = 0;
};

class DecoderStream {
public:
    explicit DecoderStream(int16_t mode);
    std::vector<int16_t> decode(const Bytes& frame);
    int32_t result() const { return result_; }

private:
    HiVoiceState state_{};
    int32_t result_ = 0;
};

// Builds a frame with a kind-1 header around the payload (length in words = size / 2).
Bytes makeFrame(const Bytes& payload);

// Encodes pcm frame by frame with one stream; returns the frames.
std::vector<Bytes> encodeAll(int16_t mode, std::span<const int16_t> pcm, int frameSamples);

// Decodes frames with one stream and joins the samples.
std::vector<int16_t> decodeAll(int16_t mode, const std::vector<Bytes>& frames);

}  // namespace voicetest
