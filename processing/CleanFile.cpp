#include "processing/CleanFile.h"

#include "processing/StreamClean.h"

#include "base/SafeFile.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

namespace processing {

bool validate(const CleanOptions& o, std::string& error) {
    if (o.method > 3)
        error = "method must be 0, 1, 2 or 3";
    else if (!(o.limitDb >= -100.0f && o.limitDb <= 0.0f))
        error = "limit must be within -100 ... 0 dB";
    else if (!(o.noiseRate >= 0.8f && o.noiseRate <= 0.999f))
        error = "noise rate must be within 0.8 ... 0.999";
    else if (!(o.musicalRate >= 0.9f && o.musicalRate <= 0.999f))
        error = "musical rate must be within 0.9 ... 0.999";
    else if (!o.eqGains.empty() && (o.eqGains.size() < 2 || o.eqGains.size() > 100))
        error = "the equalizer needs 2 ... 100 gains";
    else
        return true;
    return false;
}

bool readEqualizerFile(const std::string& path, std::vector<float>& gains, std::string& error) {
    std::ifstream in(path);
    if (!in) {
        error = "cannot open " + path;
        return false;
    }
    std::vector<float> g;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        line = line.substr(0, line.find('#'));
        std::istringstream words(line);
        std::string w;
        while (words >> w) {
            char* end = nullptr;
            float v = std::strtof(w.c_str(), &end);
            if (end == w.c_str() || *end != '\0' || !(v >= 0.0f) || v > 100.0f) {
                error = path + ":" + std::to_string(lineNo) + ": not a gain: " + w;
                return false;
            }
            g.push_back(v);
        }
    }
    if (g.size() < 2 || g.size() > 100) {
        error = path + ": expected 2 ... 100 gains, found " + std::to_string(g.size());
        return false;
    }
    gains = std::move(g);
    return true;
}

const char* programVersion() {
    return SILVANE_VERSION;
}

std::string describeSettings(const CleanOptions& o) {
    char buf[160];
    std::snprintf(buf, sizeof buf, "method %u; limit %g dB; noise rate %g; musical rate %g",
                  unsigned(o.method), double(o.limitDb), double(o.noiseRate),
                  double(o.musicalRate));
    std::string s = buf;
    if (o.background)
        s += "; background";
    if (o.autoMix)
        s += o.methodMix ? "; mix L-R" : "; mix R-L";
    if (!o.eqGains.empty())
        s += "; equalizer " + std::to_string(o.eqGains.size()) + " points";
    if (!o.processEnabled)
        s += "; processing off";
    return s;
}

bool cleanFile(const std::string& input, const std::string& output, const CleanOptions& o,
               CleanStats& stats, std::string& error, processing::EngineBlock* blocks) {
    stats = CleanStats{};
    const auto t0 = std::chrono::steady_clock::now();
    if (input != "-" && output != "-" && !o.overwrite && base::sameFile(input, output)) {
        error = output + " is the input file (use -y to replace it)";
        return false;
    }
    std::unique_ptr<soundfile::AudioReader> reader;
    if (!soundfile::openAudioReader(input, reader, error))
        return false;
    const soundfile::AudioInfo& in = reader->info();
    const int channels = in.channels >= 2 ? 2 : 1;
    if (in.channels > 2)
        stats.notes.push_back(input + ": " + std::to_string(in.channels) +
                              " channels, the first two are cleaned");

    soundfile::WriterSettings settings;
    settings.format = o.formatGiven ? o.format : soundfile::formatForPath(output);
    settings.sampleRate = in.sampleRate;
    settings.channels = channels;
    settings.expectedFrames = in.exactFrames ? in.frames : -1;
    settings.overwrite = o.overwrite;
    settings.rf64Threshold = o.rf64Threshold;
    settings.metadata = in.metadata;
    if (!settings.metadata.bext.empty()) {
        char line[400];
        std::snprintf(line, sizeof line, "A=PCM,F=%u,W=16,M=%s,T=Silvane silvane-cli %s; %s",
                      unsigned(in.sampleRate), channels == 2 ? "stereo" : "mono", programVersion(),
                      describeSettings(o).c_str());
        soundfile::appendCodingHistory(settings.metadata.bext, line);
        if (settings.format == soundfile::OutputFormat::Flac)
            stats.notes.push_back(input +
                                  ": the broadcast-wave (bext) chunk is not carried into FLAC");
    }
    if (output == "-" && settings.expectedFrames < 0 && !settings.metadata.empty())
        stats.notes.push_back(input + ": metadata is not written to a stream of unknown length");

    std::unique_ptr<soundfile::AudioWriter> writer;
    if (!soundfile::openAudioWriter(output, settings, writer, error))
        return false;

    RunParameters p;
    static_cast<processing::EngineParameters&>(p) = o;
    p.sampleRate = int32_t(in.sampleRate);
    p.channels = channels;
    p.selectClearSpeech = o.background ? 0 : 1;
    FrameControls fc;
    fc.method = o.method;
    fc.autoMix = o.autoMix;
    fc.methodMix = o.methodMix;
    fc.processEnabled = o.processEnabled;
    fc.useEqualizer = !o.eqGains.empty();
    fc.eqGains = o.eqGains.empty() ? nullptr : o.eqGains.data();
    fc.eqPointCount = int32_t(o.eqGains.size());
    StreamCleaner cleaner(p, fc, blocks);
    if (!cleaner.usable()) {
        error = input + ": the engine cannot clean at " + std::to_string(in.sampleRate) + " Hz";
        return false;
    }

    const std::string inputName = input == "-" ? "standard input" : input;
    constexpr std::size_t kBlockFrames = 8192;
    std::vector<int16_t> block(kBlockFrames * std::size_t(in.channels));
    std::vector<int16_t> cleaned;
    cleaned.reserve((kBlockFrames + kFrameBufferSamples) * 2);
    for (;;) {
        std::size_t got = 0;
        if (!reader->read(block.data(), kBlockFrames, got, error)) {
            error = inputName + ": " + error;
            return false;
        }
        if (got == 0)
            break;
        cleaned.clear();
        cleaner.push(block.data(), got, in.channels, cleaned);
        if (o.progress)
            o.progress(int64_t(cleaner.framesIn()), in.frames);
        if (!writer->write(cleaned.data(), cleaned.size() / channels, error))
            return false;
    }
    if (const std::string note = reader->endNote(); !note.empty())
        stats.notes.push_back(inputName + ": " + note);
    cleaned.clear();
    cleaner.finish(cleaned);
    if (!writer->write(cleaned.data(), cleaned.size() / channels, error))
        return false;
    if (!writer->finish(error))
        return false;

    stats.sampleRate = in.sampleRate;
    stats.sourceChannels = in.channels;
    stats.channels = channels;
    stats.inputFrames = int64_t(cleaner.framesIn());
    stats.outputFrames = int64_t(cleaner.framesOut());
    stats.audioSeconds = in.sampleRate ? double(stats.inputFrames) / in.sampleRate : 0.0;
    stats.container = in.container;
    stats.processSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    return true;
}

bool cleanFile(const std::string& input, const std::string& output, const CleanOptions& o,
               CleanStats& stats, std::string& error) {
    auto blocks = std::make_unique<processing::EngineBlock[]>(2);
    return cleanFile(input, output, o, stats, error, blocks.get());
}

} // namespace processing
