// The baselines bench/cli_stream sets the command line's time against, each on
// the same file:
//   cli_stream_baselines engine FILE     the engine alone over the samples held in
//                                        memory (frame rule and engine calls only)
//   cli_stream_baselines copy IN OUT     a plain streamed read and write, no cleaning
// Each prints "seconds: S".

#include "processing/ProcessingRun.h"
#include "processing/StreamClean.h"
#include "soundfile/AudioStream.h"

#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

namespace {

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool readAll(const std::string& path, std::vector<int16_t>& samples, soundfile::AudioInfo& info) {
    std::unique_ptr<soundfile::AudioReader> r;
    std::string err;
    if (!soundfile::openAudioReader(path, r, err)) {
        std::fprintf(stderr, "%s\n", err.c_str());
        return false;
    }
    info = r->info();
    std::vector<int16_t> buf(8192 * std::size_t(info.channels));
    for (std::size_t got = 0;;) {
        if (!r->read(buf.data(), 8192, got, err))
            return false;
        if (got == 0)
            return true;
        samples.insert(samples.end(), buf.begin(),
                       buf.begin() + std::ptrdiff_t(got * info.channels));
    }
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    if (mode == "engine" && argc == 3) {
        std::vector<int16_t> s;
        soundfile::AudioInfo info;
        if (!readAll(argv[2], s, info))
            return 1;
        processing::RunParameters p;
        p.sampleRate = int32_t(info.sampleRate);
        p.channels = std::min(info.channels, 2);
        auto blocks = std::make_unique<processing::EngineBlock[]>(2);
        const double t0 = now();
        processing::StreamCleaner sc(p, processing::FrameControls{}, blocks.get());
        std::vector<int16_t> out;
        const std::size_t step = 8192;
        for (std::size_t at = 0; at < s.size() / info.channels; at += step) {
            out.clear();
            sc.push(s.data() + at * info.channels, std::min(step, s.size() / info.channels - at),
                    info.channels, out);
        }
        out.clear();
        sc.finish(out);
        std::printf("seconds: %.3f\n", now() - t0);
        return 0;
    }
    if (mode == "copy" && argc == 4) {
        const double t0 = now();
        std::unique_ptr<soundfile::AudioReader> r;
        std::string err;
        if (!soundfile::openAudioReader(argv[2], r, err)) {
            std::fprintf(stderr, "%s\n", err.c_str());
            return 1;
        }
        soundfile::WriterSettings settings;
        settings.sampleRate = r->info().sampleRate;
        settings.channels = std::min(r->info().channels, 2);
        settings.expectedFrames = r->info().exactFrames ? r->info().frames : -1;
        settings.overwrite = true;
        std::unique_ptr<soundfile::AudioWriter> w;
        if (!soundfile::openAudioWriter(argv[3], settings, w, err) ||
            r->info().channels != settings.channels) {
            std::fprintf(stderr, "%s\n", err.empty() ? "mono or stereo only" : err.c_str());
            return 1;
        }
        std::vector<int16_t> buf(8192 * std::size_t(settings.channels));
        for (std::size_t got = 0;;) {
            if (!r->read(buf.data(), 8192, got, err) || !w->write(buf.data(), got, err)) {
                std::fprintf(stderr, "%s\n", err.c_str());
                return 1;
            }
            if (got == 0)
                break;
        }
        if (!w->finish(err)) {
            std::fprintf(stderr, "%s\n", err.c_str());
            return 1;
        }
        std::printf("seconds: %.3f\n", now() - t0);
        return 0;
    }
    std::fprintf(stderr, "usage: cli_stream_baselines engine FILE | copy IN OUT\n");
    return 2;
}
