// Feeds one fuzzer input to the voice frame decoder and transcoder. Shared by the libFuzzer
// target and the test that replays the seed corpus.
#pragma once

#include <cstddef>
#include <cstdint>

namespace voicefuzz {

// Byte 0 picks the mode, the rest is the frame (zero-padded to the longest frame a header
// can announce). Aborts when a call reports more samples than it may write.
void decodeVoiceFrame(const uint8_t* data, size_t size);

}  // namespace voicefuzz
