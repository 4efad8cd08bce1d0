// A full-duplex style pair of many-buffer streams, built the way the duplex
// command builds them (bufferPlan buffers, initHeader/queueInput re-arming,
// output buffers refilled in rotation), run for 60 simulated seconds.

#include "WaveDevice.h"
#include "WaveTestSupport.h"

#include <deque>

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
    VirtualCardConfig c;
    c.keepPlayed = true;
    c.inputSamples = countingSource(uint32_t(rate * (Seconds + 1)), channels);
    c.inputChannels = channels;
    install(c);

    MessageWindow window;  // receives the messages; the flow polls the headers
    WaveDevice recorder, duplexDevice;
    for (WaveDevice* d : {&recorder, &duplexDevice}) {
        d->sampleRate = rate;
        d->bitsPerSample = 16;
        d->channels = channels;
    }
    const BufferPlan in = bufferPlan(rate, channels);
    const BufferPlan out = bufferPlan(rate, channels);
    static int16_t inBuffers[MaxStreamBuffers][StreamSlotSamples];
    static int16_t outBuffers[MaxStreamBuffers][StreamSlotSamples];
    WAVEHDR inHeaders[MaxStreamBuffers] = {}, outHeaders[MaxStreamBuffers] = {};
    std::memset(inBuffers, 0, sizeof inBuffers);
    std::memset(outBuffers, 0, sizeof outBuffers);

    WAVEFORMATEX inFormat, outFormat;
    HWAVEIN duplexIn = nullptr;
    HWAVEOUT duplexOut = nullptr;
    recorder.fillFormat(inFormat);
    ASSERT_TRUE(recorder.openInputStream(duplexIn, 0, &window, inFormat));
    for (int i = 0; i < in.count; ++i) {
        recorder.initHeader(in.samples, inBuffers[i], inHeaders[i]);
        ASSERT_TRUE(recorder.queueInput(duplexIn, inHeaders[i]));
    }
    duplexDevice.fillFormat(outFormat);
    ASSERT_TRUE(duplexDevice.openOutputStream(duplexOut, 0, &window, outFormat));
    std::vector<int16_t> fed;  // everything handed to the output, in order
    for (int i = 0; i < out.count; ++i) {
        duplexDevice.initHeader(out.samples, outBuffers[i], outHeaders[i]);
        ASSERT_TRUE(duplexDevice.queueOutput(duplexOut, outHeaders[i]));
        fed.insert(fed.end(), outBuffers[i], outBuffers[i] + out.samples);
    }
    ASSERT_EQ(waveInStart(duplexIn), MMSYSERR_NOERROR);

    std::deque<int16_t> fifo;
    int inIndex = 0, outIndex = 0, outputNotReady = 0;
    for (uint64_t ms = 0; ms < Seconds * 1000; ms += 10) {
        advanceMs(10, 10);
        while (inHeaders[inIndex].dwBytesRecorded == uint32_t(in.samples) * 2) {
            fifo.insert(fifo.end(), inBuffers[inIndex], inBuffers[inIndex] + in.samples);
            ASSERT_TRUE(recorder.releaseInput(duplexIn, inHeaders[inIndex]));
            recorder.initHeader(in.samples, inBuffers[inIndex], inHeaders[inIndex]);
            ASSERT_TRUE(recorder.queueInput(duplexIn, inHeaders[inIndex]));
            inIndex = (inIndex + 1) % in.count;
        }
        while (fifo.size() >= std::size_t(out.samples)) {
            if (!(outHeaders[outIndex].dwFlags & WHDR_DONE)) {
                ++outputNotReady;
                break;
            }
            std::copy(fifo.begin(), fifo.begin() + out.samples, outBuffers[outIndex]);
            fifo.erase(fifo.begin(), fifo.begin() + out.samples);
            fed.insert(fed.end(), outBuffers[outIndex], outBuffers[outIndex] + out.samples);
            ASSERT_TRUE(duplexDevice.queueOutput(duplexOut, outHeaders[outIndex]));
            outIndex = (outIndex + 1) % out.count;
        }
    }
    const VirtualPlayed played = virtualCardPlayed();

    EXPECT_EQ(waveInReset(duplexIn), MMSYSERR_NOERROR);
    for (int i = 0; i < in.count; ++i)
        EXPECT_EQ(waveInUnprepareHeader(duplexIn, &inHeaders[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(duplexIn), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutReset(duplexOut), MMSYSERR_NOERROR);
    for (int i = 0; i < out.count; ++i)
        EXPECT_EQ(waveOutUnprepareHeader(duplexOut, &outHeaders[i], sizeof(WAVEHDR)),
                  MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(duplexOut), MMSYSERR_NOERROR);

    // The output played exactly what it was fed, without a gap.
    EXPECT_EQ(played.underrunFrames, 0u);
    EXPECT_EQ(outputNotReady, 0);
    ASSERT_LE(played.samples.size(), fed.size());
    EXPECT_TRUE(std::equal(played.samples.begin(), played.samples.end(), fed.begin()));
    const std::size_t playedFrames = played.samples.size() / channels;
    EXPECT_EQ(playedFrames, std::size_t(rate) * Seconds);

    // After the silent start buffers come the captured frames, each once, in order.
    const std::size_t silentFrames = std::size_t(out.count) * out.samples / channels;
    bool inOrder = true;
    for (std::size_t i = silentFrames; i < playedFrames; ++i)
        inOrder &= frameNumber(&played.samples[i * channels], channels) ==
                   ((i - silentFrames) & (channels == 1 ? 0xFFFFu : 0xFFFFFFFFu));
    EXPECT_TRUE(inOrder);
}

INSTANTIATE_TEST_SUITE_P(Formats, DuplexStreamTest,
                         ::testing::Values(DuplexCase{8000, 1}, DuplexCase{16000, 2},
                                           DuplexCase{44100, 2}),
                         [](const ::testing::TestParamInfo<DuplexCase>& i) {
                             return std::to_string(i.param.rate) + "Hz" +
                                    std::to_string(i.param.channels) + "ch";
                         });

}  // namespace
