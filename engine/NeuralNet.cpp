// Features and inference of the learned speech estimator (see NeuralNet.h). The layers are
//   h0 = tanh(W0 [f(t), f(t+1)] + b0)          2 x 98 -> kHidden (96)
//   h1 = GRU(h0, h1), h2 = GRU(h1, h2)         96 -> 96 each, PyTorch's gate order r, z, n
//   y  = sigmoid(W3 [h1, h2] + b3)             192 -> 97
// Weight matrices are stored transposed (input-major) in half precision, so each product is a
// sum of scaled rows that vectorises without reordering any floating-point sum.

#include "engine/NeuralNet.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "engine/Clones.h"
#include "engine/FastMath.h"
#include "engine/NeuralWeights.h"

#if VELDRA_VERSIONS
#include <immintrin.h>
#endif

namespace veldra {
namespace neural {

namespace {

constexpr int kGates = 3 * kHidden;

inline float sigmoid(float x) {
    return 1.0f / (1.0f + fastExp(-x));
}
inline float tanhApprox(float x) {
    return 2.0f / (1.0f + fastExp(-2.0f * x)) - 1.0f;
}

// Half to float for the portable inference: a half's magnitude bits moved into a float's place
// are a normal float 2^112 times too small (no weight is a subnormal half), and zero stays zero.
inline float halfToFloat(Half h) {
    const std::uint32_t magnitude = static_cast<std::uint32_t>(h & 0x7fffu) << 13;
    float f;
    std::memcpy(&f, &magnitude, sizeof f);
    f *= 0x1p112f;
    std::uint32_t bits;
    std::memcpy(&bits, &f, sizeof bits);
    bits |= static_cast<std::uint32_t>(h & 0x8000u) << 16;
    std::memcpy(&f, &bits, sizeof f);
    return f;
}

// y = b + W x with W stored transposed: wT[i * nout + j] = W[j][i], nout a multiple of 16.
// Most of the network's time is spent here. Each block of outputs is accumulated in registers
// over all inputs (one load, one conversion and one multiply-add per weight), 64 outputs a block
// and 32 or 16 for the rest. On x86-64 a second version for AVX2 with fused multiply-add and the
// F16C conversions is chosen at load time where the processor has them (its sums round once per
// step instead of twice, far below the tolerance the golden test states). Each version of
// dense is flattened, so the blocks are compiled into it for its own instruction set.
constexpr int kBlock = 16;
static_assert(kHidden % kBlock == 0 && (3 * kHidden) % kBlock == 0 && kOutputsPadded % kBlock == 0,
              "layer widths must be whole blocks");

// One block of Width outputs starting at output j0.
struct PortableBlock {
    template <int Width>
    static void run(const Half* wT, const Half* b, const float* x, int nin, int nout, int j0,
                    float* y) {
        float acc[Width];
        for (int j = 0; j < Width; ++j)
            acc[j] = halfToFloat(b[j0 + j]);
        for (int i = 0; i < nin; ++i) {
            const float xi = x[i];
            const Half* row = wT + i * nout + j0;
            for (int j = 0; j < Width; ++j)
                acc[j] += xi * halfToFloat(row[j]);
        }
        for (int j = 0; j < Width; ++j)
            y[j0 + j] = acc[j];
    }
};

template <typename Block>
inline void denseBlocks(const Half* wT, const Half* b, const float* x, int nin, int nout,
                        float* y) {
    int j0 = 0;
    for (; j0 + 4 * kBlock <= nout; j0 += 4 * kBlock)
        Block::template run<4 * kBlock>(wT, b, x, nin, nout, j0, y);
    if (j0 + 2 * kBlock <= nout) {
        Block::template run<2 * kBlock>(wT, b, x, nin, nout, j0, y);
        j0 += 2 * kBlock;
    }
    if (j0 < nout)
        Block::template run<kBlock>(wT, b, x, nin, nout, j0, y);
}

#if VELDRA_VERSIONS
#define VELDRA_PORTABLE __attribute__((target("default"), flatten))
#define VELDRA_F16C __attribute__((target("avx2,fma,f16c")))

struct F16cBlock {
    template <int Width>
    VELDRA_F16C static void run(const Half* wT, const Half* b, const float* x, int nin, int nout,
                                int j0, float* y) {
        constexpr int kLanes = 8;
        __m256 acc[Width / kLanes];
        for (int k = 0; k < Width / kLanes; ++k)
            acc[k] = _mm256_cvtph_ps(
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(b + j0 + k * kLanes)));
        for (int i = 0; i < nin; ++i) {
            const __m256 xi = _mm256_set1_ps(x[i]);
            const Half* row = wT + i * nout + j0;
            for (int k = 0; k < Width / kLanes; ++k)
                acc[k] = _mm256_fmadd_ps(xi,
                                         _mm256_cvtph_ps(_mm_loadu_si128(
                                             reinterpret_cast<const __m128i*>(row + k * kLanes))),
                                         acc[k]);
        }
        for (int k = 0; k < Width / kLanes; ++k)
            _mm256_storeu_ps(y + j0 + k * kLanes, acc[k]);
    }
};

VELDRA_F16C __attribute__((flatten)) void dense(const Half* wT, const Half* b, const float* x,
                                                int nin, int nout, float* y) {
    denseBlocks<F16cBlock>(wT, b, x, nin, nout, y);
}
#else
#define VELDRA_PORTABLE __attribute__((flatten))
#endif

VELDRA_PORTABLE void dense(const Half* wT, const Half* b, const float* x, int nin, int nout,
                           float* y) {
    denseBlocks<PortableBlock>(wT, b, x, nin, nout, y);
}

void gru(const GruWeights& w, const float* x, float* h) {
    float gi[kGates], gh[kGates];
    dense(w.inputT, w.inputBias, x, kHidden, kGates, gi);
    dense(w.recurrentT, w.recurrentBias, h, kHidden, kGates, gh);
    for (int j = 0; j < kHidden; ++j) {
        const float r = sigmoid(gi[j] + gh[j]);
        const float z = sigmoid(gi[kHidden + j] + gh[kHidden + j]);
        const float n = tanhApprox(gi[2 * kHidden + j] + r * gh[2 * kHidden + j]);
        h[j] = (1.0f - z) * n + z * h[j];
    }
}

// Walks the bins at or below kTopHz once, giving each its band and the weight of that band
// (the rest goes to the next band). Band b takes the bins above p[b] up to and including
// p[b + 1] (band 0 also bin 0), so a bin exactly on a point gives all its weight to the next
// band. Band by band, the weight falls linearly with the bin, one multiply per bin.
template <typename Visit> int forEachBin(int bins, int frameLength, int rate, Visit visit) {
    const float binHz = static_cast<float>(rate) / static_cast<float>(frameLength);
    int k = 0;
    for (int b = 0; b + 1 < kBands && k < bins; ++b) {
        const float top = kBandHz[b + 1];
        const float perHz = 1.0f / (top - kBandHz[b]);
        // The band's last bin: the highest k with k * binHz <= top (the same product the
        // weights use, so a bin on a point is decided the same way), counted first so the
        // loop below has no exit of its own and vectorises.
        int last = static_cast<int>(top / binHz);
        while (static_cast<float>(last + 1) * binHz <= top)
            ++last;
        while (last >= 0 && static_cast<float>(last) * binHz > top)
            --last;
        const int end = last + 1 < bins ? last + 1 : bins;
        for (; k < end; ++k)
            visit(k, b, (top - static_cast<float>(k) * binHz) * perHz);
    }
    return k;
}

} // namespace

void features(const float* power, const float* correlation, int bins, int frameLength, int rate,
              float* feature, float* density) {
    const float n = static_cast<float>(frameLength);
    const float fs = static_cast<float>(rate);
    const float toDensity = 1.0f / (n * fs);

    // The period: the lag of the largest autocorrelation, the analysis window's own taken out,
    // less the cost of a long lag (R in density units: the inverse transform sums N bins).
    const int lo = static_cast<int>(std::lround(fs / kPitchHighHz));
    const int hiLag = static_cast<int>(std::lround(fs / kPitchLowHz));
    const int hi = hiLag < frameLength / 2 ? hiLag : frameLength / 2;
    const float* inverseV = kWindowCorrelationInverse;
    for (int m = kShortestFrame; m < frameLength; m *= 2)
        inverseV += m / 2 + 1;
    const float scale = toDensity / n / (correlation[0] * toDensity / n + kDensityFloor);
    const float costPerLag = kPitchLagCost / fs;
    alignas(16) float score[kLongestFrame / 2 + 1];
    for (int t = lo; t <= hi; ++t) // apart from the search below, so it vectorises
        score[t] = correlation[t] * scale * inverseV[t] - costPerLag * static_cast<float>(t);
    int bestLag = lo;
    for (int t = lo + 1; t <= hi; ++t)
        if (score[t] > score[bestLag])
            bestLag = t;
    const float bestRho = correlation[bestLag] * scale * inverseV[bestLag];

    // cos(2 pi k T* / N) over the bins up to kTopHz, by the Chebyshev recurrence in double (the
    // walk is up to a thousand bins long).
    alignas(16) float cosine[kLongestFrame / 2 + 1];
    {
        const int inBands = static_cast<int>(kTopHz * n / fs) + 2; // the bins forEachBin visits
        const int top = bins < inBands ? bins : inBands;
        const double c1 = std::cos(2.0 * M_PI * bestLag / frameLength);
        double prev = c1, cur = 1.0; // bins -1 and 0
        for (int k = 0; k < top; ++k) {
            cosine[k] = static_cast<float>(cur);
            const double next = 2.0 * c1 * cur - prev;
            prev = cur;
            cur = next;
        }
    }
    float e[kBands] = {}, lg[kBands] = {}, w[kBands] = {}, per[kBands] = {};
    forEachBin(bins, frameLength, rate, [&](int k, int b, float a) {
        const float d = power[k] * toDensity;
        const float l = fastLog(d + kDensityFloor);
        const float dc = d * cosine[k];
        e[b] += a * d;
        lg[b] += a * l;
        w[b] += a;
        per[b] += a * dc;
        e[b + 1] += (1.0f - a) * d;
        lg[b + 1] += (1.0f - a) * l;
        w[b + 1] += 1.0f - a;
        per[b + 1] += (1.0f - a) * dc;
    });
    const float logFloor = fastLog(kDensityFloor);
    for (int b = 0; b < kBands; ++b) {
        const bool has = w[b] > 0.0f;
        const float inv = has ? 1.0f / w[b] : 0.0f;
        const float mean = e[b] * inv;
        const float meanLog = has ? lg[b] * inv : logFloor;
        const float le = fastLog(mean + kDensityFloor);
        const float flat = meanLog - le;
        density[b] = mean;
        feature[b] = (le + 2.0f) / 5.0f;
        feature[kBands + b] = (flat < -5.0f ? -5.0f : flat) / 2.0f + 0.3f;
        feature[2 * kBands + b] = has ? per[b] / (e[b] + w[b] * kDensityFloor) : 0.0f;
    }
    feature[3 * kBands] = bestRho < -1.0f ? -1.0f : (bestRho > 1.0f ? 1.0f : bestRho);
    feature[3 * kBands + 1] =
        std::log2(fs / static_cast<float>(bestLag) / kPitchLowHz) / kPitchOctaves;
}

void infer(Recurrent& state, const float* feature, const float* next, Estimate& out) {
    float input[kInputs];
    for (int i = 0; i < kFeatures; ++i) {
        input[i] = feature[i];
        input[kFeatures + i] = next[i];
    }
    float h0[kHidden];
    dense(kInputT, kInputBias, input, kInputs, kHidden, h0);
    for (float& v : h0)
        v = tanhApprox(v);
    gru(kGru1, h0, state.h1);
    gru(kGru2, state.h1, state.h2);
    float joined[2 * kHidden];
    for (int j = 0; j < kHidden; ++j) {
        joined[j] = state.h1[j];
        joined[kHidden + j] = state.h2[j];
    }
    float y[kOutputsPadded];
    dense(kOutputT, kOutputBias, joined, 2 * kHidden, kOutputsPadded, y);
    for (int b = 0; b < kBands; ++b) {
        out.gain[b] = sigmoid(y[b]);
        out.presence[b] = sigmoid(y[kBands + b]);
        out.noise[b] = sigmoid(y[2 * kBands + b]);
    }
    out.voice = sigmoid(y[3 * kBands]);
}

int toBins(const float* band, int bins, int frameLength, int rate, float* perBin) {
    return forEachBin(bins, frameLength, rate, [&](int k, int b, float a) {
        perBin[k] = a * band[b] + (1.0f - a) * band[b + 1];
    });
}

int toBins(const float* band0, const float* band1, const float* band2, int bins, int frameLength,
           int rate, float* perBin0, float* perBin1, float* perBin2) {
    return forEachBin(bins, frameLength, rate, [&](int k, int b, float a) {
        perBin0[k] = a * band0[b] + (1.0f - a) * band0[b + 1];
        perBin1[k] = a * band1[b] + (1.0f - a) * band1[b + 1];
        perBin2[k] = a * band2[b] + (1.0f - a) * band2[b + 1];
    });
}

} // namespace neural
} // namespace veldra
