// The settings core without a window: defaults, the file's layout, round
// trips, the screen clamps and hostile files.

#include "config/Settings.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

using config::ScreenSize;
using config::Settings;

namespace {

const ScreenSize kScreen{1920, 1080};

Settings readText(const std::string& text, ScreenSize screen = kScreen) {
    platform::profile::Profile p;
    p.loadData(text.data(), text.size());
    return config::read(p, screen);
}

Settings everythingChanged() {
    Settings s;
    s.language = 1;
    s.playDevice = 3;
    s.recDevice = 2;
    s.sampleRateIndex = 4;
    s.channelsIndex = 1;
    s.autoMix = true;
    s.methodMix = false;
    s.method = 1;
    s.limitDb = -42;
    s.noiseRate = 0.875;
    s.musicalRate = 0.993;
    s.selectClearSpeech = false;
    s.useEqualizer = true;
    s.outputDir = "/home/user/cleaned files";
    s.showClearSignal = false;
    s.showFileList = false;
    s.processEnabled = false;
    s.winLeft = 100;
    s.winTop = 50;
    s.winWidth = 1200;
    s.winHeight = 700;
    s.fileListWidth = 210;
    return s;
}

} // namespace

TEST(SettingsDefaults, NoFileGivesTheDesignedStart) {
    Settings s = config::readFile("/nonexistent/dir/SV.ini", kScreen);
    EXPECT_EQ(config::sampleRateOf(s.sampleRateIndex), 16000);
    EXPECT_EQ(config::channelsOf(s.channelsIndex), 1);
    EXPECT_EQ(s.method, 2);
    EXPECT_EQ(s.limitDb, -18);
    EXPECT_EQ(config::sliderOfLimit(s.limitDb), 82);
    EXPECT_DOUBLE_EQ(s.noiseRate, 0.95);
    EXPECT_DOUBLE_EQ(s.musicalRate, 0.98);
    EXPECT_TRUE(s.selectClearSpeech);
    EXPECT_FALSE(s.autoMix);
    EXPECT_TRUE(s.methodMix);
    EXPECT_TRUE(s.processEnabled);
    EXPECT_FALSE(s.useEqualizer);
    EXPECT_TRUE(s.showClearSignal);
    EXPECT_TRUE(s.showFileList);
    EXPECT_EQ(s.language, 0);
    EXPECT_EQ(s.playDevice, 0);
    EXPECT_EQ(s.recDevice, 0);
    EXPECT_EQ(s.outputDir, "");
    EXPECT_EQ(s.winLeft, 0);
    EXPECT_EQ(s.winTop, 0);
    EXPECT_EQ(s.winWidth, 1920);
    EXPECT_EQ(s.winHeight, 600);
    EXPECT_EQ(s.fileListWidth, 165);
    EXPECT_EQ(s, config::defaults(kScreen));
}

TEST(SettingsFile, WrittenInTableOrderWithTheExactNames) {
    platform::profile::Profile p;
    config::write(p, config::defaults(kScreen));
    EXPECT_EQ(p.text(),
              "[Interface]\nLanguage=0\n\n"
              "[Playback sound]\nID device=0\n\n"
              "[Record sound]\nID device=0\nSample rate=2\nChannels=0\n\n"
              "[PostProcessing]\nAuto Mix=0\nMethod of Mix=1\n\n"
              "[Silvane]\nKind substration=2\nLimitation suppression (dB)=-18\n"
              "Noise adaptation=0.95\nMusical noise reduction =0.98\n"
              "Select the clear Speech=1\nUse Graphic Equalizer=0\n\n"
              "[Output Data]\nDirectory for output data=\n\n"
              "[Form Properties]\nShow clear signal=1\nShow file list=1\nEnabled Process=1\n\n"
              "[Window Position]\nLeft=0\nTop=0\nWidth=1920\nHeight=600\nFileListWidth=165\n");
}

class SettingsFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string tmpl =
            (std::filesystem::temp_directory_path() / "silvane-settings-XXXXXX").string();
        ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
        dir_ = tmpl;
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }
    std::string path() const { return (dir_ / "SV.ini").string(); }
    std::filesystem::path dir_;
};

TEST_F(SettingsFiles, EveryValueSurvivesWriteAndRead) {
    const Settings s = everythingChanged();
    std::string error;
    ASSERT_TRUE(config::writeFile(path(), s, error)) << error;
    EXPECT_EQ(config::readFile(path(), kScreen), s);
    // Rewriting an existing file changes nothing of it.
    std::ifstream first(path(), std::ios::binary);
    std::string before((std::istreambuf_iterator<char>(first)), {});
    ASSERT_TRUE(config::writeFile(path(), s, error));
    std::ifstream second(path(), std::ios::binary);
    EXPECT_EQ(std::string((std::istreambuf_iterator<char>(second)), {}), before);
}

TEST_F(SettingsFiles, ForeignSectionsAndKeysAreKept) {
    std::ofstream(path()) << "[Mine]\nnote=keep me\n[Silvane]\nExtra=1\nKind substration=0\n";
    std::string error;
    ASSERT_TRUE(config::writeFile(path(), everythingChanged(), error)) << error;
    platform::profile::Profile p;
    ASSERT_TRUE(p.load(path()));
    EXPECT_EQ(p.value("Mine", "note").value_or("?"), "keep me");
    EXPECT_EQ(p.value("Silvane", "Extra").value_or("?"), "1");
    EXPECT_EQ(p.value("Silvane", "Kind substration").value_or("?"), "1");
}

TEST_F(SettingsFiles, UnwritableDirectoryIsReported) {
    std::string error;
    EXPECT_FALSE(config::writeFile((dir_ / "missing" / "SV.ini").string(), Settings{}, error));
    EXPECT_NE(error.find("SV.ini"), std::string::npos);
}

TEST(SettingsLimit, MinusThirtyPutsTheTrackBarAtSeventyAndIsWrittenBack) {
    Settings s = readText("[Silvane]\nLimitation suppression (dB)=-30\n");
    EXPECT_EQ(s.limitDb, -30);
    EXPECT_EQ(config::sliderOfLimit(s.limitDb), 70);
    EXPECT_EQ(config::limitOfSlider(70), -30);
    platform::profile::Profile p;
    config::write(p, s);
    EXPECT_EQ(p.value("Silvane", "Limitation suppression (dB)").value_or("?"), "-30");
}

TEST(SettingsScreen, WindowValuesAreClampedToTheScreen) {
    Settings s = readText("[Window Position]\nLeft=5000\nTop=5000\nWidth=5000\nHeight=5000\n"
                          "FileListWidth=5000\n");
    EXPECT_EQ(s.winLeft, 1910);
    EXPECT_EQ(s.winTop, 1070);
    EXPECT_EQ(s.winWidth, 1920);
    EXPECT_EQ(s.winHeight, 1080);
    EXPECT_EQ(s.fileListWidth, 960);
    s = readText("[Window Position]\nLeft=-20\nTop=-1\nWidth=-5\nHeight=-7\nFileListWidth=-9\n");
    EXPECT_EQ(s.winLeft, 0);
    EXPECT_EQ(s.winTop, 0);
    EXPECT_EQ(s.winWidth, 0);
    EXPECT_EQ(s.winHeight, 0);
    EXPECT_EQ(s.fileListWidth, 0);
    // A tiny screen never gives negative bounds.
    s = readText("[Window Position]\nLeft=50\n", ScreenSize{5, 5});
    EXPECT_EQ(s.winLeft, 0);
    EXPECT_EQ(s.winWidth, 5);
}

TEST(SettingsFile, EveryEngineMethodIsKeptIncludingTheNeuralOne) {
    for (int m = 0; m < config::kMethodCount; ++m)
        EXPECT_EQ(readText("[Silvane]\nKind substration=" + std::to_string(m) + "\n").method, m);
    EXPECT_EQ(config::kMethodCount, 4);
}

TEST(SettingsHostile, OutOfRangeValuesReadAsDefaultsAndTheRestApplies) {
    Settings s = readText("[Interface]\nLanguage=2\n"
                          "[Playback sound]\nID device=-4\n"
                          "[Record sound]\nID device=7\nSample rate=5\nChannels=2\n"
                          "[PostProcessing]\nAuto Mix=yes\nMethod of Mix=0\n"
                          "[Silvane]\nKind substration=4\nLimitation suppression (dB)=1\n"
                          "Noise adaptation=2.5\nMusical noise reduction =-0.1\n"
                          "Select the clear Speech=12abc\nUse Graphic Equalizer=7\n"
                          "[Window Position]\nLeft=0x10\nHeight=99999999999\n");
    const Settings d = config::defaults(kScreen);
    EXPECT_EQ(s.language, d.language);
    EXPECT_EQ(s.playDevice, d.playDevice);
    EXPECT_EQ(s.recDevice, 7); // the window checks it against its device list
    EXPECT_EQ(s.sampleRateIndex, d.sampleRateIndex);
    EXPECT_EQ(s.channelsIndex, d.channelsIndex);
    EXPECT_EQ(s.autoMix, d.autoMix);
    EXPECT_FALSE(s.methodMix); // a good key beside bad ones still applies
    EXPECT_EQ(s.method, d.method);
    EXPECT_EQ(s.limitDb, d.limitDb);
    EXPECT_DOUBLE_EQ(s.noiseRate, d.noiseRate);
    EXPECT_DOUBLE_EQ(s.musicalRate, d.musicalRate);
    EXPECT_EQ(s.selectClearSpeech, d.selectClearSpeech);
    EXPECT_TRUE(s.useEqualizer); // any nonzero number is true
    EXPECT_EQ(s.winLeft, d.winLeft);
    EXPECT_EQ(s.winHeight, d.winHeight);

    s = readText("[Interface]\nLanguage=-1\n[Silvane]\nLimitation suppression (dB)=-101\n"
                 "Noise adaptation=nan\nMusical noise reduction =inf\n");
    EXPECT_EQ(s.language, 0);
    EXPECT_EQ(s.limitDb, -18);
    EXPECT_DOUBLE_EQ(s.noiseRate, 0.95);
    EXPECT_DOUBLE_EQ(s.musicalRate, 0.98);
}

TEST(SettingsParsing, IntegersAreWholeDecimalNumbers) {
    int v = 5;
    EXPECT_TRUE(config::parseInt(" -30 ", v));
    EXPECT_EQ(v, -30);
    EXPECT_TRUE(config::parseInt("-2147483648", v));
    EXPECT_EQ(v, INT32_MIN);
    v = 5;
    for (const char* bad :
         {"", " ", "-", "+", "2147483648", "1.5", "1e3", "0x1f", "12abc", "9999999999999999999999"})
        EXPECT_FALSE(config::parseInt(bad, v)) << bad;
    EXPECT_EQ(v, 5);
}

TEST(SettingsParsing, RealsTakeEitherSeparator) {
    double v = 0;
    EXPECT_TRUE(config::parseReal("0,97", v));
    EXPECT_DOUBLE_EQ(v, 0.97);
    EXPECT_TRUE(config::parseReal("0.999", v));
    EXPECT_DOUBLE_EQ(v, 0.999);
    EXPECT_TRUE(config::parseReal("9.5e-1", v));
    EXPECT_DOUBLE_EQ(v, 0.95);
    EXPECT_TRUE(config::parseReal("1", v));
    EXPECT_DOUBLE_EQ(v, 1.0);
    v = 7;
    for (const char* bad :
         {"", ".", "0.9.1", "0,9,1", "nan", "inf", "1e", "e5", "0.9x", "1e400", "--1"})
        EXPECT_FALSE(config::parseReal(bad, v)) << bad;
    EXPECT_EQ(v, 7);
    EXPECT_EQ(config::formatReal(0.95), "0.95");
    EXPECT_EQ(config::formatReal(0.1 + 0.2), "0.3");
}

TEST(SettingsLists, DeviceAndItemMapping) {
    EXPECT_EQ(config::deviceIndex(0, 0), -1);
    EXPECT_EQ(config::deviceIndex(3, 0), -1);
    EXPECT_EQ(config::deviceIndex(1, 2), 1);
    EXPECT_EQ(config::deviceIndex(2, 2), 0);
    EXPECT_EQ(config::deviceIndex(-1, 2), 0);
    const int rates[] = {8000, 11025, 16000, 22050, 32000};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(config::sampleRateOf(i), rates[i]);
    EXPECT_EQ(config::sampleRateOf(5), 8000);
    EXPECT_EQ(config::sampleRateOf(-1), 8000);
    EXPECT_EQ(config::channelsOf(1), 2);
    EXPECT_EQ(config::channelsOf(0), 1);
    EXPECT_EQ(config::channelsOf(-1), 1);
}

TEST(SettingsHostile, FuzzCorpusReadsWithinRange) {
    namespace fs = std::filesystem;
    int files = 0;
    for (const auto& entry : fs::directory_iterator(SILVANE_PROFILE_CORPUS)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string data((std::istreambuf_iterator<char>(in)), {});
        Settings s = readText(data, ScreenSize{1280, 800});
        SCOPED_TRACE(entry.path().filename().string());
        EXPECT_TRUE(s.language == 0 || s.language == 1);
        EXPECT_GE(s.sampleRateIndex, 0);
        EXPECT_LT(s.sampleRateIndex, config::kSampleRateCount);
        EXPECT_GE(s.method, 0);
        EXPECT_LT(s.method, config::kMethodCount);
        EXPECT_GE(s.limitDb, -100);
        EXPECT_LE(s.limitDb, 0);
        EXPECT_LE(s.winLeft, 1270);
        EXPECT_LE(s.fileListWidth, 640);
        ++files;
    }
    EXPECT_GT(files, 0);
}
