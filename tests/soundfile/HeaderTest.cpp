// The header walk: where chunks may sit, what is skipped, what is refused.

#include "soundfile/WavFile.h"
#include "tests/soundfile/TestFiles.h"

#include <gtest/gtest.h>

using namespace testfiles;

namespace {

// Reads the header from a byte image; false with the reason in `error`. The
// position is the byte the stream stands at afterwards.
bool readImage(const std::vector<uint8_t>& bytes, soundfile::WavHeaderInfo& h, std::string& error,
               long* position = nullptr) {
    std::FILE* f = fmemopen(const_cast<uint8_t*>(bytes.data()), bytes.size(), "rb");
    EXPECT_NE(f, nullptr);
    if (!f)
        return false;
    const bool ok = soundfile::readWavHeader(h, f, error);
    if (position)
        *position = std::ftell(f);
    std::fclose(f);
    return ok;
}

soundfile::WavHeaderInfo readImage(const std::vector<uint8_t>& bytes, long* position = nullptr) {
    soundfile::WavHeaderInfo h;
    std::string error;
    EXPECT_TRUE(readImage(bytes, h, error, position)) << error;
    return h;
}

const std::vector<uint8_t> kData = {1, 0, 2, 0, 3, 0, 4, 0};

TEST(WavHeader, ReadsFieldsAndStopsAtTheFirstDataByte) {
    Fmt f;
    f.channels = 2;
    f.rate = 22050;
    f.blockAlign = 4;
    auto img = wavImage(f, kData);
    long pos = 0;
    soundfile::WavHeaderInfo h = readImage(img, &pos);
    EXPECT_EQ(h.fmtSize, 16u);
    EXPECT_EQ(h.formatTag, 1);
    EXPECT_EQ(h.channels, 2);
    EXPECT_EQ(h.sampleRate, 22050u);
    EXPECT_EQ(h.avgBytesPerSec, 88200u);
    EXPECT_EQ(h.blockAlign, 4);
    EXPECT_EQ(h.bitsPerSample, 16);
    EXPECT_EQ(h.dataSize, 8u);
    EXPECT_EQ(pos, 44);
}

TEST(WavHeader, FormatExtensionsAreSkipped) {
    for (uint32_t size : {18u, 50u}) {
        Fmt f;
        f.size = size;
        long pos = 0;
        soundfile::WavHeaderInfo h = readImage(wavImage(f, kData), &pos);
        EXPECT_EQ(h.fmtSize, size);
        EXPECT_EQ(h.dataSize, 8u);
        EXPECT_EQ(pos, long(44 + size - 16));
    }
}

TEST(WavHeader, ListChunkBeforeFormat) {
    Bytes b;
    b.id("RIFF").u32(0).id("WAVE").id("LIST").u32(10).zeros(10);
    fmtChunk(b, Fmt{});
    b.id("data").u32(8).raw(kData);
    EXPECT_EQ(readImage(b.v).dataSize, 8u);

    // An odd-sized chunk followed by its pad byte.
    Bytes odd;
    odd.id("RIFF").u32(0).id("WAVE").id("LIST").u32(5).zeros(6);
    fmtChunk(odd, Fmt{});
    odd.id("data").u32(8).raw(kData);
    EXPECT_EQ(readImage(odd.v).dataSize, 8u);
}

TEST(WavHeader, ChunksBetweenFormatAndDataArePassedOver) {
    Bytes b;
    b.id("RIFF").u32(0).id("WAVE");
    fmtChunk(b, Fmt{});
    b.id("LIST").u32(7).raw({'I', 'N', 'F', 'O', 'x', 'y', 'z'});
    b.id("cue ").u32(4).u32(0x12345678);
    b.id("fact").u32(4).id("data"); // a "data" inside the fact body is skipped
    b.id("data").u32(8).raw(kData);
    long pos = 0;
    soundfile::WavHeaderInfo h = readImage(b.v, &pos);
    EXPECT_EQ(h.dataSize, 8u);
    EXPECT_EQ(pos, long(b.v.size() - kData.size()));
}

TEST(WavHeader, ExtensibleFormatTakesItsSubFormatTag) {
    Bytes b;
    b.id("RIFF")
        .u32(0)
        .id("WAVE")
        .id("fmt ")
        .u32(40)
        .u16(0xFFFE)
        .u16(1)
        .u32(8000)
        .u32(32000)
        .u16(4)
        .u16(32)
        .u16(22)
        .u16(32)
        .u32(4)
        .u16(3)
        .zeros(14);
    b.id("data").u32(0);
    soundfile::WavHeaderInfo h = readImage(b.v);
    EXPECT_EQ(h.formatTag, 3);
    EXPECT_EQ(h.fmtSize, 40u);
}

TEST(WavHeader, UnreadableStructuresAreUnknownFormat) {
    Fmt f;
    std::vector<std::vector<uint8_t>> bad;
    auto good = wavImage(f, kData);
    auto notRiff = good;
    notRiff[0] = 'X';
    bad.push_back(notRiff);
    auto notWave = good;
    notWave[8] = 'X';
    bad.push_back(notWave);
    auto noFmt = good;
    noFmt[12] = 'X';
    bad.push_back(noFmt);
    Bytes noData;
    noData.id("RIFF").u32(0).id("WAVE");
    fmtChunk(noData, f);
    noData.id("junk").u32(4).u32(0);
    bad.push_back(noData.v);
    bad.push_back(std::vector<uint8_t>(good.begin(), good.begin() + 30)); // cut in the fmt chunk
    bad.push_back(std::vector<uint8_t>(good.begin(), good.begin() + 42)); // cut in the data size
    Bytes shortFmt;
    shortFmt.id("RIFF")
        .u32(0)
        .id("WAVE")
        .id("fmt ")
        .u32(12)
        .u16(1)
        .u16(1)
        .u32(8000)
        .u32(16000)
        .u16(2)
        .u16(16)
        .id("data")
        .u32(0);
    bad.push_back(shortFmt.v);
    Bytes hugeFact;
    hugeFact.id("RIFF").u32(0).id("WAVE");
    fmtChunk(hugeFact, f);
    hugeFact.id("fact").u32(0xFFFFFFF0u).id("data").u32(0);
    bad.push_back(hugeFact.v);
    bad.push_back({});

    for (std::size_t i = 0; i < bad.size(); ++i) {
        soundfile::WavHeaderInfo h;
        h.sampleRate = 12345;
        std::string error;
        EXPECT_FALSE(readImage(bad[i], h, error)) << "case " << i << " was accepted";
        EXPECT_EQ(error, "Unknown format") << "case " << i;
        EXPECT_EQ(h.sampleRate, 12345u) << "case " << i;
    }
}

TEST(WavHeader, ReadWavSamplesRaisesForAFileWithoutData) {
    Bytes b;
    b.id("RIFF").u32(0).id("WAVE");
    fmtChunk(b, Fmt{});
    const std::string path = scratch("nodata.wav");
    writeBytes(path, b.v);
    soundfile::WavHeaderInfo h;
    int32_t frames = 7;
    int16_t* block = nullptr;
    EXPECT_THROW(soundfile::readWavSamples(h, path, frames, block), soundfile::UnknownFormat);
    EXPECT_EQ(block, nullptr);
}

} // namespace
