#pragma once
// Weights of the learned speech estimator, written by train/export.py from the committed
// training checkpoint (matrices transposed: input-major).

#include "engine/NeuralNet.h"

namespace veldra {
namespace neural {

struct GruWeights {
    const float* inputT;         // [kHidden][3 kHidden], gates r, z, n
    const float* inputBias;      // [3 kHidden]
    const float* recurrentT;     // [kHidden][3 kHidden]
    const float* recurrentBias;  // [3 kHidden]
};

extern const float kInputT[kFeatures * kHidden];
extern const float kInputBias[kHidden];
extern const GruWeights kGru1;
extern const GruWeights kGru2;
// The output layer is padded with zero rows to a whole number of the inference's blocks.
constexpr int kOutputsPadded = (kOutputs + 15) / 16 * 16;
extern const float kOutputT[2 * kHidden * kOutputsPadded];
extern const float kOutputBias[kOutputsPadded];

}  // namespace neural
}  // namespace veldra
