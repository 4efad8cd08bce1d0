#include "app/SignalStore.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {
void newRecord(WaveDevice& d) {
    setFormat(d, 8000, 1);
    d.active = 0;
    d.callbackWindow = nullptr;
}
}  // namespace

void copyFormat(const WaveDevice& from, WaveDevice& to) {
    to.sampleRate = from.sampleRate;
    to.bitsPerSample = from.bitsPerSample;
    to.channels = from.channels;
}

void setFormat(WaveDevice& d, uint32_t rate, uint32_t channels) {
    d.sampleRate = rate;
    d.bitsPerSample = 16;
    d.channels = channels;
}

SignalSide::SignalSide(int32_t capacity_) : samples(2, std::size_t(capacity_)), capacity(capacity_) {
    newRecord(format);
}

bool SignalSide::store(const int16_t* block, int32_t frames, int channels, uint32_t rate) {
    int16_t* dst[2] = {samples.data(0), samples.data(1)};
    length = processing::splitChannels(block, frames, channels, dst, capacity);
    setFormat(format, rate, channels >= 2 ? 2 : 1);
    return frames > capacity;
}

PlanarSignal SignalSide::planar() const {
    PlanarSignal s;
    s.planes[0] = samples.data(0);
    s.planes[1] = samples.data(1);
    s.sampleRate = format.sampleRate;
    s.channels = format.channels;
    return s;
}

ChannelPair SignalSide::pair() { return ChannelPair{{samples.data(0), samples.data(1)}, &length, capacity}; }

SignalStore::SignalStore() {
    newRecord(player);
}

int32_t samplesPerMsFor(uint32_t rate) { return int32_t(rate / 1000); }

bool SignalStore::storeOriginal(const int16_t* block, int32_t frames, int channels, uint32_t rate) {
    const bool cut = orig.store(block, frames, channels, rate);
    samplesPerMs = samplesPerMsFor(rate);
    return cut;
}

bool SignalStore::storeChanged(const int16_t* block, int32_t frames, int channels, uint32_t rate) {
    return changed.store(block, frames, channels, rate);
}

void SignalStore::startLiveSignals() {
    copyFormat(recorder, player);
    copyFormat(recorder, changedFormat);
    samplesPerMs = samplesPerMsFor(recorder.sampleRate);
    fullScale = 32768;
    if (recorder.channels == 1) {
        const std::size_t n =
            std::min<std::size_t>(std::size_t(recorder.sampleRate) * DuplexWindowSeconds, MaxOrigSamples);
        std::memset(origSamples.data(1), 0, n * 2);
        std::memset(changedSamples.data(1), 0, n * 2);
    }
    selectionStart = selectionEnd = 0;
    hasSelection = false;
    origLength = changedLength = vadCount = 0;
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
