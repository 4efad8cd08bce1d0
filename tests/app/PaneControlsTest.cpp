// The zoom controls as a user presses them, and the keyboard focus after the
// tray menu's clear-speech switch.

#include "tests/app/AppFixture.h"

#include "soundfile/WavFile.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QToolButton>

#include <vector>

namespace {

using apptest::windows;

// The arrow of an up-down control: right for next, left for previous.
QToolButton* arrow(gui::UpDown* control, bool next) {
    for (QToolButton* b : control->findChildren<QToolButton*>())
        if (b->arrowType() == (next ? Qt::RightArrow : Qt::LeftArrow))
            return b;
    return nullptr;
}

class PaneControls : public ::testing::Test {
  protected:
    app::TFPanelSignal* w = nullptr;
    void SetUp() override {
        w = windows();
        std::vector<int16_t> s(16000);
        for (std::size_t i = 0; i < s.size(); ++i)
            s[i] = int16_t((i * 91) % 4000 - 2000);
        const std::string path = apptest::scratchDir() + "/controls.wav";
        std::string err;
        ASSERT_TRUE(soundfile::writePcmWav(path, 16000, 1, s.data(), s.size(), err)) << err;
        apptest::answerDialogs({QString::fromStdString(path)});
        w->tOpenClick();
        ASSERT_EQ(w->origLength, 16000);
        apptest::takeMessages();
    }
    void TearDown() override {
        w->Zoom_Y->position = w->Zoom_Y->min;
        w->Zoom_X->position = w->Zoom_X->min;
        w->ZoomOutClick();
    }
};

TEST_F(PaneControls, AmplitudeZoomStepsAndStopsAtBothEnds) {
    QToolButton* next = arrow(w->Zoom_Y, true);
    QToolButton* previous = arrow(w->Zoom_Y, false);
    ASSERT_TRUE(next && previous);
    ASSERT_EQ(w->Zoom_Y->position, 1);
    previous->click(); // at position 1: nothing
    EXPECT_EQ(w->origAmpZoom, 1.0);
    EXPECT_EQ(w->Zoom_Y->position, 1);
    next->click();
    next->click();
    EXPECT_EQ(w->origAmpZoom, 2.25);
    EXPECT_EQ(w->changedAmpZoom, 2.25);
    EXPECT_EQ(w->LabZoomY->text(), "1:2.25");
    previous->click();
    previous->click();
    EXPECT_EQ(w->origAmpZoom, 1.0);

    // At the top a press neither moves the position nor zooms.
    w->Zoom_Y->position = w->Zoom_Y->max - 1;
    next->click();
    EXPECT_EQ(w->Zoom_Y->position, w->Zoom_Y->max);
    EXPECT_EQ(w->origAmpZoom, 1.5);
    for (int i = 0; i < 5; ++i)
        next->click();
    EXPECT_EQ(w->Zoom_Y->position, w->Zoom_Y->max);
    EXPECT_EQ(w->origAmpZoom, 1.5);
    EXPECT_EQ(w->changedAmpZoom, 1.5);
    EXPECT_EQ(w->LabZoomY->text(), "1:1.5");
    previous->click();
    EXPECT_EQ(w->origAmpZoom, 1.0);
}

TEST_F(PaneControls, TimeZoomStopsAtItsTopAndZoomOutKeepsThePosition) {
    QToolButton* next = arrow(w->Zoom_X, true);
    QToolButton* previous = arrow(w->Zoom_X, false);
    ASSERT_TRUE(next && previous);
    w->Zoom_X->position = w->Zoom_X->max;
    next->click();
    EXPECT_EQ(w->timeZoom, 1.0);
    EXPECT_EQ(w->origViewLength[0], 16000);

    w->Zoom_X->position = 1;
    for (int i = 0; i < 3; ++i)
        next->click();
    EXPECT_EQ(w->Zoom_X->position, 4);
    EXPECT_EQ(w->timeZoom, 3.375);
    w->ZoomOut->click();
    EXPECT_EQ(w->timeZoom, 1.0);
    for (int i = 0; i < 3; ++i)
        previous->click();
    EXPECT_EQ(w->timeZoom, 1.0);
    EXPECT_EQ(w->Zoom_X->position, 1);
}

TEST_F(PaneControls, TrayClearSpeechSwitchGivesTheKeyboardBackToTheScrollBar) {
    w->activateWindow();
    QApplication::processEvents();
    ASSERT_TRUE(w->formActivated);
    ASSERT_EQ(w->workMode, app::WorkReady);
    const bool clear = w->mSelectClearSpeech->isChecked();
    w->FileList->setFocus();
    QApplication::processEvents();
    ASSERT_FALSE(w->ScrollSignal->hasFocus());
    w->mSelectClearSpeech->trigger();
    EXPECT_TRUE(w->ScrollSignal->hasFocus());
    EXPECT_NE(w->mSelectClearSpeech->isChecked(), clear);
    EXPECT_EQ(w->SelectClearSpeech->isChecked(), w->mSelectClearSpeech->isChecked());
    w->mSelectClearSpeech->trigger();
    EXPECT_EQ(w->mSelectClearSpeech->isChecked(), clear);
}

} // namespace
