// Decode throughput of the WAV reader per encoding, and opening a
// 20,000,000-frame 16-bit stereo file against a plain fread of its bytes.
//
//   build/bench/wav_read [--benchmark_filter=...]
//
// Test files are made once under $TMPDIR/silvane-bench-wav (sox encodes the
// compressed ones from a generated 16-bit signal).

#include "soundfile/WavFile.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

fs::path workDir() {
    const char* tmp = std::getenv("TMPDIR");
    fs::path dir = fs::path(tmp ? tmp : "/tmp") / "silvane-bench-wav";
    fs::create_directories(dir);
    return dir;
}

// 16-bit stereo source of `frames` frames at 16 kHz.
std::string pcmSource(const std::string& name, std::size_t frames) {
    fs::path p = workDir() / name;
    if (fs::exists(p) && fs::file_size(p) == 56 + frames * 4)
        return p.string();
    std::vector<int16_t> s(frames * 2);
    uint32_t lcg = 1;
    for (std::size_t i = 0; i < frames; ++i) {
        lcg = lcg * 1664525u + 1013904223u;
        double v = 8000 * std::sin(i * 0.0123) + double(int32_t(lcg) >> 20);
        s[2 * i] = int16_t(v);
        s[2 * i + 1] = int16_t(-v / 2);
    }
    std::string err;
    if (!soundfile::writePcmWav(p.string(), 16000, 2, s.data(), frames, err)) {
        std::fprintf(stderr, "%s\n", err.c_str());
        std::exit(1);
    }
    return p.string();
}

std::string encoded(const char* name, const char* soxArgs) {
    fs::path p = workDir() / (std::string(name) + ".wav");
    if (!fs::exists(p)) {
        std::string src = pcmSource("src-60s.wav", 16000 * 60);
        std::string cmd = "sox '" + src + "' " + soxArgs + " '" + p.string() + "' 2>/dev/null";
        if (std::system(cmd.c_str()) != 0) {
            std::fprintf(stderr, "failed: %s\n", cmd.c_str());
            std::exit(1);
        }
    }
    return p.string();
}

void decodeFile(benchmark::State& state, const std::string& path) {
    int64_t bytesOut = 0;
    for (auto _ : state) {
        soundfile::WavHeaderInfo h;
        int32_t frames = 0;
        int16_t* block = nullptr;
        if (!soundfile::readWavSamples(h, path, frames, block)) {
            state.SkipWithError("decode failed");
            return;
        }
        benchmark::DoNotOptimize(block);
        bytesOut += int64_t(frames) * h.channels * 2;
        delete[] block;
    }
    state.SetBytesProcessed(bytesOut);
}

struct Format {
    const char* name;
    const char* soxArgs;
};
const Format kFormats[] = {
    {"pcm16", "-e signed-integer -b 16"},
    {"pcm8", "-e unsigned-integer -b 8"},
    {"float32", "-e floating-point -b 32"},
    {"alaw", "-e a-law"},
    {"mulaw", "-e u-law"},
    {"msadpcm", "-e ms-adpcm"},
    {"imaadpcm", "-e ima-adpcm"},
    {"gsm", "-r 8000 -c 1 -e gsm-full-rate"},
};

// The large-file comparison, measured side by side and alternated so that
// both see the same cache and machine load.
void compareLargeFile() {
    const std::size_t frames = 20000000;
    std::string path = pcmSource("large-20M-stereo.wav", frames);
    const std::size_t bytes = fs::file_size(path);
    std::vector<double> readerTimes, freadTimes;
    for (int round = 0; round < 5; ++round) {
        auto t0 = std::chrono::steady_clock::now();
        {
            std::unique_ptr<char[]> buf(new char[bytes]);
            std::FILE* f = std::fopen(path.c_str(), "rb");
            std::size_t got = std::fread(buf.get(), 1, bytes, f);
            std::fclose(f);
            benchmark::DoNotOptimize(got);
            benchmark::DoNotOptimize(buf[bytes / 2]);
        }
        auto t1 = std::chrono::steady_clock::now();
        {
            soundfile::WavHeaderInfo h;
            int32_t n = 0;
            int16_t* block = nullptr;
            soundfile::readWavSamples(h, path, n, block);
            benchmark::DoNotOptimize(block[n / 2]);
            delete[] block;
        }
        auto t2 = std::chrono::steady_clock::now();
        freadTimes.push_back(std::chrono::duration<double>(t1 - t0).count());
        readerTimes.push_back(std::chrono::duration<double>(t2 - t1).count());
    }
    std::sort(readerTimes.begin(), readerTimes.end());
    std::sort(freadTimes.begin(), freadTimes.end());
    double reader = readerTimes[2], plain = freadTimes[2];
    std::printf("open 20,000,000-frame stereo file: reader %.3f s, fread %.3f s (median of 5)\n",
                reader, plain);
    std::printf("ratio: wav_open/fread = %.2f (target <= 2.0)\n", reader / plain);
}

} // namespace

int main(int argc, char** argv) {
    for (const Format& f : kFormats) {
        std::string path = encoded(f.name, f.soxArgs);
        benchmark::RegisterBenchmark((std::string("decode/") + f.name).c_str(),
                                     [path](benchmark::State& s) { decodeFile(s, path); })
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    compareLargeFile();
    return 0;
}
