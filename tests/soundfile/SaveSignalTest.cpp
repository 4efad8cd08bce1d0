// Raw .pcm reading and the whole-signal and one-channel saves of the window
// and the batch, through the files they leave.

#include "soundfile/SaveSignal.h"
#include "soundfile/RawPcm.h"
#include "tests/soundfile/TestFiles.h"

#include <gtest/gtest.h>

using namespace testfiles;

namespace {

TEST(RawPcm, ReadsLittleEndianMonoAt16kAndIgnoresAnOddLastByte) {
    const std::string path = scratch("odd.pcm");
    writeBytes(path, {0x01, 0x00, 0xFF, 0xFF, 0x34, 0x12, 0x7F});
    soundfile::WavHeaderInfo h;
    int32_t frames = -1;
    int16_t* block = new int16_t[3]{9, 9, 9};
    std::string error;
    ASSERT_TRUE(soundfile::readRawPcm(path, 100, h, frames, block, error)) << error;
    ASSERT_EQ(frames, 3);
    EXPECT_EQ(block[0], 1);
    EXPECT_EQ(block[1], -1);
    EXPECT_EQ(block[2], 0x1234);
    EXPECT_EQ(h.sampleRate, 16000u);
    EXPECT_EQ(h.channels, 1);
    EXPECT_EQ(h.bitsPerSample, 16);
    EXPECT_EQ(h.dataSize, 6u);
    delete[] block;
}

TEST(RawPcm, StopsAtTheLimitAndKeepsTheBlockWhenTheFileIsMissing) {
    const std::string path = scratch("long.pcm");
    writeBytes(path, std::vector<uint8_t>(2000, 0));
    soundfile::WavHeaderInfo h;
    int32_t frames = 0;
    int16_t* block = nullptr;
    std::string error;
    ASSERT_TRUE(soundfile::readRawPcm(path, 11, h, frames, block, error));
    EXPECT_EQ(frames, 11);

    int16_t* kept = block;
    EXPECT_FALSE(soundfile::readRawPcm(scratch("missing.pcm"), 11, h, frames, block, error));
    EXPECT_EQ(block, kept);
    EXPECT_EQ(frames, 11);
    EXPECT_EQ(error.rfind("Cannot open " + scratch("missing.pcm") + ": ", 0), 0u) << error;
    delete[] block;
}

TEST(RawPcm, TellsItsFilesByTheExtension) {
    EXPECT_TRUE(soundfile::isRawPcmPath("/a/b/speech.pcm"));
    EXPECT_TRUE(soundfile::isRawPcmPath("speech.wav.pcm"));
    EXPECT_FALSE(soundfile::isRawPcmPath("/a/b/speech.PCM"));
    EXPECT_FALSE(soundfile::isRawPcmPath("/a/dir.pcm/speech"));
    EXPECT_FALSE(soundfile::isRawPcmPath("speech.pcmx"));
}

TEST(SaveSignal, WritesTheChosenFramesOfBothPlanesInterleaved) {
    const std::vector<int16_t> left{1, 2, 3, 4, 5}, right{-1, -2, -3, -4, -5};
    soundfile::PlanarSignal s;
    s.planes[0] = left.data();
    s.planes[1] = right.data();
    s.sampleRate = 11025;
    s.channels = 2;
    soundfile::WavHeaderInfo source{18, soundfile::WavImaAdpcm, 1, 8000, 4055, 256, 4, 1000},
        header;
    std::string error;
    const std::string path = scratch("part.wav");
    ASSERT_TRUE(soundfile::saveSignal(path, s, 1, 3, source, header, error)) << error;
    EXPECT_EQ(header.sampleRate, 11025u);
    EXPECT_EQ(header.channels, 2);
    EXPECT_EQ(header.bitsPerSample, 16);
    EXPECT_EQ(header.dataSize, 12u);

    soundfile::WavHeaderInfo back;
    int32_t frames = 0;
    int16_t* block = nullptr;
    ASSERT_TRUE(soundfile::readWavSamples(back, path, frames, block));
    ASSERT_EQ(frames, 3);
    EXPECT_EQ(back.sampleRate, 11025u);
    const std::vector<int16_t> got(block, block + 6), want{2, -2, 3, -3, 4, -4};
    EXPECT_EQ(got, want);
    delete[] block;
}

TEST(SaveSignal, AFailedSaveGivesTheWritersReasonAndStillTheHeader) {
    const std::vector<int16_t> left{1, 2};
    soundfile::PlanarSignal s;
    s.planes[0] = s.planes[1] = left.data();
    s.sampleRate = 8000;
    s.channels = 7; // taken as stereo
    soundfile::WavHeaderInfo header;
    std::string error;
    EXPECT_FALSE(soundfile::saveSignal(scratch("no-dir/x.wav"), s, 0, 2, soundfile::WavHeaderInfo{},
                                       header, error));
    EXPECT_NE(error.find("no-dir/x.wav"), std::string::npos) << error;
    EXPECT_EQ(header.channels, 2);
    EXPECT_EQ(header.dataSize, 8u);
}

TEST(SaveChannel, EightBitSignalsKeepTheLowByteAndOtherSizesAreRefused) {
    const std::vector<int16_t> samples{0x80, 0x7F, 0x00, 0xFF};
    std::string error;
    const std::string path = scratch("eight.wav");
    ASSERT_TRUE(soundfile::saveChannel(path, samples.data(), 8000, 8, 1, 2, error)) << error;
    const std::vector<uint8_t> b = readBytes(path);
    ASSERT_EQ(b.size(), 46u + 2u);
    EXPECT_EQ(b[46], 0x7F);
    EXPECT_EQ(b[47], 0x00);

    EXPECT_FALSE(
        soundfile::saveChannel(scratch("twelve.wav"), samples.data(), 8000, 12, 0, 4, error));
    EXPECT_EQ(error, "Signals of 12 bits per sample cannot be saved.");
}

} // namespace
