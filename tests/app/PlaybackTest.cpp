// The play commands on the virtual card: what reaches the device for the
// whole signal, a selection and one channel; the end of a playback; looped
// passes and the play marker; the space bar; stopping before a signal is
// replaced; no output device.

#include "tests/app/SoundTestSupport.h"

#include "soundfile/WavFile.h"

#include <QKeyEvent>

namespace {

using soundtest::advance;
using soundtest::pattern;
using soundtest::shows;

class Playback : public soundtest::SoundTest {
  protected:
    // Left/Right of a stereo block.
    static std::vector<int16_t> channelOf(const std::vector<int16_t>& v, int channels, int c,
                                          int32_t from, int32_t frames) {
        std::vector<int16_t> out;
        for (int32_t i = from; i < from + frames; ++i)
            out.push_back(v[std::size_t(i) * channels + c]);
        return out;
    }
    void expectFinished() {
        EXPECT_EQ(w->workMode, app::WorkReady);
        EXPECT_FALSE(w->TimerPlayPos->isActive());
        EXPECT_EQ(w->player.handle, nullptr);
        for (QToolButton* b :
             {w->tPlayAll, w->tPlayNewAll, w->tPlay0, w->tPlay1, w->tPlayNew0, w->tPlayNew1})
            EXPECT_TRUE(shows(b, app::ImgPlay)) << b->objectName().toStdString();
        EXPECT_TRUE(shows(w->tPlayLoopedAll, app::ImgPlayLoop));
        EXPECT_TRUE(shows(w->tPlayLoopedNewAll, app::ImgPlayLoop));
        for (int k = 0; k < 4; ++k) {
            EXPECT_FALSE(w->playMarkShown[k]);
            EXPECT_EQ(w->playMarkRects[k].right, 0);
        }
    }
};

TEST_F(Playback, WholeStereoSignalPlaysInterleavedAndTheDoneMessageFinishes) {
    const std::vector<int16_t> sig = pattern(4000, 2);
    load(sig, 2, 8000);
    w->tPlayAllClick();
    EXPECT_EQ(w->workMode, app::WorkPlayOnce);
    EXPECT_TRUE(shows(w->tPlayAll, app::ImgStop));
    EXPECT_TRUE(w->TimerPlayPos->isActive());
    EXPECT_EQ(w->playPass, 1);
    EXPECT_EQ(w->player.channels, 2u);
    advance(250);
    EXPECT_EQ(w->workMode, app::WorkPlayOnce);
    w->TimerPlayPosTimer();
    EXPECT_TRUE(w->playMarkShown[0] && w->playMarkShown[1]);
    advance(300); // 500 ms of sound in all
    EXPECT_EQ(played(), sig);
    expectFinished();
}

TEST_F(Playback, ASelectionOrOneChannelQueuesJustThoseFrames) {
    const std::vector<int16_t> orig = pattern(5000, 2, 3), changed = pattern(5000, 2, 4);
    load(orig, 2, 8000, &changed, 2);
    w->setSelection(1000, 1999);
    w->tPlay1Click();
    EXPECT_EQ(w->player.channels, 1u);
    advance(200);
    EXPECT_EQ(played(), channelOf(orig, 2, 1, 1000, 1000));
    expectFinished();

    // The changed Left from the cursor to the end.
    install(platform::VirtualCardConfig{});
    w->setSelection(4000, 4000);
    w->tPlayNew0Click();
    advance(200);
    EXPECT_EQ(played(), channelOf(changed, 2, 0, 4000, 1000));
    expectFinished();

    // A selection of the whole changed signal, both channels.
    install(platform::VirtualCardConfig{});
    w->setSelection(0, 4999);
    w->tPlayNewAllClick();
    advance(700);
    EXPECT_EQ(played(), changed);
    expectFinished();
}

TEST_F(Playback, AMonoSignalPlaysItsLeftChannelOnly) {
    const std::vector<int16_t> mono = pattern(800, 1, 5);
    load(mono, 1, 8000);
    w->tPlayAllClick();
    EXPECT_EQ(w->player.channels, 1u);
    advance(150);
    EXPECT_EQ(played(), mono);
    expectFinished();
}

TEST_F(Playback, PressingAgainStopsAndOnlyTheMatchingKindOfCommandActs) {
    load(pattern(16000, 2), 2, 8000);
    w->tPlay0Click();
    advance(100);
    w->tPlayLoopedAllClick(); // a looped command during a once-playback: nothing
    EXPECT_EQ(w->workMode, app::WorkPlayOnce);
    EXPECT_TRUE(shows(w->tPlayLoopedAll, app::ImgPlayLoop));
    w->tPlay1Click(); // any once-command stops a once-playback
    EXPECT_TRUE(shows(w->tPlay1, app::ImgPlay));
    advance(10);
    expectFinished();
    EXPECT_LT(played().size(), std::size_t(16000));

    w->tPlayLoopedAllClick();
    EXPECT_EQ(w->workMode, app::WorkPlayLoop);
    EXPECT_TRUE(shows(w->tPlayLoopedAll, app::ImgStop));
    w->tPlayAllClick(); // a once-command during a loop: nothing
    EXPECT_EQ(w->workMode, app::WorkPlayLoop);
    w->tPlayLoopedNewAllClick(); // any looped command stops the loop
    EXPECT_EQ(w->workMode, app::WorkPlayOnce);
    advance(10);
    expectFinished();
}

TEST_F(Playback, LoopedPlaybackRequeuesAndTheMarkerCountsEachPassWithinTheSelection) {
    const std::vector<int16_t> sig = pattern(8000, 1, 6);
    load(sig, 1, 8000);
    w->setSelection(2000, 2799); // 800 frames, 100 ms per pass
    w->tPlayLoopedAllClick();
    ASSERT_EQ(w->workMode, app::WorkPlayLoop);
    const int W = w->grSig0->width();
    const int32_t S = w->origViewStart[0], N = w->origViewLength[0];
    ASSERT_GT(N, 0);
    const int left = int(double(W) * (2000 - S) / N), right = int(double(W) * (2799 - S) / N);
    for (int step = 0; step < 50; ++step) {
        advance(7);
        w->TimerPlayPosTimer();
        EXPECT_GE(w->playMarkRects[0].left, left);
        EXPECT_LE(w->playMarkRects[0].left, right);
        EXPECT_EQ(w->playMarkRects[0].right, w->playMarkRects[0].left + 1);
        EXPECT_EQ(w->playMarkRects[0].bottom, w->grSig0->height());
    }
    // 350 ms: the fourth pass plays; the marker went back to the start each time.
    EXPECT_EQ(w->playPass, 4);
    advance(20);
    w->TimerPlayPosTimer();
    const int x = w->playMarkRects[0].left;
    EXPECT_NEAR(x, int(double(W) * (2000 + 70 * 8 - S) / N),
                std::max(2.0, double(W) * 60 / N)); // within the card's period
    // A repaint leaves the marker as it is.
    w->grSig0->repaint();
    EXPECT_TRUE(w->playMarkShown[0]);
    EXPECT_EQ(w->playMarkRects[0].left, x);

    w->tPlayLoopedAllClick();
    advance(5);
    expectFinished();
    const std::vector<int16_t> pass(sig.begin() + 2000, sig.begin() + 2800);
    const std::vector<int16_t> p = played();
    ASSERT_GE(p.size(), 3 * pass.size());
    for (int k = 0; k < 3; ++k)
        EXPECT_TRUE(
            std::equal(pass.begin(), pass.end(), p.begin() + std::ptrdiff_t(k * pass.size())))
            << k;
}

TEST_F(Playback, TheSpaceBarPlaysAndStopsTheHalfClickedLast) {
    const std::vector<int16_t> orig = pattern(8000, 1, 7), changed = pattern(8000, 2, 8);
    load(orig, 1, 8000, &changed, 2);
    QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, " ");
    w->changedPaneActive = 0;
    QCoreApplication::sendEvent(w->ScrollSignal, &space);
    EXPECT_EQ(w->workMode, app::WorkPlayOnce);
    EXPECT_TRUE(shows(w->tPlayAll, app::ImgStop));
    EXPECT_EQ(w->player.channels, 1u);
    QCoreApplication::sendEvent(w->ScrollSignal, &space);
    advance(5);
    expectFinished();

    w->changedPaneActive = 1;
    w->FormKeyDown(Qt::Key_Space);
    EXPECT_TRUE(shows(w->tPlayNewAll, app::ImgStop));
    EXPECT_EQ(w->player.channels, 2u);
    w->FormKeyDown(Qt::Key_Space);
    advance(5);
    expectFinished();

    // While looping, the space bar stops the loop.
    w->tPlayLoopedNewAllClick();
    w->FormKeyDown(Qt::Key_Space);
    advance(5);
    expectFinished();

    // Recording, start-up and duplex modes ignore it.
    for (app::WorkMode m : {app::WorkRecording, app::WorkStartup, app::WorkDuplex}) {
        w->setWorkMode(m);
        w->FormKeyDown(Qt::Key_Space);
        EXPECT_EQ(w->workMode, m);
        EXPECT_EQ(w->player.handle, nullptr);
    }
    w->setWorkMode(app::WorkReady);
}

TEST_F(Playback, ASignalIsReplacedOnlyAfterThePlaybackStopped) {
    std::vector<int16_t> file = pattern(3000, 2, 9);
    const std::string path = apptest::scratchDir() + "/replacing.wav";
    std::string err;
    ASSERT_TRUE(soundfile::writePcmWav(path, 8000, 2, file.data(), 3000, err)) << err;

    load(pattern(80000, 1, 10), 1, 8000);
    w->tPlay0Click();
    advance(50);
    w->TimerPlayPosTimer();
    apptest::answerDialogs({QString::fromStdString(path)});
    w->tOpenClick();
    ASSERT_EQ(w->origLength, 3000);
    expectFinished();

    // The done message of that stop comes late and must not end the next playback.
    w->tPlayLoopedAllClick();
    ASSERT_EQ(w->workMode, app::WorkPlayLoop);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(w->workMode, app::WorkPlayLoop);
    w->stopPlayback();
    expectFinished();
}

TEST_F(Playback, NothingToPlayOrNoOutputDeviceLeavesTheWindowReady) {
    load({}, 1, 8000);
    w->tPlayAllClick();
    EXPECT_EQ(w->workMode, app::WorkReady);

    platform::VirtualCardConfig none;
    none.outputs = 0;
    install(none);
    load(pattern(1000, 1), 1, 8000);
    w->tPlayAllClick();
    expectFinished();
    const QStringList m = apptest::takeMessages();
    ASSERT_EQ(m.size(), 1);
    EXPECT_TRUE(m[0].contains("No sound output device")) << m[0].toStdString();
}

} // namespace
