#pragma once
// The persistent settings of the workstation as plain values: the table of
// sections and keys of SV.ini, their defaults, the validation of what a file
// holds, and reading and writing through the profile layer. No Qt: the
// configuration window maps these values onto its controls.
//
// Validation rule: a value that does not parse, or an item index outside its
// list, reads as its default; the window position and size are clamped to the
// screen. One bad key never spoils the others.

#include "engine/veldra.h"
#include "platform/profile/Profile.h"

#include <cstdint>
#include <string>

namespace config {

// The sampling rates offered for recording, by item index.
constexpr int kSampleRates[] = {8000, 11025, 16000, 22050, 32000};
constexpr int kSampleRateCount = 5;
constexpr int kMethodCount = 4;   // 0 simple, 1 normal, 2 extended, 3 neural
constexpr int kLanguageCount = 2; // 0 English, 1 Russian
constexpr int kLimitSlider = 100; // track bar maximum; limit dB = position - 100
constexpr int kMinLimitDb = -100;
constexpr int kMaxLimitDb = 0;
// The spin edits of the two rates take 0 ... 2 (their labels advise the
// useful ranges 0.8 ... 0.999 and 0.9 ... 0.999).
constexpr double kMinRate = 0.0;
constexpr double kMaxRate = 2.0;

struct ScreenSize {
    int width = 1920;
    int height = 1080;
};

struct Settings {
    int language = 0;
    int playDevice = 0;      // item index of the output device list
    int recDevice = 0;       // item index of the input device list
    int sampleRateIndex = 2; // into kSampleRates
    int channelsIndex = 0;   // 0 mono, 1 stereo
    bool autoMix = false;
    bool methodMix = true; // L - R when set, R - L otherwise
    int method = VELDRA_DEFAULT_METHOD;
    int limitDb = VELDRA_DEFAULT_LIMIT_DB;
    double noiseRate = VELDRA_DEFAULT_NOISE_RATE;
    double musicalRate = VELDRA_DEFAULT_MUSICAL_RATE;
    bool selectClearSpeech = true;
    bool useEqualizer = false;
    std::string outputDir;
    bool showClearSignal = true;
    bool showFileList = true;
    bool processEnabled = true;
    int winLeft = 0;
    int winTop = 0;
    int winWidth = 0; // default: the screen width
    int winHeight = 600;
    int fileListWidth = 165;

    bool operator==(const Settings& o) const;
    bool operator!=(const Settings& o) const { return !(*this == o); }
};

// The defaults for a screen of the given size.
Settings defaults(const ScreenSize& screen);

// Reads every key; a missing or bad one gives its default. Device indexes are
// only checked to be non-negative here: the window knows the device lists
// (see deviceIndex).
Settings read(const platform::profile::Profile& file, const ScreenSize& screen);
// The same from a file path; a missing or unreadable file gives defaults.
Settings readFile(const std::string& path, const ScreenSize& screen);

// Stores every key in table order into `file`, keeping other sections and
// keys it already holds.
void write(platform::profile::Profile& file, const Settings& s);
// Loads `path` (when it exists), stores every key and saves the whole file
// atomically. On failure returns false and a one-line reason in `error`.
bool writeFile(const std::string& path, const Settings& s, std::string& error);

// The item to select in a device list of `count` entries for a stored index:
// -1 (nothing) for an empty list, the index when it is in the list, else 0.
int deviceIndex(int stored, int count);

// Sampling rate in Hz of an item of the rate list; any other index gives 8000.
int sampleRateOf(int index);
// Channels of an item of the channel list: 2 for item 1, else 1.
int channelsOf(int index);
// Track bar position for a limit in dB and back.
inline int sliderOfLimit(int limitDb) {
    return kLimitSlider + limitDb;
}
inline int limitOfSlider(int position) {
    return position - kLimitSlider;
}

// Parsing of stored text, exposed for the tests. Each returns false and leaves
// `out` alone when the text is not wholly a value of its type (blanks around
// it allowed).
bool parseInt(const std::string& text, int& out);
// Accepts '.' or ',' as the decimal separator, so a file written in another
// locale still reads; rejects NaN and infinities.
bool parseReal(const std::string& text, double& out);
// Reals are written with '.' and up to 15 significant digits.
std::string formatReal(double v);

} // namespace config
