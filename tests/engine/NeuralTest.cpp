// Method 3: the C inference against the training framework's own output on committed golden
// vectors, and the method's behaviour through the engine's C interface at every rate.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdio>
#include <vector>

#include "engine/NeuralNet.h"
#include "engine/NeuralWeights.h"
#include "tests/engine/EngineHarness.h"

using namespace enginetest;
namespace nn = veldra::neural;

namespace {

// A golden frame holds the band and frame features, then the point features; its outputs the
// band and frame outputs, then the point gains.
constexpr int kGoldenFeatures = nn::kFeatures + nn::kPointFeatures;
constexpr int kGoldenOutputs = nn::kOutputs + nn::kPoints;

struct GoldenCase {
    int rate = 0;
    int frames = 0;
    std::vector<int16_t> input;
    std::vector<float> features; // [frames][kGoldenFeatures]
    std::vector<float> outputs;  // [frames][kGoldenOutputs]
};

std::vector<GoldenCase> readGolden() {
    std::vector<GoldenCase> cases;
    FILE* f = std::fopen(SILVANE_ENGINE_TEST_DATA "/neural-golden.bin", "rb");
    if (f == nullptr)
        return cases;
    char magic[4];
    if (std::fread(magic, 1, 4, f) != 4 || std::memcmp(magic, "VNG2", 4) != 0) {
        std::fclose(f);
        return cases;
    }
    for (;;) {
        int32_t head[3] = {0, 0, 0};
        if (std::fread(head, 4, 1, f) != 1 || head[0] == 0)
            break;
        if (std::fread(head + 1, 4, 2, f) != 2)
            break;
        GoldenCase c;
        c.rate = head[0];
        c.frames = head[1];
        c.input.resize(static_cast<size_t>(head[2]));
        c.features.resize(static_cast<size_t>(c.frames) * kGoldenFeatures);
        c.outputs.resize(static_cast<size_t>(c.frames) * kGoldenOutputs);
        if (std::fread(c.input.data(), 2, c.input.size(), f) != c.input.size() ||
            std::fread(c.features.data(), 4, c.features.size(), f) != c.features.size() ||
            std::fread(c.outputs.data(), 4, c.outputs.size(), f) != c.outputs.size())
            break;
        cases.push_back(std::move(c));
    }
    std::fclose(f);
    return cases;
}

// Power spectrum of frame t the way the engine frames its input (square-root Hann window, hop
// of half a frame, zeros before the stream), by a plain DFT in double precision.
std::vector<float> framePower(const std::vector<int16_t>& x, int n, int t) {
    const int h = n / 2;
    std::vector<double> frame(static_cast<size_t>(n));
    for (int i = 0; i < n; ++i) {
        const long pos = static_cast<long>(t - 1) * h + i;
        const double v =
            pos >= 0 && pos < static_cast<long>(x.size()) ? x[static_cast<size_t>(pos)] : 0.0;
        frame[static_cast<size_t>(i)] = v * std::sin(M_PI * i / n);
    }
    std::vector<float> p(static_cast<size_t>(n / 2 + 1));
    for (int k = 0; k <= n / 2; ++k) {
        std::complex<double> acc = 0.0;
        const double w = -2.0 * M_PI * k / n;
        for (int i = 0; i < n; ++i)
            acc += frame[static_cast<size_t>(i)] * std::polar(1.0, w * i);
        p[static_cast<size_t>(k)] = static_cast<float>(std::norm(acc));
    }
    return p;
}

// The frame's autocorrelation as the engine hands it to the features: the unscaled inverse real
// transform of the power spectrum, lags 0 .. n / 2, by plain cosine sums in double precision.
std::vector<float> frameCorrelation(const std::vector<float>& power, int n) {
    std::vector<float> r(static_cast<size_t>(n / 2 + 1));
    for (int t = 0; t <= n / 2; ++t) {
        double acc = power[0] + (t % 2 ? -1.0 : 1.0) * power[static_cast<size_t>(n / 2)];
        for (int k = 1; k < n / 2; ++k)
            acc += 2.0 * power[static_cast<size_t>(k)] * std::cos(2.0 * M_PI * k * t / n);
        r[static_cast<size_t>(t)] = static_cast<float>(acc);
    }
    return r;
}

int frameLengthOf(int rate) {
    Channel ch(rate);
    return ch.frameLength();
}

} // namespace

// Features: within 2e-3 (they are logarithms of band powers; the engine's own logarithm is an
// approximation good to 1e-5, and float sums differ in order); the smoothed point ratios are
// checked from the golden value of the frame before. Network: every output of every frame,
// the point gains included, within 2e-3 of PyTorch's, with the recurrent state carried through
// the whole case, so a transposed matrix, a swapped gate, a convolution tap out of place or a
// wrong bias cannot pass.
TEST(NeuralGolden, FeaturesAndOutputsMatchTheTrainingFramework) {
    // The compiled-in weights file holds exactly what the layers read: one written from another
    // checkpoint, or cut short, stops here.
    ASSERT_EQ(nn::embeddedWeightCount(), nn::kWeightCount);
    const auto cases = readGolden();
    ASSERT_FALSE(cases.empty()) << "golden vectors missing: run train/export.py";
    for (const auto& c : cases) {
        SCOPED_TRACE("rate " + std::to_string(c.rate));
        const int n = frameLengthOf(c.rate);
        ASSERT_EQ(c.frames, static_cast<int>(c.input.size()) / (n / 2));
        double worstFeature = 0.0, worstOutput = 0.0;
        nn::Recurrent state{};
        for (int t = 0; t < c.frames; ++t) {
            if (t < 6 || t % 4 == 0) { // the DFT is slow at 48 kHz; a sample of frames suffices
                const auto p = framePower(c.input, n, t);
                const auto r = frameCorrelation(p, n);
                float feat[kGoldenFeatures], density[nn::kBands];
                nn::features(p.data(), r.data(), n / 2 + 1, n, c.rate, feat, density);
                float smoothed[nn::kPoints] = {};
                if (t > 0)
                    for (int i = 0; i < nn::kPoints; ++i)
                        smoothed[i] = c.features[size_t(t - 1) * kGoldenFeatures + nn::kFeatures +
                                                 nn::kPoints + i];
                nn::pointFeatures(p.data(), density, n / 2 + 1, n, c.rate, smoothed,
                                  feat + nn::kFeatures);
                for (int i = 0; i < kGoldenFeatures; ++i)
                    worstFeature = std::max(
                        worstFeature,
                        std::fabs(double(feat[i]) - c.features[size_t(t) * kGoldenFeatures + i]));
            }
            // The network looks one frame ahead; the last frame, with none after it, repeats its
            // own features.
            const int next = t + 1 < c.frames ? t + 1 : t;
            nn::Estimate e;
            const float* here = &c.features[size_t(t) * kGoldenFeatures];
            const float* ahead = &c.features[size_t(next) * kGoldenFeatures];
            nn::infer(state, here, ahead, here + nn::kFeatures, ahead + nn::kFeatures, e);
            const float* want = &c.outputs[size_t(t) * kGoldenOutputs];
            for (int b = 0; b < nn::kBands; ++b) {
                worstOutput = std::max(worstOutput, std::fabs(double(e.gain[b]) - want[b]));
                worstOutput =
                    std::max(worstOutput, std::fabs(double(e.presence[b]) - want[nn::kBands + b]));
                worstOutput =
                    std::max(worstOutput, std::fabs(double(e.noise[b]) - want[2 * nn::kBands + b]));
            }
            worstOutput = std::max(worstOutput, std::fabs(double(e.voice) - want[3 * nn::kBands]));
            for (int i = 0; i < nn::kPoints; ++i)
                worstOutput = std::max(worstOutput,
                                       std::fabs(double(e.pointGain[i]) - want[nn::kOutputs + i]));
        }
        EXPECT_LT(worstFeature, 2e-3);
        EXPECT_LT(worstOutput, 2e-3);
    }
}

TEST(NeuralGolden, BandsCoverEveryBinUpTo8kHzWithWeightsSummingToOne) {
    for (int rate : kRates) {
        const int n = frameLengthOf(rate);
        const int bins = n / 2 + 1;
        std::vector<float> ones(nn::kBands, 1.0f), perBin(static_cast<size_t>(bins), -1.0f);
        const int covered = nn::toBins(ones.data(), bins, n, rate, perBin.data());
        const int expected = std::min(bins, static_cast<int>(std::floor(8000.0 * n / rate)) + 1);
        EXPECT_EQ(covered, expected) << rate;
        for (int k = 0; k < covered; ++k)
            EXPECT_NEAR(perBin[size_t(k)], 1.0f, 1e-6f) << rate << " bin " << k;
    }
}

// Each band's output reaches the bins as the triangle the features are weighted with: 1 at its
// own point, falling linearly to 0 at both neighbours' points, nothing beyond them.
TEST(NeuralGolden, EachBandSpreadsToTheBinsAsItsTriangle) {
    for (int rate : kRates) {
        const int n = frameLengthOf(rate);
        const int bins = n / 2 + 1;
        std::vector<float> perBin(static_cast<size_t>(bins));
        for (int b = 0; b < nn::kBands; ++b) {
            std::vector<float> unit(nn::kBands, 0.0f);
            unit[size_t(b)] = 1.0f;
            const int covered = nn::toBins(unit.data(), bins, n, rate, perBin.data());
            // The three-way spreading gives each set the same bins.
            std::vector<float> zero(nn::kBands, 0.0f), a(perBin.size()), c(perBin.size()),
                d(perBin.size());
            ASSERT_EQ(nn::toBins(zero.data(), unit.data(), unit.data(), bins, n, rate, a.data(),
                                 c.data(), d.data()),
                      covered);
            for (int k = 0; k < covered; ++k) {
                ASSERT_EQ(a[size_t(k)], 0.0f);
                ASSERT_EQ(c[size_t(k)], perBin[size_t(k)]);
                ASSERT_EQ(d[size_t(k)], perBin[size_t(k)]);
            }
            for (int k = 0; k < covered; ++k) {
                const double f = double(k) * rate / n;
                double want = 0.0;
                if (b > 0 && f > nn::kBandHz[b - 1] && f <= nn::kBandHz[b])
                    want = (f - nn::kBandHz[b - 1]) / (nn::kBandHz[b] - nn::kBandHz[b - 1]);
                else if (b + 1 < nn::kBands && f >= nn::kBandHz[b] && f <= nn::kBandHz[b + 1])
                    want = (nn::kBandHz[b + 1] - f) / (nn::kBandHz[b + 1] - nn::kBandHz[b]);
                else if (b + 1 == nn::kBands && f == nn::kBandHz[b])
                    want = 1.0;
                ASSERT_NEAR(perBin[size_t(k)], want, 1e-5) << rate << " band " << b << " bin " << k;
            }
        }
    }
}

// The gains at the points below 1 kHz reach the bins between the first point and the last by
// linear interpolation at every rate (the points fall on bins at 8 and 16 kHz, between them
// elsewhere): values linear in frequency come back exactly, and no bin outside is written.
TEST(NeuralGolden, PointsReachTheBinsBetweenTheFirstAndLastPointByLinearInterpolation) {
    std::vector<float> point(nn::kPoints);
    for (int p = 0; p < nn::kPoints; ++p)
        point[size_t(p)] = 0.25f + 0.5f * (p + 1) * nn::kPointHz / 1000.0f;
    for (int rate : kRates) {
        const int n = frameLengthOf(rate);
        const int bins = n / 2 + 1;
        const double binHz = double(rate) / n;
        std::vector<float> perBin(static_cast<size_t>(bins), -1.0f);
        int end = 0;
        const int first = nn::pointsToBins(point.data(), bins, n, rate, perBin.data(), end);
        EXPECT_GE(first * binHz, nn::kPointHz) << rate;
        EXPECT_LT((first - 1) * binHz, nn::kPointHz) << rate;
        EXPECT_LE((end - 1) * binHz, nn::kPoints * nn::kPointHz) << rate;
        EXPECT_GT(end * binHz, nn::kPoints * nn::kPointHz) << rate;
        for (int k = 0; k < bins; ++k) {
            if (k < first || k >= end) {
                EXPECT_EQ(perBin[size_t(k)], -1.0f) << rate << " bin " << k;
                continue;
            }
            EXPECT_NEAR(perBin[size_t(k)], 0.25 + 0.5 * k * binHz / 1000.0, 1e-5)
                << rate << " bin " << k;
        }
    }
}

// The point features of a steady tone on a quiet floor: a peak at the point of the tone against
// its band, lower ratios at the points beside it, and the smoothed ratio settling on the ratio.
TEST(NeuralFeatures, PointsMarkATonePeakAndTheSmoothedRatioSettlesOnIt) {
    for (int rate : {8000, 16000, 32000}) { // where the points fall on bins
        SCOPED_TRACE("rate " + std::to_string(rate));
        const int n = frameLengthOf(rate);
        std::vector<int16_t> x(static_cast<size_t>(3 * n));
        for (size_t i = 0; i < x.size(); ++i)
            x[i] = static_cast<int16_t>(std::lround(
                8000.0 * std::sin(2.0 * M_PI * 500.0 * i / rate) + (i * 7919 % 101) - 50.0));
        const auto p = framePower(x, n, 2);
        const auto r = frameCorrelation(p, n);
        float feat[nn::kFeatures], density[nn::kBands], point[nn::kPointFeatures];
        nn::features(p.data(), r.data(), n / 2 + 1, n, rate, feat, density);
        float smoothed[nn::kPoints] = {};
        constexpr int kTone = 15; // (15 + 1) x 31.25 Hz = 500 Hz
        for (int t = 0; t < 150; ++t)
            nn::pointFeatures(p.data(), density, n / 2 + 1, n, rate, smoothed, point);
        EXPECT_EQ(std::max_element(point, point + nn::kPoints) - point, kTone);
        EXPECT_GT(point[kTone], 0.1f);
        for (int q : {kTone - 2, kTone + 2}) // between the tone and its neighbour's band points
            EXPECT_LT(point[q], point[kTone] - 0.3f) << q;
        for (int q = 0; q < nn::kPoints; ++q)
            EXPECT_NEAR(point[nn::kPoints + q], point[q], 1e-3f + 1e-3f * std::fabs(point[q])) << q;
    }
}

// The periodicity features at every rate: a voice's harmonics give a period that is its own or a
// whole multiple of it (a lag is a whole number of samples, and where the voice's period falls
// between two a multiple may fit better), a high frame periodicity and bands that repeat with
// that period; white noise gives neither.
TEST(NeuralFeatures, PeriodicityFindsTheVoiceAndNotTheNoise) {
    const auto pitchOf = [](const float* f) {
        return nn::kPitchLowHz * std::exp2(f[3 * nn::kBands + 1] * nn::kPitchOctaves);
    };
    // Mean band periodicity over the bands from 300 to 3000 Hz.
    const auto voicedBands = [](const float* f) {
        double sum = 0.0;
        int count = 0;
        for (int b = 0; b < nn::kBands; ++b)
            if (nn::kBandHz[b] >= 300.0f && nn::kBandHz[b] <= 3000.0f) {
                sum += f[2 * nn::kBands + b];
                ++count;
            }
        return sum / count;
    };
    for (int rate : kRates) {
        const int n = frameLengthOf(rate);
        const int t = 8; // a frame well inside the signal
        for (double f0 : {110.0, 210.0}) {
            SCOPED_TRACE(std::to_string(rate) + " Hz, f0 " + std::to_string(f0));
            std::vector<int16_t> x(static_cast<size_t>(n) * 6);
            uint32_t seed = 12345u;
            for (size_t i = 0; i < x.size(); ++i) {
                double v = 0.0;
                for (int h = 1; h * f0 < std::min(3500.0, rate / 2.0); ++h)
                    v += std::sin(2.0 * M_PI * h * f0 * double(i) / rate) / h;
                seed = seed * 1664525u + 1013904223u;
                v = 4000.0 * v + 100.0 * (double(seed >> 8) / double(1u << 24) - 0.5);
                x[i] = static_cast<int16_t>(std::lround(v));
            }
            const auto p = framePower(x, n, t);
            const auto r = frameCorrelation(p, n);
            float f[nn::kFeatures], density[nn::kBands];
            nn::features(p.data(), r.data(), n / 2 + 1, n, rate, f, density);
            const double lag = rate / pitchOf(f), period = rate / f0;
            const double multiple = std::round(lag / period);
            EXPECT_GE(multiple, 1.0);
            EXPECT_LE(multiple, 3.0);
            EXPECT_NEAR(lag, multiple * period, 1.01);
            EXPECT_GT(f[3 * nn::kBands], 0.8f);
            EXPECT_GT(voicedBands(f), 0.25);
            for (int b = 0; b < nn::kBands; ++b) {
                EXPECT_GE(f[2 * nn::kBands + b], -1.0f);
                EXPECT_LE(f[2 * nn::kBands + b], 1.0f);
                if (nn::kBandHz[b] > rate / 2.0f + 1000.0f) { // no bin in the band
                    EXPECT_EQ(f[2 * nn::kBands + b], 0.0f);
                }
            }
        }
        // White noise, over eight frames (one frame's largest correlation among some hundreds of
        // lags is itself a random number).
        SCOPED_TRACE(std::to_string(rate) + " Hz, white noise");
        std::vector<int16_t> x(static_cast<size_t>(n) * 7);
        uint32_t seed = 777u;
        for (auto& v : x) {
            seed = seed * 1664525u + 1013904223u;
            v = static_cast<int16_t>(
                std::lround(3000.0 * (double(seed >> 8) / double(1u << 24) - 0.5)));
        }
        double rho = 0.0, bands = 0.0;
        for (int frame = 4; frame < 12; ++frame) {
            const auto p = framePower(x, n, frame);
            const auto r = frameCorrelation(p, n);
            float f[nn::kFeatures], density[nn::kBands];
            nn::features(p.data(), r.data(), n / 2 + 1, n, rate, f, density);
            rho += f[3 * nn::kBands] / 8.0;
            bands += voicedBands(f) / 8.0;
        }
        EXPECT_LT(rho, 0.35);
        EXPECT_LT(std::fabs(bands), 0.15);
    }
}

// ---- method 3 through the engine's interface ----

namespace {

// A voiced, syllabic test talker: harmonics of a gliding pitch under a 3 Hz envelope, with
// pauses, so speech and noise-only stretches alternate.
std::vector<double> talker(size_t n, int rate, double amp) {
    std::vector<double> v(n);
    double phase = 0.0;
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double f0 = 120.0 + 30.0 * std::sin(2.0 * M_PI * 0.5 * t);
        phase += 2.0 * M_PI * f0 / rate;
        double s = 0.0;
        for (int h = 1; h * f0 < std::min(4000.0, rate / 2.0); ++h)
            s += std::sin(h * phase) / h;
        const double env = std::max(0.0, std::sin(2.0 * M_PI * 1.5 * t));
        v[i] = amp * s * env * env * (std::fmod(t, 2.0) < 1.4 ? 1.0 : 0.0);
    }
    return v;
}

Settings neuralSettings(float limitDb = -18.0f) {
    Settings s;
    s.method = 3;
    s.limitDb = limitDb;
    return s;
}

} // namespace

TEST(Neural, RunsAtEveryRateAlignedFiniteAndWithinTheLimit) {
    for (int rate : kRates) {
        SCOPED_TRACE(rate);
        const size_t n = static_cast<size_t>(rate) * 3;
        const auto noise = whiteNoise(n, 800.0, 3);
        const auto in = mix(talker(n, rate, 3000.0), noise);
        Channel ch(rate, neuralSettings());
        EXPECT_EQ(ch.frameStep(), ch.frameLength() / 2);
        const auto out = ch.process(in);
        ASSERT_EQ(out.size(), in.size());
        // Noise-only input: the output never falls below the limit of the input, only to it.
        Channel quiet(rate, neuralSettings(-18.0f));
        const auto outNoise = quiet.process(noise);
        const double att = dB(power(outNoise, n / 2, n) / power(noise, n / 2, n));
        EXPECT_LT(att, -12.0);
        EXPECT_GT(att, -18.5);
        // Aligned: the speech keeps its place (correlation with the input peaks at lag 0).
        double best = -1e300;
        int bestLag = 0;
        for (int lag = -40; lag <= 40; ++lag) {
            double c = 0.0;
            for (size_t i = 2000; i + 2000 < n; ++i)
                c += double(out[i]) * in[size_t(long(i) + lag)];
            if (c > best)
                best = c, bestLag = lag;
        }
        EXPECT_EQ(bestLag, 0);
    }
}

TEST(Neural, BackgroundOutputIsExactlyWhatWasRemoved) {
    for (int rate : {8000, 16000, 44100}) {
        SCOPED_TRACE(rate);
        const size_t n = static_cast<size_t>(rate) * 2;
        const auto in = mix(talker(n, rate, 3000.0), whiteNoise(n, 600.0, 4));
        Channel clear(rate, neuralSettings());
        Settings bg = neuralSettings();
        bg.clear = 0;
        Channel background(rate, bg);
        const auto a = clear.process(in);
        const auto b = background.process(in);
        int worst = 0;
        for (size_t i = 0; i < n; ++i)
            worst = std::max(worst, std::abs(int(a[i]) + int(b[i]) - int(in[i])));
        EXPECT_LE(worst, 1); // each output is rounded to 16 bits once
    }
}

TEST(Neural, DeeperLimitGivesDeeperPausesAndTheLimitIsNeverUndercut) {
    const int rate = 16000;
    const size_t n = static_cast<size_t>(rate) * 3;
    const auto noise = whiteNoise(n, 1000.0, 5);
    for (float limit : {-6.0f, -18.0f, -30.0f}) {
        Channel ch(rate, neuralSettings(limit));
        const auto out = ch.process(noise);
        const double att = dB(power(out, n / 3, n) / power(noise, n / 3, n));
        EXPECT_GT(att, limit - 0.5) << limit;
        EXPECT_LT(att, limit + 6.0) << limit;
    }
}

TEST(Neural, SwitchingMethodsMidStreamHasNoClick) {
    const int rate = 16000;
    const size_t n = static_cast<size_t>(rate) * 4;
    const auto in = mix(talker(n, rate, 4000.0), whiteNoise(n, 50.0, 6));
    for (uint8_t from : {uint8_t(2), uint8_t(3)}) {
        const uint8_t to = from == 2 ? 3 : 2;
        Channel ch(rate, neuralSettings());
        ch.settings().method = from;
        const int s = ch.frameStep();
        std::vector<int16_t> out(n / s * s);
        for (size_t pos = 0; pos + s <= n; pos += s) {
            if (pos >= n / 2)
                ch.settings().method = to;
            ch.step(&in[pos], &out[pos]);
        }
        // No sample-to-sample step in the output larger than the input's own largest step.
        int inStep = 0, outStep = 0;
        for (size_t i = 1; i < out.size(); ++i) {
            inStep = std::max(inStep, std::abs(int(in[i]) - int(in[i - 1])));
            outStep = std::max(outStep, std::abs(int(out[i]) - int(out[i - 1])));
        }
        EXPECT_LE(outStep, inStep) << int(from) << " -> " << int(to);
    }
}

// How far ahead each method looks. The input changes from sample x on (a burst over the talker);
// with the delay taken out, every method's output stays the same up to two hops before x (a
// frame covers two hops and its output starts a hop before its centre), and only method 3,
// whose network decides a frame's gains from the next frame's features as well, changes
// already in the hop before that.
TEST(Neural, OnlyTheNetworkLooksOneHopAhead) {
    const int rate = 16000;
    const size_t n = static_cast<size_t>(rate) * 2;
    const auto base = mix(talker(n, rate, 3000.0), whiteNoise(n, 400.0, 61));
    for (uint8_t method : {uint8_t(0), uint8_t(1), uint8_t(2), uint8_t(3)}) {
        SCOPED_TRACE(int(method));
        Settings settings = neuralSettings();
        settings.method = method;
        Channel a(rate, settings), b(rate, settings);
        const size_t s = static_cast<size_t>(a.frameStep());
        const size_t hop = 14, x = hop * s + s / 3; // inside the talker's first syllable
        auto changed = base;
        for (size_t i = x; i < n; ++i)
            changed[i] = static_cast<int16_t>(std::clamp(changed[i] * 4, -32768, 32767));
        const auto outA = a.process(base);
        const auto outB = b.process(changed);
        size_t first = n;
        for (size_t i = 0; i < n && first == n; ++i)
            if (outA[i] != outB[i])
                first = i;
        ASSERT_LT(first, n);
        // x lies a third into its hop: the first frame holding it starts a hop earlier, and so
        // does its output; the frame before that sees x's hop only as its look-ahead.
        const size_t reach = (method == 3 ? hop - 2 : hop - 1) * s;
        EXPECT_GE(first, reach);
        EXPECT_LT(first, reach + s);
    }
}

// All of the network's state lives in the block: two channels interleaved give what two separate
// runs give, and a block copied elsewhere mid-stream goes on exactly as the original.
TEST(Neural, StateLivesInTheBlockOnly) {
    const int rate = 16000;
    const size_t n = 256 * 80;
    const auto left = mix(talker(n, rate, 3000.0), whiteNoise(n, 700.0, 41));
    const auto right = whiteNoise(n, 500.0, 42);
    Channel l1(rate, neuralSettings()), r1(rate, neuralSettings());
    const auto el = l1.stream(left);
    const auto er = r1.stream(right);
    Channel l2(rate, neuralSettings()), r2(rate, neuralSettings());
    const int s = l2.frameStep();
    std::vector<int16_t> ol(el.size()), orr(er.size());
    for (size_t pos = 0; pos + s <= n; pos += s) {
        l2.step(&left[pos], &ol[pos]);
        r2.step(&right[pos], &orr[pos]);
    }
    EXPECT_EQ(ol, el);
    EXPECT_EQ(orr, er);

    Channel a(rate, neuralSettings()), b(rate, neuralSettings());
    std::vector<int16_t> oa(n), ob(n);
    for (size_t pos = 0; pos + s <= n; pos += s) {
        a.step(&left[pos], &oa[pos]);
        if (pos == n / 2 / s * s)
            std::memcpy(b.block(), a.block(), VELDRA_BLOCK_SIZE);
        if (pos > n / 2 / s * s)
            b.step(&left[pos], &ob[pos]);
    }
    EXPECT_TRUE(std::equal(oa.begin() + n / 2 + s, oa.end(), ob.begin() + n / 2 + s));
}

// The equalizer shapes method 3's cleaned spectrum like any other method's: the same input with
// the upper half of the points at zero loses everything above 4 kHz and keeps the rest as it was.
TEST(Neural, EqualizerShapesTheCleanedSpectrum) {
    const int rate = 16000;
    const size_t n = static_cast<size_t>(rate) * 2;
    const auto in = mix(talker(n, rate, 3000.0), whiteNoise(n, 300.0, 51));
    std::vector<float> eq(100, 1.0f);
    for (size_t i = 50; i < eq.size(); ++i)
        eq[i] = 0.0f;
    Channel plain(rate, neuralSettings()), shaped(rate, neuralSettings());
    const int s = plain.frameStep();
    std::vector<int16_t> a(n), b(n);
    for (size_t pos = 0; pos + s <= n; pos += s) {
        plain.step(&in[pos], &a[pos]);
        shaped.step(&in[pos], &b[pos], &eq);
    }
    // Above 4 kHz: the shaped output holds (almost) nothing; below: the same as the plain one.
    double hiA = 0, hiB = 0, loDiff = 0, loA = 0;
    for (double f = 4500; f < 7500; f += 250) {
        hiA += toneAmplitude(a, n / 4, n, f, rate);
        hiB += toneAmplitude(b, n / 4, n, f, rate);
    }
    for (double f = 250; f < 3500; f += 125) {
        const double x = toneAmplitude(a, n / 4, n, f, rate),
                     y = toneAmplitude(b, n / 4, n, f, rate);
        loA += x;
        loDiff += std::fabs(x - y);
    }
    EXPECT_LT(hiB, 0.05 * hiA);
    EXPECT_LT(loDiff, 0.05 * loA);
}
