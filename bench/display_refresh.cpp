// Refreshing the four panes of a 20,000,000-sample stereo signal (original
// and changed, both channels, plus the changed signal drawn over the two
// original panes) against a plain min/max scan of the same four channels,
// once as waveforms and once as spectrograms (computed afresh: the cache
// kept between refreshes is invalidated first).
//
//   build/bench/display_refresh

#include "display/Display.h"
#include "display/Spectrogram.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

constexpr int32_t kSamples = 20000000;
constexpr int kWidth = 1500, kHeight = 120;

struct Signal {
    std::vector<int16_t> ch[4]; // original L, R, changed L, R
    Signal() {
        uint32_t lcg = 1;
        for (auto& c : ch) {
            c.resize(kSamples);
            for (auto& s : c) {
                lcg = lcg * 1664525u + 1013904223u;
                s = int16_t(lcg >> 16);
            }
        }
    }
};

const Signal& signal() {
    static Signal s;
    return s;
}

void refresh(const Signal& s, std::vector<display::ColumnRange>& cols) {
    const display::PaneView v = display::computeView(kSamples, 1.0, 0, 2000);
    for (int pane = 0; pane < 4; ++pane)
        display::reduceColumns(s.ch[pane].data(), kSamples, v, kWidth, kHeight, 1.0, 32768,
                               cols.data(), 3000);
    for (int overlay = 2; overlay < 4; ++overlay)
        display::reduceColumns(s.ch[overlay].data(), kSamples, v, kWidth, kHeight, 1.0, 32768,
                               cols.data(), 3000);
    benchmark::DoNotOptimize(cols.data());
}

struct SpectrogramPanes {
    display::SpectrogramPane pane[4];
};

// What the window does in spectrogram mode: four spectrograms, and the
// changed signal's columns drawn over the two original panes.
void spectrogramRefresh(const Signal& s, SpectrogramPanes& panes,
                        std::vector<display::ColumnRange>& cols) {
    const display::PaneView v = display::computeView(kSamples, 1.0, 0, 2000);
    display::SpectrogramSettings settings;
    settings.sampleRate = 16000;
    for (int pane = 0; pane < 4; ++pane) {
        panes.pane[pane].invalidate();
        panes.pane[pane].update(s.ch[pane].data(), kSamples, v, kWidth, kHeight, 3000, settings);
        benchmark::DoNotOptimize(panes.pane[pane].image().pixels.data());
    }
    for (int overlay = 2; overlay < 4; ++overlay)
        display::reduceColumns(s.ch[overlay].data(), kSamples, v, kWidth, kHeight, 1.0, 32768,
                               cols.data(), 3000);
    benchmark::DoNotOptimize(cols.data());
}

int32_t plainScan(const Signal& s) {
    int32_t lo = 0, hi = 0;
    for (const auto& c : s.ch) {
        int16_t mn = c[0], mx = c[0];
        for (int16_t v : c) {
            mn = std::min(mn, v);
            mx = std::max(mx, v);
        }
        lo = std::min<int32_t>(lo, mn);
        hi = std::max<int32_t>(hi, mx);
    }
    return hi - lo;
}

void BM_Refresh(benchmark::State& state) {
    std::vector<display::ColumnRange> cols(3000);
    for (auto _ : state)
        refresh(signal(), cols);
}
BENCHMARK(BM_Refresh)->Unit(benchmark::kMillisecond);

void BM_SpectrogramRefresh(benchmark::State& state) {
    std::vector<display::ColumnRange> cols(3000);
    SpectrogramPanes panes;
    for (auto _ : state)
        spectrogramRefresh(signal(), panes, cols);
}
BENCHMARK(BM_SpectrogramRefresh)->Unit(benchmark::kMillisecond);

void BM_PlainMinMaxScan(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(plainScan(signal()));
}
BENCHMARK(BM_PlainMinMaxScan)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    signal(); // made before any timing
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // Side by side, alternated, median of seven.
    std::vector<double> r, sp, p;
    std::vector<display::ColumnRange> cols(3000);
    SpectrogramPanes panes;
    for (int i = 0; i < 7; ++i) {
        auto t0 = std::chrono::steady_clock::now();
        refresh(signal(), cols);
        auto t1 = std::chrono::steady_clock::now();
        benchmark::DoNotOptimize(plainScan(signal()));
        auto t2 = std::chrono::steady_clock::now();
        spectrogramRefresh(signal(), panes, cols);
        auto t3 = std::chrono::steady_clock::now();
        r.push_back(std::chrono::duration<double>(t1 - t0).count());
        p.push_back(std::chrono::duration<double>(t2 - t1).count());
        sp.push_back(std::chrono::duration<double>(t3 - t2).count());
    }
    std::sort(r.begin(), r.end());
    std::sort(sp.begin(), sp.end());
    std::sort(p.begin(), p.end());
    std::printf("refresh of four panes: %.1f ms, as spectrograms: %.1f ms, plain min/max scan: "
                "%.1f ms (median of 7)\n",
                r[3] * 1e3, sp[3] * 1e3, p[3] * 1e3);
    std::printf("ratio: refresh/minmax_scan = %.2f (target <= 3.0)\n", r[3] / p[3]);
    std::printf("ratio: spectrogram_refresh/minmax_scan = %.2f (target <= 10)\n", sp[3] / p[3]);
    return 0;
}
