// The waveOut*/waveIn* calls on the virtual card's test clock.

#include "tests/platform/WaveTestSupport.h"

#include <cstring>
#include <numeric>

namespace {

constexpr UINT H = sizeof(WAVEHDR);

struct FunctionLog {
    std::vector<std::pair<UINT, WAVEHDR*>> calls;
};

void logCallback(HWAVE, UINT msg, DWORD_PTR instance, DWORD_PTR p1, DWORD_PTR) {
    reinterpret_cast<FunctionLog*>(instance)->calls.push_back(
        {msg, reinterpret_cast<WAVEHDR*>(p1)});
}

// A counting signal: sample i is i (wrapping), so losses and repeats show.
std::vector<int16_t> ramp(std::size_t n, int start = 0) {
    std::vector<int16_t> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = int16_t(start + int(i));
    return v;
}

WAVEHDR headerFor(std::vector<int16_t>& block) {
    WAVEHDR h{};
    h.lpData = reinterpret_cast<LPSTR>(block.data());
    h.dwBufferLength = DWORD(block.size() * 2);
    return h;
}

using WaveOutTest = VirtualCardTest;
using WaveInTest = VirtualCardTest;

TEST_F(WaveOutTest, BuffersPlayInQueueOrderAndComeBackDone) {
    FunctionLog log;
    const WAVEFORMATEX f = pcmFormat(8000, 1);
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, WAVE_MAPPER, &f, reinterpret_cast<DWORD_PTR>(logCallback),
                          reinterpret_cast<DWORD_PTR>(&log), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    std::vector<int16_t> a = ramp(80), b = ramp(80, 80), c = ramp(80, 160);
    WAVEHDR ha = headerFor(a), hb = headerFor(b), hc = headerFor(c);
    for (WAVEHDR* x : {&ha, &hb, &hc}) {
        ASSERT_EQ(waveOutPrepareHeader(h, x, H), MMSYSERR_NOERROR);
        ASSERT_EQ(waveOutWrite(h, x, H), MMSYSERR_NOERROR);
        EXPECT_TRUE(x->dwFlags & WHDR_INQUEUE);
        EXPECT_FALSE(x->dwFlags & WHDR_DONE);
    }
    platform::virtualCardAdvance(15000); // 120 frames: the first buffer and half the second
    ASSERT_EQ(log.calls.size(), 1u);
    EXPECT_EQ(log.calls[0].first, UINT(MM_WOM_DONE));
    EXPECT_EQ(log.calls[0].second, &ha);
    EXPECT_EQ(ha.dwFlags & (WHDR_DONE | WHDR_INQUEUE | WHDR_PREPARED),
              DWORD(WHDR_DONE | WHDR_PREPARED));
    EXPECT_TRUE(hb.dwFlags & WHDR_INQUEUE);
    platform::virtualCardAdvance(30000);
    ASSERT_EQ(log.calls.size(), 3u);
    EXPECT_EQ(log.calls[1].second, &hb);
    EXPECT_EQ(log.calls[2].second, &hc);

    const platform::VirtualPlayed played = platform::virtualCardPlayed();
    EXPECT_EQ(played.samples, ramp(240));
    EXPECT_GT(played.underrunFrames, 0u); // ran dry after the third buffer

    for (WAVEHDR* x : {&ha, &hb, &hc})
        EXPECT_EQ(waveOutUnprepareHeader(h, x, H), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
}

TEST_F(WaveOutTest, PositionCountsEveryPassUntilReset) {
    const WAVEFORMATEX f = pcmFormat(16000, 2);
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, 0, &f, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    std::vector<int16_t> block(2 * 160); // 10 ms
    WAVEHDR hdr = headerFor(block);
    ASSERT_EQ(waveOutPrepareHeader(h, &hdr, H), MMSYSERR_NOERROR);
    auto pos = [h] {
        MMTIME t{};
        t.wType = TIME_SAMPLES;
        EXPECT_EQ(waveOutGetPosition(h, &t, sizeof t), MMSYSERR_NOERROR);
        return t.u.sample;
    };
    for (int pass = 1; pass <= 3; ++pass) {
        ASSERT_EQ(waveOutWrite(h, &hdr, H), MMSYSERR_NOERROR);
        platform::virtualCardAdvance(20000); // longer than the buffer: position stops at its end
        EXPECT_EQ(pos(), DWORD(160 * pass));
        EXPECT_TRUE(hdr.dwFlags & WHDR_DONE); // applied by the call on the handle
    }
    MMTIME bytes{};
    bytes.wType = TIME_BYTES;
    waveOutGetPosition(h, &bytes, sizeof bytes);
    EXPECT_EQ(bytes.u.cb, DWORD(3 * 160 * 4));

    ASSERT_EQ(waveOutWrite(h, &hdr, H), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutPause(h), MMSYSERR_NOERROR);
    platform::virtualCardAdvance(20000);
    EXPECT_EQ(pos(), DWORD(480)); // paused: nothing played
    EXPECT_EQ(waveOutRestart(h), MMSYSERR_NOERROR);
    platform::virtualCardAdvance(5000);
    EXPECT_EQ(pos(), DWORD(560));
    EXPECT_EQ(waveOutClose(h), UINT(WAVERR_STILLPLAYING)); // half a buffer still queued
    EXPECT_EQ(waveOutReset(h), MMSYSERR_NOERROR);
    EXPECT_EQ(pos(), DWORD(0));
    EXPECT_EQ(hdr.dwFlags & (WHDR_DONE | WHDR_INQUEUE), DWORD(WHDR_DONE));
    EXPECT_EQ(waveOutUnprepareHeader(h, &hdr, H), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
}

TEST_F(WaveOutTest, QueuedHeaderCannotBeWrittenUnpreparedOrClosedOver) {
    const WAVEFORMATEX f = pcmFormat(8000, 1);
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, 0, &f, 0, 0, CALLBACK_NULL), MMSYSERR_NOERROR);
    std::vector<int16_t> block(800);
    WAVEHDR hdr = headerFor(block);
    EXPECT_EQ(waveOutWrite(h, &hdr, H), UINT(WAVERR_UNPREPARED));
    ASSERT_EQ(waveOutPrepareHeader(h, &hdr, H), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutPrepareHeader(h, &hdr, H), MMSYSERR_NOERROR); // twice is allowed
    ASSERT_EQ(waveOutWrite(h, &hdr, H), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutWrite(h, &hdr, H), UINT(WAVERR_STILLPLAYING));
    // An owner that clears the flags of a queued header does not get it queued twice.
    hdr.dwFlags = WHDR_PREPARED;
    EXPECT_EQ(waveOutWrite(h, &hdr, H), UINT(WAVERR_STILLPLAYING));
    EXPECT_EQ(waveOutUnprepareHeader(h, &hdr, H), UINT(WAVERR_STILLPLAYING));
    EXPECT_EQ(waveOutClose(h), UINT(WAVERR_STILLPLAYING));
    EXPECT_EQ(waveOutWrite(h, &hdr, 8), UINT(MMSYSERR_INVALPARAM)); // wrong header size
    EXPECT_EQ(waveOutReset(h), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutUnprepareHeader(h, &hdr, H), MMSYSERR_NOERROR);
    EXPECT_FALSE(hdr.dwFlags & WHDR_PREPARED);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
}

TEST_F(WaveOutTest, NullClosedAndWrongDirectionHandlesAreRefused) {
    const WAVEFORMATEX f = pcmFormat(8000, 1);
    HWAVEOUT out = nullptr;
    HWAVEIN in = nullptr;
    ASSERT_EQ(waveOutOpen(&out, 0, &f, 0, 0, 0), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInOpen(&in, 0, &f, 0, 0, 0), MMSYSERR_NOERROR);
    std::vector<int16_t> block(80);
    WAVEHDR hdr = headerFor(block);
    MMTIME t{};
    t.wType = TIME_SAMPLES;
    // An input handle is no output handle and the reverse.
    EXPECT_EQ(waveOutWrite(in, &hdr, H), UINT(MMSYSERR_INVALHANDLE));
    EXPECT_EQ(waveInStart(out), UINT(MMSYSERR_INVALHANDLE));
    EXPECT_EQ(waveOutClose(in), UINT(MMSYSERR_INVALHANDLE));
    ASSERT_EQ(waveOutClose(out), MMSYSERR_NOERROR);
    ASSERT_EQ(waveInClose(in), MMSYSERR_NOERROR);

    const WAVEHDR before = hdr;
    for (HWAVE bad : {HWAVE(nullptr), out}) {
        EXPECT_EQ(waveOutPrepareHeader(bad, &hdr, H), UINT(MMSYSERR_INVALHANDLE));
        EXPECT_EQ(waveOutWrite(bad, &hdr, H), UINT(MMSYSERR_INVALHANDLE));
        EXPECT_EQ(waveOutUnprepareHeader(bad, &hdr, H), UINT(MMSYSERR_INVALHANDLE));
        EXPECT_EQ(waveOutPause(bad), UINT(MMSYSERR_INVALHANDLE));
        EXPECT_EQ(waveOutRestart(bad), UINT(MMSYSERR_INVALHANDLE));
        EXPECT_EQ(waveOutReset(bad), UINT(MMSYSERR_INVALHANDLE));
        EXPECT_EQ(waveOutGetPosition(bad, &t, sizeof t), UINT(MMSYSERR_INVALHANDLE));
        EXPECT_EQ(waveOutClose(bad), UINT(MMSYSERR_INVALHANDLE));
    }
    for (HWAVE bad : {HWAVE(nullptr), in}) {
        EXPECT_EQ(waveInAddBuffer(bad, &hdr, H), UINT(MMSYSERR_INVALHANDLE));
        EXPECT_EQ(waveInStart(bad), UINT(MMSYSERR_INVALHANDLE));
        EXPECT_EQ(waveInStop(bad), UINT(MMSYSERR_INVALHANDLE));
        EXPECT_EQ(waveInReset(bad), UINT(MMSYSERR_INVALHANDLE));
        EXPECT_EQ(waveInClose(bad), UINT(MMSYSERR_INVALHANDLE));
    }
    EXPECT_EQ(std::memcmp(&before, &hdr, sizeof hdr), 0);
}

TEST_F(WaveOutTest, OpenChecksDeviceNumberFormatAndFlags) {
    HWAVEOUT h = nullptr;
    WAVEFORMATEX f = pcmFormat(8000, 1);
    EXPECT_EQ(waveOutOpen(&h, 1, &f, 0, 0, 0), UINT(MMSYSERR_BADDEVICEID));
    EXPECT_EQ(waveOutOpen(&h, 0, nullptr, 0, 0, 0), UINT(MMSYSERR_INVALPARAM));
    EXPECT_EQ(waveOutOpen(nullptr, 0, &f, 0, 0, 0), UINT(MMSYSERR_INVALPARAM));
    EXPECT_EQ(waveOutOpen(nullptr, 0, &f, 0, 0, WAVE_FORMAT_QUERY), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutOpen(&h, 0, &f, 0, 0, 0x00050000 /* event callback */),
              UINT(MMSYSERR_NOTSUPPORTED));
    WAVEFORMATEX bad = f;
    bad.wFormatTag = 3;
    EXPECT_EQ(waveOutOpen(&h, 0, &bad, 0, 0, 0), UINT(WAVERR_BADFORMAT));
    bad = f;
    bad.nBlockAlign = 4;
    EXPECT_EQ(waveOutOpen(&h, 0, &bad, 0, 0, 0), UINT(WAVERR_BADFORMAT));
    bad = pcmFormat(8000, 1, 24);
    EXPECT_EQ(waveOutOpen(&h, 0, &bad, 0, 0, 0), UINT(WAVERR_BADFORMAT));
    bad = pcmFormat(0, 1);
    EXPECT_EQ(waveOutOpen(&h, 0, &bad, 0, 0, 0), UINT(WAVERR_BADFORMAT));
    EXPECT_EQ(h, nullptr); // no failure wrote the handle

    WAVEOUTCAPSA caps{};
    ASSERT_EQ(waveOutGetDevCapsA(0, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_STREQ(caps.szPname, "Silvane virtual output");
    ASSERT_EQ(waveOutGetDevCapsA(WAVE_MAPPER, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_STREQ(caps.szPname, "Silvane virtual output");
    EXPECT_EQ(waveOutGetDevCapsA(1, &caps, sizeof caps), UINT(MMSYSERR_BADDEVICEID));
    WAVEINCAPSA inCaps{};
    ASSERT_EQ(waveInGetDevCapsA(0, &inCaps, sizeof inCaps), MMSYSERR_NOERROR);
    EXPECT_STREQ(inCaps.szPname, "Silvane virtual input");
}

TEST_F(WaveOutTest, WindowReceivesOneDoneMessagePerBufferOnItsThread) {
    MessageWindow window;
    const WAVEFORMATEX f = pcmFormat(8000, 1);
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, 0, &f, reinterpret_cast<DWORD_PTR>(&window), 0,
                          CALLBACK_WINDOW | WAVE_ALLOWSYNC),
              MMSYSERR_NOERROR);
    std::vector<int16_t> block(80);
    WAVEHDR hdr = headerFor(block);
    waveOutPrepareHeader(h, &hdr, H);
    waveOutWrite(h, &hdr, H);
    platform::virtualCardAdvance(5000);
    QCoreApplication::sendPostedEvents();
    EXPECT_TRUE(window.received.empty()); // half played
    platform::virtualCardAdvance(5000);
    EXPECT_TRUE(window.received.empty()); // posted, not yet handled
    QCoreApplication::sendPostedEvents();
    ASSERT_EQ(window.received.size(), 1u);
    EXPECT_EQ(window.received[0].message, UINT(MM_WOM_DONE));
    EXPECT_EQ(window.received[0].device, h);
    EXPECT_EQ(window.received[0].header, &hdr);
    EXPECT_TRUE(window.received[0].flags & WHDR_DONE);
    advanceMs(50);
    EXPECT_EQ(window.received.size(), 1u); // nothing more without a new buffer

    // A reset during playback returns the buffer with its message too, and
    // the message still arrives after the close.
    waveOutWrite(h, &hdr, H);
    platform::virtualCardAdvance(2000);
    EXPECT_EQ(waveOutReset(h), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutUnprepareHeader(h, &hdr, H), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(window.count(MM_WOM_DONE), 2);
}

TEST_F(WaveInTest, CaptureFillsBuffersInOrderAndResetReturnsThePartialOne) {
    platform::VirtualCardConfig c;
    c.inputSamples = ramp(100000);
    install(c);
    FunctionLog log;
    const WAVEFORMATEX f = pcmFormat(8000, 1);
    HWAVEIN h = nullptr;
    ASSERT_EQ(waveInOpen(&h, WAVE_MAPPER, &f, reinterpret_cast<DWORD_PTR>(logCallback),
                         reinterpret_cast<DWORD_PTR>(&log), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    std::vector<std::vector<int16_t>> blocks(3, std::vector<int16_t>(400));
    std::vector<WAVEHDR> hdrs;
    for (auto& b : blocks)
        hdrs.push_back(headerFor(b));
    for (auto& x : hdrs) {
        waveInPrepareHeader(h, &x, H);
        ASSERT_EQ(waveInAddBuffer(h, &x, H), MMSYSERR_NOERROR);
    }
    platform::virtualCardAdvance(100000);
    EXPECT_TRUE(log.calls.empty()); // not started: nothing captured
    ASSERT_EQ(waveInStart(h), MMSYSERR_NOERROR);
    platform::virtualCardAdvance(60000); // 480 samples
    ASSERT_EQ(log.calls.size(), 1u);
    EXPECT_EQ(log.calls[0].first, UINT(MM_WIM_DATA));
    EXPECT_EQ(log.calls[0].second, &hdrs[0]);
    EXPECT_EQ(hdrs[0].dwBytesRecorded, 800u);
    EXPECT_EQ(blocks[0], ramp(400));
    ASSERT_EQ(waveInReset(h), MMSYSERR_NOERROR);
    // The buffer being filled comes back with what it holds, the empty one too.
    EXPECT_EQ(hdrs[1].dwBytesRecorded, 160u);
    EXPECT_EQ(hdrs[2].dwBytesRecorded, 0u);
    for (auto& x : hdrs)
        EXPECT_EQ(x.dwFlags & (WHDR_DONE | WHDR_INQUEUE), DWORD(WHDR_DONE));
    EXPECT_EQ(std::vector<int16_t>(blocks[1].begin(), blocks[1].begin() + 80), ramp(80, 400));
    wavePumpMessages();
    EXPECT_EQ(log.calls.size(), 3u);
    MMTIME t{};
    t.wType = TIME_SAMPLES;
    waveInGetPosition(h, &t, sizeof t);
    EXPECT_EQ(t.u.sample, 0u);
    for (auto& x : hdrs)
        EXPECT_EQ(waveInUnprepareHeader(h, &x, H), MMSYSERR_NOERROR);
    EXPECT_EQ(waveInClose(h), MMSYSERR_NOERROR);
}

TEST_F(WaveInTest, StopReturnsOnlyTheStartedBufferAndInputLoopsOverItsSource) {
    platform::VirtualCardConfig c;
    c.inputSamples = ramp(50);
    install(c);
    const WAVEFORMATEX f = pcmFormat(8000, 1);
    HWAVEIN h = nullptr;
    ASSERT_EQ(waveInOpen(&h, 0, &f, 0, 0, 0), MMSYSERR_NOERROR);
    std::vector<int16_t> a(120), b(120);
    WAVEHDR ha = headerFor(a), hb = headerFor(b);
    for (WAVEHDR* x : {&ha, &hb}) {
        waveInPrepareHeader(h, x, H);
        waveInAddBuffer(h, x, H);
    }
    waveInStart(h);
    platform::virtualCardAdvance(10000); // 80 samples
    ASSERT_EQ(waveInStop(h), MMSYSERR_NOERROR);
    EXPECT_EQ(ha.dwFlags & (WHDR_DONE | WHDR_INQUEUE), DWORD(WHDR_DONE));
    EXPECT_EQ(ha.dwBytesRecorded, 160u);
    EXPECT_TRUE(hb.dwFlags & WHDR_INQUEUE); // still waiting for data
    std::vector<int16_t> expected = ramp(50);
    const std::vector<int16_t> more = ramp(30);
    expected.insert(expected.end(), more.begin(), more.end());
    EXPECT_EQ(std::vector<int16_t>(a.begin(), a.begin() + 80), expected);
    waveInReset(h);
    for (WAVEHDR* x : {&ha, &hb})
        waveInUnprepareHeader(h, x, H);
    EXPECT_EQ(waveInClose(h), MMSYSERR_NOERROR);
}

TEST_F(WaveInTest, StereoStreamGetsMonoSourceOnBothChannels) {
    platform::VirtualCardConfig c;
    c.inputSamples = ramp(1000);
    install(c);
    const WAVEFORMATEX f = pcmFormat(16000, 2);
    HWAVEIN h = nullptr;
    ASSERT_EQ(waveInOpen(&h, 0, &f, 0, 0, 0), MMSYSERR_NOERROR);
    std::vector<int16_t> a(64);
    WAVEHDR ha = headerFor(a);
    waveInPrepareHeader(h, &ha, H);
    waveInAddBuffer(h, &ha, H);
    waveInStart(h);
    platform::virtualCardAdvance(2000);
    waveInReset(h);
    ASSERT_EQ(ha.dwBytesRecorded, 128u);
    for (int i = 0; i < 32; ++i) {
        EXPECT_EQ(a[2 * i], i);
        EXPECT_EQ(a[2 * i + 1], i);
    }
    waveInUnprepareHeader(h, &ha, H);
    waveInClose(h);
}

TEST_F(WaveInTest, GeneratedToneIsDeterministicAndNotSilent) {
    auto captureOnce = [] {
        const WAVEFORMATEX f = pcmFormat(16000, 1);
        HWAVEIN h = nullptr;
        EXPECT_EQ(waveInOpen(&h, 0, &f, 0, 0, 0), MMSYSERR_NOERROR);
        std::vector<int16_t> a(1600);
        WAVEHDR ha = headerFor(a);
        waveInPrepareHeader(h, &ha, H);
        waveInAddBuffer(h, &ha, H);
        waveInStart(h);
        platform::virtualCardAdvance(100000);
        waveInReset(h);
        waveInUnprepareHeader(h, &ha, H);
        waveInClose(h);
        return a;
    };
    const std::vector<int16_t> first = captureOnce();
    EXPECT_EQ(captureOnce(), first);
    double energy = 0;
    for (int16_t s : first)
        energy += double(s) * s;
    const double rms = std::sqrt(energy / first.size());
    EXPECT_NEAR(rms, 8225 / std::sqrt(2.0), 300); // the -12 dBFS sine dominates
}

TEST(WaveNoDevice, CountsAreZeroAndOpensFailWithoutHanging) {
    testApp();
    platform::VirtualCardConfig c;
    c.testClock = true;
    c.outputs = 0;
    c.inputs = 0;
    ASSERT_TRUE(platform::installVirtualCard(c));
    EXPECT_EQ(waveOutGetNumDevs(), 0u);
    EXPECT_EQ(waveInGetNumDevs(), 0u);
    const WAVEFORMATEX f = pcmFormat(8000, 1);
    HWAVE h = nullptr;
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &f, 0, 0, 0), UINT(MMSYSERR_NODRIVER));
    EXPECT_EQ(waveInOpen(&h, 0, &f, 0, 0, 0), UINT(MMSYSERR_NODRIVER));
    WAVEOUTCAPSA caps{};
    EXPECT_EQ(waveOutGetDevCapsA(WAVE_MAPPER, &caps, sizeof caps), UINT(MMSYSERR_BADDEVICEID));
    EXPECT_EQ(h, nullptr);
}

} // namespace
