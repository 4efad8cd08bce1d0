// The duplex session of the window's full-duplex command, on the virtual
// card's test clock for 60 simulated seconds: capture buffers taken in
// rotation, the engine step passing the signal through, output buffers
// refilled in rotation.

#include "audio/DuplexSession.h"
#include "tests/platform/WaveTestSupport.h"

#include <vector>

namespace {

// Frame i carries i in its first two samples (split into 16-bit halves), so a
// lost, repeated or reordered frame shows.
std::vector<int16_t> countingSource(uint32_t frames, uint32_t channels) {
    std::vector<int16_t> v(std::size_t(frames) * channels);
    for (uint32_t i = 0; i < frames; ++i) {
        v[i * channels] = int16_t(i >> 16);
        v[i * channels + channels - 1] = int16_t(i & 0xFFFF);
    }
    return v;
}
// Mono frames keep only the low half.
uint32_t frameNumber(const int16_t* frame, uint32_t channels) {
    if (channels == 1)
        return uint16_t(frame[0]);
    return (uint32_t(uint16_t(frame[0])) << 16) | uint16_t(frame[channels - 1]);
}

struct DuplexCase {
    uint32_t rate;
    uint32_t channels;
};

class DuplexStreamTest : public VirtualCardTest,
                         public ::testing::WithParamInterface<DuplexCase> {};

TEST_P(DuplexStreamTest, SixtySecondsWithoutLostOrRepeatedBuffers) {
    const uint32_t rate = GetParam().rate, channels = GetParam().channels;
    constexpr uint64_t Seconds = 60;
    platform::VirtualCardConfig c;
    c.keepPlayed = true;
    c.inputSamples = countingSource(uint32_t(rate * (Seconds + 1)), channels);
    c.inputChannels = channels;
    install(c);

    // The engine passes the signal through unchanged, so what plays is what
    // was captured.
    processing::restartEngines(
        processing::engineSettingsAt(int32_t(rate), processing::EngineParameters{}));
    auto controls = [rate] {
        audio::LiveControls l;
        l.params.sampleRate = int32_t(rate);
        l.frame.processEnabled = false;
        return l;
    };

    MessageWindow window; // receives the messages; the session polls the headers
    audio::WaveDevice recorder;
    recorder.sampleRate = rate;
    recorder.bitsPerSample = 16;
    recorder.channels = channels;
    audio::DuplexSession session;
    session.output.sampleRate = rate;
    session.output.bitsPerSample = 16;
    session.output.channels = channels;

    // The signals the session appends to, with room for their 30-second window.
    const int32_t capacity = int32_t(rate) * (audio::DuplexWindowSeconds + 2);
    std::vector<int16_t> orig[2], changed[2];
    for (auto* v : {&orig[0], &orig[1], &changed[0], &changed[1]})
        v->assign(std::size_t(capacity), 0);
    int32_t origLength = 0, changedLength = 0, selectionStart = 0, selectionEnd = 0;
    audio::ChannelPair origPair{{orig[0].data(), orig[1].data()}, &origLength, capacity};
    audio::ChannelPair changedPair{
        {changed[0].data(), changed[1].data()}, &changedLength, capacity};

    ASSERT_TRUE(session.openCapture(recorder, 0, &window));
    ASSERT_TRUE(session.openOutput(0, &window));
    ASSERT_TRUE(session.startCapture());
    const audio::BufferPlan out = audio::bufferPlan(rate, channels);
    EXPECT_EQ(session.outBufferCount(), out.count);

    for (uint64_t ms = 0; ms < Seconds * 1000; ms += 10) {
        advanceMs(10, 10);
        session.takeCaptured(recorder, origPair, changedPair, channels, selectionStart,
                             selectionEnd);
        session.clean(controls, channels);
        session.play(changedPair);
    }
    const platform::VirtualPlayed played = platform::virtualCardPlayed();
    session.closeCapture();
    session.closeOutput();
    EXPECT_FALSE(session.captureOpen());
    EXPECT_FALSE(session.outputOpen());

    // The output never ran dry, and played one frame per frame of time.
    EXPECT_EQ(played.underrunFrames, 0u);
    const std::size_t playedFrames = played.samples.size() / channels;
    EXPECT_EQ(playedFrames, std::size_t(rate) * Seconds);

    // After the silent start buffers come the captured frames, each once, in order.
    const uint32_t mask = channels == 1 ? 0xFFFFu : 0xFFFFFFFFu;
    const std::size_t silentFrames = std::size_t(out.count) * out.samples / channels;
    bool inOrder = true;
    for (std::size_t i = silentFrames; i < playedFrames; ++i)
        inOrder &=
            frameNumber(&played.samples[i * channels], channels) == ((i - silentFrames) & mask);
    EXPECT_TRUE(inOrder);

    // Both signals keep their last 30 s: the original the captured frames in
    // order up to the newest, the changed signal what was handed to the output.
    EXPECT_LE(origLength, int32_t(rate) * audio::DuplexWindowSeconds);
    EXPECT_GE(origLength, int32_t(rate) * audio::DuplexWindowSeconds - out.samples);
    EXPECT_GE(changedLength, int32_t(rate) * audio::DuplexWindowSeconds - out.samples);
    auto numberAt = [channels](const std::vector<int16_t>* s, int32_t i) {
        int16_t frame[2] = {s[0][std::size_t(i)], s[channels - 1][std::size_t(i)]};
        return channels == 1 ? uint32_t(uint16_t(frame[0])) : frameNumber(frame, 2);
    };
    bool origInOrder = true, changedInOrder = true;
    for (int32_t i = 1; i < origLength; ++i)
        origInOrder &= numberAt(orig, i) == ((numberAt(orig, i - 1) + 1) & mask);
    for (int32_t i = 1; i < changedLength; ++i)
        changedInOrder &= numberAt(changed, i) == ((numberAt(changed, i - 1) + 1) & mask);
    EXPECT_TRUE(origInOrder);
    EXPECT_TRUE(changedInOrder);
}

INSTANTIATE_TEST_SUITE_P(Formats, DuplexStreamTest,
                         ::testing::Values(DuplexCase{8000, 1}, DuplexCase{16000, 2},
                                           DuplexCase{44100, 2}),
                         [](const ::testing::TestParamInfo<DuplexCase>& i) {
                             return std::to_string(i.param.rate) + "Hz" +
                                    std::to_string(i.param.channels) + "ch";
                         });

} // namespace
