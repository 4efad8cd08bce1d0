// The processing run over in-memory signals: lengths, alignment, the
// processing switch, mixing, stopping, and the bounds of every array.

#include "processing/ChannelLayout.h"
#include "processing/ProcessingRun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace processing;

namespace {

struct Signals {
    std::vector<int16_t> orig[2], changed[2];
    std::vector<uint8_t> vad[2];
    int32_t changedLength = -1, vadCount = -1;
    RunSignal s;

    Signals(int32_t length, int32_t vadCapacity = processing::MaxVadFrames,
            int16_t changedFill = 0) {
        for (int c = 0; c < 2; ++c) {
            orig[c].resize(std::size_t(length));
            changed[c].assign(std::size_t(length) + 64, changedFill); // 64 guard samples
            vad[c].assign(std::size_t(vadCapacity) + 16, 0xEE);       // 16 guard entries
        }
        uint32_t lcg = 7;
        for (int32_t i = 0; i < length; ++i) {
            lcg = lcg * 1664525u + 1013904223u;
            orig[0][i] = int16_t(6000 * std::sin(i * 0.05) + double(int32_t(lcg) >> 22));
            orig[1][i] = int16_t(4000 * std::sin(i * 0.011 + 1) - double(int32_t(lcg) >> 23));
        }
        for (int c = 0; c < 2; ++c) {
            s.orig[c] = orig[c].data();
            s.changed[c] = changed[c].data();
            s.vad[c] = vad[c].data();
        }
        s.origLength = length;
        s.changedCapacity = length;
        s.vadCapacity = vadCapacity;
        s.changedLength = &changedLength;
        s.vadCount = &vadCount;
    }
};

RunParameters params(int channels, float limitDb = -18.0f) {
    RunParameters p;
    p.sampleRate = 16000;
    p.channels = channels;
    p.limitDb = limitDb;
    return p;
}

RunHooks fixed(const FrameControls& c) {
    RunHooks h;
    h.controls = [c] { return c; };
    return h;
}

struct Geometry {
    uint32_t L, S;
};

Geometry geometry() {
    processing::EngineBlock b{};
    processing::restartEngine(b,
                              processing::engineSettingsAt(16000, processing::EngineParameters{}));
    return {processing::engineFrameLength(b), processing::engineFrameStep(b)};
}

TEST(FrameCounts, LengthRules) {
    EXPECT_EQ(frameCount(1000, 512, 256), 1);
    EXPECT_EQ(frameCount(512, 512, 256), 0);
    EXPECT_EQ(frameCount(511, 512, 256), 0); // shorter than a frame: nothing, not negative
    EXPECT_EQ(frameCount(0, 512, 256), 0);
    EXPECT_EQ(frameCount(100000, 512, 0), 0);
    EXPECT_EQ(runLength(10, 512, 256), 10 * 256 + 512);
    EXPECT_EQ(runLength(0, 512, 256), 0);
}

TEST(FrameCounts, FramingMustFitTheFrameBuffers) {
    auto block = [](uint32_t length, uint32_t step) {
        processing::EngineBlock b{};
        std::memcpy(b.bytes + VELDRA_OFFSET_FRAME_LENGTH, &length, 4);
        std::memcpy(b.bytes + VELDRA_OFFSET_FRAME_STEP, &step, 4);
        return b;
    };
    const uint32_t most = kFrameBufferSamples;
    EXPECT_TRUE(framingFits(block(512, 256)));
    EXPECT_TRUE(framingFits(block(most, most)));
    EXPECT_FALSE(framingFits(block(0, 0))); // never created
    EXPECT_FALSE(framingFits(block(most + 1, most + 1)));
    EXPECT_FALSE(framingFits(block(128, 256))); // a step longer than the frame
    processing::EngineBlock created[2] = {};
    RunParameters p;
    EXPECT_TRUE(restartBlocks(p, created));
    EXPECT_TRUE(framingFits(created[0]));
}

TEST(Mix, SaturatesBothWays) {
    EXPECT_EQ(mixChannels(100, 30, 1), 70);
    EXPECT_EQ(mixChannels(100, 30, -1), -70);
    EXPECT_EQ(mixChannels(32767, -32768, 1), 32767);
    EXPECT_EQ(mixChannels(32767, -32768, -1), -32768);
    EXPECT_EQ(mixChannels(-32768, 32767, 1), -32768);
}

TEST(Run, ProcessingOffCopiesTheOriginalWithNoVoice) {
    const Geometry g = geometry();
    Signals sig(40000, processing::MaxVadFrames, 12345); // stale content from "an earlier signal"
    FrameControls c;
    c.processEnabled = false;
    RunResult r = runProcessing(params(2), sig.s, fixed(c));
    const int32_t expected = runLength(frameCount(40000, g.L, g.S), g.L, g.S);
    EXPECT_EQ(sig.changedLength, expected);
    EXPECT_LE(sig.changedLength, 40000);
    EXPECT_FALSE(r.stopped);
    for (int ch = 0; ch < 2; ++ch) {
        for (int32_t i = 0; i < expected; ++i)
            ASSERT_EQ(sig.changed[ch][i], sig.orig[ch][i]) << ch << " " << i;
        EXPECT_EQ(sig.changed[ch][expected], 12345); // nothing written past the length
        for (int32_t m = 0; m < sig.vadCount; ++m)
            ASSERT_EQ(sig.vad[ch][m], 0);
    }
}

TEST(Run, UnityGainIsAlignedWithTheOriginal) {
    // A floor of 0 dB suppresses nothing: the output must be the input at the
    // same sample positions, from the first sample to the last.
    Signals sig(30000);
    FrameControls c;
    RunResult r = runProcessing(params(2, 0.0f), sig.s, fixed(c));
    ASSERT_GT(r.frameCount, 0);
    ASSERT_GT(sig.changedLength, 0);
    int worst = 0;
    for (int ch = 0; ch < 2; ++ch)
        for (int32_t i = 0; i < sig.changedLength; ++i)
            worst = std::max(worst, std::abs(sig.changed[ch][i] - sig.orig[ch][i]));
    EXPECT_LE(worst, 1);
}

TEST(Run, MixedPathGivesBothChannelsTheSameSignal) {
    Signals sig(20000);
    sig.orig[0][500] = 32000;
    sig.orig[1][500] = -32000;
    FrameControls c;
    c.autoMix = true;
    c.methodMix = false; // R - L
    c.processEnabled = false;
    runProcessing(params(2), sig.s, fixed(c));
    for (int32_t i = 0; i < sig.changedLength; ++i) {
        ASSERT_EQ(sig.changed[0][i], sig.changed[1][i]);
        ASSERT_EQ(sig.changed[0][i], mixChannels(sig.orig[0][i], sig.orig[1][i], -1));
    }
    EXPECT_EQ(sig.changed[0][500], -32768);

    Signals on(20000);
    c.processEnabled = true;
    runProcessing(params(2), on.s, fixed(c));
    EXPECT_EQ(on.changed[0], on.changed[1]);
    EXPECT_EQ(std::vector<uint8_t>(on.vad[0].begin(), on.vad[0].begin() + on.vadCount),
              std::vector<uint8_t>(on.vad[1].begin(), on.vad[1].begin() + on.vadCount));
}

TEST(Run, MonoRunLeavesTheRightChannelAlone) {
    Signals sig(20000, processing::MaxVadFrames, 777);
    FrameControls c;
    runProcessing(params(1), sig.s, fixed(c));
    EXPECT_GT(sig.changedLength, 0);
    for (int16_t v : sig.changed[1])
        ASSERT_EQ(v, 777);
    for (int32_t m = 0; m < sig.vadCount + 16; ++m)
        ASSERT_EQ(sig.vad[1][m], 0xEE);
}

TEST(Run, StopSilencesTheRestAndKeepsTheLength) {
    const Geometry g = geometry();
    Signals full(30000), stopped(30000, processing::MaxVadFrames, 555);
    FrameControls c;
    c.processEnabled = false;
    runProcessing(params(2), full.s, fixed(c));
    RunHooks h = fixed(c);
    int frames = 0;
    std::vector<int32_t> lengths;
    h.afterFrame = [&] {
        lengths.push_back(stopped.changedLength);
        return ++frames == 10;
    };
    RunResult r = runProcessing(params(2), stopped.s, h);
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(r.framesProcessed, 10);
    EXPECT_EQ(stopped.changedLength, full.changedLength);
    EXPECT_EQ(stopped.vadCount, full.vadCount);
    // The changed signal grew while the run went on.
    for (std::size_t i = 1; i < lengths.size(); ++i)
        EXPECT_GE(lengths[i], lengths[i - 1]);
    const int32_t reached = lengths.back();
    EXPECT_GT(reached, 0);
    for (int ch = 0; ch < 2; ++ch) {
        for (int32_t i = 0; i < reached; ++i)
            ASSERT_EQ(stopped.changed[ch][i], stopped.orig[ch][i]);
        for (int32_t i = reached; i < stopped.changedLength; ++i)
            ASSERT_EQ(stopped.changed[ch][i], 0) << i;
        for (int32_t m = int32_t(reached / g.S) + 1; m < stopped.vadCount; ++m)
            ASSERT_EQ(stopped.vad[ch][m], 0);
    }
}

TEST(Run, ControlsAreReadForEveryFrame) {
    Signals sig(30000);
    int calls = 0;
    RunHooks h;
    h.controls = [&] {
        FrameControls c;
        c.processEnabled = (++calls % 2) == 0;
        return c;
    };
    RunResult r = runProcessing(params(1), sig.s, h);
    EXPECT_EQ(calls, r.framesProcessed);
    EXPECT_GT(calls, r.frameCount); // includes the frames that flush the engine's delay
}

TEST(Run, TooShortSignalProcessesNothing) {
    const Geometry g = geometry();
    Signals sig(int32_t(g.L) - 1, processing::MaxVadFrames, 99);
    int calls = 0;
    RunHooks h;
    h.controls = [&] {
        ++calls;
        return FrameControls{};
    };
    RunResult r = runProcessing(params(2), sig.s, h);
    EXPECT_EQ(r.frameCount, 0);
    EXPECT_EQ(r.framesProcessed, 0);
    EXPECT_EQ(calls, 0);
    EXPECT_EQ(sig.changedLength, 0);
    EXPECT_EQ(sig.vadCount, 0);
    Signals empty(0);
    runProcessing(params(1), empty.s, h);
    EXPECT_EQ(empty.changedLength, 0);
}

TEST(Run, VoiceRecordNeverOverrunsItsCapacity) {
    Signals sig(40000, 5);
    FrameControls c;
    runProcessing(params(2), sig.s, fixed(c));
    EXPECT_EQ(sig.vadCount, 5);
    for (int ch = 0; ch < 2; ++ch)
        for (int m = 5; m < 5 + 16; ++m)
            ASSERT_EQ(sig.vad[ch][m], 0xEE);
}

TEST(Run, ChangedCapacityBoundsTheOutput) {
    Signals sig(40000);
    sig.s.changedCapacity = 10000;
    FrameControls c;
    c.processEnabled = false;
    runProcessing(params(2), sig.s, fixed(c));
    EXPECT_EQ(sig.changedLength, 10000);
    for (int ch = 0; ch < 2; ++ch)
        EXPECT_EQ(sig.changed[ch][10000], 0);
}

TEST(Elapsed, FormattedSeconds) {
    EXPECT_EQ(formatElapsedSeconds(0), "0.000");
    EXPECT_EQ(formatElapsedSeconds(1234567), "1,234.567");
    EXPECT_EQ(formatElapsedSeconds(3600005), "3,600.005");
    EXPECT_EQ(formatElapsedSeconds(999), "0.999");
    EXPECT_EQ(formatElapsedSeconds(1234567890123), "1,234,567,890.123");
}

TEST(Channels, SplitKeepsTwoAndZeroesMonoRight) {
    std::vector<int16_t> a(8, 5), b(8, 5);
    int16_t* dst[2] = {a.data(), b.data()};
    const int16_t mono[3] = {1, 2, 3};
    EXPECT_EQ(splitChannels(mono, 3, 1, dst, 8), 3);
    EXPECT_EQ(a, (std::vector<int16_t>{1, 2, 3, 5, 5, 5, 5, 5}));
    EXPECT_EQ(b, (std::vector<int16_t>{0, 0, 0, 5, 5, 5, 5, 5}));
    const int16_t three[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    EXPECT_EQ(splitChannels(three, 3, 3, dst, 2), 2); // capacity cut
    EXPECT_EQ(a[0], 1);
    EXPECT_EQ(a[1], 4);
    EXPECT_EQ(b[0], 2);
    EXPECT_EQ(b[1], 5);
    EXPECT_EQ(a[2], 3); // untouched beyond the capacity
    std::vector<int16_t> out(4);
    const int16_t* src[2] = {a.data(), b.data()};
    joinChannels(src, 2, 2, out.data());
    EXPECT_EQ(out, (std::vector<int16_t>{1, 2, 4, 5}));
}

} // namespace
