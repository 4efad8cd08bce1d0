// The panes as spectrograms: the View menu item and the tool button switch
// all four panes, the picture is the cached image, and the cursor, the
// selection, the zoom and the overlay go on working in both views.

#include "tests/app/AppFixture.h"

#include "config/Configu.h"
#include "soundfile/WavFile.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>

#include <cmath>
#include <set>
#include <vector>

namespace {

using apptest::windows;

constexpr double kPi = 3.14159265358979323846;

// Two seconds of stereo at 16 kHz: a 1 kHz tone on the left, a 3 kHz one on the right.
std::string makeTones() {
    const int rate = 16000, frames = 2 * rate;
    std::vector<int16_t> s(std::size_t(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        s[2 * i] = int16_t(12000 * std::sin(2 * kPi * 1000 * i / rate));
        s[2 * i + 1] = int16_t(12000 * std::sin(2 * kPi * 3000 * i / rate));
    }
    const std::string path = apptest::scratchDir() + "/tones.wav";
    std::string err;
    EXPECT_TRUE(writePcmWav(path, rate, 2, s.data(), std::size_t(frames), err)) << err;
    return path;
}

QImage shot(PaintBox* box) {
    return box->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Colours of a pane's middle row, away from the scale labels.
std::set<QRgb> middleColours(const QImage& im) {
    std::set<QRgb> c;
    for (int x = im.width() / 4; x < im.width(); ++x)
        c.insert(im.pixel(x, im.height() / 2) | 0xFF000000u);
    return c;
}

class SpectrogramView : public ::testing::Test {
  protected:
    TFPanelSignal* w = nullptr;
    void SetUp() override {
        w = windows();
        apptest::answerDialogs({QString::fromStdString(makeTones())});
        w->tOpenClick();
        w->bStartClick();
        ASSERT_GT(w->changedLength, 0);
        apptest::takeMessages();
    }
    void TearDown() override {
        if (w->mSpectrogram->isChecked())
            w->mSpectrogram->trigger();
        if (w->mLogFrequency->isChecked())
            w->mLogFrequency->trigger();
        w->ZoomOutClick();
    }
};

TEST_F(SpectrogramView, MenuItemAndToolButtonSwitchAllFourPanes) {
    PaintBox* panes[4] = {w->grSig0, w->grSig1, w->grSigNew0, w->grSigNew1};
    ASSERT_FALSE(w->mSpectrogram->isChecked());
    EXPECT_EQ(w->tSpectrogram->defaultAction(), w->mSpectrogram);
    QImage waveform[4];
    for (int k = 0; k < 4; ++k)
        waveform[k] = shot(panes[k]);
    // The waveform's white trace is there (on the original panes the cleaned
    // signal covers it in blue).
    EXPECT_TRUE(middleColours(waveform[2]).count(0xFFFFFFFFu));

    w->tSpectrogram->click();
    EXPECT_TRUE(w->mSpectrogram->isChecked());
    EXPECT_TRUE(w->tSpectrogram->isChecked());
    for (int k = 0; k < 4; ++k) {
        const display::SpectrogramImage& im = w->spectrograms[k].image();
        EXPECT_EQ(im.width, std::min(panes[k]->width(), MaxColumns)) << k;
        EXPECT_EQ(im.height, panes[k]->height()) << k;
        EXPECT_GT(im.filled, 0) << k;
        // What is painted is the cached image: a row through the middle of
        // the pane holds the image's colours, no white trace.
        const QImage painted = shot(panes[k]);
        EXPECT_NE(painted, waveform[k]) << k;
        const int y = im.height / 2, x = im.width * 3 / 4;
        EXPECT_EQ(painted.pixel(x * panes[k]->width() / im.width, y) | 0xFF000000u,
                  im.pixels[std::size_t(y) * im.width + x])
            << k;
    }

    w->mSpectrogram->trigger(); // the menu item switches back
    EXPECT_FALSE(w->tSpectrogram->isChecked());
    for (int k = 0; k < 4; ++k)
        EXPECT_EQ(shot(panes[k]), waveform[k]) << k;
}

TEST_F(SpectrogramView, TheTonesLandInTheirRowsOfOriginalAndChangedPanes) {
    w->mSpectrogram->trigger();
    const int toneHz[4] = {1000, 3000, 1000, 3000};
    for (int k = 0; k < 4; ++k) {
        const display::SpectrogramImage& im = w->spectrograms[k].image();
        const int x = im.filled / 2;
        int loudest = 0;
        for (int row = 1; row < im.height; ++row)
            if (im.levels[std::size_t(row) * im.width + x] >
                im.levels[std::size_t(loudest) * im.width + x])
                loudest = row;
        const double hz = display::rowFrequency(loudest, im.height, 16000, false);
        EXPECT_NEAR(hz, toneHz[k], 8000.0 / im.height + 32) << k;
    }
}

TEST_F(SpectrogramView, CursorSelectionZoomAndOverlayKeepWorking) {
    w->mSpectrogram->trigger();
    PaintBox* pane = w->grSig0;
    const display::SpectrogramImage& im = w->spectrograms[0].image();
    const std::vector<float> levels = im.levels;
    const std::vector<uint32_t> pixels = im.pixels;

    // A click puts the cursor where it does on the waveform, drawn as a line.
    const int x = pane->width() / 2;
    w->grSig0MouseDown(Qt::LeftButton, x, 10);
    EXPECT_EQ(w->selectionStart, display::sampleAtPixel({w->origViewStart[0], w->origViewLength[0]},
                                                        x, pane->width()));
    EXPECT_FALSE(w->hasSelection);
    const display::Span cursor = display::cursorLine({w->origViewStart[0], w->origViewLength[0]},
                                                     pane->width(), w->selectionStart);
    EXPECT_EQ(shot(pane).pixel(cursor.left, pane->height() / 2) | 0xFF000000u, 0xFFFFFFFFu);
    // A drag selects; the spectrogram was not recomputed for it.
    w->grSig0MouseMove(Qt::LeftButton, x + 40, 10);
    EXPECT_TRUE(w->hasSelection);
    EXPECT_EQ(w->selectionEnd, display::sampleAtPixel({w->origViewStart[0], w->origViewLength[0]},
                                                      x + 40, pane->width()));
    EXPECT_EQ(im.levels, levels);
    // The band tints the picture inside the selection and nowhere else.
    const QImage selected = shot(pane);
    EXPECT_NE(selected.pixel(x + 20, pane->height() / 2) | 0xFF000000u,
              pixels[std::size_t(pane->height() / 2) * im.width +
                     std::size_t(x + 20) * im.width / pane->width()]);

    // The amplitude zoom is a level range: the same levels, other colours.
    w->Zoom_Y->click(true);
    EXPECT_GT(w->origAmpZoom, 1.0);
    EXPECT_EQ(im.levels, levels);
    EXPECT_NE(im.pixels, pixels);
    // The time zoom shows fewer samples per column: recomputed for the new view.
    w->Zoom_X->click(true);
    EXPECT_LT(w->origViewLength[0], w->origLength);
    EXPECT_NE(im.levels, levels);

    // The cleaned signal is still drawn over the original panes, and
    // unchecking it removes it.
    const QImage withOverlay = shot(pane);
    w->ShowClearSig->click();
    EXPECT_NE(shot(pane), withOverlay);
    w->ShowClearSig->click();
    EXPECT_EQ(shot(pane), withOverlay);
    // The logarithmic scale moves the rows.
    const std::vector<float> linear = im.levels;
    w->mLogFrequency->trigger();
    EXPECT_NE(im.levels, linear);
}

TEST_F(SpectrogramView, TextsInBothLanguages) {
    FconfAS->cboxLang->setCurrentIndex(1);
    FconfAS->cboxLangChange();
    EXPECT_EQ(w->mSpectrogram->text(), QString::fromUtf8("Спектрограмма"));
    EXPECT_EQ(w->tSpectrogram->text(), QString::fromUtf8("Спектрограмма"));
    FconfAS->cboxLang->setCurrentIndex(0);
    FconfAS->cboxLangChange();
    EXPECT_EQ(w->mSpectrogram->text(), "Spectrogram");
    EXPECT_EQ(w->tSpectrogram->text(), "Spectrogram");
}

} // namespace
