#include "SignalStore.h"

#include <cstdlib>
#include <new>
#include <sys/mman.h>

template <typename T, std::size_t N>
ZeroPages<T, N>::ZeroPages(std::size_t rows) : bytes_(rows * sizeof(Row)) {
    // Anonymous mappings are zero-filled on first touch; nothing is written here.
    void* p = ::mmap(nullptr, bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE,
                     -1, 0);
    if (p == MAP_FAILED) throw std::bad_alloc();
    rows_ = static_cast<Row*>(p);
}

template <typename T, std::size_t N>
ZeroPages<T, N>::~ZeroPages() {
    ::munmap(rows_, bytes_);
}

template class ZeroPages<int16_t, MaxOrigSamples>;
template class ZeroPages<int16_t, MaxChangedSamples>;
template class ZeroPages<uint8_t, MaxVadFrames>;
template class ZeroPages<ColumnRange, MaxColumns>;
template class ZeroPages<int16_t, StreamSlotSamples>;
template class ZeroPages<int16_t, FifoCapacity>;

namespace {
void newRecord(WaveDevice& d) {
    d.sampleRate = 8000;
    d.bitsPerSample = 16;
    d.channels = 1;
    d.active = 0;
    d.callbackWindow = nullptr;
}
}  // namespace

SignalStore::SignalStore() {
    newRecord(player);
    newRecord(recorder);
    newRecord(changedFormat);
    newRecord(duplexDevice);
}

int32_t samplesPerMsFor(uint32_t rate) { return int32_t(rate / 1000); }

int32_t msFromSamples(int64_t samples, int32_t samplesPerMs) {
    return samplesPerMs > 0 ? int32_t(samples / samplesPerMs) : 0;
}

bool SignalStore::storeOriginal(const int16_t* block, int32_t frames, int channels, uint32_t rate) {
    int16_t* dst[2] = {origSamples.data(0), origSamples.data(1)};
    origLength = processing::splitChannels(block, frames, channels, dst, MaxOrigSamples);
    recorder.sampleRate = rate;
    recorder.bitsPerSample = 16;
    recorder.channels = channels >= 2 ? 2 : 1;
    samplesPerMs = samplesPerMsFor(rate);
    return frames > MaxOrigSamples;
}

bool SignalStore::storeChanged(const int16_t* block, int32_t frames, int channels, uint32_t rate) {
    int16_t* dst[2] = {changedSamples.data(0), changedSamples.data(1)};
    changedLength = processing::splitChannels(block, frames, channels, dst, MaxChangedSamples);
    changedFormat.sampleRate = rate;
    changedFormat.bitsPerSample = 16;
    changedFormat.channels = channels >= 2 ? 2 : 1;
    return frames > MaxChangedSamples;
}

void SignalStore::resetSelection() {
    dragStartEdge = dragEndEdge = false;
    selectionStart = selectionEnd = 0;
    hasSelection = false;
}

void SignalStore::setSelection(int32_t start, int32_t end) {
    selectionStart = start;
    selectionEnd = end;
    hasSelection = selectionStart != selectionEnd;
}

processing::RunSignal SignalStore::runSignal() {
    processing::RunSignal s;
    for (int c = 0; c < 2; ++c) {
        s.orig[c] = origSamples.data(c);
        s.changed[c] = changedSamples.data(c);
        s.vad[c] = vadStates.data(c);
    }
    s.origLength = origLength;
    s.changedCapacity = MaxChangedSamples;
    s.vadCapacity = MaxVadFrames;
    s.changedLength = &changedLength;
    s.vadCount = &vadCount;
    return s;
}

void SignalStore::releaseHeapBuffers() {
    delete[] decodedBuffer;
    decodedBuffer = nullptr;
    decodedFrames = 0;
    delete[] playBuffer;
    playBuffer = nullptr;
}
