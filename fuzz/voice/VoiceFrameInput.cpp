#include "fuzz/voice/VoiceFrameInput.h"

#include "hivoice.h"

#include <algorithm>
#include <iterator>
#include <cstdlib>
#include <cstring>

namespace voicefuzz {
namespace {

constexpr int16_t kModes[] = {1, 2, 3, 4, 5, 6, 7, 0x23, 0x24, 0x25, 0x26, 0x27, 0x41, 0x42, 0x43, 0x44, 0};
constexpr size_t kLongestFrame = 4 + 2 * 255;

}  // namespace

void decodeVoiceFrame(const uint8_t* data, size_t size)
{
    if (size == 0) {
        return;
    }
    const int16_t mode = kModes[data[0] % std::size(kModes)];
    uint8_t frame[kLongestFrame + 4] = {};
    std::memcpy(frame, data + 1, std::min(size - 1, kLongestFrame));

    HiVoiceState state;
    HI_VOICE_DecReset(&state, mode);
    int16_t pcm[HI_VOICE_MAX_DECODE_SAMPLES];
    int16_t count = -1;
    const int32_t result = HI_VOICE_DecodeFrame(&state, frame, pcm, &count);
    if ((result == HI_VOICE_OK && (count < 0 || count > HI_VOICE_MAX_DECODE_SAMPLES)) ||
        (result != HI_VOICE_OK && count != 0)) {
        std::abort();
    }

    // The buffer has room for the 4 bytes an ADPCM block header adds.
    HiVoiceTranscodeState transcoder;
    const auto transcodeMode = static_cast<int16_t>(HI_VOICE_TRANSCODE_G711A + data[0] % 4);
    HI_VOICE_TransCodeReset(&transcoder, transcodeMode);
    if (HI_VOICE_TransCodeFrame(&transcoder, frame) == HI_VOICE_OK &&
        transcodeMode == HI_VOICE_TRANSCODE_ADPCM && frame[2] > 122) {
        std::abort();  // an ADPCM block never exceeds 122 words
    }
}

}  // namespace voicefuzz
