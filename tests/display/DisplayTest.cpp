// Views, column reduction, texts, the mouse rules, zoom steps and cuts.

#include "display/Display.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

using namespace display;

namespace {

TEST(View, WholeSignalAtZoomOneAndAWindowWhenZoomed) {
    PaneView v = computeView(1000, 1.0, 0, 2000);
    EXPECT_EQ(v.start, 0);
    EXPECT_EQ(v.length, 1000);
    v = computeView(1000, 2.25, 0, 2000);
    EXPECT_EQ(v.length, 444);
    EXPECT_EQ(v.start, 0);
    v = computeView(1000, 2.25, 1000, 2000);
    EXPECT_EQ(v.start, 278); // trunc(556 x 1000 / 2000)
    v = computeView(1000, 2.25, 2000, 2000);
    EXPECT_EQ(v.start, 556);
    EXPECT_EQ(v.start + v.length, 1000);
    v = computeView(1000, 2.25, 3, 2000);
    EXPECT_EQ(v.start, 0); // trunc(556 x 3 / 2000) = trunc(0.834)
}

TEST(Columns, TwoSamplesPerColumnAndRowsFromExtremes) {
    std::vector<int16_t> s(1000, 0);
    s[10] = 16384; // column 5
    s[11] = -16384;
    s[998] = 32767; // last column
    std::vector<ColumnRange> out(3000);
    const int n = reduceColumns(s.data(), 1000, computeView(1000, 1.0, 0, 2000), 500, 100, 1.0,
                                32768, out.data(), 3000);
    ASSERT_EQ(n, 500);
    EXPECT_EQ(out[5].top, 25); // 50 - 100 x 16384 / 65536
    EXPECT_EQ(out[5].bottom, 75);
    EXPECT_EQ(out[0].top, 50);
    EXPECT_EQ(out[0].bottom, 50);
    EXPECT_EQ(out[499].top, 0); // trunc(50 - 49.998)
}

TEST(Columns, FewerSamplesThanColumnsShowSingleSamples) {
    std::vector<int16_t> s{100, -100, 200, -200};
    std::vector<ColumnRange> out(10);
    const int n = reduceColumns(s.data(), 4, PaneView{0, 4}, 10, 100, 1.0, 32768, out.data(), 10);
    ASSERT_EQ(n, 10);
    for (int x = 0; x < 10; ++x) {
        const int i0 = int(x * 0.4);
        EXPECT_EQ(out[x].top, sampleRow(s[i0], 100, 1.0, 32768)) << x;
        EXPECT_EQ(out[x].top, out[x].bottom) << x;
    }
}

TEST(Columns, TablesAreNeverOverrun) {
    std::vector<int16_t> s(100000, 7);
    std::vector<ColumnRange> out(3001, ColumnRange{-99, -99});
    const int n = reduceColumns(s.data(), 100000, PaneView{0, 100000}, 3840, 100, 1.0, 32768,
                                out.data(), 3000);
    EXPECT_EQ(n, 3000);
    EXPECT_EQ(out[3000].top, -99);
}

TEST(Columns, OverlayStopsWhereTheShorterSignalEnds) {
    // A 600-sample changed signal drawn through a 1000-sample original view.
    std::vector<int16_t> changed(600, 1000);
    std::vector<ColumnRange> out(500, ColumnRange{-99, -99});
    const int n = reduceColumns(changed.data(), 600, PaneView{0, 1000}, 500, 100, 1.0, 32768,
                                out.data(), 500);
    EXPECT_EQ(n, 300);
    EXPECT_EQ(out[300].top, -99);
    EXPECT_EQ(
        reduceColumns(changed.data(), 0, PaneView{0, 1000}, 500, 100, 1.0, 32768, out.data(), 500),
        0);
}

TEST(Texts, StatusPanelsAndLabels) {
    EXPECT_EQ(startText(100, 8), "Start: 12 ms/100");
    EXPECT_EQ(lengthText(true, 100, 199, 8), "Length: 12 ms/100");
    EXPECT_EQ(lengthText(false, 100, 100, 8), "Length: 0 ms/0");
    EXPECT_EQ(titleText(16000, 16), "Title: 1000 ms/16000");
    EXPECT_EQ(titleText(16000, 0), "Title: 0 ms/16000"); // a rate below 1000 Hz
    EXPECT_EQ(formatText(16000, 2, 16), "16000 Hz/2/16");
    EXPECT_EQ(zoomLabel(1.0), "1:1");
    EXPECT_EQ(zoomLabel(1.5), "1:1.5");
    EXPECT_EQ(zoomLabel(zoomNext(zoomNext(1.0))), "1:2.25");
    EXPECT_EQ(captionText(1000, 8, -312), "Quorvex's Silvane [ 125 ms/ 1000, Am:  -312 ]");
    ScaleLabels l = scaleLabels(16, 1.5);
    EXPECT_TRUE(l.shown);
    EXPECT_EQ(l.top, "21844");
    EXPECT_EQ(l.middle, "0");
    EXPECT_EQ(l.bottom, "-21845");
    l = scaleLabels(8, 1.0);
    EXPECT_EQ(l.top, "255");
    EXPECT_EQ(l.middle, "128");
    EXPECT_EQ(l.bottom, "0");
    EXPECT_FALSE(scaleLabels(24, 1.0).shown);
    // Whole samples per millisecond at 22050 Hz as on the status bars; below 1000 Hz exactly.
    EXPECT_EQ(maxLengthText(20000000, 16000), "Max length: 1250000 ms");
    EXPECT_EQ(maxLengthText(22000, 22050), "Max length: 1000 ms");
    EXPECT_EQ(maxLengthText(1000, 500), "Max length: 2000 ms");
    EXPECT_EQ(maxLengthText(1000, 0), "Max length: 0 ms");
}

TEST(Mouse, ClickSetsTheCursorAndDropsTheSelection) {
    Selection s{10, 50, true, false, false};
    EXPECT_TRUE(pressAt(s, 30));
    EXPECT_EQ(s.start, 30);
    EXPECT_EQ(s.end, 30);
    EXPECT_FALSE(s.has);
    EXPECT_EQ(sampleAtPixel(PaneView{0, 1000}, 250, 500), 500);
    EXPECT_EQ(sampleAtPixel(PaneView{100, 444}, 1, 500), 100); // trunc(0.888 + 100)
}

TEST(Mouse, LeftDragEndsAtThePressPoint) {
    Selection s;
    pressAt(s, 500);
    MoveResult r = moveTo(s, 300, 1000, 1000, true);
    EXPECT_TRUE(r.refresh);
    EXPECT_EQ(s.start, 300);
    EXPECT_EQ(s.end, 500);
    EXPECT_TRUE(s.has);
    EXPECT_TRUE(s.dragStartEdge); // the grabbed edge is now the start
    moveTo(s, 250, 1000, 1000, true);
    EXPECT_EQ(s.start, 250);
    EXPECT_EQ(s.end, 500);
}

TEST(Mouse, HoveringNearAnEdgeGrabsIt) {
    Selection s{200, 400, true, false, false};
    EXPECT_EQ(moveTo(s, 205, 1000, 1000, false).hover, Hover::Edge); // within 1000 / 100
    EXPECT_TRUE(s.dragStartEdge);
    EXPECT_FALSE(pressAt(s, 205)); // the press moves the edge, no cursor reset
    EXPECT_EQ(s.start, 205);
    moveTo(s, 150, 1000, 1000, true);
    EXPECT_EQ(s.start, 150);
    EXPECT_EQ(s.end, 400);
    EXPECT_EQ(moveTo(s, 300, 1000, 1000, false).hover, Hover::Away);
    EXPECT_FALSE(s.dragStartEdge || s.dragEndEdge);
    EXPECT_EQ(moveTo(s, 395, 1000, 1000, false).hover, Hover::Edge);
    EXPECT_TRUE(s.dragEndEdge);
}

TEST(Mouse, DragIsClampedAtTheEndAndIgnoredAtTheStart) {
    Selection s;
    pressAt(s, 100);
    moveTo(s, 5000, 1000, 1000, true);
    EXPECT_EQ(s.end, 999);
    Selection t;
    pressAt(t, 100);
    moveTo(t, 3, 1000, 1000, true);
    EXPECT_EQ(t.start, 3);
    MoveResult r = moveTo(t, 0, 1000, 1000, true);
    EXPECT_FALSE(r.acted);
    EXPECT_EQ(t.start, 3); // the last positive sample reached
    EXPECT_FALSE(moveTo(t, -5, 1000, 1000, true).acted);
    EXPECT_FALSE(moveTo(t, 50, 1000, 0, true).acted); // an empty signal
}

TEST(Zoom, StepsAndTheFloor) {
    double z = zoomNext(zoomNext(1.0));
    EXPECT_EQ(z, 2.25);
    z = zoomPrevious(z);
    EXPECT_EQ(z, 1.5);
    z = zoomPrevious(z);
    EXPECT_EQ(z, 1.0);
    EXPECT_EQ(zoomPrevious(1.0), 1.0);
    EXPECT_EQ(zoomPrevious(1.2), 1.0); // 0.8 is not above 1.0
}

TEST(Cut, BothChannelsOfAStereoSignal) {
    std::vector<int16_t> l(1000), r(1000);
    std::iota(l.begin(), l.end(), 0);
    std::iota(r.begin(), r.end(), 5000);
    int16_t* ch[2] = {l.data(), r.data()};
    EXPECT_EQ(cutChannels(ch, 2, 1000, 100, 199), 900);
    EXPECT_EQ(l[99], 99);
    EXPECT_EQ(l[100], 200);
    EXPECT_EQ(r[100], 5200);
    EXPECT_EQ(l[899], 999);
}

TEST(Cut, LeftOnlyKeepsTheRightInPlace) {
    std::vector<int16_t> l(1000), r(1000);
    std::iota(l.begin(), l.end(), 0);
    std::iota(r.begin(), r.end(), 5000);
    int16_t* left[1] = {l.data()};
    EXPECT_EQ(cutChannels(left, 1, 1000, 100, 199), 900);
    EXPECT_EQ(l[100], 200);
    for (int i = 0; i < 900; ++i)
        ASSERT_EQ(r[i], 5000 + i);
}

TEST(Cut, CursorZeroAndSelectionsBeyondTheSignal) {
    std::vector<int16_t> s{1, 2, 3, 4, 5};
    int16_t* ch[1] = {s.data()};
    EXPECT_EQ(cutChannels(ch, 1, 5, 0, 0), 4);
    EXPECT_EQ(s[0], 2);
    EXPECT_EQ(cutChannels(ch, 1, 4, 10, 20), 4); // wholly beyond: nothing
    EXPECT_EQ(cutChannels(ch, 1, 4, 2, 50), 2);  // clipped to the end
    EXPECT_EQ(s[0], 2);
    EXPECT_EQ(s[1], 3);
    EXPECT_EQ(cutChannels(ch, 1, 0, 0, 0), 0);
}

TEST(Cut, AWholeCutTakesTheChannelsBothTheFileAndTheSignalHave) {
    EXPECT_EQ(wholeCutChannels(2, 2), 2);
    EXPECT_EQ(wholeCutChannels(2, 1), 1); // a mono changed signal of a stereo file
    EXPECT_EQ(wholeCutChannels(1, 2), 1);
    EXPECT_EQ(wholeCutChannels(6, 2), 2);
    EXPECT_EQ(wholeCutChannels(0, 0), 1); // nothing read yet
}

TEST(Selection, SelectedFramesStayInsideTheSignal) {
    FrameSpan f = selectedFrames(100, 199, 1000);
    EXPECT_EQ(f.first, 100);
    EXPECT_EQ(f.last, 199);
    EXPECT_EQ(f.count(), 100);
    // Ends in either order; a selection running past the end stops there.
    f = selectedFrames(900, 20, 500);
    EXPECT_EQ(f.first, 20);
    EXPECT_EQ(f.last, 499);
    f = selectedFrames(-5, 3, 10);
    EXPECT_EQ(f.first, 0);
    EXPECT_EQ(f.count(), 4);
    // The shared selection may lie wholly beyond a shorter signal, or the signal be empty.
    EXPECT_EQ(selectedFrames(600, 700, 500).count(), 0);
    EXPECT_EQ(selectedFrames(0, 0, 0).count(), 0);
    EXPECT_EQ(selectedFrames(7, 7, 10).count(), 1);
}

TEST(Marks, BandCursorAndVoiceStrip) {
    PaneView v{0, 1000};
    Span b = selectionBand(v, 500, 100, 199);
    EXPECT_EQ(b.left, 50);
    EXPECT_EQ(b.right, 99);
    b = selectionBand(v, 500, 100, 100);
    EXPECT_EQ(b.left, b.right); // empty band with no selection
    Span c = cursorLine(v, 500, 100);
    EXPECT_EQ(c.left, 50);
    EXPECT_EQ(c.right, 51);
    Span f = vadSpan(PaneView{256, 1000}, 500, 3, 256, 512);
    EXPECT_EQ(f.left, 256);  // 500 x 512 / 1000
    EXPECT_EQ(f.right, 512); // 500 x 1024 / 1000
    // The frames painted from: none earlier ends inside the view.
    const PaneView late{10000, 1000};
    const int32_t first = firstVadFrameInView(late, 256, 512);
    EXPECT_LE(vadSpan(late, 500, first, 256, 512).right, 0);
    EXPECT_LT(vadSpan(late, 500, first - 1, 256, 512).right, 0);
    EXPECT_GT(vadSpan(late, 500, first + 3, 256, 512).right, 0);
    EXPECT_EQ(firstVadFrameInView(PaneView{100, 1000}, 256, 512), 0);
    EXPECT_EQ(firstVadFrameInView(late, 0, 512), 0);
    EXPECT_EQ(paneHeight(600, 24, true, true), (600 - 10 - 96) / 4);
    EXPECT_EQ(paneHeight(600, 24, false, true), (600 - 10 - 48) / 2);
    EXPECT_EQ(paneHeight(600, 24, false, false), 600 - 10 - 24);
}

} // namespace
