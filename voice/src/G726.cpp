#include "G726.h"

#include <algorithm>
#include <array>
#include <bit>

namespace hivoice {
namespace {

// Per-rate tables, indexed by the full code I (sign included):
//   decision levels of the normalised log quantiser (QUAN),
//   normalised log output levels (RECONST), -2048 standing for "no output",
//   scale factor multipliers W(I) times 32 (FILTD), speed control values F(I) times 512 (FILTA).
template <int Bits>
struct RateTables;

template <>
struct RateTables<2> {
    static constexpr std::array<int, 1> decision = {261};
    static constexpr std::array<int, 4> output = {116, 365, 365, 116};
    static constexpr std::array<int, 4> scaleMultiplier = {-704, 14048, 14048, -704};
    static constexpr std::array<int, 4> speedControl = {0, 0xE00, 0xE00, 0};
};

template <>
struct RateTables<3> {
    static constexpr std::array<int, 3> decision = {8, 218, 331};
    static constexpr std::array<int, 8> output = {-2048, 135, 273, 373, 373, 273, 135, -2048};
    static constexpr std::array<int, 8> scaleMultiplier = {-128, 960, 4384, 18624,
                                                           18624, 4384, 960, -128};
    static constexpr std::array<int, 8> speedControl = {0, 0x200, 0x400, 0xE00,
                                                        0xE00, 0x400, 0x200, 0};
};

template <>
struct RateTables<4> {
    static constexpr std::array<int, 7> decision = {-124, 80, 178, 246, 300, 349, 400};
    static constexpr std::array<int, 16> output = {-2048, 4,   135, 213, 273, 323, 373, 425,
                                                   425,   373, 323, 273, 213, 135, 4,   -2048};
    static constexpr std::array<int, 16> scaleMultiplier = {
        -384, 576, 1312, 2048, 3584, 6336, 11360, 35904,
        35904, 11360, 6336, 3584, 2048, 1312, 576, -384};
    static constexpr std::array<int, 16> speedControl = {
        0, 0, 0, 0x200, 0x200, 0x200, 0x600, 0xE00, 0xE00, 0x600, 0x200, 0x200, 0x200, 0, 0, 0};
};

template <>
struct RateTables<5> {
    static constexpr std::array<int, 15> decision = {-122, -16, 68,  139, 198, 250, 298, 339,
                                                     378,  413, 445, 475, 502, 528, 553};
    static constexpr std::array<int, 32> output = {
        -2048, -66, 28,  104, 169, 224, 274, 318, 358, 395, 429, 459, 488, 514, 539, 566,
        566,   539, 514, 488, 459, 429, 395, 358, 318, 274, 224, 169, 104, 28,  -66, -2048};
    static constexpr std::array<int, 32> scaleMultiplier = {
        448,   448,   768,   1248,  1280,  1312,  1856,  3200, 4512, 5728, 7008,
        8960,  11456, 14080, 16928, 22272, 22272, 16928, 14080, 11456, 8960, 7008,
        5728,  4512,  3200,  1856,  1312,  1280,  1248,  768,   448,   448};
    static constexpr std::array<int, 32> speedControl = {
        0,     0,     0,     0,     0,     0x200, 0x200, 0x200, 0x200, 0x200, 0x400,
        0x600, 0x800, 0xA00, 0xC00, 0xC00, 0xC00, 0xC00, 0xA00, 0x800, 0x600, 0x400,
        0x200, 0x200, 0x200, 0x200, 0x200, 0,     0,     0,     0,     0};
};

inline int wrap16(int value)
{
    return static_cast<int16_t>(static_cast<uint16_t>(value));
}

inline int bitLength(int magnitude)
{
    return std::bit_width(static_cast<unsigned>(magnitude));
}

// FLOATA / FLOATB: sign and 15-bit magnitude to the 11-bit floating format.
inline int toFloat(int sign, int magnitude)
{
    const int exponent = bitLength(magnitude);
    const int mantissa = magnitude == 0 ? 32 : (magnitude << 6) >> exponent;
    return (sign << 10) | (exponent << 6) | mantissa;
}

// FMULT: a predictor coefficient (16-bit two's complement) times a value in floating format,
// returned as a 16-bit two's complement partial product.
inline int floatMultiply(int coefficient, int value)
{
    const int coefficientSign = coefficient < 0;
    const int magnitude = coefficientSign ? (-(coefficient >> 2)) & 8191 : coefficient >> 2;
    const int exponent = bitLength(magnitude);
    const int mantissa = magnitude == 0 ? 32 : (magnitude << 6) >> exponent;
    const int productExponent = ((value >> 6) & 15) + exponent;
    const int productMantissa = ((value & 63) * mantissa + 48) >> 4;
    const int productMagnitude = productExponent <= 26
                                     ? (productMantissa << 7) >> (26 - productExponent)
                                     : ((productMantissa << 7) << (productExponent - 26)) & 32767;
    return (((value >> 10) & 1) ^ coefficientSign) ? -productMagnitude : productMagnitude;
}

struct Estimate {
    int sez;  // zero section, 15-bit
    int se;   // full signal estimate, 15-bit
};

inline Estimate estimate(const G726Channel& c)
{
    int zero = 0;
    for (int i = 0; i < 6; ++i) {
        zero += floatMultiply(c.b[i], c.dq[i]);
    }
    zero = wrap16(zero);
    const int full = wrap16(zero + floatMultiply(c.a[0], c.sr[0]) + floatMultiply(c.a[1], c.sr[1]));
    return {zero >> 1, full >> 1};
}

// MIX: the quantiser scale factor from the fast and slow factors.
inline int scaleFactor(const G726Channel& c)
{
    const int slow = c.yl >> 6;
    const int difference = c.yu - slow;
    const int weight = c.ap >= 256 ? 64 : c.ap >> 2;
    const int product = difference >= 0 ? (difference * weight) >> 6 : -((-difference * weight) >> 6);
    return slow + product;
}

// LOG, SUBTB, QUAN. With an odd number of levels the lowest positive interval is sent as the
// all-ones code, so an all-zero code word never occurs.
template <int Bits>
inline int quantize(int difference, int y)
{
    using T = RateTables<Bits>;
    const int negative = difference < 0;
    const int magnitude = negative ? (-difference) & 32767 : difference;
    const int exponent = magnitude == 0 ? 0 : bitLength(magnitude) - 1;
    const int mantissa = ((magnitude << 7) >> exponent) & 127;
    const int normalised = (exponent << 7) + mantissa - (y >> 2);
    int level = 0;
    while (level < static_cast<int>(T::decision.size()) && normalised >= T::decision[level]) {
        ++level;
    }
    constexpr int allOnes = (1 << Bits) - 1;
    if (negative) {
        return allOnes - level;
    }
    if (level == 0 && Bits > 2) {
        return allOnes;
    }
    return level;
}

// RECONST, ADDA, ANTILOG: the quantised difference as sign (bit 15) and 15-bit magnitude.
template <int Bits>
inline int inverseQuantize(int code, int y)
{
    const int logValue = (RateTables<Bits>::output[code] + (y >> 2)) & 4095;
    const int sign = code >> (Bits - 1);
    int magnitude = 0;
    if ((logValue & 2048) == 0) {
        const int exponent = (logValue >> 7) & 15;
        const int mantissa = 128 + (logValue & 127);
        magnitude = (mantissa << 7) >> (14 - exponent);
    }
    return (sign << 15) | magnitude;
}

// Everything after the quantiser: reconstruction, adaptation and the delay lines.
// Returns the reconstructed signal SR (16-bit two's complement).
template <int Bits>
inline int adapt(G726Channel& c, int code, int y, int dq, const Estimate& est)
{
    const int dqSign = dq >> 15;
    const int dqMagnitude = dq & 32767;
    const int dqValue = dqSign ? -dqMagnitude : dqMagnitude;
    const int sr = wrap16(est.se + dqValue);                     // ADDB
    const int dqsez = wrap16(dqValue + est.sez);                  // ADDC
    const int pk0 = dqsez < 0;
    const int noSign = dqsez == 0;

    // TRANS: uses the slow scale factor and the tone flag of the previous sample.
    const int ylInt = c.yl >> 15;
    const int ylFrac = (c.yl >> 10) & 31;
    const int threshold1 = (32 + ylFrac) << ylInt;
    const int threshold2 = ylInt > 9 ? 31 << 10 : threshold1;
    const int dqThreshold = (threshold2 + (threshold2 >> 1)) >> 1;
    const int transition = c.td != 0 && dqMagnitude > dqThreshold;

    // FILTD, LIMB, FILTE.
    const int yut = y + ((RateTables<Bits>::scaleMultiplier[code] - y) >> 5);
    const int yup = std::clamp(yut, 544, 5120);
    const int32_t ylp = c.yl + yup + ((-c.yl) >> 6);

    // UPA2, LIMC, UPA1, LIMD, UPB, TONE, TRIGB.
    int a1p = 0;
    int a2p = 0;
    int bp[6] = {0, 0, 0, 0, 0, 0};
    int tdp = 0;
    if (!transition) {
        const int pks1 = pk0 ^ c.pk[0];
        const int pks2 = pk0 ^ c.pk[1];
        const int fa1 = std::clamp(c.a[0], -8191, 8191) * 4;
        const int fa = pks1 ? fa1 : -fa1;
        const int uga2 = noSign ? 0 : ((pks2 ? -16384 : 16384) + fa) >> 7;
        a2p = std::clamp(wrap16(c.a[1] - (c.a[1] >> 7) + uga2), -12288, 12288);

        const int uga1 = noSign ? 0 : (pks1 ? -192 : 192);
        const int a1t = wrap16(c.a[0] - (c.a[0] >> 8) + uga1);
        const int a1Limit = 15360 - a2p;
        a1p = std::clamp(a1t, -a1Limit, a1Limit);

        constexpr int leak = Bits == 5 ? 9 : 8;
        for (int i = 0; i < 6; ++i) {
            int gain = 0;
            if (dqMagnitude != 0) {
                gain = (dqSign ^ ((c.dq[i] >> 10) & 1)) ? -128 : 128;
            }
            bp[i] = wrap16(c.b[i] - (c.b[i] >> leak) + gain);
        }
        tdp = a2p < -11776;
    }

    // FILTA, FILTB, SUBTC, FILTC, TRIGA.
    const int fi = RateTables<Bits>::speedControl[code];
    const int dmsp = c.dms + ((fi - c.dms) >> 5);
    const int dmlp = c.dml + (((fi << 2) - c.dml) >> 7);
    int difference = (dmsp << 2) - dmlp;
    if (difference < 0) {
        difference = -difference;
    }
    const int ax = (y >= 1536 && difference < (dmlp >> 3) && tdp == 0) ? 0 : 1;
    const int app = c.ap + (((ax << 9) - c.ap) >> 4);

    c.yu = yup;
    c.yl = ylp;
    c.a[0] = a1p;
    c.a[1] = a2p;
    for (int i = 5; i > 0; --i) {
        c.dq[i] = c.dq[i - 1];
    }
    for (int i = 0; i < 6; ++i) {
        c.b[i] = bp[i];
    }
    c.dq[0] = toFloat(dqSign, dqMagnitude);
    c.sr[1] = c.sr[0];
    c.sr[0] = toFloat(sr < 0, sr < 0 ? (-sr) & 32767 : sr);
    c.pk[1] = c.pk[0];
    c.pk[0] = pk0;
    c.td = tdp;
    c.dms = dmsp;
    c.dml = dmlp;
    c.ap = transition ? 256 : app;
    return sr;
}

template <int Bits>
void encodeAtRate(G726Channel& c, const int16_t* pcm, int count, uint8_t* codes)
{
    for (int n = 0; n < count; ++n) {
        const Estimate est = estimate(c);
        const int y = scaleFactor(c);
        const int code = quantize<Bits>((pcm[n] >> 2) - est.se, y);
        adapt<Bits>(c, code, y, inverseQuantize<Bits>(code, y), est);
        codes[n] = static_cast<uint8_t>(code);
    }
}

template <int Bits>
void decodeAtRate(G726Channel& c, const uint8_t* codes, int count, int16_t* pcm)
{
    constexpr int mask = (1 << Bits) - 1;
    for (int n = 0; n < count; ++n) {
        const Estimate est = estimate(c);
        const int y = scaleFactor(c);
        const int code = codes[n] & mask;
        const int sr = adapt<Bits>(c, code, y, inverseQuantize<Bits>(code, y), est);
        // SR is a 16-bit register but the 14-bit sample range ends at +-8191: an overshoot
        // on loud input is clipped instead of wrapping round to the opposite sign.
        pcm[n] = static_cast<int16_t>(std::clamp(sr * 4, -32768, 32767));
    }
}

}  // namespace

void G726Channel::sanitise()
{
    yl = std::clamp<int32_t>(yl, 34816, 327680);
    yu = std::clamp(yu, 544, 5120);
    dms &= 4095;
    dml &= 16383;
    ap &= 1023;
    for (int& v : a) v = wrap16(v);
    for (int& v : b) v = wrap16(v);
    for (int& v : pk) v &= 1;
    for (int& v : dq) v &= 2047;
    for (int& v : sr) v &= 2047;
    td &= 1;
}

void g726Encode(G726Channel& channel, int bits, const int16_t* pcm, int count, uint8_t* codes)
{
    switch (bits) {
    case 2: encodeAtRate<2>(channel, pcm, count, codes); break;
    case 3: encodeAtRate<3>(channel, pcm, count, codes); break;
    case 4: encodeAtRate<4>(channel, pcm, count, codes); break;
    case 5: encodeAtRate<5>(channel, pcm, count, codes); break;
    default: break;
    }
}

void g726Decode(G726Channel& channel, int bits, const uint8_t* codes, int count, int16_t* pcm)
{
    switch (bits) {
    case 2: decodeAtRate<2>(channel, codes, count, pcm); break;
    case 3: decodeAtRate<3>(channel, codes, count, pcm); break;
    case 4: decodeAtRate<4>(channel, codes, count, pcm); break;
    case 5: decodeAtRate<5>(channel, codes, count, pcm); break;
    default: break;
    }
}

}  // namespace hivoice
