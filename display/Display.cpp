#include "display/Display.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace display {

PaneView computeView(int32_t signalLength, double timeZoom, int scrollPosition, int scrollMax) {
    PaneView v;
    if (signalLength <= 0 || !(timeZoom >= 1.0))
        timeZoom = 1.0;
    v.length = int32_t(std::trunc(double(std::max(signalLength, 0)) / timeZoom));
    if (scrollMax > 0)
        v.start = int32_t(
            std::trunc(double(std::max(signalLength, 0) - v.length) * scrollPosition / scrollMax));
    return v;
}

int32_t sampleRow(int32_t value, int height, double ampZoom, int32_t fullScale) {
    if (fullScale == 0)
        fullScale = 32768;
    double row = double(height / 2) - double(height) * value * ampZoom / (2.0 * fullScale);
    row = std::clamp(row, -1e9, 1e9);
    return int32_t(std::trunc(row));
}

// Kept apart so that the compiler scans many samples per instruction.
static void scanExtremes(const int16_t* p, int64_t n, int16_t& hiOut, int16_t& loOut) {
    int16_t hi = hiOut, lo = loOut;
    for (int64_t i = 0; i < n; ++i) {
        const int16_t v = p[i];
        hi = v > hi ? v : hi;
        lo = v < lo ? v : lo;
    }
    hiOut = hi;
    loOut = lo;
}

int columnCount(int width, int maxColumns) {
    return std::max(0, std::min(width, maxColumns));
}

ColumnSpan columnSpan(PaneView view, int columns, int x) {
    const double k = columns > 0 ? double(view.length) / columns : 0.0;
    return {int64_t(std::trunc(view.start + x * k)), int64_t(std::trunc(view.start + (x + 1) * k))};
}

int reduceColumns(const int16_t* samples, int32_t signalLength, PaneView view, int width,
                  int height, double ampZoom, int32_t fullScale, ColumnRange* out, int maxColumns) {
    if (width <= 0 || view.length <= 0 || signalLength <= 0 || maxColumns <= 0)
        return 0;
    // A pane wider than the tables gets as many columns as the tables hold,
    // each spread over a little more than one pixel.
    const int columns = columnCount(width, maxColumns);
    for (int x = 0; x < columns; ++x) {
        const ColumnSpan span = columnSpan(view, columns, x);
        const int64_t i0 = span.first;
        if (i0 < 0 || i0 >= signalLength)
            return x;
        const int64_t i1 = std::min<int64_t>(span.end, signalLength);
        int16_t hi = samples[i0], lo = samples[i0];
        scanExtremes(samples + i0, i1 - i0, hi, lo);
        out[x].top = sampleRow(hi, height, ampZoom, fullScale);
        out[x].bottom = sampleRow(lo, height, ampZoom, fullScale);
    }
    return columns;
}

int32_t msOf(int64_t samples, int32_t samplesPerMs) {
    return samplesPerMs > 0 ? int32_t(samples / samplesPerMs) : 0;
}

std::string startText(int32_t selectionStart, int32_t samplesPerMs) {
    return "Start: " + std::to_string(msOf(selectionStart, samplesPerMs)) + " ms/" +
           std::to_string(selectionStart);
}

std::string lengthText(bool hasSelection, int32_t selectionStart, int32_t selectionEnd,
                       int32_t samplesPerMs) {
    if (!hasSelection)
        return "Length: 0 ms/0";
    const int64_t l = int64_t(selectionEnd) - selectionStart + 1;
    return "Length: " + std::to_string(msOf(l, samplesPerMs)) + " ms/" + std::to_string(l);
}

std::string titleText(int32_t length, int32_t samplesPerMs) {
    return "Title: " + std::to_string(msOf(length, samplesPerMs)) + " ms/" + std::to_string(length);
}

std::string formatText(uint32_t rate, uint32_t channels, uint32_t bits) {
    return std::to_string(rate) + " Hz/" + std::to_string(channels) + "/" + std::to_string(bits);
}

std::string zoomLabel(double factor) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "1:%.15g", factor);
    return buf;
}

std::string captionText(int32_t sample, int32_t samplesPerMs, int amplitude) {
    return "Quorvex's Silvane [ " + std::to_string(msOf(sample, samplesPerMs)) + " ms/ " +
           std::to_string(sample) + ", Am:  " + std::to_string(amplitude) + " ]";
}

std::string maxLengthText(int32_t capacity, uint32_t rate) {
    // Samples per millisecond are whole, as everywhere else on the window.
    int64_t ms = 0;
    if (rate >= 1000)
        ms = capacity / int64_t(rate / 1000);
    else if (rate > 0)
        ms = int64_t(capacity) * 1000 / rate;
    return "Max length: " + std::to_string(ms) + " ms";
}

ScaleLabels scaleLabels(uint32_t bitsPerSample, double ampZoom) {
    ScaleLabels l;
    if (!(ampZoom > 0))
        return l;
    auto num = [](double v) { return std::to_string(int64_t(std::trunc(v))); };
    if (bitsPerSample == 16) {
        l = {true, num(32767 / ampZoom), "0", num(-32768 / ampZoom)};
    } else if (bitsPerSample == 8) {
        l = {true, num(255 / ampZoom), num(128 / ampZoom), "0"};
    }
    return l;
}

int32_t sampleAtPixel(PaneView view, int x, int width) {
    if (width <= 0)
        return view.start;
    return int32_t(std::trunc(double(view.length) * x / width + view.start));
}

bool pressAt(Selection& s, int32_t p) {
    if (s.dragEndEdge) {
        s.end = p;
        return false;
    }
    if (s.dragStartEdge) {
        s.start = p;
        return false;
    }
    s.start = s.end = p;
    s.has = false;
    return true;
}

MoveResult moveTo(Selection& s, int32_t p, int32_t viewLength, int32_t signalLength,
                  bool leftHeld) {
    MoveResult r;
    if (p <= 0 || signalLength <= 0)
        return r;
    r.acted = true;
    const int32_t t = viewLength / 100;
    if (s.start != s.end && !leftHeld) {
        if (int64_t(s.start) - t <= p && p <= int64_t(s.start) + t) {
            r.hover = Hover::Edge;
            s.dragStartEdge = true;
        } else if (int64_t(s.end) - t <= p && p <= int64_t(s.end) + t) {
            r.hover = Hover::Edge;
            s.dragEndEdge = true;
        } else {
            r.hover = Hover::Away;
            s.dragStartEdge = s.dragEndEdge = false;
        }
    }
    if (leftHeld) {
        if (s.dragStartEdge) {
            s.start = p;
            if (s.start > s.end) {
                std::swap(s.start, s.end);
                s.dragEndEdge = true;
                s.dragStartEdge = false;
            }
        } else {
            s.end = p;
            if (s.end < s.start) {
                std::swap(s.start, s.end);
                s.dragStartEdge = true;
                s.dragEndEdge = false;
            }
        }
        s.start = std::max(s.start, 0);
        s.end = std::min(s.end, signalLength - 1);
        s.has = s.start != s.end;
        r.refresh = true;
    }
    return r;
}

double zoomNext(double z) {
    return z * 1.5;
}

double zoomPrevious(double z) {
    const double next = z * 2 / 3;
    return next > 1.0 ? next : 1.0;
}

int32_t lengthAfterCut(int32_t length, int32_t s, int32_t e) {
    if (length <= 0 || s >= length || e < s)
        return std::max(length, 0);
    s = std::max(s, 0);
    e = std::min(e, length - 1);
    return length - (e - s + 1);
}

int wholeCutChannels(uint32_t fileChannels, uint32_t signalChannels) {
    return int(std::min(std::clamp<uint32_t>(fileChannels, 1, 2),
                        std::clamp<uint32_t>(signalChannels, 1, 2)));
}

FrameSpan selectedFrames(int32_t selectionStart, int32_t selectionEnd, int32_t length) {
    FrameSpan f;
    f.first = std::max(0, std::min(selectionStart, selectionEnd));
    f.last = std::min(std::max(selectionStart, selectionEnd), length - 1);
    return f;
}

int32_t cutChannels(int16_t* const* channels, int count, int32_t length, int32_t s, int32_t e) {
    const int32_t newLength = lengthAfterCut(length, s, e);
    if (newLength == length)
        return length;
    s = std::max(s, 0);
    e = std::min(e, length - 1);
    for (int c = 0; c < count; ++c)
        std::memmove(channels[c] + s, channels[c] + e + 1,
                     std::size_t(length - 1 - e) * sizeof(int16_t));
    return newLength;
}

namespace {
double xOf(PaneView v, int width, int64_t sample) {
    return v.length > 0 ? double(width) * double(sample - v.start) / v.length : 0.0;
}
int clampPixel(double x) {
    return int(std::trunc(std::clamp(x, -1e6, 1e6)));
}
} // namespace

Span selectionBand(PaneView view, int width, int32_t selectionStart, int32_t selectionEnd) {
    Span sp{clampPixel(xOf(view, width, selectionStart)),
            clampPixel(xOf(view, width, selectionEnd))};
    if (sp.right < sp.left)
        sp.left = 0;
    return sp;
}

Span cursorLine(PaneView view, int width, int32_t selectionStart) {
    const double x = xOf(view, width, selectionStart);
    return {clampPixel(x), clampPixel(x + 1)};
}

Span vadSpan(PaneView view, int width, int32_t r, int32_t hop, int32_t frameLength) {
    if (view.length <= 0)
        return {};
    const int64_t a = int64_t(hop) * r - view.start;
    const int64_t b = int64_t(hop) * r + frameLength - view.start;
    auto px = [&](int64_t s) {
        return int(std::clamp<int64_t>(int64_t(width) * s / view.length, -1000000, 1000000));
    };
    return {px(a), px(b)};
}

int32_t firstVadFrameInView(PaneView view, int32_t hop, int32_t frameLength) {
    return hop > 0 ? std::max<int32_t>(0, (view.start - frameLength) / hop) : 0;
}

int paneHeight(int client, int bar, bool changedVisible, bool rightVisible) {
    if (changedVisible)
        return (client - 10 - 4 * bar) / 4;
    if (rightVisible)
        return (client - 10 - 2 * bar) / 2;
    return client - 10 - bar;
}

} // namespace display
