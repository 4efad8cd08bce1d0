#pragma once
/* veldra: single-channel speech noise-reduction engine.
 *
 * The caller owns one state block of VELDRA_BLOCK_SIZE bytes per channel
 * (zero-filled before first use) and drives it frame by frame:
 *   Veldra_Destroyed + Veldra_Init      start a channel afresh
 *   per frame: Veldra_Reset, Veldra_Frame, [Veldra_Equalizer], Veldra_Restore
 * No call allocates memory; all state lives in the block.
 *
 * Fields of the block that callers may read after Veldra_Init:
 *   offset  8  uint32  frameLength  samples one analysis frame covers
 *   offset 12  uint32  frameStep    new samples consumed/produced per frame (<= 2050)
 *   offset 16  uint8   voiceActive  speech decision for the frame just analysed
 *   offset 20  uint32  delay        samples between an input sample and its cleaned copy
 */

#include <stdint.h>

#ifdef __cplusplus
extern "C" {
#endif

#if defined(_WIN32)
#define VELDRA_API __declspec(dllexport)
#else
#define VELDRA_API __attribute__((visibility("default")))
#endif

enum {
    VELDRA_BLOCK_SIZE = 82056,
    VELDRA_OFFSET_FRAME_LENGTH = 8,
    VELDRA_OFFSET_FRAME_STEP = 12,
    VELDRA_OFFSET_VOICE_ACTIVE = 16,
    VELDRA_OFFSET_DELAY = 20,
    VELDRA_MAX_FRAME_STEP = 2050
};

/* Methods: 0 simple (spectral subtraction with a floor), 1 normal (Wiener gain,
 * decision-directed a-priori SNR), 2 extended (log-spectral amplitude with
 * speech-presence probability). */
VELDRA_API void Veldra_Init(void* block, int32_t sampleRate, uint8_t method, float limitDb,
                            float noiseRate, float musicalRate, const char* callerId);
VELDRA_API void Veldra_Destroyed(void* block);
VELDRA_API void Veldra_Reset(void* block, uint8_t method, float limitDb, float noiseRate,
                             float musicalRate);
VELDRA_API void Veldra_Frame(void* block, uint8_t selectClearSpeech, const int16_t* input);
VELDRA_API void Veldra_Equalizer(void* block, int32_t pointCount, const float* gains);
VELDRA_API void Veldra_Restore(void* block, int16_t* output);

#ifdef __cplusplus
}
#endif
