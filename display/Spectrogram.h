#pragma once
// Spectrograms of the panes: the same columns as the waveform (one column of
// the pane's view per pixel, Display.h's columnSpan), each the power spectrum
// of short windowed frames of that column's samples, frequency from 0 at the
// bottom to half the rate at the top, the level in dB through a perceptual
// colour map over a fixed range so that panes compare at a glance.
// UI-free: the result is a plain 0xFFRRGGBB pixel buffer.

#include "display/Display.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace display {

// Default floor and ceiling of the level range, in dB relative to a
// full-scale sine.
constexpr double kSpectrogramFloorDb = -100.0;
constexpr double kSpectrogramCeilingDb = 0.0;

struct SpectrogramSettings {
    int32_t sampleRate = 16000;
    bool logFrequency = false;                // rows spaced by octaves instead of by hertz
    double floorDb = kSpectrogramFloorDb;     // this level and below: the darkest colour
    double ceilingDb = kSpectrogramCeilingDb; // this level and above: the brightest
};

// The amplitude zoom as a level range: each step of 1.5 lowers the ceiling by
// 20 log10(1.5) dB, so quiet detail gets the bright colours as the waveform's
// zoom makes quiet samples tall; the floor stays and the range never shrinks
// below 20 dB.
void levelRangeForZoom(double ampZoom, double& floorDb, double& ceilingDb);

// Transform length for a rate: the power of two nearest to 32 ms.
int spectrogramFftSize(int32_t sampleRate);

// At most this many frames are averaged for one column: a column wider than
// that many frames is represented by frames spread evenly across it.
constexpr int kMaxFramesPerColumn = 2;

// Colour of a level on the map (viridis, 256 steps), 0xFFRRGGBB.
uint32_t levelColour(float levelDb, double floorDb, double ceilingDb);

// Frequency in Hz at the middle of pixel row `row` (0 = top) of a pane
// `height` rows high.
double rowFrequency(int row, int height, int32_t sampleRate, bool logFrequency);

// Scale labels of a spectrogram pane `height` rows high: the frequencies at
// the top, the middle and the bottom, and the level range under the bottom.
ScaleLabels spectrogramLabels(int32_t sampleRate, bool logFrequency, int height, double floorDb,
                              double ceilingDb);

struct SpectrogramImage {
    int width = 0;                // columns: min(pane width, the tables' column limit)
    int height = 0;               // the pane's rows
    int filled = 0;               // columns computed; the rest (past the signal's end) are black
    std::vector<float> levels;    // dB, row-major, row 0 at half the rate
    std::vector<uint32_t> pixels; // 0xFFRRGGBB, row-major
};

// One pane's spectrogram with the work it was made from: the transform state
// and, to recompute only when something shown changes, what it last showed
// (the view, the geometry, the settings and a digest of exactly the samples
// the frames read). A change of the level range alone only recolours.
class SpectrogramPane {
  public:
    SpectrogramPane();
    ~SpectrogramPane();
    SpectrogramPane(const SpectrogramPane&) = delete;
    SpectrogramPane& operator=(const SpectrogramPane&) = delete;

    enum class Work { None, Recoloured, Computed };
    // Brings the image up to date for `view` of `samples` (valid below
    // `signalLength`) in a pane `width` x `height` with at most `maxColumns`
    // columns.
    Work update(const int16_t* samples, int32_t signalLength, PaneView view, int width, int height,
                int maxColumns, const SpectrogramSettings& settings);
    const SpectrogramImage& image() const { return image_; }
    // Forgets what was shown: the next update computes.
    void invalidate();

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    SpectrogramImage image_;
};

} // namespace display
