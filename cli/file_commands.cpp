// silvane-cli info and convert: describe a WAV file, and rewrite any readable
// WAV file as 16-bit PCM.

#include "Command.h"

#include "WavLoad.h"

#include <cstdio>
#include <algorithm>
#include <cmath>
#include <cstdlib>

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

const cli::Command infoCommand{"info", "info FILE.wav            describe the file: header, frames, duration, peak",
                               10, runInfo};
const cli::Command convertCommand{"convert",
                                  "convert IN.wav OUT.wav    rewrite any readable WAV file as 16-bit PCM",
                                  20, runConvert};
cli::CommandRegistration infoReg(infoCommand);
cli::CommandRegistration convertReg(convertCommand);

int runInfo(const std::vector<std::string>& args) {
    if (args.size() != 1) return cli::usageError(infoCommand, "expected one file");
    LoadedWav wav;
    std::string message;
    if (loadWav(args[0], wav, message) != WavLoadStatus::Ok) {
        std::fprintf(stderr, "%s: %s\n", args[0].c_str(), message.c_str());
        return 1;
    }
    const WavHeaderInfo& h = wav.header;
    std::printf("file:             %s\n", args[0].c_str());
    std::printf("format tag:       %u (%s)\n", unsigned(h.formatTag), formatName(h.formatTag));
    std::printf("channels:         %u\n", unsigned(h.channels));
    std::printf("sample rate:      %u Hz\n", unsigned(h.sampleRate));
    std::printf("bytes per second: %u\n", unsigned(h.avgBytesPerSec));
    std::printf("block align:      %u\n", unsigned(h.blockAlign));
    std::printf("bits per sample:  %u\n", unsigned(h.bitsPerSample));
    std::printf("format chunk:     %u bytes\n", unsigned(h.fmtSize));
    std::printf("data chunk:       %u bytes\n", unsigned(h.dataSize));
    std::printf("frames:           %d\n", wav.frames);
    if (h.sampleRate > 0)
        std::printf("duration:         %.3f s\n", double(wav.frames) / h.sampleRate);
    const std::size_t n = std::size_t(wav.frames) * h.channels;
    for (unsigned c = 0; c < h.channels; ++c) {
        int peak = 0;
        for (std::size_t i = c; i < n; i += h.channels) peak = std::max(peak, std::abs(int(wav.samples[i])));
        std::printf("peak channel %u:   %d (%.1f dBFS)\n", c, peak,
                    peak > 0 ? 20.0 * std::log10(peak / 32768.0) : -999.0);
    }
    return 0;
}

int runConvert(const std::vector<std::string>& args) {
    if (args.size() != 2) return cli::usageError(convertCommand, "expected input and output files");
    LoadedWav wav;
    std::string message;
    if (loadWav(args[0], wav, message) != WavLoadStatus::Ok) {
        std::fprintf(stderr, "%s: %s\n", args[0].c_str(), message.c_str());
        return 1;
    }
    if (!writePcmWav(args[1], wav.header.sampleRate, wav.header.channels, wav.samples.get(),
                     std::size_t(wav.frames), message)) {
        std::fprintf(stderr, "%s\n", message.c_str());
        return 1;
    }
    return 0;
}

}  // namespace
