// Spectrograms of the panes: tones in their rows, flat noise, the silent
// floor, the waveform's columns, and recomputing only when the view changes.

#include "display/Spectrogram.h"
#include "display/Display.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

using namespace display;

namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<int16_t> tone(int32_t length, double hz, int32_t rate, double amplitude) {
    std::vector<int16_t> s(length);
    for (int32_t i = 0; i < length; ++i)
        s[i] = int16_t(std::lround(amplitude * std::sin(2 * kPi * hz * i / rate)));
    return s;
}

std::vector<int16_t> noise(int32_t length, uint32_t seed) {
    std::vector<int16_t> s(length);
    for (auto& v : s) {
        seed = seed * 1664525u + 1013904223u;
        v = int16_t(int32_t(seed >> 16) - 32768) / 4; // uniform, about -8192 ... 8191
    }
    return s;
}

SpectrogramSettings at(int32_t rate, bool log = false) {
    SpectrogramSettings s;
    s.sampleRate = rate;
    s.logFrequency = log;
    return s;
}

float level(const SpectrogramImage& im, int x, int row) {
    return im.levels[size_t(row) * im.width + x];
}

int loudestRow(const SpectrogramImage& im, int x) {
    int best = 0;
    for (int row = 1; row < im.height; ++row)
        if (level(im, x, row) > level(im, x, best))
            best = row;
    return best;
}

TEST(Spectrogram, ATonePeaksInTheRowOfItsFrequencyAtItsLevel) {
    for (int32_t rate : {8000, 16000, 44100}) {
        for (bool log : {false, true}) {
            for (double hz : {300.0, 1000.0, 2500.0, 0.4 * rate}) {
                const auto s = tone(rate, hz, rate, 16384); // -6 dBFS
                SpectrogramPane pane;
                pane.update(s.data(), rate, PaneView{0, rate}, 40, 150, 3000, at(rate, log));
                const SpectrogramImage& im = pane.image();
                ASSERT_EQ(im.filled, 40);
                for (int x = 0; x < im.width; x += 13) {
                    const int row = loudestRow(im, x);
                    SCOPED_TRACE(::testing::Message()
                                 << rate << " Hz rate, " << hz << " Hz, log " << log);
                    // The tone lies between the middles of the rows above and below.
                    const double bin = double(rate) / spectrogramFftSize(rate);
                    const double below =
                        row + 1 < im.height ? rowFrequency(row + 1, im.height, rate, log) : 0;
                    const double above =
                        row > 0 ? rowFrequency(row - 1, im.height, rate, log) : rate / 2.0;
                    EXPECT_GE(hz, below - bin);
                    EXPECT_LE(hz, above + bin);
                    // A row holds the mean power of its bins: the tone's
                    // level, spread over the row's bins (its window's main
                    // lobe holds 1.5 times the peak bin's power).
                    const double bins = std::max(1.0, (above - below) / 2 / bin);
                    EXPECT_GT(level(im, x, row), -6.0 - 10 * std::log10(bins) - 4.0);
                    EXPECT_LT(level(im, x, row), -6.0 + 1.0);
                    // Far from the tone the window's leakage is long gone.
                    const int far = row > im.height / 2 ? 0 : im.height - 1;
                    EXPECT_LT(level(im, x, far), -60.0);
                }
            }
        }
    }
}

TEST(Spectrogram, WhiteNoiseIsFlatAtItsLevel) {
    const int32_t rate = 16000, length = 400000;
    const auto s = noise(length, 7);
    double var = 0;
    for (int16_t v : s)
        var += double(v) * v;
    var /= length;
    const int n = spectrogramFftSize(rate);
    // Hann window: sum w = n/2, sum w^2 = 3n/8; a full-scale sine's bin reads 0 dB.
    const double expected = 10 * std::log10(var * (3.0 * n / 8) / std::pow(32768.0 * n / 4, 2));
    for (bool log : {false, true}) {
        SpectrogramPane pane;
        pane.update(s.data(), length, PaneView{0, length}, 200, 120, 3000, at(rate, log));
        const SpectrogramImage& im = pane.image();
        double lo = 1e9, hi = -1e9;
        for (int row = 0; row < im.height; ++row) {
            double mean = 0;
            for (int x = 0; x < im.width; ++x)
                mean += level(im, x, row);
            mean /= im.width;
            lo = std::min(lo, mean);
            hi = std::max(hi, mean);
        }
        EXPECT_LT(hi - lo, 2.5) << "log " << log;
        EXPECT_NEAR(lo, expected, 2.0) << "log " << log;
        EXPECT_NEAR(hi, expected, 2.0) << "log " << log;
    }
}

TEST(Spectrogram, SilenceIsTheFloorAndColumnsPastTheEndStayBlack) {
    std::vector<int16_t> s(50000, 0);
    SpectrogramPane pane;
    // A view reaching past the signal, as the changed signal drawn through a
    // longer original's view.
    pane.update(s.data(), 30000, PaneView{0, 50000}, 100, 64, 3000, at(8000));
    const SpectrogramImage& im = pane.image();
    std::vector<ColumnRange> cols(100);
    EXPECT_EQ(im.filled, reduceColumns(s.data(), 30000, PaneView{0, 50000}, 100, 64, 1.0, 32768,
                                       cols.data(), 3000));
    EXPECT_EQ(im.filled, 60);
    const uint32_t floorColour = levelColour(-100.0f, -100.0, 0.0);
    EXPECT_EQ(floorColour, 0xFF440154u);
    for (int row = 0; row < im.height; ++row) {
        for (int x = 0; x < im.width; ++x) {
            if (x < im.filled) {
                EXPECT_LE(level(im, x, row), -100.0f);
                EXPECT_EQ(im.pixels[size_t(row) * im.width + x], floorColour);
            } else {
                EXPECT_EQ(im.pixels[size_t(row) * im.width + x], 0xFF000000u);
            }
        }
    }
}

// A tone burst in silence shows in the same columns as on the waveform, also
// in a zoomed and scrolled view and in a pane wider than the tables.
TEST(Spectrogram, ColumnsAreTheWaveformsColumns) {
    const int32_t rate = 16000, length = 200000;
    std::vector<int16_t> s(length, 0);
    const int32_t a = 120000, b = 150000;
    const auto t = tone(b - a, 1000, rate, 20000);
    std::copy(t.begin(), t.end(), s.begin() + a);
    const int n = spectrogramFftSize(rate);
    struct Case {
        PaneView view;
        int width, maxColumns;
    };
    for (const Case c : {Case{PaneView{0, length}, 300, 3000},
                         Case{computeView(length, 2.25, 1500, 2000), 250, 3000},
                         Case{PaneView{100000, 80000}, 400, 150}}) {
        SpectrogramPane pane;
        pane.update(s.data(), length, c.view, c.width, 100, c.maxColumns, at(rate));
        const SpectrogramImage& im = pane.image();
        std::vector<ColumnRange> cols(c.maxColumns);
        const int count = reduceColumns(s.data(), length, c.view, c.width, 100, 1.0, 32768,
                                        cols.data(), c.maxColumns);
        ASSERT_EQ(im.width, std::min(c.width, c.maxColumns));
        ASSERT_EQ(im.filled, count);
        for (int x = 0; x < count; ++x) {
            const ColumnSpan span = columnSpan(c.view, count, x);
            const bool waveformSilent = cols[x].top == cols[x].bottom;
            const float peak = level(im, x, loudestRow(im, x));
            if (span.first >= a && span.end <= b) {
                EXPECT_FALSE(waveformSilent) << x;
                EXPECT_GT(peak, -10.0f) << x;
            }
            // A frame reaches at most one frame length beyond its column.
            if (waveformSilent && (span.end + n <= a || span.first >= b + n)) {
                EXPECT_LT(peak, -100.0f) << x;
            }
        }
    }
}

TEST(Spectrogram, RecomputesOnlyWhenWhatItShowsChanges) {
    const int32_t rate = 16000, length = 100000;
    auto s = noise(length, 3);
    SpectrogramPane pane;
    SpectrogramSettings set = at(rate);
    const PaneView view{0, length};
    using W = SpectrogramPane::Work;
    EXPECT_EQ(pane.update(s.data(), length, view, 200, 80, 3000, set), W::Computed);
    EXPECT_EQ(pane.update(s.data(), length, view, 200, 80, 3000, set), W::None);
    const std::vector<float> levels = pane.image().levels;
    const std::vector<uint32_t> pixels = pane.image().pixels;

    // The amplitude zoom only moves the level range: the same levels, new colours.
    levelRangeForZoom(2.25, set.floorDb, set.ceilingDb);
    EXPECT_EQ(pane.update(s.data(), length, view, 200, 80, 3000, set), W::Recoloured);
    EXPECT_EQ(pane.image().levels, levels);
    EXPECT_NE(pane.image().pixels, pixels);
    EXPECT_EQ(pane.update(s.data(), length, view, 200, 80, 3000, set), W::None);

    // Samples changed under the view (a mix, a new file of the same length).
    s[length / 2] = int16_t(s[length / 2] ^ 0x40);
    EXPECT_EQ(pane.update(s.data(), length, view, 200, 80, 3000, set), W::Computed);
    EXPECT_EQ(pane.update(s.data(), length, view, 200, 80, 3000, set), W::None);
    // Scrolled, resized, another scale, another rate, a shorter signal, forgotten.
    EXPECT_EQ(pane.update(s.data(), length, PaneView{10, length - 10}, 200, 80, 3000, set),
              W::Computed);
    EXPECT_EQ(pane.update(s.data(), length, PaneView{10, length - 10}, 200, 81, 3000, set),
              W::Computed);
    EXPECT_EQ(pane.update(s.data(), length, PaneView{10, length - 10}, 201, 81, 3000, set),
              W::Computed);
    set.logFrequency = true;
    EXPECT_EQ(pane.update(s.data(), length, PaneView{10, length - 10}, 201, 81, 3000, set),
              W::Computed);
    set.sampleRate = 8000;
    EXPECT_EQ(pane.update(s.data(), length, PaneView{10, length - 10}, 201, 81, 3000, set),
              W::Computed);
    EXPECT_EQ(pane.update(s.data(), length - 5000, PaneView{10, length - 10}, 201, 81, 3000, set),
              W::Computed);
    pane.invalidate();
    EXPECT_EQ(pane.update(s.data(), length - 5000, PaneView{10, length - 10}, 201, 81, 3000, set),
              W::Computed);
    // An empty view gives an empty, black image.
    EXPECT_EQ(pane.update(s.data(), length, PaneView{0, 0}, 201, 81, 3000, set), W::Computed);
    EXPECT_EQ(pane.image().filled, 0);
    EXPECT_TRUE(std::all_of(pane.image().pixels.begin(), pane.image().pixels.end(),
                            [](uint32_t p) { return p == 0xFF000000u; }));
}

// A recording with mains hum and the same recording with the hum removed: the
// rows above the hum read the same in both panes and the tones read their own
// levels; only the rows of the hum differ. Whatever the other signal, a
// level is measured against full scale, never against the loudest thing shown.
TEST(Spectrogram, RemovingHumLeavesTheLevelsAboveItAlone) {
    const int32_t rate = 16000, length = 3 * rate;
    struct Tone {
        double hz, dbfs;
    };
    const Tone tones[] = {{2000, -20}, {3500, -30}, {5000, -40}, {7000, -50}};
    const auto floorNoise = noise(length, 11);
    std::vector<int16_t> cleaned(length), original(length);
    for (int32_t i = 0; i < length; ++i) {
        double v = floorNoise[i] / 100.0; // about -77 dB a bin
        for (const Tone& t : tones)
            v += 32768 * std::pow(10, t.dbfs / 20) * std::sin(2 * kPi * t.hz * i / rate);
        double hum = 0; // odd harmonics of 50 Hz up to 1150 Hz, each as loud as the loudest tone
        for (int h = 1; h <= 23; h += 2)
            hum += 3000 * std::sin(2 * kPi * 50 * h * i / rate + h);
        ASSERT_LT(std::abs(v + hum), 32767.0);
        cleaned[i] = int16_t(std::lround(v));
        original[i] = int16_t(std::lround(v + hum));
    }
    // One frame a column and many frames a column.
    for (const int width : {300, 12}) {
        SCOPED_TRACE(::testing::Message() << width << " columns");
        SpectrogramPane withHum, withoutHum;
        const int height = 128;
        withHum.update(original.data(), length, PaneView{0, length}, width, height, 3000, at(rate));
        withoutHum.update(cleaned.data(), length, PaneView{0, length}, width, height, 3000,
                          at(rate));
        const SpectrogramImage &a = withHum.image(), &b = withoutHum.image();
        ASSERT_EQ(a.filled, width);
        ASSERT_EQ(b.filled, width);
        int humRows = 0, compared = 0;
        for (int row = 0; row < height; ++row) {
            const double hz = rowFrequency(row, height, rate, false);
            // (Deep dips of the noise are left out: rounding the hummed
            // signal to whole samples leaves its own faint tones, near
            // -115 dB, which can tip them either way.)
            for (int x = 0; x < width; ++x) {
                if (hz > 1600 && level(b, x, row) > -90) {
                    ++compared;
                    ASSERT_NEAR(level(a, x, row), level(b, x, row), 1.0)
                        << hz << " Hz, column " << x;
                }
            }
            // A row holding one of the hum's harmonics stands far above the cleaned one.
            bool harmonic = false;
            for (int h = 1; h <= 23; h += 2)
                harmonic = harmonic || std::abs(50.0 * h - hz) < (rate / 2.0 / height) / 2;
            if (harmonic) {
                ++humRows;
                EXPECT_GT(level(a, width / 2, row), level(b, width / 2, row) + 30) << hz << " Hz";
            }
        }
        EXPECT_GE(humRows, 6);
        EXPECT_GT(compared, width * height * 3 / 5);
        // The tones read their levels in both panes: each lies on a bin at
        // the bottom of a row of two, which holds the bin's power and a
        // quarter of it from the next, halved.
        for (const Tone& t : tones) {
            const int row = height - 1 - int(t.hz / (rate / 2.0 / height));
            for (const SpectrogramImage* im : {&a, &b}) {
                EXPECT_NEAR(level(*im, width / 2, row), t.dbfs + 10 * std::log10(1.25 / 2), 1.0)
                    << t.hz << " Hz";
            }
        }
        // Between the tones, the noise's level in both.
        const int quiet = height - 1 - int(6000 / (rate / 2.0 / height));
        for (const SpectrogramImage* im : {&a, &b}) {
            double mean = 0;
            for (int x = 0; x < width; ++x)
                mean += level(*im, x, quiet) / width;
            EXPECT_NEAR(mean, -77, 3);
        }
    }
}

TEST(Spectrogram, LevelRangeColoursAndTransformLength) {
    double lo, hi;
    levelRangeForZoom(1.0, lo, hi);
    EXPECT_EQ(lo, -100.0);
    EXPECT_EQ(hi, 0.0);
    levelRangeForZoom(1.5, lo, hi);
    EXPECT_NEAR(hi, -3.52, 0.01);
    levelRangeForZoom(1e12, lo, hi);
    EXPECT_EQ(hi, lo + 20.0);
    levelRangeForZoom(0.0, lo, hi);
    EXPECT_EQ(hi, 0.0);

    EXPECT_EQ(levelColour(-150.0f, -100, 0), 0xFF440154u);
    EXPECT_EQ(levelColour(0.0f, -100, 0), 0xFFFDE725u);
    EXPECT_EQ(levelColour(20.0f, -100, 0), 0xFFFDE725u);
    // The map grows lighter all the way up, so louder never looks darker.
    double last = -1;
    for (int i = 0; i <= 100; ++i) {
        const uint32_t c = levelColour(float(-100 + i), -100, 0);
        const double y =
            0.2126 * ((c >> 16) & 255) + 0.7152 * ((c >> 8) & 255) + 0.0722 * (c & 255);
        EXPECT_GE(y, last - 0.5) << i;
        last = y;
    }

    const ScaleLabels lin = spectrogramLabels(16000, false, 100, -100, -3.52);
    EXPECT_TRUE(lin.shown);
    EXPECT_EQ(lin.top, "8000 Hz");
    EXPECT_EQ(lin.middle, "4000");
    EXPECT_EQ(spectrogramLabels(16000, false, 101, -100, 0).middle, "4040"); // above row 50 of 101
    EXPECT_EQ(lin.bottom, "0 Hz, -100..-3.52 dB");
    const ScaleLabels log = spectrogramLabels(16000, true, 100, -100, 0);
    EXPECT_EQ(log.middle, "630"); // the geometric mean of 50 and 8000 Hz
    EXPECT_EQ(log.bottom, "50 Hz, -100..0 dB");
    EXPECT_FALSE(spectrogramLabels(0, false, 100, -100, 0).shown);

    EXPECT_EQ(spectrogramFftSize(8000), 256);
    EXPECT_EQ(spectrogramFftSize(11025), 256);
    EXPECT_EQ(spectrogramFftSize(16000), 512);
    EXPECT_EQ(spectrogramFftSize(32000), 1024);
    EXPECT_EQ(spectrogramFftSize(44100), 1024);
    EXPECT_EQ(spectrogramFftSize(48000), 2048);
    EXPECT_EQ(spectrogramFftSize(0), 256);
}

} // namespace
