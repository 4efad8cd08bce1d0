// silvane-cli clean and batch: offline cleaning of one file or of a whole
// collection, streamed through the frame rule of the window's processing run.

#include "cli/Command.h"

#include "base/SafeFile.h"
#include "base/Text.h"
#include "cli/BatchReport.h"
#include "processing/CleanFile.h"
#include "soundfile/FileDigest.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;

int runClean(const std::vector<std::string>& args);
int runBatch(const std::vector<std::string>& args);

#define CLEAN_OPTIONS                                                                              \
    "[--method 0|1|2|3] [--limit DB] [--noise-rate R] [--musical-rate R] [--background] "          \
    "[--mix l-r|r-l] [--eq FILE] [--no-process] [--format wav|flac] [-y|--overwrite] [--report "   \
    "FILE.csv|.json] [-q]"

const cli::Command cleanCommand{
    "clean", "clean IN OUT " CLEAN_OPTIONS "   (IN/OUT may be - for a WAV pipe)", 30, runClean};
const cli::Command batchCommand{
    "batch", "batch INDIR OUTDIR " CLEAN_OPTIONS " [--recursive] [--jobs N] [--skip-existing]", 40,
    runBatch};
cli::CommandRegistration cleanReg(cleanCommand);
cli::CommandRegistration batchReg(batchCommand);

struct CommonOptions {
    processing::CleanOptions clean;
    std::string report;
    bool quiet = false;
    // batch only
    bool recursive = false;
    bool skipExisting = false;
    int jobs = 0; // 0: one per core
};

// Splits arguments into positional ones and options; false with the reason
// in `error` for an option or value that is not understood or not allowed.
bool parseOptions(const std::vector<std::string>& args, std::vector<std::string>& positional,
                  CommonOptions& all, bool batch, std::string& error) {
    processing::CleanOptions& o = all.clean;
    auto fail = [&](std::string why) {
        error = std::move(why);
        return false;
    };
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size())
                return false;
            out = args[++i];
            return true;
        };
        std::string v;
        double x = 0;
        if (a == "--method") {
            if (!value(v) || !cli::parseDouble(v, x) || (x != 0 && x != 1 && x != 2 && x != 3))
                return fail("--method takes 0, 1, 2 or 3");
            o.method = uint8_t(x);
        } else if (a == "--limit") {
            if (!value(v) || !cli::parseDouble(v, x))
                return fail("--limit takes a number of dB");
            o.limitDb = float(x);
        } else if (a == "--noise-rate") {
            if (!value(v) || !cli::parseDouble(v, x))
                return fail("--noise-rate takes a number");
            o.noiseRate = float(x);
        } else if (a == "--musical-rate") {
            if (!value(v) || !cli::parseDouble(v, x))
                return fail("--musical-rate takes a number");
            o.musicalRate = float(x);
        } else if (a == "--background") {
            o.background = true;
        } else if (a == "--mix") {
            if (!value(v) || (v != "l-r" && v != "r-l"))
                return fail("--mix takes l-r or r-l");
            o.autoMix = true;
            o.methodMix = v == "l-r";
        } else if (a == "--eq") {
            if (!value(v))
                return fail("--eq takes a file");
            if (!processing::readEqualizerFile(v, o.eqGains, error))
                return false;
        } else if (a == "--no-process") {
            o.processEnabled = false;
        } else if (a == "--format") {
            if (!value(v) || !soundfile::parseOutputFormat(v, o.format))
                return fail("--format takes wav or flac");
            o.formatGiven = true;
        } else if (a == "-y" || a == "--overwrite") {
            o.overwrite = true;
        } else if (a == "--report") {
            if (!value(v) || !cli::reportFormatKnown(v))
                return fail("--report takes a file ending in .csv or .json");
            all.report = v;
        } else if (batch && (a == "--recursive" || a == "-r")) {
            all.recursive = true;
        } else if (batch && a == "--skip-existing") {
            all.skipExisting = true;
        } else if (a == "-q" || a == "--quiet") {
            all.quiet = true;
        } else if (batch && (a == "--jobs" || a == "-j")) {
            if (!value(v) || !cli::parseDouble(v, x) || x < 1 || x > 1024 || x != int(x))
                return fail("--jobs takes a whole number from 1");
            all.jobs = int(x);
        } else if (a.size() > 1 && a[0] == '-') {
            return fail("unknown option " + a);
        } else {
            positional.push_back(a);
        }
    }
    if (all.skipExisting && o.overwrite)
        return fail("--skip-existing and --overwrite exclude each other");
    return processing::validate(o, error);
}

// Fills the file parts of a report record from a finished clean.
void completeRecord(cli::ReportRecord& r, const processing::CleanStats& stats) {
    r.sampleRate = stats.sampleRate;
    r.channels = stats.sourceChannels;
    r.frames = stats.inputFrames;
    r.seconds = stats.audioSeconds;
    r.processSeconds = stats.processSeconds;
}

void hashFiles(cli::ReportRecord& r) {
    std::string err;
    if (r.source != "-")
        soundfile::sha256File(r.source, r.sourceSha256, err);
    if (r.output != "-" && (r.status == "done" || r.status == "skipped"))
        soundfile::sha256File(r.output, r.outputSha256, err);
}

int runClean(const std::vector<std::string>& args) {
    std::vector<std::string> files;
    CommonOptions all;
    std::string why;
    if (!parseOptions(args, files, all, false, why))
        return cli::usageError(cleanCommand, why);
    if (files.size() != 2)
        return cli::usageError(cleanCommand, "expected input and output files");
    processing::CleanStats stats;
    std::string error;
    // A long file on a terminal shows how far it is, twice a second at most.
    const bool terminal = !all.quiet && ::isatty(fileno(stderr));
    auto last = std::chrono::steady_clock::now();
    bool shown = false;
    if (terminal)
        all.clean.progress = [&](int64_t done, int64_t total) {
            const auto now = std::chrono::steady_clock::now();
            if (now - last < std::chrono::milliseconds(500))
                return;
            last = now;
            shown = true;
            if (total > 0)
                std::fprintf(stderr, "\r\033[Kcleaning: %d %%", int(100 * done / total));
            else
                std::fprintf(stderr, "\r\033[Kcleaning: %lld frames", static_cast<long long>(done));
        };
    const bool ok = processing::cleanFile(files[0], files[1], all.clean, stats, error);
    if (shown)
        std::fprintf(stderr, "\r\033[K");
    for (const auto& note : stats.notes)
        std::fprintf(stderr, "silvane-cli clean: %s\n", note.c_str());
    if (!ok)
        std::fprintf(stderr, "silvane-cli clean: %s\n", error.c_str());
    if (!all.report.empty()) {
        cli::ReportRecord r;
        r.source = files[0];
        r.output = files[1];
        r.status = ok ? "done" : "failed";
        r.error = ok ? "" : error;
        completeRecord(r, stats);
        hashFiles(r);
        std::string err;
        if (!cli::writeReport(all.report, {r}, cli::describeSettingsLine(all.clean), err)) {
            std::fprintf(stderr, "silvane-cli clean: %s\n", err.c_str());
            return 1;
        }
    }
    return ok ? 0 : 1;
}

// ---------------------------------------------------------------------------
// batch

bool knownAudioExtension(const fs::path& p) {
    static const char* const exts[] = {".wav",  ".flac", ".ogg", ".oga", ".opus", ".mp3", ".aif",
                                       ".aiff", ".aifc", ".caf", ".w64", ".rf64", ".bwf"};
    const std::string e = base::lowerAscii(p.extension().string());
    return std::find(std::begin(exts), std::end(exts), e) != std::end(exts);
}

// The output of a source: the same relative name, with the extension of the
// output format unless it has it already (in any case).
fs::path outputFor(const fs::path& rel, const fs::path& outDir, soundfile::OutputFormat f) {
    fs::path name = rel;
    if (base::lowerAscii(rel.extension().string()) != soundfile::extensionOf(f))
        name.replace_extension(soundfile::extensionOf(f));
    return outDir / name;
}

bool inside(const fs::path& dir, const fs::path& p) {
    auto d = dir.begin(), q = p.begin();
    for (; d != dir.end(); ++d, ++q)
        if (q == p.end() || *d != *q)
            return false;
    return true;
}

struct Job {
    fs::path source, rel, output;
    std::string conflict; // set when another source already claims the output
};

std::string hms(double s) {
    const long t = long(s + 0.5);
    char b[32];
    std::snprintf(b, sizeof b, "%ld:%02ld:%02ld", t / 3600, t / 60 % 60, t % 60);
    return b;
}

int runBatch(const std::vector<std::string>& args) {
    std::vector<std::string> dirs;
    CommonOptions all;
    std::string why;
    if (!parseOptions(args, dirs, all, true, why))
        return cli::usageError(batchCommand, why);
    if (dirs.size() != 2)
        return cli::usageError(batchCommand, "expected input and output directories");
    std::error_code ec;
    const fs::path inDir = fs::weakly_canonical(dirs[0], ec),
                   outDir = fs::weakly_canonical(dirs[1], ec);
    if (!fs::is_directory(inDir, ec)) {
        std::fprintf(stderr, "silvane-cli batch: %s: not a directory\n", dirs[0].c_str());
        return 1;
    }
    if (!fs::is_directory(outDir, ec)) {
        std::fprintf(stderr, "silvane-cli batch: %s: directory does not exist\n", dirs[1].c_str());
        return 1;
    }
    const soundfile::OutputFormat format =
        all.clean.formatGiven ? all.clean.format : soundfile::OutputFormat::Wav;
    all.clean.formatGiven = true;
    all.clean.format = format;

    // The collection: audio by extension or by content; never our own
    // results (an output tree inside the input tree) or unfinished writes.
    std::vector<Job> jobs;
    auto consider = [&](const fs::directory_entry& e) {
        std::error_code fe;
        if (!e.is_regular_file(fe))
            return;
        const fs::path p = e.path();
        if (base::isUnfinishedWrite(p.filename().string()))
            return;
        if (outDir != inDir && inside(outDir, p))
            return;
        if (!knownAudioExtension(p) && !soundfile::fileLooksLikeAudio(p.string()))
            return;
        Job j;
        j.source = p;
        j.rel = p.lexically_relative(inDir);
        j.output = outputFor(j.rel, outDir, format);
        jobs.push_back(j);
    };
    if (all.recursive) {
        for (auto it = fs::recursive_directory_iterator(
                 inDir, fs::directory_options::skip_permission_denied, ec);
             !ec && it != fs::recursive_directory_iterator(); it.increment(ec))
            consider(*it);
    } else {
        for (auto it = fs::directory_iterator(inDir, ec); !ec && it != fs::directory_iterator();
             it.increment(ec))
            consider(*it);
    }
    if (ec) {
        std::fprintf(stderr, "silvane-cli batch: %s: %s\n", inDir.c_str(), ec.message().c_str());
        return 1;
    }
    std::sort(jobs.begin(), jobs.end(), [](const Job& a, const Job& b) { return a.rel < b.rel; });
    std::map<fs::path, fs::path> claimed;
    for (auto& j : jobs) {
        auto [it, fresh] = claimed.emplace(j.output, j.source);
        if (!fresh)
            j.conflict = "same output as " + it->second.string();
    }
    // A killed earlier run leaves its unfinished results beside the outputs; each
    // directory is read once (a scan per file would grow with the square of the
    // collection).
    {
        std::set<fs::path> outDirs;
        for (const auto& j : jobs)
            outDirs.insert(j.output.parent_path());
        int removed = 0;
        for (const auto& d : outDirs)
            removed += base::removeAbandonedWrites(d.string());
        if (removed > 0 && !all.quiet)
            std::fprintf(
                stderr,
                "silvane-cli batch: removed %d unfinished file%s left by an interrupted run\n",
                removed, removed == 1 ? "" : "s");
    }

    const std::size_t total = jobs.size();
    int workers = all.jobs > 0 ? all.jobs : int(std::max(1u, std::thread::hardware_concurrency()));
    workers = int(std::min<std::size_t>(std::size_t(workers), std::max<std::size_t>(total, 1)));
    const bool terminal = !all.quiet && ::isatty(fileno(stderr));
    const auto start = std::chrono::steady_clock::now();

    std::vector<cli::ReportRecord> records(total);
    std::vector<std::string> notes(total);
    std::mutex mutex;
    std::atomic<std::size_t> next{0};
    std::size_t finished = 0;
    double audioDone = 0;

    auto progress = [&](std::size_t i) { // under the mutex
        const cli::ReportRecord& r = records[i];
        ++finished;
        audioDone += r.seconds;
        if (!notes[i].empty())
            std::fprintf(stderr, "%s%s\n", terminal ? "\r\033[K" : "", notes[i].c_str());
        if (r.status == "failed")
            std::fprintf(stderr, "%ssilvane-cli batch: %s\n", terminal ? "\r\033[K" : "",
                         r.error.c_str());
        if (all.quiet)
            return;
        const double wall =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (terminal) {
            const double speed = wall > 0 ? audioDone / wall : 0;
            const double left = finished ? wall / double(finished) * double(total - finished) : 0;
            std::fprintf(stderr,
                         "\r\033[K%zu/%zu files, %.2f h of audio, %.0f x real time, %s left",
                         finished, total, audioDone / 3600, speed, hms(left).c_str());
        } else if (r.status == "done") {
            std::fprintf(stderr, "[%zu/%zu] %s: %.2f s of audio in %.3f s\n", finished, total,
                         jobs[i].rel.c_str(), r.seconds, r.processSeconds);
        } else {
            std::fprintf(stderr, "[%zu/%zu] %s: %s\n", finished, total, jobs[i].rel.c_str(),
                         r.status.c_str());
        }
        std::fflush(stderr);
    };

    auto work = [&] {
        auto blocks = std::make_unique<processing::EngineBlock[]>(2);
        for (;;) {
            const std::size_t i = next.fetch_add(1);
            if (i >= total)
                return;
            const Job& j = jobs[i];
            cli::ReportRecord r;
            r.source = j.source.string();
            r.output = j.output.string();
            processing::CleanStats stats;
            std::string error;
            std::error_code fe;
            if (!j.conflict.empty()) {
                r.status = "failed";
                r.error = r.source + ": " + j.conflict;
            } else if (all.skipExisting && fs::exists(j.output, fe)) {
                r.status = "skipped";
                // The report still describes the source (from its header).
                std::unique_ptr<soundfile::AudioReader> source;
                if (soundfile::openAudioReader(r.source, source, error)) {
                    const soundfile::AudioInfo& in = source->info();
                    r.sampleRate = in.sampleRate;
                    r.channels = in.channels;
                    r.frames = std::max<int64_t>(in.frames, 0);
                    r.seconds = in.sampleRate ? double(r.frames) / in.sampleRate : 0.0;
                }
            } else {
                fs::create_directories(j.output.parent_path(), fe);
                if (processing::cleanFile(r.source, r.output, all.clean, stats, error,
                                          blocks.get())) {
                    r.status = "done";
                } else {
                    r.status = "failed";
                    r.error = error;
                }
                completeRecord(r, stats);
            }
            if (!all.report.empty())
                hashFiles(r);
            std::string joined;
            for (const auto& n : stats.notes)
                joined += (joined.empty() ? "" : "\n") + ("silvane-cli batch: " + n);
            std::lock_guard<std::mutex> lock(mutex);
            records[i] = r;
            notes[i] = joined;
            progress(i);
        }
    };
    std::vector<std::thread> pool;
    for (int w = 1; w < workers; ++w)
        pool.emplace_back(work);
    work();
    for (auto& t : pool)
        t.join();
    if (terminal)
        std::fprintf(stderr, "\n");

    std::size_t done = 0, skipped = 0, failed = 0;
    double audio = 0;
    for (const auto& r : records) {
        done += r.status == "done";
        skipped += r.status == "skipped";
        failed += r.status == "failed";
        audio += r.status == "done" ? r.seconds : 0;
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    int status = failed ? 1 : 0;
    if (!all.report.empty()) {
        std::string err;
        if (!cli::writeReport(all.report, records, cli::describeSettingsLine(all.clean), err)) {
            std::fprintf(stderr, "silvane-cli batch: %s\n", err.c_str());
            status = 1;
        }
    }
    std::printf("%zu file(s): %zu cleaned, %zu skipped, %zu failed; %.2f h of audio in %s (%.0f x "
                "real time)\n",
                total, done, skipped, failed, audio / 3600, hms(wall).c_str(),
                wall > 0 ? audio / wall : 0.0);
    return status;
}

} // namespace
