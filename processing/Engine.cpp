#include "processing/Engine.h"

namespace processing {

const char* const kEngineCallerId = "Silvane";
EngineBlock engineStates[kEngineBlocks];

void restartEngine(EngineBlock& b, const EngineSettings& s) {
    Veldra_Destroyed(b.bytes);
    Veldra_Init(b.bytes, s.sampleRate, s.method, s.limitDb, s.noiseRate, s.musicalRate,
                kEngineCallerId);
}

void restartEngines(const EngineSettings& s) {
    for (EngineBlock& b : engineStates)
        restartEngine(b, s);
}

} // namespace processing
