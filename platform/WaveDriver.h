#pragma once
// The driver side of the wave layer, shared by every backend.
//
// A WaveStream holds the buffer queue of one open device. Backends call
// render() (output) or capture() (input) from their audio context with raw
// frames; the stream copies between those frames and the queued buffers and
// moves finished buffers to its completion list. The audio context only ever
// try-locks the stream: when a caller of the API holds the lock (for a few
// microseconds), output is silence for that period and input is parked in a
// lock-free ring and delivered on the next period, so nothing is lost and the
// audio thread never waits.
//
// Header fields (dwFlags, dwBytesRecorded) are written only by the thread that
// delivers the completion (see winmm.h), never by the audio context.

#include "platform/SpscRing.h"
#include "platform/winmm.h"

#include <QPointer>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace platform {

enum class Direction { Output, Input };

class WaveStream;

// One running device stream of a backend. Created by WaveBackend::open; from
// then until stop() returns the backend calls the stream's render() or
// capture() periodically.
class DeviceStream {
  public:
    virtual ~DeviceStream() = default;
    // After return no render()/capture() call is running or will run.
    virtual void stop() = 0;
};

class WaveBackend {
  public:
    virtual ~WaveBackend() = default;
    virtual UINT deviceCount(Direction d) = 0;
    // Product name of device `index` (< deviceCount).
    virtual std::string deviceName(Direction d, UINT index) = 0;
    // Index of the system default device; only called when deviceCount > 0.
    virtual UINT defaultDevice(Direction d) = 0;
    // Checks whether the device can run the (validated, PCM) format.
    virtual MMRESULT supports(Direction d, UINT index, const WAVEFORMATEX& format) = 0;
    // Opens and starts a device stream feeding/draining `stream`.
    virtual MMRESULT open(Direction d, UINT index, const WAVEFORMATEX& format, WaveStream& stream,
                          std::unique_ptr<DeviceStream>& device) = 0;
    // True when the backend drives delivery itself (the virtual card's test
    // clock): the layer then starts no dispatch thread and no window timers.
    virtual bool deliversItself() const { return false; }
};

// Installs `backend` as the layer's backend. Fails (returns false, the
// backend is dropped) while any device is open.
bool installBackend(std::unique_ptr<WaveBackend> backend);
// The PortAudio backend; its start-up messages on stderr are suppressed unless
// SILVANE_AUDIO_DEBUG=1.
std::unique_ptr<WaveBackend> makePortAudioBackend();

struct QueuedBuffer {
    WAVEHDR* header = nullptr;
    char* data = nullptr; // copied from the header when it was queued
    uint32_t length = 0;  // bytes
    uint32_t done = 0;    // bytes played or filled so far
};

struct Completion {
    WAVEHDR* header;
    uint32_t bytes; // input: bytes filled
};

// Fixed-capacity FIFO used on the audio path (no allocation).
template <typename T, std::size_t N> class FixedQueue {
  public:
    bool empty() const { return count_ == 0; }
    std::size_t size() const { return count_; }
    bool push(const T& v) {
        if (count_ == N)
            return false;
        items_[(first_ + count_) % N] = v;
        ++count_;
        return true;
    }
    T& front() { return items_[first_]; }
    T& at(std::size_t i) { return items_[(first_ + i) % N]; }
    void pop() {
        first_ = (first_ + 1) % N;
        --count_;
    }
    void clear() { first_ = count_ = 0; }

  private:
    T items_[N] = {};
    std::size_t first_ = 0;
    std::size_t count_ = 0;
};

class WaveStream {
  public:
    // Buffers the driver holds at once (queued plus returned-but-unannounced).
    static constexpr std::size_t MaxQueued = 64;

    WaveStream(Direction d, const WAVEFORMATEX& format);
    ~WaveStream();

    Direction direction() const { return direction_; }
    const WAVEFORMATEX& format() const { return format_; }

    // ---- audio context (never blocks)
    // Fills `frames` frames at `out`; returns how many of them came from
    // queued buffers (they form a prefix; the rest is silence). `starved`
    // tells whether the stream was running with too little queued.
    std::size_t render(void* out, std::size_t frames, bool* starved = nullptr);
    // Takes `frames` frames from `in`.
    void capture(const void* in, std::size_t frames);

    // Whether capture/playback is running (a hint for the backend: a virtual
    // input source only moves on while it is).
    bool running() const { return runningHint_.load(std::memory_order_relaxed); }

    // ---- API side (may block briefly); all return MMSYSERR codes
    MMRESULT prepare(WAVEHDR* h);
    MMRESULT unprepare(WAVEHDR* h);
    MMRESULT enqueue(WAVEHDR* h);
    MMRESULT setRunning(bool run); // pause/restart, start/stop (stop returns the partial buffer)
    MMRESULT reset();
    uint64_t positionBytes();
    bool hasQueuedBuffers();

    // Applies returned buffers to their headers and collects the ones to
    // announce. Returns the headers whose message is due now.
    std::vector<WAVEHDR*> collect();
    // Something may be waiting for collect().
    bool pending() const {
        return finishedCount_.load(std::memory_order_acquire) > 0 ||
               notifyCount_.load(std::memory_order_acquire) > 0;
    }

    // Holds the lock the audio context try-locks, to exercise its busy path.
    std::unique_lock<std::mutex> lockForTesting() { return std::unique_lock<std::mutex>(mutex_); }

    // Delivery target, fixed at open.
    DWORD callbackType = CALLBACK_NULL;
    QPointer<QObject> window;
    void* windowThread = nullptr; // QThread* the window lived in at open
    WaveCallback function = nullptr;
    DWORD_PTR instance = 0;
    HWAVE handle = nullptr;
    std::unique_ptr<DeviceStream> device;
    // Serialises the API calls made on this handle; `closed` is set under it.
    std::mutex api;
    bool closed = false;

  private:
    bool queuedLocked(const WAVEHDR* h);
    void applyFinishedLocked();
    void finishFrontLocked();
    void drainStashLocked();
    void deliverInputLocked(const char* data, std::size_t bytes);

    const Direction direction_;
    const WAVEFORMATEX format_;
    const uint32_t frameBytes_;

    std::mutex mutex_;
    // Under mutex_:
    FixedQueue<QueuedBuffer, MaxQueued> queue_;
    FixedQueue<Completion, MaxQueued> finished_;
    std::vector<WAVEHDR*> notify_;
    uint64_t positionBytes_ = 0;
    bool running_ = false;

    std::atomic<bool> runningHint_{false}; // read by the audio context without the lock
    std::atomic<int> finishedCount_{0};
    std::atomic<int> notifyCount_{0};
    platform::SpscByteRing stash_{1 << 16}; // input parked while the lock was busy
};

} // namespace platform
