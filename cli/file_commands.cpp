// silvane-cli info and convert: describe a sound file of any readable format
// with its metadata, and rewrite any readable WAV file as 16-bit PCM.

#include "cli/Command.h"

#include "soundfile/AudioStream.h"
#include "base/SafeFile.h"
#include "soundfile/WavLoad.h"

#include <cstdio>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sys/stat.h>
#include <memory>
#include <vector>

namespace {

const char* formatName(uint16_t tag) {
    switch (tag) {
    case WavPcm: return "PCM";
    case WavMsAdpcm: return "Microsoft ADPCM";
    case WavFloat: return "IEEE float";
    case WavALaw: return "A-law";
    case WavMuLaw: return "mu-law";
    case WavImaAdpcm: return "IMA ADPCM";
    case WavGsm610: return "GSM 6.10";
    default: return "unknown";
    }
}

int runInfo(const std::vector<std::string>& args);
int runConvert(const std::vector<std::string>& args);

const cli::Command infoCommand{"info", "info FILE                describe a sound file: format, frames, duration, peak, tags, bext",
                               10, runInfo};
const cli::Command convertCommand{"convert",
                                  "convert IN.wav OUT.wav [-y] rewrite any readable WAV file as 16-bit PCM",
                                  20, runConvert};
cli::CommandRegistration infoReg(infoCommand);
cli::CommandRegistration convertReg(convertCommand);

int runInfo(const std::vector<std::string>& args) {
    if (args.size() != 1) return cli::usageError(infoCommand, "expected one file");
    const std::string& path = args[0];
    std::unique_ptr<AudioReader> reader;
    std::string message;
    if (!openAudioReader(path, reader, message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    const AudioInfo& in = reader->info();
    std::printf("file:             %s\n", path.c_str());
    std::printf("container:        %s\n", in.container.c_str());
    std::printf("encoding:         %s\n", in.encoding.c_str());
    // The RIFF header fields as the window's reader takes them.
    WavHeaderInfo h;
    bool riff = false;
    if (in.container == "WAV" && path != "-") {
        if (std::FILE* f = std::fopen(path.c_str(), "rb")) {
            try {
                readWavHeader(h, f);
                riff = true;
            } catch (const UnknownFormat&) {
            }
            std::fclose(f);
        }
    }
    if (riff) std::printf("format tag:       %u (%s)\n", unsigned(h.formatTag), formatName(h.formatTag));
    std::printf("channels:         %d\n", in.channels);
    std::printf("sample rate:      %u Hz\n", unsigned(in.sampleRate));
    if (riff) {
        std::printf("bytes per second: %u\n", unsigned(h.avgBytesPerSec));
        std::printf("block align:      %u\n", unsigned(h.blockAlign));
        std::printf("bits per sample:  %u\n", unsigned(h.bitsPerSample));
        std::printf("format chunk:     %u bytes\n", unsigned(h.fmtSize));
        std::printf("data chunk:       %u bytes\n", unsigned(h.dataSize));
    }
    // Frames and peaks by reading the file through, in constant memory.
    const int C = in.channels;
    std::vector<int> peak(std::size_t(C), 0);
    std::vector<int16_t> buf(8192 * std::size_t(C));
    int64_t frames = 0;
    for (;;) {
        std::size_t got = 0;
        if (!reader->read(buf.data(), 8192, got, message)) {
            std::fprintf(stderr, "%s: %s\n", path.c_str(), message.c_str());
            return 1;
        }
        if (got == 0) break;
        for (std::size_t i = 0; i < got * std::size_t(C); ++i)
            peak[i % std::size_t(C)] = std::max(peak[i % std::size_t(C)], std::abs(int(buf[i])));
        frames += int64_t(got);
    }
    std::printf("frames:           %lld\n", static_cast<long long>(frames));
    if (in.sampleRate > 0) std::printf("duration:         %.3f s\n", double(frames) / in.sampleRate);
    for (int c = 0; c < C; ++c)
        std::printf("peak channel %d:   %d (%.1f dBFS)\n", c, peak[std::size_t(c)],
                    peak[std::size_t(c)] > 0 ? 20.0 * std::log10(peak[std::size_t(c)] / 32768.0) : -999.0);
    for (const auto& [id, value] : in.metadata.info) {
        const std::string label = std::string(infoIdName(id)).empty() ? id : id + " (" + infoIdName(id) + ")";
        std::printf("tag %-17s %s\n", (label + ":").c_str(), value.c_str());
    }
    const auto& bext = in.metadata.bext;
    if (!bext.empty()) {
        std::printf("bext description: %s\n", bextField(bext, 0, 256).c_str());
        std::printf("bext originator:  %s\n", bextField(bext, 256, 32).c_str());
        std::printf("bext reference:   %s\n", bextField(bext, 288, 32).c_str());
        std::printf("bext origination: %s %s\n", bextField(bext, 320, 10).c_str(), bextField(bext, 330, 8).c_str());
        std::string history = codingHistory(bext);
        std::size_t start = 0;
        while (start < history.size()) {
            std::size_t end = history.find_first_of("\r\n", start);
            if (end == std::string::npos) end = history.size();
            if (end > start) std::printf("coding history:   %s\n", history.substr(start, end - start).c_str());
            start = end + 1;
        }
    }
    return 0;
}

int runConvert(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    bool overwrite = false;
    for (const auto& a : args) {
        if (a == "-y" || a == "--overwrite") overwrite = true;
        else if (a.size() > 1 && a[0] == '-') return cli::usageError(convertCommand, "unknown option " + a);
        else files.push_back(a);
    }
    if (files.size() != 2) return cli::usageError(convertCommand, "expected input and output files");
    // As clean: an existing file, the input included, only with -y.
    struct stat so {};
    if (!overwrite && ::stat(files[1].c_str(), &so) == 0) {
        std::fprintf(stderr, "%s %s (use -y to replace it)\n", files[1].c_str(),
                     sameFile(files[0], files[1]) ? "is the input file" : "exists");
        return 1;
    }
    LoadedWav wav;
    std::string message;
    if (loadWav(files[0], wav, message) != WavLoadStatus::Ok) {
        std::fprintf(stderr, "%s: %s\n", files[0].c_str(), message.c_str());
        return 1;
    }
    if (!writePcmWav(files[1], wav.header.sampleRate, wav.header.channels, wav.samples.get(),
                     std::size_t(wav.frames), message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    return 0;
}

}  // namespace
