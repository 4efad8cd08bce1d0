// silvane-cli devices, play and record, run as a user would, on the virtual
// card in real time.

#include "soundfile/WavFile.h"
#include "soundfile/WavLoad.h"
#include "platform/WaveDriver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>
#include <unistd.h>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

struct CliRun {
    int status;
    std::string output;  // stdout and stderr
};

CliRun runCli(const std::string& env, const std::string& args) {
    const std::string command = env + " '" SILVANE_CLI "' " + args + " 2>&1";
    CliRun r{-1, {}};
    if (std::FILE* p = popen(command.c_str(), "r")) {
        char buf[512];
        while (std::size_t n = std::fread(buf, 1, sizeof buf, p))
            r.output.append(buf, n);
        const int st = pclose(p);
        r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    }
    return r;
}

class AudioCli : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("silvane-audio-cli-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    // A stereo file whose every sample differs from its neighbours.
    std::string makeInput(uint32_t rate, uint32_t frames) {
        std::vector<int16_t> s(2 * std::size_t(frames));
        for (std::size_t i = 0; i < s.size(); ++i)
            s[i] = int16_t((i * 37) % 65521 - 32000);
        const std::string path = (dir_ / "in.wav").string();
        std::string error;
        EXPECT_TRUE(writePcmWav(path, rate, 2, s.data(), frames, error)) << error;
        input_ = s;
        return path;
    }

    fs::path dir_;
    std::vector<int16_t> input_;
};

LoadedWav load(const std::string& path) {
    LoadedWav w;
    std::string message;
    EXPECT_EQ(loadWav(path, w, message), WavLoadStatus::Ok) << path << ": " << message;
    return w;
}

TEST_F(AudioCli, RecordWritesWhatTheVirtualInputDelivered) {
    const std::string in = makeInput(16000, 8000);
    const std::string out = (dir_ / "rec.wav").string();
    const CliRun r = runCli("SILVANE_AUDIO=virtual SILVANE_AUDIO_IN='" + in + "'",
                         "record '" + out + "' --seconds 0.25 --rate 16000 --channels 2");
    ASSERT_EQ(r.status, 0) << r.output;
    const LoadedWav w = load(out);
    EXPECT_EQ(w.header.sampleRate, 16000u);
    EXPECT_EQ(w.header.channels, 2);
    ASSERT_EQ(w.frames, 4000);
    EXPECT_TRUE(std::equal(input_.begin(), input_.begin() + 8000, w.samples.get()));
}

TEST_F(AudioCli, PlayWritesWhatTheVirtualOutputPlayed) {
    const std::string in = makeInput(22050, 4410);  // 0.2 s
    const std::string out = (dir_ / "played.wav").string();
    const CliRun r = runCli("SILVANE_AUDIO=virtual SILVANE_AUDIO_OUT='" + out + "'", "play '" + in + "'");
    ASSERT_EQ(r.status, 0) << r.output;
    const LoadedWav w = load(out);
    EXPECT_EQ(w.header.sampleRate, 22050u);
    ASSERT_EQ(w.frames, 4410);
    EXPECT_TRUE(std::equal(input_.begin(), input_.end(), w.samples.get()));
}

TEST_F(AudioCli, DevicesListsTheVirtualCardWithItsDefaults) {
    const CliRun r = runCli("SILVANE_AUDIO=virtual", "devices");
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("0  Silvane virtual output  (default)"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("0  Silvane virtual input  (default)"), std::string::npos) << r.output;
}

TEST_F(AudioCli, BadArgumentsAndMissingDevicesAreReportedInWords) {
    const std::string in = makeInput(8000, 80);
    CliRun r = runCli("SILVANE_AUDIO=virtual", "record '" + (dir_ / "x.wav").string() + "'");
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.output.find("--seconds"), std::string::npos);
    r = runCli("SILVANE_AUDIO=virtual", "play '" + in + "' --device 3");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("no such output device"), std::string::npos) << r.output;
    r = runCli("SILVANE_AUDIO=virtual SILVANE_AUDIO_IN=/nonexistent.wav",
               "record '" + (dir_ / "x.wav").string() + "' --seconds 0.1");
    EXPECT_EQ(r.status, 1);
    EXPECT_FALSE(fs::exists(dir_ / "x.wav"));

    ASSERT_TRUE(wave::installBackend(wave::makePortAudioBackend()));
    if (waveOutGetNumDevs() != 0 || waveInGetNumDevs() != 0)
        GTEST_SKIP() << "this machine has sound devices";
    r = runCli("SILVANE_AUDIO=", "play '" + in + "'");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("there is no output device"), std::string::npos) << r.output;
    r = runCli("SILVANE_AUDIO=", "record '" + (dir_ / "x.wav").string() + "' --seconds 0.1");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.output.find("there is no input device"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("ALSA"), std::string::npos) << "start-up chatter leaked: " << r.output;
}

}  // namespace
