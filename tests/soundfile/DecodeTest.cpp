// Sample conversions, block geometry, and damaged or hostile data.

#include "soundfile/WavFile.h"
#include "soundfile/WavLoad.h"
#include "tests/soundfile/TestFiles.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <memory>

using namespace testfiles;

namespace {

struct Result {
    bool ok = false;
    int32_t frames = -1;
    std::vector<int16_t> samples;
    soundfile::WavHeaderInfo header;
};

Result decode(const std::vector<uint8_t>& image, const char* name = "decode.wav") {
    const std::string path = scratch(name);
    writeBytes(path, image);
    Result r;
    int16_t* block = nullptr;
    r.ok = soundfile::readWavSamples(r.header, path, r.frames, block);
    std::unique_ptr<int16_t[]> owned(block);
    if (r.ok)
        r.samples.assign(block, block + std::size_t(r.frames) * r.header.channels);
    return r;
}

TEST(Conversions, EightBitPcm) {
    EXPECT_EQ(soundfile::pcm8ToSample(0), -32768);
    EXPECT_EQ(soundfile::pcm8ToSample(128), 0);
    EXPECT_EQ(soundfile::pcm8ToSample(255), 32512);
    Fmt f;
    f.bits = 8;
    f.blockAlign = 1;
    Result r = decode(wavImage(f, {0, 128, 255}));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{-32768, 0, 32512}));
}

TEST(Conversions, FloatRoundsTiesToEvenAndWraps) {
    EXPECT_EQ(soundfile::floatToSample(1.0f), 32767);
    EXPECT_EQ(soundfile::floatToSample(-1.0f), -32767);
    EXPECT_EQ(soundfile::floatToSample(0.5f), 16384); // 16383.5 to even
    EXPECT_EQ(soundfile::floatToSample(-0.5f), -16384);
    EXPECT_EQ(soundfile::floatToSample(1.5f), -16386); // 49150.5 -> 49150, wrapped
    EXPECT_EQ(soundfile::floatToSample(2.0f), 65534 - 65536);
    EXPECT_EQ(soundfile::floatToSample(1e30f), soundfile::floatToSample(1e30f)); // defined, no trap
    EXPECT_EQ(soundfile::floatToSample(std::numeric_limits<float>::quiet_NaN()), 0);
    EXPECT_EQ(soundfile::floatToSample(std::numeric_limits<float>::infinity()), 32767);
    EXPECT_EQ(soundfile::floatToSample(-std::numeric_limits<float>::infinity()), -32767);
    EXPECT_EQ(soundfile::floatToSample(std::numeric_limits<float>::max()),
              soundfile::floatToSample(std::numeric_limits<float>::max()));
}

TEST(Conversions, G711Tables) {
    EXPECT_EQ(soundfile::aLawToSample(0x00), -5504);
    EXPECT_EQ(soundfile::aLawToSample(0x55), -8);
    EXPECT_EQ(soundfile::aLawToSample(0xD5), 8);
    EXPECT_EQ(soundfile::muLawToSample(0x00), -32124);
    EXPECT_EQ(soundfile::muLawToSample(0x7F), 0);
    EXPECT_EQ(soundfile::muLawToSample(0x80), 32124);
    EXPECT_EQ(soundfile::muLawToSample(0xFF), 0);
}

TEST(Geometry, SamplesPerBlock) {
    EXPECT_EQ(soundfile::msAdpcmSamplesPerBlock(256, 1), 500);
    EXPECT_EQ(soundfile::msAdpcmSamplesPerBlock(512, 2), 500);
    EXPECT_EQ(soundfile::imaAdpcmSamplesPerBlock(256, 1), 505);
    EXPECT_EQ(soundfile::imaAdpcmSamplesPerBlock(512, 2), 505);
    EXPECT_EQ(soundfile::msAdpcmSamplesPerBlock(6, 1), 0);
    EXPECT_EQ(soundfile::imaAdpcmSamplesPerBlock(7, 2), 0);
    EXPECT_EQ(soundfile::msAdpcmSamplesPerBlock(256, 0), 0);
}

TEST(Geometry, GsmBlocksGive320FramesEach) {
    Fmt f;
    f.tag = 49;
    f.blockAlign = 65;
    f.bits = 0;
    Result r = decode(wavImage(f, std::vector<uint8_t>(650, 0)));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.frames, 3200);
}

TEST(Geometry, MsAdpcmCountsAPartialLastBlock) {
    Fmt f;
    f.tag = 2;
    f.blockAlign = 256;
    f.bits = 4;
    std::vector<uint8_t> data(256 + 100, 0);
    data[2] = 16; // delta of block 0
    Result r = decode(wavImage(f, data));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.frames, 1000);
}

TEST(Geometry, ImaDropsAPartialLastBlock) {
    Fmt f;
    f.tag = 17;
    f.blockAlign = 256;
    f.bits = 4;
    Result r = decode(wavImage(f, std::vector<uint8_t>(256 * 2 + 100, 0)));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.frames, 1010);
}

TEST(Refusals, UnsupportedFormatsLeaveTheBlockAlone) {
    const std::string path = scratch("refused.wav");
    const std::vector<Fmt> refused = {
        fmtOf(85, 1, 16, 2),  // an unknown tag
        fmtOf(17, 1, 3, 256), // 3-bit IMA ADPCM
        fmtOf(1, 0, 16, 2),   // no channels
        fmtOf(1, 1, 16, 0),   // no block align
        fmtOf(2, 2, 16, 10),  // an MS ADPCM block too small for its header
        fmtOf(17, 1, 4, 3),   // an IMA ADPCM block too small for its header
        fmtOf(49, 2, 16, 65), // stereo GSM
        fmtOf(6, 1, 16, 2),   // A-law of two bytes a sample
        fmtOf(1, 1, 16, 5),   // PCM with a block align of 5
    };
    for (std::size_t i = 0; i < refused.size(); ++i) {
        writeBytes(path, wavImage(refused[i], std::vector<uint8_t>(512, 1)));
        soundfile::WavHeaderInfo h;
        int32_t frames = 99;
        int16_t keep[1] = {42};
        int16_t* block = keep;
        EXPECT_FALSE(soundfile::readWavSamples(h, path, frames, block)) << "case " << i;
        EXPECT_EQ(frames, 0) << "case " << i;
        EXPECT_EQ(block, keep) << "case " << i;
    }
    soundfile::WavHeaderInfo h;
    int32_t frames = 5;
    int16_t* block = nullptr;
    EXPECT_FALSE(soundfile::readWavSamples(h, scratch("does-not-exist.wav"), frames, block));
    EXPECT_EQ(frames, 0);
}

TEST(Refusals, LoadWavSaysWhyAndLeavesItsRecordAlone) {
    soundfile::LoadedWav wav;
    wav.frames = 7;
    std::string why;
    const std::string missing = scratch("no-such-file.wav");
    EXPECT_FALSE(soundfile::loadWav(missing, wav, why));
    EXPECT_EQ(why, "cannot open " + missing + ": No such file or directory");

    const std::string text = scratch("not-a-wave.wav");
    writeBytes(text, {'n', 'o', 't', ' ', 'a', ' ', 'w', 'a', 'v', 'e', ' ', 'f', 'i', 'l', 'e'});
    EXPECT_FALSE(soundfile::loadWav(text, wav, why));
    EXPECT_EQ(why, "Unknown format");

    const std::string odd = scratch("odd-encoding.wav");
    Fmt unknownTag;
    unknownTag.tag = 85;
    writeBytes(odd, wavImage(unknownTag, std::vector<uint8_t>(64, 1)));
    EXPECT_FALSE(soundfile::loadWav(odd, wav, why));
    EXPECT_EQ(why, soundfile::kFormatNotSupportedText);
    EXPECT_EQ(wav.frames, 7);
    EXPECT_EQ(wav.samples, nullptr);

    const std::string good = scratch("loads.wav");
    writeBytes(good, wavImage(Fmt{}, le16({5, -6, 7})));
    ASSERT_TRUE(soundfile::loadWav(good, wav, why)) << why;
    ASSERT_EQ(wav.frames, 3);
    EXPECT_EQ(wav.samples[1], -6);
}

TEST(Damaged, DataSizeBeyondTheFileDecodesWhatIsThere) {
    Fmt f;
    f.channels = 2;
    f.blockAlign = 4;
    // Claims 4 GB; holds 3 frames and half of a fourth.
    auto img = wavImage(f, le16({1, 2, 3, 4, 5, 6, 7}), 0xFFFFFFF0u);
    Result r = decode(img);
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.frames, 3);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(r.header.dataSize, 0xFFFFFFF0u);

    for (uint16_t tag : {uint16_t(2), uint16_t(17), uint16_t(49), uint16_t(3), uint16_t(6)}) {
        Fmt g;
        g.tag = tag;
        g.blockAlign = tag == 2 || tag == 17 ? 256 : tag == 49 ? 65 : tag == 3 ? 4 : 1;
        g.bits = tag == 17 ? 4 : 16;
        Result d = decode(wavImage(g, std::vector<uint8_t>(300, 0x11), 0xFFFFFFF0u));
        ASSERT_TRUE(d.ok) << tag;
        EXPECT_LE(d.frames, 1500) << tag; // bounded by the bytes present, not the header
    }
}

TEST(Damaged, ShortMsAdpcmBlockDecodesItsMissingTailAsZeroCodes) {
    Fmt f;
    f.tag = 2;
    f.blockAlign = 256;
    f.bits = 4;
    std::vector<uint8_t> data(20, 0);
    data[1] = 16;  // delta
    data[3] = 100; // sample 1
    data[5] = 50;  // sample 2
    Result a = decode(wavImage(f, data), "short-a.wav");
    auto full = data;
    full.resize(256, 0);
    Result b = decode(wavImage(f, full), "short-b.wav");
    ASSERT_TRUE(a.ok && b.ok);
    EXPECT_EQ(a.samples, b.samples);
}

TEST(Damaged, MsAdpcmPredictorBeyondTheTableActsAsTheFirstPair) {
    Fmt f;
    f.tag = 2;
    f.blockAlign = 64;
    f.bits = 4;
    std::vector<uint8_t> block(64);
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = uint8_t(i * 37 + 11);
    block[1] = 0x40;
    block[2] = 0x00; // delta 64
    auto withIndex = [&](uint8_t idx) {
        auto b = block;
        b[0] = idx;
        return b;
    };
    Result zero = decode(wavImage(f, withIndex(0)), "pred0.wav");
    Result nine = decode(wavImage(f, withIndex(9)), "pred9.wav");
    Result big = decode(wavImage(f, withIndex(255)), "pred255.wav");
    Result two = decode(wavImage(f, withIndex(1)), "pred1.wav");
    ASSERT_TRUE(zero.ok && nine.ok && big.ok && two.ok);
    EXPECT_EQ(nine.samples, zero.samples);
    EXPECT_EQ(big.samples, zero.samples);
    EXPECT_NE(two.samples, zero.samples);
}

TEST(Damaged, ImaStepIndexIsClippedAndSamplesSaturate) {
    Fmt f;
    f.tag = 17;
    f.blockAlign = 36;
    f.bits = 4;
    std::vector<uint8_t> data(36, 0x77); // largest positive code everywhere
    data[0] = 0x00;
    data[1] = 0x7F; // first sample 32512
    data[2] = 200;  // step index far beyond 88
    Result r = decode(wavImage(f, data));
    ASSERT_TRUE(r.ok);
    ASSERT_EQ(r.frames, 65);
    EXPECT_EQ(r.samples[0], 32512);
    for (std::size_t i = 1; i < r.samples.size(); ++i)
        EXPECT_EQ(r.samples[i], 32767);
}

TEST(Channels, MoreThanTwoChannelsFollowTheFormulas) {
    Fmt f;
    f.channels = 3;
    f.blockAlign = 6;
    Result r = decode(wavImage(f, le16({1, 2, 3, 4, 5, 6})));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.frames, 2);
    EXPECT_EQ(r.samples, (std::vector<int16_t>{1, 2, 3, 4, 5, 6}));

    Fmt ms;
    ms.tag = 2;
    ms.channels = 3;
    ms.blockAlign = 21 + 30;
    ms.bits = 4;
    Result m = decode(wavImage(ms, std::vector<uint8_t>(51, 0x21)));
    ASSERT_TRUE(m.ok);
    EXPECT_EQ(m.frames, soundfile::msAdpcmSamplesPerBlock(51, 3));
}

TEST(Rates, LowRatesAreRead) {
    Fmt f;
    f.rate = 500;
    Result r = decode(wavImage(f, le16({7, 8})));
    ASSERT_TRUE(r.ok);
    EXPECT_EQ(r.header.sampleRate, 500u);
    EXPECT_EQ(r.frames, 2);
}

TEST(Derive, PcmHeaderFromAnySource) {
    soundfile::WavHeaderInfo src;
    src.formatTag = 2;
    src.sampleRate = 11025;
    src.channels = 2;
    src.blockAlign = 512;
    src.bitsPerSample = 4;
    src.fmtSize = 50;
    soundfile::WavHeaderInfo pcm;
    pcm.dataSize = 1234;
    soundfile::derivePcmHeader(src, 1, pcm);
    EXPECT_EQ(pcm.fmtSize, 16u);
    EXPECT_EQ(pcm.formatTag, 1);
    EXPECT_EQ(pcm.channels, 1);
    EXPECT_EQ(pcm.sampleRate, 11025u);
    EXPECT_EQ(pcm.blockAlign, 2);
    EXPECT_EQ(pcm.bitsPerSample, 16);
    EXPECT_EQ(pcm.avgBytesPerSec, 22050u);
    EXPECT_EQ(pcm.dataSize, 1234u);
}

} // namespace
