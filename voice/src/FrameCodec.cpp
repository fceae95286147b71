#include "FrameCodec.h"

#include "BitPacking.h"
#include "G711.h"
#include "G726.h"
#include "ImaAdpcm.h"
#include "Modes.h"
#include "StateRecords.h"
#include "hivoice.h"

#include <algorithm>
#include <array>

namespace hivoice {
namespace {

void writeHeader(uint8_t* frame, int payloadWords)
{
    frame[0] = 0x00;
    frame[1] = 0x01;
    frame[2] = static_cast<uint8_t>(payloadWords);
    frame[3] = 0x00;
}

void writeLittleEndian(uint8_t* out, int16_t value)
{
    const auto bits = static_cast<uint16_t>(value);
    out[0] = static_cast<uint8_t>(bits);
    out[1] = static_cast<uint8_t>(bits >> 8);
}

int16_t readLittleEndian(const uint8_t* in)
{
    return static_cast<int16_t>(static_cast<uint16_t>(in[0] | (in[1] << 8)));
}

// Both laws pick their code from the top 12 bits of a magnitude (A-law: the one's
// complement magnitude; µ-law: the magnitude plus its bias), so encoding is a lookup too.
constexpr std::array<uint8_t, 4096> kAlawCompression = [] {
    std::array<uint8_t, 4096> table{};
    for (int top = 0; top < 4096; ++top) {
        table[top] = alawFromLinear(static_cast<int16_t>(top << 3));  // sign bit set, 0x55 applied
    }
    return table;
}();

constexpr std::array<uint8_t, 4096> kUlawCompression = [] {
    std::array<uint8_t, 4096> table{};
    for (int top = 0; top < 4096; ++top) {
        const int magnitude = std::max(0, (top << 3) - 0x84);
        table[top] = ulawFromLinear(static_cast<int16_t>(magnitude));  // positive code
    }
    return table;
}();

template <Companding Law>
uint8_t compand(int16_t sample)
{
    const int negative = sample >> 15;  // 0 or -1
    if constexpr (Law == Companding::Alaw) {
        // A negative sample has the code of its one's complement without the sign bit.
        const int magnitude = sample ^ negative;
        return static_cast<uint8_t>(kAlawCompression[magnitude >> 3] ^ (negative & 0x80));
    } else {
        const int magnitude = (sample ^ negative) - negative;
        const int biased = std::min(magnitude + 0x84, 0x7FFF);
        return static_cast<uint8_t>(kUlawCompression[biased >> 3] ^ (negative & 0x80));
    }
}

// Each law has 256 output levels; decoding is a lookup in a table built at compile time.
template <Companding Law>
constexpr std::array<int16_t, 256> kExpansion = [] {
    std::array<int16_t, 256> table{};
    for (int code = 0; code < 256; ++code) {
        table[code] = Law == Companding::Alaw ? linearFromAlaw(static_cast<uint8_t>(code))
                                              : linearFromUlaw(static_cast<uint8_t>(code));
    }
    return table;
}();

// Swapped: the earlier sample of each pair goes to the high byte of the word.
template <Companding Law, bool Swapped>
void compandPairs(const int16_t* pcm, int words, uint8_t* payload)
{
    for (int i = 0; i < 2 * words; ++i) {
        payload[Swapped ? i ^ 1 : i] = compand<Law>(pcm[i]);
    }
}

template <Companding Law, bool Swapped>
void expandPairs(const uint8_t* payload, int words, int16_t* pcm)
{
    const std::array<int16_t, 256>& table = kExpansion<Law>;
    for (int i = 0; i < 2 * words; ++i) {
        pcm[i] = table[payload[Swapped ? i ^ 1 : i]];
    }
}

int encodeG711(const ModeInfo& info, const int16_t* pcm, int count, uint8_t* payload)
{
    const int words = count / 2;
    if (info.law == Companding::Alaw) {
        info.swapped ? compandPairs<Companding::Alaw, true>(pcm, words, payload)
                     : compandPairs<Companding::Alaw, false>(pcm, words, payload);
    } else {
        info.swapped ? compandPairs<Companding::Ulaw, true>(pcm, words, payload)
                     : compandPairs<Companding::Ulaw, false>(pcm, words, payload);
    }
    return words;
}

// Header with the predictor and index before the block, then two codes per byte, the
// earlier in the high nibble.
int encodeDvi4(void* record, int16_t mode, const int16_t* pcm, int count, uint8_t* payload)
{
    ImaChannel channel = loadAdpcm(record);
    const int codeWords = count / 4;
    writeLittleEndian(payload, static_cast<int16_t>(channel.predictor));
    payload[2] = static_cast<uint8_t>(channel.index);
    payload[3] = 0;
    for (int i = 0; i < 2 * codeWords; ++i) {
        const int first = channel.encode(pcm[2 * i]);
        payload[4 + i] = static_cast<uint8_t>((first << 4) | channel.encode(pcm[2 * i + 1]));
    }
    storeAdpcm(record, mode, channel);
    return codeWords + 2;
}

// Header with the first sample as predictor, then the codes of the following samples, the
// earlier in the low nibble.
int encodeIma4(void* record, int16_t mode, const int16_t* pcm, int count, uint8_t* payload)
{
    ImaChannel channel = loadAdpcm(record);
    const int codeWords = (count - 1) / 4;
    channel.predictor = pcm[0];
    writeLittleEndian(payload, pcm[0]);
    payload[2] = static_cast<uint8_t>(channel.index);
    payload[3] = 0;
    for (int i = 0; i < 2 * codeWords; ++i) {
        const int first = channel.encode(pcm[1 + 2 * i]);
        payload[4 + i] = static_cast<uint8_t>(first | (channel.encode(pcm[2 + 2 * i]) << 4));
    }
    storeAdpcm(record, mode, channel);
    return codeWords + 2;
}

int encodeAdpcmRaw(void* record, int16_t mode, const int16_t* pcm, int count, uint8_t* payload)
{
    ImaChannel channel = loadAdpcm(record);
    const int words = count / 4;
    for (int i = 0; i < 2 * words; ++i) {
        const int first = channel.encode(pcm[2 * i]);
        payload[i] = static_cast<uint8_t>((first << 4) | channel.encode(pcm[2 * i + 1]));
    }
    storeAdpcm(record, mode, channel);
    return words;
}

// Only the samples whose codes fill whole payload words are coded, so encoder and decoder
// adapt over the same samples.
int encodeG726(void* record, int16_t mode, const ModeInfo& info, const int16_t* pcm, int count,
               uint8_t* payload)
{
    G726Channel channel = loadG726(record);
    const int words = count * info.bits / 16;
    const int coded = words * 16 / info.bits;
    uint8_t codes[HI_VOICE_MAX_ENCODE_SAMPLES];
    g726Encode(channel, info.bits, pcm, coded, codes);
    if (info.msbFirst) {
        packMsbFirst(codes, coded, info.bits, payload, 2 * words);
    } else {
        packLsbFirst(codes, coded, info.bits, payload, 2 * words);
    }
    storeG726(record, mode, info.bits, channel);
    return words;
}

int encodeG726Word(void* record, int16_t mode, const int16_t* pcm, int count, uint8_t* payload)
{
    G726Channel channel = loadG726Word(record);
    const int words = count / 8;
    uint8_t codes[HI_VOICE_MAX_ENCODE_SAMPLES];
    g726Encode(channel, 2, pcm, 8 * words, codes);
    packWords2(codes, words, payload);
    storeG726Word(record, mode, channel);
    return words;
}

// Payload lengths the decoder takes, in words, and the samples they hold (-1: not valid).
int samplesInPayload(const ModeInfo& info, int words)
{
    switch (info.family) {
    case Family::None:
        return -1;
    case Family::G711:
        return words <= 240 && words % 40 == 0 ? 2 * words : -1;
    case Family::AdpcmDvi4:
        return words >= 2 && words <= 122 ? 4 * (words - 2) : -1;
    case Family::AdpcmIma4:
        return words >= 2 && words <= 122 ? 4 * (words - 2) + 1 : -1;
    case Family::AdpcmRaw:
        return words <= 120 ? 4 * words : -1;
    case Family::G726:
    case Family::G726Word:
        break;
    }
    const int samples = 16 * words / info.bits;
    const bool whole = (16 * words) % info.bits == 0;
    return whole && samples <= 480 && samples % 80 == 0 ? samples : -1;
}

void decodeG711(const ModeInfo& info, const uint8_t* payload, int samples, int16_t* pcm)
{
    const int words = samples / 2;
    if (info.law == Companding::Alaw) {
        info.swapped ? expandPairs<Companding::Alaw, true>(payload, words, pcm)
                     : expandPairs<Companding::Alaw, false>(payload, words, pcm);
    } else {
        info.swapped ? expandPairs<Companding::Ulaw, true>(payload, words, pcm)
                     : expandPairs<Companding::Ulaw, false>(payload, words, pcm);
    }
}

void decodeDvi4(void* record, int16_t mode, const uint8_t* payload, int samples, int16_t* pcm)
{
    ImaChannel channel;
    channel.predictor = readLittleEndian(payload);
    channel.index = payload[2] > kImaMaxIndex ? kImaMaxIndex : payload[2];
    for (int i = 0; i < samples / 2; ++i) {
        const uint8_t pair = payload[4 + i];
        pcm[2 * i] = channel.decode(pair >> 4);
        pcm[2 * i + 1] = channel.decode(pair & 0x0F);
    }
    storeAdpcm(record, mode, channel);
}

void decodeIma4(void* record, int16_t mode, const uint8_t* payload, int samples, int16_t* pcm)
{
    ImaChannel channel;
    channel.predictor = readLittleEndian(payload);
    channel.index = payload[2] > kImaMaxIndex ? kImaMaxIndex : payload[2];
    pcm[0] = static_cast<int16_t>(channel.predictor);
    for (int i = 0; i < (samples - 1) / 2; ++i) {
        const uint8_t pair = payload[4 + i];
        pcm[1 + 2 * i] = channel.decode(pair & 0x0F);
        pcm[2 + 2 * i] = channel.decode(pair >> 4);
    }
    storeAdpcm(record, mode, channel);
}

void decodeAdpcmRaw(void* record, int16_t mode, const uint8_t* payload, int samples, int16_t* pcm)
{
    ImaChannel channel = loadAdpcm(record);
    for (int i = 0; i < samples / 2; ++i) {
        const uint8_t pair = payload[i];
        pcm[2 * i] = channel.decode(pair >> 4);
        pcm[2 * i + 1] = channel.decode(pair & 0x0F);
    }
    storeAdpcm(record, mode, channel);
}

void decodeG726(void* record, int16_t mode, const ModeInfo& info, const uint8_t* payload,
                int samples, int16_t* pcm)
{
    G726Channel channel = loadG726(record);
    uint8_t codes[HI_VOICE_MAX_DECODE_SAMPLES];
    if (info.msbFirst) {
        unpackMsbFirst(payload, samples, info.bits, codes);
    } else {
        unpackLsbFirst(payload, samples, info.bits, codes);
    }
    g726Decode(channel, info.bits, codes, samples, pcm);
    storeG726(record, mode, info.bits, channel);
}

void decodeG726Word(void* record, int16_t mode, const uint8_t* payload, int samples, int16_t* pcm)
{
    G726Channel channel = loadG726Word(record);
    uint8_t codes[HI_VOICE_MAX_DECODE_SAMPLES];
    unpackWords2(payload, samples / 8, codes);
    g726Decode(channel, 2, codes, samples, pcm);
    storeG726Word(record, mode, channel);
}

}  // namespace

int32_t encodeFrame(void* record, const int16_t* pcm, uint8_t* frame, int count)
{
    if (count < 1 || count > HI_VOICE_MAX_ENCODE_SAMPLES) {
        return HI_VOICE_ERR_ENC_COUNT;
    }
    const int16_t mode = loadMode(record);
    const ModeInfo info = describeMode(mode);
    uint8_t* payload = frame + kHeaderBytes;
    int words = 0;
    switch (info.family) {
    case Family::None: return HI_VOICE_ERR_ENC_MODE;
    case Family::G711: words = encodeG711(info, pcm, count, payload); break;
    case Family::AdpcmDvi4: words = encodeDvi4(record, mode, pcm, count, payload); break;
    case Family::AdpcmIma4: words = encodeIma4(record, mode, pcm, count, payload); break;
    case Family::AdpcmRaw: words = encodeAdpcmRaw(record, mode, pcm, count, payload); break;
    case Family::G726: words = encodeG726(record, mode, info, pcm, count, payload); break;
    case Family::G726Word: words = encodeG726Word(record, mode, pcm, count, payload); break;
    }
    writeHeader(frame, words);
    return HI_VOICE_OK;
}

int32_t checkFrame(const void* record, const uint8_t* frame, int& sampleCount)
{
    if ((frame[1] & 0x03) != 0x01) {
        return HI_VOICE_ERR_DEC_KIND;
    }
    const int words = frame[2];
    if (words == 0) {
        return HI_VOICE_ERR_DEC_LENGTH;
    }
    const ModeInfo info = describeMode(loadMode(record));
    if (info.family == Family::None) {
        return HI_VOICE_ERR_DEC_MODE;
    }
    const int samples = samplesInPayload(info, words);
    if (samples < 0) {
        return HI_VOICE_ERR_DEC_LENGTH;
    }
    sampleCount = samples;
    return HI_VOICE_OK;
}

int32_t decodeFrame(void* record, const uint8_t* frame, int16_t* pcm, int& sampleCount)
{
    int samples = 0;
    if (const int32_t result = checkFrame(record, frame, samples); result != HI_VOICE_OK) {
        return result;
    }
    const int16_t mode = loadMode(record);
    const ModeInfo info = describeMode(mode);
    const uint8_t* payload = frame + kHeaderBytes;
    switch (info.family) {
    case Family::None: return HI_VOICE_ERR_DEC_MODE;
    case Family::G711: decodeG711(info, payload, samples, pcm); break;
    case Family::AdpcmDvi4: decodeDvi4(record, mode, payload, samples, pcm); break;
    case Family::AdpcmIma4: decodeIma4(record, mode, payload, samples, pcm); break;
    case Family::AdpcmRaw: decodeAdpcmRaw(record, mode, payload, samples, pcm); break;
    case Family::G726: decodeG726(record, mode, info, payload, samples, pcm); break;
    case Family::G726Word: decodeG726Word(record, mode, payload, samples, pcm); break;
    }
    sampleCount = samples;
    return HI_VOICE_OK;
}

}  // namespace hivoice
