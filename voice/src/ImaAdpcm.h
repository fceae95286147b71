// IMA ADPCM: 4-bit codes with the published 89-step table.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

namespace hivoice {

inline constexpr std::array<int16_t, 89> kImaStepSizes = {
    7,     8,     9,     10,    11,    12,    13,    14,    16,    17,    19,    21,    23,
    25,    28,    31,    34,    37,    41,    45,    50,    55,    60,    66,    73,    80,
    88,    97,    107,   118,   130,   143,   157,   173,   190,   209,   230,   253,   279,
    307,   337,   371,   408,   449,   494,   544,   598,   658,   724,   796,   876,   963,
    1060,  1166,  1282,  1411,  1552,  1707,  1878,  2066,  2272,  2499,  2749,  3024,  3327,
    3660,  4026,  4428,  4871,  5358,  5894,  6484,  7132,  7845,  8630,  9493,  10442, 11487,
    12635, 13899, 15289, 16818, 18500, 20350, 22385, 24623, 27086, 29794, 32767};

inline constexpr std::array<int8_t, 16> kImaIndexSteps = {-1, -1, -1, -1, 2, 4, 6, 8,
                                                          -1, -1, -1, -1, 2, 4, 6, 8};

inline constexpr int kImaMaxIndex = 88;

// Predictor and step index carried from sample to sample.
struct ImaChannel {
    int predictor = 0;
    int index = 0;

    int16_t decode(int code)
    {
        const int step = kImaStepSizes[index];
        int delta = step >> 3;
        if (code & 4) delta += step;
        if (code & 2) delta += step >> 1;
        if (code & 1) delta += step >> 2;
        predictor = std::clamp(code & 8 ? predictor - delta : predictor + delta, -32768, 32767);
        index = std::clamp(index + kImaIndexSteps[code], 0, kImaMaxIndex);
        return static_cast<int16_t>(predictor);
    }

    int encode(int16_t sample)
    {
        int step = kImaStepSizes[index];
        int difference = sample - predictor;
        int code = 0;
        if (difference < 0) {
            code = 8;
            difference = -difference;
        }
        int delta = step >> 3;
        if (difference >= step) {
            code |= 4;
            difference -= step;
            delta += step;
        }
        step >>= 1;
        if (difference >= step) {
            code |= 2;
            difference -= step;
            delta += step;
        }
        step >>= 1;
        if (difference >= step) {
            code |= 1;
            delta += step;
        }
        predictor = std::clamp(code & 8 ? predictor - delta : predictor + delta, -32768, 32767);
        index = std::clamp(index + kImaIndexSteps[code], 0, kImaMaxIndex);
        return code;
    }
};

}  // namespace hivoice
