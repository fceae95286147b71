/* A plain C program using the installed library: encode, decode and transcode a frame. */
#include <hivoice.h>

#include <stdio.h>

static int fail(const char *what)
{
    printf("hivoice consumer: %s\n", what);
    return 1;
}

int main(void)
{
    HiVoiceState encoder;
    HiVoiceState decoder;
    HiVoiceTranscodeState transcoder;
    int16_t pcm[160];
    unsigned char frame[HI_VOICE_MAX_FRAME_BYTES];
    int16_t out[HI_VOICE_MAX_DECODE_SAMPLES];
    int16_t count = -1;
    int i;

    for (i = 0; i < 160; ++i) {
        pcm[i] = (int16_t)((i % 40) * 800 - 16000);
    }
    if (HI_VOICE_EncReset(&encoder, HI_VOICE_MODE_G711A_SWAP) != HI_VOICE_OK) return fail("EncReset");
    if (HI_VOICE_EncodeFrame(&encoder, pcm, frame, 160) != HI_VOICE_OK) return fail("EncodeFrame");
    if (frame[0] != 0x00 || frame[1] != 0x01 || frame[2] != 80 || frame[3] != 0x00) return fail("header");
    if ((uint32_t)HI_VOICE_EncodeFrame(&encoder, pcm, frame, 0) != 0xA1220002u) return fail("count error code");

    if (HI_VOICE_TransCodeReset(&transcoder, HI_VOICE_TRANSCODE_G711A) != HI_VOICE_OK) return fail("TransCodeReset");
    if (HI_VOICE_TransCodeFrame(&transcoder, frame) != HI_VOICE_OK) return fail("TransCodeFrame");

    if (HI_VOICE_DecReset(&decoder, HI_VOICE_MODE_G711A) != HI_VOICE_OK) return fail("DecReset");
    if (HI_VOICE_DecodeFrame(&decoder, frame, out, &count) != HI_VOICE_OK || count != 160) return fail("DecodeFrame");
    for (i = 0; i < 160; ++i) {
        int error = out[i] - pcm[i];
        if (error < -512 || error > 512) return fail("decoded samples");
    }
    printf("hivoice ok\n");
    return 0;
}
