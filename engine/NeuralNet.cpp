// Features and inference of the learned speech estimator (see NeuralNet.h). The layers are
//   h0 = tanh(W0 [f(t), f(t+1)] + b0)          2 x 98 -> kHidden (96)
//   h1 = GRU(h0, h1), h2 = GRU(h1, h2)         96 -> 96 each, PyTorch's gate order r, z, n
//   y  = sigmoid(W3 [h1, h2] + b3)             192 -> 97
// and the head for the points below 1 kHz (NeuralNet.h):
//   c  = Wc [h1, h2] + bc                      192 -> 32
//   v  = tanh(conv5(u)), u = [r, r', m, c, logit(g) / 4, k] along the 32 points   6 -> kPointHidden
//   gain_p = sigmoid(logit(g_p) + conv3(v)_p)  kPointHidden -> 1
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
// tanh as a ratio of odd and even polynomials in x (a minimax fit on |x| <= 7.9053, beyond which
// tanh is 1 in float), within a few units of the last place: no exponential and no branch, so a
// loop of them vectorises. The head for the points takes 1,024 a frame.
inline float tanhRational(float x) {
    constexpr float kClamp = 7.90531110763549805f;
    x = x < -kClamp ? -kClamp : (x > kClamp ? kClamp : x);
    const float x2 = x * x;
    float p = -2.76076847742355e-16f;
    p = p * x2 + 2.00018790482477e-13f;
    p = p * x2 - 8.60467152213735e-11f;
    p = p * x2 + 5.12229709037114e-08f;
    p = p * x2 + 1.48572235717979e-05f;
    p = p * x2 + 6.37261928875436e-04f;
    p = p * x2 + 4.89352455891786e-03f;
    float q = 1.19825839466702e-06f;
    q = q * x2 + 1.18534705686654e-04f;
    q = q * x2 + 2.26843463243900e-03f;
    q = q * x2 + 4.89352518554385e-03f;
    return x * p / q;
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

// Halves to floats, n a multiple of 8, for weights used many times a frame.
#if VELDRA_VERSIONS
VELDRA_F16C void halvesToFloats(const Half* h, int n, float* out) {
    for (int i = 0; i < n; i += 8)
        _mm256_storeu_ps(out + i,
                         _mm256_cvtph_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(h + i))));
}
#endif
VELDRA_PORTABLE void halvesToFloats(const Half* h, int n, float* out) {
    for (int i = 0; i < n; ++i)
        out[i] = halfToFloat(h[i]);
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

// The band triangles at each point: the band below it and that band's weight (the rest goes to
// the next band), as forEachBin gives them to a bin there; one walk up the bands.
struct BandAt {
    int band;
    float weight;
};
void pointBands(BandAt* at) {
    int b = 0;
    for (int p = 0; p < kPoints; ++p) {
        const double f = static_cast<double>(p + 1) * kPointHz;
        while (b + 2 < kBands && kBandHz[b + 1] < f)
            ++b;
        at[p] = {b, static_cast<float>((kBandHz[b + 1] - f) /
                                       (static_cast<double>(kBandHz[b + 1]) - kBandHz[b]))};
    }
}

// The bin below a point and the weight of the bin above it in the point's interpolation.
struct BinAt {
    int bin;
    float weight;
};
BinAt binAt(int p, int frameLength, int rate) {
    const double x = static_cast<double>(p + 1) * kPointHz * frameLength / rate;
    const double k = std::floor(x);
    return {static_cast<int>(k), static_cast<float>(x - k)};
}

inline float logit(float g) {
    const float c = g < kPointLogitFloor
                        ? kPointLogitFloor
                        : (g > 1.0f - kPointLogitFloor ? 1.0f - kPointLogitFloor : g);
    return fastLog(c) - fastLog(1.0f - c);
}

// cos(k a) for k = 0 .. count - 1 by the Chebyshev recurrence, one cosine in all; in double, which
// keeps the error small over a thousand terms and where a is near pi.
void cosineMultiples(double a, int count, float* out) {
    const double c1 = std::cos(a);
    double prev = c1, cur = 1.0; // k = -1 and 0
    for (int k = 0; k < count; ++k) {
        out[k] = static_cast<float>(cur);
        const double next = 2.0 * c1 * cur - prev;
        prev = cur;
        cur = next;
    }
}

// The comb of the frame's period at the points: max(rho, 0) cos(2 pi f_p / f0), with rho and
// f0 = fs / T* as the frame's periodicity and pitch features give them (+1 on a harmonic of the
// voice that set the period, -1 halfway between two). The points are the multiples of kPointHz.
void pointComb(const float* feature, float* comb) {
    const float rho = feature[3 * kBands] > 0.0f ? feature[3 * kBands] : 0.0f;
    const double f0 =
        kPitchLowHz * std::exp2(static_cast<double>(kPitchOctaves) * feature[3 * kBands + 1]);
    float cosine[kPoints + 1];
    cosineMultiples(2.0 * M_PI * kPointHz / f0, kPoints + 1, cosine);
    for (int p = 0; p < kPoints; ++p)
        comb[p] = rho * cosine[p + 1];
}

// The first convolution of the head for the points at one point: y = b + W x over the run x of
// kPointTaps[0] kPointInputs inputs around it, W in float (transposed, input-major).
constexpr int kPointRun1 = kPointTaps[0] * kPointInputs;
#if VELDRA_VERSIONS
VELDRA_F16C void pointConv1(const float* wT, const float* b, const float* x, float* y) {
    constexpr int kLanes = 8, kGroups = kPointHidden / kLanes;
    __m256 acc[kGroups];
    for (int k = 0; k < kGroups; ++k)
        acc[k] = _mm256_loadu_ps(b + k * kLanes);
    for (int i = 0; i < kPointRun1; ++i) {
        const __m256 xi = _mm256_set1_ps(x[i]);
        for (int k = 0; k < kGroups; ++k)
            acc[k] =
                _mm256_fmadd_ps(xi, _mm256_loadu_ps(wT + i * kPointHidden + k * kLanes), acc[k]);
    }
    for (int k = 0; k < kGroups; ++k)
        _mm256_storeu_ps(y + k * kLanes, acc[k]);
}
#endif
VELDRA_PORTABLE void pointConv1(const float* wT, const float* b, const float* x, float* y) {
    float acc[kPointHidden];
    for (int c = 0; c < kPointHidden; ++c)
        acc[c] = b[c];
    for (int i = 0; i < kPointRun1; ++i)
        for (int c = 0; c < kPointHidden; ++c)
            acc[c] += x[i] * wT[i * kPointHidden + c];
    for (int c = 0; c < kPointHidden; ++c)
        y[c] = acc[c];
}

// The head for the points: the gain at each point from the recurrent state (joined), the band
// gains, the frame's own features and the point features of this frame and the next. Both
// convolutions keep their inputs point by point with zero rows beyond the ends, so the taps around
// a point are one contiguous run and each point's output is one product with the weights (stored
// tap-major for this). Their weights are converted to float once a frame (each is used at all 32
// points), and like dense the head comes in a version for each instruction set (below), so the
// products, the tanh and the second convolution run eight lanes wide where the processor has them.
inline __attribute__((always_inline)) void pointHeadBody(const float* joined, const float* bandGain,
                                                         const float* feature, const float* point,
                                                         const float* nextPoint, float* gain) {
    constexpr int kTaps1 = kPointTaps[0], kTaps2 = kPointTaps[1];
    constexpr int kPad1 = kTaps1 / 2, kPad2 = kTaps2 / 2;
    constexpr int kRun1 = kPointRun1, kRun2 = kTaps2 * kPointHidden;
    static_assert(kPointHidden % 8 == 0, "the head's channels must be whole groups of eight");
    float context[kPoints];
    dense(kPointContextT, kPointContextBias, joined, 2 * kHidden, kPoints, context);
    BandAt at[kPoints];
    pointBands(at);
    float comb[kPoints];
    pointComb(feature, comb);
    float z[kPoints];
    float in[kPoints + 2 * kPad1][kPointInputs];
    std::memset(in, 0, sizeof in[0] * kPad1);
    std::memset(in[kPoints + kPad1], 0, sizeof in[0] * kPad1);
    for (int p = 0; p < kPoints; ++p) {
        const BandAt a = at[p];
        z[p] = logit(a.weight * bandGain[a.band] + (1.0f - a.weight) * bandGain[a.band + 1]);
        float* u = in[p + kPad1];
        u[0] = point[p];
        u[1] = nextPoint[p];
        u[2] = point[kPoints + p];
        u[3] = context[p];
        u[4] = z[p] / 4.0f;
        u[5] = comb[p];
    }
    alignas(32) float w1[kRun1 * kPointHidden];
    alignas(32) float b1[kPointHidden];
    alignas(32) float w2[kRun2];
    halvesToFloats(kPointConv1T, kRun1 * kPointHidden, w1);
    halvesToFloats(kPointConv1Bias, kPointHidden, b1);
    halvesToFloats(kPointConv2, kRun2, w2);
    const float b2 = halfToFloat(kPointConv2Bias[0]);
    alignas(32) float hidden[kPoints + 2 * kPad2][kPointHidden];
    std::memset(hidden, 0, sizeof hidden[0] * kPad2);
    std::memset(hidden[kPoints + kPad2], 0, sizeof hidden[0] * kPad2);
    for (int p = 0; p < kPoints; ++p) {
        float* v = hidden[p + kPad2];
        pointConv1(w1, b1, in[p], v);
        for (int c = 0; c < kPointHidden; ++c)
            v[c] = tanhRational(v[c]);
    }
    for (int p = 0; p < kPoints; ++p) {
        const float* v = hidden[p];
        float acc[8] = {};
        for (int i = 0; i < kRun2; i += 8)
            for (int j = 0; j < 8; ++j)
                acc[j] += w2[i + j] * v[i + j];
        const float sum =
            ((acc[0] + acc[4]) + (acc[1] + acc[5])) + ((acc[2] + acc[6]) + (acc[3] + acc[7]));
        gain[p] = sigmoid(z[p] + b2 + sum);
    }
}

#if VELDRA_VERSIONS
VELDRA_F16C __attribute__((flatten)) void pointHead(const float* joined, const float* bandGain,
                                                    const float* feature, const float* point,
                                                    const float* nextPoint, float* gain) {
    pointHeadBody(joined, bandGain, feature, point, nextPoint, gain);
}
#endif
VELDRA_PORTABLE void pointHead(const float* joined, const float* bandGain, const float* feature,
                               const float* point, const float* nextPoint, float* gain) {
    pointHeadBody(joined, bandGain, feature, point, nextPoint, gain);
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

    // cos(2 pi k T* / N) over the bins up to kTopHz (the bins forEachBin visits).
    alignas(16) float cosine[kLongestFrame / 2 + 1];
    const int inBands = static_cast<int>(kTopHz * n / fs) + 2;
    const int banded = bins < inBands ? bins : inBands;
    cosineMultiples(2.0 * M_PI * bestLag / frameLength, banded, cosine);
    // The log densities first, in a loop of their own, which vectorises.
    alignas(16) float logDensity[kLongestFrame / 2 + 1];
    for (int k = 0; k < banded; ++k)
        logDensity[k] = fastLog(power[k] * toDensity + kDensityFloor);
    float e[kBands] = {}, lg[kBands] = {}, w[kBands] = {}, per[kBands] = {};
    forEachBin(bins, frameLength, rate, [&](int k, int b, float a) {
        const float d = power[k] * toDensity;
        const float l = logDensity[k];
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

void pointFeatures(const float* power, const float* density, int bins, int frameLength, int rate,
                   float* smoothed, float* point) {
    const float toDensity = 1.0f / (static_cast<float>(frameLength) * static_cast<float>(rate));
    BandAt at[kPoints];
    pointBands(at);
    for (int p = 0; p < kPoints; ++p) {
        const BinAt bin = binAt(p, frameLength, rate);
        const float above = bin.bin + 1 < bins ? power[bin.bin + 1] : 0.0f;
        const float d = ((1.0f - bin.weight) * power[bin.bin] + bin.weight * above) * toDensity;
        const BandAt band = at[p];
        const float e =
            band.weight * density[band.band] + (1.0f - band.weight) * density[band.band + 1];
        const float r = (fastLog(d + kDensityFloor) - fastLog(e + kDensityFloor)) / 2.0f;
        smoothed[p] = kPointSmoothing * smoothed[p] + (1.0f - kPointSmoothing) * r;
        point[p] = r;
        point[kPoints + p] = smoothed[p];
    }
}

void infer(Recurrent& state, const float* feature, const float* next, const float* point,
           const float* nextPoint, Estimate& out) {
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
    pointHead(joined, out.gain, feature, point, nextPoint, out.pointGain);
}

int pointsToBins(const float* point, int bins, int frameLength, int rate, float* perBin, int& end) {
    const double binHz = static_cast<double>(rate) / frameLength;
    const int first = static_cast<int>(std::ceil(kPointHz / binHz));
    int last = static_cast<int>(std::floor(kPoints * kPointHz / binHz));
    last = last < bins - 1 ? last : bins - 1;
    int p = 0;
    for (int k = first; k <= last; ++k) {
        const double x = k * binHz / kPointHz - 1.0; // the point index at this bin
        while (p + 2 < kPoints && p + 1 <= x)
            ++p;
        const float a = static_cast<float>(x - p); // the weight of the point above
        perBin[k] = (1.0f - a) * point[p] + a * point[p + 1];
    }
    end = last + 1;
    return first;
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
