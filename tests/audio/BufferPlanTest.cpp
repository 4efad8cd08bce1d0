#include "audio/WaveDevice.h"

#include <gtest/gtest.h>

namespace {

struct PlanRow {
    uint32_t rate;
    audio::BufferPlan mono;
    audio::BufferPlan stereo;
};

TEST(BufferPlan, GivesTheDuplexTableForEveryOfferedRate) {
    const PlanRow rows[] = {
        {8000, {10, 320}, {8, 1000}},    {11025, {10, 441}, {8, 1378}},
        {16000, {10, 640}, {8, 2000}},   {22050, {10, 882}, {8, 2756}},
        {32000, {10, 1280}, {8, 3000}},  {44100, {10, 1764}, {10, 3000}},
        {48000, {10, 1920}, {10, 3000}}, {12000, {10, 480}, {10, 1500}},
    };
    for (const PlanRow& r : rows) {
        const audio::BufferPlan m = audio::bufferPlan(r.rate, 1);
        const audio::BufferPlan s = audio::bufferPlan(r.rate, 2);
        EXPECT_EQ(m.count, r.mono.count) << r.rate << " Hz mono";
        EXPECT_EQ(m.samples, r.mono.samples) << r.rate << " Hz mono";
        EXPECT_EQ(s.count, r.stereo.count) << r.rate << " Hz stereo";
        EXPECT_EQ(s.samples, r.stereo.samples) << r.rate << " Hz stereo";
    }
}

TEST(BufferPlan, StaysWithinTheStreamSlotsForAnyRate) {
    for (uint32_t rate = 1000; rate <= 200000; rate += 7) {
        for (uint32_t channels : {1u, 2u}) {
            const audio::BufferPlan p = audio::bufferPlan(rate, channels);
            ASSERT_GE(p.count, 1);
            ASSERT_LE(p.count, 10);
            ASSERT_LE(p.count, audio::MaxStreamBuffers);
            ASSERT_LE(p.samples, audio::MaxBufferSamples);
            ASSERT_LE(p.samples, audio::StreamSlotSamples);
            // Whole frames only, so the channels never swap at a buffer edge.
            ASSERT_EQ(p.samples % int32_t(channels), 0) << rate << " Hz, " << channels;
        }
    }
    // 8008 Hz stereo: 16016 / 16 = 1001 samples would end mid-frame.
    EXPECT_EQ(audio::bufferPlan(8008, 2).samples, 1000);
}

} // namespace
