// Frame encoding and decoding on state records whose pointers have already been checked.
#pragma once

#include <cstdint>

namespace hivoice {

inline constexpr int kHeaderBytes = 4;

// Encodes count samples (1 to 481) with the mode stored in record.
int32_t encodeFrame(void* record, const int16_t* pcm, uint8_t* frame, int count);

// Checks the frame header and the payload length for the mode stored in record; on success
// returns 0 and the number of samples the frame holds.
int32_t checkFrame(const void* record, const uint8_t* frame, int& sampleCount);

// Decodes one frame with the mode stored in record into pcm; sampleCount is set on success.
int32_t decodeFrame(void* record, const uint8_t* frame, int16_t* pcm, int& sampleCount);

}  // namespace hivoice
