#pragma once
// The processing run: the loaded original signal is cleaned frame by frame
// through the engine into the changed signal. UI-free; the window's START
// button and the command line both drive it, the window through the hooks
// (it processes its pending messages after every frame and may ask to stop).

#include "processing/Engine.h"

#include <cstdint>
#include <functional>
#include <string>

namespace processing {

// Size of the frame buffers shared with the live duplex step.
constexpr int kFrameBufferSamples = 2050;

// Taken once when a run starts: the engine's parameters (the method is the
// one the blocks are created with), the rate and the channels.
struct RunParameters : processing::EngineParameters {
    int32_t sampleRate = 16000;
    int channels = 1;              // engine blocks used, 1 or 2
    uint8_t selectClearSpeech = 1; // 1: the speech, 0: what was removed
};

// Read again before every frame.
struct FrameControls {
    uint8_t method = VELDRA_DEFAULT_METHOD;
    bool autoMix = false;  // stereo: clean the channel difference instead of each channel
    bool methodMix = true; // the difference is L - R when set, R - L otherwise
    bool useEqualizer = false;
    bool processEnabled = true; // off: the changed signal is the input (or the mix) unchanged
    const float* eqGains = nullptr;
    int32_t eqPointCount = 0;
};

// The signal arrays a run reads and writes, and the two counters it keeps
// current while it runs (the window paints them between frames).
struct RunSignal {
    const int16_t* orig[2] = {nullptr, nullptr};
    int32_t origLength = 0;
    int16_t* changed[2] = {nullptr, nullptr};
    int32_t changedCapacity = 0;
    uint8_t* vad[2] = {nullptr, nullptr};
    int32_t vadCapacity = 0;
    int32_t* changedLength = nullptr;
    int32_t* vadCount = nullptr;
};

struct RunHooks {
    std::function<FrameControls()> controls; // required
    std::function<bool()> afterFrame;        // optional; true asks to stop
};

struct RunResult {
    int32_t frameCount = 0;      // frames of the original signal
    int32_t framesProcessed = 0; // frames that went through the engine or were copied
    bool stopped = false;
    int64_t elapsedMs = 0;
};

// mix = sign x (l - r), saturated to 16 bits.
int16_t mixChannels(int16_t l, int16_t r, int sign);

// Frames a signal of `length` samples holds: (length - frameLength) / frameStep,
// and 0 for a signal shorter than one frame.
int32_t frameCount(int32_t length, uint32_t frameLength, uint32_t frameStep);

// Samples a run over `frames` frames yields: frames x frameStep + frameLength
// (0 when there is no frame).
int32_t runLength(int32_t frames, uint32_t frameLength, uint32_t frameStep);

// One engine frame on one block: Reset with the frame's method, Frame,
// Equalizer when it is on, Restore. Returns the voice decision.
uint8_t engineFrame(processing::EngineBlock& block, const RunParameters& p, const FrameControls& c,
                    const int16_t* input, int16_t* output);

// The per-frame rule on one block of live input (no delay compensation):
// in[c] and out[c] hold frameStep samples of channel c. Stereo with autoMix
// cleans the mix through block 0 and gives it to both outputs. With
// processing off the input (or the mix) is copied. vad[c] gets the decisions.
void frameStepRule(const RunParameters& p, const FrameControls& c, const int16_t* const in[2],
                   int16_t* const out[2], uint8_t vad[2],
                   processing::EngineBlock* blocks = processing::engineStates);

// Whether the framing of a created block fits the frame buffers: a step above
// 0 and at most kFrameBufferSamples, and no longer than the frame. Nothing can
// be cleaned with a block whose framing does not.
bool framingFits(const processing::EngineBlock& block);

// Re-creates the blocks of the channels p uses (1 or 2) with p's settings.
// False when the framing of block 0 does not fit (see framingFits).
bool restartBlocks(const RunParameters& p, processing::EngineBlock* blocks);

// Re-creates the blocks of the run's channels and cleans the whole original
// signal. The changed signal is aligned sample for sample with the original:
// the engine's delay is taken out and its tail flushed with silence, so every
// sample below the final changedLength is output of this run. A stop request
// ends the engine work after the current frame and silences the rest (voice
// 0); the length is then the same as for a complete run.
RunResult runProcessing(const RunParameters& p, RunSignal& s, const RunHooks& hooks,
                        processing::EngineBlock* blocks = processing::engineStates);

// Seconds with thousands separators and three decimals: 1234567 -> "1,234.567".
std::string formatElapsedSeconds(int64_t milliseconds);

} // namespace processing
