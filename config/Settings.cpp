#include "config/Settings.h"

#include <algorithm>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace config {

namespace {

enum class Kind { Int, Bool, Real, Text };

struct Key {
    const char* section;
    const char* name;
    Kind kind;
    int Settings::*i;
    bool Settings::*b;
    double Settings::*r;
    std::string Settings::*t;
};

constexpr Key intKey(const char* s, const char* n, int Settings::*m) {
    return {s, n, Kind::Int, m, nullptr, nullptr, nullptr};
}
constexpr Key boolKey(const char* s, const char* n, bool Settings::*m) {
    return {s, n, Kind::Bool, nullptr, m, nullptr, nullptr};
}
constexpr Key realKey(const char* s, const char* n, double Settings::*m) {
    return {s, n, Kind::Real, nullptr, nullptr, m, nullptr};
}
constexpr Key textKey(const char* s, const char* n, std::string Settings::*m) {
    return {s, n, Kind::Text, nullptr, nullptr, nullptr, m};
}

// The file's keys in the order they are read and written. The names are
// those of existing files, odd spellings and the trailing blank included.
const Key kKeys[] = {
    intKey("Interface", "Language", &Settings::language),
    intKey("Playback sound", "ID device", &Settings::playDevice),
    intKey("Record sound", "ID device", &Settings::recDevice),
    intKey("Record sound", "Sample rate", &Settings::sampleRateIndex),
    intKey("Record sound", "Channels", &Settings::channelsIndex),
    boolKey("PostProcessing", "Auto Mix", &Settings::autoMix),
    boolKey("PostProcessing", "Method of Mix", &Settings::methodMix),
    intKey("Silvane", "Kind substration", &Settings::method),
    intKey("Silvane", "Limitation suppression (dB)", &Settings::limitDb),
    realKey("Silvane", "Noise adaptation", &Settings::noiseRate),
    realKey("Silvane", "Musical noise reduction ", &Settings::musicalRate),
    boolKey("Silvane", "Select the clear Speech", &Settings::selectClearSpeech),
    boolKey("Silvane", "Use Graphic Equalizer", &Settings::useEqualizer),
    textKey("Output Data", "Directory for output data", &Settings::outputDir),
    boolKey("Form Properties", "Show clear signal", &Settings::showClearSignal),
    boolKey("Form Properties", "Show file list", &Settings::showFileList),
    boolKey("Form Properties", "Enabled Process", &Settings::processEnabled),
    intKey("Window Position", "Left", &Settings::winLeft),
    intKey("Window Position", "Top", &Settings::winTop),
    intKey("Window Position", "Width", &Settings::winWidth),
    intKey("Window Position", "Height", &Settings::winHeight),
    intKey("Window Position", "FileListWidth", &Settings::fileListWidth),
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

std::string trimmed(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && isBlank(s[b]))
        ++b;
    while (e > b && isBlank(s[e - 1]))
        --e;
    return s.substr(b, e - b);
}

void keepIn(int& v, int lo, int hi, int fallback) {
    if (v < lo || v > hi)
        v = fallback;
}

void clampTo(int& v, int lo, int hi) {
    v = std::clamp(v, lo, std::max(lo, hi));
}

void keepRate(double& v, double fallback) {
    if (!(v >= kMinRate && v <= kMaxRate))
        v = fallback;
}

} // namespace

bool Settings::operator==(const Settings& o) const {
    for (const Key& k : kKeys) {
        switch (k.kind) {
        case Kind::Int:
            if (this->*k.i != o.*k.i)
                return false;
            break;
        case Kind::Bool:
            if (this->*k.b != o.*k.b)
                return false;
            break;
        case Kind::Real:
            if (this->*k.r != o.*k.r)
                return false;
            break;
        case Kind::Text:
            if (this->*k.t != o.*k.t)
                return false;
            break;
        }
    }
    return true;
}

Settings defaults(const ScreenSize& screen) {
    Settings s;
    s.winWidth = std::max(0, screen.width);
    return s;
}

bool parseInt(const std::string& text, int& out) {
    std::string t = trimmed(text);
    if (t.empty())
        return false;
    std::size_t i = 0;
    bool negative = false;
    if (t[0] == '+' || t[0] == '-') {
        negative = t[0] == '-';
        i = 1;
    }
    if (i == t.size())
        return false;
    long long v = 0;
    for (; i < t.size(); ++i) {
        if (t[i] < '0' || t[i] > '9')
            return false;
        v = v * 10 + (t[i] - '0');
        if (v > 1LL + INT_MAX)
            return false;
    }
    if (negative)
        v = -v;
    if (v < INT_MIN || v > INT_MAX)
        return false;
    out = int(v);
    return true;
}

bool parseReal(const std::string& text, double& out) {
    std::string t = trimmed(text);
    if (t.empty() || t.size() > 64)
        return false;
    // Only plain decimal notation: digits, one separator, an exponent.
    bool separator = false, digits = false;
    for (std::size_t i = 0; i < t.size(); ++i) {
        char c = t[i];
        if (c >= '0' && c <= '9') {
            digits = true;
        } else if ((c == '.' || c == ',') && !separator) {
            separator = true;
            t[i] = '.';
        } else if ((c == '+' || c == '-') && (i == 0 || t[i - 1] == 'e' || t[i - 1] == 'E')) {
        } else if ((c == 'e' || c == 'E') && digits && i + 1 < t.size()) {
            separator = true; // no separator after the exponent
        } else {
            return false;
        }
    }
    if (!digits)
        return false;
    // strtod follows the C locale's separator, which is '.' unless the
    // program changed it; take the text apart with that in mind.
    const char* point = std::localeconv()->decimal_point;
    if (point && point[0] && point[0] != '.')
        std::replace(t.begin(), t.end(), '.', point[0]);
    char* end = nullptr;
    double v = std::strtod(t.c_str(), &end);
    if (end != t.c_str() + t.size() || !std::isfinite(v))
        return false;
    out = v;
    return true;
}

std::string formatReal(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.15g", v);
    std::string s = buf;
    std::replace(s.begin(), s.end(), ',', '.');
    return s;
}

Settings read(const platform::profile::Profile& file, const ScreenSize& screen) {
    const Settings d = defaults(screen);
    Settings s = d;
    for (const Key& k : kKeys) {
        std::optional<std::string> text = file.value(k.section, k.name);
        if (!text)
            continue;
        switch (k.kind) {
        case Kind::Int:
            parseInt(*text, s.*k.i);
            break;
        case Kind::Bool: {
            int v = 0;
            if (parseInt(*text, v))
                s.*k.b = v != 0;
            break;
        }
        case Kind::Real:
            parseReal(*text, s.*k.r);
            break;
        case Kind::Text:
            s.*k.t = *text;
            break;
        }
    }
    keepIn(s.language, 0, kLanguageCount - 1, d.language);
    keepIn(s.playDevice, 0, INT_MAX, d.playDevice);
    keepIn(s.recDevice, 0, INT_MAX, d.recDevice);
    keepIn(s.sampleRateIndex, 0, kSampleRateCount - 1, d.sampleRateIndex);
    keepIn(s.channelsIndex, 0, 1, d.channelsIndex);
    keepIn(s.method, 0, kMethodCount - 1, d.method);
    keepIn(s.limitDb, kMinLimitDb, kMaxLimitDb, d.limitDb);
    keepRate(s.noiseRate, d.noiseRate);
    keepRate(s.musicalRate, d.musicalRate);
    clampTo(s.winLeft, 0, screen.width - 10);
    clampTo(s.winTop, 0, screen.height - 10);
    clampTo(s.winWidth, 0, screen.width);
    clampTo(s.winHeight, 0, screen.height);
    clampTo(s.fileListWidth, 0, screen.width / 2);
    return s;
}

Settings readFile(const std::string& path, const ScreenSize& screen) {
    platform::profile::Profile p;
    p.load(path);
    return read(p, screen);
}

void write(platform::profile::Profile& file, const Settings& s) {
    for (const Key& k : kKeys) {
        std::string text;
        switch (k.kind) {
        case Kind::Int:
            text = std::to_string(s.*k.i);
            break;
        case Kind::Bool:
            text = s.*k.b ? "1" : "0";
            break;
        case Kind::Real:
            text = formatReal(s.*k.r);
            break;
        case Kind::Text:
            text = s.*k.t;
            break;
        }
        // A directory name with a line break cannot be stored; the key then
        // keeps what the file held.
        file.setValue(k.section, k.name, text);
    }
}

bool writeFile(const std::string& path, const Settings& s, std::string& error) {
    platform::profile::Profile p;
    p.load(path);
    write(p, s);
    return p.save(path, error);
}

int deviceIndex(int stored, int count) {
    if (count <= 0)
        return -1;
    return (stored >= 0 && stored < count) ? stored : 0;
}

int sampleRateOf(int index) {
    return (index >= 0 && index < kSampleRateCount) ? kSampleRates[index] : 8000;
}

int channelsOf(int index) {
    return index == 1 ? 2 : 1;
}

} // namespace config
