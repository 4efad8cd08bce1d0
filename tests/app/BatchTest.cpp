// The automatic batch over the file list.

#include "tests/app/AppFixture.h"

#include "config/Configu.h"
#include "processing/batchwindows/Uprogress.h"
#include "processing/batchwindows/Usetdirectory.h"
#include "soundfile/WavFile.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileSystemModel>
#include <QTest>
#include <QTimer>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

namespace fs = std::filesystem;

namespace {

std::string makeDir(const std::string& name, int files) {
    const std::string dir = apptest::scratchDir() + "/" + name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (int f = 0; f < files; ++f) {
        std::vector<int16_t> s(16000);
        for (std::size_t i = 0; i < s.size(); ++i)
            s[i] = int16_t(((i * (f + 3)) % 700) * 20 - 7000);
        std::string err;
        EXPECT_TRUE(soundfile::writePcmWav(dir + "/f" + std::to_string(f + 1) + ".wav", 16000, 1,
                                           s.data(), s.size(), err));
    }
    return dir;
}

std::string bytesOf(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    std::ostringstream s;
    s << f.rdbuf();
    return s.str();
}

// The bytes of makeDir's files f1.wav ... f<files>.wav.
std::vector<std::string> sourceBytes(const std::string& dir, int files) {
    std::vector<std::string> b;
    for (int f = 0; f < files; ++f)
        b.push_back(bytesOf(dir + "/f" + std::to_string(f + 1) + ".wav"));
    return b;
}

// The command line's cleaning of `source`, which the window's result begins with.
std::string cliReference(const std::string& source, const std::string& tag) {
    const std::string ref = apptest::scratchDir() + "/ref-" + tag + ".wav";
    EXPECT_EQ(std::system((std::string(SILVANE_CLI) + " clean " + source + " " + ref).c_str()), 0);
    return ref;
}

int entriesOf(const std::string& dir) {
    int n = 0;
    for (auto& e : fs::directory_iterator(dir)) {
        (void)e;
        ++n;
    }
    return n;
}

std::string freshDir(const std::string& name) {
    const std::string dir = apptest::scratchDir() + "/" + name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

void expectControlsBack(app::TFPanelSignal* w) {
    EXPECT_TRUE(w->bAuto->isEnabled());
    EXPECT_TRUE(w->bStart->isEnabled());
    EXPECT_FALSE(processing::batchwindows::FProgress->isVisible());
    EXPECT_FALSE(processing::batchwindows::FProgress->progressCancelled);
    EXPECT_EQ(processing::batchwindows::FProgress->Lab_Info->text(), "File:");
}

TEST(Batch, MissingDirectoryIsToldAndNothingRuns) {
    app::TFPanelSignal* w = apptest::windows();
    processing::batchwindows::FSetDirectory->chosenDir = apptest::scratchDir() + "/nowhere";
    apptest::takeMessages();
    w->bAutoClick();
    const QStringList m = apptest::takeMessages();
    ASSERT_EQ(m.size(), 1);
    EXPECT_EQ(m[0], "Directory does not exist! Create directory for save changed files.");
    EXPECT_TRUE(w->bAuto->isEnabled());
}

TEST(Batch, FromTheSelectedFileToTheLastIntoTheOutputDirectory) {
    app::TFPanelSignal* w = apptest::windows();
    const std::string in = makeDir("batch-in", 5);
    const std::string out = apptest::scratchDir() + "/batch-out";
    fs::remove_all(out);
    fs::create_directories(out);
    apptest::listDirectory(w, in, 5);
    processing::batchwindows::FSetDirectory->chosenDir = out;
    apptest::selectListRow(w, 2);
    ASSERT_EQ(w->fileModel->fileName(w->FileList->currentIndex()), "f3.wav");
    w->bAutoClick();
    EXPECT_EQ(processing::batchwindows::FProgress->Progress->maximum(), 3);
    EXPECT_EQ(processing::batchwindows::FProgress->Lab_progress->text(), "100 %");
    EXPECT_EQ(processing::batchwindows::FProgress->Lab_Info->text(), "File:");
    EXPECT_FALSE(fs::exists(out + "/f1.wav"));
    EXPECT_FALSE(fs::exists(out + "/f2.wav"));
    for (const char* f : {"f3.wav", "f4.wav", "f5.wav"}) {
        ASSERT_TRUE(fs::exists(out + "/" + f)) << f;
        const std::string ref = apptest::scratchDir() + "/ref-" + f;
        ASSERT_EQ(
            std::system((std::string(SILVANE_CLI) + " clean " + in + "/" + f + " " + ref).c_str()),
            0);
        EXPECT_TRUE(apptest::cliExtendsWindowFile(out + "/" + f, ref)) << f;
    }
    EXPECT_TRUE(w->bAuto->isEnabled());
    EXPECT_TRUE(w->bStart->isEnabled());
    EXPECT_FALSE(processing::batchwindows::FProgress->progressCancelled);
}

TEST(Batch, OutputIntoTheSourceDirectoryReplacesEachFile) {
    app::TFPanelSignal* w = apptest::windows();
    const std::string dir = makeDir("batch-same", 2);
    const std::string ref = apptest::scratchDir() + "/same-ref.wav";
    ASSERT_EQ(std::system((std::string(SILVANE_CLI) + " clean " + dir + "/f1.wav " + ref).c_str()),
              0);
    apptest::listDirectory(w, dir, 2);
    processing::batchwindows::FSetDirectory->chosenDir = dir;
    w->FileList->clearSelection();
    w->FileList->setCurrentIndex(QModelIndex());
    w->bAutoClick();
    EXPECT_TRUE(apptest::cliExtendsWindowFile(dir + "/f1.wav", ref));
    int entries = 0;
    for (auto& e : fs::directory_iterator(dir)) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 2);
}

// A WAV file whose samples are in an encoding the reader does not decode.
std::string unsupportedWav() {
    auto u32 = [](uint32_t v) {
        return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)};
    };
    auto u16 = [](uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    const std::string data(200, '\x11');
    return "RIFF" + u32(uint32_t(36 + data.size())) + "WAVE" + "fmt " + u32(16) + u16(0x55) +
           u16(1) + u32(16000) + u32(2000) + u16(1) + u16(0) + "data" + u32(uint32_t(data.size())) +
           data;
}

TEST(Batch, UnreadableFilesBetweenGoodOnesAreSkippedAndKept) {
    app::TFPanelSignal* w = apptest::windows();
    // Output into the source directory: a result saved under a rejected
    // file's name would destroy it.
    const std::string dir = makeDir("batch-bad", 4);
    const std::string garbage = "this is not a sound file, it must survive the batch\n";
    const std::string encoded = unsupportedWav();
    { std::ofstream(dir + "/f2.wav", std::ios::binary) << garbage; }
    { std::ofstream(dir + "/f3.wav", std::ios::binary) << encoded; }
    const std::string ref1 = cliReference(dir + "/f1.wav", "bad1");
    const std::string ref4 = cliReference(dir + "/f4.wav", "bad4");
    apptest::listDirectory(w, dir, 4);
    processing::batchwindows::FSetDirectory->chosenDir = dir;
    apptest::selectListRow(w, 0);
    apptest::takeMessages();
    w->bAutoClick();
    EXPECT_EQ(bytesOf(dir + "/f2.wav"), garbage);
    EXPECT_EQ(bytesOf(dir + "/f3.wav"), encoded);
    EXPECT_TRUE(apptest::cliExtendsWindowFile(dir + "/f1.wav", ref1));
    EXPECT_TRUE(apptest::cliExtendsWindowFile(dir + "/f4.wav", ref4));
    EXPECT_EQ(entriesOf(dir), 4);
    const QStringList m = apptest::takeMessages();
    ASSERT_EQ(m.size(), 1);
    EXPECT_TRUE(m[0].startsWith(
        "Some files were skipped, nothing was written for them:\nf2.wav: Unknown format\nf3.wav: "))
        << m[0].toStdString();
    EXPECT_FALSE(m[0].contains("f1.wav"));
    EXPECT_FALSE(m[0].contains("f4.wav"));
    EXPECT_EQ(processing::batchwindows::FProgress->Lab_progress->text(), "100 %");
    expectControlsBack(w);
}

TEST(Batch, FileLongerThanTheWindowHoldsIsNotCutOverItself) {
    app::TFPanelSignal* w = apptest::windows();
    const std::string dir = freshDir("batch-long");
    {
        std::vector<int16_t> s(std::size_t(processing::MaxOrigSamples) + 1);
        for (std::size_t i = 0; i < s.size(); ++i)
            s[i] = int16_t((i % 400) * 50 - 10000);
        std::string err;
        ASSERT_TRUE(soundfile::writePcmWav(dir + "/long.wav", 8000, 1, s.data(), s.size(), err));
    }
    const std::string before = bytesOf(dir + "/long.wav");
    apptest::listDirectory(w, dir, 1);
    processing::batchwindows::FSetDirectory->chosenDir = dir;
    apptest::takeMessages();
    w->bAutoClick();
    EXPECT_TRUE(bytesOf(dir + "/long.wav") == before);
    const QStringList m = apptest::takeMessages();
    ASSERT_EQ(m.size(), 1);
    EXPECT_TRUE(m[0].endsWith("long.wav: longer than the window holds, Max length: 2500000 ms"))
        << m[0].toStdString();
    expectControlsBack(w);
}

TEST(Batch, UnwritableResultIsToldAndTheOthersAreWritten) {
    app::TFPanelSignal* w = apptest::windows();
    const std::string in = makeDir("batch-unw-in", 3);
    const std::string out = freshDir("batch-unw-out");
    const std::vector<std::string> sources = sourceBytes(in, 3);
    // A directory where the result should go cannot be replaced by a file,
    // whatever the user's rights.
    fs::create_directories(out + "/f2.wav");
    const std::string ref3 = cliReference(in + "/f3.wav", "unw3");
    apptest::listDirectory(w, in, 3);
    processing::batchwindows::FSetDirectory->chosenDir = out;
    apptest::selectListRow(w, 0);
    apptest::takeMessages();
    w->bAutoClick();
    EXPECT_EQ(sourceBytes(in, 3), sources);
    EXPECT_TRUE(fs::is_regular_file(out + "/f1.wav"));
    EXPECT_TRUE(fs::is_directory(out + "/f2.wav"));
    EXPECT_TRUE(apptest::cliExtendsWindowFile(out + "/f3.wav", ref3));
    const QStringList m = apptest::takeMessages();
    ASSERT_EQ(m.size(), 1);
    EXPECT_TRUE(m[0].startsWith("Some results could not be written:\n")) << m[0].toStdString();
    EXPECT_TRUE(m[0].contains("f2.wav"));
    EXPECT_FALSE(m[0].contains("f3.wav"));
    expectControlsBack(w);

    // The same report in Russian.
    config::FconfAS->cboxLang->setCurrentIndex(1);
    config::FconfAS->cboxLangChange();
    apptest::selectListRow(w, 0);
    w->bAutoClick();
    config::FconfAS->cboxLang->setCurrentIndex(0);
    config::FconfAS->cboxLangChange();
    const QStringList ru = apptest::takeMessages();
    ASSERT_EQ(ru.size(), 1);
    EXPECT_TRUE(
        ru[0].startsWith(QString::fromUtf8("Некоторые результаты не удалось записать:\nf2.wav")))
        << ru[0].toStdString();
    expectControlsBack(w);
}

TEST(Batch, CancelInTheSecondFileKeepsTheFirstResultOnly) {
    app::TFPanelSignal* w = apptest::windows();
    const std::string in = makeDir("batch-cancel-in", 3);
    const std::string out = freshDir("batch-cancel-out");
    const std::vector<std::string> sources = sourceBytes(in, 3);
    const std::string ref1 = cliReference(in + "/f1.wav", "cancel1");
    apptest::listDirectory(w, in, 3);
    processing::batchwindows::FSetDirectory->chosenDir = out;
    apptest::selectListRow(w, 0);
    // The run lets messages through after every frame: Cancel is pressed
    // while the second file is being cleaned.
    QTimer presser;
    presser.setInterval(0);
    QObject::connect(&presser, &QTimer::timeout, [&] {
        if (processing::batchwindows::FProgress->isVisible() &&
            processing::batchwindows::FProgress->Lab_Info->text() == "Open/Save file: f2.wav") {
            processing::batchwindows::FProgress->bCancel->click();
            presser.stop();
        }
    });
    presser.start();
    apptest::takeMessages();
    w->bAutoClick();
    presser.stop();
    EXPECT_EQ(sourceBytes(in, 3), sources);
    EXPECT_TRUE(apptest::cliExtendsWindowFile(out + "/f1.wav", ref1));
    // The second file's run was cut short: no half-silent result.
    EXPECT_FALSE(fs::exists(out + "/f2.wav"));
    EXPECT_FALSE(fs::exists(out + "/f3.wav"));
    const QStringList m = apptest::takeMessages();
    ASSERT_EQ(m.size(), 1);
    EXPECT_TRUE(m[0].contains("f2.wav: cancelled, not written")) << m[0].toStdString();
    expectControlsBack(w);
}

TEST(Batch, EmptyListWritesNothingAndLeavesTheControls) {
    app::TFPanelSignal* w = apptest::windows();
    const std::string in = freshDir("batch-empty-in");
    const std::string out = freshDir("batch-empty-out");
    apptest::listDirectory(w, in, 0);
    processing::batchwindows::FSetDirectory->chosenDir = out;
    // START is off in a window that has no signal yet: the batch leaves it as it was.
    const bool startBefore = w->bStart->isEnabled();
    apptest::takeMessages();
    w->bAutoClick();
    EXPECT_EQ(entriesOf(out), 0);
    EXPECT_EQ(entriesOf(in), 0);
    EXPECT_TRUE(apptest::takeMessages().isEmpty());
    EXPECT_EQ(w->bStart->isEnabled(), startBefore);
    EXPECT_TRUE(w->bAuto->isEnabled());
    EXPECT_FALSE(processing::batchwindows::FProgress->isVisible());
}

TEST(Batch, AfterADirectoryChangeTheBatchStartsAtTheFirstFile) {
    app::TFPanelSignal* w = apptest::windows();
    const std::string a = makeDir("batch-chg-a", 5);
    const std::string b = freshDir("batch-chg-b");
    for (int f = 0; f < 2; ++f) {
        std::vector<int16_t> s(12000);
        for (std::size_t i = 0; i < s.size(); ++i)
            s[i] = int16_t(((i * (f + 11)) % 500) * 30 - 7500);
        std::string err;
        ASSERT_TRUE(soundfile::writePcmWav(b + "/g" + std::to_string(f + 1) + ".wav", 16000, 1,
                                           s.data(), s.size(), err));
    }
    const std::string out = freshDir("batch-chg-out");
    const std::string ref1 = cliReference(b + "/g1.wav", "chg1");
    const std::string ref2 = cliReference(b + "/g2.wav", "chg2");
    apptest::listDirectory(w, a, 5);
    // Row 1 of the old list would be the new list's second file.
    apptest::selectListRow(w, 1);
    apptest::listDirectory(w, b, 2);
    processing::batchwindows::FSetDirectory->chosenDir = out;
    apptest::takeMessages();
    w->bAutoClick();
    EXPECT_EQ(processing::batchwindows::FProgress->Progress->maximum(), 2);
    EXPECT_TRUE(apptest::cliExtendsWindowFile(out + "/g1.wav", ref1));
    EXPECT_TRUE(apptest::cliExtendsWindowFile(out + "/g2.wav", ref2));
    EXPECT_EQ(entriesOf(out), 2);
    EXPECT_TRUE(apptest::takeMessages().isEmpty());
    expectControlsBack(w);
}

} // namespace
