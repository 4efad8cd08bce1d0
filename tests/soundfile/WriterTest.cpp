// The two written layouts, byte for byte, and what a failed save leaves behind.

#include "base/SafeFile.h"
#include "soundfile/WavFile.h"
#include "tests/soundfile/TestFiles.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace testfiles;

namespace {

uint32_t u32At(const std::vector<uint8_t>& b, std::size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}
uint16_t u16At(const std::vector<uint8_t>& b, std::size_t at) {
    return uint16_t(b[at] | b[at + 1] << 8);
}
std::string idAt(const std::vector<uint8_t>& b, std::size_t at) {
    return std::string(reinterpret_cast<const char*>(b.data() + at), 4);
}

TEST(MonoWriter, OneChannelLayout) {
    auto samples = testSignal(1000, 1, 8000);
    const std::string path = scratch("mono.wav");
    std::string error;
    ASSERT_TRUE(soundfile::writeMonoWav(8000, 16, 1, path, 2000, samples.data(), error)) << error;
    auto b = readBytes(path);
    ASSERT_EQ(b.size(), 46u + 2000u);
    EXPECT_EQ(idAt(b, 0), "RIFF");
    EXPECT_EQ(u32At(b, 4), 2038u);
    EXPECT_EQ(idAt(b, 8), "WAVE");
    EXPECT_EQ(idAt(b, 12), "fmt ");
    EXPECT_EQ(u32At(b, 16), 18u);
    EXPECT_EQ(u16At(b, 20), 1);
    EXPECT_EQ(u16At(b, 22), 1);
    EXPECT_EQ(u32At(b, 24), 8000u);
    EXPECT_EQ(u32At(b, 28), 16000u);
    EXPECT_EQ(u16At(b, 32), 2);
    EXPECT_EQ(u16At(b, 34), 16);
    EXPECT_EQ(u16At(b, 36), 0);
    EXPECT_EQ(idAt(b, 38), "data");
    EXPECT_EQ(u32At(b, 42), 2000u);
    EXPECT_EQ(0, std::memcmp(b.data() + 46, samples.data(), 2000));

    // And it reads back as written.
    soundfile::WavHeaderInfo h;
    int32_t frames = 0;
    int16_t* block = nullptr;
    ASSERT_TRUE(soundfile::readWavSamples(h, path, frames, block));
    std::unique_ptr<int16_t[]> owned(block);
    EXPECT_EQ(frames, 1000);
    EXPECT_EQ(std::vector<int16_t>(block, block + 1000), samples);
}

TEST(HeaderWriter, WholeSignalLayoutWithFact) {
    auto samples = testSignal(1000, 2, 16000);
    const std::string path = scratch("stereo.wav");
    std::string err;
    ASSERT_TRUE(soundfile::writePcmWav(path, 16000, 2, samples.data(), 1000, err)) << err;
    auto b = readBytes(path);
    ASSERT_EQ(b.size(), 56u + 4000u);
    EXPECT_EQ(idAt(b, 0), "RIFF");
    EXPECT_EQ(u32At(b, 4), 4048u);
    EXPECT_EQ(idAt(b, 8), "WAVE");
    EXPECT_EQ(idAt(b, 12), "fmt ");
    EXPECT_EQ(u32At(b, 16), 16u);
    EXPECT_EQ(u16At(b, 20), 1);
    EXPECT_EQ(u16At(b, 22), 2);
    EXPECT_EQ(u32At(b, 24), 16000u);
    EXPECT_EQ(u32At(b, 28), 64000u);
    EXPECT_EQ(u16At(b, 32), 4);
    EXPECT_EQ(u16At(b, 34), 16);
    EXPECT_EQ(idAt(b, 36), "fact");
    EXPECT_EQ(u32At(b, 40), 4u);
    EXPECT_EQ(u32At(b, 44), 0u);
    EXPECT_EQ(idAt(b, 48), "data");
    EXPECT_EQ(u32At(b, 52), 4000u);
    EXPECT_EQ(0, std::memcmp(b.data() + 56, samples.data(), 4000));

    soundfile::WavHeaderInfo h;
    int32_t frames = 0;
    int16_t* block = nullptr;
    ASSERT_TRUE(soundfile::readWavSamples(h, path, frames, block));
    std::unique_ptr<int16_t[]> owned(block);
    EXPECT_EQ(frames, 1000);
    EXPECT_EQ(std::vector<int16_t>(block, block + 2000), samples);
}

TEST(HeaderWriter, LargerFormatSizeIsZeroPadded) {
    soundfile::WavHeaderInfo h;
    h.fmtSize = 18;
    h.formatTag = 1;
    h.channels = 1;
    h.sampleRate = 8000;
    h.avgBytesPerSec = 16000;
    h.blockAlign = 2;
    h.bitsPerSample = 16;
    h.dataSize = 0;
    const std::string path = scratch("fmt18.wav");
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    soundfile::writeWavHeader(h, f);
    soundfile::writeWavHeader(h, nullptr); // a missing stream is ignored
    std::fclose(f);
    auto b = readBytes(path);
    ASSERT_EQ(b.size(), 58u);
    EXPECT_EQ(u32At(b, 4), 50u);
    EXPECT_EQ(u16At(b, 36), 0);
    EXPECT_EQ(idAt(b, 38), "fact");
    EXPECT_EQ(idAt(b, 50), "data");
}

TEST(FailedSaves, LeaveNothingUnderTheTargetName) {
    auto samples = testSignal(100, 1, 8000);
    std::string err;
    const std::string missingDir = scratch("no-such-dir/out.wav");
    std::string monoErr;
    EXPECT_FALSE(soundfile::writeMonoWav(8000, 16, 1, missingDir, 200, samples.data(), monoErr));
    EXPECT_NE(monoErr.find("no-such-dir/out.wav"), std::string::npos) << monoErr;
    EXPECT_NE(monoErr.find(std::strerror(ENOENT)), std::string::npos) << monoErr;
    EXPECT_FALSE(soundfile::writePcmWav(missingDir, 8000, 1, samples.data(), 100, err));
    EXPECT_NE(err.find("no-such-dir/out.wav"), std::string::npos) << err;

    // A target that cannot be replaced (a directory): the save fails, the
    // directory is intact and no temporary file is left beside it.
    const std::string dirTarget = scratch("is-a-dir");
    std::filesystem::create_directory(dirTarget);
    EXPECT_FALSE(soundfile::writePcmWav(dirTarget, 8000, 1, samples.data(), 100, err));
    EXPECT_TRUE(std::filesystem::is_directory(dirTarget));
    for (const auto& e : std::filesystem::directory_iterator(scratchDir()))
        EXPECT_FALSE(base::isUnfinishedWrite(e.path().filename().string())) << e.path();
}

TEST(FailedSaves, ExistingFileSurvivesAFailedWrite) {
    const std::string path = scratch("keep.wav");
    writeBytes(path, {1, 2, 3});
    {
        base::SafeFileWriter w;
        std::FILE* f = w.open(path);
        ASSERT_NE(f, nullptr);
        // A collection scan must be able to tell the write apart from results.
        EXPECT_TRUE(base::isUnfinishedWrite(w.tempPath()));
        EXPECT_FALSE(base::isUnfinishedWrite(path));
        std::fputs("partial", f);
        // destroyed without commit
    }
    EXPECT_EQ(readBytes(path), (std::vector<uint8_t>{1, 2, 3}));

    // A stream that reports a write error cannot be committed.
    base::SafeFileWriter w;
    std::FILE* f = w.open(path);
    ASSERT_NE(f, nullptr);
    std::fputc('x', f);
    std::fseek(f, 0, SEEK_SET);
    (void)std::fgetc(f); // reading a write-only stream sets its error flag
    EXPECT_FALSE(w.commit());
    EXPECT_EQ(readBytes(path), (std::vector<uint8_t>{1, 2, 3}));
}

// Only what no writer holds any more goes: a killed process's unfinished file,
// never a write under way here or elsewhere, a fresh one, or anything else.
TEST(FailedSaves, AbandonedWritesAreRemovedAndLiveOnesKept) {
    namespace fs = std::filesystem;
    const fs::path dir = fs::path(scratchDir()) / "abandoned";
    fs::remove_all(dir);
    fs::create_directories(dir);
    const auto aged = [](const fs::path& p) {
        fs::last_write_time(p, fs::last_write_time(p) - std::chrono::minutes(1));
    };
    const auto count = [&] {
        int n = 0;
        for (const auto& e : fs::directory_iterator(dir))
            n += base::isUnfinishedWrite(e.path().filename().string());
        return n;
    };

    // A writer killed before its commit: its process ends with the file open.
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto* w = new base::SafeFileWriter; // never destroyed: the process just ends
        std::FILE* f = w->open((dir / "killed.wav").string());
        if (f == nullptr || std::fputs("half a result", f) < 0 || std::fflush(f) != 0)
            ::_exit(1);
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    ASSERT_EQ(count(), 1);

    // A write under way in this process, as old as can be.
    base::SafeFileWriter live;
    std::FILE* f = live.open((dir / "live.wav").string());
    ASSERT_NE(f, nullptr);
    std::fputs("still writing", f);
    std::fflush(f);
    aged(live.tempPath());
    // An empty one nobody holds yet: a writer between creating and locking it.
    const fs::path unlocked = dir / "new.wav.partial-AbCdEf";
    writeBytes(unlocked.string(), {});
    // Names that only look like ours, and a result.
    writeBytes((dir / "take.partial-notes.txt").string(), {1});
    writeBytes((dir / "result.wav").string(), {2});
    fs::create_directory(dir / "old.wav.partial-ABCDEF");
    for (const char* name : {"take.partial-notes.txt", "result.wav", "old.wav.partial-ABCDEF"})
        aged(dir / name);

    // The killed writer's file goes at once.
    EXPECT_EQ(base::removeAbandonedWrites(dir.string()), 1);
    EXPECT_EQ(count(), 4);
    EXPECT_TRUE(fs::exists(unlocked));
    // The empty one only once it has stayed empty and unheld for a while.
    aged(unlocked);
    EXPECT_EQ(base::removeAbandonedWrites(dir.string()), 1);
    EXPECT_FALSE(fs::exists(unlocked));
    EXPECT_EQ(base::removeAbandonedWrites(dir.string()), 0);
    EXPECT_EQ(count(), 3); // the live write, the look-alike file and directory
    EXPECT_TRUE(fs::exists(live.tempPath()));
    EXPECT_TRUE(fs::exists(dir / "result.wav"));
    EXPECT_TRUE(live.commit()) << live.error();
    EXPECT_EQ(readBytes((dir / "live.wav").string()).size(), 13u);
    EXPECT_EQ(base::removeAbandonedWrites((dir / "missing").string()), 0);
}

TEST(FailedSaves, FullDiskIsReported) {
    if (!std::filesystem::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full";
    // Writing through a stream onto a full device must not be reported as success.
    base::SafeFileWriter w;
    std::FILE* f = w.open(scratch("full.wav"));
    ASSERT_NE(f, nullptr);
    std::FILE* full = std::freopen("/dev/full", "wb", f);
    ASSERT_NE(full, nullptr);
    std::vector<char> big(1 << 16, 'a');
    std::fwrite(big.data(), 1, big.size(), full);
    EXPECT_FALSE(w.commit());
    EXPECT_FALSE(std::filesystem::exists(scratch("full.wav")));
}

} // namespace

namespace {

TEST(HeaderWriter, PlanarChannelsAreInterleavedFromTheFirstFrame) {
    std::vector<int16_t> l(20000), r(20000);
    for (int i = 0; i < 20000; ++i) {
        l[i] = int16_t(i);
        r[i] = int16_t(-i);
    }
    const int16_t* ch[2] = {l.data(), r.data()};
    const std::string path = scratch("planar.wav");
    std::string err;
    ASSERT_TRUE(soundfile::writePcmWavChannels(path, 11025, ch, 2, 100, 10000, err)) << err;
    soundfile::WavHeaderInfo h;
    int32_t frames = 0;
    int16_t* block = nullptr;
    ASSERT_TRUE(soundfile::readWavSamples(h, path, frames, block));
    std::unique_ptr<int16_t[]> owned(block);
    EXPECT_EQ(h.sampleRate, 11025u);
    ASSERT_EQ(frames, 10000);
    for (int i = 0; i < 10000; ++i) {
        ASSERT_EQ(block[2 * i], 100 + i);
        ASSERT_EQ(block[2 * i + 1], -(100 + i));
    }
    EXPECT_EQ(readBytes(path).size(), 56u + 40000u);
}

} // namespace
