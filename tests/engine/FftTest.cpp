// The engine's real transforms against the definition, computed directly in double precision,
// at every length the engine uses and at the shortest and longest a plan accepts.

#include "engine/RealFft.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

namespace {

using veldra::fft::Complex;

struct Plan {
    explicit Plan(int n) : memory(veldra::fft::planBytes(n) / sizeof(double) + 1) {
        ok = veldra::fft::makePlan(n, memory.data());
    }
    const void* get() const { return memory.data(); }
    std::vector<double> memory; // aligned for floats
    bool ok = false;
};

constexpr int kLengths[] = {16, 32, 256, 512, 1024, 2048};

double rms(const std::vector<float>& x) {
    double s = 0.0;
    for (float v : x)
        s += static_cast<double>(v) * v;
    return std::sqrt(s / static_cast<double>(x.size()));
}

TEST(RealFft, ForwardIsTheDiscreteFourierTransform) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> u(-1.0f, 1.0f);
    for (int n : kLengths) {
        const Plan plan(n);
        ASSERT_TRUE(plan.ok) << n;
        std::vector<float> x(n);
        for (float& v : x)
            v = u(rng);
        x[3] = 20.0f; // a peak, so large and small bins both occur
        std::vector<Complex> X(n / 2 + 1);
        veldra::fft::forward(plan.get(), x.data(), X.data());
        // Rounding grows with log2 N in each bin's sum of N terms of size rms(x).
        const double tolerance = 2e-7 * std::log2(n) * std::sqrt(n) * rms(x);
        double worst = 0.0;
        for (int k = 0; k <= n / 2; ++k) {
            double re = 0.0, im = 0.0;
            for (int t = 0; t < n; ++t) {
                const double a = -2.0 * M_PI * static_cast<double>(k) * t / n;
                re += x[t] * std::cos(a);
                im += x[t] * std::sin(a);
            }
            worst = std::max(worst, std::hypot(X[k].r - re, X[k].i - im));
        }
        EXPECT_LT(worst, tolerance) << "N = " << n;
        EXPECT_EQ(X[0].i, 0.0f);
        EXPECT_EQ(X[n / 2].i, 0.0f);
    }
}

TEST(RealFft, InverseIsTheUnnormalisedSumOverTheHermitianSpectrum) {
    std::mt19937 rng(11);
    std::normal_distribution<float> g(0.0f, 1.0f);
    for (int n : kLengths) {
        const Plan plan(n);
        const int m = n / 2;
        std::vector<Complex> X(m + 1);
        for (Complex& c : X)
            c = Complex{g(rng), g(rng)};
        // The imaginary parts of bins 0 and N/2 do not exist in a real signal's spectrum; the
        // inverse takes them as 0.
        const float dcIm = X[0].i, nyquistIm = X[m].i;
        std::vector<float> x(n);
        veldra::fft::inverse(plan.get(), X.data(), x.data());
        EXPECT_EQ(X[0].i, dcIm); // the input is left as it was
        EXPECT_EQ(X[m].i, nyquistIm);
        const double tolerance = 2e-7 * std::log2(n) * std::sqrt(n) * std::sqrt(2.0 * n);
        double worst = 0.0;
        for (int t = 0; t < n; ++t) {
            double sum = X[0].r + X[m].r * ((t % 2) ? -1.0 : 1.0);
            for (int k = 1; k < m; ++k) {
                const double a = 2.0 * M_PI * static_cast<double>(k) * t / n;
                sum += 2.0 * (X[k].r * std::cos(a) - X[k].i * std::sin(a));
            }
            worst = std::max(worst, std::fabs(x[t] - sum));
        }
        EXPECT_LT(worst, tolerance) << "N = " << n;
    }
}

TEST(RealFft, RoundTripGivesNTimesTheSignalAndAMovedPlanTheSameBits) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<float> u(-32768.0f, 32767.0f);
    for (int n : kLengths) {
        const Plan plan(n);
        std::vector<float> x(n), back(n);
        for (float& v : x)
            v = u(rng);
        std::vector<Complex> X(n / 2 + 1), moved(n / 2 + 1);
        veldra::fft::forward(plan.get(), x.data(), X.data());
        veldra::fft::inverse(plan.get(), X.data(), back.data());
        double worst = 0.0;
        for (int t = 0; t < n; ++t)
            worst = std::max(worst, std::fabs(static_cast<double>(back[t]) / n - x[t]));
        EXPECT_LT(worst, 32768.0 * 1e-6 * std::log2(n)) << "N = " << n;

        // A plan holds no pointers: a copy elsewhere (a block the caller moved) gives the same.
        std::vector<double> copy(plan.memory.size() + 4);
        std::memcpy(copy.data() + 3, plan.memory.data(), plan.memory.size() * sizeof(double));
        veldra::fft::forward(copy.data() + 3, x.data(), moved.data());
        EXPECT_EQ(std::memcmp(moved.data(), X.data(), X.size() * sizeof(Complex)), 0) << n;
    }
}

TEST(RealFft, PlansOnlyForPowersOfTwoInRange) {
    std::vector<double> memory(veldra::fft::planBytes(veldra::fft::kMaxLength * 2) / 8 + 1, 1.0);
    for (int n : {0, -16, 8, 24, 48, 1000, 4096})
        EXPECT_FALSE(veldra::fft::makePlan(n, memory.data())) << n;
    EXPECT_EQ(memory[0], 1.0); // nothing written
    EXPECT_FALSE(veldra::fft::makePlan(256, nullptr));
    for (int n : kLengths)
        EXPECT_TRUE(veldra::fft::makePlan(n, memory.data())) << n;
}

} // namespace
