// The virtual card's files on the test clock: the input file read at every
// opening of the input device, the words of a file that cannot be read or
// written, and what the output played written to the sink file.

#include "audio/VirtualCardFiles.h"
#include "audio/WaveDevice.h"
#include "soundfile/WavFile.h"
#include "soundfile/WavLoad.h"
#include "tests/audio/DeviceTestSupport.h"
#include "tests/platform/WaveTestSupport.h"

#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;

std::vector<int16_t> pattern(std::size_t n, int seed) {
    std::vector<int16_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = int16_t((i * 37 + std::size_t(seed) * 1009) % 60001 - 30000);
    return v;
}

class VirtualCardFiles : public VirtualCardTest {
  protected:
    void SetUp() override {
        VirtualCardTest::SetUp();
        dir_ = fs::temp_directory_path() /
               ("silvane-card-files-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const char* name) const { return (dir_ / name).string(); }

    void writeWav(const std::string& file, uint32_t rate, uint16_t channels,
                  const std::vector<int16_t>& samples) {
        std::string error;
        const std::size_t frames = samples.size() / channels;
        ASSERT_TRUE(soundfile::writePcmWav(file, rate, channels, samples.data(), frames, error))
            << error;
    }

    // Records `frames` mono frames at 8000 Hz to the full buffer.
    std::vector<int16_t> record(uint32_t frames) {
        MessageWindow window;
        std::vector<int16_t> buffer(frames, -1);
        audio::WaveDevice recorder = audiotest::pcm16Device(8000, 1, &window);
        EXPECT_TRUE(recorder.record(WAVE_MAPPER, frames, buffer.data()));
        advanceMs(uint64_t(frames) * 1000 / 8000 + 10);
        EXPECT_EQ(window.count(MM_WIM_DATA), 1);
        recorder.closeInput();
        QCoreApplication::sendPostedEvents();
        return buffer;
    }

    fs::path dir_;
};

TEST_F(VirtualCardFiles, TheInputFileIsReadAgainAtEveryOpen) {
    const std::string in = path("in.wav");
    const std::vector<int16_t> first = pattern(1200, 1);
    writeWav(in, 8000, 1, first);
    platform::VirtualCardConfig c;
    c.input = audio::virtualInputFile(in);
    install(c);
    EXPECT_EQ(record(800), std::vector<int16_t>(first.begin(), first.begin() + 800));

    // A changed file is what the next recording hears, from its first sample;
    // a stereo file is averaged into the mono stream.
    std::vector<int16_t> second = pattern(1600, 2);
    for (std::size_t i = 1; i < second.size(); i += 2)
        second[i] = second[i - 1];
    writeWav(in, 8000, 2, second);
    const std::vector<int16_t> got = record(800);
    for (std::size_t i = 0; i < got.size(); ++i)
        ASSERT_EQ(got[i], second[2 * i]) << i;
    EXPECT_EQ(platform::virtualCardError(), "");
}

TEST_F(VirtualCardFiles, AnInputFileThatCannotBeReadFailsTheOpenWithItsReason) {
    const std::string missing = path("missing.wav");
    const std::string garbage = path("garbage.wav");
    {
        std::FILE* f = std::fopen(garbage.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("this is no sound file, only words", f);
        std::fclose(f);
    }
    for (const std::string& file : {missing, garbage}) {
        soundfile::LoadedWav unused;
        std::string reason;
        ASSERT_FALSE(soundfile::loadWav(file, unused, reason));
        platform::VirtualCardConfig c;
        c.input = audio::virtualInputFile(file);
        install(c);
        std::vector<int16_t> buffer(100);
        audio::WaveDevice recorder = audiotest::pcm16Device(8000, 1, nullptr);
        EXPECT_FALSE(recorder.record(WAVE_MAPPER, 100, buffer.data()));
        EXPECT_EQ(recorder.lastResult, UINT(MMSYSERR_ERROR));
        EXPECT_EQ(recorder.handle, nullptr);
        EXPECT_EQ(platform::virtualCardError(), "virtual input " + file + ": " + reason);
    }
}

TEST_F(VirtualCardFiles, WhatWasPlayedIsWrittenToTheSinkFileWhenTheStreamCloses) {
    const std::string out = path("played.wav");
    platform::VirtualCardConfig c;
    c.outputSink = audio::virtualOutputFile(out);
    install(c);
    for (int pass = 0; pass < 2; ++pass) {
        // 0.1 s of stereo, then 0.05 s: the second stream replaces the first's file.
        const std::vector<int16_t> block = pattern(pass == 0 ? 1600 : 800, pass + 5);
        MessageWindow window;
        audio::WaveDevice player = audiotest::pcm16Device(8000, 2, &window);
        ASSERT_TRUE(player.play(WAVE_MAPPER, uint32_t(block.size() / 2), block.data()));
        advanceMs(150);
        ASSERT_EQ(window.count(MM_WOM_DONE), 1);
        if (pass == 0) {
            EXPECT_FALSE(fs::exists(out)) << "the file appears only when the stream closes";
        }
        ASSERT_TRUE(player.closeOutput());
        soundfile::LoadedWav w;
        std::string message;
        ASSERT_TRUE(soundfile::loadWav(out, w, message)) << message;
        EXPECT_EQ(w.header.sampleRate, 8000u);
        EXPECT_EQ(w.header.channels, 2);
        ASSERT_EQ(std::size_t(w.frames), block.size() / 2);
        EXPECT_TRUE(std::equal(block.begin(), block.end(), w.samples.get()));
    }
    EXPECT_EQ(platform::virtualCardError(), "");
    std::size_t files = 0;
    for (const auto& e : fs::directory_iterator(dir_))
        files += e.is_regular_file();
    EXPECT_EQ(files, 1u) << "no temporary file is left beside the result";
}

TEST_F(VirtualCardFiles, ASinkFileThatCannotBeCreatedFailsTheOpen) {
    const std::string out = path("no-such-folder/played.wav");
    platform::VirtualCardConfig c;
    c.outputSink = audio::virtualOutputFile(out);
    install(c);
    std::vector<int16_t> block(160);
    audio::WaveDevice player = audiotest::pcm16Device(8000, 1, nullptr);
    EXPECT_FALSE(player.play(WAVE_MAPPER, 160, block.data()));
    EXPECT_EQ(player.lastResult, UINT(MMSYSERR_ERROR));
    const std::string prefix = "virtual output " + out + ": ";
    const std::string error = platform::virtualCardError();
    EXPECT_EQ(error.rfind(prefix, 0), 0u) << error;
    EXPECT_GT(error.size(), prefix.size()) << "the reason is told";
}

TEST(VirtualCardFilesEnvironment, OnlyNamedFilesBecomeTheDefaultCardsInputAndSink) {
    const platform::VirtualCardConfig before = platform::defaultVirtualCard();
    setenv("SILVANE_AUDIO_IN", "/somewhere/in.wav", 1);
    setenv("SILVANE_AUDIO_OUT", "", 1);
    audio::useVirtualCardFiles();
    platform::VirtualCardConfig c = platform::defaultVirtualCard();
    EXPECT_TRUE(c.input);
    EXPECT_FALSE(c.outputSink);
    EXPECT_FALSE(c.testClock);
    unsetenv("SILVANE_AUDIO_IN");
    setenv("SILVANE_AUDIO_OUT", "/somewhere/out.wav", 1);
    platform::setDefaultVirtualCard(before);
    audio::useVirtualCardFiles();
    c = platform::defaultVirtualCard();
    EXPECT_FALSE(c.input);
    EXPECT_TRUE(c.outputSink);
    unsetenv("SILVANE_AUDIO_OUT");
    platform::setDefaultVirtualCard(before);
}

} // namespace
