// Loading whole files of every format the window offers: WAV exactly as the
// WAV decoder gives it, the other formats as the stream reader decodes them,
// cut one frame beyond the caller's capacity, at most two channels, and the
// same failures as a WAV.
#include "soundfile/SoundLoad.h"
#include "soundfile/AudioStream.h"
#include "soundfile/WavLoad.h"
#include "tests/soundfile/TestFiles.h"

#include <gtest/gtest.h>

using namespace testfiles;

namespace {

struct Loaded {
    soundfile::WavHeaderInfo header;
    int32_t frames = 0;
    std::vector<int16_t> samples;
};

Loaded load(const std::string& path, int32_t maxFrames) {
    Loaded l;
    int16_t* block = nullptr;
    std::string message;
    EXPECT_TRUE(soundfile::readSoundSamples(l.header, path, maxFrames, l.frames, block, message))
        << message;
    if (block)
        l.samples.assign(block, block + std::size_t(l.frames) * l.header.channels);
    delete[] block;
    return l;
}

// What the command line's reader delivers, channel for channel.
std::vector<int16_t> streamedFirstTwo(const std::string& path, int& channels) {
    std::unique_ptr<soundfile::AudioReader> r;
    std::string err;
    EXPECT_TRUE(soundfile::openAudioReader(path, r, err)) << err;
    std::vector<int16_t> v;
    if (!r)
        return v;
    channels = r->info().channels;
    std::vector<int16_t> buf(512 * std::size_t(channels));
    for (;;) {
        std::size_t got = 0;
        EXPECT_TRUE(r->read(buf.data(), 512, got, err)) << err;
        if (got == 0)
            break;
        for (std::size_t i = 0; i < got; ++i)
            for (int c = 0; c < std::min(channels, 2); ++c)
                v.push_back(buf[i * std::size_t(channels) + std::size_t(c)]);
    }
    return v;
}

std::string sourceWav(const std::string& name, int frames, int channels, int rate) {
    const std::string p = scratch(name);
    writeBytes(p,
               wavImage(Fmt{16, 1, uint16_t(channels), uint32_t(rate), uint16_t(2 * channels), 16},
                        le16(testSignal(frames, channels, rate))));
    return p;
}

} // namespace

TEST(SoundLoad, WavIsTheWavDecodersOwnResult) {
    const std::string src = sourceWav("plain.wav", 5000, 2, 16000);
    const std::string ima = scratch("ima.wav");
    ASSERT_EQ(run("sox -D " + src + " -e ima-adpcm " + ima), 0);
    for (const std::string& p : {src, ima}) {
        soundfile::WavHeaderInfo h;
        int32_t frames = 0;
        int16_t* block = nullptr;
        ASSERT_TRUE(soundfile::readWavSamples(h, p, frames, block));
        const Loaded l = load(p, 10); // the capacity does not cut a WAV: the caller does
        EXPECT_EQ(std::memcmp(&l.header, &h, sizeof h), 0);
        ASSERT_EQ(l.frames, frames);
        EXPECT_EQ(l.samples, std::vector<int16_t>(block, block + std::size_t(frames) * h.channels));
        delete[] block;
    }
}

TEST(SoundLoad, OtherFormatsAsTheCommandLineReadsThem) {
    const std::string src = sourceWav("src.wav", 12000, 2, 22050);
    struct Case {
        const char* name;
        std::string command;
    } cases[] = {
        {"s.flac", "flac -s -f -o {out} " + src},
        {"s.aiff", "sox -D " + src + " {out}"},
        {"s.ogg", "sox -D " + src + " {out}"},
        {"s.mp3", "lame --quiet " + src + " {out}"},
        {"s.opus", "opusenc --quiet " + src + " {out}"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string out = scratch(c.name);
        std::string cmd = c.command;
        cmd.replace(cmd.find("{out}"), 5, out);
        ASSERT_EQ(run(cmd), 0);
        EXPECT_TRUE(soundfile::isOtherAudioFile(out));
        int channels = 0;
        const auto expected = streamedFirstTwo(out, channels);
        const Loaded l = load(out, 1000000);
        EXPECT_EQ(l.header.formatTag, soundfile::WavPcm);
        EXPECT_EQ(l.header.bitsPerSample, 16);
        EXPECT_EQ(l.header.channels, 2);
        EXPECT_EQ(l.header.blockAlign, 4);
        EXPECT_EQ(l.frames * 2, int32_t(expected.size()));
        EXPECT_EQ(l.samples, expected);
    }
    // Lossless formats give the source's samples themselves.
    const auto original = testSignal(12000, 2, 22050);
    EXPECT_EQ(load(scratch("s.flac"), 1000000).samples, original);
    EXPECT_EQ(load(scratch("s.aiff"), 1000000).samples, original);
    EXPECT_EQ(load(scratch("s.flac"), 1000000).header.sampleRate, 22050u);
}

TEST(SoundLoad, CapacityAndChannels) {
    const std::string src = sourceWav("long.wav", 9000, 1, 16000);
    const std::string flac = scratch("long.flac");
    ASSERT_EQ(run("flac -s -f -o " + flac + " " + src), 0);
    // One frame beyond the capacity tells the caller the file is longer.
    const Loaded cut = load(flac, 4000);
    EXPECT_EQ(cut.frames, 4001);
    const auto all = testSignal(9000, 1, 16000);
    EXPECT_EQ(cut.samples, std::vector<int16_t>(all.begin(), all.begin() + 4001));
    EXPECT_EQ(load(flac, 9000).frames, 9000);

    // Four channels: the first two are kept, interleaved.
    const std::string quad = sourceWav("quad.wav", 3000, 4, 8000);
    const std::string quadFlac = scratch("quad.flac");
    ASSERT_EQ(run("sox -D " + quad + " " + quadFlac), 0);
    const Loaded q = load(quadFlac, 100000);
    ASSERT_EQ(q.header.channels, 2);
    ASSERT_EQ(q.frames, 3000);
    const auto four = testSignal(3000, 4, 8000);
    for (int i = 0; i < 3000; i += 97) {
        EXPECT_EQ(q.samples[std::size_t(i) * 2], four[std::size_t(i) * 4]);
        EXPECT_EQ(q.samples[std::size_t(i) * 2 + 1], four[std::size_t(i) * 4 + 1]);
    }
}

TEST(SoundLoad, FailuresAreThoseOfAWav) {
    soundfile::WavHeaderInfo h;
    int32_t frames = 7;
    int16_t* block = nullptr;
    std::string message;
    // Garbage, and a file that starts like FLAC but is not one.
    writeBytes(scratch("junk.flac"), {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16});
    EXPECT_THROW(soundfile::readSoundSamples(h, scratch("junk.flac"), 100, frames, block, message),
                 soundfile::UnknownFormat);
    writeBytes(scratch("broken.flac"),
               {'f', 'L', 'a', 'C', 0, 0, 0, 34, 9, 9, 9, 9, 9, 9, 9, 9, 9, 9});
    EXPECT_TRUE(soundfile::isOtherAudioFile(scratch("broken.flac")));
    frames = 7;
    EXPECT_THROW(
        soundfile::readSoundSamples(h, scratch("broken.flac"), 100, frames, block, message),
        soundfile::UnknownFormat);
    EXPECT_EQ(frames, 7);
    EXPECT_EQ(block, nullptr);
    // A WAV of an encoding nobody decodes gives the WAV decoder's text.
    writeBytes(scratch("odd.wav"),
               wavImage(Fmt{16, 0x55, 1, 8000, 1, 0}, std::vector<uint8_t>(100)));
    EXPECT_FALSE(soundfile::readSoundSamples(h, scratch("odd.wav"), 100, frames, block, message));
    EXPECT_EQ(message, soundfile::kFormatNotSupportedText);
    delete[] block;
}

TEST(SoundLoad, NamePatternsCoverEveryOfferedFormat) {
    const auto& p = soundfile::soundFileNamePatterns();
    for (const char* want : {"*.wav", "*.flac", "*.ogg", "*.opus", "*.mp3", "*.aiff", "*.aif"})
        EXPECT_NE(std::find(p.begin(), p.end(), want), p.end()) << want;
}
