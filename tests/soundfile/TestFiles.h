#pragma once
// Helpers shared by the sound-file tests: a scratch directory, crafted WAV
// byte images, and a deterministic test signal (also as a WAV file).

#include "soundfile/WavFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace testfiles {

// A fresh directory for this test process, removed with everything in it when
// the process exits.
inline std::filesystem::path scratchDir() {
    struct Scratch {
        std::filesystem::path path;
        Scratch() {
            std::string tmpl =
                (std::filesystem::temp_directory_path() / "silvane-sf-XXXXXX").string();
            if (mkdtemp(tmpl.data()))
                path = tmpl;
        }
        ~Scratch() {
            std::error_code ec;
            if (!path.empty())
                std::filesystem::remove_all(path, ec);
        }
    };
    static Scratch dir;
    if (dir.path.empty()) {
        std::fprintf(stderr, "cannot make a scratch directory under %s\n",
                     std::filesystem::temp_directory_path().c_str());
        std::abort();
    }
    return dir.path;
}

inline std::string scratch(const std::string& name) {
    return (scratchDir() / name).string();
}

inline void writeBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline std::vector<uint8_t> readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// Little-endian byte image builder.
struct Bytes {
    std::vector<uint8_t> v;
    Bytes& id(const char* s) {
        v.insert(v.end(), s, s + 4);
        return *this;
    }
    Bytes& u32(uint32_t x) {
        for (int i = 0; i < 4; ++i)
            v.push_back(uint8_t(x >> (8 * i)));
        return *this;
    }
    Bytes& u16(uint16_t x) {
        v.push_back(uint8_t(x));
        v.push_back(uint8_t(x >> 8));
        return *this;
    }
    Bytes& u8(uint8_t x) {
        v.push_back(x);
        return *this;
    }
    Bytes& zeros(std::size_t n) {
        v.insert(v.end(), n, 0);
        return *this;
    }
    Bytes& raw(const std::vector<uint8_t>& b) {
        v.insert(v.end(), b.begin(), b.end());
        return *this;
    }
};

struct Fmt {
    uint32_t size = 16;
    uint16_t tag = 1, channels = 1;
    uint32_t rate = 8000;
    uint16_t blockAlign = 2, bits = 16;
};

// A format chunk at 8000 Hz with the given tag, channels, bits and block align.
inline Fmt fmtOf(uint16_t tag, uint16_t channels, uint16_t bits, uint16_t blockAlign) {
    Fmt f;
    f.tag = tag;
    f.channels = channels;
    f.bits = bits;
    f.blockAlign = blockAlign;
    return f;
}

inline Bytes& fmtChunk(Bytes& b, const Fmt& f) {
    b.id("fmt ")
        .u32(f.size)
        .u16(f.tag)
        .u16(f.channels)
        .u32(f.rate)
        .u32(f.rate * f.blockAlign)
        .u16(f.blockAlign)
        .u16(f.bits);
    if (f.size > 16)
        b.zeros(f.size - 16);
    return b;
}

// A plain file: RIFF, WAVE, fmt, data (RIFF size not checked by the reader).
inline std::vector<uint8_t> wavImage(const Fmt& f, const std::vector<uint8_t>& data,
                                     uint32_t dataSize = UINT32_MAX) {
    Bytes b;
    b.id("RIFF").u32(0).id("WAVE");
    fmtChunk(b, f);
    b.id("data").u32(dataSize == UINT32_MAX ? uint32_t(data.size()) : dataSize).raw(data);
    return b.v;
}

inline std::vector<uint8_t> le16(const std::vector<int16_t>& s) {
    std::vector<uint8_t> out;
    for (int16_t x : s) {
        out.push_back(uint8_t(x));
        out.push_back(uint8_t(uint16_t(x) >> 8));
    }
    return out;
}

// A chirp with some pseudo-random noise, peak below `peak`, interleaved.
inline std::vector<int16_t> testSignal(int frames, int channels, int rate, int peak = 15000) {
    std::vector<int16_t> s(std::size_t(frames) * channels);
    uint32_t lcg = 12345;
    double phase[2] = {0, 0};
    for (int i = 0; i < frames; ++i) {
        double t = double(i) / rate;
        double f = 200 + 0.45 * rate * t / (double(frames) / rate);
        for (int c = 0; c < channels; ++c) {
            phase[c % 2] += 2 * 3.14159265358979 * f * (c % 2 ? 0.7 : 1.0) / rate;
            lcg = lcg * 1664525u + 1013904223u;
            double noise = (double(lcg >> 8) / double(1 << 24) - 0.5) * 0.2;
            s[std::size_t(i) * channels + c] =
                int16_t(peak * (0.75 * std::sin(phase[c % 2]) + noise));
        }
    }
    return s;
}

// Writes testSignal(frames, channels, rate, peak) to `path` as a 16-bit WAV
// and returns the path.
inline std::string writeTestWav(const std::string& path, int frames, int channels, int rate,
                                int peak) {
    std::string err;
    const auto sig = testSignal(frames, channels, rate, peak);
    EXPECT_TRUE(soundfile::writePcmWav(path, uint32_t(rate), uint16_t(channels), sig.data(),
                                       std::size_t(frames), err))
        << err;
    return path;
}

inline int run(const std::string& cmd) {
    return std::system((cmd + " >/dev/null 2>&1").c_str());
}

} // namespace testfiles
