// The main window on the offscreen platform: start-up state, the command
// switch, the file list, window state handed to the configuration window,
// and the main road: a file clicked in the list is opened, cleaned and saved.

#include "tests/app/AppFixture.h"

#include "config/Configu.h"
#include "gui/RadioGroup.h"
#include "processing/batchwindows/Usetdirectory.h"
#include "soundfile/WavFile.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileSystemModel>
#include <QTest>
#include <QWheelEvent>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;
using apptest::windows;

namespace {

std::vector<char> bytesOf(const std::string& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

bool enabled(QObject* o) {
    if (auto* w = qobject_cast<QWidget*>(o))
        return w->isEnabled();
    if (auto* a = qobject_cast<QAction*>(o))
        return a->isEnabled();
    return false;
}

// Writes a 16-bit file of `frames` frames.
std::string makeWav(const std::string& name, int channels, int frames, uint32_t rate = 16000) {
    std::vector<int16_t> s(std::size_t(frames) * channels);
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = int16_t((i * 37) % 2000 - 1000);
    const std::string path = apptest::scratchDir() + "/" + name;
    std::string err;
    EXPECT_TRUE(
        soundfile::writePcmWav(path, rate, uint16_t(channels), s.data(), std::size_t(frames), err))
        << err;
    return path;
}

// Every method of the configuration window's box reaches the run, its frame
// controls and the engine's re-initialisation, the neural one included.
TEST(ConfigLink, EveryMethodOfTheBoxReachesTheRun) {
    windows();
    ASSERT_NE(config::FconfAS, nullptr);
    const int kept = config::FconfAS->KindSubst->itemIndex();
    for (int m = 0; m < 4; ++m) {
        config::FconfAS->KindSubst->setItemIndex(m);
        EXPECT_EQ(app::configMethod(), m);
        EXPECT_EQ(app::configRunParameters(16000, 1).method, m);
        EXPECT_EQ(app::configFrameControls(false, true).method, m);
    }
    config::FconfAS->KindSubst->setItemIndex(kept);
}

TEST(Window, StartsWithTheSignalCommandsDisabled) {
    app::TFPanelSignal* shared = windows();
    {
        // A main window of its own: the shared one may have left start-up in
        // an earlier test of this process.
        app::TFPanelSignal fresh;
        fresh.FormActivate();
        EXPECT_EQ(fresh.workMode, app::WorkStartup);
        EXPECT_EQ(fresh.origLength, 0);
        EXPECT_EQ(fresh.changedLength, 0);
        EXPECT_EQ(fresh.windowTitle(), "Quorvex's Silvane");
        for (QObject* o : fresh.signalCommands())
            EXPECT_FALSE(enabled(o)) << o->objectName().toStdString();
        for (QWidget* c : std::initializer_list<QWidget*>{fresh.tOpen, fresh.tRecord,
                                                          fresh.tOptions, fresh.FileList})
            EXPECT_TRUE(c->isEnabled()) << c->objectName().toStdString();
        EXPECT_FALSE(fresh.TimerRec->isActive() || fresh.TimerPlayPos->isActive() ||
                     fresh.TimerSV->isActive() || fresh.TimerRecord->isActive() ||
                     fresh.TimerPlay->isActive());
        EXPECT_EQ(fresh.Status0->panelText(2), "Title: 0 ms/0");
        EXPECT_EQ(fresh.StatusDir1->panelText(0).left(4), "Dir:");
        // The space bar plays nothing before a signal is loaded.
        fresh.FormKeyDown(Qt::Key_Space);
        EXPECT_EQ(fresh.workMode, app::WorkStartup);
    }
    // The shared window goes on as the program's main window; its engine
    // blocks, which the fresh window destroyed on its way out, are made anew.
    app::FPanelSignal = shared;
    shared->bInitSVClick();
}

TEST(Window, WorkModesSwitchTheCommandList) {
    app::TFPanelSignal* w = windows();
    const uint8_t before = w->workMode;
    w->setWorkMode(app::WorkReady);
    for (QObject* o : w->signalCommands())
        EXPECT_TRUE(enabled(o)) << o->objectName().toStdString();
    w->setWorkMode(app::WorkPlayOnce); // changes no command
    for (QObject* o : w->signalCommands())
        EXPECT_TRUE(enabled(o));
    w->setWorkMode(app::WorkDuplex);
    for (QObject* o : w->signalCommands())
        EXPECT_FALSE(enabled(o));
    EXPECT_TRUE(w->tOpen->isEnabled());
    w->setWorkMode(before);
}

TEST(Window, HidingTheFileListDisablesTheBatch) {
    app::TFPanelSignal* w = windows();
    ASSERT_TRUE(w->ShowFileList->isChecked());
    w->ShowFileList->trigger();
    EXPECT_FALSE(w->ShowFileList->isChecked());
    EXPECT_FALSE(w->PanelFileList->isVisible());
    EXPECT_FALSE(w->bAuto->isEnabled());
    EXPECT_FALSE(w->tSetDirSaveNew->isEnabled());
    EXPECT_FALSE(w->StatusDir1->isEnabled());
    w->ShowFileList->trigger();
    EXPECT_TRUE(w->PanelFileList->isVisible());
    EXPECT_TRUE(w->bAuto->isEnabled());
    EXPECT_TRUE(w->tSetDirSaveNew->isEnabled());
    EXPECT_TRUE(w->StatusDir1->isEnabled());
}

TEST(Window, DeactivationKeepsPositionAndSizeForTheNextActivation) {
    app::TFPanelSignal* w = windows();
    w->setGeometry(100, 120, 900, 500);
    QApplication::processEvents();
    const QRect kept = w->geometry();
    w->FormDeactivate();
    w->setGeometry(10, 10, 700, 400);
    w->FormActivate();
    EXPECT_EQ(w->geometry(), kept);
}

TEST(Window, ToolBarDoubleClickShowsDuplex) {
    app::TFPanelSignal* w = windows();
    w->ToolBar4DblClick();
    bool visible = false;
    for (QAction* a : w->ToolBar2->actions())
        if (w->ToolBar2->widgetForAction(a) == w->tDuplex)
            visible = a->isVisible();
    EXPECT_TRUE(visible);
}

// The directory tree shows the directory the list was set to, selected and
// scrolled into view, also when the tree had not read the way there yet and
// another directory was shown before (the program's start in one directory
// with a file of another named on the command line).
TEST(Window, DirectoryTreeFollowsTheListsDirectory) {
    app::TFPanelSignal* w = windows();
    const std::string first = apptest::scratchDir() + "/tree-first/start";
    const std::string deep = apptest::scratchDir() + "/tree/a/b/c/d";
    fs::create_directories(first);
    fs::create_directories(deep);
    for (int i = 0; i < 40; ++i) // siblings enough to push the target out of view
        fs::create_directories(apptest::scratchDir() + "/tree/a/b/sibling" +
                               std::to_string(100 + i));
    w->DirListChange(QString::fromStdString(first));
    w->DirListChange(QString::fromStdString(deep));
    auto shown = [&] {
        const QModelIndex current = w->DirList->currentIndex();
        return current.isValid() &&
               w->dirModel->filePath(current) == QString::fromStdString(deep) &&
               w->DirList->viewport()->rect().contains(w->DirList->visualRect(current));
    };
    // The model reads the directories on the way in the background, then
    // sorts what it read on its next turn.
    const QModelIndex b =
        w->dirModel->index(QString::fromStdString(apptest::scratchDir() + "/tree/a/b"));
    EXPECT_TRUE(
        QTest::qWaitFor([&] { return w->dirModel->rowCount(b) == 41; }, apptest::kListingWaitMs));
    QTest::qWait(100);
    EXPECT_TRUE(shown()) << w->dirModel->filePath(w->DirList->currentIndex()).toStdString();
    EXPECT_EQ(w->fileModel->rootPath(), QString::fromStdString(deep));
    // The branch opened for the first directory, untouched by the user, is folded.
    EXPECT_FALSE(w->DirList->isExpanded(w->dirModel->index(QString::fromStdString(first))));
    EXPECT_FALSE(w->DirList->isExpanded(
        w->dirModel->index(QString::fromStdString(apptest::scratchDir() + "/tree-first"))));
    EXPECT_TRUE(w->DirList->isExpanded(w->dirModel->index(QString::fromStdString(deep)).parent()));
    // Once the user scrolls the tree, it stays where the user put it.
    ASSERT_FALSE(w->treeTarget.isEmpty());
    QWheelEvent wheel(QPointF(5, 5), w->DirList->viewport()->mapToGlobal(QPointF(5, 5)), QPoint(),
                      QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(w->DirList->viewport(), &wheel);
    EXPECT_TRUE(w->treeTarget.isEmpty());
    // And once the user moves the tree's current directory (with the keys, say).
    w->DirListChange(QString::fromStdString(deep));
    ASSERT_FALSE(w->treeTarget.isEmpty());
    w->DirList->setCurrentIndex(w->dirModel->index(QString::fromStdString(first)));
    EXPECT_TRUE(w->treeTarget.isEmpty());
}

TEST(MainRoad, FileListOpensCleansAndSavesAsTheCommandLineDoes) {
    app::TFPanelSignal* w = windows();
    if (!w->formActivated)
        w->FormActivate();
    ASSERT_TRUE(w->bEnabledPr->isChecked()); // the stored default: processing on
    const std::string dir = apptest::scratchDir() + "/list";
    fs::create_directories(dir);
    fs::copy_file(apptest::bundledSample(), dir + "/speech.wav",
                  fs::copy_options::overwrite_existing);
    w->DirListChange(QString::fromStdString(dir));
    // The file model lists the directory asynchronously.
    ASSERT_TRUE(
        QTest::qWaitFor([w] { return w->fileModel->rowCount(w->FileList->rootIndex()) > 0; },
                        apptest::kListingWaitMs));
    ASSERT_EQ(w->fileModel->rowCount(w->FileList->rootIndex()), 1);
    w->FileList->setCurrentIndex(w->fileModel->index(0, 0, w->FileList->rootIndex()));
    apptest::takeMessages();
    w->FileListClick();
    EXPECT_TRUE(apptest::takeMessages().isEmpty());
    EXPECT_EQ(w->workMode, app::WorkReady);
    EXPECT_EQ(w->recorder.channels, 2u);
    EXPECT_GT(w->changedLength, w->origLength - 2048);
    EXPECT_LE(w->changedLength, w->origLength);
    EXPECT_TRUE(w->processStopped);
    EXPECT_EQ(w->bStart->text(), "START");
    EXPECT_TRUE(w->labelDTime->text().startsWith(" Time process: "));

    const std::string saved = apptest::scratchDir() + "/saved";
    apptest::answerDialogs({QString::fromStdString(saved)});
    w->tSaveNewClick();
    const std::string savedName = saved + ".Wav";
    ASSERT_TRUE(fs::exists(savedName));
    EXPECT_EQ(w->Status1->panelText(0), "File: saved.Wav");
    auto bytes = bytesOf(savedName);
    ASSERT_EQ(bytes.size(), 56u + 4u * std::size_t(w->changedLength));
    EXPECT_EQ(std::string(bytes.data() + 36, 4), "fact");
    for (int32_t i = 0; i < w->changedLength; ++i) {
        int16_t l, r;
        std::memcpy(&l, bytes.data() + 56 + 4 * i, 2);
        std::memcpy(&r, bytes.data() + 58 + 4 * i, 2);
        ASSERT_EQ(l, w->changedSamples[0][i]) << i;
        ASSERT_EQ(r, w->changedSamples[1][i]) << i;
    }
    const std::string cli = apptest::scratchDir() + "/cli.wav";
    ASSERT_EQ(
        std::system((std::string(SILVANE_CLI) + " clean " + dir + "/speech.wav " + cli).c_str()),
        0);
    EXPECT_TRUE(apptest::cliExtendsWindowFile(savedName, cli));
}

TEST(OpenSave, MonoOriginalGetsNoRightOverlay) {
    app::TFPanelSignal* w = windows();
    const std::string stereo = makeWav("st.wav", 2, 20000);
    const std::string mono = makeWav("mono.wav", 1, 12000);
    apptest::answerDialogs({QString::fromStdString(stereo)});
    w->tOpenClick();
    w->bStartClick();
    apptest::answerDialogs({QString::fromStdString(mono)});
    w->tOpenClick();
    w->bStartClick();
    EXPECT_EQ(w->origLength, 12000);
    for (int i = 0; i < 12000; ++i)
        ASSERT_EQ(w->origSamples[1][i], 0) << i;
    EXPECT_EQ(w->overlayColumnCount[1], 0);
    EXPECT_GT(w->overlayColumnCount[0], 0);
    EXPECT_EQ(w->Status0->panelText(0), "File: mono.wav");
    EXPECT_EQ(w->selectionStart, 0);
    EXPECT_FALSE(w->hasSelection);
}

TEST(OpenSave, FailuresAreReportedAndLoseNothing) {
    app::TFPanelSignal* w = windows();
    const std::string good = makeWav("keep.wav", 2, 10000);
    apptest::answerDialogs({QString::fromStdString(good)});
    w->tOpenClick();
    w->bStartClick();
    const int32_t changed = w->changedLength;
    const int16_t right = w->changedSamples[1][100];
    apptest::takeMessages();

    apptest::answerDialogs({QString::fromStdString(apptest::scratchDir() + "/missing.wav")});
    w->tOpenNewRClick();
    QStringList m = apptest::takeMessages();
    ASSERT_EQ(m.size(), 1);
    EXPECT_TRUE(m[0].contains("missing.wav")) << m[0].toStdString();
    EXPECT_EQ(w->changedLength, changed); // the changed signal survives a failed open
    EXPECT_EQ(w->changedSamples[1][100], right);

    const std::string bad = apptest::scratchDir() + "/bad.wav";
    std::ofstream(bad) << "RIFF\x10\0\0\0WAVEfmt \x10\0\0\0\x55\0\x01\0";
    apptest::answerDialogs({QString::fromStdString(bad)});
    EXPECT_THROW(w->tOpenClick(), soundfile::UnknownFormat);
    EXPECT_EQ(w->origLength, 10000);

    // Tag 85: a readable header with an encoding we do not decode.
    std::vector<int16_t> none;
    const std::string other = apptest::scratchDir() + "/other.wav";
    {
        std::ofstream f(other, std::ios::binary);
        const char hdr[] =
            "RIFF\0\0\0\0WAVEfmt "
            "\x10\0\0\0\x55\0\x01\0\x40\x1f\0\0\x80\x3e\0\0\x02\0\x10\0data\x04\0\0\0\1\0\2\0";
        f.write(hdr, sizeof hdr - 1);
    }
    apptest::answerDialogs({QString::fromStdString(other)});
    w->tOpenClick();
    m = apptest::takeMessages();
    ASSERT_EQ(m.size(), 1);
    EXPECT_EQ(m[0], "Current input format data not support. ... ");
    EXPECT_EQ(w->origLength, 10000);

    apptest::answerDialogs({QString::fromStdString(apptest::scratchDir() + "/no-such-dir/x")});
    w->tSaveNewClick();
    m = apptest::takeMessages();
    ASSERT_EQ(m.size(), 1);
    EXPECT_TRUE(m[0].contains("no-such-dir")) << m[0].toStdString();
    EXPECT_FALSE(fs::exists(apptest::scratchDir() + "/no-such-dir/x.Wav"));
}

TEST(OpenSave, SelectionSavesWriteTheWholeSelection) {
    app::TFPanelSignal* w = windows();
    const std::string src = makeWav("sel.wav", 2, 8000, 8000);
    apptest::answerDialogs({QString::fromStdString(src)});
    w->tOpenClick();
    w->setSelection(100, 199);
    const std::string whole = apptest::scratchDir() + "/sel-whole.wav";
    apptest::answerDialogs({QString::fromStdString(whole)});
    w->tSaveSelectionClick();
    EXPECT_EQ(fs::file_size(apptest::scratchDir() + "/sel-whole.Wav"), 56u + 100u * 4u);
    const std::string left = apptest::scratchDir() + "/sel-left.WAV";
    apptest::answerDialogs({QString::fromStdString(left)});
    w->tSaveLClick();
    const std::string leftName = apptest::scratchDir() + "/sel-left.Wav";
    ASSERT_TRUE(fs::exists(leftName));
    EXPECT_EQ(fs::file_size(leftName), 46u + 100u * 2u);
    auto b = bytesOf(leftName);
    int16_t first;
    std::memcpy(&first, b.data() + 46, 2);
    EXPECT_EQ(first, w->origSamples[0][100]);
    w->resetSelection();
}

TEST(OpenSave, OriginalLongerThanTheCapacityIsCutWithAMessage) {
    app::TFPanelSignal* w = windows();
    const std::string big = makeWav("big.wav", 1, processing::MaxOrigSamples + 1, 8000);
    apptest::takeMessages();
    apptest::answerDialogs({QString::fromStdString(big)});
    w->tOpenClick();
    QStringList m = apptest::takeMessages();
    ASSERT_EQ(m.size(), 1);
    EXPECT_EQ(m[0], "Max length: 2500000 ms");
    EXPECT_EQ(w->origLength, processing::MaxOrigSamples);
    fs::remove(big);
}

// The changed signal holds twice as much as the original: its opens warn
// with its own capacity, and keep that much.
TEST(OpenSave, ChangedLongerThanItsCapacityIsCutWithItsOwnMaximum) {
    app::TFPanelSignal* w = windows();
    const std::string big = makeWav("bigchanged.wav", 1, processing::MaxChangedSamples + 1, 8000);
    apptest::takeMessages();
    apptest::answerDialogs({QString::fromStdString(big)});
    w->tOpenNewClick();
    QStringList m = apptest::takeMessages();
    ASSERT_EQ(m.size(), 1);
    EXPECT_EQ(m[0], "Max length: 5000000 ms");
    EXPECT_EQ(w->changedLength, processing::MaxChangedSamples);
    apptest::answerDialogs({QString::fromStdString(big)});
    w->tOpenNewRClick();
    m = apptest::takeMessages();
    ASSERT_EQ(m.size(), 1);
    EXPECT_EQ(m[0], "Max length: 5000000 ms");
    EXPECT_EQ(w->changedLength, processing::MaxChangedSamples);
    fs::remove(big);
    w->changedLength = 0;
}

TEST(MixCopy, MixSaturatesAndCopiesAreWhole) {
    app::TFPanelSignal* w = windows();
    w->changedLength = 3;
    int16_t* l = w->changedSamples.data(0);
    int16_t* r = w->changedSamples.data(1);
    l[0] = 30000;
    r[0] = -10000;
    l[1] = 5;
    r[1] = 7;
    l[2] = -30000;
    r[2] = 10000;
    ASSERT_TRUE(config::FconfAS->MethodMix->isChecked());
    w->bMixNewClick();
    EXPECT_EQ(r[0], 32767);
    EXPECT_EQ(r[1], -2);
    EXPECT_EQ(r[2], -32768);
    EXPECT_EQ(l[0], 30000);
    w->SpeedButton5Click();
    EXPECT_EQ(l[1], -2);
    l[1] = 9;
    w->SpeedButton2Click();
    EXPECT_EQ(r[1], 9);
}

} // namespace

namespace {

TEST(OpenSave, RawPcmOpensAs16kMonoAndIgnoresAnOddByte) {
    app::TFPanelSignal* w = windows();
    const std::string raw = apptest::scratchDir() + "/voice.pcm";
    {
        std::ofstream f(raw, std::ios::binary);
        for (int i = 0; i < 500; ++i) {
            const int16_t v = int16_t(i * 10 - 2500);
            f.write(reinterpret_cast<const char*>(&v), 2);
        }
        f.put('\x7f');
    }
    apptest::answerDialogs({QString::fromStdString(raw)});
    w->tOpenClick();
    EXPECT_EQ(w->origLength, 500);
    EXPECT_EQ(w->origSamples[0][499], 4990 - 2500);
    EXPECT_EQ(w->origSamples[1][10], 0);
    EXPECT_EQ(w->recorder.sampleRate, 16000u);
    EXPECT_EQ(w->recorder.channels, 1u);
    EXPECT_EQ(soundfile::sourceHeader.sampleRate, 16000u);
    EXPECT_EQ(w->workMode, app::WorkReady);
    EXPECT_EQ(w->Status0->panelText(0), "File: voice.pcm");
}

} // namespace
