// The sample flow of full duplex: FIFO bounds, the 30-second window that
// scrolls both signals and the selection, and the live engine step against
// the per-frame rule applied by hand.

#include "audio/DuplexFlow.h"

#include <gtest/gtest.h>

#include <numeric>
#include <vector>

namespace {

std::vector<int16_t> ramp(int32_t n, int16_t from = 0) {
    std::vector<int16_t> v(static_cast<std::size_t>(n));
    std::iota(v.begin(), v.end(), from);
    return v;
}

TEST(DuplexFifo, AppendsConsumesAndDropsTheOldestWholeFrames) {
    std::vector<int16_t> fifo(10, -1);
    int32_t fill = 0;
    const std::vector<int16_t> a = ramp(6, 0);
    EXPECT_EQ(audio::fifoAppend(fifo.data(), fill, 10, a.data(), 6, 2), 0);
    EXPECT_EQ(fill, 6);
    audio::fifoConsume(fifo.data(), fill, 2);
    EXPECT_EQ(fill, 4);
    EXPECT_EQ(fifo[0], 2);
    EXPECT_EQ(fifo[3], 5);
    // 4 + 8 > 10: the two oldest samples (one stereo frame) go, not half a frame.
    const std::vector<int16_t> b = ramp(8, 100);
    EXPECT_EQ(audio::fifoAppend(fifo.data(), fill, 10, b.data(), 8, 2), 2);
    EXPECT_EQ(fill, 10);
    EXPECT_EQ(fifo[0], 4);
    EXPECT_EQ(fifo[2], 100);
    EXPECT_EQ(fifo[9], 107);
    // A mono FIFO with capacity 5 drops exactly what does not fit.
    std::vector<int16_t> m(5);
    int32_t mf = 0;
    audio::fifoAppend(m.data(), mf, 5, a.data(), 4, 1);
    EXPECT_EQ(audio::fifoAppend(m.data(), mf, 5, b.data(), 3, 1), 2);
    EXPECT_EQ(m[0], 2);
    EXPECT_EQ(m[4], 102);
    // Consuming more than the fill empties it and no more.
    audio::fifoConsume(m.data(), mf, 99);
    EXPECT_EQ(mf, 0);
}

TEST(DuplexFifo, ABlockLargerThanTheFifoKeepsItsNewestFrames) {
    std::vector<int16_t> fifo(7);
    int32_t fill = 3;
    const std::vector<int16_t> big = ramp(12, 0);
    EXPECT_EQ(audio::fifoAppend(fifo.data(), fill, 7, big.data(), 12, 2), 3 + 6);
    EXPECT_EQ(fill, 6); // three whole frames
    EXPECT_EQ(fifo[0], 6);
    EXPECT_EQ(fifo[5], 11);
}

struct Pair {
    std::vector<int16_t> l, r;
    int32_t length = 0;
    audio::ChannelPair view(int32_t capacity) {
        l.assign(std::size_t(capacity), 7);
        r.assign(std::size_t(capacity), 7);
        return audio::ChannelPair{{l.data(), r.data()}, &length, capacity};
    }
};

TEST(DuplexWindow, AppendsDeinterleaveAndMonoSilencesTheRight) {
    Pair p;
    audio::ChannelPair s = p.view(10);
    const int16_t stereo[] = {1, -1, 2, -2, 3, -3};
    EXPECT_EQ(audio::appendFrames(s, stereo, 3, 2), 3);
    const int16_t mono[] = {9, 8};
    EXPECT_EQ(audio::appendFrames(s, mono, 2, 1), 2);
    EXPECT_EQ(p.length, 5);
    EXPECT_EQ((std::vector<int16_t>(p.l.begin(), p.l.begin() + 5)),
              (std::vector<int16_t>{1, 2, 3, 9, 8}));
    EXPECT_EQ((std::vector<int16_t>(p.r.begin(), p.r.begin() + 5)),
              (std::vector<int16_t>{-1, -2, -3, 0, 0}));
    // The capacity holds.
    const std::vector<int16_t> more = ramp(20);
    EXPECT_EQ(audio::appendFrames(s, more.data(), 10, 2), 5);
    EXPECT_EQ(p.length, 10);
    EXPECT_EQ(audio::appendFrames(s, more.data(), 1, 1), 0);
}

TEST(DuplexWindow, BothSignalsScrollTogetherAndTheSelectionFollows) {
    Pair o, c;
    audio::ChannelPair orig = o.view(100), changed = c.view(100);
    const std::vector<int16_t> block = ramp(10);
    int32_t selStart = 12, selEnd = 15;
    // Up to the window (30 frames) nothing moves.
    for (int i = 0; i < 3; ++i) {
        audio::appendFrames(orig, block.data(), 10, 1);
        audio::appendFrames(changed, block.data(), 10, 1);
        audio::scrollCaptureWindow(orig, changed, 10, 30, 10, selStart, selEnd);
    }
    EXPECT_EQ(o.length, 30);
    EXPECT_EQ(c.length, 30);
    EXPECT_EQ(selStart, 12);
    // One buffer more: both lose their first buffer, the selection moves left.
    audio::appendFrames(orig, block.data(), 10, 1);
    audio::scrollCaptureWindow(orig, changed, 10, 30, 10, selStart, selEnd);
    EXPECT_EQ(o.length, 30);
    EXPECT_EQ(c.length, 20);
    EXPECT_EQ(o.l[0], 0);
    EXPECT_EQ(selStart, 2);
    EXPECT_EQ(selEnd, 5);
    // Once its start would go below 0 the selection stays put.
    audio::appendFrames(orig, block.data(), 10, 1);
    audio::scrollCaptureWindow(orig, changed, 10, 30, 10, selStart, selEnd);
    EXPECT_EQ(selStart, 2);
    EXPECT_EQ(selEnd, 5);
    // A changed signal no longer than one output buffer is left alone.
    Pair c2;
    audio::ChannelPair shortChanged = c2.view(100);
    audio::appendFrames(shortChanged, block.data(), 10, 1);
    audio::appendFrames(orig, block.data(), 10, 1);
    audio::scrollCaptureWindow(orig, shortChanged, 10, 30, 10, selStart, selEnd);
    EXPECT_EQ(c2.length, 10);
}

class LiveStep : public ::testing::Test {
  protected:
    processing::EngineBlock blocks[2] = {};
    processing::EngineBlock reference[2] = {};
    void SetUp() override {
        const processing::EngineSettings s =
            processing::engineSettingsAt(8000, processing::EngineParameters{});
        for (processing::EngineBlock* b : {&blocks[0], &blocks[1], &reference[0], &reference[1]})
            processing::restartEngine(*b, s);
    }
    static audio::LiveControls controls(bool processEnabled, bool autoMix = false) {
        audio::LiveControls c;
        c.params.sampleRate = 8000;
        c.params.method = 2;
        c.frame.processEnabled = processEnabled;
        c.frame.autoMix = autoMix;
        return c;
    }
    static std::vector<int16_t> noise(int32_t n, uint32_t seed) {
        std::vector<int16_t> v(static_cast<std::size_t>(n));
        for (auto& s : v) {
            seed = seed * 1664525u + 1013904223u;
            s = int16_t(int32_t(seed >> 16) % 3000 - 1500);
        }
        return v;
    }
};

TEST_F(LiveStep, CleansHopByHopExactlyAsThePerFrameRule) {
    const uint32_t F = processing::engineFrameLength(blocks[0]),
                   H = processing::engineFrameStep(blocks[0]);
    ASSERT_GT(H, 0u);
    const int32_t frames = int32_t(F + 5 * H + 17);
    std::vector<int16_t> input = noise(frames * 2, 1);
    std::vector<int16_t> in(static_cast<std::size_t>(audio::FifoCapacity)),
        out(static_cast<std::size_t>(audio::FifoCapacity));
    int32_t inFill = 0, outFill = 0;
    audio::fifoAppend(in.data(), inFill, audio::FifoCapacity, input.data(), int32_t(input.size()),
                      2);
    audio::LiveStreams io{in.data(), &inFill, 2, out.data(), &outFill, audio::FifoCapacity, 2};
    int reads = 0;
    const int32_t steps = audio::liveStep(
        io,
        [&] {
            ++reads;
            return controls(true);
        },
        blocks);
    // It goes on while a whole frame is waiting: what is left is less than one.
    EXPECT_EQ(steps, int32_t((frames - F) / H + 1));
    EXPECT_EQ(reads, steps); // the controls are read again for every block
    EXPECT_LT(inFill, int32_t(2 * F));
    EXPECT_EQ(inFill, (frames - steps * int32_t(H)) * 2);
    EXPECT_EQ(outFill, steps * int32_t(H) * 2);
    // The input left over is the input's tail.
    EXPECT_EQ(in[0], input[std::size_t(steps) * H * 2]);

    // The same input through frameStepRule on a second pair of blocks.
    std::vector<int16_t> expected;
    const audio::LiveControls c = [] {
        audio::LiveControls k = controls(true);
        k.params.channels = 2;
        return k;
    }();
    for (int32_t s = 0; s < steps; ++s) {
        std::vector<int16_t> l(H), r(H), ol(H), orr(H);
        for (uint32_t j = 0; j < H; ++j) {
            l[j] = input[(s * H + j) * 2];
            r[j] = input[(s * H + j) * 2 + 1];
        }
        const int16_t* const fin[2] = {l.data(), r.data()};
        int16_t* const fout[2] = {ol.data(), orr.data()};
        uint8_t vad[2];
        processing::frameStepRule(c.params, c.frame, fin, fout, vad, reference);
        for (uint32_t j = 0; j < H; ++j) {
            expected.push_back(ol[j]);
            expected.push_back(orr[j]);
        }
    }
    EXPECT_EQ(std::vector<int16_t>(out.begin(), out.begin() + outFill), expected);
}

TEST_F(LiveStep, ChannelCountsOfInputAndOutputMayDiffer) {
    const uint32_t F = processing::engineFrameLength(blocks[0]),
                   H = processing::engineFrameStep(blocks[0]);
    std::vector<int16_t> in(static_cast<std::size_t>(audio::FifoCapacity)),
        out(static_cast<std::size_t>(audio::FifoCapacity));
    // Stereo in, mono out, processing off: the Left samples.
    std::vector<int16_t> stereo(std::size_t(F) * 2);
    for (uint32_t i = 0; i < F; ++i) {
        stereo[i * 2] = int16_t(i);
        stereo[i * 2 + 1] = int16_t(-1000 - int(i));
    }
    int32_t inFill = 0, outFill = 0;
    audio::fifoAppend(in.data(), inFill, audio::FifoCapacity, stereo.data(), int32_t(stereo.size()),
                      2);
    audio::LiveStreams a{in.data(), &inFill, 2, out.data(), &outFill, audio::FifoCapacity, 1};
    EXPECT_EQ(audio::liveStep(
                  a, [] { return controls(false); }, blocks),
              1);
    ASSERT_EQ(outFill, int32_t(H));
    for (uint32_t j = 0; j < H; ++j)
        EXPECT_EQ(out[j], int16_t(j));
    // Mono in, stereo out: both channels carry the sample.
    const std::vector<int16_t> mono = ramp(int32_t(F), 50);
    inFill = outFill = 0;
    audio::fifoAppend(in.data(), inFill, audio::FifoCapacity, mono.data(), int32_t(F), 1);
    audio::LiveStreams b{in.data(), &inFill, 1, out.data(), &outFill, audio::FifoCapacity, 2};
    EXPECT_EQ(audio::liveStep(
                  b, [] { return controls(false); }, blocks),
              1);
    ASSERT_EQ(outFill, int32_t(2 * H));
    for (uint32_t j = 0; j < H; ++j) {
        EXPECT_EQ(out[2 * j], int16_t(50 + j));
        EXPECT_EQ(out[2 * j + 1], int16_t(50 + j));
    }
    // Stereo with the mix: both outputs carry L - R.
    inFill = outFill = 0;
    audio::fifoAppend(in.data(), inFill, audio::FifoCapacity, stereo.data(), int32_t(stereo.size()),
                      2);
    audio::LiveStreams m{in.data(), &inFill, 2, out.data(), &outFill, audio::FifoCapacity, 2};
    EXPECT_EQ(audio::liveStep(
                  m, [] { return controls(false, true); }, blocks),
              1);
    EXPECT_EQ(out[0], int16_t(0 - (-1000)));
    EXPECT_EQ(out[1], out[0]);
    EXPECT_EQ(out[2 * 5], int16_t(5 + 1005));
}

TEST_F(LiveStep, WaitsForAWholeFrameAndNeverSpinsOnAnEmptyEngine) {
    const uint32_t F = processing::engineFrameLength(blocks[0]);
    std::vector<int16_t> in(static_cast<std::size_t>(audio::FifoCapacity)),
        out(static_cast<std::size_t>(audio::FifoCapacity));
    const std::vector<int16_t> part = ramp(int32_t(F) - 1);
    int32_t inFill = 0, outFill = 0;
    audio::fifoAppend(in.data(), inFill, audio::FifoCapacity, part.data(), int32_t(part.size()), 1);
    audio::LiveStreams io{in.data(), &inFill, 1, out.data(), &outFill, audio::FifoCapacity, 1};
    EXPECT_EQ(audio::liveStep(
                  io, [] { return controls(true); }, blocks),
              0);
    EXPECT_EQ(inFill, int32_t(F) - 1);
    // Blocks never initialised report a zero step: nothing is consumed.
    processing::EngineBlock blank[2] = {};
    audio::fifoAppend(in.data(), inFill, audio::FifoCapacity, part.data(), int32_t(part.size()), 1);
    EXPECT_EQ(audio::liveStep(
                  io, [] { return controls(true); }, blank),
              0);
    EXPECT_EQ(outFill, 0);
}

TEST_F(LiveStep, AFullOutputFifoLosesItsOldestSamplesNotTheNewest) {
    const uint32_t F = processing::engineFrameLength(blocks[0]),
                   H = processing::engineFrameStep(blocks[0]);
    std::vector<int16_t> in(static_cast<std::size_t>(audio::FifoCapacity)),
        out(static_cast<std::size_t>(H) * 2);
    const std::vector<int16_t> mono = ramp(int32_t(F + 2 * H), 1);
    int32_t inFill = 0, outFill = 0;
    audio::fifoAppend(in.data(), inFill, audio::FifoCapacity, mono.data(), int32_t(mono.size()), 1);
    audio::LiveStreams io{in.data(), &inFill, 1, out.data(), &outFill, int32_t(H) * 2, 1};
    EXPECT_EQ(audio::liveStep(
                  io, [] { return controls(false); }, blocks),
              3);
    EXPECT_EQ(outFill, int32_t(H) * 2);
    EXPECT_EQ(out[0], int16_t(1 + H)); // the first hop was dropped
    EXPECT_EQ(out[2 * H - 1], int16_t(3 * H));
}

} // namespace
