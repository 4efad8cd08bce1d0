// The store rules: storing a block as the original or changed signal, each
// side on its own, the capacities, and that the big arrays cost nothing
// untouched.

#include "app/SignalStore.h"
#include "soundfile/SoundLoad.h"
#include "soundfile/WavFile.h"

#include <gtest/gtest.h>

#include <malloc.h>

#include <algorithm>
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
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = int16_t(i % 2000 - 1000);
    const std::string path = (std::filesystem::temp_directory_path() / name).string();
    std::string error;
    EXPECT_TRUE(soundfile::writePcmWav(path, 16000, 1, s.data(), s.size(), error)) << error;
    return path;
}

TEST(Store, DestroyingTheStoreFreesTheReadersBlock) {
    constexpr int32_t kFrames = 1 << 20; // a 2 MB block
    const std::string path = writeMonoFile("silvane-store-block.wav", kFrames);
    const std::size_t before = heapInUse();
    {
        auto s = std::make_unique<app::SignalStore>();
        soundfile::WavHeaderInfo header;
        std::string reason;
        ASSERT_EQ(s->readDecoded(path, processing::MaxOrigSamples, header, reason),
                  app::SignalStore::ReadResult::Read)
            << reason;
        ASSERT_EQ(s->decodedFrames, kFrames);
    }
    EXPECT_LT(heapInUse(), before + std::size_t(kFrames));
    std::filesystem::remove(path);
}

TEST(Store, ReadingTellsAMissingFileFromARefusedOneAndKeepsTheBlock) {
    auto s = std::make_unique<app::SignalStore>();
    soundfile::WavHeaderInfo header;
    std::string reason;
    const std::string good = writeMonoFile("silvane-store-good.wav", 100);
    ASSERT_EQ(s->readDecoded(good, processing::MaxOrigSamples, header, reason),
              app::SignalStore::ReadResult::Read);
    const int16_t* block = s->decodedBuffer;

    const std::string missing =
        (std::filesystem::temp_directory_path() / "silvane-store-none.wav").string();
    std::filesystem::remove(missing);
    EXPECT_EQ(s->readDecoded(missing, processing::MaxOrigSamples, header, reason),
              app::SignalStore::ReadResult::CannotOpen);
    EXPECT_FALSE(reason.empty());

    // The same file with an encoding nobody decodes.
    const std::string odd = writeMonoFile("silvane-store-odd.wav", 100);
    {
        std::fstream f(odd, std::ios::in | std::ios::out | std::ios::binary);
        f.seekp(20);
        f.put(char(0x55)).put(char(0));
    }
    reason.clear();
    EXPECT_EQ(s->readDecoded(odd, processing::MaxOrigSamples, header, reason),
              app::SignalStore::ReadResult::Refused);
    EXPECT_FALSE(reason.empty());
    EXPECT_EQ(s->decodedBuffer, block);
    EXPECT_EQ(s->decodedFrames, 100);
    EXPECT_EQ(header.channels, 1);
    EXPECT_EQ(header.formatTag, 1);
    for (const std::string& p : {good, odd})
        std::filesystem::remove(p);
}

// The reader's block, put in place as readDecoded leaves it.
void giveBlock(app::SignalStore& s, const std::vector<int16_t>& block, int channels) {
    delete[] s.decodedBuffer;
    s.decodedBuffer = new int16_t[block.size()];
    std::copy(block.begin(), block.end(), s.decodedBuffer);
    s.decodedFrames = int32_t(block.size()) / channels;
}

soundfile::WavHeaderInfo headerOf(uint32_t rate, uint16_t channels) {
    soundfile::WavHeaderInfo h;
    h.sampleRate = rate;
    h.channels = channels;
    return h;
}

TEST(Store, ADecodedFileBecomesEitherSignalWithItsSaveHeader) {
    auto s = std::make_unique<app::SignalStore>();
    soundfile::WavHeaderInfo pcm;
    giveBlock(*s, {1, 10, 2, 20, 3, 30}, 2);
    s->overlayColumnCount[1] = 5;
    EXPECT_FALSE(s->storeDecoded(s->orig, headerOf(16000, 2), pcm));
    EXPECT_EQ(s->origLength, 3);
    EXPECT_EQ(s->origSamples[1][2], 30);
    // The player follows the original; the Right overlay is stale.
    EXPECT_EQ(s->player.sampleRate, 16000u);
    EXPECT_EQ(s->player.channels, 2u);
    EXPECT_EQ(s->overlayColumnCount[1], 0);
    EXPECT_EQ(pcm.channels, 2);
    EXPECT_EQ(pcm.bitsPerSample, 16);
    EXPECT_EQ(pcm.avgBytesPerSec, 64000u);

    // Six channels are saved as two; the changed side leaves the player alone.
    giveBlock(*s, {7, 8, 0, 0, 0, 0, 9, 10, 0, 0, 0, 0}, 6);
    EXPECT_FALSE(s->storeDecoded(s->changed, headerOf(8000, 6), pcm));
    EXPECT_EQ(s->changedLength, 2);
    EXPECT_EQ(s->changedSamples[1][1], 10);
    EXPECT_EQ(s->changedFormat.channels, 2u);
    EXPECT_EQ(s->samplesPerMs, 8);
    EXPECT_EQ(s->player.sampleRate, 16000u);
    EXPECT_EQ(pcm.channels, 2);
    EXPECT_EQ(pcm.sampleRate, 8000u);
    EXPECT_EQ(s->origLength, 3);
}

TEST(Store, ANewRightChannelKeepsTheLeftAndSilencesItBeyondItsEnd) {
    auto s = std::make_unique<app::SignalStore>();
    const std::vector<int16_t> stereo{1, 10, 2, 20};
    s->storeChanged(stereo.data(), 2, 2, 16000);
    // A longer stereo file: its first channel is the new Right.
    giveBlock(*s, {5, 50, 6, 60, 7, 70, 8, 80}, 2);
    EXPECT_FALSE(s->storeDecodedRight(headerOf(44100, 2)));
    EXPECT_EQ(s->changedLength, 4);
    EXPECT_EQ((std::vector<int16_t>(s->changedSamples[1], s->changedSamples[1] + 4)),
              (std::vector<int16_t>{5, 6, 7, 8}));
    EXPECT_EQ((std::vector<int16_t>(s->changedSamples[0], s->changedSamples[0] + 4)),
              (std::vector<int16_t>{1, 2, 0, 0}));
    // The format stays that of the changed signal.
    EXPECT_EQ(s->changedFormat.sampleRate, 16000u);
    EXPECT_EQ(s->samplesPerMs, 16);

    // A shorter mono file shortens the signal.
    giveBlock(*s, {9}, 1);
    s->storeDecodedRight(headerOf(16000, 1));
    EXPECT_EQ(s->changedLength, 1);
    EXPECT_EQ(s->changedSamples[1][0], 9);
    EXPECT_EQ(s->changedSamples[0][0], 1);
}

TEST(Store, ARightChannelLongerThanTheCapacityIsCut) {
    app::SignalSide side(4);
    const std::vector<int16_t> block{1, 2, 3, 4, 5, 6};
    EXPECT_TRUE(side.storeRight(block.data(), 6, 1));
    EXPECT_EQ(side.length, 4);
    EXPECT_EQ(side.samples[1][3], 4);
    EXPECT_EQ(side.samples[0][3], 0);
}

TEST(Store, CutCopyAndMixWorkOnOneSideOverItsLength) {
    auto s = std::make_unique<app::SignalStore>();
    const std::vector<int16_t> stereo{1, 10, 2, 20, 3, 30, 4, 40};
    s->storeOriginal(stereo.data(), 4, 2, 16000);
    s->storeChanged(stereo.data(), 4, 2, 16000);
    s->orig.viewLength[0] = s->orig.viewLength[1] = 4;

    // The Right channel alone loses frames 1 and 2; the signal takes its new length.
    s->orig.cut(1, 1, 1, 2);
    EXPECT_EQ(s->origLength, 2);
    EXPECT_EQ(s->origSamples[1][1], 40);
    EXPECT_EQ(s->origSamples[0][1], 2);
    EXPECT_EQ(s->orig.viewLength[1], 0);
    EXPECT_EQ(s->orig.viewLength[0], 4);

    s->changed.copyChannel(1);
    EXPECT_EQ(s->changedSamples[0][3], 40);
    s->changed.copyChannel(0);
    s->changedSamples[0][0] = -32768;
    s->changedSamples[1][0] = 32767;
    s->changedSamples[1][1] = 0;
    s->changed.mixIntoRight(1);
    EXPECT_EQ(s->changedSamples[1][0], -32768); // saturated
    EXPECT_EQ(s->changedSamples[1][1], 20);
    s->changed.mixIntoRight(-1);
    EXPECT_EQ(s->changedSamples[1][1], 0);   // -(20 - 20)
    EXPECT_EQ(s->changedSamples[1][2], -30); // -(30 - 0)
    // Nothing beyond the length is touched.
    EXPECT_EQ(s->origSamples[0][2], 3);
}

TEST(Store, ARecordingIsCountedFromTheDeviceOrTheClock) {
    auto s = std::make_unique<app::SignalStore>();
    app::setFormat(s->recorder, 8000, 2);
    for (int i = 0; i < 8; ++i)
        s->recordBuffer[0][i] = int16_t(i + 1);
    s->fullScale = 256;
    s->storeRecording(12, 0); // three stereo frames
    EXPECT_EQ(s->origLength, 3);
    EXPECT_EQ(s->origSamples[1][2], 6);
    EXPECT_EQ(s->fullScale, 32768);
    s->storeRecording(0, 1000); // no byte count: a second at 8000 Hz
    EXPECT_EQ(s->origLength, 8000);
}

TEST(Store, EachSideKeepsItsOwnSignalAndFormat) {
    auto s = std::make_unique<app::SignalStore>();
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
    auto s = std::make_unique<app::SignalStore>();
    const long after = residentKb();
    ASSERT_GT(before, 0);
    // Hundreds of megabytes of capacity, a few pages touched.
    EXPECT_LT(after - before, 10 * 1024);
}

TEST(Store, MonoAfterStereoZeroesTheRightChannel) {
    auto s = std::make_unique<app::SignalStore>();
    const std::vector<int16_t> stereo{1, 10, 2, 20, 3, 30, 4, 40};
    EXPECT_FALSE(s->storeOriginal(stereo.data(), 4, 2, 16000));
    EXPECT_EQ(s->origLength, 4);
    EXPECT_EQ(s->origSamples[1][3], 40);
    EXPECT_EQ(s->recorder.channels, 2u);
    EXPECT_EQ(s->samplesPerMs, 16);

    const std::vector<int16_t> mono{7, 8, 9};
    s->storeOriginal(mono.data(), 3, 1, 8000);
    EXPECT_EQ(s->origLength, 3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(s->origSamples[1][i], 0) << i;
    EXPECT_EQ(s->origSamples[0][2], 9);
    EXPECT_EQ(s->recorder.channels, 1u);
    EXPECT_EQ(s->recorder.sampleRate, 8000u);
    EXPECT_EQ(s->recorder.bitsPerSample, 16u);
}

TEST(Store, WiderSignalsKeepTheFirstTwoChannels) {
    auto s = std::make_unique<app::SignalStore>();
    const std::vector<int16_t> four{1, 2, 3, 4, 5, 6, 7, 8};
    s->storeChanged(four.data(), 2, 4, 22050);
    EXPECT_EQ(s->changedLength, 2);
    EXPECT_EQ(s->changedSamples[0][1], 5);
    EXPECT_EQ(s->changedSamples[1][1], 6);
    EXPECT_EQ(s->changedFormat.channels, 2u);
}

TEST(Store, OriginalIsCutAtItsCapacity) {
    auto s = std::make_unique<app::SignalStore>();
    std::vector<int16_t> block(std::size_t(processing::MaxOrigSamples) + 1, 3);
    block[processing::MaxOrigSamples - 1] = 11;
    block[processing::MaxOrigSamples] = 12;
    EXPECT_FALSE(s->storeOriginal(block.data(), processing::MaxOrigSamples, 1, 16000));
    EXPECT_EQ(s->origLength, processing::MaxOrigSamples);
    EXPECT_TRUE(s->storeOriginal(block.data(), processing::MaxOrigSamples + 1, 1, 16000));
    EXPECT_EQ(s->origLength, processing::MaxOrigSamples);
    EXPECT_EQ(s->origSamples[0][processing::MaxOrigSamples - 1], 11);
}

TEST(Store, LowRatesGiveNoMillisecondDivisor) {
    auto s = std::make_unique<app::SignalStore>();
    const int16_t one[1] = {1};
    s->storeOriginal(one, 1, 1, 500);
    EXPECT_EQ(s->samplesPerMs, 0);
    EXPECT_EQ(display::msOf(1000, s->samplesPerMs), 0);
    EXPECT_EQ(display::msOf(1600, 16), 100);
}

TEST(Store, SelectionGoesToTheMouseRulesAndBack) {
    auto s = std::make_unique<app::SignalStore>();
    s->setSelection(100, 199);
    s->dragEndEdge = true;
    display::Selection sel = s->selection();
    EXPECT_EQ(sel.start, 100);
    EXPECT_EQ(sel.end, 199);
    EXPECT_TRUE(sel.has && sel.dragEndEdge && !sel.dragStartEdge);
    sel = display::Selection{5, 7, true, true, false};
    s->keepSelection(sel);
    EXPECT_EQ(s->selectionStart, 5);
    EXPECT_EQ(s->selectionEnd, 7);
    EXPECT_TRUE(s->hasSelection && s->dragStartEdge && !s->dragEndEdge);
}

TEST(Store, SelectionReset) {
    auto s = std::make_unique<app::SignalStore>();
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
    auto s = std::make_unique<app::SignalStore>();
    processing::RunSignal r = s->runSignal();
    EXPECT_EQ(r.orig[1], s->origSamples.data(1));
    EXPECT_EQ(r.changed[0], s->changedSamples.data(0));
    EXPECT_EQ(r.changedCapacity, processing::MaxChangedSamples);
    EXPECT_EQ(r.vadCapacity, processing::MaxVadFrames);
    EXPECT_EQ(r.changedLength, &s->changedLength);
}

} // namespace
