// The store rules: storing a block as the original or changed signal, each
// side on its own, the capacities, and that the big arrays cost nothing
// untouched.

#include "app/SignalStore.h"
#include "soundfile/SoundLoad.h"
#include "soundfile/WavFile.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <filesystem>
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

// Bytes the C++ heap holds now (arena and mapped blocks). Under a sanitizer
// the heap is its own and this stays 0; LeakSanitizer judges there.
std::size_t heapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

// A mono 16-bit file of `frames` frames in the temporary directory.
std::string writeMonoFile(const std::string& name, int32_t frames) {
    std::vector<int16_t> s(static_cast<std::size_t>(frames));
    for (std::size_t i = 0; i < s.size(); ++i) s[i] = int16_t(i % 2000 - 1000);
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    std::string error;
    EXPECT_TRUE(writePcmWav(path, 16000, 1, s.data(), s.size(), error)) << error;
    return path;
}

TEST(Store, DestroyingTheStoreFreesTheReadersBlock) {
    constexpr int32_t kFrames = 1 << 20;  // a 2 MB block
    const std::string path = writeMonoFile("silvane-store-block.wav", kFrames);
    const std::size_t before = heapInUse();
    {
        auto s = std::make_unique<SignalStore>();
        WavHeaderInfo header;
        std::string reason;
        ASSERT_TRUE(readSoundSamples(header, path, MaxOrigSamples, s->decodedFrames, s->decodedBuffer, reason))
            << reason;
        ASSERT_EQ(s->decodedFrames, kFrames);
    }
    EXPECT_LT(heapInUse(), before + std::size_t(kFrames));
    std::filesystem::remove(path);
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
    EXPECT_EQ(msFromSamples(1000, s->samplesPerMs), 0);
    EXPECT_EQ(msFromSamples(1600, 16), 100);
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
