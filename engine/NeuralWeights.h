#pragma once
// Weights of the learned speech estimator, written by train/export.py from the committed
// training checkpoint (matrices transposed: input-major).

#include <cstdint>

#include "engine/NeuralNet.h"

namespace veldra {
namespace neural {

// The weights are stored in half precision (the bits of an IEEE 754 binary16 number), which halves
// the memory every frame streams through; export.py writes no subnormal halves.
using Half = std::uint16_t;

struct GruWeights {
    const Half* inputT;        // [kHidden][3 kHidden], gates r, z, n
    const Half* inputBias;     // [3 kHidden]
    const Half* recurrentT;    // [kHidden][3 kHidden]
    const Half* recurrentBias; // [3 kHidden]
};

// The views below are into the weights file engine/NeuralWeights.bin, compiled in.
extern const Half* const kInputT;    // [kInputs][kHidden]
extern const Half* const kInputBias; // [kHidden]
extern const GruWeights kGru1;
extern const GruWeights kGru2;
// The output layer is padded with zero rows to a whole number of the inference's blocks.
constexpr int kOutputsPadded = (kOutputs + 15) / 16 * 16;
extern const Half* const kOutputT;    // [2 kHidden][kOutputsPadded]
extern const Half* const kOutputBias; // [kOutputsPadded]
// The head for the points below 1 kHz.
extern const Half* const kPointContextT;    // [2 kHidden][kPoints]
extern const Half* const kPointContextBias; // [kPoints]
// [kPointTaps[0] kPointInputs][kPointHidden]: row t kPointInputs + c is channel c at tap t.
extern const Half* const kPointConv1T;
extern const Half* const kPointConv1Bias; // [kPointHidden]
extern const Half* const kPointConv2;     // [kPointTaps[1]][kPointHidden]
extern const Half* const kPointConv2Bias; // [1]
// How many halves the views take, and how many the compiled-in file holds (equal unless the
// file and the views were written from different checkpoints).
extern const int kWeightCount;
int embeddedWeightCount();

} // namespace neural
} // namespace veldra
