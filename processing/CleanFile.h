#pragma once
// Cleaning a sound file into a new 16-bit file (WAV, or FLAC) as the command
// line and its batch do it: streamed block by block through the frame rule of
// the processing run, so any length fits in the same small memory, and the
// output is exactly as long as the input. For a file the window can hold the
// samples are the ones the window computes for the same file and settings.

#include "processing/ProcessingRun.h"
#include "soundfile/AudioStream.h"

#include <functional>
#include <string>
#include <vector>

namespace processing {

// The engine's parameters and what the command line adds to them.
struct CleanOptions : processing::EngineParameters {
    bool background = false; // output what was removed instead of the speech
    bool autoMix = false;    // stereo: clean the channel difference
    bool methodMix = true;   // L - R when set, R - L otherwise
    bool processEnabled = true;
    std::vector<float> eqGains; // empty: no equalizer

    // Where the result goes.
    bool formatGiven = false; // false: by the output name's extension
    soundfile::OutputFormat format = soundfile::OutputFormat::Wav;
    bool overwrite = false; // replace an existing output, even the input itself
    uint64_t rf64Threshold = soundfile::WriterSettings{}.rf64Threshold;
    // Called after each block: frames read so far, and the total (-1 when the
    // source does not say).
    std::function<void(int64_t done, int64_t total)> progress;
};

// The program's version, as named in the coding history and the reports.
const char* programVersion();

// The settings in words, as the coding-history line and the reports give them.
std::string describeSettings(const CleanOptions& o);

// Checks the ranges the configuration window allows; false with the reason
// in `error` for the first value outside them.
bool validate(const CleanOptions& o, std::string& error);

// Reads a file of equalizer gains: whitespace-separated linear factors (at
// most 100, at least 2), '#' starts a comment.
bool readEqualizerFile(const std::string& path, std::vector<float>& gains, std::string& error);

struct CleanStats {
    uint32_t sampleRate = 0;
    int sourceChannels = 0;
    int channels = 0; // of the output: the first two of the source at most
    int64_t inputFrames = 0;
    int64_t outputFrames = 0;
    double audioSeconds = 0;
    double processSeconds = 0;
    std::string container;          // of the source
    std::vector<std::string> notes; // things the user should hear about (channels dropped, ...)
};

// Cleans `input` ("-": standard input) into `output` ("-": standard output).
// The output appears only when complete; an existing output, or the input
// itself, is refused unless o.overwrite. `blocks` are the two engine blocks to
// use (each concurrent call needs its own).
bool cleanFile(const std::string& input, const std::string& output, const CleanOptions& o,
               CleanStats& stats, std::string& error, processing::EngineBlock* blocks);
bool cleanFile(const std::string& input, const std::string& output, const CleanOptions& o,
               CleanStats& stats, std::string& error);

} // namespace processing
