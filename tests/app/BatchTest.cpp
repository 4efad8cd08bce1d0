// The automatic batch over the file list.

#include "tests/app/AppFixture.h"

#include "processing/batchwindows/Uprogress.h"
#include "processing/batchwindows/Usetdirectory.h"
#include "soundfile/WavFile.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileSystemModel>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

std::string makeDir(const std::string& name, int files) {
    const std::string dir = apptest::scratchDir() + "/" + name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    for (int f = 0; f < files; ++f) {
        std::vector<int16_t> s(16000);
        for (std::size_t i = 0; i < s.size(); ++i) s[i] = int16_t(((i * (f + 3)) % 700) * 20 - 7000);
        std::string err;
        EXPECT_TRUE(writePcmWav(dir + "/f" + std::to_string(f + 1) + ".wav", 16000, 1, s.data(), s.size(), err));
    }
    return dir;
}

void listDirectory(TFPanelSignal* w, const std::string& dir, int expected) {
    w->DirListChange(QString::fromStdString(dir));
    // The file model lists the directory asynchronously.
    ASSERT_TRUE(QTest::qWaitFor([w, expected] { return w->fileModel->rowCount(w->FileList->rootIndex()) >= expected; }, 3000));
    ASSERT_EQ(w->fileModel->rowCount(w->FileList->rootIndex()), expected);
    w->fileModel->sort(0);
    QApplication::processEvents();
}

TEST(Batch, MissingDirectoryIsToldAndNothingRuns) {
    TFPanelSignal* w = apptest::windows();
    FSetDirectory->chosenDir = apptest::scratchDir() + "/nowhere";
    apptest::takeMessages();
    w->bAutoClick();
    const QStringList m = apptest::takeMessages();
    ASSERT_EQ(m.size(), 1);
    EXPECT_EQ(m[0], "Directory does not exist! Create directory for save changed files.");
    EXPECT_TRUE(w->bAuto->isEnabled());
}

TEST(Batch, FromTheSelectedFileToTheLastIntoTheOutputDirectory) {
    TFPanelSignal* w = apptest::windows();
    const std::string in = makeDir("batch-in", 5);
    const std::string out = apptest::scratchDir() + "/batch-out";
    fs::remove_all(out);
    fs::create_directories(out);
    listDirectory(w, in, 5);
    FSetDirectory->chosenDir = out;
    w->FileList->setCurrentIndex(w->fileModel->index(2, 0, w->FileList->rootIndex()));
    ASSERT_EQ(w->fileModel->fileName(w->FileList->currentIndex()), "f3.wav");
    w->bAutoClick();
    EXPECT_EQ(FProgress->Progress->maximum(), 3);
    EXPECT_EQ(FProgress->Lab_progress->text(), "100 %");
    EXPECT_EQ(FProgress->Lab_Info->text(), "File:");
    EXPECT_FALSE(fs::exists(out + "/f1.wav"));
    EXPECT_FALSE(fs::exists(out + "/f2.wav"));
    for (const char* f : {"f3.wav", "f4.wav", "f5.wav"}) {
        ASSERT_TRUE(fs::exists(out + "/" + f)) << f;
        const std::string ref = apptest::scratchDir() + "/ref-" + f;
        ASSERT_EQ(std::system((std::string(SILVANE_CLI) + " clean " + in + "/" + f + " " + ref).c_str()), 0);
        EXPECT_TRUE(apptest::cliExtendsWindowFile(out + "/" + f, ref)) << f;
    }
    EXPECT_TRUE(w->bAuto->isEnabled());
    EXPECT_TRUE(w->bStart->isEnabled());
    EXPECT_FALSE(FProgress->progressCancelled);
}

TEST(Batch, OutputIntoTheSourceDirectoryReplacesEachFile) {
    TFPanelSignal* w = apptest::windows();
    const std::string dir = makeDir("batch-same", 2);
    const std::string ref = apptest::scratchDir() + "/same-ref.wav";
    ASSERT_EQ(std::system((std::string(SILVANE_CLI) + " clean " + dir + "/f1.wav " + ref).c_str()), 0);
    listDirectory(w, dir, 2);
    FSetDirectory->chosenDir = dir;
    w->FileList->clearSelection();
    w->FileList->setCurrentIndex(QModelIndex());
    w->bAutoClick();
    EXPECT_TRUE(apptest::cliExtendsWindowFile(dir + "/f1.wav", ref));
    int entries = 0;
    for (auto& e : fs::directory_iterator(dir)) { (void)e; ++entries; }
    EXPECT_EQ(entries, 2);
}

}  // namespace
