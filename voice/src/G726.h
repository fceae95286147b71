// ITU-T G.726 ADPCM at 16, 24, 32 and 40 kbit/s with 16-bit linear samples on the outside.
// The arithmetic follows the fixed-width blocks of the Recommendation (FMULT, ACCUM, MIX,
// LOG, QUAN, RECONST, ADDA, ANTILOG, ADDB, ADDC, FLOATA, FLOATB, UPA1, UPA2, UPB, LIMC,
// LIMD, FILTA..FILTE, SUBTC, TONE, TRANS, TRIGA, TRIGB), so results are bit-exact.
#pragma once

#include <cstdint>

namespace hivoice {

// The adaptive quantiser and predictor variables, held in ordinary integers while a frame is
// coded. dq and sr hold the 11-bit floating format (sign in bit 10, exponent in bits 6-9,
// mantissa in bits 0-5).
struct G726Channel {
    int32_t yl = 34816;
    int yu = 544;
    int dms = 0;
    int dml = 0;
    int ap = 0;
    int a[2] = {0, 0};
    int b[6] = {0, 0, 0, 0, 0, 0};
    int pk[2] = {0, 0};
    int dq[6] = {32, 32, 32, 32, 32, 32};
    int sr[2] = {32, 32};
    int td = 0;

    // Brings stored values into the ranges the coder itself keeps them in, so a damaged
    // record cannot drive any shift or table index out of range.
    void sanitise();
};

// Encodes count samples into one code per byte (bits = 2..5).
void g726Encode(G726Channel& channel, int bits, const int16_t* pcm, int count, uint8_t* codes);

// Decodes count codes (one per byte, bits = 2..5) into samples.
void g726Decode(G726Channel& channel, int bits, const uint8_t* codes, int count, int16_t* pcm);

}  // namespace hivoice
