// Recording from the virtual card's input: what the card delivers becomes
// the original signal exactly (mono and stereo), the running time in the
// status bar, a full buffer ending the recording by itself, and no input
// device.

#include "tests/app/SoundTestSupport.h"

#include "audio/VirtualCardFiles.h"
#include "soundfile/WavFile.h"

namespace {

using soundtest::advance;
using soundtest::pattern;
using soundtest::shows;

class Recording : public soundtest::SoundTest {
  protected:
    // A WAV file as the card's input.
    std::vector<int16_t> feed(int rate, int channels, int32_t frames, int seed) {
        std::vector<int16_t> s = pattern(frames, channels, seed);
        const std::string path = apptest::scratchDir() + "/input-" + std::to_string(seed) + ".wav";
        std::string err;
        EXPECT_TRUE(soundfile::writePcmWav(path, uint32_t(rate), uint16_t(channels), s.data(),
                                           std::size_t(frames), err))
            << err;
        platform::VirtualCardConfig c;
        c.input = audio::virtualInputFile(path);
        install(c);
        return s;
    }
};

TEST_F(Recording, AStoppedMonoRecordingIsTheInputWithASilentRight) {
    soundtest::configure(8000, 1);
    const std::vector<int16_t> input = feed(8000, 1, 40000, 21);
    load(pattern(500, 2), 2, 16000); // a stereo signal is replaced
    w->tRecordClick();
    EXPECT_EQ(w->workMode, app::WorkRecording);
    EXPECT_TRUE(shows(w->tRecord, app::ImgStop));
    EXPECT_TRUE(w->TimerRec->isActive());
    EXPECT_EQ(w->recorder.sampleRate, 8000u);
    EXPECT_EQ(soundfile::sourceHeader.avgBytesPerSec, 16000u);
    for (int t = 0; t < 3; ++t)
        w->TimerRecTimer();
    EXPECT_EQ(w->Status0->panelText(2), "Title: 200 ms/1600");
    advance(1500);
    w->tRecordClick(); // stop: the data message finishes
    EXPECT_EQ(w->workMode, app::WorkRecording);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(w->workMode, app::WorkReady);
    EXPECT_FALSE(w->TimerRec->isActive());
    EXPECT_TRUE(shows(w->tRecord, app::ImgRecord));
    EXPECT_EQ(w->tRecord->toolTip(), "Start audio recording");
    ASSERT_EQ(w->origLength, 12000);
    EXPECT_TRUE(std::equal(input.begin(), input.begin() + 12000, w->origSamples.data(0)));
    for (int32_t i = 0; i < 12000; ++i)
        ASSERT_EQ(w->origSamples[1][i], 0) << i;
    EXPECT_EQ(w->recorder.channels, 1u);
    EXPECT_EQ(w->player.sampleRate, 8000u);
    EXPECT_EQ(w->samplesPerMs, 8);
    EXPECT_EQ(w->fullScale, 32768);
    EXPECT_EQ(w->Status0->panelText(0), "File: ");
    EXPECT_EQ(w->ScrollSignal->maximum(), 1200);
    EXPECT_TRUE(w->tPlayAll->isEnabled());
}

TEST_F(Recording, AStereoRecordingKeepsBothChannels) {
    soundtest::configure(16000, 2);
    const std::vector<int16_t> input = feed(16000, 2, 16000, 22);
    w->tRecordClick();
    advance(700);
    w->tRecordClick();
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(w->origLength, 11200);
    for (int32_t i = 0; i < w->origLength; ++i) {
        ASSERT_EQ(w->origSamples[0][i], input[std::size_t(i) * 2]) << i;
        ASSERT_EQ(w->origSamples[1][i], input[std::size_t(i) * 2 + 1]) << i;
    }
    EXPECT_EQ(w->recorder.channels, 2u);
    EXPECT_EQ(soundfile::sourceHeader.blockAlign, 4u);
}

TEST_F(Recording, AFullBufferEndsTheRecordingByItself) {
    soundtest::configure(32000, 2);
    const std::vector<int16_t> input = feed(32000, 2, 32000, 23);
    w->tRecordClick();
    // 10,000,000 stereo frames at 32 kHz: 312.5 s.
    advance(312000, 1000);
    EXPECT_EQ(w->workMode, app::WorkRecording);
    advance(1000, 100);
    EXPECT_EQ(w->workMode, app::WorkReady);
    ASSERT_EQ(w->origLength, processing::MaxOrigSamples / 2);
    // The looped input, still in step at the very end.
    const int32_t last = w->origLength - 1;
    EXPECT_EQ(w->origSamples[0][last], input[std::size_t(last % 32000) * 2]);
    EXPECT_EQ(w->origSamples[1][last], input[std::size_t(last % 32000) * 2 + 1]);
}

TEST_F(Recording, OpeningAFileEndsTheRecordingFirst) {
    soundtest::configure(8000, 1);
    const std::vector<int16_t> input = feed(8000, 1, 8000, 24);
    std::vector<int16_t> file = pattern(900, 2, 25);
    const std::string path = apptest::scratchDir() + "/during-recording.wav";
    std::string err;
    ASSERT_TRUE(soundfile::writePcmWav(path, 16000, 2, file.data(), 900, err)) << err;
    w->tRecordClick();
    advance(200);
    // A file that cannot be read keeps what was recorded.
    apptest::answerDialogs({QString::fromStdString(apptest::scratchDir() + "/missing.wav")});
    w->tOpenClick();
    apptest::takeMessages();
    EXPECT_EQ(w->workMode, app::WorkReady);
    EXPECT_FALSE(w->TimerRec->isActive());
    EXPECT_EQ(w->recorder.handle, nullptr);
    ASSERT_EQ(w->origLength, 1600);
    EXPECT_TRUE(std::equal(input.begin(), input.begin() + 1600, w->origSamples.data(0)));
    // Recording again, then a readable file replaces the recording.
    w->tRecordClick();
    advance(100);
    apptest::answerDialogs({QString::fromStdString(path)});
    w->tOpenClick();
    EXPECT_EQ(w->origLength, 900);
    EXPECT_EQ(w->recorder.sampleRate, 16000u);
    QCoreApplication::sendPostedEvents(); // the late data message changes nothing
    EXPECT_EQ(w->origLength, 900);
    EXPECT_TRUE(shows(w->tRecord, app::ImgRecord));
}

TEST_F(Recording, NoInputDeviceIsSaidInWordsAndNothingStarts) {
    platform::VirtualCardConfig none;
    none.inputs = 0;
    install(none);
    load(pattern(500, 1), 1, 8000);
    w->tRecordClick();
    EXPECT_EQ(w->workMode, app::WorkReady);
    EXPECT_FALSE(w->TimerRec->isActive());
    EXPECT_TRUE(shows(w->tRecord, app::ImgRecord));
    EXPECT_EQ(w->origLength, 500);
    const QStringList m = apptest::takeMessages();
    ASSERT_EQ(m.size(), 1);
    EXPECT_TRUE(m[0].contains("No sound input device")) << m[0].toStdString();
    // The stop button of a recording that never ran does nothing.
    w->tStopClick();
    EXPECT_EQ(w->origLength, 500);
}

} // namespace
