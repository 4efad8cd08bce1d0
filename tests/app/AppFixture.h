#pragma once
// Creating the program's windows for tests, answering dialogs and message
// boxes, and small helpers over the main window.

#include "app/Upanelsig.h"
#include "soundfile/WavFile.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileSystemModel>
#include <QString>
#include <QStringList>
#include <QTest>

#include <algorithm>
#include <string>

namespace apptest {

// Creates the windows once, in start-up order; later calls return the main window.
app::TFPanelSignal* windows();
void destroyWindows();

// Messages shown since the last call.
QStringList takeMessages();
// The next file dialogs answer these paths, in order ("" cancels).
void answerDialogs(const QStringList& paths);

// Makes row `row` of the file list the current one, as a click would (without opening it).
inline void selectListRow(app::TFPanelSignal* w, int row) {
    w->FileList->setCurrentIndex(w->fileModel->index(row, 0, w->FileList->rootIndex()));
}

std::string scratchDir();
std::string bundledSample();

// How long a test waits for the window's directory and file models, which read the disk in the
// background: generous, since under the sanitizers on a loaded machine a listing has taken
// seconds, and a wait that succeeds returns at once.
constexpr int kListingWaitMs = 30000;

// Shows `dir` in the file list and waits until the model has listed it: `expected` rows and no
// more arriving after them, sorted by name.
inline void listDirectory(app::TFPanelSignal* w, const std::string& dir, int expected) {
    w->DirListChange(QString::fromStdString(dir));
    ASSERT_TRUE(QTest::qWaitFor(
        [w, expected] { return w->fileModel->rowCount(w->FileList->rootIndex()) >= expected; },
        kListingWaitMs));
    QTest::qWait(100); // nothing more arrives
    ASSERT_EQ(w->fileModel->rowCount(w->FileList->rootIndex()), expected);
    w->fileModel->sort(0);
    QApplication::processEvents();
}

// The command line streams its cleaning and keeps the input's whole length;
// the window's result is its beginning. True when `windowFile`'s samples are
// the first ones of `cliFile` (same rate and channels).
inline ::testing::AssertionResult cliExtendsWindowFile(const std::string& windowFile,
                                                       const std::string& cliFile) {
    soundfile::WavHeaderInfo hw, hc;
    int32_t fw = 0, fc = 0;
    int16_t *bw = nullptr, *bc = nullptr;
    const bool ok = soundfile::readWavSamples(hw, windowFile, fw, bw) &&
                    soundfile::readWavSamples(hc, cliFile, fc, bc);
    ::testing::AssertionResult r = ::testing::AssertionSuccess();
    if (!ok)
        r = ::testing::AssertionFailure() << "unreadable";
    else if (hw.channels != hc.channels || hw.sampleRate != hc.sampleRate)
        r = ::testing::AssertionFailure() << "format differs";
    else if (fw > fc)
        r = ::testing::AssertionFailure() << "window " << fw << " frames, command line " << fc;
    else if (!std::equal(bw, bw + std::size_t(fw) * hw.channels, bc))
        r = ::testing::AssertionFailure() << "samples differ";
    delete[] bw;
    delete[] bc;
    return r;
}

} // namespace apptest
