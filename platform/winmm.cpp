// The wave API over the backends: handle registry, argument checks, and the
// delivery of returned buffers to their callback windows and functions.

#include "platform/winmm.h"

#include "platform/VirtualCard.h"
#include "platform/WaveDriver.h"
#include "platform/WaveMessage.h"

#include <QCoreApplication>
#include <QObject>
#include <QPointer>
#include <QThread>
#include <QTimerEvent>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <map>
#include <thread>

QEvent::Type platform::WaveMessage::eventType() {
    static const QEvent::Type type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

namespace platform {
namespace {

using StreamPtr = std::shared_ptr<WaveStream>;

// Posts the due window messages of the streams whose window lives in its
// thread, from a 2 ms timer that runs while such streams exist.
class WindowRelay : public QObject {
  public:
    void ensureRunning() {
        if (timerId_ == 0)
            timerId_ = startTimer(2, Qt::PreciseTimer);
    }

  protected:
    void timerEvent(QTimerEvent* e) override;

  private:
    int timerId_ = 0;
};

struct Globals {
    std::mutex mutex; // guards everything below
    std::unique_ptr<WaveBackend> backend;
    std::map<uintptr_t, StreamPtr> open;
    std::vector<StreamPtr> closing; // closed, with messages still to deliver
    uintptr_t nextId = 1;
    std::map<void*, QPointer<WindowRelay>> relays; // by QThread*

    std::thread worker;
    bool workerRunning = false;
    bool shuttingDown = false;
    std::condition_variable workerWake;

    ~Globals() {
        {
            std::lock_guard<std::mutex> lock(mutex);
            shuttingDown = true;
        }
        workerWake.notify_all();
        if (worker.joinable())
            worker.join();
        // Devices still open at exit are stopped before their backend goes.
        for (auto& entry : open)
            if (entry.second->device)
                entry.second->device->stop();
        open.clear();
        closing.clear();
        backend.reset();
    }
};

Globals& globals() {
    static Globals g;
    return g;
}

WaveBackend& backendLocked(Globals& g) {
    if (!g.backend) {
        const char* kind = std::getenv("SILVANE_AUDIO");
        if (kind && std::strcmp(kind, "virtual") == 0)
            g.backend = platform::makeVirtualBackend(platform::defaultVirtualCard());
        else
            g.backend = makePortAudioBackend();
    }
    return *g.backend;
}

HWAVE toHandle(uintptr_t id) {
    return reinterpret_cast<HWAVE>(id << 4);
}
uintptr_t toId(HWAVE h) {
    return reinterpret_cast<uintptr_t>(h) >> 4;
}

StreamPtr lookup(HWAVE h, Direction d) {
    if (!h)
        return nullptr;
    Globals& g = globals();
    std::lock_guard<std::mutex> lock(g.mutex);
    auto it = g.open.find(toId(h));
    if (it == g.open.end() || it->second->direction() != d || it->second->handle != h)
        return nullptr;
    return it->second;
}

UINT messageOf(const WaveStream& s) {
    return s.direction() == Direction::Output ? MM_WOM_DONE : MM_WIM_DATA;
}

void postToWindow(WaveStream& s, const std::vector<WAVEHDR*>& due) {
    QObject* w = s.window.data();
    if (!w)
        return;
    for (WAVEHDR* h : due)
        QCoreApplication::postEvent(w, new platform::WaveMessage(messageOf(s), s.handle, h));
}

void callFunction(WaveStream& s, const std::vector<WAVEHDR*>& due) {
    for (WAVEHDR* h : due)
        s.function(s.handle, messageOf(s), s.instance, reinterpret_cast<DWORD_PTR>(h), 0);
}

// Streams (open and closing) matching `want`; drops closing streams that have
// nothing left to deliver.
template <typename Pred> std::vector<StreamPtr> snapshot(Pred want) {
    Globals& g = globals();
    std::lock_guard<std::mutex> lock(g.mutex);
    std::vector<StreamPtr> out;
    for (auto& entry : g.open)
        if (want(*entry.second))
            out.push_back(entry.second);
    g.closing.erase(std::remove_if(g.closing.begin(), g.closing.end(),
                                   [](const StreamPtr& s) { return !s->pending(); }),
                    g.closing.end());
    for (auto& s : g.closing)
        if (want(*s))
            out.push_back(s);
    return out;
}

bool isWindowStreamOf(const WaveStream& s, void* thread) {
    return s.callbackType == CALLBACK_WINDOW && s.windowThread == thread;
}

// Delivers the window messages due for windows of the calling thread; returns
// whether any such stream remains.
bool deliverWindowsOfThisThread() {
    void* self = QThread::currentThread();
    auto streams = snapshot([self](const WaveStream& s) { return isWindowStreamOf(s, self); });
    for (auto& s : streams)
        if (s->pending())
            postToWindow(*s, s->collect());
    return !streams.empty();
}

// Returns whether any function-callback stream remains.
bool deliverFunctions() {
    auto streams =
        snapshot([](const WaveStream& s) { return s.callbackType == CALLBACK_FUNCTION; });
    for (auto& s : streams)
        if (s->pending())
            callFunction(*s, s->collect());
    return !streams.empty();
}

void WindowRelay::timerEvent(QTimerEvent* e) {
    if (e->timerId() != timerId_)
        return;
    if (!deliverWindowsOfThisThread()) {
        killTimer(timerId_);
        timerId_ = 0;
    }
}

void workerLoop() {
    Globals& g = globals();
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(g.mutex);
            g.workerWake.wait_for(lock, std::chrono::milliseconds(2));
            if (g.shuttingDown) {
                g.workerRunning = false;
                return;
            }
        }
        const bool more = deliverFunctions();
        std::lock_guard<std::mutex> lock(g.mutex);
        bool anyFunctionStream = more;
        for (auto& entry : g.open)
            anyFunctionStream |= entry.second->callbackType == CALLBACK_FUNCTION;
        if (!anyFunctionStream) {
            g.workerRunning = false;
            return;
        }
    }
}

// Called with g.mutex held, after a stream was registered.
void startDeliveryLocked(Globals& g, WaveStream& s) {
    if (g.backend->deliversItself())
        return;
    if (s.callbackType == CALLBACK_FUNCTION && !g.workerRunning) {
        if (g.worker.joinable())
            g.worker.join(); // the previous worker has returned or is about to
        g.workerRunning = true;
        g.worker = std::thread(workerLoop);
    }
    if (s.callbackType == CALLBACK_WINDOW && QCoreApplication::instance()) {
        QThread* thread = static_cast<QThread*>(s.windowThread);
        QPointer<WindowRelay>& relay = g.relays[thread];
        if (!relay) {
            relay = new WindowRelay;
            if (thread == QCoreApplication::instance()->thread() &&
                QThread::currentThread() == thread)
                relay->setParent(QCoreApplication::instance());
            else if (QThread::currentThread() != thread)
                relay->moveToThread(thread);
        }
        if (QThread::currentThread() == thread)
            relay->ensureRunning();
        else
            QMetaObject::invokeMethod(
                relay.data(), [r = relay.data()] { r->ensureRunning(); }, Qt::QueuedConnection);
    }
}

MMRESULT checkFormat(const WAVEFORMATEX* f) {
    if (!f)
        return MMSYSERR_INVALPARAM;
    if (f->wFormatTag != WAVE_FORMAT_PCM)
        return WAVERR_BADFORMAT;
    if (f->nChannels < 1 || f->nChannels > 8)
        return WAVERR_BADFORMAT;
    if (f->wBitsPerSample != 8 && f->wBitsPerSample != 16)
        return WAVERR_BADFORMAT;
    if (f->nSamplesPerSec < 1000 || f->nSamplesPerSec > 384000)
        return WAVERR_BADFORMAT;
    if (f->nBlockAlign != f->nChannels * f->wBitsPerSample / 8)
        return WAVERR_BADFORMAT;
    return MMSYSERR_NOERROR;
}

MMRESULT resolveDevice(WaveBackend& b, Direction d, UINT_PTR id, UINT& index) {
    const UINT count = b.deviceCount(d);
    if (count == 0)
        return MMSYSERR_NODRIVER;
    if (id == WAVE_MAPPER || id == UINT_PTR(-1)) {
        index = std::min(b.defaultDevice(d), count - 1);
        return MMSYSERR_NOERROR;
    }
    if (id >= count)
        return MMSYSERR_BADDEVICEID;
    index = static_cast<UINT>(id);
    return MMSYSERR_NOERROR;
}

UINT numDevs(Direction d) {
    Globals& g = globals();
    std::lock_guard<std::mutex> lock(g.mutex);
    return backendLocked(g).deviceCount(d);
}

// Product names are cut to MAXPNAMELEN - 1 characters; names that would then
// be equal get a " #n" suffix, so that a device can still be found by its name.
std::string uniqueShortName(WaveBackend& b, Direction d, UINT index) {
    const std::size_t max = MAXPNAMELEN - 1;
    auto shortName = [&](UINT i) { return b.deviceName(d, i).substr(0, max); };
    std::string mine = shortName(index);
    int sameBefore = 0;
    bool clash = false;
    for (UINT i = 0; i < b.deviceCount(d); ++i) {
        if (i == index || shortName(i) != mine)
            continue;
        clash = true;
        if (i < index)
            ++sameBefore;
    }
    if (!clash)
        return mine;
    const std::string suffix = " #" + std::to_string(sameBefore + 1);
    return mine.substr(0, max - suffix.size()) + suffix;
}

template <typename Caps> MMRESULT getCaps(Direction d, UINT_PTR id, Caps* caps, UINT size) {
    if (!caps || size < sizeof(Caps))
        return MMSYSERR_INVALPARAM;
    Globals& g = globals();
    std::lock_guard<std::mutex> lock(g.mutex);
    WaveBackend& b = backendLocked(g);
    UINT index = 0;
    if (MMRESULT r = resolveDevice(b, d, id, index))
        return r == MMSYSERR_NODRIVER ? MMSYSERR_BADDEVICEID : r;
    std::memset(caps, 0, sizeof(Caps));
    caps->vDriverVersion = 0x0100;
    const std::string name = uniqueShortName(b, d, index);
    std::memcpy(caps->szPname, name.c_str(), name.size() + 1);
    caps->dwFormats = 0x000FFFFF; // every classic PCM format bit
    caps->wChannels = 2;
    return MMSYSERR_NOERROR;
}

MMRESULT openStream(Direction d, HWAVE* handle, UINT deviceId, const WAVEFORMATEX* format,
                    DWORD_PTR callback, DWORD_PTR instance, DWORD flags) {
    if (MMRESULT r = checkFormat(format))
        return r;
    const DWORD type = flags & CALLBACK_TYPEMASK;
    if (type != CALLBACK_NULL && type != CALLBACK_WINDOW && type != CALLBACK_FUNCTION)
        return MMSYSERR_NOTSUPPORTED;
    const bool query = flags & WAVE_FORMAT_QUERY;
    if (!query && !handle)
        return MMSYSERR_INVALPARAM;

    Globals& g = globals();
    std::unique_lock<std::mutex> lock(g.mutex);
    WaveBackend& b = backendLocked(g);
    UINT index = 0;
    if (MMRESULT r = resolveDevice(b, d, deviceId, index))
        return r;
    if (MMRESULT r = b.supports(d, index, *format))
        return r;
    if (query)
        return MMSYSERR_NOERROR;

    auto stream = std::make_shared<WaveStream>(d, *format);
    if (type == CALLBACK_WINDOW && callback) {
        stream->callbackType = CALLBACK_WINDOW;
        QObject* w = reinterpret_cast<QObject*>(callback);
        stream->window = w;
        stream->windowThread = w->thread();
    } else if (type == CALLBACK_FUNCTION && callback) {
        stream->callbackType = CALLBACK_FUNCTION;
        stream->function = reinterpret_cast<WaveCallback>(callback);
    }
    stream->instance = instance;
    const uintptr_t id = g.nextId++;
    stream->handle = toHandle(id);
    if (MMRESULT r = b.open(d, index, *format, *stream, stream->device))
        return r;
    g.open[id] = stream;
    startDeliveryLocked(g, *stream);
    *handle = stream->handle;
    return MMSYSERR_NOERROR;
}

bool headerArgsOk(const WAVEHDR* h, UINT size) {
    return h && size >= sizeof(WAVEHDR);
}

// Runs `op` on the open stream of `h` under its API lock.
template <typename Op> MMRESULT withStream(HWAVE h, Direction d, Op op) {
    StreamPtr s = lookup(h, d);
    if (!s)
        return MMSYSERR_INVALHANDLE;
    std::lock_guard<std::mutex> lock(s->api);
    if (s->closed)
        return MMSYSERR_INVALHANDLE;
    return op(*s);
}

// Announces at once what a stop or reset returned when the window lives in
// the calling thread; otherwise the relay or the dispatch thread does it.
void deliverNowIfLocal(WaveStream& s) {
    if (s.callbackType == CALLBACK_WINDOW && s.windowThread == QThread::currentThread())
        postToWindow(s, s.collect());
}

MMRESULT closeStream(HWAVE h, Direction d) {
    StreamPtr s = lookup(h, d);
    if (!s)
        return MMSYSERR_INVALHANDLE;
    std::lock_guard<std::mutex> apiLock(s->api);
    if (s->closed)
        return MMSYSERR_INVALHANDLE;
    if (s->hasQueuedBuffers())
        return WAVERR_STILLPLAYING;
    Globals& g = globals();
    {
        std::lock_guard<std::mutex> lock(g.mutex);
        g.open.erase(toId(s->handle));
    }
    s->device->stop();
    s->device.reset();
    s->closed = true;
    deliverNowIfLocal(*s);
    // Messages of buffers returned just before the close still reach their
    // callback; the stream lives on until they have been delivered.
    if (s->callbackType != CALLBACK_NULL && s->pending()) {
        std::lock_guard<std::mutex> lock(g.mutex);
        g.closing.push_back(s);
    }
    return MMSYSERR_NOERROR;
}

MMRESULT position(HWAVE h, Direction d, MMTIME* t, UINT size) {
    if (!t || size < sizeof(MMTIME))
        return MMSYSERR_INVALPARAM;
    return withStream(h, d, [t](WaveStream& s) -> MMRESULT {
        const uint64_t bytes = s.positionBytes();
        const uint64_t frames = bytes / std::max<uint32_t>(1, s.format().nBlockAlign);
        switch (t->wType) {
        case TIME_BYTES:
            t->u.cb = static_cast<DWORD>(bytes);
            break;
        case TIME_MS:
            t->u.ms = static_cast<DWORD>(frames * 1000 / s.format().nSamplesPerSec);
            break;
        default:
            t->wType = TIME_SAMPLES;
            t->u.sample = static_cast<DWORD>(frames);
            break;
        }
        return MMSYSERR_NOERROR;
    });
}

} // namespace

bool installBackend(std::unique_ptr<WaveBackend> backend) {
    Globals& g = globals();
    std::unique_lock<std::mutex> lock(g.mutex);
    if (!g.open.empty())
        return false;
    g.closing.clear();
    std::unique_ptr<WaveBackend> old = std::move(g.backend);
    g.backend = std::move(backend);
    lock.unlock();
    old.reset();
    return true;
}

} // namespace platform

using namespace platform;

UINT waveOutGetNumDevs() {
    return numDevs(Direction::Output);
}
UINT waveInGetNumDevs() {
    return numDevs(Direction::Input);
}

MMRESULT waveOutGetDevCapsA(UINT_PTR id, WAVEOUTCAPSA* caps, UINT size) {
    return getCaps(Direction::Output, id, caps, size);
}
MMRESULT waveInGetDevCapsA(UINT_PTR id, WAVEINCAPSA* caps, UINT size) {
    return getCaps(Direction::Input, id, caps, size);
}

MMRESULT waveOutOpen(HWAVEOUT* handle, UINT id, const WAVEFORMATEX* format, DWORD_PTR callback,
                     DWORD_PTR instance, DWORD flags) {
    return openStream(Direction::Output, handle, id, format, callback, instance, flags);
}
MMRESULT waveInOpen(HWAVEIN* handle, UINT id, const WAVEFORMATEX* format, DWORD_PTR callback,
                    DWORD_PTR instance, DWORD flags) {
    return openStream(Direction::Input, handle, id, format, callback, instance, flags);
}

MMRESULT waveOutPrepareHeader(HWAVEOUT h, WAVEHDR* header, UINT size) {
    if (!headerArgsOk(header, size))
        return lookup(h, Direction::Output) ? MMSYSERR_INVALPARAM : MMSYSERR_INVALHANDLE;
    return withStream(h, Direction::Output, [header](WaveStream& s) { return s.prepare(header); });
}
MMRESULT waveInPrepareHeader(HWAVEIN h, WAVEHDR* header, UINT size) {
    if (!headerArgsOk(header, size))
        return lookup(h, Direction::Input) ? MMSYSERR_INVALPARAM : MMSYSERR_INVALHANDLE;
    return withStream(h, Direction::Input, [header](WaveStream& s) { return s.prepare(header); });
}
MMRESULT waveOutUnprepareHeader(HWAVEOUT h, WAVEHDR* header, UINT size) {
    if (!headerArgsOk(header, size))
        return lookup(h, Direction::Output) ? MMSYSERR_INVALPARAM : MMSYSERR_INVALHANDLE;
    return withStream(h, Direction::Output,
                      [header](WaveStream& s) { return s.unprepare(header); });
}
MMRESULT waveInUnprepareHeader(HWAVEIN h, WAVEHDR* header, UINT size) {
    if (!headerArgsOk(header, size))
        return lookup(h, Direction::Input) ? MMSYSERR_INVALPARAM : MMSYSERR_INVALHANDLE;
    return withStream(h, Direction::Input, [header](WaveStream& s) { return s.unprepare(header); });
}
MMRESULT waveOutWrite(HWAVEOUT h, WAVEHDR* header, UINT size) {
    if (!headerArgsOk(header, size))
        return lookup(h, Direction::Output) ? MMSYSERR_INVALPARAM : MMSYSERR_INVALHANDLE;
    return withStream(h, Direction::Output, [header](WaveStream& s) { return s.enqueue(header); });
}
MMRESULT waveInAddBuffer(HWAVEIN h, WAVEHDR* header, UINT size) {
    if (!headerArgsOk(header, size))
        return lookup(h, Direction::Input) ? MMSYSERR_INVALPARAM : MMSYSERR_INVALHANDLE;
    return withStream(h, Direction::Input, [header](WaveStream& s) { return s.enqueue(header); });
}

MMRESULT waveOutPause(HWAVEOUT h) {
    return withStream(h, Direction::Output, [](WaveStream& s) { return s.setRunning(false); });
}
MMRESULT waveOutRestart(HWAVEOUT h) {
    return withStream(h, Direction::Output, [](WaveStream& s) { return s.setRunning(true); });
}
MMRESULT waveInStart(HWAVEIN h) {
    return withStream(h, Direction::Input, [](WaveStream& s) { return s.setRunning(true); });
}
MMRESULT waveInStop(HWAVEIN h) {
    return withStream(h, Direction::Input, [](WaveStream& s) {
        const MMRESULT r = s.setRunning(false);
        deliverNowIfLocal(s);
        return r;
    });
}
MMRESULT waveOutReset(HWAVEOUT h) {
    return withStream(h, Direction::Output, [](WaveStream& s) {
        const MMRESULT r = s.reset();
        deliverNowIfLocal(s);
        return r;
    });
}
MMRESULT waveInReset(HWAVEIN h) {
    return withStream(h, Direction::Input, [](WaveStream& s) {
        const MMRESULT r = s.reset();
        deliverNowIfLocal(s);
        return r;
    });
}

MMRESULT waveOutGetPosition(HWAVEOUT h, MMTIME* t, UINT size) {
    return position(h, Direction::Output, t, size);
}
MMRESULT waveInGetPosition(HWAVEIN h, MMTIME* t, UINT size) {
    return position(h, Direction::Input, t, size);
}

MMRESULT waveOutClose(HWAVEOUT h) {
    return closeStream(h, Direction::Output);
}
MMRESULT waveInClose(HWAVEIN h) {
    return closeStream(h, Direction::Input);
}

void wavePumpMessages() {
    deliverWindowsOfThisThread();
    deliverFunctions();
}
