#include "processing/Engine.h"

namespace engine {

const char* const kCallerId = "Silvane";
Block engineStates[kBlocks];

void restart(Block& b, const Settings& s) {
    Veldra_Destroyed(b.bytes);
    Veldra_Init(b.bytes, s.sampleRate, s.method, s.limitDb, s.noiseRate, s.musicalRate, kCallerId);
}

void restartAll(const Settings& s) {
    for (Block& b : engineStates) restart(b, s);
}

}  // namespace engine
