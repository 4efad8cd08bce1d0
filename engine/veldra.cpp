// veldra: single-channel speech noise reduction in a caller-owned state block.
//
// Signal path, per frame of N samples (N a power of two near 32 ms, hop N/2):
//   square-root periodic Hann analysis window -> real FFT -> [held back one hop]
//   -> noise power tracking -> [method 3: the trained network's band and point estimate,
//   NeuralNet.h, from this frame's features and the next one's] -> a-priori SNR
//   -> spectral gain (method 0, 1, 2 or 3) -> optional equalizer -> inverse FFT
//   -> square-root Hann synthesis window -> overlap-add.
// Every frame waits one hop for the next, whose features the network looks
// ahead to; every method waits alike, so switching methods mid-stream keeps the
// output continuous. The squared window sums to exactly one at 50 % overlap, so
// with every gain at one the output is the input delayed by N samples: N/2 of
// overlap and N/2 of look-ahead.
//
// Literature this follows:
//  - T. Gerkmann, R. C. Hendriks, "Unbiased MMSE-based noise power estimation
//    with low complexity and low tracking delay", IEEE TASLP 20(4), 2012:
//    the noise power is updated every frame with the expected noise power given
//    the observation, weighted by a posterior speech presence probability
//    computed with a fixed a-priori SNR of 15 dB. It keeps adapting during
//    speech and follows rising noise within a fraction of a second.
//  - Y. Ephraim, D. Malah, "Speech enhancement using a minimum mean-square error
//    short-time spectral amplitude estimator" (1984) and "... log-spectral
//    amplitude estimator" (1985): decision-directed a-priori SNR and the LSA gain.
//  - I. Cohen, B. Berdugo, "Speech enhancement for non-stationary noise
//    environments", Signal Processing 81, 2001 (OM-LSA): speech presence
//    probability from local, global and frame-wise smoothed a-priori SNR,
//    gain G = G_H1^p * Gmin^(1-p).
//  - J.-M. Valin, "A hybrid DSP/deep learning approach to real-time full-band
//    speech enhancement" (2018): band features on a perceptual scale, GRUs,
//    band gains; here the network's band presence, gain and noise share drive
//    the per-bin OM-LSA rule instead of replacing it.
//  - J. Sohn, N. S. Kim, W. Sung, "A statistical model-based voice activity
//    detector", IEEE SPL 6(1), 1999: mean log likelihood ratio as frame decision.
//
// No call allocates; scratch lives on the stack; all state is in the block.

#include "engine/veldra.h"

#include <cmath>
#include <cstddef>
#include <cstring>
#include <utility>

#include "engine/FastMath.h"
#include "engine/NeuralNet.h"
#include "engine/RealFft.h"

namespace {

using veldra::expint1;
using veldra::fastExp;
using veldra::fastLog;

constexpr uint32_t kMagic = 0x564c4452u; // marks an initialised block

// Geometry. The frame is the power of two nearest to 32 ms; the smallest
// (256) serves 8 and 11.025 kHz, the largest (2048) 48 kHz.
constexpr int kMinFrameLength = 256;
constexpr int kMaxFrameLength = VELDRA_MAX_FRAME_LENGTH;
constexpr int kMaxBins = kMaxFrameLength / 2 + 1;
constexpr float kTargetFrameSeconds = 0.032f;
constexpr int kMinRate = 8000;
constexpr int kMaxRate = 48000;

// The smoothing factors given by callers are meant for a 16 ms hop (32 ms
// frames at 50 % overlap); other hops get the factor with the same time constant.
constexpr float kReferenceHopSeconds = 0.016f;

// Noise tracking.
constexpr float kNoiseInitSeconds = 0.096f;  // plain average of the first frames
constexpr float kPresenceSnr = 31.622777f;   // fixed a-priori SNR under speech presence, 15 dB
constexpr float kStagnationSmoothing = 0.9f; // smoothing of the posterior for stagnation control
constexpr float kStagnationLimit = 0.99f;    // posterior cap when it has been high for long
constexpr float kNoiseFloorPower = 1e-2f;    // keeps ratios finite on digital silence

// A-priori SNR. The tracked noise power is scaled up by kNoiseOverestimate in
// the gain rules: a recursive average of periodograms has a skewed ratio
// P / estimate (its mean is above one), which otherwise leaves isolated bins of
// residual noise open. The decision-directed smoothing factor drops to
// kOnsetSmoothing where the a-posteriori SNR exceeds kOnsetSnr (about 5 dB,
// which pure noise reaches in only 5 % of bins), so word onsets are not
// swallowed while the slow smoothing still holds down the residual noise.
// The two-step refinement (Plapous, Marro, Scalart 2006) then removes the
// one-frame lag of the decision-directed estimate.
constexpr float kXiMin = 0.0031622777f; // -25 dB
constexpr float kSnrMax = 1e5f;         // 50 dB: cap of a-posteriori and a-priori SNR
constexpr float kNoiseOverestimate = 1.3f;
constexpr float kOnsetSnr = 3.0f;
constexpr float kOnsetSmoothing = 0.7f;
constexpr float kOverSubtraction = 2.0f; // method 0: noise power subtracted twice

// Speech presence (OM-LSA): recursive smoothing of the a-priori SNR and the
// mapping of its local, global and frame averages to presence.
constexpr float kZetaSmoothing = 0.7f;
constexpr float kZetaMin = 0.1f;        // -10 dB
constexpr float kZetaMax = 0.31622777f; // -5 dB
constexpr float kZetaPeakMin = 1.0f;    // 0 dB
constexpr float kZetaPeakMax = 10.0f;   // 10 dB
constexpr float kAbsenceMax = 0.95f; // cap of the absence probability while the frame holds speech

// Buried speech (OM-LSA). In a voiced frame whose smoothed a-priori SNR is low,
// the bins near speech that are judged speech-free still carry weak speech
// cues; pushing them to a deep floor costs intelligibility. In such frames the
// bins in spectral regions holding speech (the wide presence average) get a
// floor no deeper than kBuriedFloorDb, blended in from kBuriedZetaHigh (10 dB,
// no change) down to kBuriedZetaLow (0 dB, fully applied); regions without
// speech keep the limit, so the residual noise does not swell with every word. Frames without voice
// activity of their own (pauses, and the hangover after speech) keep the caller's limit, and a
// limit shallower than kBuriedFloorDb is never deepened.
constexpr float kBuriedFloorDb = -12.0f;
constexpr float kBuriedZetaLow = 1.0f;
constexpr float kBuriedZetaHigh = 10.0f;
constexpr float kLocalHalfWidthHz = 40.0f;
constexpr float kGlobalHalfWidthHz = 470.0f;

// Voice activity: mean log likelihood ratio over the speech band, with hangover.
constexpr float kVadLowHz = 250.0f;
constexpr float kVadHighHz = 4000.0f;
constexpr float kVadThreshold = 0.25f;
constexpr float kVadHangoverSeconds = 0.2f;
constexpr float kVadFloorRise = 0.02f; // per frame
constexpr float kVadFloorMargin = 3.0f;

// Method 3. The network's band noise estimate (its noise share times the band's power),
// interpolated to the bins, is smoothed over frames (band powers fluctuate from frame to frame
// even in steady noise). The noise the gain rules use is the geometric blend
// tracker^(1 - share) * network^share with share kNeuralNoiseShare, scaled up like the
// tracker's by kNoiseOverestimate: measured on the development corpus, the network's noise
// estimate after a few hours of training was still noisier than the tracker, while its
// presence and gain were what told speech from noise. Its band presence is the a-priori
// presence of the OM-LSA rule, capped so no bin is ever certain to hold no speech. Each bin's
// gain starts from the network's band gain and moves toward the per-bin OM-LSA gain (in the log
// domain): kNeuralTowardLower of the way where the OM-LSA gain is lower (the band gain already
// knows speech from speech-like noise; the bins only carve the harmonics a little deeper), and
// voice * presence^kNeuralPresenceRoot of the way where it is higher (inside speech the bins
// restore what the coarse band gain would cut off between harmonics; in pauses they cannot
// lift the band's suppression). Above 8 kHz, outside the network's bands, the tracker's noise
// and the top band's presence and gain serve. The two fractions were chosen on the development
// corpus for the 96-unit network (the root again once it looked a frame ahead, and once more with
// the gains at the points below 1 kHz, which restore between harmonics there what the rise
// restored before, for the network that also knows where the harmonics of the period lie, for
// the one trained on shifted voices, and for the one with the wider head at the points, whose
// speech level left room for a larger root):
// a larger root lets bins of uncertain presence rise less (intelligibility and
// babble up, speech level down), a smaller move toward a lower OM-LSA gain gives the speech level
// back.
constexpr float kNeuralNoiseSmoothing = 0.9f;
constexpr float kNeuralNoiseShare = 0.0f;
constexpr float kNeuralAbsenceMax = 0.995f;
constexpr float kNeuralTowardLower = 0.15f;
constexpr float kNeuralPresenceRoot = 1.5f;
constexpr float kNeuralVoiceThreshold = 0.5f;

// Equalizer points are clamped to [0, kMaxEqGain]; a NaN point counts as 1.
constexpr float kMaxEqGain = 100.0f;

// Parameter ranges; a NaN argument takes the public default (veldra.h).
constexpr float kLimitDbMin = -100.0f;
constexpr float kNoiseRateMin = 0.8f, kNoiseRateMax = 0.999f;
constexpr float kMusicalRateMin = 0.9f, kMusicalRateMax = 0.999f;
constexpr float kLimitDbDefault = static_cast<float>(VELDRA_DEFAULT_LIMIT_DB);
constexpr float kNoiseRateDefault = static_cast<float>(VELDRA_DEFAULT_NOISE_RATE);
constexpr float kMusicalRateDefault = static_cast<float>(VELDRA_DEFAULT_MUSICAL_RATE);

// Fixed part of the block. The first fields are read by callers at the
// offsets the public header lists.
struct State {
    uint32_t magic;       // 0
    uint32_t sampleRate;  // 4
    uint32_t frameLength; // 8
    uint32_t frameStep;   // 12
    uint8_t voiceActive;  // 16
    uint8_t method;       // 17
    uint8_t selectClear;  // 18
    uint8_t framePending; // 19: Veldra_Frame ran, Veldra_Restore not yet
    uint32_t delay;       // 20

    uint32_t bins; // N/2 + 1
    uint32_t framesSeen;
    uint32_t initFrames;
    uint32_t hangoverFrames;
    uint32_t hangoverLeft;
    uint32_t vadLow, vadHigh;       // bin range [low, high)
    uint32_t localHalf, globalHalf; // half widths of the presence averages, bins

    float gainFloor;    // linear, from limitDb
    float logGainFloor; // ln(gainFloor)
    float noiseAlpha;   // per-hop smoothing of the noise power
    float ddBeta;       // decision-directed smoothing
    float zetaFramePrev;
    float zetaPeak;
    float vadFloor; // recent floor of the mean log likelihood ratio

    // Byte offsets of the per-bin arrays, relative to the block's start.
    uint32_t offWindow;      // float[bins]: sin(pi n / N), n = 0..N/2
    uint32_t offNoise;       // float[bins]: noise power estimate
    uint32_t offSpeechPrev;  // float[bins]: estimated speech power of the last frame
    uint32_t offPresence;    // float[bins]: smoothed posterior for stagnation control
    uint32_t offZeta;        // float[bins]: smoothed a-priori SNR
    uint32_t offSpectrum;    // fft::Complex[bins]: spectrum awaiting synthesis
    uint32_t offHeld;        // fft::Complex[bins]: the last frame in, held back for the next
                             // (the two slots trade places every frame)
    uint32_t offHistory;     // int16[N/2]: previous half frame of input
    uint32_t offOverlap;     // float[N/2]: synthesis tail awaiting the next frame
    uint32_t offFft;         // the transforms' plan (fft::planBytes(N))
    uint32_t offNeuralNoise; // float[bins]: method 3's smoothed noise power estimate
    uint32_t neuralFrames;   // frames the network has seen since it (re)started
    uint8_t holding;         // a frame is held (every call but the first after Veldra_Init)
    uint8_t heldFeatures;    // the held frame's features below are computed (method 3)
    uint8_t pad1[2];
    veldra::neural::Recurrent recurrent;             // the network's state
    float heldFeature[veldra::neural::kFeatures];    // the held frame's features
    float heldDensity[veldra::neural::kBands];       // and its band power densities
    float heldPoint[veldra::neural::kPointFeatures]; // and its point features below 1 kHz
    float pointSmoothed[veldra::neural::kPoints];    // the last frame in's smoothed point ratios
};

static_assert(offsetof(State, frameLength) == VELDRA_OFFSET_FRAME_LENGTH, "frameLength offset");
static_assert(offsetof(State, frameStep) == VELDRA_OFFSET_FRAME_STEP, "frameStep offset");
static_assert(offsetof(State, voiceActive) == VELDRA_OFFSET_VOICE_ACTIVE, "voiceActive offset");
static_assert(offsetof(State, delay) == VELDRA_OFFSET_DELAY, "delay offset");

constexpr uint32_t alignUp(uint32_t n) {
    return (n + 15u) & ~15u;
}

struct Layout {
    uint32_t window, noise, speechPrev, presence, zeta, neuralNoise, spectrum, held, history,
        overlap, fft, end;
};

constexpr Layout layoutFor(uint32_t n) {
    const uint32_t bins = n / 2 + 1;
    const uint32_t floats = alignUp(bins * 4u);
    Layout l{};
    l.window = alignUp(static_cast<uint32_t>(sizeof(State)));
    l.noise = l.window + floats;
    l.speechPrev = l.noise + floats;
    l.presence = l.speechPrev + floats;
    l.zeta = l.presence + floats;
    l.neuralNoise = l.zeta + floats;
    l.spectrum = l.neuralNoise + floats;
    l.held = l.spectrum + alignUp(bins * 8u);
    l.history = l.held + alignUp(bins * 8u);
    l.overlap = l.history + alignUp(n / 2 * 2u);
    l.fft = l.overlap + alignUp(n / 2 * 4u);
    l.end = l.fft + alignUp(static_cast<uint32_t>(veldra::fft::planBytes(static_cast<int>(n))));
    return l;
}

static_assert(layoutFor(kMaxFrameLength).end <= VELDRA_BLOCK_SIZE,
              "the largest frame's state must fit the caller's block");
static_assert(kMaxFrameLength / 2 <= VELDRA_MAX_FRAME_STEP,
              "frame step above the caller's buffers");
static_assert(kMinFrameLength >= veldra::fft::kMinLength &&
                  kMaxFrameLength <= veldra::fft::kMaxLength,
              "every frame length must have a transform plan");
using Complex = veldra::fft::Complex;

template <typename T> T* at(void* block, uint32_t offset) {
    return reinterpret_cast<T*>(static_cast<unsigned char*>(block) + offset);
}

State* stateOf(void* block) {
    if (block == nullptr)
        return nullptr;
    State* s = static_cast<State*>(block);
    return s->magic == kMagic ? s : nullptr;
}

int frameLengthFor(int rate) {
    int n = kMinFrameLength;
    const float target = kTargetFrameSeconds * static_cast<float>(rate);
    // Nearest power of two on a logarithmic scale: move up while the target is
    // above the geometric mean of n and 2n.
    while (n < kMaxFrameLength && target > static_cast<float>(n) * 1.41421356f)
        n *= 2;
    return n;
}

float sanitize(float value, float lo, float hi, float fallback) {
    if (std::isnan(value))
        return fallback;
    return value < lo ? lo : (value > hi ? hi : value);
}

void applyParameters(State* s, uint8_t method, float limitDb, float noiseRate, float musicalRate) {
    const uint8_t m = method > 3 ? 2 : method; // an unknown method gets the classical estimator
    // The network starts afresh when it is switched on; its state is meaningless after frames it
    // did not see.
    if (m == 3 && s->method != 3) {
        s->neuralFrames = 0;
        std::memset(s->pointSmoothed, 0, sizeof s->pointSmoothed);
    }
    s->method = m;
    const float limit = sanitize(limitDb, kLimitDbMin, 0.0f, kLimitDbDefault);
    s->gainFloor = std::pow(10.0f, limit / 20.0f);
    s->logGainFloor = std::log(s->gainFloor);
    const float hopSeconds = static_cast<float>(s->frameStep) / static_cast<float>(s->sampleRate);
    const float rate = sanitize(noiseRate, kNoiseRateMin, kNoiseRateMax, kNoiseRateDefault);
    s->noiseAlpha = std::pow(rate, hopSeconds / kReferenceHopSeconds);
    s->ddBeta = sanitize(musicalRate, kMusicalRateMin, kMusicalRateMax, kMusicalRateDefault);
}

// Speech presence from a smoothed a-priori SNR: 0 below lo, 1 above hi,
// logarithmic in between (invLogSpan = 1 / ln(hi / lo)).
inline float presenceOf(float zeta, float lo, float invLogSpan) {
    const float t = fastLog(zeta / lo) * invLogSpan;
    return t < 0.0f ? 0.0f : (t > 1.0f ? 1.0f : t);
}

// Mean of x over the bins k - half .. k + half (cut at both ends) for every k,
// from the prefix sums p (p[0] = 0, p[k + 1] = p[k] + x[k]). The interior,
// where the window is whole, runs without index clamping so it vectorises.
void windowMeans(const float* p, int bins, int half, float* out) {
    auto clamped = [&](int k) {
        const int a = k - half < 0 ? 0 : k - half;
        const int b = k + half + 1 > bins ? bins : k + half + 1;
        out[k] = (p[b] - p[a]) / static_cast<float>(b - a);
    };
    const int first = half < bins ? half : bins;
    const int last = bins - half - 1; // last k whose window is whole
    for (int k = 0; k < first; ++k)
        clamped(k);
    const float inv = 1.0f / static_cast<float>(2 * half + 1);
    for (int k = first; k <= last; ++k)
        out[k] = (p[k + half + 1] - p[k - half]) * inv;
    for (int k = (last + 1 > first ? last + 1 : first); k < bins; ++k)
        clamped(k);
}

// OM-LSA gain per bin (Cohen and Berdugo 2001): G = G_H1^p * floor^(1-p), with the LSA gain
// under speech presence G_H1 and the posterior presence p from the a-priori absence q. Also
// records the speech power estimate the next frame's decision-directed rule starts from.
// logGainOf(k, p, logGh1) combines them into bin k's gain in ln units (the rule above with the
// bin's floor); the caller's limit is never undercut.
template <typename LogGainOf>
void omlsaGains(int bins, const float* xi, const float* gammaPost, const float* power,
                const float* absence, LogGainOf logGainOf, float floorGain, float* speechPrev,
                float* gain) {
    for (int k = 0; k < bins; ++k) {
        const float r = xi[k] / (1.0f + xi[k]);
        const float v = r * gammaPost[k];
        // LSA gain under speech presence, in the log domain.
        float logGh1 = fastLog(r) + 0.5f * expint1(v);
        logGh1 = logGh1 > 0.0f ? 0.0f : logGh1;
        speechPrev[k] = fastExp(2.0f * logGh1) * power[k];
        // Posterior presence p = 1 / (1 + q / (1 - q) (1 + xi) e^-v), written
        // so that q = 1 gives p = 0 without a division by zero.
        const float q = absence[k];
        const float p = (1.0f - q) / ((1.0f - q) + q * (1.0f + xi[k]) * fastExp(-v));
        const float g = fastExp(logGainOf(k, p, logGh1));
        gain[k] = g < floorGain ? floorGain : (g > 1.0f ? 1.0f : g);
    }
}

// The network's features of one frame (band levels, flatness and periodicity, from its power
// spectrum and, for the periodicity, its autocorrelation: the inverse transform of the power
// spectrum), and each band's power density.
void neuralFeatures(const State* s, const void* fftPlan, const float* power, float* feature,
                    float* density) {
    const int bins = static_cast<int>(s->bins);
    alignas(16) Complex squared[kMaxBins];
    alignas(16) float correlation[kMaxFrameLength];
    for (int k = 0; k < bins; ++k)
        squared[k] = Complex{power[k], 0.0f};
    veldra::fft::inverse(fftPlan, squared, correlation);
    veldra::neural::features(power, correlation, bins, static_cast<int>(s->frameLength),
                             static_cast<int>(s->sampleRate), feature, density);
}

// Method 3's estimate for one frame: runs the network on the frame's features and the next
// frame's (its look-ahead); where the gain rules use the network's noise (kNeuralNoiseShare
// above 0) turns its band noise share into a per-bin noise power (smoothed over frames, kept in
// neuralNoise) blended with the tracker's into noiseUsed; and spreads its band presence and gain
// (in ln units), and the root of its presence that bounds how far a bin rises, over the bins.
// Between the first and the last point below 1 kHz the gains at the points take the band gain's
// place. Above 8 kHz the tracker's noise and the top band serve.
void neuralStep(State* s, const float* feature, const float* density, const float* next,
                const float* point, const float* nextPoint, float* neuralNoise,
                const float* trackerNoise, veldra::neural::Estimate& estimate, float* noiseUsed,
                float* presence, float* presenceRoot, float* logBandGain) {
    namespace nn = veldra::neural;
    const int bins = static_cast<int>(s->bins);
    const int n = static_cast<int>(s->frameLength);
    const int rate = static_cast<int>(s->sampleRate);
    if (s->neuralFrames == 0)
        std::memset(&s->recurrent, 0, sizeof s->recurrent);
    nn::infer(s->recurrent, feature, next, point, nextPoint, estimate);

    // The network's own noise estimate is worked out only where the rules use it (see
    // kNeuralNoiseShare); with a share of 0 the tracker's noise serves as it is.
    if constexpr (kNeuralNoiseShare > 0.0f) {
        float bandNoise[nn::kBands];
        const float toPower = static_cast<float>(n) * static_cast<float>(rate);
        for (int b = 0; b < nn::kBands; ++b)
            bandNoise[b] = estimate.noise[b] * density[b] * toPower;
        alignas(16) float instant[kMaxBins];
        const int inBands = nn::toBins(bandNoise, bins, n, rate, instant);
        for (int k = inBands; k < bins; ++k)
            instant[k] = trackerNoise[k];
        const float a = s->neuralFrames == 0 ? 0.0f : kNeuralNoiseSmoothing;
        for (int k = 0; k < bins; ++k) {
            const float v = a * neuralNoise[k] + (1.0f - a) * instant[k];
            neuralNoise[k] = v < kNoiseFloorPower ? kNoiseFloorPower : v;
        }
        if (kNeuralNoiseShare >= 1.0f) {
            std::memcpy(noiseUsed, neuralNoise, static_cast<size_t>(bins) * sizeof(float));
        } else {
            for (int k = 0; k < bins; ++k)
                noiseUsed[k] = fastExp((1.0f - kNeuralNoiseShare) * fastLog(trackerNoise[k]) +
                                       kNeuralNoiseShare * fastLog(neuralNoise[k]));
        }
    } else {
        (void)neuralNoise;
        (void)noiseUsed;
    }
    // The band gain goes to the bins in ln units, never below the caller's floor.
    float logGain[nn::kBands];
    for (int b = 0; b < nn::kBands; ++b) {
        const float g = estimate.gain[b] < s->gainFloor ? s->gainFloor : estimate.gain[b];
        logGain[b] = fastLog(g);
    }
    // The root of the presence that says how far a bin may rise toward its OM-LSA gain is taken
    // per band and spread like the rest: 32 roots a frame instead of one per bin.
    float root[nn::kBands];
    for (int b = 0; b < nn::kBands; ++b) {
        const float p = estimate.presence[b] > 1e-6f ? estimate.presence[b] : 1e-6f;
        root[b] = fastExp(kNeuralPresenceRoot * fastLog(p));
    }
    const int covered = nn::toBins(estimate.presence, root, logGain, bins, n, rate, presence,
                                   presenceRoot, logBandGain);
    for (int k = covered; k < bins; ++k) {
        presence[k] = estimate.presence[nn::kBands - 1];
        presenceRoot[k] = root[nn::kBands - 1];
        logBandGain[k] = logGain[nn::kBands - 1];
    }
    alignas(16) float pointGain[kMaxBins];
    int end = 0;
    const int first = nn::pointsToBins(estimate.pointGain, bins, n, rate, pointGain, end);
    for (int k = first; k < end; ++k)
        logBandGain[k] = fastLog(pointGain[k] < s->gainFloor ? s->gainFloor : pointGain[k]);
    ++s->neuralFrames;
}

} // namespace

extern "C" {

VELDRA_API void Veldra_Init(void* block, int32_t sampleRate, uint8_t method, float limitDb,
                            float noiseRate, float musicalRate, const char* callerId) {
    (void)callerId; // accepted for interface compatibility; not interpreted
    if (block == nullptr)
        return;
    std::memset(block, 0, VELDRA_BLOCK_SIZE);
    State* s = static_cast<State*>(block);

    const int rate =
        sampleRate < kMinRate ? kMinRate : (sampleRate > kMaxRate ? kMaxRate : sampleRate);
    const int n = frameLengthFor(rate);
    const Layout l = layoutFor(static_cast<uint32_t>(n));

    s->sampleRate = static_cast<uint32_t>(rate);
    s->frameLength = static_cast<uint32_t>(n);
    s->frameStep = static_cast<uint32_t>(n / 2);
    s->delay = s->frameLength; // the overlap's half frame and the look-ahead's hop
    s->bins = static_cast<uint32_t>(n / 2 + 1);
    s->offWindow = l.window;
    s->offNoise = l.noise;
    s->offSpeechPrev = l.speechPrev;
    s->offPresence = l.presence;
    s->offZeta = l.zeta;
    s->offNeuralNoise = l.neuralNoise;
    s->offSpectrum = l.spectrum;
    s->offHeld = l.held;
    s->offHistory = l.history;
    s->offOverlap = l.overlap;
    s->offFft = l.fft;

    const float hopSeconds = static_cast<float>(s->frameStep) / static_cast<float>(rate);
    const float binHz = static_cast<float>(rate) / static_cast<float>(n);
    s->initFrames = static_cast<uint32_t>(std::lround(kNoiseInitSeconds / hopSeconds));
    if (s->initFrames < 1)
        s->initFrames = 1;
    s->hangoverFrames = static_cast<uint32_t>(std::lround(kVadHangoverSeconds / hopSeconds));
    s->vadLow = static_cast<uint32_t>(std::lround(kVadLowHz / binHz));
    s->vadHigh = static_cast<uint32_t>(std::lround(kVadHighHz / binHz));
    if (s->vadHigh > s->bins)
        s->vadHigh = s->bins;
    s->localHalf = static_cast<uint32_t>(std::lround(kLocalHalfWidthHz / binHz));
    if (s->localHalf < 1)
        s->localHalf = 1;
    s->globalHalf = static_cast<uint32_t>(std::lround(kGlobalHalfWidthHz / binHz));
    s->zetaPeak = kZetaPeakMin;
    s->vadFloor = kVadThreshold;

    float* window = at<float>(block, s->offWindow);
    for (int i = 0; i <= n / 2; ++i)
        window[i] = static_cast<float>(std::sin(M_PI * static_cast<double>(i) / n));
    float* noise = at<float>(block, s->offNoise);
    for (uint32_t k = 0; k < s->bins; ++k)
        noise[k] = kNoiseFloorPower;

    applyParameters(s, method, limitDb, noiseRate, musicalRate);
    if (!veldra::fft::makePlan(n, at<void>(block, s->offFft))) {
        // Cannot happen with the frame lengths above; leave a block that passes audio
        // through as silence rather than one that crashes.
        s->magic = 0;
        return;
    }
    s->magic = kMagic;
}

VELDRA_API void Veldra_Destroyed(void* block) {
    if (block != nullptr)
        std::memset(block, 0, VELDRA_BLOCK_SIZE);
}

VELDRA_API void Veldra_Reset(void* block, uint8_t method, float limitDb, float noiseRate,
                             float musicalRate) {
    State* s = stateOf(block);
    if (s == nullptr)
        return;
    applyParameters(s, method, limitDb, noiseRate, musicalRate);
}

VELDRA_API void Veldra_Frame(void* block, uint8_t selectClearSpeech, const int16_t* input) {
    State* s = stateOf(block);
    if (s == nullptr)
        return;

    const int step = static_cast<int>(s->frameStep);
    const int bins = static_cast<int>(s->bins);
    const float* window = at<float>(block, s->offWindow);
    int16_t* history = at<int16_t>(block, s->offHistory);
    float* noise = at<float>(block, s->offNoise);
    float* speechPrev = at<float>(block, s->offSpeechPrev);
    float* presence = at<float>(block, s->offPresence);
    float* zeta = at<float>(block, s->offZeta);
    const void* fftPlan = at<void>(block, s->offFft);

    // Analysis: previous half frame followed by the new samples, windowed.
    alignas(16) float frame[kMaxFrameLength];
    for (int i = 0; i < step; ++i)
        frame[i] = static_cast<float>(history[i]) * window[i];
    for (int j = 0; j < step; ++j) {
        const float x = input != nullptr ? static_cast<float>(input[j]) : 0.0f;
        frame[step + j] = x * window[step - j]; // the window is symmetric about n / 2
    }
    if (input != nullptr)
        std::memcpy(history, input, static_cast<size_t>(step) * sizeof(int16_t));
    else
        std::memset(history, 0, static_cast<size_t>(step) * sizeof(int16_t));
    // The two spectrum slots trade places every frame: the incoming frame goes into the one the
    // last Veldra_Restore synthesised and waits there for the next frame; the one held since the
    // last call becomes the spectrum Veldra_Equalizer and Veldra_Restore work on, and is cleaned
    // now. Method 3's network takes the incoming frame's features as its look-ahead.
    Complex* incoming = at<Complex>(block, s->offSpectrum);
    veldra::fft::forward(fftPlan, frame, incoming);
    std::swap(s->offSpectrum, s->offHeld);
    Complex* spectrum = at<Complex>(block, s->offSpectrum);

    namespace nn = veldra::neural;
    const bool neural = s->method == 3;
    alignas(16) float power[kMaxBins];
    float incomingFeature[nn::kFeatures];
    float incomingDensity[nn::kBands];
    float incomingPoint[nn::kPointFeatures];
    if (neural) {
        for (int k = 0; k < bins; ++k)
            power[k] = incoming[k].r * incoming[k].r + incoming[k].i * incoming[k].i;
        neuralFeatures(s, fftPlan, power, incomingFeature, incomingDensity);
        nn::pointFeatures(power, incomingDensity, bins, static_cast<int>(s->frameLength),
                          static_cast<int>(s->sampleRate), s->pointSmoothed, incomingPoint);
    }
    // The held frame's features, or, where the network was switched on mid-stream and never saw
    // it, the incoming frame's in their place.
    const bool heldKnown = s->heldFeatures != 0;
    const float* feature = heldKnown ? s->heldFeature : incomingFeature;
    const float* density = heldKnown ? s->heldDensity : incomingDensity;
    const float* point = heldKnown ? s->heldPoint : incomingPoint;
    const auto holdFeatures = [&] { // once the held frame's are used
        if (neural) {
            std::memcpy(s->heldFeature, incomingFeature, sizeof incomingFeature);
            std::memcpy(s->heldDensity, incomingDensity, sizeof incomingDensity);
            std::memcpy(s->heldPoint, incomingPoint, sizeof incomingPoint);
        }
        s->heldFeatures = neural ? 1 : 0;
    };
    if (!s->holding) {
        // The first frame of the stream: nothing to clean yet, the output starts with silence.
        holdFeatures();
        s->holding = 1;
        std::memset(spectrum, 0, static_cast<size_t>(bins) * sizeof(Complex));
        s->voiceActive = 0;
        s->selectClear = selectClearSpeech != 0 ? 1 : 0;
        s->framePending = 1;
        return;
    }

    for (int k = 0; k < bins; ++k)
        power[k] = spectrum[k].r * spectrum[k].r + spectrum[k].i * spectrum[k].i;

    // Noise power. The first frames are averaged plainly: recordings usually
    // start before the talker, and this gives a usable estimate at once. The
    // very first frame is half made of the silence before the stream began,
    // so the second replaces it instead of being averaged with it.
    if (s->framesSeen < s->initFrames) {
        const float w = 1.0f / static_cast<float>(s->framesSeen);
        for (int k = 0; k < bins; ++k) {
            const float v = noise[k] + (power[k] - noise[k]) * (s->framesSeen <= 1 ? 1.0f : w);
            noise[k] = v < kNoiseFloorPower ? kNoiseFloorPower : v;
        }
    } else {
        // The smoothing starts as a running mean and reaches the caller's
        // factor once as many frames have been seen as its time constant
        // spans; the few frames of the plain average alone leave single bins
        // far below their true level, where the tracker would hold them.
        const float ramp = 1.0f - 1.0f / static_cast<float>(s->framesSeen + 1);
        const float alpha = s->noiseAlpha < ramp ? s->noiseAlpha : ramp;
        const float slope = kPresenceSnr / (1.0f + kPresenceSnr);
        for (int k = 0; k < bins; ++k) {
            float gammaK = power[k] / noise[k];
            gammaK = gammaK > kSnrMax ? kSnrMax : gammaK;
            float post = 1.0f / (1.0f + (1.0f + kPresenceSnr) * fastExp(-gammaK * slope));
            const float smoothed =
                kStagnationSmoothing * presence[k] + (1.0f - kStagnationSmoothing) * post;
            presence[k] = smoothed;
            const float capped = post > kStagnationLimit ? kStagnationLimit : post;
            post = smoothed > kStagnationLimit ? capped : post;
            const float expected = (1.0f - post) * power[k] + post * noise[k];
            const float v = alpha * noise[k] + (1.0f - alpha) * expected;
            noise[k] = v < kNoiseFloorPower ? kNoiseFloorPower : v;
        }
    }
    ++s->framesSeen;

    // Method 3: the network's estimate for this frame, and its noise power per bin.
    veldra::neural::Estimate estimate;
    alignas(16) float bandPresence[kMaxBins]; // method 3: a-priori presence per bin
    alignas(16) float presenceRoot[kMaxBins]; // method 3: presence^kNeuralPresenceRoot per bin
    alignas(16) float bandGain[kMaxBins];     // method 3: ln of the band gain per bin
    alignas(16) float blendedNoise[kMaxBins]; // method 3: the noise the gain rules use
    if (neural)
        neuralStep(s, feature, density, incomingFeature, point, incomingPoint,
                   at<float>(block, s->offNeuralNoise), noise, estimate, blendedNoise, bandPresence,
                   presenceRoot, bandGain);
    const float* noiseUsed = neural && kNeuralNoiseShare > 0.0f ? blendedNoise : noise;

    // A-posteriori SNR, then the decision-directed a-priori SNR refined by a
    // second step.
    alignas(16) float xi[kMaxBins];
    alignas(16) float gammaPost[kMaxBins];
    const float beta = s->ddBeta;
    const float onsetBeta = beta < kOnsetSmoothing ? beta : kOnsetSmoothing;
    for (int k = 0; k < bins; ++k) {
        const float inv = 1.0f / (noiseUsed[k] * kNoiseOverestimate);
        float g = power[k] * inv;
        g = g > kSnrMax ? kSnrMax : g;
        gammaPost[k] = g;
        const float ml = g - 1.0f > 0.0f ? g - 1.0f : 0.0f;
        const float b = g > kOnsetSnr ? onsetBeta : beta;
        float x = b * speechPrev[k] * inv + (1.0f - b) * ml;
        x = x < kXiMin ? kXiMin : (x > kSnrMax ? kSnrMax : x);
        const float w = x / (1.0f + x);
        x = w * w * g;
        xi[k] = x < kXiMin ? kXiMin : x;
    }

    // Voice activity: the network's decision in method 3, else the mean log likelihood ratio
    // over the speech band; both with hangover.
    bool voicedNow = false; // this frame's own decision, before the hangover
    {
        float sum = 0.0f;
        const int lo = static_cast<int>(s->vadLow), hi = neural ? lo : static_cast<int>(s->vadHigh);
        for (int k = lo; k < hi; ++k)
            sum += gammaPost[k] * (xi[k] / (1.0f + xi[k])) - fastLog(1.0f + xi[k]);
        const float mean = hi > lo ? sum / static_cast<float>(hi - lo) : 0.0f;
        // Babble and other speech-like noise leave the ratio high even in
        // pauses, so the decision also asks for a margin over the ratio's own
        // recent floor (a minimum that drops at once and rises slowly).
        if (!neural) // method 3 decides without the ratio, and leaves its floor alone
            s->vadFloor =
                mean < s->vadFloor ? mean : s->vadFloor + (mean - s->vadFloor) * kVadFloorRise;
        const float threshold = kVadFloorMargin * s->vadFloor > kVadThreshold
                                    ? kVadFloorMargin * s->vadFloor
                                    : kVadThreshold;
        voicedNow = neural ? estimate.voice > kNeuralVoiceThreshold : mean > threshold;
        if (voicedNow) {
            s->hangoverLeft = s->hangoverFrames;
            s->voiceActive = 1;
        } else if (s->hangoverLeft > 0) {
            --s->hangoverLeft;
            s->voiceActive = 1;
        } else {
            s->voiceActive = 0;
        }
    }

    // Frame-level speech presence (Cohen's P_frame) from the recursively
    // smoothed a-priori SNR; a frame whose average is below kZetaMin holds no
    // speech at all, and every rule gives its bins exactly the floor so the
    // residual noise stays even instead of twinkling.
    alignas(16) float prefix[kMaxBins + 1];
    prefix[0] = 0.0f;
    for (int k = 0; k < bins; ++k) {
        zeta[k] = kZetaSmoothing * zeta[k] + (1.0f - kZetaSmoothing) * xi[k];
        prefix[k + 1] = prefix[k] + zeta[k];
    }
    const float zetaFrame = prefix[bins] / static_cast<float>(bins);
    const float invLogSpan = 1.0f / std::log(kZetaMax / kZetaMin);
    float frameP;
    if (zetaFrame > kZetaMin) {
        if (zetaFrame > s->zetaFramePrev) {
            frameP = 1.0f;
            s->zetaPeak = zetaFrame < kZetaPeakMin
                              ? kZetaPeakMin
                              : (zetaFrame > kZetaPeakMax ? kZetaPeakMax : zetaFrame);
        } else {
            frameP = presenceOf(zetaFrame, s->zetaPeak * kZetaMin, invLogSpan);
        }
    } else {
        frameP = 0.0f;
    }
    s->zetaFramePrev = zetaFrame;

    alignas(16) float gain[kMaxBins];
    const float floorGain = s->gainFloor;
    const float logFloor = s->logGainFloor;
    if (s->method == 0 || s->method == 1) {
        // 0: power spectral subtraction with over-subtraction (Berouti et al.
        // 1979), 1: Wiener; both written with the a-priori SNR, which keeps
        // the residual smooth.
        const float absent = frameP <= 0.0f ? 0.0f : 1.0f;
        for (int k = 0; k < bins; ++k) {
            const float wiener = xi[k] / (1.0f + xi[k]);
            float g;
            if (s->method == 0) {
                const float sub = 1.0f - kOverSubtraction / (1.0f + xi[k]);
                g = std::sqrt(sub > 0.0f ? sub : 0.0f);
            } else {
                g = wiener;
            }
            speechPrev[k] = wiener * wiener * power[k];
            g *= absent;
            gain[k] = g < floorGain ? floorGain : g;
        }
    } else if (neural) {
        // OM-LSA with the network's presence as the a-priori presence; each bin's gain then
        // starts from the band gain and moves part of the way toward the OM-LSA gain (see
        // kNeuralTowardLower), which keeps pauses and speech-like noise at the band's level.
        alignas(16) float absence[kMaxBins];
        alignas(16) float raise[kMaxBins]; // how far toward a higher OM-LSA gain
        const float voice = estimate.voice;
        for (int k = 0; k < bins; ++k) {
            const float presence = bandPresence[k] > 1e-6f ? bandPresence[k] : 1e-6f;
            const float q = 1.0f - presence;
            absence[k] = q > kNeuralAbsenceMax ? kNeuralAbsenceMax : q;
            raise[k] = voice * presenceRoot[k];
        }
        const float* logBand = bandGain; // neuralStep gives the band gain in ln units
        omlsaGains(
            bins, xi, gammaPost, power, absence,
            [&](int k, float p, float logGh1) {
                const float omlsa = p * logGh1 + (1.0f - p) * logFloor;
                const float toward = omlsa < logBand[k] ? kNeuralTowardLower : raise[k];
                return logBand[k] + toward * (omlsa - logBand[k]);
            },
            floorGain, speechPrev, gain);
    } else {
        // OM-LSA. The a-priori absence probability q comes from the smoothed
        // a-priori SNR averaged locally, globally and over the frame.
        alignas(16) float absence[kMaxBins];
        alignas(16) float nearSpeech[kMaxBins]; // presence from the wide average, per bin
        if (frameP <= 0.0f) {
            for (int k = 0; k < bins; ++k)
                absence[k] = 1.0f;
        } else {
            alignas(16) float local[kMaxBins];
            alignas(16) float global[kMaxBins];
            windowMeans(prefix, bins, static_cast<int>(s->localHalf), local);
            windowMeans(prefix, bins, static_cast<int>(s->globalHalf), global);
            for (int k = 0; k < bins; ++k) {
                nearSpeech[k] = presenceOf(global[k], kZetaMin, invLogSpan);
                const float q =
                    1.0f - presenceOf(local[k], kZetaMin, invLogSpan) * nearSpeech[k] * frameP;
                absence[k] = q > kAbsenceMax ? kAbsenceMax : q;
            }
        }

        float buriedLift = 0.0f; // how far the floor of bins near speech rises, in ln units
        if (voicedNow && frameP > 0.0f && zetaFrame < kBuriedZetaHigh) {
            const float buried = kBuriedFloorDb * (std::log(10.0f) / 20.0f);
            if (buried > logFloor) {
                const float w = zetaFrame > kBuriedZetaLow
                                    ? std::log(kBuriedZetaHigh / zetaFrame) /
                                          std::log(kBuriedZetaHigh / kBuriedZetaLow)
                                    : 1.0f;
                buriedLift = w * frameP * (buried - logFloor);
            }
        }
        omlsaGains(
            bins, xi, gammaPost, power, absence,
            [&](int k, float p, float logGh1) {
                const float floorK =
                    buriedLift > 0.0f ? logFloor + buriedLift * nearSpeech[k] : logFloor;
                return p * logGh1 + (1.0f - p) * floorK;
            },
            floorGain, speechPrev, gain);
    }

    // Speech (clear) or what was removed (background): the two add up to the input.
    const bool clear = selectClearSpeech != 0;
    for (int k = 0; k < bins; ++k) {
        const float g = clear ? gain[k] : 1.0f - gain[k];
        spectrum[k].r *= g;
        spectrum[k].i *= g;
    }
    s->selectClear = clear ? 1 : 0;
    s->framePending = 1;
    holdFeatures();
}

VELDRA_API void Veldra_Equalizer(void* block, int32_t pointCount, const float* gains) {
    State* s = stateOf(block);
    if (s == nullptr || !s->framePending || pointCount <= 0 || gains == nullptr)
        return;
    Complex* spectrum = at<Complex>(block, s->offSpectrum);
    const int bins = static_cast<int>(s->bins);
    auto point = [&](int i) {
        const float g = gains[i];
        if (std::isnan(g))
            return 1.0f;
        return g < 0.0f ? 0.0f : (g > kMaxEqGain ? kMaxEqGain : g);
    };
    // Point i stands for i / (pointCount - 1) of half the sample rate; bins
    // between two points get the linear interpolation of the two.
    const float scale =
        pointCount > 1 ? static_cast<float>(pointCount - 1) / static_cast<float>(bins - 1) : 0.0f;
    for (int k = 0; k < bins; ++k) {
        const float pos = static_cast<float>(k) * scale;
        int i = static_cast<int>(pos);
        if (i > pointCount - 1)
            i = pointCount - 1;
        const int j = i + 1 < pointCount ? i + 1 : i;
        const float f = pos - static_cast<float>(i);
        const float g = point(i) + (point(j) - point(i)) * f;
        spectrum[k].r *= g;
        spectrum[k].i *= g;
    }
}

VELDRA_API void Veldra_Restore(void* block, int16_t* output) {
    State* s = stateOf(block);
    if (s == nullptr)
        return;

    const int n = static_cast<int>(s->frameLength);
    const int step = static_cast<int>(s->frameStep);
    const float* window = at<float>(block, s->offWindow);
    float* overlap = at<float>(block, s->offOverlap);

    // Without a pending frame the synthesis continues with a silent frame.
    alignas(16) float frame[kMaxFrameLength];
    if (s->framePending)
        veldra::fft::inverse(at<void>(block, s->offFft), at<Complex>(block, s->offSpectrum), frame);
    else
        std::memset(frame, 0, static_cast<size_t>(n) * sizeof(float));
    s->framePending = 0;

    const float scale = 1.0f / static_cast<float>(n); // the inverse transform is unnormalised
    if (output != nullptr) {
        for (int i = 0; i < step; ++i) {
            float y = overlap[i] + frame[i] * window[i] * scale;
            y = y > 32767.0f ? 32767.0f : (y < -32768.0f ? -32768.0f : y);
            // Round half away from zero; a plain conversion keeps the loop vectorised.
            output[i] = static_cast<int16_t>(static_cast<int32_t>(y + (y < 0.0f ? -0.5f : 0.5f)));
        }
    }
    for (int i = 0; i < step; ++i)
        overlap[i] = frame[step + i] * window[step - i] * scale;
}

} // extern "C"
