#pragma once
// The learned speech estimator of method 3: features of one frame and of the next in (per band
// its level, flatness and periodicity, and the frame's periodicity and pitch), per band a speech
// gain, a speech presence and a noise share out for the first, plus its voice decision. The
// network is small (two recurrent layers of 96 units) and its weights are constant data in half
// precision compiled into the library (NeuralWeights.h, written by train/export.py); its state is
// two vectors the caller keeps in the engine block.
//
// Bands are triangles over fixed frequencies in Hz (0 .. 8000), so one network serves every
// sample rate: a bin at f Hz between points b and b + 1 belongs with weight
// (p[b+1] - f) / (p[b+1] - p[b]) to band b and the rest to band b + 1; bins above 8000 Hz belong
// to no band. train/features.py computes the same features for training and documents them.
//
// Below 1 kHz a band spans several harmonics of a voice, and one gain per band keeps the noise
// between them. There the network also gives a gain at each of kPoints points kPointHz apart
// (31.25 .. 1000 Hz), from each point's peak or valley against its band and a head of two small
// convolutions along the points; the bins between the first and the last point take those gains.

#include <cstdint>

namespace veldra {
namespace neural {

constexpr int kBands = 32;
// Per band its level, flatness and periodicity, then the frame's periodicity and pitch.
constexpr int kFeatures = 3 * kBands + 2;
// The network takes a frame's features followed by the next frame's.
constexpr int kInputs = 2 * kFeatures;
constexpr int kHidden = 96;
constexpr int kOutputs = 3 * kBands + 1;
constexpr float kTopHz = 8000.0f;
// The points below 1 kHz, at (p + 1) kPointHz. Per point two features: r, half the ln ratio of
// the density there (interpolated between the two bins around it) to the band level there, and
// m, r smoothed over the frames by kPointSmoothing.
constexpr int kPoints = 32;
constexpr float kPointHz = 31.25f;
constexpr float kPointSmoothing = 0.95f;
constexpr int kPointFeatures = 2 * kPoints;
// The head: per point kPointInputs channels (r, the next frame's r, m, a context value from the
// recurrent state, the band gain there as a logit / 4, the comb of the frame's period there), a
// convolution of kPointTaps[0] taps to kPointHidden channels, tanh, and one of kPointTaps[1] taps
// to one; its output moves the logit of the band gain.
constexpr int kPointInputs = 6;
constexpr int kPointHidden = 32;
constexpr int kPointTaps[2] = {5, 3};
constexpr float kPointLogitFloor = 1e-4f;
constexpr float kDensityFloor = 1e-5f; // about the density of 16-bit quantisation noise
// The period is searched over the lags of these pitches (and never beyond half a frame); a longer
// lag costs kPitchLagCost per second of lag, so the period of a clean voice wins over its
// multiples, which correlate as well. The pitch feature spans kPitchOctaves above kPitchLowHz.
constexpr float kPitchLowHz = 62.5f;
constexpr float kPitchHighHz = 400.0f;
constexpr float kPitchLagCost = 6.0f;
constexpr float kPitchOctaves = 2.68f;

// The band points p[b] in Hz, written with the weights (NeuralWeights.cpp) from the list the
// network was trained with (train/features.py).
extern const float kBandHz[kBands];
// 1 / v(T / N) for T = 0 .. N / 2, where v(u) = (1 - u) cos(pi u) + sin(pi u) / pi is the
// analysis window's autocorrelation at lag u frames relative to lag 0, for the frame lengths N =
// 256, 512, 1024 and 2048 one after the other. Written with the weights, from the same float64
// values training uses.
constexpr int kShortestFrame = 256;
constexpr int kLongestFrame = 2048;
extern const float kWindowCorrelationInverse[(kShortestFrame / 2 + 1) + (kShortestFrame + 1) +
                                             (2 * kShortestFrame + 1) + (kLongestFrame / 2 + 1)];

// Per-frame outputs, all in [0, 1].
struct Estimate {
    float gain[kBands];       // speech amplitude share: sqrt(S / (S + N))
    float presence[kBands];   // speech presence probability
    float noise[kBands];      // noise power share: N / (S + N)
    float voice;              // the frame holds speech
    float pointGain[kPoints]; // speech amplitude share at the points below 1 kHz
};

// Recurrent state of one channel.
struct Recurrent {
    float h1[kHidden];
    float h2[kHidden];
};

// Features of one frame from its power spectrum (|FFT|^2 of the windowed frame, bins
// 0 .. frameLength / 2) and its autocorrelation (the unscaled inverse real FFT of that power
// spectrum, lags 0 .. frameLength / 2). Also returns each band's mean power density (power /
// (frameLength * rate)), from which the noise estimate is scaled.
void features(const float* power, const float* correlation, int bins, int frameLength, int rate,
              float* feature, float* density);

// The point features of one frame (r then m, kPointFeatures) from its power spectrum and band
// densities (features() above); `smoothed` holds m of the frame before (zeros before the first)
// and is updated to this frame's.
void pointFeatures(const float* power, const float* density, int bins, int frameLength, int rate,
                   float* smoothed, float* point);

// One step of the network on a frame's features and the next frame's (its look-ahead), and the
// point features of both: updates the recurrent state and fills the frame's estimate.
void infer(Recurrent& state, const float* feature, const float* next, const float* point,
           const float* nextPoint, Estimate& out);

// Interpolates the point values linearly to the bins from the first point to the last (bins
// from first up to end). Returns the first such bin and sets end.
int pointsToBins(const float* point, int bins, int frameLength, int rate, float* perBin, int& end);

// Interpolates band values to the bins at or below kTopHz, with the same triangle weights the
// features use. Returns the number of bins written (the first bin above kTopHz, or `bins`).
int toBins(const float* band, int bins, int frameLength, int rate, float* perBin);
// The same for three sets of band values in one walk over the bins.
int toBins(const float* band0, const float* band1, const float* band2, int bins, int frameLength,
           int rate, float* perBin0, float* perBin1, float* perBin2);

} // namespace neural
} // namespace veldra
