// Layouts of the caller-supplied state records. Records are copied in and out with memcpy,
// so they may sit at any alignment and are only touched up to the size of their mode.
#pragma once

#include "G726.h"
#include "ImaAdpcm.h"
#include "Modes.h"
#include "hivoice.h"

#include <cstdint>
#include <cstring>

namespace hivoice {

struct AdpcmRecord {
    int16_t mode;
    int16_t predictor;
    uint8_t index;
    uint8_t reserved;
};
static_assert(sizeof(AdpcmRecord) == HI_VOICE_STATE_SIZE_FOR_ADPCM);

inline constexpr int32_t kLinearSamples = 2;

// G.726 with 32-bit fields: sample format, bits per code, then the coder variables.
struct G726Record {
    int16_t mode;
    int16_t reserved;
    int32_t sampleFormat;
    int32_t bitsPerCode;
    int32_t yl, yu, dms, dml, ap;
    int32_t a[2];
    int32_t b[6];
    int32_t pk[2];
    int32_t dq[6];
    int32_t sr[2];
    int32_t td;
};
static_assert(sizeof(G726Record) == HI_VOICE_STATE_SIZE_FOR_G726);

// G.726 at 16 kbit/s with 16-bit fields; yl needs 19 bits and is split in two halves, and the
// one-bit variables share one field (bit 0 pk[0], bit 1 pk[1], bit 2 td).
struct G726WordRecord {
    int16_t mode;
    uint16_t ylLow;
    uint16_t ylHigh;
    int16_t yu, dms, dml, ap;
    int16_t a[2];
    int16_t b[6];
    uint16_t dq[6];
    uint16_t sr[2];
    uint16_t flags;
};
static_assert(sizeof(G726WordRecord) == HI_VOICE_STATE_SIZE_FOR_G726_WORD);

inline int16_t loadMode(const void* record)
{
    int16_t mode;
    std::memcpy(&mode, record, sizeof mode);
    return mode;
}

inline void storeMode(void* record, int16_t mode)
{
    std::memcpy(record, &mode, sizeof mode);
}

inline ImaChannel loadAdpcm(const void* record)
{
    AdpcmRecord r;
    std::memcpy(&r, record, sizeof r);
    ImaChannel channel;
    channel.predictor = r.predictor;
    channel.index = r.index > kImaMaxIndex ? kImaMaxIndex : r.index;
    return channel;
}

inline void storeAdpcm(void* record, int16_t mode, const ImaChannel& channel)
{
    const AdpcmRecord r{mode, static_cast<int16_t>(channel.predictor),
                        static_cast<uint8_t>(channel.index), 0};
    std::memcpy(record, &r, sizeof r);
}

inline G726Channel loadG726(const void* record)
{
    G726Record r;
    std::memcpy(&r, record, sizeof r);
    G726Channel c;
    c.yl = r.yl;
    c.yu = r.yu;
    c.dms = r.dms;
    c.dml = r.dml;
    c.ap = r.ap;
    for (int i = 0; i < 2; ++i) {
        c.a[i] = r.a[i];
        c.pk[i] = r.pk[i];
        c.sr[i] = r.sr[i];
    }
    for (int i = 0; i < 6; ++i) {
        c.b[i] = r.b[i];
        c.dq[i] = r.dq[i];
    }
    c.td = r.td;
    c.sanitise();
    return c;
}

inline void storeG726(void* record, int16_t mode, int bits, const G726Channel& c)
{
    G726Record r{};
    r.mode = mode;
    r.sampleFormat = kLinearSamples;
    r.bitsPerCode = bits;
    r.yl = c.yl;
    r.yu = c.yu;
    r.dms = c.dms;
    r.dml = c.dml;
    r.ap = c.ap;
    for (int i = 0; i < 2; ++i) {
        r.a[i] = c.a[i];
        r.pk[i] = c.pk[i];
        r.sr[i] = c.sr[i];
    }
    for (int i = 0; i < 6; ++i) {
        r.b[i] = c.b[i];
        r.dq[i] = c.dq[i];
    }
    r.td = c.td;
    std::memcpy(record, &r, sizeof r);
}

inline G726Channel loadG726Word(const void* record)
{
    G726WordRecord r;
    std::memcpy(&r, record, sizeof r);
    G726Channel c;
    c.yl = static_cast<int32_t>((static_cast<uint32_t>(r.ylHigh) << 16) | r.ylLow);
    c.yu = r.yu;
    c.dms = r.dms;
    c.dml = r.dml;
    c.ap = r.ap;
    for (int i = 0; i < 2; ++i) {
        c.a[i] = r.a[i];
        c.sr[i] = r.sr[i];
    }
    for (int i = 0; i < 6; ++i) {
        c.b[i] = r.b[i];
        c.dq[i] = r.dq[i];
    }
    c.pk[0] = r.flags & 1;
    c.pk[1] = (r.flags >> 1) & 1;
    c.td = (r.flags >> 2) & 1;
    c.sanitise();
    return c;
}

inline void storeG726Word(void* record, int16_t mode, const G726Channel& c)
{
    G726WordRecord r{};
    r.mode = mode;
    r.ylLow = static_cast<uint16_t>(c.yl & 0xFFFF);
    r.ylHigh = static_cast<uint16_t>(c.yl >> 16);
    r.yu = static_cast<int16_t>(c.yu);
    r.dms = static_cast<int16_t>(c.dms);
    r.dml = static_cast<int16_t>(c.dml);
    r.ap = static_cast<int16_t>(c.ap);
    for (int i = 0; i < 2; ++i) {
        r.a[i] = static_cast<int16_t>(c.a[i]);
        r.sr[i] = static_cast<uint16_t>(c.sr[i]);
    }
    for (int i = 0; i < 6; ++i) {
        r.b[i] = static_cast<int16_t>(c.b[i]);
        r.dq[i] = static_cast<uint16_t>(c.dq[i]);
    }
    r.flags = static_cast<uint16_t>(c.pk[0] | (c.pk[1] << 1) | (c.td << 2));
    std::memcpy(record, &r, sizeof r);
}

// Writes the reset state of mode; an unsupported mode only gets its mode field.
inline bool resetRecord(void* record, int16_t mode)
{
    const ModeInfo info = describeMode(mode);
    switch (info.family) {
    case Family::None:
        storeMode(record, mode);
        return false;
    case Family::G711:
        storeMode(record, mode);
        return true;
    case Family::AdpcmDvi4:
    case Family::AdpcmIma4:
    case Family::AdpcmRaw:
        storeAdpcm(record, mode, ImaChannel{});
        return true;
    case Family::G726:
        storeG726(record, mode, info.bits, G726Channel{});
        return true;
    case Family::G726Word:
        storeG726Word(record, mode, G726Channel{});
        return true;
    }
    return false;
}

}  // namespace hivoice
