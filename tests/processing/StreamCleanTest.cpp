// The streamed cleaning against the processing run: every sample the run
// yields comes out the same, the stream adds exactly the missing tail, and
// how the input is cut into blocks changes nothing.

#include "processing/StreamClean.h"
#include "processing/ProcessingRun.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

using namespace processing;

namespace {

std::vector<int16_t> signal(int frames, int channels, uint32_t seed) {
    std::vector<int16_t> s(std::size_t(frames) * channels);
    uint32_t lcg = seed;
    for (int i = 0; i < frames; ++i)
        for (int c = 0; c < channels; ++c) {
            lcg = lcg * 1664525u + 1013904223u;
            const double speech = (i / 3000) % 2 ? 9000 * std::sin(i * 0.05 * (c + 1)) : 0;
            s[std::size_t(i) * channels + c] = int16_t(speech + double(int32_t(lcg) >> 20));
        }
    return s;
}

struct Case {
    int rate, channels, frames;
    FrameControls controls;
    uint8_t select = 1;
};

// The window's run over the same interleaved signal (its first two channels).
std::vector<int16_t> runOf(const Case& k, const std::vector<int16_t>& in, int32_t& length) {
    const int ch = std::min(k.channels, 2);
    std::vector<int16_t> o0(k.frames), o1(k.frames), c0(k.frames), c1(k.frames);
    for (int i = 0; i < k.frames; ++i) {
        o0[i] = in[std::size_t(i) * k.channels];
        o1[i] = in[std::size_t(i) * k.channels + (k.channels > 1 ? 1 : 0)];
    }
    std::vector<uint8_t> v0(k.frames + 1), v1(k.frames + 1);
    int32_t changedLength = 0, vadCount = 0;
    RunSignal s;
    s.orig[0] = o0.data();
    s.orig[1] = o1.data();
    s.origLength = k.frames;
    s.changed[0] = c0.data();
    s.changed[1] = c1.data();
    s.changedCapacity = k.frames;
    s.vad[0] = v0.data();
    s.vad[1] = v1.data();
    s.vadCapacity = k.frames + 1;
    s.changedLength = &changedLength;
    s.vadCount = &vadCount;
    RunParameters p;
    p.sampleRate = k.rate;
    p.channels = ch;
    p.method = k.controls.method;
    p.selectClearSpeech = k.select;
    RunHooks hooks;
    hooks.controls = [&] { return k.controls; };
    auto blocks = std::make_unique<processing::EngineBlock[]>(2);
    runProcessing(p, s, hooks, blocks.get());
    length = changedLength;
    std::vector<int16_t> out(std::size_t(length) * ch);
    for (int i = 0; i < length; ++i) {
        out[std::size_t(i) * ch] = c0[i];
        if (ch == 2)
            out[std::size_t(i) * ch + 1] = c1[i];
    }
    return out;
}

std::vector<int16_t> streamOf(const Case& k, const std::vector<int16_t>& in,
                              std::size_t blockFrames) {
    RunParameters p;
    p.sampleRate = k.rate;
    p.channels = std::min(k.channels, 2);
    p.method = k.controls.method;
    p.selectClearSpeech = k.select;
    auto blocks = std::make_unique<processing::EngineBlock[]>(2);
    StreamCleaner sc(p, k.controls, blocks.get());
    EXPECT_TRUE(sc.usable());
    std::vector<int16_t> out;
    for (std::size_t at = 0; at < std::size_t(k.frames); at += blockFrames) {
        const std::size_t n = std::min(blockFrames, std::size_t(k.frames) - at);
        sc.push(in.data() + at * k.channels, n, k.channels, out);
    }
    sc.finish(out);
    EXPECT_EQ(sc.framesOut(), uint64_t(k.frames));
    return out;
}

TEST(StreamClean, SameSamplesAsTheRunAndExactlyAsLong) {
    FrameControls plain;
    FrameControls mixRL;
    mixRL.autoMix = true;
    mixRL.methodMix = false;
    FrameControls off;
    off.processEnabled = false;
    FrameControls eq;
    static const float gains[4] = {1.0f, 0.5f, 0.25f, 1.0f};
    eq.useEqualizer = true;
    eq.eqGains = gains;
    eq.eqPointCount = 4;
    eq.method = 0;
    FrameControls m1;
    m1.method = 1;
    const Case cases[] = {
        {16000, 1, 40000, plain},
        {48000, 2, 48000 * 2 + 384, plain},
        {8000, 2, 20011, mixRL},
        {22050, 1, 30000, off},
        {16000, 2, 33333, off},
        {11025, 1, 25000, eq},
        {32000, 3, 40000, m1},
        {16000, 1, 300, plain},
        {16000, 1, 20000, plain, 0},
        {16000, 2, 17000,
         [] {
             FrameControls c;
             c.autoMix = true;
             c.processEnabled = false;
             return c;
         }()},
    };
    for (const Case& k : cases) {
        SCOPED_TRACE(::testing::Message()
                     << k.rate << " Hz, " << k.channels << " ch, " << k.frames << " frames");
        const auto in = signal(k.frames, k.channels, uint32_t(k.frames));
        int32_t runLength = 0;
        const auto run = runOf(k, in, runLength);
        const auto stream = streamOf(k, in, 4096);
        const std::size_t ch = std::size_t(std::min(k.channels, 2));
        ASSERT_EQ(stream.size(), std::size_t(k.frames) * ch);
        ASSERT_LE(run.size(), stream.size());
        EXPECT_TRUE(std::equal(run.begin(), run.end(), stream.begin()));
        if (!k.controls.processEnabled && !k.controls.autoMix) {
            // Unprocessed output is the input's first channels, to the last sample.
            for (int i = 0; i < k.frames; ++i)
                for (std::size_t c = 0; c < ch; ++c)
                    ASSERT_EQ(stream[i * ch + c], in[std::size_t(i) * k.channels + c]) << i;
        }
        // The tail beyond the run is cleaned signal, not silence (the input is never silent here).
        if (k.controls.processEnabled && k.select && run.size() < stream.size() &&
            k.frames > 1000) {
            bool nonzero = false;
            for (std::size_t i = run.size(); i < stream.size(); ++i)
                nonzero |= stream[i] != 0;
            EXPECT_TRUE(nonzero);
        }
    }
}

TEST(StreamClean, BlockSizeDoesNotMatter) {
    Case k{16000, 2, 25000, FrameControls{}};
    const auto in = signal(k.frames, k.channels, 7);
    const auto a = streamOf(k, in, 1);
    const auto b = streamOf(k, in, 777);
    const auto c = streamOf(k, in, 1 << 20);
    EXPECT_EQ(a, b);
    EXPECT_EQ(a, c);
}

TEST(StreamClean, EmptyInputGivesNothing) {
    RunParameters p;
    auto blocks = std::make_unique<processing::EngineBlock[]>(2);
    StreamCleaner sc(p, FrameControls{}, blocks.get());
    std::vector<int16_t> out;
    sc.finish(out);
    EXPECT_TRUE(out.empty());
}

} // namespace
