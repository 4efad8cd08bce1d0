#pragma once
// Drives one veldra channel over whole signals the way an offline caller
// does: frame by frame, Reset before every frame, output realigned by the
// engine's delay and the tail flushed with zeros.

#include <cmath>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/veldra.h"

namespace enginetest {

// The common sample rates from 8 to 48 kHz, each of the engine's frame lengths among them.
constexpr int kRates[] = {8000, 11025, 16000, 22050, 32000, 44100, 48000};

struct Settings {
    uint8_t method = 2;
    float limitDb = -18.0f;
    float noiseRate = 0.95f;
    float musicalRate = 0.98f;
    uint8_t clear = 1;
};

class Channel {
  public:
    explicit Channel(int rate, Settings s = {}) : settings_(s) {
        std::memset(block_, 0, sizeof block_);
        Veldra_Init(block_, rate, s.method, s.limitDb, s.noiseRate, s.musicalRate, "test");
    }
    ~Channel() { Veldra_Destroyed(block_); }
    Channel(const Channel&) = delete;
    Channel& operator=(const Channel&) = delete;

    uint32_t field(int offset) const {
        uint32_t v;
        std::memcpy(&v, block_ + offset, sizeof v);
        return v;
    }
    int frameLength() const { return static_cast<int>(field(VELDRA_OFFSET_FRAME_LENGTH)); }
    int frameStep() const { return static_cast<int>(field(VELDRA_OFFSET_FRAME_STEP)); }
    int delay() const { return static_cast<int>(field(VELDRA_OFFSET_DELAY)); }
    bool voiceActive() const { return block_[VELDRA_OFFSET_VOICE_ACTIVE] != 0; }
    unsigned char* block() { return block_; }
    Settings& settings() { return settings_; }

    // One frame: Reset, Frame, optional equalizer, Restore.
    void step(const int16_t* in, int16_t* out, const std::vector<float>* eq = nullptr) {
        Veldra_Reset(block_, settings_.method, settings_.limitDb, settings_.noiseRate,
                     settings_.musicalRate);
        Veldra_Frame(block_, settings_.clear, in);
        if (eq != nullptr)
            Veldra_Equalizer(block_, static_cast<int32_t>(eq->size()), eq->data());
        Veldra_Restore(block_, out);
        voice_.push_back(voiceActive());
    }

    // Raw stream: whole frames of `in` (zero-padded), output not realigned.
    std::vector<int16_t> stream(const std::vector<int16_t>& in) {
        const int s = frameStep();
        std::vector<int16_t> padded(in);
        padded.resize((in.size() + s - 1) / s * s, 0);
        std::vector<int16_t> out(padded.size());
        for (size_t pos = 0; pos < padded.size(); pos += s)
            step(&padded[pos], &out[pos]);
        return out;
    }

    // Aligned offline result: same length as `in`, sample i cleaned from in[i].
    std::vector<int16_t> process(const std::vector<int16_t>& in) {
        std::vector<int16_t> padded(in);
        padded.resize(in.size() + delay(), 0);
        std::vector<int16_t> out = stream(padded);
        return std::vector<int16_t>(out.begin() + delay(), out.begin() + delay() + in.size());
    }

    const std::vector<bool>& voice() const { return voice_; }

  private:
    alignas(16) unsigned char block_[VELDRA_BLOCK_SIZE];
    Settings settings_;
    std::vector<bool> voice_;
};

inline std::vector<int16_t> whiteNoise(size_t n, double sigma, unsigned seed = 7) {
    std::mt19937 rng(seed);
    std::normal_distribution<double> d(0.0, sigma);
    std::vector<int16_t> v(n);
    for (auto& x : v) {
        const double s = std::round(d(rng));
        x = static_cast<int16_t>(s > 32767 ? 32767 : (s < -32768 ? -32768 : s));
    }
    return v;
}

inline std::vector<double> tone(size_t n, double freq, double amp, int rate) {
    std::vector<double> v(n);
    for (size_t i = 0; i < n; ++i)
        v[i] = amp * std::sin(2.0 * M_PI * freq * static_cast<double>(i) / rate);
    return v;
}

inline std::vector<int16_t> mix(const std::vector<double>& a, const std::vector<int16_t>& b) {
    std::vector<int16_t> v(a.size());
    for (size_t i = 0; i < a.size(); ++i) {
        const double s = std::round(a[i] + (i < b.size() ? b[i] : 0));
        v[i] = static_cast<int16_t>(s > 32767 ? 32767 : (s < -32768 ? -32768 : s));
    }
    return v;
}

// Mean power of v[from, to).
inline double power(const std::vector<int16_t>& v, size_t from, size_t to) {
    double e = 0;
    for (size_t i = from; i < to; ++i)
        e += static_cast<double>(v[i]) * v[i];
    return to > from ? e / static_cast<double>(to - from) : 0.0;
}

inline double dB(double ratio) {
    return 10.0 * std::log10(ratio + 1e-30);
}

// Amplitude of the component at `freq` in v[from, to) (least squares on sin/cos).
inline double toneAmplitude(const std::vector<int16_t>& v, size_t from, size_t to, double freq,
                            int rate) {
    double c = 0, s = 0;
    for (size_t i = from; i < to; ++i) {
        const double ph = 2.0 * M_PI * freq * static_cast<double>(i) / rate;
        c += v[i] * std::cos(ph);
        s += v[i] * std::sin(ph);
    }
    const double n = static_cast<double>(to - from);
    return 2.0 * std::sqrt(c * c + s * s) / n;
}

// Minimal reader of 16-bit PCM mono WAV files (corpus files only).
inline bool readWav16(const std::string& path, std::vector<int16_t>& samples, int& rate) {
    FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr)
        return false;
    std::vector<unsigned char> bytes;
    unsigned char buf[65536];
    size_t got;
    while ((got = std::fread(buf, 1, sizeof buf, f)) > 0)
        bytes.insert(bytes.end(), buf, buf + got);
    std::fclose(f);
    if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0)
        return false;
    size_t pos = 12;
    bool pcm16 = false;
    while (pos + 8 <= bytes.size()) {
        uint32_t size;
        std::memcpy(&size, &bytes[pos + 4], 4);
        if (std::memcmp(&bytes[pos], "fmt ", 4) == 0 && pos + 24 <= bytes.size()) {
            uint16_t tag, channels, bits;
            uint32_t r;
            std::memcpy(&tag, &bytes[pos + 8], 2);
            std::memcpy(&channels, &bytes[pos + 10], 2);
            std::memcpy(&r, &bytes[pos + 12], 4);
            std::memcpy(&bits, &bytes[pos + 22], 2);
            pcm16 = tag == 1 && channels == 1 && bits == 16;
            rate = static_cast<int>(r);
        } else if (std::memcmp(&bytes[pos], "data", 4) == 0) {
            if (!pcm16)
                return false;
            const size_t n = std::min<size_t>(size, bytes.size() - pos - 8) / 2;
            samples.resize(n);
            std::memcpy(samples.data(), &bytes[pos + 8], n * 2);
            return true;
        }
        pos += 8 + size + (size & 1);
    }
    return false;
}

} // namespace enginetest
