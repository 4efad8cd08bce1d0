#pragma once
// Cleaning a WAV file into a new 16-bit PCM file through the processing run,
// as the command line and the batch do it. The result is the one the window
// computes for the same file and settings.

#include "ProcessingRun.h"

#include <string>
#include <vector>

namespace processing {

struct CleanOptions {
    uint8_t method = 2;
    float limitDb = -18.0f;
    float noiseRate = 0.95f;
    float musicalRate = 0.98f;
    bool background = false;     // output what was removed instead of the speech
    bool autoMix = false;        // stereo: clean the channel difference
    bool methodMix = true;       // L - R when set, R - L otherwise
    bool processEnabled = true;
    std::vector<float> eqGains;  // empty: no equalizer
};

// Checks the ranges the configuration window allows; returns "" or the reason.
std::string validate(const CleanOptions& o);

// Reads a file of equalizer gains: whitespace-separated linear factors (at
// most 100, at least 2), '#' starts a comment.
bool readEqualizerFile(const std::string& path, std::vector<float>& gains, std::string& error);

struct CleanStats {
    uint32_t sampleRate = 0;
    int channels = 0;
    int32_t inputFrames = 0;
    int32_t outputFrames = 0;
    double audioSeconds = 0;
    double processSeconds = 0;
};

bool cleanFile(const std::string& input, const std::string& output, const CleanOptions& o,
               CleanStats& stats, std::string& error);

}  // namespace processing
