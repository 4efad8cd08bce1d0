// Speed of the veldra engine: every method at 8, 16 and 32 kHz over ten
// seconds of noisy harmonic bursts, and the speexdsp preprocessor (denoise on,
// 20 ms frames) over the same audio. Counters: frames/s and the real-time
// factor (audio seconds per CPU second). The last lines compare methods 2 and 3
// (the trained network) at 16 kHz with speexdsp at 16 kHz.
//
// Unless told otherwise on the command line, every benchmark runs kRepetitions
// times with the runs of all of them interleaved in random order, and each
// ratio is that of the medians: on a shared machine a single run of each, one
// after the other, puts whatever else the machine did in those seconds into
// the ratio (single runs of the same build scattered from 1.0 to 1.4). The
// medians still move between invocations (1.16 to 1.34 for method 3 over ten),
// as the whole machine's speed drifts; compare several.

#include <benchmark/benchmark.h>
#include <speex/speex_preprocess.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "engine/veldra.h"

namespace {

constexpr int kSeconds = 10;
constexpr int kRepetitions = 7;

std::vector<int16_t> noisySpeechLike(int rate) {
    std::mt19937 rng(42);
    std::normal_distribution<double> noise(0.0, 600.0);
    std::vector<int16_t> v(static_cast<size_t>(rate) * kSeconds);
    for (size_t i = 0; i < v.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double env = std::max(0.0, std::sin(2.0 * M_PI * 2.5 * t));
        double x = noise(rng);
        for (int h = 1; h <= 10; ++h)
            x += env * 2500.0 / h * std::sin(2.0 * M_PI * 140.0 * h * t);
        v[i] = static_cast<int16_t>(std::max(-32768.0, std::min(32767.0, std::round(x))));
    }
    return v;
}

void BM_Engine(benchmark::State& state) {
    const uint8_t method = static_cast<uint8_t>(state.range(0));
    const int rate = static_cast<int>(state.range(1));
    const auto audio = noisySpeechLike(rate);
    alignas(16) static unsigned char block[VELDRA_BLOCK_SIZE];
    std::vector<int16_t> out(VELDRA_MAX_FRAME_STEP);
    size_t frames = 0;
    for (auto _ : state) {
        Veldra_Destroyed(block);
        Veldra_Init(block, rate, method, -18.0f, 0.95f, 0.98f, "bench");
        uint32_t step;
        std::memcpy(&step, block + VELDRA_OFFSET_FRAME_STEP, sizeof step);
        for (size_t pos = 0; pos + step <= audio.size(); pos += step) {
            Veldra_Reset(block, method, -18.0f, 0.95f, 0.98f);
            Veldra_Frame(block, 1, &audio[pos]);
            Veldra_Restore(block, out.data());
            ++frames;
        }
        benchmark::DoNotOptimize(out.data());
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["realtime"] = benchmark::Counter(
        static_cast<double>(kSeconds) * state.iterations(), benchmark::Counter::kIsRate);
}

void BM_Speex(benchmark::State& state) {
    const int rate = static_cast<int>(state.range(0));
    const int frame = rate / 50;
    const auto audio = noisySpeechLike(rate);
    std::vector<int16_t> buf(static_cast<size_t>(frame));
    size_t frames = 0;
    for (auto _ : state) {
        SpeexPreprocessState* st = speex_preprocess_state_init(frame, rate);
        int on = 1;
        speex_preprocess_ctl(st, SPEEX_PREPROCESS_SET_DENOISE, &on);
        for (size_t pos = 0; pos + frame <= audio.size(); pos += frame) {
            std::memcpy(buf.data(), &audio[pos], static_cast<size_t>(frame) * sizeof(int16_t));
            speex_preprocess_run(st, buf.data());
            ++frames;
        }
        benchmark::DoNotOptimize(buf.data());
        speex_preprocess_state_destroy(st);
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
    state.counters["realtime"] = benchmark::Counter(
        static_cast<double>(kSeconds) * state.iterations(), benchmark::Counter::kIsRate);
}

BENCHMARK(BM_Engine)
    ->ArgsProduct({{0, 1, 2, 3}, {8000, 16000, 32000}})
    ->ArgNames({"method", "rate"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Speex)->Arg(8000)->Arg(16000)->Arg(32000)->ArgName("rate")->Unit(
    benchmark::kMillisecond);

// Keeps the CPU time per iteration of every run, for the closing ratios.
class RecordingReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs)
            if (r.run_type == Run::RT_Iteration && r.iterations > 0)
                cpu[r.run_name.str()].push_back(r.GetAdjustedCPUTime());
        ConsoleReporter::ReportRuns(runs);
    }
    // The median CPU time per iteration of the named benchmark's runs, or 0 if it did not run.
    double median(const std::string& name) const {
        const auto it = cpu.find(name);
        if (it == cpu.end() || it->second.empty())
            return 0.0;
        std::vector<double> v = it->second;
        std::sort(v.begin(), v.end());
        const size_t n = v.size();
        return n % 2 == 1 ? v[n / 2] : 0.5 * (v[n / 2 - 1] + v[n / 2]);
    }
    size_t runs(const std::string& name) const {
        const auto it = cpu.find(name);
        return it == cpu.end() ? 0 : it->second.size();
    }

  private:
    std::map<std::string, std::vector<double>> cpu;
};

} // namespace

int main(int argc, char** argv) {
    // The defaults go first, so the same flags given on the command line win.
    std::string repetitions = "--benchmark_repetitions=" + std::to_string(kRepetitions);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    std::vector<char*> args{argv[0], repetitions.data(), interleave.data()};
    args.insert(args.end(), argv + 1, argv + argc);
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data()))
        return 1;
    RecordingReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    const double speex = reporter.median("BM_Speex/rate:16000");
    const double m2 = reporter.median("BM_Engine/method:2/rate:16000");
    const double m3 = reporter.median("BM_Engine/method:3/rate:16000");
    if (speex <= 0)
        return 0;
    std::printf("medians over %zu interleaved runs of each\n",
                reporter.runs("BM_Speex/rate:16000"));
    if (m2 > 0) {
        std::printf("real-time factor: engine method 2 at 16 kHz = %.0f x\n",
                    kSeconds / (m2 * 1e-3));
        std::printf("ratio: engine/speexdsp CPU = %.3f (target <= 1.0)\n", m2 / speex);
    }
    if (m3 > 0) {
        std::printf("real-time factor: engine method 3 at 16 kHz = %.0f x (target >= 500)\n",
                    kSeconds / (m3 * 1e-3));
        std::printf("ratio: engine-m3/speexdsp CPU = %.3f (target <= 1.3)\n", m3 / speex);
    }
    return 0;
}
