#include "platform/WaveDriver.h"

#include <algorithm>
#include <cstring>

namespace platform {

WaveStream::WaveStream(Direction d, const WAVEFORMATEX& format)
    : direction_(d), format_(format), frameBytes_(std::max<uint32_t>(1, format.nBlockAlign)) {
    // Output starts playing as soon as a buffer is written; input waits for
    // waveInStart.
    running_ = d == Direction::Output;
    runningHint_.store(running_, std::memory_order_relaxed);
}

WaveStream::~WaveStream() = default;

// ---------------------------------------------------------------- audio side

std::size_t WaveStream::render(void* out, std::size_t frames, bool* starved) {
    char* dst = static_cast<char*>(out);
    const std::size_t wanted = frames * frameBytes_;
    std::size_t filled = 0;
    const char silence = format_.wBitsPerSample == 8 ? char(0x80) : 0;
    if (starved)
        *starved = false;
    if (mutex_.try_lock()) {
        if (running_) {
            while (filled < wanted && !queue_.empty()) {
                QueuedBuffer& b = queue_.front();
                const std::size_t n = std::min<std::size_t>(wanted - filled, b.length - b.done);
                std::memcpy(dst + filled, b.data + b.done, n);
                b.done += static_cast<uint32_t>(n);
                filled += n;
                if (b.done == b.length)
                    finishFrontLocked();
            }
            positionBytes_ += filled;
            if (starved)
                *starved = filled < wanted;
        }
        mutex_.unlock();
    }
    std::memset(dst + filled, silence, wanted - filled);
    return filled / frameBytes_;
}

void WaveStream::capture(const void* in, std::size_t frames) {
    const char* src = static_cast<const char*>(in);
    const std::size_t bytes = frames * frameBytes_;
    if (!mutex_.try_lock()) {
        // Park the data; whoever takes the lock next delivers it first. A ring
        // overflow (the lock held for longer than the ring lasts) drops the excess.
        if (runningHint_.load(std::memory_order_relaxed))
            stash_.write(src, bytes);
        return;
    }
    drainStashLocked();
    if (running_)
        deliverInputLocked(src, bytes);
    mutex_.unlock();
}

void WaveStream::finishFrontLocked() {
    QueuedBuffer& b = queue_.front();
    finished_.push({b.header, b.done}); // cannot fail: queue and list share MaxQueued
    queue_.pop();
    finishedCount_.store(static_cast<int>(finished_.size()), std::memory_order_release);
}

void WaveStream::drainStashLocked() {
    char chunk[4096];
    while (std::size_t n = stash_.read(chunk, sizeof chunk))
        if (running_)
            deliverInputLocked(chunk, n);
}

void WaveStream::deliverInputLocked(const char* data, std::size_t bytes) {
    std::size_t used = 0;
    while (used < bytes && !queue_.empty()) {
        QueuedBuffer& b = queue_.front();
        const std::size_t n = std::min<std::size_t>(bytes - used, b.length - b.done);
        std::memcpy(b.data + b.done, data + used, n);
        b.done += static_cast<uint32_t>(n);
        used += n;
        positionBytes_ += n;
        if (b.done == b.length)
            finishFrontLocked();
    }
    // Data with no buffer to take it is lost, as on a real card.
}

// ------------------------------------------------------------------ API side

bool WaveStream::queuedLocked(const WAVEHDR* h) {
    for (std::size_t i = 0; i < queue_.size(); ++i)
        if (queue_.at(i).header == h)
            return true;
    for (std::size_t i = 0; i < finished_.size(); ++i)
        if (finished_.at(i).header == h)
            return true;
    return false;
}

void WaveStream::applyFinishedLocked() {
    while (!finished_.empty()) {
        const Completion c = finished_.front();
        finished_.pop();
        if (direction_ == Direction::Input)
            c.header->dwBytesRecorded = c.bytes;
        c.header->dwFlags = (c.header->dwFlags | WHDR_DONE) & ~DWORD(WHDR_INQUEUE);
        if (callbackType != CALLBACK_NULL)
            notify_.push_back(c.header);
    }
    finishedCount_.store(0, std::memory_order_release);
    notifyCount_.store(static_cast<int>(notify_.size()), std::memory_order_release);
}

std::vector<WAVEHDR*> WaveStream::collect() {
    std::lock_guard<std::mutex> lock(mutex_);
    applyFinishedLocked();
    std::vector<WAVEHDR*> due;
    due.swap(notify_);
    notifyCount_.store(0, std::memory_order_release);
    return due;
}

MMRESULT WaveStream::prepare(WAVEHDR* h) {
    std::lock_guard<std::mutex> lock(mutex_);
    applyFinishedLocked();
    if (!h->lpData && h->dwBufferLength > 0)
        return MMSYSERR_INVALPARAM;
    h->dwFlags |= WHDR_PREPARED;
    return MMSYSERR_NOERROR;
}

MMRESULT WaveStream::unprepare(WAVEHDR* h) {
    std::lock_guard<std::mutex> lock(mutex_);
    applyFinishedLocked();
    if (queuedLocked(h))
        return WAVERR_STILLPLAYING;
    h->dwFlags &= ~DWORD(WHDR_PREPARED | WHDR_INQUEUE);
    return MMSYSERR_NOERROR;
}

MMRESULT WaveStream::enqueue(WAVEHDR* h) {
    std::lock_guard<std::mutex> lock(mutex_);
    applyFinishedLocked();
    if (!(h->dwFlags & WHDR_PREPARED))
        return WAVERR_UNPREPARED;
    // Checked against the driver's own list, not the flags, so a header whose
    // flags were cleared by its owner while queued is still refused.
    if (queuedLocked(h))
        return WAVERR_STILLPLAYING;
    if (queue_.size() + finished_.size() >= MaxQueued)
        return MMSYSERR_NOMEM;
    if (!h->lpData && h->dwBufferLength > 0)
        return MMSYSERR_INVALPARAM;
    h->dwFlags = (h->dwFlags | WHDR_INQUEUE) & ~DWORD(WHDR_DONE);
    if (direction_ == Direction::Input)
        h->dwBytesRecorded = 0;
    queue_.push({h, h->lpData, h->dwBufferLength, 0});
    // An empty buffer is finished at once.
    while (!queue_.empty() && queue_.front().length == 0)
        finishFrontLocked();
    return MMSYSERR_NOERROR;
}

MMRESULT WaveStream::setRunning(bool run) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (direction_ == Direction::Input) {
        drainStashLocked();
        if (!run && running_ && !queue_.empty() && queue_.front().done > 0)
            finishFrontLocked();
    }
    running_ = run;
    runningHint_.store(run, std::memory_order_relaxed);
    applyFinishedLocked();
    return MMSYSERR_NOERROR;
}

MMRESULT WaveStream::reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (direction_ == Direction::Input) {
        drainStashLocked();
        running_ = false;
        runningHint_.store(false, std::memory_order_relaxed);
    }
    while (!queue_.empty())
        finishFrontLocked();
    positionBytes_ = 0;
    applyFinishedLocked();
    return MMSYSERR_NOERROR;
}

uint64_t WaveStream::positionBytes() {
    std::lock_guard<std::mutex> lock(mutex_);
    applyFinishedLocked();
    if (direction_ == Direction::Input)
        drainStashLocked();
    return positionBytes_;
}

bool WaveStream::hasQueuedBuffers() {
    std::lock_guard<std::mutex> lock(mutex_);
    applyFinishedLocked();
    return !queue_.empty();
}

} // namespace platform
