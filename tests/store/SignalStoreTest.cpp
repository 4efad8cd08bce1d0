// The store rules: storing a block as the original or changed signal, each
// side on its own, the capacities, and that the big arrays cost nothing
// untouched.

#include "app/SignalStore.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace {

long residentKb() {
    std::ifstream in("/proc/self/status");
    std::string key;
    while (in >> key) {
        if (key == "VmRSS:") {
            long kb = 0;
            in >> kb;
            return kb;
        }
        std::getline(in, key);
    }
    return -1;
}

TEST(Store, EachSideKeepsItsOwnSignalAndFormat) {
    auto s = std::make_unique<SignalStore>();
    const std::vector<int16_t> stereo{1, 10, 2, 20, 3, 30, 4, 40};
    const std::vector<int16_t> mono{7, 8, 9};
    s->storeOriginal(stereo.data(), 4, 2, 16000);
    s->storeChanged(mono.data(), 3, 1, 8000);

    EXPECT_EQ(s->origLength, 4);
    EXPECT_EQ(s->origSamples[1][3], 40);
    EXPECT_EQ(s->recorder.sampleRate, 16000u);
    EXPECT_EQ(s->recorder.channels, 2u);
    EXPECT_EQ(s->changedLength, 3);
    EXPECT_EQ(s->changedSamples[0][2], 9);
    EXPECT_EQ(s->changedSamples[1][2], 0);
    EXPECT_EQ(s->changedFormat.sampleRate, 8000u);
    EXPECT_EQ(s->changedFormat.channels, 1u);
    // Milliseconds are counted at the original's rate; a changed signal
    // stored on its own leaves them so.
    EXPECT_EQ(s->samplesPerMs, 16);

    // A cut of one side and its view leave the other side alone.
    s->orig.viewLength[0] = 4;
    s->changed.length = 0;
    EXPECT_EQ(s->origLength, 4);
    EXPECT_EQ(s->origViewLength[0], 4);
    EXPECT_EQ(s->changedViewLength[0], 0);
}

TEST(Store, CapacityIsNotResidentUntilTouched) {
    const long before = residentKb();
    auto s = std::make_unique<SignalStore>();
    const long after = residentKb();
    ASSERT_GT(before, 0);
    // Hundreds of megabytes of capacity, a few pages touched.
    EXPECT_LT(after - before, 10 * 1024);
}

TEST(Store, MonoAfterStereoZeroesTheRightChannel) {
    auto s = std::make_unique<SignalStore>();
    const std::vector<int16_t> stereo{1, 10, 2, 20, 3, 30, 4, 40};
    EXPECT_FALSE(s->storeOriginal(stereo.data(), 4, 2, 16000));
    EXPECT_EQ(s->origLength, 4);
    EXPECT_EQ(s->origSamples[1][3], 40);
    EXPECT_EQ(s->recorder.channels, 2u);
    EXPECT_EQ(s->samplesPerMs, 16);

    const std::vector<int16_t> mono{7, 8, 9};
    s->storeOriginal(mono.data(), 3, 1, 8000);
    EXPECT_EQ(s->origLength, 3);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(s->origSamples[1][i], 0) << i;
    EXPECT_EQ(s->origSamples[0][2], 9);
    EXPECT_EQ(s->recorder.channels, 1u);
    EXPECT_EQ(s->recorder.sampleRate, 8000u);
    EXPECT_EQ(s->recorder.bitsPerSample, 16u);
}

TEST(Store, WiderSignalsKeepTheFirstTwoChannels) {
    auto s = std::make_unique<SignalStore>();
    const std::vector<int16_t> four{1, 2, 3, 4, 5, 6, 7, 8};
    s->storeChanged(four.data(), 2, 4, 22050);
    EXPECT_EQ(s->changedLength, 2);
    EXPECT_EQ(s->changedSamples[0][1], 5);
    EXPECT_EQ(s->changedSamples[1][1], 6);
    EXPECT_EQ(s->changedFormat.channels, 2u);
}

TEST(Store, OriginalIsCutAtItsCapacity) {
    auto s = std::make_unique<SignalStore>();
    std::vector<int16_t> block(std::size_t(MaxOrigSamples) + 1, 3);
    block[MaxOrigSamples - 1] = 11;
    block[MaxOrigSamples] = 12;
    EXPECT_FALSE(s->storeOriginal(block.data(), MaxOrigSamples, 1, 16000));
    EXPECT_EQ(s->origLength, MaxOrigSamples);
    EXPECT_TRUE(s->storeOriginal(block.data(), MaxOrigSamples + 1, 1, 16000));
    EXPECT_EQ(s->origLength, MaxOrigSamples);
    EXPECT_EQ(s->origSamples[0][MaxOrigSamples - 1], 11);
}

TEST(Store, LowRatesGiveNoMillisecondDivisor) {
    auto s = std::make_unique<SignalStore>();
    const int16_t one[1] = {1};
    s->storeOriginal(one, 1, 1, 500);
    EXPECT_EQ(s->samplesPerMs, 0);
    EXPECT_EQ(display::msOf(1000, s->samplesPerMs), 0);
    EXPECT_EQ(display::msOf(1600, 16), 100);
}

TEST(Store, SelectionReset) {
    auto s = std::make_unique<SignalStore>();
    s->setSelection(100, 199);
    s->dragEndEdge = true;
    EXPECT_TRUE(s->hasSelection);
    s->resetSelection();
    EXPECT_EQ(s->selectionStart, 0);
    EXPECT_EQ(s->selectionEnd, 0);
    EXPECT_FALSE(s->hasSelection);
    EXPECT_FALSE(s->dragStartEdge || s->dragEndEdge);
}

TEST(Store, RunSignalCoversTheStoreArrays) {
    auto s = std::make_unique<SignalStore>();
    processing::RunSignal r = s->runSignal();
    EXPECT_EQ(r.orig[1], s->origSamples.data(1));
    EXPECT_EQ(r.changed[0], s->changedSamples.data(0));
    EXPECT_EQ(r.changedCapacity, MaxChangedSamples);
    EXPECT_EQ(r.vadCapacity, MaxVadFrames);
    EXPECT_EQ(r.changedLength, &s->changedLength);
}

}  // namespace
