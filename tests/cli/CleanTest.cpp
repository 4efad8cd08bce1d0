// Cleaning files as a user does: the library call, silvane-cli clean and
// silvane-cli batch give the same bytes; the output is as long as the input;
// nothing is overwritten unless asked; failures are reported and do not stop
// a batch.

#include "processing/CleanFile.h"
#include "tests/soundfile/TestFiles.h"
#include "soundfile/WavFile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using namespace processing;

namespace {

using testfiles::scratchDir;

std::vector<char> bytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

int cli(const std::string& args) {
    int status = std::system((std::string(SILVANE_CLI) + " " + args + " >/dev/null 2>&1").c_str());
    return WEXITSTATUS(status);
}

fs::path bundledSample() { return fs::path(SILVANE_SOURCE_DIR) / "samples" / "noisy-speech-stereo.wav"; }

fs::path makeStereo(const std::string& name, int channels = 2) {
    const int frames = 16000 * 2;
    std::vector<int16_t> s(std::size_t(frames) * channels);
    uint32_t lcg = 3;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            lcg = lcg * 1664525u + 1013904223u;
            s[std::size_t(i) * channels + c] =
                int16_t(5000 * std::sin(i * 0.03 * (c + 1)) * (i % 8000 < 4000) + double(int32_t(lcg) >> 21));
        }
    fs::path p = scratchDir() / name;
    std::string err;
    EXPECT_TRUE(writePcmWav(p.string(), 16000, uint16_t(channels), s.data(), frames, err)) << err;
    return p;
}

TEST(Clean, CommandsAgreeBitForBit) {
    const fs::path in = scratchDir() / "batch-in";
    const fs::path out = scratchDir() / "batch-out";
    fs::create_directories(in);
    fs::create_directories(out);
    const fs::path sample = bundledSample();
    ASSERT_TRUE(fs::exists(sample)) << sample;
    fs::copy_file(sample, in / "b.wav", fs::copy_options::overwrite_existing);
    fs::copy_file(makeStereo("stereo.wav"), in / "a.wav", fs::copy_options::overwrite_existing);

    // clean in the opposite order of the batch, with a third file between.
    ASSERT_EQ(cli("clean " + (in / "b.wav").string() + " " + (scratchDir() / "b-clean.wav").string()), 0);
    ASSERT_EQ(cli("clean " + makeStereo("between.wav", 1).string() + " " + (scratchDir() / "other.wav").string()), 0);
    ASSERT_EQ(cli("clean " + (in / "a.wav").string() + " " + (scratchDir() / "a-clean.wav").string()), 0);
    ASSERT_EQ(cli("batch " + in.string() + " " + out.string()), 0);
    EXPECT_EQ(bytesOf(out / "a.wav"), bytesOf(scratchDir() / "a-clean.wav"));
    EXPECT_EQ(bytesOf(out / "b.wav"), bytesOf(scratchDir() / "b-clean.wav"));

    CleanStats stats;
    std::string err;
    ASSERT_TRUE(cleanFile((in / "b.wav").string(), (scratchDir() / "b-lib.wav").string(), CleanOptions{}, stats, err))
        << err;
    EXPECT_EQ(bytesOf(scratchDir() / "b-lib.wav"), bytesOf(scratchDir() / "b-clean.wav"));
}

TEST(Clean, OutputFormatAndLength) {
    CleanStats stats;
    std::string err;
    const fs::path out = scratchDir() / "three-clean.wav";
    ASSERT_TRUE(cleanFile(makeStereo("three.wav", 3).string(), out.string(), CleanOptions{}, stats, err)) << err;
    EXPECT_EQ(stats.channels, 2);  // the first two channels are kept
    EXPECT_EQ(stats.inputFrames, 32000);
    EXPECT_EQ(stats.outputFrames, 32000);
    EXPECT_EQ(stats.notes.size(), 1u);  // the dropped channel is told
    WavHeaderInfo h;
    int32_t frames = 0;
    int16_t* block = nullptr;
    ASSERT_TRUE(readWavSamples(h, out.string(), frames, block));
    delete[] block;
    EXPECT_EQ(h.formatTag, 1);
    EXPECT_EQ(h.channels, 2);
    EXPECT_EQ(h.bitsPerSample, 16);
    EXPECT_EQ(frames, stats.outputFrames);
    EXPECT_EQ(fs::file_size(out), 56u + 4u * std::uintmax_t(frames));
}

TEST(Clean, NoProcessGivesTheInputBack) {
    const fs::path in = makeStereo("passthrough.wav");
    const fs::path out = scratchDir() / "passthrough-out.wav";
    ASSERT_EQ(cli("clean --no-process " + in.string() + " " + out.string()), 0);
    WavHeaderInfo h;
    int32_t fi = 0, fo = 0;
    int16_t *a = nullptr, *b = nullptr;
    ASSERT_TRUE(readWavSamples(h, in.string(), fi, a));
    ASSERT_TRUE(readWavSamples(h, out.string(), fo, b));
    ASSERT_EQ(fo, fi);
    EXPECT_TRUE(std::equal(b, b + 2 * fo, a));
    delete[] a;
    delete[] b;
}

TEST(Clean, OptionErrorsAreUsageErrors) {
    const std::string in = makeStereo("opts.wav").string(), out = (scratchDir() / "opts-out.wav").string();
    EXPECT_EQ(cli("clean " + in + " " + out + " --method 4"), 2);
    EXPECT_EQ(cli("clean " + in + " " + out + " --limit 5"), 2);
    EXPECT_EQ(cli("clean " + in + " " + out + " --limit -101"), 2);
    EXPECT_EQ(cli("clean " + in + " " + out + " --noise-rate 0.5"), 2);
    EXPECT_EQ(cli("clean " + in + " " + out + " --musical-rate 1"), 2);
    EXPECT_EQ(cli("clean " + in + " " + out + " --mix x"), 2);
    EXPECT_EQ(cli("clean " + in + " " + out + " --frobnicate"), 2);
    EXPECT_EQ(cli("clean " + in), 2);
    EXPECT_EQ(cli("clean " + in + " " + out + " --eq /nonexistent"), 2);
    EXPECT_FALSE(fs::exists(out));
    EXPECT_EQ(cli("clean " + in + " " + out + " --method 0 --limit -30 --noise-rate 0.9 --musical-rate 0.95 "
                  "--background --mix r-l"),
              0);
}

TEST(Clean, EqualizerFileIsReadAndChecked) {
    std::vector<float> gains;
    std::string err;
    const fs::path good = scratchDir() / "eq.txt";
    std::ofstream(good) << "# flat, then cut\n1 1 1 1\n0 0 0 0 # top half\n";
    ASSERT_TRUE(readEqualizerFile(good.string(), gains, err)) << err;
    EXPECT_EQ(gains.size(), 8u);
    EXPECT_EQ(gains[7], 0.0f);
    const fs::path bad = scratchDir() / "eq-bad.txt";
    std::ofstream(bad) << "1 1 x\n";
    EXPECT_FALSE(readEqualizerFile(bad.string(), gains, err));
    EXPECT_NE(err.find(":1:"), std::string::npos) << err;
    std::ofstream(bad) << "1\n";
    EXPECT_FALSE(readEqualizerFile(bad.string(), gains, err));
}

TEST(Batch, ReportsFailuresAndGoesOn) {
    const fs::path in = scratchDir() / "mixed-in";
    fs::create_directories(in);
    fs::copy_file(makeStereo("ok.wav"), in / "1-ok.wav", fs::copy_options::overwrite_existing);
    std::ofstream(in / "2-broken.wav") << "not a wave file";
    fs::copy_file(makeStereo("ok2.wav"), in / "3-ok.WAV", fs::copy_options::overwrite_existing);
    std::ofstream(in / "notes.txt") << "ignored";
    const fs::path out = scratchDir() / "mixed-out";
    fs::create_directories(out);
    EXPECT_EQ(cli("batch " + in.string() + " " + out.string()), 1);
    EXPECT_TRUE(fs::exists(out / "1-ok.wav"));
    EXPECT_TRUE(fs::exists(out / "3-ok.WAV"));
    EXPECT_FALSE(fs::exists(out / "2-broken.wav"));
    EXPECT_FALSE(fs::exists(out / "notes.txt"));
    EXPECT_EQ(cli("batch " + in.string() + " " + (scratchDir() / "missing").string()), 1);
}

TEST(Batch, InPlaceReplacesEachSourceWhole) {
    const fs::path dir = scratchDir() / "inplace";
    fs::create_directories(dir);
    fs::copy_file(makeStereo("ip.wav"), dir / "x.wav", fs::copy_options::overwrite_existing);
    const fs::path ref = scratchDir() / "ip-ref.wav";
    ASSERT_EQ(cli("clean " + (dir / "x.wav").string() + " " + ref.string()), 0);
    // In place only when asked: each source is then replaced whole.
    const auto before = bytesOf(dir / "x.wav");
    EXPECT_EQ(cli("batch " + dir.string() + " " + dir.string()), 1);
    EXPECT_EQ(bytesOf(dir / "x.wav"), before);
    ASSERT_EQ(cli("batch -y " + dir.string() + " " + dir.string()), 0);
    EXPECT_EQ(bytesOf(dir / "x.wav"), bytesOf(ref));
    int entries = 0;
    for (auto& e : fs::directory_iterator(dir)) { (void)e; ++entries; }
    EXPECT_EQ(entries, 1);  // no temporary file left behind
}

}  // namespace
