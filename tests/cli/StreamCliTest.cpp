// silvane-cli clean on whole files and pipes: the window's samples for a file
// it can hold, exactly the input's length, pipes in both directions, and no
// file ever replaced without -y.

#include "processing/ChannelLayout.h"
#include "processing/CleanFile.h"
#include "tests/cli/Shell.h"
#include "tests/soundfile/TestFiles.h"
#include "soundfile/WavLoad.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

namespace fs = std::filesystem;
using namespace testfiles;
using clitest::Shell;
using clitest::sh;

namespace {

std::vector<int16_t> samplesOf(const std::string& path, int& channels) {
    LoadedWav w;
    std::string err;
    EXPECT_EQ(loadWav(path, w, err), WavLoadStatus::Ok) << path << ": " << err;
    channels = w.header.channels;
    return std::vector<int16_t>(w.samples.get(),
                                w.samples.get() + std::size_t(w.frames) * w.header.channels);
}

// What the window's processing run computes for a file (its first two channels).
std::vector<int16_t> windowResult(const std::string& path, int& channels) {
    LoadedWav w;
    std::string err;
    EXPECT_EQ(loadWav(path, w, err), WavLoadStatus::Ok);
    channels = std::min<int>(w.header.channels, 2);
    const int32_t n = w.frames;
    std::vector<int16_t> o0(n), o1(n), c0(n), c1(n);
    int16_t* dst[2] = {o0.data(), o1.data()};
    processing::splitChannels(w.samples.get(), n, w.header.channels, dst, n);
    std::vector<uint8_t> v0(n + 1), v1(n + 1);
    int32_t changedLength = 0, vadCount = 0;
    processing::RunSignal s;
    s.orig[0] = o0.data();
    s.orig[1] = o1.data();
    s.origLength = n;
    s.changed[0] = c0.data();
    s.changed[1] = c1.data();
    s.changedCapacity = n;
    s.vad[0] = v0.data();
    s.vad[1] = v1.data();
    s.vadCapacity = n + 1;
    s.changedLength = &changedLength;
    s.vadCount = &vadCount;
    processing::RunParameters p;
    p.sampleRate = int32_t(w.header.sampleRate);
    p.channels = channels;
    processing::RunHooks hooks;
    hooks.controls = [] { return processing::FrameControls{}; };
    processing::runProcessing(p, s, hooks);
    std::vector<int16_t> out;
    for (int32_t i = 0; i < changedLength; ++i) {
        out.push_back(c0[i]);
        if (channels == 2)
            out.push_back(c1[i]);
    }
    return out;
}

TEST(CleanCli, WindowSamplesThenTheTailExactlyAsLong) {
    struct {
        const char* sox; // encoding of the source, made by sox from a PCM file
        int rate, channels, frames;
    } cases[] = {{"-e signed-integer -b 16", 48000, 2, 48000 + 384 + 3},
                 {"-e ima-adpcm", 16000, 1, 20000},
                 {"-e floating-point -b 32", 8000, 2, 9001},
                 {"-e ms-adpcm", 22050, 2, 15000}};
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sox);
        const std::string pcm =
            writeTestWav(scratch("src" + std::to_string(n) + ".wav"), c.frames, c.channels, c.rate, 9000);
        const std::string src = scratch("enc" + std::to_string(n) + ".wav");
        const std::string out = scratch("out" + std::to_string(n++) + ".wav");
        ASSERT_EQ(run("sox -D " + pcm + " " + c.sox + " " + src), 0);
        int chIn = 0, chWin = 0, chOut = 0;
        const auto input = samplesOf(src, chIn);
        const auto window = windowResult(src, chWin);
        ASSERT_EQ(sh("$CLI clean " + src + " " + out).status, 0);
        const auto cleaned = samplesOf(out, chOut);
        EXPECT_EQ(chOut, chWin);
        EXPECT_EQ(cleaned.size() / chOut, input.size() / chIn); // every frame of the input
        ASSERT_LT(window.size(), cleaned.size());
        EXPECT_TRUE(std::equal(window.begin(), window.end(), cleaned.begin()));
    }
}

TEST(CleanCli, NeverReplacesAFileUnlessAsked) {
    const std::string in = writeTestWav(scratch("keep-in.wav"), 8000, 1, 8000, 9000);
    const std::string out = scratch("keep-out.wav");
    writeBytes(out, {'m', 'i', 'n', 'e'});
    Shell r = sh("$CLI clean " + in + " " + out);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find(out), std::string::npos) << r.err;
    EXPECT_EQ(r.err.find('\n'), r.err.size() - 1) << r.err; // one line
    EXPECT_EQ(readBytes(out).size(), 4u);

    const auto source = readBytes(in);
    r = sh("$CLI clean " + in + " " + in);
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is the input"), std::string::npos) << r.err;
    r = sh("$CLI clean " + in + " " + scratchDir().string() + "/./keep-in.wav");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(readBytes(in), source);

    r = sh("$CLI clean -y " + in + " " + scratchDir().string());
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is a directory"), std::string::npos) << r.err;
    // convert follows the same rule.
    EXPECT_EQ(sh("$CLI convert " + in + " " + out).status, 1);
    EXPECT_EQ(readBytes(out).size(), 4u);
    EXPECT_EQ(sh("$CLI convert " + in + " " + in).status, 1);
    r = sh("$CLI convert " + in + " " + scratchDir().string() + "/./keep-in.wav");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("is the input"), std::string::npos) << r.err;
    EXPECT_EQ(sh("$CLI convert -y " + in + " " + out).status, 0);
    EXPECT_EQ(readBytes(out), source);

    EXPECT_EQ(sh("$CLI clean -y " + in + " " + out).status, 0);
    EXPECT_GT(readBytes(out).size(), 4u);
    // The input itself, replaced whole when asked.
    const std::string self = writeTestWav(scratch("self.wav"), 8000, 1, 8000, 9000);
    const std::string ref = scratch("self-ref.wav");
    ASSERT_EQ(sh("$CLI clean " + self + " " + ref).status, 0);
    ASSERT_EQ(sh("$CLI clean --overwrite " + self + " " + self).status, 0);
    EXPECT_EQ(readBytes(self), readBytes(ref));
    for (const auto& e : fs::directory_iterator(scratchDir()))
        EXPECT_EQ(e.path().filename().string().find("partial"), std::string::npos) << e.path();
}

TEST(CleanCli, PipesInAndOut) {
    const std::string in = writeTestWav(scratch("pipe-in.wav"), 12000, 2, 16000, 9000);
    const std::string ref = scratch("pipe-ref.wav");
    ASSERT_EQ(sh("$CLI clean " + in + " " + ref).status, 0);
    int ch = 0;
    const auto expected = samplesOf(ref, ch);

    // Standard input of unknown length (sox writes a pipe), to a file.
    const std::string fromPipe = scratch("from-pipe.wav");
    ASSERT_EQ(sh("sox " + in + " -t wav - | $CLI clean - " + fromPipe).status, 0);
    EXPECT_EQ(samplesOf(fromPipe, ch), expected);
    EXPECT_EQ(readBytes(fromPipe), readBytes(ref)); // header completed at the end
    // A file to standard output, and a pipe on both sides.
    const std::string toPipe = scratch("to-pipe.wav");
    ASSERT_EQ(sh("$CLI clean " + in + " - > " + toPipe).status, 0);
    EXPECT_EQ(samplesOf(toPipe, ch), expected);
    const std::string both = scratch("both.raw");
    ASSERT_EQ(sh("cat " + in + " | $CLI clean - - | sox -t wav - -t raw " + both).status, 0);
    EXPECT_EQ(readBytes(both), le16(expected));

    // A pipe whose header promised more (sox estimates an MP3's length): all
    // that came is cleaned, and stderr says the stream was short.
    Shell r = sh("head -c 20056 " + in + " | $CLI clean - " + scratch("short-pipe.wav"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_NE(r.err.find("standard input: the stream ended 28000 bytes before its header said"),
              std::string::npos)
        << r.err;
    EXPECT_EQ(samplesOf(scratch("short-pipe.wav"), ch).size(), 2u * 5000);
    // The pipeline of the README, from MP3 to MP3.
    ASSERT_EQ(run("lame --quiet " + in + " " + scratch("pipe.mp3")), 0);
    r = sh("sox " + scratch("pipe.mp3") + " -t wav - | $CLI clean - - | lame --quiet - " +
           scratch("pipe-out.mp3"));
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_GT(readBytes(scratch("pipe-out.mp3")).size(), 1000u);

    r = sh("echo nonsense | $CLI clean - " + scratch("never.wav"));
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("standard input"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(scratch("never.wav")));
    EXPECT_EQ(sh("$CLI clean " + in + " - --format flac > /dev/null").status, 1);
}

TEST(CleanCli, FlacOutputByNameOrOption) {
    const std::string in = writeTestWav(scratch("f-in.wav"), 9000, 1, 16000, 9000);
    const std::string ref = scratch("f-ref.wav");
    ASSERT_EQ(sh("$CLI clean " + in + " " + ref).status, 0);
    ASSERT_EQ(sh("$CLI clean " + in + " " + scratch("f-out.flac")).status, 0);
    ASSERT_EQ(sh("$CLI clean --format flac " + in + " " + scratch("f-out.audio")).status, 0);
    ASSERT_EQ(run("flac -d -s -f -o " + scratch("f-back.wav") + " " + scratch("f-out.flac")), 0);
    ASSERT_EQ(run("flac -d -s -f -o " + scratch("f-back2.wav") + " " + scratch("f-out.audio")), 0);
    int ch = 0;
    EXPECT_EQ(samplesOf(scratch("f-back.wav"), ch), samplesOf(ref, ch));
    EXPECT_EQ(samplesOf(scratch("f-back2.wav"), ch), samplesOf(ref, ch));
}

} // namespace
