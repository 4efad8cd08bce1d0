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

// A 16 kHz file of `channels` interleaved channels in the scratch directory.
std::string writeWav(const std::string& name, uint16_t channels,
                     const std::vector<int16_t>& samples) {
    const std::string path = apptest::scratchDir() + "/" + name;
    std::string err;
    EXPECT_TRUE(soundfile::writePcmWav(path, 16000, channels, samples.data(),
                                       samples.size() / channels, err))
        << err;
    return path;
}

// Two seconds of stereo at 16 kHz: a 1 kHz tone on the left, a 3 kHz one on the right.
std::string makeTones() {
    const int rate = 16000, frames = 2 * rate;
    std::vector<int16_t> s(std::size_t(frames) * 2);
    for (int i = 0; i < frames; ++i) {
        s[2 * i] = int16_t(12000 * std::sin(2 * kPi * 1000 * i / rate));
        s[2 * i + 1] = int16_t(12000 * std::sin(2 * kPi * 3000 * i / rate));
    }
    return writeWav("tones.wav", 2, s);
}

QImage shot(gui::PaintBox* box) {
    return box->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

// Mean brightness of a painted pane's rows [top, bottom), past the scale labels.
double brightness(const QImage& im, int top, int bottom) {
    double sum = 0;
    long count = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = 80; x < im.width(); ++x, ++count)
            sum += qGray(im.pixel(x, y));
    return count ? sum / count : 0;
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
    app::TFPanelSignal* w = nullptr;
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
    gui::PaintBox* panes[4] = {w->grSig0, w->grSig1, w->grSigNew0, w->grSigNew1};
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
        EXPECT_EQ(im.width, std::min(panes[k]->width(), app::MaxColumns)) << k;
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
    gui::PaintBox* pane = w->grSig0;
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

// The same recording opened as the original and as the changed signal looks
// the same in both panes of a channel: the same levels, the same colours, the
// same painted pixels, also zoomed, scrolled and with another level range.
TEST_F(SpectrogramView, TheSameSignalLooksTheSameInOriginalAndChangedPanes) {
    apptest::answerDialogs({QString::fromStdString(apptest::scratchDir() + "/tones.wav")});
    w->tOpenNewClick();
    ASSERT_EQ(w->changedLength, w->origLength);
    w->ShowClearSig->setChecked(false);
    w->ShowSTATEVAD->setChecked(false);
    w->mSpectrogram->trigger();
    auto compare = [&](const char* what) {
        SCOPED_TRACE(what);
        gui::PaintBox* panes[4] = {w->grSig0, w->grSig1, w->grSigNew0, w->grSigNew1};
        for (int ch = 0; ch < 2; ++ch) {
            const display::SpectrogramImage& a = w->spectrograms[ch].image();
            const display::SpectrogramImage& b = w->spectrograms[2 + ch].image();
            EXPECT_GT(a.filled, 0);
            EXPECT_EQ(a.filled, b.filled) << ch;
            EXPECT_EQ(a.levels, b.levels) << ch;
            EXPECT_EQ(a.pixels, b.pixels) << ch;
            EXPECT_EQ(shot(panes[ch]), shot(panes[2 + ch])) << ch;
        }
    };
    compare("whole signal");
    w->Zoom_X->click(true);
    w->Zoom_X->click(true);
    w->ScrollSignal->setValue(w->ScrollSignal->maximum() / 3);
    ASSERT_GT(w->origViewStart[0], 0);
    compare("zoomed and scrolled");
    w->Zoom_Y->click(true);
    compare("another level range");
    w->ShowClearSig->setChecked(true);
    w->ShowSTATEVAD->setChecked(true);
}

// A recording with mains hum beside the same recording without it (what a
// perfect cleaning gives): above the hum the two panes read the same levels
// and are painted as brightly; only the hum's rows differ.
TEST_F(SpectrogramView, RemovedHumLeavesTheRowsAboveItAsTheyWere) {
    const int rate = 16000, length = 3 * rate;
    std::vector<int16_t> clean(length), hummed(length);
    uint32_t seed = 5;
    for (int i = 0; i < length; ++i) {
        seed = seed * 1664525u + 1013904223u;
        double v = (int32_t(seed >> 16) - 32768) / 100.0; // a noise floor near -77 dB
        // Speech-like energy from 2 to 7 kHz, louder at the bottom.
        v += 3000 * std::sin(2 * kPi * 2000 * i / rate) +
             950 * std::sin(2 * kPi * 3500 * i / rate) + 300 * std::sin(2 * kPi * 5000 * i / rate) +
             95 * std::sin(2 * kPi * 7000 * i / rate);
        double hum = 0;
        for (int h = 1; h <= 23; h += 2)
            hum += 3000 * std::sin(2 * kPi * 50 * h * i / rate + h);
        clean[i] = int16_t(std::lround(v));
        hummed[i] = int16_t(std::lround(v + hum));
    }
    apptest::answerDialogs({QString::fromStdString(writeWav("hummed.wav", 1, hummed))});
    w->tOpenClick();
    apptest::answerDialogs({QString::fromStdString(writeWav("dehummed.wav", 1, clean))});
    w->tOpenNewClick();
    ASSERT_EQ(w->origLength, length);
    ASSERT_EQ(w->changedLength, length);
    w->ShowClearSig->setChecked(false);
    w->mSpectrogram->trigger();

    const display::SpectrogramImage& a = w->spectrograms[0].image();
    const display::SpectrogramImage& b = w->spectrograms[2].image();
    ASSERT_EQ(a.height, b.height);
    ASSERT_EQ(a.filled, b.filled);
    ASSERT_GT(a.filled, 100);
    int aboveRows = 0;
    for (int row = 0; row < a.height; ++row) {
        const double hz = display::rowFrequency(row, a.height, rate, false);
        double diff = 0, humDiff = 0;
        for (int x = 0; x < a.filled; ++x) {
            const float la = a.levels[std::size_t(row) * a.width + x];
            const float lb = b.levels[std::size_t(row) * b.width + x];
            diff = std::max(diff, double(std::abs(la - lb)) * (lb > -85));
            humDiff += (la - lb) / a.filled;
        }
        if (hz > 1600) {
            ++aboveRows;
            EXPECT_LT(diff, 1.0) << hz << " Hz";
        } else if (hz < 1000) {
            EXPECT_GT(humDiff, 10.0) << hz << " Hz";
        }
    }
    EXPECT_GT(aboveRows, a.height / 2);
    // As painted: the rows above 1.6 kHz (with their labels left out) are as
    // bright in the original pane as in the changed one.
    const int rowsAbove = int(a.height * (8000 - 1600) / 8000.0);
    const double original = brightness(shot(w->grSig0), 12, rowsAbove);
    const double changed = brightness(shot(w->grSigNew0), 12, rowsAbove);
    EXPECT_GT(original, 40.0);
    EXPECT_NEAR(original, changed, 1.0);
    w->ShowClearSig->setChecked(true);
}

TEST_F(SpectrogramView, TextsInBothLanguages) {
    config::FconfAS->cboxLang->setCurrentIndex(1);
    config::FconfAS->cboxLangChange();
    EXPECT_EQ(w->mSpectrogram->text(), QString::fromUtf8("Спектрограмма"));
    EXPECT_EQ(w->tSpectrogram->text(), QString::fromUtf8("Спектрограмма"));
    config::FconfAS->cboxLang->setCurrentIndex(0);
    config::FconfAS->cboxLangChange();
    EXPECT_EQ(w->mSpectrogram->text(), "Spectrogram");
    EXPECT_EQ(w->tSpectrogram->text(), "Spectrogram");
}

} // namespace
