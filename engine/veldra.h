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
 *   offset 16  uint8   voiceActive  speech decision for the frame the next
 *                                   Veldra_Restore gives
 *   offset 20  uint32  delay        samples between an input sample and its cleaned copy
 *
 * Geometry: frameLength is the power of two nearest to 32 ms at the sample
 * rate (256 at 8 and 11.025 kHz, 512 at 16 and 22.05 kHz, 1024 at 32 and
 * 44.1 kHz, 2048 at 48 kHz), frameStep is half of it and delay is
 * frameLength: half a frame of overlap, and one hop during which each frame
 * waits for the next (method 3 decides a frame's gains with the next frame in
 * view; the other methods wait alike, so a switch keeps the stream continuous).
 * Rates below 8000 or above 48000 Hz get the geometry of the nearest supported
 * rate.
 *
 * Alignment: output sample i of the stream is the cleaned copy of input sample
 * i - delay. An offline caller that wants the result aligned with its input
 * drops the first `delay` output samples and feeds `delay` (rounded up to whole
 * frames) zero samples after the last input frame to flush the tail.
 *
 * The block must be aligned to 16 bytes (any malloc'd or alignas(16) array
 * is). It may be moved or copied between calls; the engine notices and rebuilds
 * its transform tables. Different blocks may be used from different threads at
 * once; the engine has no global mutable state.
 *
 * Parameters are clamped to their ranges: limitDb to [-100, 0] (the lowest
 * gain any bin gets; 0 means no suppression at all), noiseRate to
 * [0.8, 0.999] (smoothing factor of the noise power estimate per 16 ms),
 * musicalRate to [0.9, 0.999] (decision-directed smoothing of the a-priori
 * SNR), a method above 3 to 2; a NaN takes the default (-18, 0.95, 0.98).
 * selectClearSpeech 0 outputs what was removed instead of the speech, so the
 * two outputs add up to the delayed input. Veldra_Equalizer shapes only the
 * frame the next Veldra_Restore gives (the one held back by the Veldra_Frame
 * just before it); a NaN point counts as 1, negative points as 0.
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

/* Defaults of the parameters: what every caller starts from (the
 * configuration window's default buttons, the command line, a fresh settings
 * file) and what a NaN parameter takes. */
#define VELDRA_DEFAULT_METHOD 2          /* extended */
#define VELDRA_DEFAULT_LIMIT_DB (-18)    /* dB: the lowest gain any bin gets */
#define VELDRA_DEFAULT_NOISE_RATE 0.95   /* noise estimate smoothing per 16 ms */
#define VELDRA_DEFAULT_MUSICAL_RATE 0.98 /* a-priori SNR smoothing per frame */

enum {
    VELDRA_BLOCK_SIZE = 82056,
    VELDRA_OFFSET_FRAME_LENGTH = 8,
    VELDRA_OFFSET_FRAME_STEP = 12,
    VELDRA_OFFSET_VOICE_ACTIVE = 16,
    VELDRA_OFFSET_DELAY = 20,
    VELDRA_MAX_FRAME_STEP = 2050,
    VELDRA_MAX_FRAME_LENGTH = 2048
};

/* Methods: 0 simple (spectral subtraction with a floor), 1 normal (Wiener gain,
 * decision-directed a-priori SNR), 2 extended (log-spectral amplitude with
 * speech-presence probability), 3 neural (the same log-spectral amplitude rule
 * over the tracker's noise estimate, driven by a small trained recurrent
 * network's band speech presence, band speech gain and voice decision; weights
 * compiled in, its state in the block). */
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
