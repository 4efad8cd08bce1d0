// Sound formats through silvane-cli: lossless containers decode to exactly
// the samples the reference tools give; lossy ones within the differences
// between decoders; damaged and truncated files end in one line of error and
// no output, never a crash.

#include "tests/cli/Shell.h"
#include "tests/soundfile/TestFiles.h"
#include "soundfile/WavFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <sys/wait.h>

namespace fs = std::filesystem;
using namespace testfiles;
using clitest::Shell;
using clitest::sh;

namespace {

std::vector<int16_t> raw16(const std::string& path) {
    const auto b = readBytes(path);
    std::vector<int16_t> v(b.size() / 2);
    std::memcpy(v.data(), b.data(), v.size() * 2);
    return v;
}

// What silvane-cli reads from `file`: its samples passed through unprocessed.
std::vector<int16_t> ours(const std::string& file) {
    const std::string wav = file + ".ours.wav";
    EXPECT_EQ(sh("$CLI clean -y --no-process " + file + " " + wav).status, 0) << file;
    WavHeaderInfo h;
    int32_t frames = 0;
    int16_t* block = nullptr;
    EXPECT_TRUE(readWavSamples(h, wav, frames, block));
    std::vector<int16_t> v(block, block + std::size_t(frames) * h.channels);
    delete[] block;
    return v;
}

std::string source(int rate = 16000) {
    const std::string p = scratch("fmt-src-" + std::to_string(rate) + ".wav");
    if (!fs::exists(p)) {
        const auto sig = testSignal(rate * 2 + 123, 2, rate, 12000);
        std::string err;
        EXPECT_TRUE(
            writePcmWav(p, uint32_t(rate), 2, sig.data(), std::size_t(rate * 2 + 123), err));
    }
    return p;
}

TEST(Formats, LosslessContainersGiveTheReferenceSamples) {
    const std::string src = source();
    struct {
        const char* name;
        const char* make;      // {src} -> {file}
        const char* reference; // {file} -> {raw}, 16-bit little-endian
    } cases[] = {
        {"x.flac", "flac -s -f -o {file} {src}",
         "flac -d -s -f --force-raw-format --endian=little --sign=signed -o {raw} {file}"},
        {"x24.flac", "sox {src} -b 24 {file}", "sox -D {file} -b 16 -t raw {raw}"},
        {"x.aiff", "sox {src} {file}", "sox {file} -t raw {raw}"},
        {"x.caf", "sox {src} -t caf {file}", "sox {file} -t raw {raw}"},
        {"x.w64", "sox {src} -t w64 {file}", "sox {file} -t raw {raw}"},
        {"x-rf64.wav", "ffmpeg -loglevel error -y -i {src} -rf64 always {file}",
         "sox {file} -t raw {raw}"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        auto fill = [&](std::string t) {
            for (auto [k, v] : {std::pair<std::string, std::string>{"{src}", src},
                                {"{file}", scratch(c.name)},
                                {"{raw}", scratch(std::string(c.name) + ".raw")}})
                for (std::size_t at; (at = t.find(k)) != std::string::npos;)
                    t.replace(at, k.size(), v);
            return t;
        };
        ASSERT_EQ(run(fill(c.make)), 0);
        ASSERT_EQ(run(fill(c.reference)), 0);
        const auto mine = ours(scratch(c.name));
        EXPECT_EQ(mine.size(), std::size_t(2 * (16000 * 2 + 123)));
        EXPECT_TRUE(mine == raw16(scratch(std::string(c.name) + ".raw")));
    }
}

int maxDiff(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    int m = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i)
        m = std::max(m, std::abs(a[i] - b[i]));
    return m;
}

TEST(Formats, LossyCodecsWithinTheDecodersDifferences) {
    const std::string src = source();
    ASSERT_EQ(run("oggenc -Q -o " + scratch("x.ogg") + " " + src), 0);
    ASSERT_EQ(run("lame --quiet " + src + " " + scratch("x.mp3")), 0);
    // Opus on tones: its decoders differ most in broadband noise (below).
    ASSERT_EQ(run("sox -n -r 16000 -c 2 -b 16 " + scratch("tones.wav") +
                  " synth 3 sine 300 sine 800 vol 0.3"),
              0);
    ASSERT_EQ(run("opusenc --quiet " + scratch("tones.wav") + " " + scratch("x.opus")), 0);
    // Vorbis and MP3 (gapless, from the encoder's own header): the same
    // length as ffmpeg's decoding, samples within one step (ffmpeg scales
    // by 32768, we by 32767 as our WAV float reader does).
    for (const char* f : {"x.ogg", "x.mp3"}) {
        SCOPED_TRACE(f);
        ASSERT_EQ(
            run("ffmpeg -loglevel error -y -i " + scratch(f) + " -f s16le " + scratch(f) + ".raw"),
            0);
        const auto mine = ours(scratch(f)), ref = raw16(scratch(std::string(f) + ".raw"));
        EXPECT_EQ(mine.size(), ref.size());
        EXPECT_LE(maxDiff(mine, ref), 1);
    }
    // Opus decodes at the file's own rate here; opusdec decodes at 48 kHz and
    // resamples, so the two agree closely on tones (75 dB apart) but only to
    // about 12 dB on noisy broadband speech.
    ASSERT_EQ(run("opusdec --quiet --no-dither --rate 16000 " + scratch("x.opus") + " " +
                  scratch("x.opus.wav")),
              0);
    const auto mine = ours(scratch("x.opus"));
    WavHeaderInfo h;
    int32_t frames = 0;
    int16_t* block = nullptr;
    ASSERT_TRUE(readWavSamples(h, scratch("x.opus.wav"), frames, block));
    std::vector<int16_t> ref(block, block + std::size_t(frames) * 2);
    delete[] block;
    ASSERT_EQ(mine.size(), ref.size());
    double num = 0, den = 0;
    for (std::size_t i = 0; i < ref.size(); ++i) {
        num += double(mine[i] - ref[i]) * (mine[i] - ref[i]);
        den += double(ref[i]) * ref[i];
    }
    EXPECT_GT(10 * std::log10(den / num), 50.0); // dB of signal over difference
}

TEST(Formats, DamagedFilesEndInOneLineAndNoOutput) {
    const std::string src = source(8000);
    ASSERT_EQ(run("flac -s -f -o " + scratch("d.flac") + " " + src), 0);
    ASSERT_EQ(run("oggenc -Q -o " + scratch("d.ogg") + " " + src), 0);
    ASSERT_EQ(run("lame --quiet " + src + " " + scratch("d.mp3")), 0);
    ASSERT_EQ(run("ffmpeg -loglevel error -y -i " + src + " -rf64 always " + scratch("d-rf64.wav")),
              0);
    for (const char* f : {"d.flac", "d.ogg", "d.mp3", "d-rf64.wav"}) {
        const auto whole = readBytes(scratch(f));
        int failures = 0;
        for (int k = 0; k < 8; ++k) {
            std::vector<uint8_t> bad = whole;
            if (k < 4) {
                bad.resize(whole.size() * std::size_t(k + 1) / 5); // truncated
            } else {
                for (std::size_t i = whole.size() * std::size_t(k - 3) / 5, j = 0;
                     j < 16 && i < bad.size(); ++i, ++j)
                    bad[i] ^= uint8_t(0x5A + j); // flipped
            }
            const std::string damaged = scratch(std::string("bad-") + f),
                              out = scratch("bad-out.wav");
            writeBytes(damaged, bad);
            fs::remove(out);
            const Shell r = sh("$CLI clean " + damaged + " " + out);
            SCOPED_TRACE(std::string(f) + " case " + std::to_string(k) + ": " + r.err);
            ASSERT_NE(r.status, -1); // no crash
            if (r.status != 0) {
                ++failures;
                EXPECT_EQ(r.status, 1);
                EXPECT_FALSE(fs::exists(out));
                // Our word is the last line, and one line (decoder libraries may warn before it).
                const std::string last = r.err.substr(r.err.rfind('\n', r.err.size() - 2) + 1);
                EXPECT_EQ(last.rfind("silvane-cli clean: ", 0), 0u);
            }
            for (const auto& e : fs::directory_iterator(scratchDir()))
                EXPECT_EQ(e.path().filename().string().find("partial"), std::string::npos)
                    << e.path();
        }
        EXPECT_GE(failures, 4) << f; // every truncation at least is refused
    }
}

} // namespace
