// G.711 A-law and µ-law companding of 16-bit linear samples.
#pragma once

#include <bit>
#include <cstdint>

namespace hivoice {

// A-law works on the 12-bit magnitude of a 13-bit sample; negative samples take the one's
// complement, so -1 and 0 land in the same interval of opposite sign.
constexpr uint8_t alawFromLinear(int16_t sample)
{
    const int sign = sample >= 0 ? 0x80 : 0x00;
    const int magnitude = (sample >= 0 ? sample : ~sample) >> 3;
    int code;
    if (magnitude < 32) {
        code = magnitude >> 1;
    } else {
        const int segment = std::bit_width(static_cast<unsigned>(magnitude)) - 5;
        code = (segment << 4) | ((magnitude >> segment) & 0x0F);
    }
    return static_cast<uint8_t>((code | sign) ^ 0x55);
}

constexpr int16_t linearFromAlaw(uint8_t code)
{
    const int value = code ^ 0x55;
    const int mantissa = (value & 0x0F) << 4;
    const int segment = (value >> 4) & 0x07;
    const int magnitude = segment == 0 ? mantissa + 8 : (mantissa + 0x108) << (segment - 1);
    return static_cast<int16_t>((value & 0x80) ? magnitude : -magnitude);
}

// µ-law works on the magnitude plus a bias of 33 (132 at 16-bit scale); the biased magnitude
// is clipped to the top of the last segment. A magnitude exactly between two output levels
// goes to the larger one for either sign.
constexpr uint8_t ulawFromLinear(int16_t sample)
{
    const bool negative = sample < 0;
    int biased = (negative ? -sample : sample) + 0x84;
    if (biased > 0x7FFF) {
        biased = 0x7FFF;
    }
    const int segment = std::bit_width(static_cast<unsigned>(biased)) - 8;  // 0..7
    const int mantissa = (biased >> (segment + 3)) & 0x0F;
    const int code = (segment << 4) | mantissa;
    return static_cast<uint8_t>(negative ? 0x7F - code : 0xFF - code);
}

constexpr int16_t linearFromUlaw(uint8_t code)
{
    const int value = ~code & 0xFF;
    const int segment = (value >> 4) & 0x07;
    const int magnitude = ((((value & 0x0F) << 3) + 0x84) << segment) - 0x84;
    return static_cast<int16_t>((value & 0x80) ? -magnitude : magnitude);
}

}  // namespace hivoice
