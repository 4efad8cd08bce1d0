#pragma once
// Weights of the learned speech estimator, written by train/export.py from the committed
// training checkpoint (matrices transposed: input-major).

#include "engine/NeuralNet.h"

namespace veldra {
namespace neural {

struct GruWeights {
    const float* inputT;        // [kHidden][3 kHidden], gates r, z, n
    const float* inputBias;     // [3 kHidden]
    const float* recurrentT;    // [kHidden][3 kHidden]
    const float* recurrentBias; // [3 kHidden]
};

// The views below are into the weights file engine/NeuralWeights.bin, compiled in.
extern const float* const kInputT;    // [kFeatures][kHidden]
extern const float* const kInputBias; // [kHidden]
extern const GruWeights kGru1;
extern const GruWeights kGru2;
// The output layer is padded with zero rows to a whole number of the inference's blocks.
constexpr int kOutputsPadded = (kOutputs + 15) / 16 * 16;
extern const float* const kOutputT;    // [2 kHidden][kOutputsPadded]
extern const float* const kOutputBias; // [kOutputsPadded]
// How many floats the views take, and how many the compiled-in file holds (equal unless the
// file and the views were written from different checkpoints).
extern const int kWeightCount;
int embeddedWeightCount();

} // namespace neural
} // namespace veldra
