// Packing of 2- to 5-bit codes into bytes, in either bit order.
#pragma once

#include <cstdint>

namespace hivoice {

// Codes fill each byte from its least significant bit; the earlier code comes first.
// Unused bits of the last byte, and bytes up to byteCount, are zero.
inline void packLsbFirst(const uint8_t* codes, int count, int bits, uint8_t* out, int byteCount)
{
    uint32_t pending = 0;
    int pendingBits = 0;
    int written = 0;
    for (int i = 0; i < count; ++i) {
        pending |= static_cast<uint32_t>(codes[i]) << pendingBits;
        pendingBits += bits;
        while (pendingBits >= 8) {
            out[written++] = static_cast<uint8_t>(pending);
            pending >>= 8;
            pendingBits -= 8;
        }
    }
    if (pendingBits > 0) {
        out[written++] = static_cast<uint8_t>(pending);
    }
    while (written < byteCount) {
        out[written++] = 0;
    }
}

// Codes fill each byte from its most significant bit; the earlier code comes first.
inline void packMsbFirst(const uint8_t* codes, int count, int bits, uint8_t* out, int byteCount)
{
    uint32_t pending = 0;
    int pendingBits = 0;
    int written = 0;
    for (int i = 0; i < count; ++i) {
        pending = (pending << bits) | codes[i];
        pendingBits += bits;
        while (pendingBits >= 8) {
            pendingBits -= 8;
            out[written++] = static_cast<uint8_t>(pending >> pendingBits);
        }
        pending &= (1u << pendingBits) - 1;
    }
    if (pendingBits > 0) {
        out[written++] = static_cast<uint8_t>(pending << (8 - pendingBits));
    }
    while (written < byteCount) {
        out[written++] = 0;
    }
}

inline void unpackLsbFirst(const uint8_t* in, int count, int bits, uint8_t* codes)
{
    const uint32_t mask = (1u << bits) - 1;
    uint32_t pending = 0;
    int pendingBits = 0;
    int read = 0;
    for (int i = 0; i < count; ++i) {
        if (pendingBits < bits) {
            pending |= static_cast<uint32_t>(in[read++]) << pendingBits;
            pendingBits += 8;
        }
        codes[i] = static_cast<uint8_t>(pending & mask);
        pending >>= bits;
        pendingBits -= bits;
    }
}

inline void unpackMsbFirst(const uint8_t* in, int count, int bits, uint8_t* codes)
{
    const uint32_t mask = (1u << bits) - 1;
    uint32_t pending = 0;
    int pendingBits = 0;
    int read = 0;
    for (int i = 0; i < count; ++i) {
        if (pendingBits < bits) {
            pending = (pending << 8) | in[read++];
            pendingBits += 8;
        }
        pendingBits -= bits;
        codes[i] = static_cast<uint8_t>((pending >> pendingBits) & mask);
        pending &= (1u << pendingBits) - 1;
    }
}

// Eight 2-bit codes per little-endian 16-bit word, the earliest in bits 14-15.
inline void packWords2(const uint8_t* codes, int words, uint8_t* out)
{
    for (int w = 0; w < words; ++w) {
        unsigned value = 0;
        for (int k = 0; k < 8; ++k) {
            value |= static_cast<unsigned>(codes[8 * w + k]) << (14 - 2 * k);
        }
        out[2 * w] = static_cast<uint8_t>(value);
        out[2 * w + 1] = static_cast<uint8_t>(value >> 8);
    }
}

inline void unpackWords2(const uint8_t* in, int words, uint8_t* codes)
{
    for (int w = 0; w < words; ++w) {
        const unsigned value = in[2 * w] | (static_cast<unsigned>(in[2 * w + 1]) << 8);
        for (int k = 0; k < 8; ++k) {
            codes[8 * w + k] = static_cast<uint8_t>((value >> (14 - 2 * k)) & 3);
        }
    }
}

}  // namespace hivoice
