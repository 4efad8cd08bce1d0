// The hand-over between an audio thread and the API side, the real-time
// delivery paths, and the backends besides the test clock. Run under
// ThreadSanitizer in CI.

#include "platform/WaveDriver.h"
#include "tests/platform/WaveTestSupport.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;
using platform::Direction;
using platform::WaveStream;

namespace {

constexpr UINT H = sizeof(WAVEHDR);

TEST(SpscByteRing, WrapsAroundAndStopsWhenFull) {
    platform::SpscByteRing ring(10);
    char out[16];
    EXPECT_EQ(ring.write("abcdefgh", 8), 8u);
    EXPECT_EQ(ring.read(out, 6), 6u);
    EXPECT_EQ(std::string(out, 6), "abcdef");
    EXPECT_EQ(ring.write("0123456789XY", 12), 8u); // 2 left + 8 free
    EXPECT_EQ(ring.available(), 10u);
    EXPECT_EQ(ring.read(out, 16), 10u);
    EXPECT_EQ(std::string(out, 10), "gh01234567");
    EXPECT_EQ(ring.read(out, 16), 0u);
}

TEST(WaveStreamBusy, InputArrivingWhileLockedIsDeliveredLaterInOrderAndOutputIsSilent) {
    const WAVEFORMATEX f = pcmFormat(8000, 1);
    WaveStream in(Direction::Input, f);
    in.callbackType = CALLBACK_FUNCTION;
    std::vector<int16_t> block(300, -1);
    WAVEHDR h{};
    h.lpData = reinterpret_cast<LPSTR>(block.data());
    h.dwBufferLength = 600;
    in.prepare(&h);
    in.enqueue(&h);
    in.setRunning(true);
    std::vector<int16_t> a(100), b(100);
    for (int i = 0; i < 100; ++i) {
        a[i] = int16_t(i);
        b[i] = int16_t(100 + i);
    }
    {
        auto busy = in.lockForTesting();
        in.capture(a.data(), 100); // parked
    }
    in.capture(b.data(), 100);
    in.reset();
    ASSERT_EQ(in.collect().size(), 1u);
    EXPECT_EQ(h.dwBytesRecorded, 400u);
    for (int i = 0; i < 200; ++i)
        ASSERT_EQ(block[i], i);
    EXPECT_EQ(block[200], -1);

    WaveStream out(Direction::Output, f);
    std::vector<int16_t> data(100, 5);
    WAVEHDR o{};
    o.lpData = reinterpret_cast<LPSTR>(data.data());
    o.dwBufferLength = 200;
    out.prepare(&o);
    out.enqueue(&o);
    int16_t chunk[50];
    {
        auto busy = out.lockForTesting();
        EXPECT_EQ(out.render(chunk, 50), 0u);
    }
    EXPECT_EQ(chunk[0], 0);
    EXPECT_EQ(out.positionBytes(), 0u);
    EXPECT_EQ(out.render(chunk, 50), 50u);
    EXPECT_EQ(chunk[0], 5);
    EXPECT_EQ(out.positionBytes(), 100u);
}

// Frames carry a 32-bit counter split over two channels, so the consumer can
// tell the order and spot a lost or repeated frame.
void putCounter(int16_t* frame, uint32_t n) {
    frame[0] = int16_t(n >> 16);
    frame[1] = int16_t(n & 0xFFFF);
}
uint32_t getCounter(const int16_t* frame) {
    return (uint32_t(uint16_t(frame[0])) << 16) | uint16_t(frame[1]);
}

TEST(WaveStreamThreads, CaptureOnAnAudioThreadLosesAndRepeatsNothing) {
    const WAVEFORMATEX f = pcmFormat(48000, 2);
    WaveStream stream(Direction::Input, f);
    stream.callbackType = CALLBACK_FUNCTION; // collect() hands back what returned
    ASSERT_EQ(stream.setRunning(true), MMSYSERR_NOERROR);
    constexpr int Buffers = 16, BufferFrames = 256, TotalFrames = 200000;
    std::vector<std::vector<int16_t>> blocks(Buffers, std::vector<int16_t>(2 * BufferFrames));
    std::vector<WAVEHDR> hdrs(Buffers);
    for (int i = 0; i < Buffers; ++i) {
        hdrs[i].lpData = reinterpret_cast<LPSTR>(blocks[i].data());
        hdrs[i].dwBufferLength = 4 * BufferFrames;
        stream.prepare(&hdrs[i]);
        ASSERT_EQ(stream.enqueue(&hdrs[i]), MMSYSERR_NOERROR);
    }
    // Frames the consumer has taken back; the producer stays within the
    // queued space so that no frame meets an empty queue.
    std::atomic<uint32_t> taken{0};
    std::atomic<bool> producerDone{false};

    std::thread audio([&] {
        int16_t chunk[2 * 64];
        for (uint32_t n = 0; n < uint32_t(TotalFrames);) {
            while (n + 64 - taken.load() > uint32_t((Buffers - 1) * BufferFrames))
                std::this_thread::yield();
            for (int i = 0; i < 64; ++i)
                putCounter(chunk + 2 * i, n + i);
            stream.capture(chunk, 64);
            n += 64;
        }
        producerDone = true;
    });

    uint32_t expected = 0;
    bool inOrder = true;
    for (;;) {
        stream.positionBytes(); // takes the lock often, so capture sometimes parks its data
        for (WAVEHDR* h : stream.collect()) {
            const auto* s = reinterpret_cast<const int16_t*>(h->lpData);
            for (DWORD i = 0; i < h->dwBytesRecorded / 4; ++i)
                inOrder &= getCounter(s + 2 * i) == expected++;
            h->dwFlags = WHDR_PREPARED;
            stream.enqueue(h);
            taken.store(expected);
        }
        if (producerDone) {
            stream.reset();
            for (WAVEHDR* h : stream.collect()) {
                const auto* s = reinterpret_cast<const int16_t*>(h->lpData);
                for (DWORD i = 0; i < h->dwBytesRecorded / 4; ++i)
                    inOrder &= getCounter(s + 2 * i) == expected++;
            }
            break;
        }
        std::this_thread::yield();
    }
    audio.join();
    EXPECT_TRUE(inOrder);
    EXPECT_EQ(expected, uint32_t(TotalFrames));
}

TEST(WaveStreamThreads, RenderOnAnAudioThreadPlaysEachFrameOnceInOrder) {
    const WAVEFORMATEX f = pcmFormat(48000, 2);
    WaveStream stream(Direction::Output, f);
    stream.callbackType = CALLBACK_FUNCTION;
    constexpr int Buffers = 8, BufferFrames = 300, Passes = 200;
    std::vector<std::vector<int16_t>> blocks(Buffers, std::vector<int16_t>(2 * BufferFrames));
    std::vector<WAVEHDR> hdrs(Buffers);
    uint32_t next = 0;
    auto fill = [&](int i) {
        for (int k = 0; k < BufferFrames; ++k)
            putCounter(&blocks[i][2 * k], next++);
        hdrs[i].dwFlags = WHDR_PREPARED;
        ASSERT_EQ(stream.enqueue(&hdrs[i]), MMSYSERR_NOERROR);
    };
    for (int i = 0; i < Buffers; ++i) {
        hdrs[i].lpData = reinterpret_cast<LPSTR>(blocks[i].data());
        hdrs[i].dwBufferLength = 4 * BufferFrames;
        hdrs[i].dwUser = DWORD_PTR(i);
        fill(i);
    }
    const uint32_t total = uint32_t(Buffers * Passes * BufferFrames);
    std::atomic<bool> stop{false};
    std::vector<uint32_t> heard;
    std::thread audio([&] {
        int16_t chunk[2 * 100];
        while (!stop) {
            const std::size_t played = stream.render(chunk, 100);
            for (std::size_t i = 0; i < played; ++i)
                heard.push_back(getCounter(chunk + 2 * i));
            std::this_thread::yield();
        }
    });
    int refills = Buffers;
    while (refills < Buffers * Passes) {
        for (WAVEHDR* h : stream.collect())
            if (refills < Buffers * Passes) {
                fill(int(h->dwUser));
                ++refills;
            }
        std::this_thread::yield();
    }
    while (stream.hasQueuedBuffers())
        std::this_thread::yield();
    stop = true;
    audio.join();
    ASSERT_EQ(heard.size(), total);
    bool inOrder = true;
    for (uint32_t i = 0; i < total; ++i)
        inOrder &= heard[i] == i;
    EXPECT_TRUE(inOrder);
}

// Real-time virtual card: completions travel through the dispatch thread
// (function callbacks) and the window relay timer (window callbacks).
struct Waiter {
    std::mutex m;
    std::condition_variable cv;
    int calls = 0;
};

void countCallback(HWAVE, UINT msg, DWORD_PTR instance, DWORD_PTR, DWORD_PTR) {
    auto* w = reinterpret_cast<Waiter*>(instance);
    if (msg != MM_WOM_DONE)
        return;
    std::lock_guard<std::mutex> lock(w->m);
    ++w->calls;
    w->cv.notify_all();
}

TEST(WaveRealTime, FunctionCallbackArrivesFromTheDispatchThread) {
    testApp();
    platform::VirtualCardConfig c;
    c.keepPlayed = true;
    ASSERT_TRUE(platform::installVirtualCard(c));
    Waiter waiter;
    const WAVEFORMATEX f = pcmFormat(8000, 1);
    HWAVEOUT h = nullptr;
    ASSERT_EQ(waveOutOpen(&h, 0, &f, reinterpret_cast<DWORD_PTR>(countCallback),
                          reinterpret_cast<DWORD_PTR>(&waiter), CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    std::vector<int16_t> a(160, 100), b(160, 200); // 20 ms each
    WAVEHDR ha{}, hb{};
    ha.lpData = reinterpret_cast<LPSTR>(a.data());
    hb.lpData = reinterpret_cast<LPSTR>(b.data());
    ha.dwBufferLength = hb.dwBufferLength = 320;
    for (WAVEHDR* x : {&ha, &hb}) {
        waveOutPrepareHeader(h, x, H);
        waveOutWrite(h, x, H);
    }
    {
        std::unique_lock<std::mutex> lock(waiter.m);
        EXPECT_TRUE(waiter.cv.wait_for(lock, 5s, [&] { return waiter.calls == 2; }));
    }
    EXPECT_EQ(waveOutUnprepareHeader(h, &ha, H), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutUnprepareHeader(h, &hb, H), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutClose(h), MMSYSERR_NOERROR);
    std::vector<int16_t> expected = a;
    expected.insert(expected.end(), b.begin(), b.end());
    EXPECT_EQ(platform::virtualCardPlayed().samples, expected);
}

TEST(WaveRealTime, WindowMessageArrivesThroughTheEventLoop) {
    testApp();
    platform::VirtualCardConfig c;
    c.inputSamples = std::vector<int16_t>(1000, 7);
    ASSERT_TRUE(platform::installVirtualCard(c));
    MessageWindow window;
    const WAVEFORMATEX f = pcmFormat(16000, 1);
    HWAVEIN h = nullptr;
    ASSERT_EQ(waveInOpen(&h, 0, &f, reinterpret_cast<DWORD_PTR>(&window), 0,
                         CALLBACK_WINDOW | WAVE_ALLOWSYNC),
              MMSYSERR_NOERROR);
    std::vector<int16_t> a(320); // 20 ms
    WAVEHDR ha{};
    ha.lpData = reinterpret_cast<LPSTR>(a.data());
    ha.dwBufferLength = 640;
    waveInPrepareHeader(h, &ha, H);
    waveInAddBuffer(h, &ha, H);
    waveInStart(h);
    const auto deadline = std::chrono::steady_clock::now() + 5s;
    while (window.received.empty() && std::chrono::steady_clock::now() < deadline)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    ASSERT_EQ(window.received.size(), 1u);
    EXPECT_EQ(window.received[0].message, UINT(MM_WIM_DATA));
    EXPECT_EQ(window.received[0].bytesRecorded, 640u);
    EXPECT_EQ(a, std::vector<int16_t>(320, 7));
    waveInReset(h);
    waveInUnprepareHeader(h, &ha, H);
    EXPECT_EQ(waveInClose(h), MMSYSERR_NOERROR);
}

// A backend with long, similar device names.
class NamedBackend : public platform::WaveBackend {
  public:
    UINT deviceCount(Direction) override { return 3; }
    std::string deviceName(Direction, UINT i) override {
        static const char* names[] = {"HDA Intel PCH: ALC3246 Analog (hw:0,0)", "USB headset",
                                      "HDA Intel PCH: ALC3246 Analog (hw:0,2)"};
        return names[i];
    }
    UINT defaultDevice(Direction) override { return 1; }
    MMRESULT supports(Direction, UINT, const WAVEFORMATEX&) override { return MMSYSERR_NOERROR; }
    MMRESULT open(Direction, UINT, const WAVEFORMATEX&, WaveStream&,
                  std::unique_ptr<platform::DeviceStream>&) override {
        return MMSYSERR_ALLOCATED;
    }
};

TEST(WaveDeviceNames, CutNamesStayUniqueAndTheMapperIsTheDefault) {
    ASSERT_TRUE(platform::installBackend(std::make_unique<NamedBackend>()));
    WAVEOUTCAPSA c0{}, c1{}, c2{}, mapper{};
    ASSERT_EQ(waveOutGetDevCapsA(0, &c0, sizeof c0), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutGetDevCapsA(1, &c1, sizeof c1), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutGetDevCapsA(2, &c2, sizeof c2), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutGetDevCapsA(WAVE_MAPPER, &mapper, sizeof mapper), MMSYSERR_NOERROR);
    EXPECT_LT(std::strlen(c0.szPname), MAXPNAMELEN);
    EXPECT_STRNE(c0.szPname, c2.szPname);
    EXPECT_STREQ(c0.szPname, "HDA Intel PCH: ALC3246 Analo #1");
    EXPECT_STREQ(c2.szPname, "HDA Intel PCH: ALC3246 Analo #2");
    EXPECT_STREQ(c1.szPname, "USB headset");
    EXPECT_STREQ(mapper.szPname, "USB headset");
    // A device the backend cannot open reports why, and no handle appears.
    const WAVEFORMATEX f = pcmFormat(8000, 1);
    HWAVEOUT h = nullptr;
    EXPECT_EQ(waveOutOpen(&h, 0, &f, 0, 0, 0), UINT(MMSYSERR_ALLOCATED));
    EXPECT_EQ(h, nullptr);
}

TEST(WavePortAudio, WithoutSoundCardCountsAreZeroAndOpensFail) {
    ASSERT_TRUE(platform::installBackend(platform::makePortAudioBackend()));
    if (waveOutGetNumDevs() != 0 || waveInGetNumDevs() != 0)
        GTEST_SKIP() << "this machine has sound devices";
    const WAVEFORMATEX f = pcmFormat(16000, 1);
    HWAVE h = nullptr;
    EXPECT_EQ(waveOutOpen(&h, WAVE_MAPPER, &f, 0, 0, 0), UINT(MMSYSERR_NODRIVER));
    EXPECT_EQ(waveInOpen(&h, WAVE_MAPPER, &f, 0, 0, 0), UINT(MMSYSERR_NODRIVER));
    WAVEINCAPSA caps{};
    EXPECT_EQ(waveInGetDevCapsA(0, &caps, sizeof caps), UINT(MMSYSERR_BADDEVICEID));
    EXPECT_EQ(h, nullptr);
}

} // namespace
