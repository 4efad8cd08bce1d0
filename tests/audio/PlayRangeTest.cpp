// Which frames a play command hands to the device, the frame being heard over
// looped passes, and the marker's column in a pane.

#include "audio/PlayRange.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(PlayRange, CursorPlaysToTheEndAndASelectionIncludesBothEnds) {
    EXPECT_EQ(audio::playRange(5000, 0, 0, false).frames, 5000); // cursor at 0: everything
    const audio::PlayRange last = audio::playRange(5000, 4999, 4999, false);
    EXPECT_EQ(last.first, 4999);
    EXPECT_EQ(last.frames, 1);
    const audio::PlayRange sel = audio::playRange(5000, 1000, 1999, true);
    EXPECT_EQ(sel.first, 1000);
    EXPECT_EQ(sel.frames, 1000);
}

TEST(PlayRange, NothingOutsideTheSignalReachesTheDevice) {
    EXPECT_EQ(audio::playRange(0, 0, 0, false).frames, 0);
    EXPECT_EQ(audio::playRange(-3, 0, 0, false).frames, 0);
    // A cursor past the end plays the last frame, not memory beyond it.
    audio::PlayRange r = audio::playRange(100, 250, 250, false);
    EXPECT_EQ(r.first, 99);
    EXPECT_EQ(r.frames, 1);
    // A selection running past the end stops at the end.
    r = audio::playRange(100, 90, 400, true);
    EXPECT_EQ(r.first, 90);
    EXPECT_EQ(r.frames, 10);
    // Reversed or negative values stay inside.
    r = audio::playRange(100, 50, 20, true);
    EXPECT_EQ(r.first, 50);
    EXPECT_EQ(r.frames, 1);
    r = audio::playRange(100, -20, 9, true);
    EXPECT_EQ(r.first, 0);
    EXPECT_EQ(r.frames, 10);
}

TEST(PlayRange, HeardFrameRestartsEachPassAndStaysInTheRange) {
    EXPECT_EQ(audio::heardFrame(0, 1, 1000), 0);
    EXPECT_EQ(audio::heardFrame(640, 1, 1000), 640);
    // The device position keeps counting over a requeued buffer.
    EXPECT_EQ(audio::heardFrame(1640, 2, 1000), 640);
    EXPECT_EQ(audio::heardFrame(5999, 6, 1000), 999);
    // Between the end of a pass and its done message the position runs ahead;
    // the marker stays on the last frame instead of leaving the selection.
    EXPECT_EQ(audio::heardFrame(2000, 2, 1000), 999);
    // A position behind the pass (the device was reset) keeps the first frame.
    EXPECT_EQ(audio::heardFrame(10, 3, 1000), 0);
    EXPECT_EQ(audio::heardFrame(123, 1, 0), 0);
}

TEST(PlayRange, MarkerColumnScalesTheViewAndTruncates) {
    EXPECT_EQ(audio::markerColumn(800, 0, 0, 8000), 0);
    EXPECT_EQ(audio::markerColumn(800, 4000, 0, 8000), 400);
    EXPECT_EQ(audio::markerColumn(800, 4009, 0, 8000), 400); // truncated
    EXPECT_EQ(audio::markerColumn(800, 6000, 4000, 4000), 400);
    EXPECT_EQ(audio::markerColumn(3, 1, 0, 2), 1); // 1.5 -> 1
    // Outside the view the marker falls outside the pane.
    EXPECT_EQ(audio::markerColumn(800, 100, 4000, 4000), -1);
    EXPECT_EQ(audio::markerColumn(800, 9000, 0, 8000), 800);
    EXPECT_EQ(audio::markerColumn(800, int64_t(1) << 40, 0, 8000), 800); // no overflow
    EXPECT_EQ(audio::markerColumn(800, 10, 0, 0), -1);
}

TEST(PlaySource, AStereoSignalIsJoinedFrameByFrameAndOneChannelIsItsOwnArray) {
    const std::vector<int16_t> l{1, 2, 3}, r{10, 20, 30};
    const int16_t* const planes[2] = {l.data(), r.data()};
    std::vector<int16_t> joined;
    audio::PlaySource s = audio::playSource(planes, 3, 2, -1, joined);
    EXPECT_EQ(s.channels, 2u);
    ASSERT_EQ(s.frames, joined.data());
    EXPECT_EQ(joined, (std::vector<int16_t>{1, 10, 2, 20, 3, 30}));
    // A shorter signal later: the block follows its length.
    audio::playSource(planes, 2, 2, -1, joined);
    EXPECT_EQ(joined, (std::vector<int16_t>{1, 10, 2, 20}));

    s = audio::playSource(planes, 3, 2, 1, joined);
    EXPECT_EQ(s.channels, 1u);
    EXPECT_EQ(s.frames, r.data());
    s = audio::playSource(planes, 3, 1, -1, joined); // mono: a copy of the Left channel alone
    EXPECT_EQ(s.channels, 1u);
    ASSERT_EQ(s.frames, joined.data());
    EXPECT_EQ(joined, l);
    s = audio::playSource(planes, 3, 6, -1, joined); // wider formats play two channels
    EXPECT_EQ(s.channels, 2u);
}

} // namespace
