// Full duplex on the virtual card: buffer plans and timer intervals, the
// captured input as the original signal, the live cleaning hop by hop
// (frameStepRule) played back after the output delay and kept as the changed
// signal, the 30-second window, a rate change while running, Close, and
// missing devices.

#include "tests/app/SoundTestSupport.h"

#include "app/ConfigLink.h"
#include "processing/Engine.h"
#include "soundfile/WavFile.h"

namespace {

using soundtest::advance;
using soundtest::pattern;
using soundtest::shows;

class Duplex : public soundtest::SoundTest {
  protected:
    std::vector<int16_t> input;

    void feed(int rate, int channels, int32_t frames) {
        soundtest::configure(rate, channels);
        input = pattern(frames, channels, 31);
        platform::VirtualCardConfig c;
        c.inputSamples = input;
        c.inputChannels = UINT(channels);
        install(c);
    }
    void start() {
        w->tDuplexClick();
        ASSERT_EQ(w->workMode, app::WorkDuplex);
        EXPECT_TRUE(w->TimerRecord->isActive() && w->TimerSV->isActive() &&
                    w->TimerPlay->isActive());
        // The test drives the three timers itself, in step with the card's clock.
        for (QTimer* t : {w->TimerRecord, w->TimerSV, w->TimerPlay})
            t->stop();
    }
    void run(int ms) {
        for (int t = 0; t < ms; t += 5) {
            advance(5);
            w->TimerRecordTimer();
            w->TimerSVTimer();
            w->TimerPlayTimer();
        }
    }
    void TearDown() override {
        if (w->workMode == app::WorkDuplex)
            w->tDuplexClick();
        SoundTest::TearDown();
    }
    // What the engine makes of the input, hop by hop, on blocks created as
    // the duplex start creates them.
    std::vector<int16_t> engineOutput(int channels, int32_t hops) {
        const processing::RunParameters base =
            app::configRunParameters(int32_t(w->recorder.sampleRate), 2);
        const processing::FrameControls c =
            app::configFrameControls(w->UseFFTEQ->isChecked(), w->bEnabledPr->isChecked());
        processing::EngineBlock blocks[2] = {};
        processing::EngineParameters now = base;
        now.method = c.method;
        for (processing::EngineBlock& b : blocks)
            processing::restartEngine(b, processing::engineSettingsAt(base.sampleRate, now));
        processing::RunParameters p =
            app::configRunParameters(int32_t(w->recorder.sampleRate), channels);
        const uint32_t H = processing::engineFrameStep(blocks[0]);
        std::vector<int16_t> out;
        std::vector<int16_t> in[2] = {std::vector<int16_t>(H), std::vector<int16_t>(H)};
        std::vector<int16_t> res[2] = {std::vector<int16_t>(H), std::vector<int16_t>(H)};
        for (int32_t k = 0; k < hops; ++k) {
            for (uint32_t j = 0; j < H; ++j)
                for (int ch = 0; ch < channels; ++ch)
                    in[ch][j] = input[(std::size_t(k) * H + j) * channels + ch];
            const int16_t* const fin[2] = {in[0].data(), in[1].data()};
            int16_t* const fout[2] = {res[0].data(), res[1].data()};
            uint8_t vad[2];
            processing::frameStepRule(p, c, fin, fout, vad, blocks);
            for (uint32_t j = 0; j < H; ++j)
                for (int ch = 0; ch < channels; ++ch)
                    out.push_back(res[ch][j]);
        }
        return out;
    }
    void expectCleanedPlayback(int channels, int32_t delaySamples) {
        const uint32_t H = processing::engineFrameStep(processing::engineStates[0]);
        ASSERT_GT(H, 0u);
        const std::vector<int16_t> p = played();
        ASSERT_GT(p.size(), std::size_t(delaySamples));
        // The silent buffers queued at the start make the output delay.
        for (int32_t i = 0; i < delaySamples; ++i)
            ASSERT_EQ(p[std::size_t(i)], 0) << i;
        const std::size_t heard = p.size() - std::size_t(delaySamples);
        const std::size_t needed = std::max(heard, std::size_t(w->changedLength) * channels);
        const std::vector<int16_t> expected =
            engineOutput(channels, int32_t(needed / (H * channels)) + 1);
        ASSERT_GE(expected.size(), needed);
        EXPECT_TRUE(std::equal(p.begin() + delaySamples, p.end(), expected.begin()));
        // The engine really worked: the output is not the input.
        EXPECT_FALSE(std::equal(p.begin() + delaySamples, p.end(), input.begin()));
        // The changed signal is what was queued for playing.
        for (int32_t i = 0; i < w->changedLength; ++i)
            for (int ch = 0; ch < channels; ++ch)
                ASSERT_EQ(w->changedSamples[std::size_t(ch)][i],
                          expected[std::size_t(i) * channels + ch])
                    << i;
    }
};

TEST_F(Duplex, MonoAt8000CleansHopByHopAndPlaysBackAfter400Ms) {
    feed(8000, 1, 8000 * 10);
    load(pattern(1000, 2), 2, 16000);
    w->setSelection(10, 20);
    ASSERT_TRUE(w->bEnabledPr->isChecked());
    start();
    EXPECT_EQ(w->origLength, 0);
    EXPECT_FALSE(w->hasSelection);
    EXPECT_TRUE(shows(w->tDuplex, app::ImgStop));
    EXPECT_EQ(w->tDuplex->toolTip(), "Stop audio recording with Playback (Duplex mode)");
    EXPECT_FALSE(w->bStart->isEnabled());
    EXPECT_FALSE(w->ShowClearSig->isEnabled() || w->ShowClearSig->isChecked());
    EXPECT_FALSE(w->tPlayAll->isEnabled());
    EXPECT_EQ(w->duplex.inBufferCount(), 10);
    EXPECT_EQ(w->duplex.inBufferSamples(), 320);
    EXPECT_EQ(w->duplex.outBufferCount(), 10);
    EXPECT_EQ(w->TimerRecord->interval(), 20);
    EXPECT_EQ(w->TimerPlay->interval(), 20);
    EXPECT_EQ(w->Status0->panelText(1), "8000 Hz/1/16");
    EXPECT_EQ(w->Status1->panelText(1), "8000 Hz/1/16");

    run(3000);
    EXPECT_GE(w->origLength, 8000 * 3 - 2 * 320);
    EXPECT_TRUE(std::equal(input.begin(), input.begin() + w->origLength, w->origSamples.data(0)));
    for (int32_t i = 0; i < w->origLength; ++i)
        ASSERT_EQ(w->origSamples[1][i], 0);
    EXPECT_GT(w->changedLength, 8000 * 2);
    expectCleanedPlayback(1, 3200);
    EXPECT_EQ(w->Status0->panelText(2).left(7), "Title: ");

    w->tDuplexClick();
    EXPECT_EQ(w->workMode, app::WorkReady);
    EXPECT_FALSE(w->duplex.captureOpen());
    EXPECT_FALSE(w->duplex.outputOpen());
    EXPECT_FALSE(w->TimerRecord->isActive() || w->TimerSV->isActive() || w->TimerPlay->isActive());
    EXPECT_TRUE(shows(w->tDuplex, app::ImgDuplex));
    EXPECT_TRUE(w->bStart->isEnabled());
    EXPECT_TRUE(w->ShowClearSig->isEnabled());
    EXPECT_TRUE(w->tPlayAll->isEnabled());
    EXPECT_GT(w->origLength, 0); // both signals stay for playing and saving
    // The streams' late done messages are ignored.
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(w->workMode, app::WorkReady);
}

TEST_F(Duplex, StereoAt16000UsesEightBuffersAndCleansEachChannel) {
    feed(16000, 2, 16000 * 4);
    start();
    EXPECT_EQ(w->duplex.inBufferCount(), 8);
    EXPECT_EQ(w->duplex.inBufferSamples(), 2000);
    EXPECT_EQ(w->TimerRecord->interval(), 31);
    EXPECT_EQ(w->TimerPlay->interval(), 31);
    run(1500);
    for (int32_t i = 0; i < w->origLength; ++i) {
        ASSERT_EQ(w->origSamples[0][i], input[std::size_t(i) * 2]) << i;
        ASSERT_EQ(w->origSamples[1][i], input[std::size_t(i) * 2 + 1]) << i;
    }
    EXPECT_GT(w->changedLength, 8000);
    expectCleanedPlayback(2, 8 * 2000);
}

TEST_F(Duplex, ThirtySecondWindowScrollsBothSignalsAndTheSelection) {
    feed(8000, 1, 8000 * 40);
    start();
    run(30500);
    w->setSelection(1000, 2000);
    run(500);
    const int32_t window = 8000 * 30;
    EXPECT_LE(w->origLength, window);
    EXPECT_GT(w->origLength, window - 320);
    EXPECT_LE(w->changedLength, window);
    // The window holds the newest input: 31 s were captured, one buffer is in flight.
    const int32_t captured =
        w->origSamples[0][w->origLength - 1] == input[8000 * 31 - 1] ? 8000 * 31 : 8000 * 31 - 320;
    EXPECT_TRUE(std::equal(w->origSamples.data(0), w->origSamples.data(0) + w->origLength,
                           input.begin() + (captured - w->origLength)));
    // The selection moved left with the signal and stopped before going below 0.
    EXPECT_EQ(w->selectionStart, 40);
    EXPECT_EQ(w->selectionEnd, 1040);
}

TEST_F(Duplex, ARateChangeRestartsBothStreamsWithEmptySignals) {
    feed(8000, 1, 8000 * 5);
    start();
    run(1000);
    ASSERT_GT(w->origLength, 0);
    soundtest::configure(16000, 2);
    w->TimerRecordTimer();
    EXPECT_EQ(w->recorder.sampleRate, 16000u);
    EXPECT_EQ(w->recorder.channels, 2u);
    EXPECT_EQ(w->duplex.inBufferSamples(), 2000);
    EXPECT_EQ(w->origLength, 0);
    EXPECT_EQ(w->changedLength, 0);
    EXPECT_EQ(w->duplex.inputFifoFill(), 0);
    w->TimerPlayTimer();
    EXPECT_EQ(w->duplexDevice.sampleRate, 16000u);
    EXPECT_EQ(w->duplex.outBufferCount(), 8);
    EXPECT_EQ(processing::engineFrameStep(processing::engineStates[0]),
              processing::engineFrameStep(processing::engineStates[1]));
    run(1000);
    EXPECT_GT(w->origLength, 16000 / 2);
    EXPECT_GT(w->changedLength, 0);
    EXPECT_EQ(w->Status0->panelText(1), "16000 Hz/2/16");
}

TEST_F(Duplex, CloseStopsTheDuplexRunFirst) {
    feed(8000, 1, 8000 * 2);
    start();
    run(500);
    w->Close1Click();
    EXPECT_EQ(w->workMode, app::WorkReady);
    EXPECT_FALSE(w->duplex.captureOpen());
    EXPECT_FALSE(w->duplex.outputOpen());
    EXPECT_FALSE(w->TimerSV->isActive());
    w->show();
    // Every device is closed: another card can be installed.
    install(platform::VirtualCardConfig{});
}

TEST_F(Duplex, OpeningAFileStopsTheRunFirst) {
    std::vector<int16_t> file = pattern(2000, 1, 33);
    const std::string path = apptest::scratchDir() + "/during-duplex.wav";
    std::string err;
    ASSERT_TRUE(soundfile::writePcmWav(path, 8000, 1, file.data(), 2000, err)) << err;
    feed(8000, 1, 8000 * 2);
    start();
    run(300);
    apptest::answerDialogs({QString::fromStdString(path)});
    w->tOpenClick();
    EXPECT_EQ(w->workMode, app::WorkReady);
    EXPECT_FALSE(w->duplex.captureOpen());
    EXPECT_FALSE(w->duplex.outputOpen());
    EXPECT_TRUE(shows(w->tDuplex, app::ImgDuplex));
    ASSERT_EQ(w->origLength, 2000);
    EXPECT_TRUE(std::equal(file.begin(), file.end(), w->origSamples.data(0)));
    // The button starts a new run rather than stopping a lost one.
    w->tDuplexClick();
    EXPECT_EQ(w->workMode, app::WorkDuplex);
}

TEST_F(Duplex, MissingDevicesAreSaidInWords) {
    for (bool noInput : {true, false}) {
        platform::VirtualCardConfig c;
        (noInput ? c.inputs : c.outputs) = 0;
        install(c);
        load(pattern(300, 1), 1, 8000);
        w->tDuplexClick();
        EXPECT_EQ(w->workMode, app::WorkReady);
        EXPECT_EQ(w->origLength, 300);
        EXPECT_FALSE(w->TimerSV->isActive());
        const QStringList m = apptest::takeMessages();
        ASSERT_EQ(m.size(), 1);
        EXPECT_TRUE(m[0].contains("sound input and a sound output device")) << m[0].toStdString();
    }
}

} // namespace
