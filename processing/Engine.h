#pragma once
// The two process-wide engine blocks (Left and Right) and typed access to the
// fields of a block that callers read.

#include "engine/veldra.h"

#include <cstdint>
#include <cstring>

namespace processing {

constexpr int kEngineBlocks = 2;
// Text the engine receives as the caller's identification.
extern const char* const kEngineCallerId;

struct alignas(16) EngineBlock {
    unsigned char bytes[VELDRA_BLOCK_SIZE];
};

// engineStates[c] belongs to channel c; zero-filled at start.
extern EngineBlock engineStates[kEngineBlocks];

inline uint32_t readBlockU32(const EngineBlock& b, int offset) {
    uint32_t v;
    std::memcpy(&v, b.bytes + offset, 4);
    return v;
}
inline uint32_t engineFrameLength(const EngineBlock& b) {
    return readBlockU32(b, VELDRA_OFFSET_FRAME_LENGTH);
}
inline uint32_t engineFrameStep(const EngineBlock& b) {
    return readBlockU32(b, VELDRA_OFFSET_FRAME_STEP);
}
inline uint32_t engineDelay(const EngineBlock& b) {
    return readBlockU32(b, VELDRA_OFFSET_DELAY);
}
inline uint8_t engineVoiceActive(const EngineBlock& b) {
    return b.bytes[VELDRA_OFFSET_VOICE_ACTIVE];
}

// The engine's four parameters. The processing run, the live duplex step,
// the batch and the command line all carry them in this one record, with
// the engine's own defaults.
struct EngineParameters {
    uint8_t method = VELDRA_DEFAULT_METHOD;             // 0 simple, 1 normal, 2 extended, 3 neural
    float limitDb = float(VELDRA_DEFAULT_LIMIT_DB);     // dB, -100 ... 0
    float noiseRate = float(VELDRA_DEFAULT_NOISE_RATE); // 0.8 ... 0.999
    float musicalRate = float(VELDRA_DEFAULT_MUSICAL_RATE); // 0.9 ... 0.999
};

// What a block is created with: a sample rate (Hz) and the parameters.
struct EngineSettings : EngineParameters {
    int32_t sampleRate = 8000;
};
inline EngineSettings engineSettingsAt(int32_t sampleRate, const EngineParameters& p) {
    EngineSettings s;
    static_cast<EngineParameters&>(s) = p;
    s.sampleRate = sampleRate;
    return s;
}

// Veldra_Destroyed followed by Veldra_Init on one block.
void restartEngine(EngineBlock& b, const EngineSettings& s);
// Both blocks, as at window creation and on re-initialisation.
void restartEngines(const EngineSettings& s);

} // namespace processing
