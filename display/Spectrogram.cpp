#include "display/Spectrogram.h"

#include <kiss_fftr.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace display {

namespace {

// Viridis (van der Walt and Smith, CC0): the published 256-entry table,
// rounded to 8 bits per channel. Perceptually uniform and readable in grey.
const uint32_t kViridis[256] = {
    0x440154u, 0x440256u, 0x450457u, 0x450559u, 0x46075Au, 0x46085Cu, 0x460A5Du, 0x460B5Eu,
    0x470D60u, 0x470E61u, 0x471063u, 0x471164u, 0x471365u, 0x481467u, 0x481668u, 0x481769u,
    0x48186Au, 0x481A6Cu, 0x481B6Du, 0x481C6Eu, 0x481D6Fu, 0x481F70u, 0x482071u, 0x482173u,
    0x482374u, 0x482475u, 0x482576u, 0x482677u, 0x482878u, 0x482979u, 0x472A7Au, 0x472C7Au,
    0x472D7Bu, 0x472E7Cu, 0x472F7Du, 0x46307Eu, 0x46327Eu, 0x46337Fu, 0x463480u, 0x453581u,
    0x453781u, 0x453882u, 0x443983u, 0x443A83u, 0x443B84u, 0x433D84u, 0x433E85u, 0x423F85u,
    0x424086u, 0x424186u, 0x414287u, 0x414487u, 0x404588u, 0x404688u, 0x3F4788u, 0x3F4889u,
    0x3E4989u, 0x3E4A89u, 0x3E4C8Au, 0x3D4D8Au, 0x3D4E8Au, 0x3C4F8Au, 0x3C508Bu, 0x3B518Bu,
    0x3B528Bu, 0x3A538Bu, 0x3A548Cu, 0x39558Cu, 0x39568Cu, 0x38588Cu, 0x38598Cu, 0x375A8Cu,
    0x375B8Du, 0x365C8Du, 0x365D8Du, 0x355E8Du, 0x355F8Du, 0x34608Du, 0x34618Du, 0x33628Du,
    0x33638Du, 0x32648Eu, 0x32658Eu, 0x31668Eu, 0x31678Eu, 0x31688Eu, 0x30698Eu, 0x306A8Eu,
    0x2F6B8Eu, 0x2F6C8Eu, 0x2E6D8Eu, 0x2E6E8Eu, 0x2E6F8Eu, 0x2D708Eu, 0x2D718Eu, 0x2C718Eu,
    0x2C728Eu, 0x2C738Eu, 0x2B748Eu, 0x2B758Eu, 0x2A768Eu, 0x2A778Eu, 0x2A788Eu, 0x29798Eu,
    0x297A8Eu, 0x297B8Eu, 0x287C8Eu, 0x287D8Eu, 0x277E8Eu, 0x277F8Eu, 0x27808Eu, 0x26818Eu,
    0x26828Eu, 0x26828Eu, 0x25838Eu, 0x25848Eu, 0x25858Eu, 0x24868Eu, 0x24878Eu, 0x23888Eu,
    0x23898Eu, 0x238A8Du, 0x228B8Du, 0x228C8Du, 0x228D8Du, 0x218E8Du, 0x218F8Du, 0x21908Du,
    0x21918Cu, 0x20928Cu, 0x20928Cu, 0x20938Cu, 0x1F948Cu, 0x1F958Bu, 0x1F968Bu, 0x1F978Bu,
    0x1F988Bu, 0x1F998Au, 0x1F9A8Au, 0x1E9B8Au, 0x1E9C89u, 0x1E9D89u, 0x1F9E89u, 0x1F9F88u,
    0x1FA088u, 0x1FA188u, 0x1FA187u, 0x1FA287u, 0x20A386u, 0x20A486u, 0x21A585u, 0x21A685u,
    0x22A785u, 0x22A884u, 0x23A983u, 0x24AA83u, 0x25AB82u, 0x25AC82u, 0x26AD81u, 0x27AD81u,
    0x28AE80u, 0x29AF7Fu, 0x2AB07Fu, 0x2CB17Eu, 0x2DB27Du, 0x2EB37Cu, 0x2FB47Cu, 0x31B57Bu,
    0x32B67Au, 0x34B679u, 0x35B779u, 0x37B878u, 0x38B977u, 0x3ABA76u, 0x3BBB75u, 0x3DBC74u,
    0x3FBC73u, 0x40BD72u, 0x42BE71u, 0x44BF70u, 0x46C06Fu, 0x48C16Eu, 0x4AC16Du, 0x4CC26Cu,
    0x4EC36Bu, 0x50C46Au, 0x52C569u, 0x54C568u, 0x56C667u, 0x58C765u, 0x5AC864u, 0x5CC863u,
    0x5EC962u, 0x60CA60u, 0x63CB5Fu, 0x65CB5Eu, 0x67CC5Cu, 0x69CD5Bu, 0x6CCD5Au, 0x6ECE58u,
    0x70CF57u, 0x73D056u, 0x75D054u, 0x77D153u, 0x7AD151u, 0x7CD250u, 0x7FD34Eu, 0x81D34Du,
    0x84D44Bu, 0x86D549u, 0x89D548u, 0x8BD646u, 0x8ED645u, 0x90D743u, 0x93D741u, 0x95D840u,
    0x98D83Eu, 0x9BD93Cu, 0x9DD93Bu, 0xA0DA39u, 0xA2DA37u, 0xA5DB36u, 0xA8DB34u, 0xAADC32u,
    0xADDC30u, 0xB0DD2Fu, 0xB2DD2Du, 0xB5DE2Bu, 0xB8DE29u, 0xBADE28u, 0xBDDF26u, 0xC0DF25u,
    0xC2DF23u, 0xC5E021u, 0xC8E020u, 0xCAE11Fu, 0xCDE11Du, 0xD0E11Cu, 0xD2E21Bu, 0xD5E21Au,
    0xD8E219u, 0xDAE319u, 0xDDE318u, 0xDFE318u, 0xE2E418u, 0xE5E419u, 0xE7E419u, 0xEAE51Au,
    0xECE51Bu, 0xEFE51Cu, 0xF1E51Du, 0xF4E61Eu, 0xF6E620u, 0xF8E621u, 0xFBE723u, 0xFDE725u,
};

constexpr uint32_t kBlack = 0xFF000000u;
constexpr double kPi = 3.14159265358979323846;
constexpr double kLowestLogHz = 50.0;

// Frames of one column: up to kMaxFramesPerColumn frames of `n` samples
// spread evenly over the column, each centred on its share of the column and
// moved inside the signal when it would reach past either end (a signal
// shorter than a frame is read from its start and padded with zeros).
template <class F> void forEachFrame(ColumnSpan span, int n, int32_t signalLength, F&& frame) {
    const int64_t width = std::max<int64_t>(span.end - span.first, 0);
    const int half = n / 2;
    const int count = int(std::clamp<int64_t>((width + half - 1) / half, 1, kMaxFramesPerColumn));
    for (int j = 0; j < count; ++j) {
        const int64_t centre = span.first + int64_t((j + 0.5) * double(width) / count);
        int64_t start = centre - half;
        if (signalLength >= n)
            start = std::clamp<int64_t>(start, 0, signalLength - n);
        else
            start = 0;
        frame(start);
    }
}

// Frames are read far apart; asking for the next one early hides the wait.
inline void prefetchFrame(const int16_t* p, int64_t count) {
    for (int64_t i = 0; i < count; i += 32)
        __builtin_prefetch(p + i);
}

// 10 log10(p) for p > 0 from the exponent and a polynomial of the mantissa
// (within 0.0001 dB): one per pixel, so the library's logarithm would be a
// tenth of the refresh.
inline float decibels(float p) {
    p = std::max(p, 1e-30f);
    uint32_t bits;
    std::memcpy(&bits, &p, sizeof bits);
    const int exponent = int((bits >> 23) & 255) - 127;
    bits = (bits & 0x007FFFFFu) | 0x3F800000u;
    float m;
    std::memcpy(&m, &bits, sizeof m);
    const float t = m - 1.0f;
    const float log2m =
        t * (1.4418258f +
             t * (-0.708682101f + t * (0.415421949f + t * (-0.194422672f + t * 0.0458855267f))));
    return 3.01029996f * (float(exponent) + log2m);
}

// Index into the map of a level: the floor and below 0, the ceiling and above 255.
inline int colourIndex(float levelDb, float floorDb, float stepsPerDb) {
    const float t = (levelDb - floorDb) * stepsPerDb;
    return t >= 255.0f ? 255 : t > 0.0f ? int(t + 0.5f) : 0;
}

inline uint64_t mixWord(uint64_t h, uint64_t w) {
    h ^= w;
    h *= 0x9E3779B97F4A7C15ull;
    return h ^ (h >> 29);
}

} // namespace

void levelRangeForZoom(double ampZoom, double& floorDb, double& ceilingDb) {
    floorDb = kSpectrogramFloorDb;
    const double zoom = ampZoom >= 1.0 ? ampZoom : 1.0;
    ceilingDb = std::max(kSpectrogramCeilingDb - 20.0 * std::log10(zoom), floorDb + 20.0);
}

int spectrogramFftSize(int32_t sampleRate) {
    const double target = std::max<int32_t>(sampleRate, 1) * 0.032;
    const int bits = int(std::lround(std::log2(std::max(target, 1.0))));
    return 1 << std::clamp(bits, 8, 12);
}

uint32_t levelColour(float levelDb, double floorDb, double ceilingDb) {
    const double range = ceilingDb - floorDb;
    if (!(range > 0))
        return kBlack | kViridis[levelDb >= ceilingDb ? 255 : 0];
    return kBlack | kViridis[colourIndex(levelDb, float(floorDb), float(255.0 / range))];
}

namespace {

// Frequency `rows` rows up from the bottom edge of a pane `height` rows high, in Hz: linear
// from 0, or logarithmic from the lowest shown frequency to the Nyquist rate.
double heightToHz(double rows, int height, double nyquist, bool logFrequency) {
    if (!logFrequency)
        return nyquist * rows / height;
    const double low = std::min(kLowestLogHz, nyquist / 4);
    return low * std::pow(nyquist / low, rows / height);
}

// Edge of row boundary i (0 = the bottom's lower edge, height = the top's upper edge), in Hz.
// On the logarithmic scale the bottom row reaches down to 0 Hz.
double rowEdge(int i, int height, double nyquist, bool logFrequency) {
    return logFrequency && i == 0 ? 0.0 : heightToHz(i, height, nyquist, logFrequency);
}

} // namespace

double rowFrequency(int row, int height, int32_t sampleRate, bool logFrequency) {
    if (height <= 0)
        return 0.0;
    return heightToHz(height - 1 - row + 0.5, height, sampleRate / 2.0, logFrequency);
}

ScaleLabels spectrogramLabels(int32_t sampleRate, bool logFrequency, int height, double floorDb,
                              double ceilingDb) {
    ScaleLabels l;
    if (sampleRate <= 0 || height <= 0)
        return l;
    auto hz = [](double f) { return std::to_string(int64_t(std::lround(f / 10) * 10)); };
    auto db = [](double v) {
        char buf[16];
        std::snprintf(buf, sizeof buf, "%.3g", v);
        return std::string(buf);
    };
    l.shown = true;
    l.top = std::to_string(sampleRate / 2) + " Hz";
    // The middle label stands at the boundary above row height / 2.
    l.middle = hz(rowEdge(height - height / 2, height, sampleRate / 2.0, logFrequency));
    l.bottom =
        (logFrequency ? hz(rowFrequency(height - 1, height, sampleRate, true)) : std::string("0")) +
        " Hz, " + db(floorDb) + ".." + db(ceilingDb) + " dB";
    return l;
}

struct SpectrogramPane::Impl {
    // Transform state for one length.
    int n = 0;
    kiss_fftr_cfg cfg = nullptr;
    std::vector<float> window, frame, power;
    std::vector<kiss_fft_cpx> spectrum;
    double norm = 0; // power of a full-scale sine's bin -> 1

    // Bins [rowFirst, rowEnd) of each row, for the geometry below.
    std::vector<int> rowFirst, rowEnd;
    int rowsHeight = -1;
    int32_t rowsRate = 0;
    bool rowsLog = false;

    // What the levels show: the same again needs no new transforms.
    struct Shown {
        const int16_t* samples = nullptr;
        int32_t signalLength = 0;
        PaneView view;
        int columns = 0, height = 0;
        int32_t rate = 0;
        bool logFrequency = false;
        uint64_t digest = 0;

        bool operator==(const Shown& o) const {
            return samples == o.samples && signalLength == o.signalLength &&
                   view.start == o.view.start && view.length == o.view.length &&
                   columns == o.columns && height == o.height && rate == o.rate &&
                   logFrequency == o.logFrequency && digest == o.digest;
        }
    };
    bool computed = false, coloured = false;
    Shown shown;
    double floorDb = 0, ceilingDb = 0; // the level range the pixels were coloured with

    ~Impl() { kiss_fftr_free(cfg); }

    void prepareTransform(int length) {
        if (length == n)
            return;
        kiss_fftr_free(cfg);
        n = length;
        cfg = kiss_fftr_alloc(n, 0, nullptr, nullptr);
        window.resize(n);
        double sum = 0;
        for (int i = 0; i < n; ++i) {
            window[i] = float(0.5 - 0.5 * std::cos(2 * kPi * i / n));
            sum += window[i];
        }
        frame.assign(n, 0.0f);
        power.assign(n / 2 + 1, 0.0f);
        spectrum.resize(n / 2 + 1);
        // A sine of amplitude A centred on a bin gives |X| = A sum(w) / 2.
        const double full = 32768.0 * sum / 2;
        norm = 1.0 / (full * full);
        rowsHeight = -1;
    }

    void prepareRows(int h, int32_t sampleRate, bool logScale) {
        if (h == rowsHeight && sampleRate == rowsRate && logScale == rowsLog)
            return;
        rowsHeight = h;
        rowsRate = sampleRate;
        rowsLog = logScale;
        rowFirst.assign(h, 0);
        rowEnd.assign(h, 1);
        const double nyquist = sampleRate / 2.0, binsPerHz = double(n) / sampleRate;
        const int lastBin = n / 2;
        for (int row = 0; row < h; ++row) {
            const int fromBottom = h - 1 - row;
            int first = fromBottom == 0
                            ? 0
                            : int(std::ceil(rowEdge(fromBottom, h, nyquist, logScale) * binsPerHz));
            int end =
                fromBottom == h - 1
                    ? lastBin + 1
                    : int(std::ceil(rowEdge(fromBottom + 1, h, nyquist, logScale) * binsPerHz));
            first = std::clamp(first, 0, lastBin);
            end = std::clamp(end, 0, lastBin + 1);
            if (end <= first) {
                // More rows than bins here: the bin nearest the row's middle.
                first = std::clamp(
                    int(std::lround(rowFrequency(row, h, sampleRate, logScale) * binsPerHz)), 0,
                    lastBin);
                end = first + 1;
            }
            rowFirst[row] = first;
            rowEnd[row] = end;
        }
    }

    // The frames of every column of a view: starts, and where each column's begin.
    std::vector<int64_t> frameStart;
    std::vector<int> columnFirstFrame;
    int filledColumns = 0;

    void planFrames(int32_t length, PaneView v, int cols) {
        frameStart.clear();
        columnFirstFrame.clear();
        filledColumns = 0;
        for (int x = 0; x < cols; ++x) {
            const ColumnSpan span = columnSpan(v, cols, x);
            if (span.first < 0 || span.first >= length)
                break;
            columnFirstFrame.push_back(int(frameStart.size()));
            forEachFrame(span, n, length, [&](int64_t start) { frameStart.push_back(start); });
            filledColumns = x + 1;
        }
        columnFirstFrame.push_back(int(frameStart.size()));
    }

    int64_t frameCount(int32_t length, size_t f) const {
        return std::min<int64_t>(frameStart[f] + n, length) - frameStart[f];
    }

    // Exactly the samples the frames read; four lanes so that the multiplies overlap.
    uint64_t digestOf(const int16_t* s, int32_t length) const {
        uint64_t h[4] = {0x51ED270B27F1A3C5ull, 0x2545F4914F6CDD1Dull, 0x9E3779B97F4A7C15ull,
                         0xD1B54A32D192ED03ull};
        for (size_t f = 0; f < frameStart.size(); ++f) {
            if (f + 2 < frameStart.size())
                prefetchFrame(s + frameStart[f + 2], frameCount(length, f + 2));
            const int16_t* p = s + frameStart[f];
            const int64_t count = frameCount(length, f);
            int64_t i = 0;
            for (; i + 16 <= count; i += 16) {
                uint64_t w[4];
                std::memcpy(w, p + i, sizeof w);
                for (int l = 0; l < 4; ++l)
                    h[l] = mixWord(h[l], w[l]);
            }
            for (; i < count; ++i)
                h[0] = mixWord(h[0], uint16_t(p[i]));
        }
        return mixWord(mixWord(h[0], h[1]), mixWord(h[2], h[3]));
    }

    // Levels of column x (one per row, `stride` apart): the mean power of its frames.
    void computeColumn(const int16_t* s, int32_t length, int x, float* levels, int stride) {
        std::fill(power.begin(), power.end(), 0.0f);
        const int first = columnFirstFrame[x], end = columnFirstFrame[x + 1];
        for (int f = first; f < end; ++f) {
            if (size_t(f) + 2 < frameStart.size())
                prefetchFrame(s + frameStart[f + 2], frameCount(length, f + 2));
            const int64_t avail = std::max<int64_t>(frameCount(length, f), 0);
            const int16_t* p = s + frameStart[f];
            for (int64_t i = 0; i < avail; ++i)
                frame[i] = float(p[i]) * window[i];
            for (int64_t i = avail; i < n; ++i)
                frame[i] = 0.0f;
            kiss_fftr(cfg, frame.data(), spectrum.data());
            for (int k = 0; k <= n / 2; ++k)
                power[k] += spectrum[k].r * spectrum[k].r + spectrum[k].i * spectrum[k].i;
        }
        const double scale = norm / std::max(end - first, 1);
        for (int row = 0; row < rowsHeight; ++row) {
            double sum = 0;
            for (int k = rowFirst[row]; k < rowEnd[row]; ++k)
                sum += power[k];
            const double p = sum * scale / (rowEnd[row] - rowFirst[row]);
            levels[size_t(row) * stride] = decibels(float(p));
        }
    }
};

SpectrogramPane::SpectrogramPane() : impl_(std::make_unique<Impl>()) {}
SpectrogramPane::~SpectrogramPane() = default;

void SpectrogramPane::invalidate() {
    impl_->computed = impl_->coloured = false;
}

SpectrogramPane::Work SpectrogramPane::update(const int16_t* samples, int32_t signalLength,
                                              PaneView view, int width, int height, int maxColumns,
                                              const SpectrogramSettings& settings) {
    Impl& m = *impl_;
    const int columns = columnCount(width, maxColumns);
    height = std::max(height, 0);
    const int32_t rate = std::max<int32_t>(settings.sampleRate, 1000);
    const bool empty =
        samples == nullptr || signalLength <= 0 || view.length <= 0 || columns <= 0 || height <= 0;

    m.prepareTransform(spectrogramFftSize(rate));
    if (empty)
        m.planFrames(0, view, 0);
    else
        m.planFrames(signalLength, view, columns);
    const Impl::Shown now{samples,
                          signalLength,
                          view,
                          columns,
                          height,
                          rate,
                          settings.logFrequency,
                          empty ? 0 : m.digestOf(samples, signalLength)};
    Work work = Work::None;
    if (!(m.computed && m.shown == now)) {
        m.shown = now;
        image_.width = columns;
        image_.height = height;
        image_.filled = 0;
        image_.levels.assign(size_t(columns) * height, -300.0f);
        if (!empty) {
            m.prepareRows(height, rate, settings.logFrequency);
            for (int x = 0; x < m.filledColumns; ++x)
                m.computeColumn(samples, signalLength, x, image_.levels.data() + x, columns);
            image_.filled = m.filledColumns;
        }
        m.computed = true;
        m.coloured = false;
        work = Work::Computed;
    }
    if (!m.coloured || m.floorDb != settings.floorDb || m.ceilingDb != settings.ceilingDb) {
        m.floorDb = settings.floorDb;
        m.ceilingDb = settings.ceilingDb;
        image_.pixels.assign(size_t(columns) * height, kBlack);
        for (int row = 0; row < height; ++row) {
            const float* l = image_.levels.data() + size_t(row) * columns;
            uint32_t* p = image_.pixels.data() + size_t(row) * columns;
            if (m.ceilingDb > m.floorDb) {
                const float floorDb = float(m.floorDb),
                            steps = float(255.0 / (m.ceilingDb - m.floorDb));
                for (int x = 0; x < image_.filled; ++x)
                    p[x] = kBlack | kViridis[colourIndex(l[x], floorDb, steps)];
            } else {
                for (int x = 0; x < image_.filled; ++x)
                    p[x] = levelColour(l[x], m.floorDb, m.ceilingDb);
            }
        }
        m.coloured = true;
        if (work == Work::None)
            work = Work::Recoloured;
    }
    return work;
}

} // namespace display
