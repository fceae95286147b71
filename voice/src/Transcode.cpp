// Frames of modes 0x41-0x44 turned into frames of modes 1-4 in place.
#include "FrameCodec.h"
#include "StateRecords.h"
#include "hivoice.h"

#include <utility>

using namespace hivoice;

namespace {

void* decoderRecord(void* state)
{
    return static_cast<unsigned char*>(state) + HI_VOICE_TRANSCODE_DECODER_OFFSET;
}

// The source mode of the frames a transcoder takes, for the target mode in its encoder.
constexpr int kSourceModeOffset = 0x40;

}  // namespace

extern "C" {

int32_t HI_VOICE_TransCodeReset(void* state, int16_t mode)
{
    if (state == nullptr) {
        return HI_VOICE_ERR_TRANSCODE_NULL_STATE;
    }
    if (mode < HI_VOICE_TRANSCODE_G711A || mode > HI_VOICE_TRANSCODE_G726_16) {
        // A failed reset must not leave an earlier stream usable.
        storeMode(state, 0);
        return HI_VOICE_ERR_TRANSCODE_MODE;
    }
    const auto target = static_cast<int16_t>(mode - HI_VOICE_TRANSCODE_G711A + 1);
    resetRecord(state, target);
    resetRecord(decoderRecord(state), static_cast<int16_t>(kSourceModeOffset + target));
    return HI_VOICE_OK;
}

int32_t HI_VOICE_TransCodeFrame(void* state, void* frame)
{
    if (state == nullptr) {
        return HI_VOICE_ERR_TRANSCODE_NULL_STATE;
    }
    if (frame == nullptr) {
        return HI_VOICE_ERR_NULL_INPUT;
    }
    const int16_t target = loadMode(state);
    if (target < HI_VOICE_MODE_G711A || target > HI_VOICE_MODE_G726_16 ||
        loadMode(decoderRecord(state)) != kSourceModeOffset + target) {
        return HI_VOICE_ERR_TRANSCODE_MODE;
    }
    auto* bytes = static_cast<uint8_t*>(frame);
    if (target == HI_VOICE_MODE_G711A || target == HI_VOICE_MODE_G711U) {
        int samples = 0;
        if (const int32_t result = checkFrame(decoderRecord(state), bytes, samples);
            result != HI_VOICE_OK) {
            return result;
        }
        uint8_t* payload = bytes + kHeaderBytes;
        for (int i = 0; i < samples; i += 2) {
            std::swap(payload[i], payload[i + 1]);
        }
        return HI_VOICE_OK;
    }
    int16_t pcm[HI_VOICE_MAX_DECODE_SAMPLES];
    int samples = 0;
    if (const int32_t result = decodeFrame(decoderRecord(state), bytes, pcm, samples);
        result != HI_VOICE_OK) {
        return result;
    }
    // Every frame the source decoder accepts holds 4 to 480 samples, which the encoder takes.
    return encodeFrame(state, pcm, bytes, samples);
}

}  // extern "C"
