#include "CleanFile.h"

#include "ChannelLayout.h"
#include "WavLoad.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>

namespace processing {

std::string validate(const CleanOptions& o) {
    if (o.method > 2) return "method must be 0, 1 or 2";
    if (!(o.limitDb >= -100.0f && o.limitDb <= 0.0f)) return "limit must be within -100 ... 0 dB";
    if (!(o.noiseRate >= 0.8f && o.noiseRate <= 0.999f)) return "noise rate must be within 0.8 ... 0.999";
    if (!(o.musicalRate >= 0.9f && o.musicalRate <= 0.999f))
        return "musical rate must be within 0.9 ... 0.999";
    if (!o.eqGains.empty() && (o.eqGains.size() < 2 || o.eqGains.size() > 100))
        return "the equalizer needs 2 ... 100 gains";
    return "";
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

bool cleanFile(const std::string& input, const std::string& output, const CleanOptions& o,
               CleanStats& stats, std::string& error) {
    stats = CleanStats{};
    LoadedWav wav;
    if (loadWav(input, wav, error) != WavLoadStatus::Ok) {
        error = input + ": " + error;
        return false;
    }
    const int channels = wav.header.channels >= 2 ? 2 : 1;
    const int32_t length = std::min(wav.frames, MaxOrigSamples);
    const std::size_t n = std::size_t(length);
    std::vector<int16_t> orig0(n), orig1(n);
    int16_t* origDst[2] = {orig0.data(), orig1.data()};
    splitChannels(wav.samples.get(), length, wav.header.channels, origDst, length);
    wav.samples.reset();

    std::vector<int16_t> changed0(n), changed1(n);
    const int32_t vadCap = std::min<int32_t>(MaxVadFrames, length + 1);
    const std::size_t nv = std::size_t(vadCap);
    std::vector<uint8_t> vad0(nv), vad1(nv);
    int32_t changedLength = 0, vadCount = 0;
    RunSignal s;
    s.orig[0] = orig0.data();
    s.orig[1] = orig1.data();
    s.origLength = length;
    s.changed[0] = changed0.data();
    s.changed[1] = changed1.data();
    s.changedCapacity = length;
    s.vad[0] = vad0.data();
    s.vad[1] = vad1.data();
    s.vadCapacity = vadCap;
    s.changedLength = &changedLength;
    s.vadCount = &vadCount;

    RunParameters p;
    p.sampleRate = int32_t(wav.header.sampleRate);
    p.channels = channels;
    p.method = o.method;
    p.limitDb = o.limitDb;
    p.noiseRate = o.noiseRate;
    p.musicalRate = o.musicalRate;
    p.selectClearSpeech = o.background ? 0 : 1;
    FrameControls fc;
    fc.method = o.method;
    fc.autoMix = o.autoMix;
    fc.methodMix = o.methodMix;
    fc.processEnabled = o.processEnabled;
    fc.useEqualizer = !o.eqGains.empty();
    fc.eqGains = o.eqGains.empty() ? nullptr : o.eqGains.data();
    fc.eqPointCount = int32_t(o.eqGains.size());
    RunHooks hooks;
    hooks.controls = [&fc] { return fc; };

    const auto t0 = std::chrono::steady_clock::now();
    runProcessing(p, s, hooks);
    stats.processSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();

    std::vector<int16_t> interleaved(std::size_t(changedLength) * channels);
    const int16_t* src[2] = {changed0.data(), changed1.data()};
    joinChannels(src, changedLength, channels, interleaved.data());
    if (!writePcmWav(output, wav.header.sampleRate, uint16_t(channels), interleaved.data(),
                     std::size_t(changedLength), error))
        return false;
    stats.sampleRate = wav.header.sampleRate;
    stats.channels = channels;
    stats.inputFrames = wav.frames;
    stats.outputFrames = changedLength;
    stats.audioSeconds = wav.header.sampleRate ? double(wav.frames) / wav.header.sampleRate : 0.0;
    return true;
}

}  // namespace processing
