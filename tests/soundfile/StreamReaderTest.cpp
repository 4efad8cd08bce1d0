// The block-by-block readers and writer: our WAV reader gives what the
// whole-file reader gives for every encoding, from a file and from a pipe;
// sizes written by a pipe are read to the end; RF64 is written and read;
// libsndfile formats and the FLAC writer; metadata travels.

#include "soundfile/AudioStream.h"
#include "soundfile/WavFile.h"
#include "soundfile/WavLoad.h"
#include "tests/soundfile/TestFiles.h"

#include <gtest/gtest.h>

#include <sndfile.h>

#include <cstring>

using namespace testfiles;

namespace {

std::vector<int16_t> readAll(soundfile::AudioReader& r, std::size_t block = 1000) {
    std::vector<int16_t> all, buf(block * std::size_t(r.info().channels));
    std::string err;
    for (;;) {
        std::size_t got = 0;
        EXPECT_TRUE(r.read(buf.data(), block, got, err)) << err;
        if (got == 0)
            break;
        all.insert(all.end(), buf.begin(), buf.begin() + std::ptrdiff_t(got * r.info().channels));
    }
    return all;
}

std::vector<int16_t> wholeFile(const std::string& path, int& channels) {
    soundfile::WavHeaderInfo h;
    int32_t frames = 0;
    int16_t* block = nullptr;
    EXPECT_TRUE(soundfile::readWavSamples(h, path, frames, block));
    channels = h.channels;
    std::vector<int16_t> v(block, block + std::size_t(frames) * h.channels);
    delete[] block;
    return v;
}

std::vector<int16_t> streamed(const std::string& path, bool pipe,
                              soundfile::AudioInfo* info = nullptr) {
    std::unique_ptr<soundfile::AudioReader> r;
    std::string err;
    std::FILE* f = pipe ? popen(("cat '" + path + "'").c_str(), "r") : nullptr;
    if (pipe) {
        EXPECT_TRUE(soundfile::openWavStreamReader(f, false, r, err)) << err;
    } else {
        EXPECT_TRUE(soundfile::openAudioReader(path, r, err)) << err;
    }
    std::vector<int16_t> v;
    if (r) {
        if (info)
            *info = r->info();
        v = readAll(*r, 333);
    }
    r.reset();
    if (f)
        pclose(f);
    return v;
}

TEST(StreamReader, EveryEncodingAsTheWholeFileReader) {
    const std::string src = scratch("src.wav");
    const auto sig = testSignal(8000 * 3 + 77, 2, 16000);
    writeBytes(src, wavImage(Fmt{16, 1, 2, 16000, 4, 16}, le16(sig)));
    const char* encodings[] = {"-e signed-integer -b 16",
                               "-e unsigned-integer -b 8",
                               "-e signed-integer -b 24",
                               "-e floating-point -b 32",
                               "-e a-law",
                               "-e u-law",
                               "-e ms-adpcm",
                               "-e ima-adpcm",
                               "-e gsm-full-rate -c 1 -r 8000"};
    int n = 0;
    for (const char* e : encodings) {
        SCOPED_TRACE(e);
        const std::string enc = scratch("enc" + std::to_string(n++) + ".wav");
        ASSERT_EQ(run("sox -D " + src + " " + e + " " + enc), 0);
        int channels = 0;
        const auto whole = wholeFile(enc, channels);
        soundfile::AudioInfo info;
        EXPECT_EQ(streamed(enc, false, &info), whole);
        EXPECT_EQ(info.frames * channels, int64_t(whole.size()));
        EXPECT_TRUE(info.exactFrames);
        EXPECT_EQ(streamed(enc, true), whole);
    }
}

TEST(StreamReader, SizesWrittenByAPipeAreReadToTheEnd) {
    const auto sig = testSignal(5000, 1, 8000);
    for (uint32_t size : {0u, 0xFFFFFFFFu, 0x7FFFF000u}) {
        const std::string p = scratch("pipe-size.wav");
        writeBytes(p, wavImage(Fmt{}, le16(sig), size));
        EXPECT_EQ(streamed(p, false), sig);
        EXPECT_EQ(streamed(p, true), sig);
    }
    // A short data chunk with more bytes after it stays short.
    const std::string p = scratch("short.wav");
    writeBytes(p, wavImage(Fmt{}, le16(sig), 2000));
    EXPECT_EQ(streamed(p, false).size(), 1000u);
    EXPECT_EQ(streamed(p, true).size(), 1000u);
}

TEST(StreamReader, ChunksBetweenFormatAndDataAndDamage) {
    const auto sig = testSignal(3000, 1, 8000);
    Bytes b;
    b.id("RIFF").u32(0).id("WAVE");
    fmtChunk(b, Fmt{});
    b.id("LIST").u32(4 + 8 + 6).id("INFO").id("INAM").u32(6).raw({'T', 'i', 't', 'l', 'e', 0});
    b.id("junk").u32(3).raw({1, 2, 3}).u8(0);
    b.id("data").u32(uint32_t(sig.size() * 2)).raw(le16(sig));
    const std::string p = scratch("chunks.wav");
    writeBytes(p, b.v);
    soundfile::AudioInfo info;
    EXPECT_EQ(streamed(p, false, &info), sig);
    ASSERT_EQ(info.metadata.info.size(), 1u);
    EXPECT_EQ(info.metadata.info[0].second, "Title");
    EXPECT_EQ(streamed(p, true), sig);

    std::unique_ptr<soundfile::AudioReader> r;
    std::string err;
    writeBytes(p, {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm'});
    EXPECT_FALSE(soundfile::openAudioReader(p, r, err));
    EXPECT_NE(err.find("Unknown format"), std::string::npos) << err;
    writeBytes(p, {'n', 'o', 't', ' ', 'a', 'u', 'd', 'i', 'o'});
    EXPECT_FALSE(soundfile::openAudioReader(p, r, err));
    EXPECT_EQ(err.find('\n'), std::string::npos);
}

std::vector<int16_t> writeThenRead(const soundfile::WriterSettings& settings,
                                   const std::vector<int16_t>& sig, const std::string& path,
                                   soundfile::AudioInfo* info = nullptr) {
    std::unique_ptr<soundfile::AudioWriter> w;
    std::string err;
    EXPECT_TRUE(soundfile::openAudioWriter(path, settings, w, err)) << err;
    if (!w)
        return {};
    const std::size_t frames = sig.size() / std::size_t(settings.channels);
    EXPECT_TRUE(w->write(sig.data(), frames / 2, err)) << err;
    EXPECT_TRUE(w->write(sig.data() + frames / 2 * settings.channels, frames - frames / 2, err))
        << err;
    EXPECT_TRUE(w->finish(err)) << err;
    return streamed(path, false, info);
}

TEST(StreamWriter, WavLayoutRf64AndUnknownLength) {
    const auto sig = testSignal(4001, 2, 16000);
    soundfile::WriterSettings settings;
    settings.channels = 2;
    settings.expectedFrames = 4001;
    const std::string known = scratch("known.wav");
    EXPECT_EQ(writeThenRead(settings, sig, known), sig);
    // The layout the window writes: 56 header bytes, then the samples.
    EXPECT_EQ(readBytes(known).size(), 56u + sig.size() * 2);
    int ch = 0;
    EXPECT_EQ(wholeFile(known, ch), sig);

    settings.expectedFrames = -1;
    const std::string unknown = scratch("unknown.wav");
    EXPECT_EQ(writeThenRead(settings, sig, unknown), sig);
    EXPECT_EQ(readBytes(unknown), readBytes(known)); // sizes completed at the end

    // Above the threshold: RF64, whether the length was known or not.
    for (int64_t expected : {int64_t(4001), int64_t(-1)}) {
        settings.expectedFrames = expected;
        settings.rf64Threshold = 1000;
        const std::string big = scratch("big" + std::to_string(expected) + ".wav");
        soundfile::AudioInfo info;
        EXPECT_EQ(writeThenRead(settings, sig, big, &info), sig);
        EXPECT_EQ(info.container, "RF64");
        const auto bytes = readBytes(big);
        EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RF64");
        // libsndfile reads it as well.
        SF_INFO si{};
        SNDFILE* sf = sf_open(big.c_str(), SFM_READ, &si);
        ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
        EXPECT_EQ(si.frames, 4001);
        std::vector<int16_t> back(sig.size());
        EXPECT_EQ(sf_readf_short(sf, back.data(), 4001), 4001);
        sf_close(sf);
        EXPECT_EQ(back, sig);
    }
}

TEST(StreamWriter, RefusesAnExistingFileUnlessAskedAndLeavesNoTemporary) {
    const auto sig = testSignal(100, 1, 8000);
    soundfile::WriterSettings settings;
    const std::string p = scratch("exists.wav");
    writeBytes(p, {'k', 'e', 'e', 'p'});
    std::unique_ptr<soundfile::AudioWriter> w;
    std::string err;
    EXPECT_FALSE(soundfile::openAudioWriter(p, settings, w, err));
    EXPECT_NE(err.find(p), std::string::npos);
    EXPECT_EQ(readBytes(p).size(), 4u);
    settings.overwrite = true;
    EXPECT_EQ(writeThenRead(settings, sig, p), sig);
    // A writer dropped before finishing leaves nothing.
    const std::string q = scratch("dropped.wav");
    ASSERT_TRUE(soundfile::openAudioWriter(q, settings, w, err)) << err;
    EXPECT_TRUE(w->write(sig.data(), 100, err));
    w.reset();
    for (const auto& e : std::filesystem::directory_iterator(scratchDir()))
        EXPECT_EQ(e.path().filename().string().find("partial"), std::string::npos) << e.path();
    EXPECT_FALSE(std::filesystem::exists(q));
}

TEST(StreamWriter, FlacRoundTripIsExactAndKeepsTags) {
    const auto sig = testSignal(12345, 2, 44100);
    soundfile::WriterSettings settings;
    settings.format = soundfile::OutputFormat::Flac;
    settings.channels = 2;
    settings.sampleRate = 44100;
    settings.metadata.info = {{"INAM", "Interview 3"}, {"IART", "Field team"}};
    const std::string p = scratch("round.flac");
    soundfile::AudioInfo info;
    EXPECT_EQ(writeThenRead(settings, sig, p, &info), sig);
    EXPECT_EQ(info.container, "FLAC");
    EXPECT_TRUE(info.exactFrames);
    ASSERT_EQ(info.metadata.info.size(), 2u);
    EXPECT_EQ(info.metadata.info[0], (std::pair<std::string, std::string>{"INAM", "Interview 3"}));
    // The reference decoder agrees sample for sample.
    ASSERT_EQ(run("flac -d -s -f --force-raw-format --endian=little --sign=signed -o " +
                  scratch("round.raw") + " " + p),
              0);
    EXPECT_EQ(readBytes(scratch("round.raw")), le16(sig));
}

TEST(Metadata, InfoAndBextSurviveAWavWrite) {
    const auto sig = testSignal(800, 1, 8000);
    soundfile::WriterSettings settings;
    settings.expectedFrames = 800;
    settings.metadata.info = {{"ICMT", "odd"}, {"INAM", "even!"}};
    settings.metadata.bext.assign(soundfile::kBextFixedBytes, 0);
    std::memcpy(settings.metadata.bext.data(), "Description", 11);
    soundfile::appendCodingHistory(settings.metadata.bext, "A=PCM,F=8000,W=16,M=mono,T=first");
    soundfile::appendCodingHistory(settings.metadata.bext, "A=PCM,F=8000,W=16,M=mono,T=second");
    soundfile::AudioInfo info;
    const std::string p = scratch("meta.wav");
    EXPECT_EQ(writeThenRead(settings, sig, p, &info), sig);
    EXPECT_EQ(info.metadata.info, settings.metadata.info);
    EXPECT_EQ(soundfile::codingHistory(info.metadata.bext),
              "A=PCM,F=8000,W=16,M=mono,T=first\r\nA=PCM,F=8000,W=16,M=mono,T=second\r\n");
    EXPECT_EQ(soundfile::bextField(info.metadata.bext, 0, 256), "Description");
    int ch = 0;
    EXPECT_EQ(wholeFile(p, ch), sig); // the window's reader reads it too
}

} // namespace

namespace {

// Every input the fuzzer kept: the block-by-block reader refuses it or reads
// what the whole-file reader reads, sample for sample (but for a data size of
// 0, which it reads to the end).
TEST(StreamReader, FuzzCorpusAsTheWholeFileReaderOrRefused) {
    int compared = 0;
    for (const char* dir : {SILVANE_FUZZ_CORPUS, SILVANE_FUZZ_CORPUS "-seeds"})
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (!entry.is_regular_file())
                continue;
            const std::string path = entry.path().string();
            std::unique_ptr<soundfile::AudioReader> r;
            std::string err;
            if (!soundfile::openAudioReader(path, r, err)) {
                EXPECT_EQ(err.find('\n'), std::string::npos) << path;
                continue;
            }
            std::vector<int16_t> stream, buf(std::size_t(r->info().channels) * 512);
            bool ok = true;
            for (int i = 0; i < 100000; ++i) {
                std::size_t got = 0;
                if (!r->read(buf.data(), 512, got, err)) {
                    ok = false;
                    break;
                }
                if (got == 0)
                    break;
                stream.insert(stream.end(), buf.begin(),
                              buf.begin() + std::ptrdiff_t(got * r->info().channels));
            }
            if (!ok || r->info().container != "WAV")
                continue;
            soundfile::LoadedWav whole;
            std::string why;
            const soundfile::WavHeaderInfo& h = whole.header;
            // Sizes a pipe writes are read to the end here; 0 is not nothing.
            if (soundfile::loadWav(path, whole, why) && h.dataSize != 0 &&
                h.dataSize != 0x7FFFF000u) {
                ++compared;
                const int16_t* block = whole.samples.get();
                EXPECT_TRUE(stream == std::vector<int16_t>(
                                          block, block + std::size_t(whole.frames) * h.channels))
                    << path;
            }
        }
    EXPECT_GT(compared, 5);
}

} // namespace

namespace {

// A WAV encoding our reader does not decode goes to libsndfile instead.
TEST(StreamReader, OtherWavEncodingsThroughLibsndfile) {
    const auto sig = testSignal(4000, 1, 8000);
    const std::string p = scratch("g721.wav");
    SF_INFO si{};
    si.samplerate = 8000;
    si.channels = 1;
    si.format = SF_FORMAT_WAV | SF_FORMAT_G721_32;
    SNDFILE* sf = sf_open(p.c_str(), SFM_WRITE, &si);
    ASSERT_NE(sf, nullptr) << sf_strerror(nullptr);
    sf_writef_short(sf, sig.data(), 4000);
    sf_close(sf);
    SF_INFO ri{};
    sf = sf_open(p.c_str(), SFM_READ, &ri);
    ASSERT_NE(sf, nullptr);
    std::vector<int16_t> expected(std::size_t(ri.frames));
    sf_readf_short(sf, expected.data(), ri.frames);
    sf_close(sf);
    EXPECT_EQ(streamed(p, false), expected);
}

} // namespace
