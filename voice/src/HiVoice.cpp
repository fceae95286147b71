// The exported C entry points: pointer checks, then the frame codec.
#include "FrameCodec.h"
#include "StateRecords.h"
#include "hivoice.h"

#include <cstring>

using namespace hivoice;

extern "C" {

int32_t HI_VOICE_EncReset(void* state, int16_t mode)
{
    if (state == nullptr) {
        return HI_VOICE_ERR_NULL_STATE;
    }
    return resetRecord(state, mode) ? HI_VOICE_OK : HI_VOICE_ERR_ENC_MODE;
}

int32_t HI_VOICE_DecReset(void* state, int16_t mode)
{
    if (state == nullptr) {
        return HI_VOICE_ERR_NULL_STATE;
    }
    return resetRecord(state, mode) ? HI_VOICE_OK : HI_VOICE_ERR_DEC_MODE;
}

int32_t HI_VOICE_EncodeFrame(void* state, const int16_t* pcm, void* frame, int16_t sample_count)
{
    if (state == nullptr) {
        return HI_VOICE_ERR_NULL_STATE;
    }
    if (pcm == nullptr) {
        return HI_VOICE_ERR_NULL_INPUT;
    }
    if (frame == nullptr) {
        return HI_VOICE_ERR_NULL_OUTPUT;
    }
    return encodeFrame(state, pcm, static_cast<uint8_t*>(frame), sample_count);
}

int32_t HI_VOICE_DecodeFrame(void* state, const void* frame, int16_t* pcm, int16_t* sample_count)
{
    if (state == nullptr) {
        return HI_VOICE_ERR_NULL_STATE;
    }
    if (frame == nullptr) {
        return HI_VOICE_ERR_NULL_INPUT;
    }
    if (pcm == nullptr || sample_count == nullptr) {
        return HI_VOICE_ERR_NULL_OUTPUT;
    }
    *sample_count = 0;
    int samples = 0;
    const int32_t result = decodeFrame(state, static_cast<const uint8_t*>(frame), pcm, samples);
    if (result == HI_VOICE_OK) {
        *sample_count = static_cast<int16_t>(samples);
    }
    return result;
}

}  // extern "C"
