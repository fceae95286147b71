/*
 * hivoice: G.711, IMA ADPCM and G.726 voice frames for 8000 Hz, 16-bit mono PCM.
 *
 * Every frame starts with two little-endian 16-bit words:
 *   word 0: 0x0100 (frame kind 1 in bits 8-9; the decoder rejects any other kind)
 *   word 1: payload length in 16-bit words (low byte; the high byte is 0 and ignored)
 * followed by the payload. A frame of L payload words occupies 4 + 2 * L bytes.
 *
 * Modes (HI_VOICE_MODE_*), payload words for n input samples:
 *   G711A, G711U               n / 2          one code byte per sample, sample order
 *   G711A_SWAP, G711U_SWAP     n / 2          as above with the bytes of each word swapped
 *   ADPCM_DVI4                 n / 4 + 2      header (predictor, step index, 0), high nibble first
 *   ADPCM_IMA4                 (n - 1) / 4 + 2 header (first sample, step index, 0), low nibble first
 *   ADPCM_RAW                  n / 4          codes only, high nibble first, state runs on
 *   G726_16 .. G726_40         n * bits / 16  codes packed least significant bit first
 *   G726_16_MSB .. G726_40_MSB n * bits / 16  codes packed most significant bit first
 *   G726_16_WORD               n / 8          eight 2-bit codes per word, earliest in bits 14-15
 * Samples that do not fill a whole payload word are not encoded (for example the odd last
 * sample in G.711). The ADPCM block headers hold the predictor as a little-endian word.
 *
 * The decoder takes: G.711 and G.726 frames of 80 to 480 samples in steps of 80; DVI4 and
 * IMA4 blocks of 2 to 122 words (4 * (L - 2) and 4 * (L - 2) + 1 samples); headerless ADPCM
 * of 1 to 120 words (4 * L samples). No frame decodes to more than 481 samples.
 *
 * A state record is supplied by the caller, reset once for a mode and then carries the codec
 * memory from frame to frame. It needs HI_VOICE_STATE_SIZE_FOR_* bytes for its mode (any
 * alignment); HiVoiceState fits every mode. No function allocates or keeps global state; a
 * record must not be used by two threads at once.
 *
 * Every function returns HI_VOICE_OK (0) or one of the HI_VOICE_ERR_* codes and writes no
 * output on error, except that HI_VOICE_DecodeFrame sets *sample_count to 0 first.
 */
#ifndef HIVOICE_H
#define HIVOICE_H

#include <stdint.h>

#if defined(HIVOICE_BUILD)
#define HI_VOICE_API __attribute__((visibility("default")))
#else
#define HI_VOICE_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

#define HI_VOICE_MODE_G711A 1
#define HI_VOICE_MODE_G711U 2
#define HI_VOICE_MODE_ADPCM_DVI4 3
#define HI_VOICE_MODE_G726_16 4
#define HI_VOICE_MODE_G726_24 5
#define HI_VOICE_MODE_G726_32 6
#define HI_VOICE_MODE_G726_40 7
#define HI_VOICE_MODE_ADPCM_IMA4 0x23
#define HI_VOICE_MODE_G726_16_MSB 0x24
#define HI_VOICE_MODE_G726_24_MSB 0x25
#define HI_VOICE_MODE_G726_32_MSB 0x26
#define HI_VOICE_MODE_G726_40_MSB 0x27
#define HI_VOICE_MODE_G711A_SWAP 0x41
#define HI_VOICE_MODE_G711U_SWAP 0x42
#define HI_VOICE_MODE_ADPCM_RAW 0x43
#define HI_VOICE_MODE_G726_16_WORD 0x44

/* Transcoding modes: frames of mode 0x41 + k - 1 become frames of mode k (k = 1 to 4). */
#define HI_VOICE_TRANSCODE_G711A 97
#define HI_VOICE_TRANSCODE_G711U 98
#define HI_VOICE_TRANSCODE_ADPCM 99
#define HI_VOICE_TRANSCODE_G726_16 100

#define HI_VOICE_MAX_ENCODE_SAMPLES 481
#define HI_VOICE_MAX_DECODE_SAMPLES 481
/* Largest frame the encoder writes (G.711 with 480 or 481 samples). */
#define HI_VOICE_MAX_FRAME_BYTES 484

#define HI_VOICE_STATE_SIZE_FOR_G711 2
#define HI_VOICE_STATE_SIZE_FOR_ADPCM 6
#define HI_VOICE_STATE_SIZE_FOR_G726 108
#define HI_VOICE_STATE_SIZE_FOR_G726_WORD 48
#define HI_VOICE_STATE_SIZE 108

/* A transcoder record holds an encoder state at offset 0 and a decoder state at offset 2048. */
#define HI_VOICE_TRANSCODE_DECODER_OFFSET 2048
#define HI_VOICE_TRANSCODE_STATE_SIZE (HI_VOICE_TRANSCODE_DECODER_OFFSET + HI_VOICE_STATE_SIZE_FOR_G726_WORD)

#define HI_VOICE_OK 0
#define HI_VOICE_ERR_ENC_MODE ((int32_t)0xA1220001)
#define HI_VOICE_ERR_ENC_COUNT ((int32_t)0xA1220002)
#define HI_VOICE_ERR_DEC_MODE ((int32_t)0xA1220011)
#define HI_VOICE_ERR_DEC_LENGTH ((int32_t)0xA1220012)
#define HI_VOICE_ERR_DEC_KIND ((int32_t)0xA1220013)
#define HI_VOICE_ERR_NULL_STATE ((int32_t)0xA1220101)
#define HI_VOICE_ERR_NULL_INPUT ((int32_t)0xA1220102)
#define HI_VOICE_ERR_NULL_OUTPUT ((int32_t)0xA1220103)
#define HI_VOICE_ERR_TRANSCODE_NULL_STATE ((int32_t)0xA1221001)
#define HI_VOICE_ERR_TRANSCODE_MODE ((int32_t)0xA1221002)

/* Storage for one encoder or decoder state of any mode. */
typedef union HiVoiceState {
    int16_t mode;
    int32_t align;
    unsigned char bytes[HI_VOICE_STATE_SIZE];
} HiVoiceState;

/* Storage for one transcoder state. */
typedef union HiVoiceTranscodeState {
    int16_t mode;
    int32_t align;
    unsigned char bytes[HI_VOICE_TRANSCODE_STATE_SIZE];
} HiVoiceTranscodeState;

/* Starts a new encoder stream for mode. The mode is stored even when it is not supported. */
HI_VOICE_API int32_t HI_VOICE_EncReset(void *state, int16_t mode);

/* Encodes sample_count (1 to 481) samples from pcm into one frame at frame
 * (at most HI_VOICE_MAX_FRAME_BYTES bytes are written). */
HI_VOICE_API int32_t HI_VOICE_EncodeFrame(void *state, const int16_t *pcm, void *frame, int16_t sample_count);

/* Starts a new decoder stream for mode. The mode is stored even when it is not supported. */
HI_VOICE_API int32_t HI_VOICE_DecReset(void *state, int16_t mode);

/* Decodes one frame into pcm (room for HI_VOICE_MAX_DECODE_SAMPLES samples) and stores the
 * number of samples in *sample_count. The frame is not modified. */
HI_VOICE_API int32_t HI_VOICE_DecodeFrame(void *state, const void *frame, int16_t *pcm, int16_t *sample_count);

/* Prepares a transcoder for one of the HI_VOICE_TRANSCODE_* modes. */
HI_VOICE_API int32_t HI_VOICE_TransCodeReset(void *state, int16_t mode);

/* Converts one frame in place. For HI_VOICE_TRANSCODE_ADPCM the result is 4 bytes longer than
 * the input, so the buffer must hold 4 + 2 * (L + 2) bytes for an input of L payload words. */
HI_VOICE_API int32_t HI_VOICE_TransCodeFrame(void *state, void *frame);

#ifdef __cplusplus
}
#endif

#endif
