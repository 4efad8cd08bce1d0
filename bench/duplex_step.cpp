// The live step of full duplex has to clean what the capture delivers while
// sharing the window's thread with everything else. Measures the time the
// step needs for one second of captured sound at each configured rate, in
// mono and stereo, and for a 20-second backlog taken in one call (a stalled
// window catching up), and compares each with the second of sound it cleans.

#include "audio/DuplexFlow.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <vector>

namespace {

std::vector<int16_t> noise(std::size_t n) {
    std::vector<int16_t> v(n);
    uint32_t s = 7;
    for (auto& x : v) {
        s = s * 1664525u + 1013904223u;
        x = int16_t(int32_t(s >> 16) % 4000 - 2000);
    }
    return v;
}

audio::LiveControls controls(int32_t rate, uint8_t method) {
    audio::LiveControls c;
    c.params.sampleRate = rate;
    c.params.method = method;
    c.frame.method = method;
    return c;
}

// Seconds of step time for `seconds` of sound fed in `chunks` equal parts.
double stepSeconds(int32_t rate, int channels, int seconds, int chunks, uint8_t method = 2) {
    processing::EngineBlock blocks[2] = {};
    processing::EngineParameters parameters;
    parameters.method = method;
    for (processing::EngineBlock& b : blocks)
        processing::restartEngine(b, processing::engineSettingsAt(rate, parameters));
    static std::vector<int16_t> in(static_cast<std::size_t>(audio::FifoCapacity)),
        out(static_cast<std::size_t>(audio::FifoCapacity));
    const std::vector<int16_t> sound = noise(std::size_t(rate) * channels * seconds);
    int32_t inFill = 0, outFill = 0;
    audio::LiveStreams io{in.data(),           &inFill, channels, out.data(), &outFill,
                          audio::FifoCapacity, channels};
    const std::size_t part = sound.size() / std::size_t(chunks);
    const auto start = std::chrono::steady_clock::now();
    for (int k = 0; k < chunks; ++k) {
        audio::fifoAppend(in.data(), inFill, audio::FifoCapacity,
                          sound.data() + part * std::size_t(k), int32_t(part), channels);
        audio::liveStep(
            io, [rate, method] { return controls(rate, method); }, blocks);
        outFill = 0; // the output side plays it
    }
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void BM_LiveStepSecond(benchmark::State& state) {
    const int32_t rate = int32_t(state.range(0));
    const int channels = int(state.range(1));
    for (auto _ : state)
        benchmark::DoNotOptimize(stepSeconds(rate, channels, 1, 50));
    state.SetLabel(std::to_string(rate) + " Hz, " + std::to_string(channels) +
                   " ch, 1 s in 20 ms blocks");
}
BENCHMARK(BM_LiveStepSecond)
    ->ArgsProduct({{8000, 11025, 16000, 22050, 32000}, {1, 2}})
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    // One second of stereo at the highest rate, fed as the capture feeds it,
    // and a 20-second backlog cleaned in one call.
    double live = 1e9, backlog = 1e9;
    for (int r = 0; r < 3; ++r) {
        live = std::min(live, stepSeconds(32000, 2, 4, 200) / 4);
        backlog = std::min(backlog, stepSeconds(32000, 2, 20, 1) / 20);
    }
    std::printf("ratio: live step time per second of 32 kHz stereo = %.3f (target <= 0.25)\n",
                live);
    std::printf("ratio: backlog step time per second of 32 kHz stereo = %.3f (target <= 0.25)\n",
                backlog);
    double neural = 1e9; // the same live feed through the trained method
    for (int r = 0; r < 3; ++r)
        neural = std::min(neural, stepSeconds(32000, 2, 4, 200, 3) / 4);
    std::printf(
        "ratio: live step time per second of 32 kHz stereo, method 3 = %.3f (target <= 0.25)\n",
        neural);
    return 0;
}
