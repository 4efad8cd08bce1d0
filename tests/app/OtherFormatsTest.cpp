// Files of other formats than WAV in the file list, opened from it and
// cleaned by the automatic batch.

#include "tests/app/AppFixture.h"

#include "processing/batchwindows/Uprogress.h"
#include "processing/batchwindows/Usetdirectory.h"
#include "soundfile/SoundLoad.h"
#include "soundfile/WavFile.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFileSystemModel>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

int sh(const std::string& cmd) {
    return std::system((cmd + " >/dev/null 2>&1").c_str());
}

// A directory with one stereo WAV, the same signal as FLAC, MP3 and Ogg, and
// a file the list must not offer.
std::string mixedDir(const std::string& name) {
    const std::string dir = apptest::scratchDir() + "/" + name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::vector<int16_t> s(2 * 12000);
    for (std::size_t i = 0; i < s.size(); ++i)
        s[i] = int16_t(((i * 7 + (i & 1) * 300) % 900) * 20 - 9000);
    std::string err;
    EXPECT_TRUE(soundfile::writePcmWav(dir + "/a.wav", 16000, 2, s.data(), 12000, err)) << err;
    EXPECT_EQ(sh("flac -s -f -o " + dir + "/b.flac " + dir + "/a.wav"), 0);
    EXPECT_EQ(sh("lame --quiet " + dir + "/a.wav " + dir + "/c.mp3"), 0);
    EXPECT_EQ(sh("sox -D " + dir + "/a.wav " + dir + "/d.ogg"), 0);
    std::ofstream(dir + "/notes.txt") << "not a sound\n";
    return dir;
}

} // namespace

TEST(OtherFormats, TheListOffersEveryReadableFormat) {
    app::TFPanelSignal* w = apptest::windows();
    const std::string dir = mixedDir("formats-list");
    apptest::listDirectory(w, dir, 4);
    QStringList names;
    for (int r = 0; r < 4; ++r)
        names << w->fileModel->fileName(w->fileModel->index(r, 0, w->FileList->rootIndex()));
    EXPECT_EQ(names, (QStringList{"a.wav", "b.flac", "c.mp3", "d.ogg"}));
}

TEST(OtherFormats, AFlacFromTheListFillsThePanesWithItsSamples) {
    app::TFPanelSignal* w = apptest::windows();
    const std::string dir = mixedDir("formats-open");
    apptest::listDirectory(w, dir, 4);
    apptest::selectListRow(w, 1);
    ASSERT_EQ(w->fileModel->fileName(w->FileList->currentIndex()), "b.flac");
    apptest::takeMessages();
    w->FileListClick();
    EXPECT_TRUE(apptest::takeMessages().isEmpty());

    soundfile::WavHeaderInfo h;
    int32_t frames = 0;
    int16_t* block = nullptr;
    std::string message;
    ASSERT_TRUE(soundfile::readSoundSamples(h, dir + "/b.flac", processing::MaxOrigSamples, frames,
                                            block, message))
        << message;
    ASSERT_EQ(frames, 12000);
    ASSERT_EQ(w->origLength, frames);
    EXPECT_EQ(w->recorder.sampleRate, 16000u);
    EXPECT_EQ(w->recorder.channels, 2u);
    int mismatches = 0;
    for (int32_t i = 0; i < frames; ++i)
        for (int c = 0; c < 2; ++c)
            mismatches += w->origSamples.data(c)[i] != block[std::size_t(i) * 2 + std::size_t(c)];
    EXPECT_EQ(mismatches, 0);
    delete[] block;
    block = nullptr; // the reader frees the block it is given
    // And those are the WAV's samples: FLAC is lossless.
    ASSERT_TRUE(soundfile::readWavSamples(h, dir + "/a.wav", frames, block));
    for (int32_t i = 0; i < frames; i += 101)
        EXPECT_EQ(w->origSamples.data(1)[i], block[std::size_t(i) * 2 + 1]);
    delete[] block;
}

TEST(OtherFormats, TheBatchCleansThemIntoWavFiles) {
    app::TFPanelSignal* w = apptest::windows();
    const std::string dir = mixedDir("formats-batch");
    const std::string out = apptest::scratchDir() + "/formats-batch-out";
    fs::remove_all(out);
    fs::create_directories(out);
    apptest::listDirectory(w, dir, 4);
    processing::batchwindows::FSetDirectory->chosenDir = out;
    apptest::selectListRow(w, 0);
    apptest::takeMessages();
    w->bAutoClick();
    EXPECT_TRUE(apptest::takeMessages().isEmpty());
    for (const char* f : {"a.wav", "b.Wav", "c.Wav", "d.Wav"}) {
        SCOPED_TRACE(f);
        soundfile::WavHeaderInfo h;
        int32_t frames = 0;
        int16_t* block = nullptr;
        ASSERT_TRUE(soundfile::readWavSamples(h, out + "/" + f, frames, block));
        EXPECT_EQ(h.sampleRate, 16000u);
        EXPECT_GT(frames, 11000); // the cleaner's frames, not the file's
        delete[] block;
    }
    // FLAC is lossless: its result is the WAV's, byte for byte.
    auto bytes = [](const std::string& p) {
        std::ifstream f(p, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(f), {});
    };
    EXPECT_EQ(bytes(out + "/b.Wav"), bytes(out + "/a.wav"));
    int entries = 0;
    for (auto& e : fs::directory_iterator(out)) {
        (void)e;
        ++entries;
    }
    EXPECT_EQ(entries, 4);
    EXPECT_TRUE(w->bAuto->isEnabled());
    EXPECT_TRUE(w->bStart->isEnabled());
}

TEST(OtherFormats, OpenDialogsTakeThemAsOriginalAndChangedSignal) {
    app::TFPanelSignal* w = apptest::windows();
    const std::string dir = mixedDir("formats-dialog");
    auto decoded = [](const std::string& path) {
        soundfile::WavHeaderInfo h;
        int32_t frames = 0;
        int16_t* block = nullptr;
        std::string message;
        EXPECT_TRUE(soundfile::readSoundSamples(h, path, processing::MaxOrigSamples, frames, block,
                                                message))
            << message;
        std::vector<int16_t> v(block, block + std::size_t(frames) * h.channels);
        delete[] block;
        return v;
    };
    apptest::takeMessages();
    apptest::answerDialogs({QString::fromStdString(dir + "/d.ogg")});
    w->tOpenClick();
    const auto ogg = decoded(dir + "/d.ogg");
    ASSERT_EQ(std::size_t(w->origLength) * 2, ogg.size());
    for (std::size_t i = 0; i < ogg.size(); i += 37)
        EXPECT_EQ(w->origSamples.data(int(i % 2))[i / 2], ogg[i]);
    EXPECT_EQ(w->Status0->panelText(0), "File: d.ogg");

    apptest::answerDialogs({QString::fromStdString(dir + "/c.mp3")});
    w->tOpenNewClick();
    const auto mp3 = decoded(dir + "/c.mp3");
    ASSERT_EQ(std::size_t(w->changedLength) * 2, mp3.size());
    for (std::size_t i = 0; i < mp3.size(); i += 37)
        EXPECT_EQ(w->changedSamples.data(int(i % 2))[i / 2], mp3[i]);
    EXPECT_EQ(w->changedFormat.sampleRate, 16000u);
    EXPECT_TRUE(apptest::takeMessages().isEmpty());

    // A file that looks like FLAC but is not one fails as an unreadable WAV does.
    { std::ofstream(dir + "/bad.flac", std::ios::binary) << "fLaC" << std::string(40, '\x09'); }
    apptest::answerDialogs({QString::fromStdString(dir + "/bad.flac")});
    EXPECT_THROW(w->tOpenClick(), soundfile::UnknownFormat);
    EXPECT_EQ(std::size_t(w->origLength) * 2, ogg.size()); // the signal held stays
}
