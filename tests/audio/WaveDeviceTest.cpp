// Player and recorder records on the virtual card's test clock.

#include "audio/WaveDevice.h"
#include "tests/audio/DeviceTestSupport.h"
#include "tests/platform/WaveTestSupport.h"

#include <memory>

namespace {

std::vector<int16_t> ramp(std::size_t n) {
    std::vector<int16_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = int16_t(i * 7);
    return v;
}

using PlayerTest = VirtualCardTest;
using RecorderTest = VirtualCardTest;

TEST_F(PlayerTest, PlayQueuesFramesTimesBlockAlignBytes) {
    std::vector<int16_t> block(2000);
    for (uint32_t channels : {1u, 2u}) {
        audio::WaveDevice player = audiotest::pcm16Device(22050, channels, nullptr);
        ASSERT_TRUE(player.play(WAVE_MAPPER, 1000, block.data()));
        EXPECT_EQ(player.header.dwBufferLength, 1000u * 2 * channels);
        EXPECT_EQ(player.header.lpData, reinterpret_cast<LPSTR>(block.data()));
        EXPECT_EQ(player.active, 1);
        EXPECT_EQ(player.lastResult, 0u);
        EXPECT_EQ(player.format.wFormatTag, 1);
        EXPECT_EQ(player.format.nChannels, channels);
        EXPECT_EQ(player.format.nSamplesPerSec, 22050u);
        EXPECT_EQ(player.format.nAvgBytesPerSec, 22050u * 2 * channels);
        EXPECT_EQ(player.format.nBlockAlign, 2 * channels);
        EXPECT_EQ(player.format.wBitsPerSample, 16);
        EXPECT_EQ(player.format.cbSize, 0);
        EXPECT_TRUE(player.closeOutput());
        EXPECT_EQ(player.handle, nullptr);
    }
}

TEST_F(PlayerTest, OneDoneMessagePerPassAndPositionRunsOnAcrossPasses) {
    MessageWindow window;
    const std::vector<int16_t> block = ramp(800); // 100 ms at 8000 Hz
    audio::WaveDevice player = audiotest::pcm16Device(8000, 1, &window);
    ASSERT_TRUE(player.play(WAVE_MAPPER, 800, block.data()));
    advanceMs(60);
    EXPECT_EQ(window.count(MM_WOM_DONE), 0);
    EXPECT_EQ(player.position(), 480u);
    advanceMs(60);
    ASSERT_EQ(window.count(MM_WOM_DONE), 1);
    EXPECT_EQ(window.received[0].header, &player.header);
    EXPECT_EQ(window.received[0].device, player.handle);
    EXPECT_EQ(player.position(), 800u); // the device stays open and waits

    for (int pass = 2; pass <= 3; ++pass) {
        ASSERT_TRUE(player.requeue());
        advanceMs(50);
        EXPECT_EQ(player.position(), 800u * (pass - 1) + 400);
        advanceMs(55);
        EXPECT_EQ(window.count(MM_WOM_DONE), pass);
        EXPECT_EQ(player.position(), 800u * pass);
    }
    std::vector<int16_t> threeTimes;
    for (int i = 0; i < 3; ++i)
        threeTimes.insert(threeTimes.end(), block.begin(), block.end());
    EXPECT_EQ(platform::virtualCardPlayed().samples, threeTimes);
    EXPECT_TRUE(player.closeOutput());
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(window.count(MM_WOM_DONE), 3); // nothing was queued at the close
}

TEST_F(PlayerTest, PauseHoldsThePositionAndRestartGoesOn) {
    const std::vector<int16_t> block = ramp(1600);
    audio::WaveDevice player = audiotest::pcm16Device(16000, 1, nullptr);
    ASSERT_TRUE(player.play(0, 1600, block.data()));
    advanceMs(20);
    ASSERT_TRUE(player.pause());
    advanceMs(50);
    EXPECT_EQ(player.position(), 320u);
    ASSERT_TRUE(player.restart());
    advanceMs(10);
    EXPECT_EQ(player.position(), 480u);
    EXPECT_TRUE(player.closeOutput());
}

TEST_F(PlayerTest, CloseMidPlayDeliversTheDoneMessageAndTwiceIsHarmless) {
    MessageWindow window;
    const std::vector<int16_t> block = ramp(8000);
    audio::WaveDevice player = audiotest::pcm16Device(8000, 1, &window);
    ASSERT_TRUE(player.play(WAVE_MAPPER, 8000, block.data()));
    advanceMs(100);
    ASSERT_TRUE(player.closeOutput());
    EXPECT_EQ(player.handle, nullptr);
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(window.count(MM_WOM_DONE), 1);
    EXPECT_TRUE(window.received[0].flags & WHDR_DONE);
    EXPECT_EQ(platform::virtualCardPlayed().samples.size(), 800u);

    const WAVEHDR header = player.header;
    const WAVEFORMATEX format = player.format;
    EXPECT_FALSE(player.closeOutput());
    EXPECT_EQ(player.lastResult, UINT(MMSYSERR_INVALHANDLE));
    EXPECT_EQ(player.handle, nullptr);
    EXPECT_EQ(std::memcmp(&header, &player.header, sizeof header), 0);
    EXPECT_EQ(std::memcmp(&format, &player.format, sizeof format), 0);
    EXPECT_EQ(player.position(), 0u);
    EXPECT_FALSE(player.requeue());
    advanceMs(20);
    EXPECT_EQ(window.count(MM_WOM_DONE), 1);
}

TEST_F(PlayerTest, UnusableFormatFailsWithTheDeviceCode) {
    const std::vector<int16_t> block(100);
    audio::WaveDevice player = audiotest::pcm16Device(8000, 1, nullptr);
    player.bitsPerSample = 24;
    EXPECT_FALSE(player.play(WAVE_MAPPER, 10, block.data()));
    EXPECT_EQ(player.lastResult, UINT(WAVERR_BADFORMAT));
    EXPECT_EQ(player.handle, nullptr);
    EXPECT_EQ(player.active, 0);
    player.bitsPerSample = 16;
    EXPECT_FALSE(player.play(5, 10, block.data()));
    EXPECT_EQ(player.lastResult, UINT(MMSYSERR_BADDEVICEID));
}

TEST_F(RecorderTest, StoppedEarlyReportsTheBytesCaptured) {
    platform::VirtualCardConfig c;
    c.inputSamples = ramp(30000);
    install(c);
    MessageWindow window;
    std::vector<int16_t> buffer(16000, -1);
    audio::WaveDevice recorder = audiotest::pcm16Device(8000, 1, &window);
    ASSERT_TRUE(recorder.record(WAVE_MAPPER, 16000, buffer.data()));
    EXPECT_EQ(recorder.active, 2);
    EXPECT_EQ(recorder.header.dwBufferLength, 32000u);
    advanceMs(1500);
    EXPECT_EQ(window.count(MM_WIM_DATA), 0);
    ASSERT_TRUE(recorder.closeInput());
    EXPECT_EQ(recorder.bytesRecorded(), 24000u); // 12000 samples of 1.5 s
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(window.count(MM_WIM_DATA), 1);
    EXPECT_EQ(window.received[0].bytesRecorded, 24000u);
    const std::vector<int16_t> source = ramp(12000);
    EXPECT_TRUE(std::equal(source.begin(), source.end(), buffer.begin()));
    EXPECT_EQ(buffer[12000], -1);
    EXPECT_FALSE(recorder.closeInput());
    EXPECT_EQ(recorder.lastResult, UINT(MMSYSERR_INVALHANDLE));
    EXPECT_EQ(recorder.bytesRecorded(), 24000u);
}

TEST_F(RecorderTest, FullBufferReturnsByItselfAndTheDeviceStaysOpen) {
    MessageWindow window;
    std::vector<int16_t> buffer(3200);
    audio::WaveDevice recorder = audiotest::pcm16Device(16000, 2, &window);
    ASSERT_TRUE(recorder.record(0, 3200, buffer.data()));
    advanceMs(99);
    EXPECT_EQ(window.count(MM_WIM_DATA), 0);
    advanceMs(5);
    ASSERT_EQ(window.count(MM_WIM_DATA), 1);
    EXPECT_EQ(recorder.bytesRecorded(), 6400u);
    EXPECT_NE(recorder.handle, nullptr);
    advanceMs(100);
    EXPECT_EQ(window.count(MM_WIM_DATA), 1);
    EXPECT_TRUE(recorder.closeInput());
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(window.count(MM_WIM_DATA), 1);
}

TEST_F(RecorderTest, WholeStoreBufferIsOneHeaderOfFortyMillionBytes) {
    constexpr uint32_t Samples = 20000000;
    std::unique_ptr<int16_t[]> store(new int16_t[Samples]); // never touched
    audio::WaveDevice recorder = audiotest::pcm16Device(16000, 2, nullptr);
    ASSERT_TRUE(recorder.openInput(WAVE_MAPPER, Samples, store.get()));
    EXPECT_EQ(recorder.header.dwBufferLength, 40000000u);
    EXPECT_EQ(recorder.header.dwBufferLength / recorder.format.nBlockAlign, 10000000u);
    EXPECT_EQ(recorder.active, 0); // opened, not started
    EXPECT_TRUE(recorder.closeInput());
    EXPECT_EQ(recorder.bytesRecorded(), 0u);
}

TEST(WaveDeviceRecord, FormatAndHeaderFollowTheRecordFields) {
    audio::WaveDevice d;
    d.sampleRate = 11025;
    d.bitsPerSample = 16;
    d.channels = 2;
    WAVEFORMATEX f;
    std::memset(&f, 0xAB, sizeof f);
    d.fillFormat(f);
    EXPECT_EQ(f.wFormatTag, 1);
    EXPECT_EQ(f.nChannels, 2);
    EXPECT_EQ(f.nSamplesPerSec, 11025u);
    EXPECT_EQ(f.nAvgBytesPerSec, 44100u);
    EXPECT_EQ(f.nBlockAlign, 4);
    EXPECT_EQ(f.wBitsPerSample, 16);
    EXPECT_EQ(f.cbSize, 0);
    int16_t data[10];
    WAVEHDR h;
    std::memset(&h, 0xAB, sizeof h);
    d.initHeader(2756, data, h);
    EXPECT_EQ(h.lpData, reinterpret_cast<LPSTR>(data));
    EXPECT_EQ(h.dwBufferLength, 5512u);
    EXPECT_EQ(h.dwBytesRecorded, 0u);
    EXPECT_EQ(h.dwUser, 0u);
    EXPECT_EQ(h.dwFlags, 0u);
    EXPECT_EQ(h.dwLoops, 0u);
}

// Both kinds of "no device": a virtual card without devices (deterministic)
// and PortAudio on a machine without a sound card (CI).
void expectNoDeviceFailures() {
    std::vector<int16_t> block(1000);
    audio::WaveDevice player;
    player.sampleRate = 16000;
    EXPECT_FALSE(player.play(WAVE_MAPPER, 1000, block.data()));
    EXPECT_EQ(player.lastResult, UINT(WAVE_NO_OUTPUT_DEVICE));
    EXPECT_EQ(player.handle, nullptr);
    EXPECT_EQ(player.active, 0);
    EXPECT_FALSE(player.closeOutput());

    audio::WaveDevice recorder;
    recorder.sampleRate = 16000;
    EXPECT_FALSE(recorder.record(WAVE_MAPPER, 1000, block.data()));
    EXPECT_EQ(recorder.lastResult, UINT(WAVE_NO_INPUT_DEVICE));
    EXPECT_EQ(recorder.handle, nullptr);

    WAVEFORMATEX f;
    player.fillFormat(f);
    HWAVE stream = nullptr;
    player.lastResult = 1234;
    EXPECT_FALSE(player.openOutputStream(stream, WAVE_MAPPER, nullptr, f));
    EXPECT_EQ(player.lastResult, 1234u);
    EXPECT_FALSE(recorder.openInputStream(stream, WAVE_MAPPER, nullptr, f));
    EXPECT_EQ(stream, nullptr);
}

TEST(WaveDeviceNoDevice, VirtualCardWithoutDevices) {
    testApp();
    platform::VirtualCardConfig c;
    c.testClock = true;
    c.outputs = c.inputs = 0;
    ASSERT_TRUE(platform::installVirtualCard(c));
    expectNoDeviceFailures();
}

TEST(WaveDeviceNoDevice, PortAudioWithoutSoundCard) {
    ASSERT_TRUE(platform::installBackend(platform::makePortAudioBackend()));
    if (waveOutGetNumDevs() != 0 || waveInGetNumDevs() != 0)
        GTEST_SKIP() << "this machine has sound devices";
    expectNoDeviceFailures();
}

TEST(RecordedFrames, FromTheBytesOrTheElapsedTimeAndNeverBeyondTheBuffer) {
    EXPECT_EQ(audio::recordedFrames(32000, 1, 0, 16000, 1000000), 16000);
    EXPECT_EQ(audio::recordedFrames(64000, 2, 0, 16000, 1000000), 16000);
    // A device that reports no bytes: the time the recording ran.
    EXPECT_EQ(audio::recordedFrames(0, 1, 1500, 8000, 1000000), 12000);
    // Never more frames than the buffer holds, whatever the count says.
    EXPECT_EQ(audio::recordedFrames(0, 2, 600000, 16000, 1000000), 500000);
    EXPECT_EQ(audio::recordedFrames(4000000, 1, 0, 16000, 1000000), 1000000);
    EXPECT_EQ(audio::recordedFrames(0, 1, 0, 16000, 1000), 0);
}

} // namespace
