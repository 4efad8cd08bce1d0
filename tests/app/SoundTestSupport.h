#pragma once
// The window's sound tests run on the virtual card's test clock: time passes
// only when a test lets it, the completions are handed to the window right
// after, and the window's stream timers are driven by hand.

#include "tests/app/AppFixture.h"

#include "app/Widgets.h"
#include "config/Configu.h"
#include "gui/RadioGroup.h"
#include "platform/VirtualCard.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <vector>

namespace soundtest {

inline bool shows(QToolButton* b, int image) {
    return b->icon().cacheKey() == app::buttonImage(image).cacheKey();
}

// Lets `ms` pass on the test clock and delivers the device messages.
inline void advance(uint64_t ms, uint64_t stepMs = 5) {
    for (uint64_t done = 0; done < ms; done += stepMs) {
        platform::virtualCardAdvance(std::min(stepMs, ms - done) * 1000);
        QCoreApplication::sendPostedEvents();
    }
}

// The configuration window's recording rate and channel count.
inline void configure(int rate, int channels) {
    for (int i = 0; i < config::FconfAS->SRate->count(); ++i)
        if (config::sampleRateOf(i) == rate)
            config::FconfAS->SRate->setItemIndex(i);
    config::FconfAS->SRateClick();
    config::FconfAS->nChannels->setItemIndex(channels - 1);
    config::FconfAS->nChannelsClick();
    ASSERT_EQ(config::FconfAS->recSampleRate, rate);
    ASSERT_EQ(config::FconfAS->recChannels, channels);
}

// Interleaved test signal: a different value at every sample.
inline std::vector<int16_t> pattern(int32_t frames, int channels, int seed = 1) {
    std::vector<int16_t> v(static_cast<std::size_t>(frames) * channels);
    uint32_t s = uint32_t(seed);
    for (auto& x : v) {
        s = s * 1103515245u + 12345u;
        x = int16_t((s >> 16) % 20000 - 10000);
    }
    return v;
}

class SoundTest : public ::testing::Test {
  protected:
    app::TFPanelSignal* w = nullptr;
    // What the window showed before the test; it is given back afterwards.
    int32_t keptOrigLength = 0, keptChangedLength = 0;
    uint8_t keptMode = app::WorkStartup;
    QStringList keptStatus;
    int keptRate = 0, keptChannels = 0;
    bool keptClearSig = true;

    void install(platform::VirtualCardConfig c) {
        c.testClock = true;
        c.keepPlayed = true;
        ASSERT_TRUE(platform::installVirtualCard(c)) << "a sound device was left open";
    }
    void SetUp() override {
        w = apptest::windows();
        if (!w->isVisible())
            w->show();
        apptest::takeMessages();
        keptOrigLength = w->origLength;
        keptChangedLength = w->changedLength;
        keptMode = w->workMode;
        keptRate = config::FconfAS->SRate->itemIndex();
        keptChannels = config::FconfAS->nChannels->itemIndex();
        keptClearSig = w->ShowClearSig->isChecked();
        for (app::StatusBar* bar : {w->Status0, w->Status1})
            for (int i = 0; i < bar->panelCount(); ++i)
                keptStatus << bar->panelText(i);
        install(platform::VirtualCardConfig{});
    }
    void TearDown() override {
        w->closeSoundDevices();
        QCoreApplication::sendPostedEvents();
        w->resetSelection();
        for (bool& shown : w->playMarkShown)
            shown = false;
        w->origLength = keptOrigLength;
        w->changedLength = keptChangedLength;
        w->setWorkMode(keptMode);
        config::FconfAS->SRate->setItemIndex(keptRate);
        config::FconfAS->SRateClick();
        config::FconfAS->nChannels->setItemIndex(keptChannels);
        config::FconfAS->nChannelsClick();
        w->ShowClearSig->setChecked(keptClearSig);
        int k = 0;
        for (app::StatusBar* bar : {w->Status0, w->Status1})
            for (int i = 0; i < bar->panelCount(); ++i)
                bar->setPanelText(i, keptStatus.value(k++));
        w->PanelSignalResize();
    }
    // Loads an original (and optionally a changed) signal as an open does.
    void load(const std::vector<int16_t>& orig, int channels, uint32_t rate,
              const std::vector<int16_t>* changed = nullptr, int changedChannels = 1) {
        w->storeOriginal(orig.data(), int32_t(orig.size() / std::size_t(channels)), channels, rate);
        w->player = w->recorder;
        if (changed)
            w->storeChanged(changed->data(),
                            int32_t(changed->size() / std::size_t(changedChannels)),
                            changedChannels, rate);
        else
            w->changedLength = 0;
        w->resetSelection();
        w->setWorkMode(app::WorkReady);
        w->PanelSignalResize();
    }
    std::vector<int16_t> played() const { return platform::virtualCardPlayed().samples; }
};

} // namespace soundtest
