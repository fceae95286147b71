#include "fuzz/voice/VoiceFrameInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    voicefuzz::decodeVoiceFrame(data, size);
    return 0;
}
