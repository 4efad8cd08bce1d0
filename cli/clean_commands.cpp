// silvane-cli clean and batch: offline cleaning of one file or of every WAV
// file of a directory, through the same processing run as the window.

#include "Command.h"

#include "CleanFile.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

int runClean(const std::vector<std::string>& args);
int runBatch(const std::vector<std::string>& args);

#define CLEAN_OPTIONS \
    "[--method 0|1|2] [--limit DB] [--noise-rate R] [--musical-rate R] [--background] " \
    "[--mix l-r|r-l] [--eq FILE] [--no-process]"

const cli::Command cleanCommand{"clean", "clean IN.wav OUT.wav " CLEAN_OPTIONS, 30, runClean};
const cli::Command batchCommand{"batch", "batch INDIR OUTDIR " CLEAN_OPTIONS, 40, runBatch};
cli::CommandRegistration cleanReg(cleanCommand);
cli::CommandRegistration batchReg(batchCommand);

bool parseNumber(const std::string& text, double& value) {
    char* end = nullptr;
    value = std::strtod(text.c_str(), &end);
    return end != text.c_str() && *end == '\0';
}

// Splits arguments into positional ones and options; returns "" or the reason.
std::string parseOptions(const std::vector<std::string>& args, std::vector<std::string>& positional,
                         processing::CleanOptions& o) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) return false;
            out = args[++i];
            return true;
        };
        std::string v;
        double x = 0;
        if (a == "--method") {
            if (!value(v) || !parseNumber(v, x) || (x != 0 && x != 1 && x != 2))
                return "--method takes 0, 1 or 2";
            o.method = uint8_t(x);
        } else if (a == "--limit") {
            if (!value(v) || !parseNumber(v, x)) return "--limit takes a number of dB";
            o.limitDb = float(x);
        } else if (a == "--noise-rate") {
            if (!value(v) || !parseNumber(v, x)) return "--noise-rate takes a number";
            o.noiseRate = float(x);
        } else if (a == "--musical-rate") {
            if (!value(v) || !parseNumber(v, x)) return "--musical-rate takes a number";
            o.musicalRate = float(x);
        } else if (a == "--background") {
            o.background = true;
        } else if (a == "--mix") {
            if (!value(v) || (v != "l-r" && v != "r-l")) return "--mix takes l-r or r-l";
            o.autoMix = true;
            o.methodMix = v == "l-r";
        } else if (a == "--eq") {
            if (!value(v)) return "--eq takes a file";
            std::string err;
            if (!processing::readEqualizerFile(v, o.eqGains, err)) return err;
        } else if (a == "--no-process") {
            o.processEnabled = false;
        } else if (a.size() > 1 && a[0] == '-') {
            return "unknown option " + a;
        } else {
            positional.push_back(a);
        }
    }
    return processing::validate(o);
}

int runClean(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    processing::CleanOptions o;
    std::string why = parseOptions(args, files, o);
    if (!why.empty()) return cli::usageError(cleanCommand, why);
    if (files.size() != 2) return cli::usageError(cleanCommand, "expected input and output files");
    processing::CleanStats stats;
    std::string error;
    if (!processing::cleanFile(files[0], files[1], o, stats, error)) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return 1;
    }
    return 0;
}

bool isWav(const fs::path& p) {
    std::string ext = p.extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext == ".wav";
}

int runBatch(const std::vector<std::string>& args) {
    std::vector<std::string> dirs;
    processing::CleanOptions o;
    std::string why = parseOptions(args, dirs, o);
    if (!why.empty()) return cli::usageError(batchCommand, why);
    if (dirs.size() != 2) return cli::usageError(batchCommand, "expected input and output directories");
    const fs::path inDir = dirs[0], outDir = dirs[1];
    std::error_code ec;
    if (!fs::is_directory(inDir, ec)) {
        std::fprintf(stderr, "%s: not a directory\n", inDir.c_str());
        return 1;
    }
    if (!fs::is_directory(outDir, ec)) {
        std::fprintf(stderr, "%s: directory does not exist\n", outDir.c_str());
        return 1;
    }
    std::vector<fs::path> files;
    for (const auto& e : fs::directory_iterator(inDir, ec))
        if (e.is_regular_file(ec) && isWav(e.path())) files.push_back(e.path());
    if (ec) {
        std::fprintf(stderr, "%s: %s\n", inDir.c_str(), ec.message().c_str());
        return 1;
    }
    std::sort(files.begin(), files.end(),
              [](const fs::path& a, const fs::path& b) { return a.filename() < b.filename(); });

    int failed = 0, done = 0;
    double audio = 0, work = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const fs::path target = outDir / files[i].filename();
        processing::CleanStats stats;
        std::string error;
        std::printf("[%zu/%zu] %s ", i + 1, files.size(), files[i].filename().c_str());
        std::fflush(stdout);
        if (processing::cleanFile(files[i].string(), target.string(), o, stats, error)) {
            ++done;
            audio += stats.audioSeconds;
            work += stats.processSeconds;
            std::printf("%.2f s of audio in %.3f s\n", stats.audioSeconds, stats.processSeconds);
        } else {
            ++failed;
            std::printf("FAILED\n");
            std::fprintf(stderr, "%s\n", error.c_str());
        }
        std::fflush(stdout);
    }
    std::printf("%d file(s) cleaned, %d failed; %.2f s of audio in %.3f s of processing", done, failed, audio,
                work);
    if (work > 0) std::printf(" (%.0f x real time)", audio / work);
    std::printf("\n");
    return failed ? 1 : 0;
}

}  // namespace
