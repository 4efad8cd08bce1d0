#pragma once
// The UI-free core of the waveform panes: which samples a pane shows, their
// reduction to one pair of pixel rows per column, the status-bar and caption
// texts, the mouse's cursor and selection rules, the zoom steps, the cut, and
// the geometry of the painted marks. The window's handlers are thin glue over
// these functions.

#include <cstdint>
#include <string>

namespace display {

// Pixel rows of one column: top from the column's maximum, bottom from its minimum.
struct ColumnRange {
    int32_t top;
    int32_t bottom;
};

struct PaneView {
    int32_t start = 0;
    int32_t length = 0;
};

// Visible samples at `timeZoom` and the first of them for the scroll bar's
// position out of `scrollMax` steps.
PaneView computeView(int32_t signalLength, double timeZoom, int scrollPosition, int scrollMax);

// Columns of a pane `width` pixels wide whose tables hold `maxColumns`.
int columnCount(int width, int maxColumns);
// Samples [first, end) of column x when `view` is spread over `columns`
// columns; a column of a zoomed-in view may hold no whole sample (end == first).
struct ColumnSpan {
    int64_t first;
    int64_t end;
};
ColumnSpan columnSpan(PaneView view, int columns, int x);

// Reduces the view of `samples` (valid below `signalLength`) to at most
// `maxColumns` columns of a pane `width` x `height` pixels and returns the
// number of columns filled. Columns whose first sample lies at or beyond
// `signalLength` are not filled: the count stops before them.
int reduceColumns(const int16_t* samples, int32_t signalLength, PaneView view, int width,
                  int height, double ampZoom, int32_t fullScale, ColumnRange* out, int maxColumns);

// Row of one sample value in a pane of `height` pixels.
int32_t sampleRow(int32_t value, int height, double ampZoom, int32_t fullScale);

// ---- Texts
int32_t msOf(int64_t samples, int32_t samplesPerMs); // 0 when samplesPerMs is 0
std::string startText(int32_t selectionStart, int32_t samplesPerMs);
std::string lengthText(bool hasSelection, int32_t selectionStart, int32_t selectionEnd,
                       int32_t samplesPerMs);
std::string titleText(int32_t length, int32_t samplesPerMs);
std::string formatText(uint32_t rate, uint32_t channels, uint32_t bits);
// "1:" and the factor in its shortest decimal form: "1:1", "1:1.5", "1:2.25".
std::string zoomLabel(double factor);
std::string captionText(int32_t sample, int32_t samplesPerMs, int amplitude);
// "Max length: " and the milliseconds `capacity` samples last at `rate` Hz
// (whole milliseconds, 0 for no rate).
std::string maxLengthText(int32_t capacity, uint32_t rate);
// Scale labels of a pane: top, middle and bottom texts; empty for widths
// other than 8 and 16 bits.
struct ScaleLabels {
    bool shown = false;
    std::string top, middle, bottom;
};
ScaleLabels scaleLabels(uint32_t bitsPerSample, double ampZoom);

// ---- Cursor and selection
struct Selection {
    int32_t start = 0;
    int32_t end = 0;
    bool has = false;
    bool dragStartEdge = false;
    bool dragEndEdge = false;
};

int32_t sampleAtPixel(PaneView view, int x, int width);

// A press of the left (or any non-right) button at sample p. Returns true
// when the panes must be refreshed (the cursor moved and the selection dropped).
bool pressAt(Selection& s, int32_t p);

enum class Hover { None, Edge, Away };
struct MoveResult {
    bool acted = false; // p > 0 within a non-empty signal
    Hover hover = Hover::None;
    bool refresh = false; // the selection changed by a drag
};
// A mouse move to sample p over a pane whose view holds `viewLength`
// samples and whose signal holds `signalLength`.
MoveResult moveTo(Selection& s, int32_t p, int32_t viewLength, int32_t signalLength, bool leftHeld);

// ---- Zoom
double zoomNext(double z);     // x 1.5
double zoomPrevious(double z); // x 2/3, never below 1.0

// ---- Cut
// Removes samples s ... e (both included) from `count` channels of `length`
// samples each and returns the new length. A selection beyond the signal is
// clipped to it; one that starts at or beyond its end removes nothing.
int32_t cutChannels(int16_t* const* channels, int count, int32_t length, int32_t s, int32_t e);
// The new common length after a cut of s ... e on a signal of `length`.
int32_t lengthAfterCut(int32_t length, int32_t s, int32_t e);
// Channels a whole-signal cut takes: those of the file read last, as far as
// the signal has them (a mono changed signal of a stereo file cuts its one
// channel); each count is taken as 1 or 2.
int wholeCutChannels(uint32_t fileChannels, uint32_t signalChannels);

// ---- Selected frames
// The frames of the selection (its ends in either order, both included)
// that lie inside a signal of `length` samples; none when last < first.
struct FrameSpan {
    int32_t first = 0;
    int32_t last = -1;
    int32_t count() const { return last < first ? 0 : last - first + 1; }
};
FrameSpan selectedFrames(int32_t selectionStart, int32_t selectionEnd, int32_t length);

// ---- Painted marks
struct Span {
    int left = 0;
    int right = 0;
};
// Selection band and cursor line of a pane `width` wide.
Span selectionBand(PaneView view, int width, int32_t selectionStart, int32_t selectionEnd);
Span cursorLine(PaneView view, int width, int32_t selectionStart);
// Horizontal extent of voice-activity frame r.
Span vadSpan(PaneView view, int width, int32_t r, int32_t hop, int32_t frameLength);
// The first voice-activity frame that can reach into the view: none before it
// ends after the view's first sample. 0 for no hop.
int32_t firstVadFrameInView(PaneView view, int32_t hop, int32_t frameLength);

// Heights of the panes sharing the scroll box: `client` the box's client
// height, `bar` a pane tool bar's height.
int paneHeight(int client, int bar, bool changedVisible, bool rightVisible);

} // namespace display
