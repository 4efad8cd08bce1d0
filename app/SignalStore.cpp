#include "app/SignalStore.h"

#include "soundfile/SoundLoad.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace app {

namespace {
void newRecord(audio::WaveDevice& d) {
    setFormat(d, 8000, 1);
    d.active = 0;
    d.callbackWindow = nullptr;
}
} // namespace

void copyFormat(const audio::WaveDevice& from, audio::WaveDevice& to) {
    to.sampleRate = from.sampleRate;
    to.bitsPerSample = from.bitsPerSample;
    to.channels = from.channels;
}

void setFormat(audio::WaveDevice& d, uint32_t rate, uint32_t channels) {
    d.sampleRate = rate;
    d.bitsPerSample = 16;
    d.channels = channels;
}

SignalSide::SignalSide(int32_t capacity_)
    : samples(2, std::size_t(capacity_)), capacity(capacity_) {
    newRecord(format);
}

bool SignalSide::store(const int16_t* block, int32_t frames, int channels, uint32_t rate) {
    int16_t* dst[2] = {samples.data(0), samples.data(1)};
    length = processing::splitChannels(block, frames, channels, dst, capacity);
    setFormat(format, rate, channels >= 2 ? 2 : 1);
    return frames > capacity;
}

bool SignalSide::storeRight(const int16_t* block, int32_t frames, int channels) {
    channels = std::max(channels, 1);
    const int32_t n = std::clamp(frames, 0, capacity);
    int16_t* right = samples.data(1);
    for (int32_t i = 0; i < n; ++i)
        right[i] = block[int64_t(i) * channels];
    if (n > length)
        std::fill(samples.data(0) + std::max(length, 0), samples.data(0) + n, int16_t(0));
    length = n;
    return frames > capacity;
}

void SignalSide::cut(int first, int count, int32_t s, int32_t e) {
    if (length <= 0)
        return;
    count = std::clamp(count, 0, 2 - first);
    int16_t* channels[2] = {nullptr, nullptr};
    for (int i = 0; i < count; ++i)
        channels[i] = samples.data(std::size_t(first + i));
    length = display::cutChannels(channels, count, length, s, e);
    for (int i = 0; i < count; ++i)
        viewLength[first + i] = 0;
}

void SignalSide::copyChannel(int from) {
    if (length <= 0)
        return;
    std::copy(samples.data(std::size_t(from)), samples.data(std::size_t(from)) + length,
              samples.data(std::size_t(1 - from)));
}

void SignalSide::mixIntoRight(int sign) {
    const int16_t* l = samples.data(0);
    int16_t* r = samples.data(1);
    for (int32_t i = 0; i < length; ++i)
        r[i] = processing::mixChannels(l[i], r[i], sign);
}

soundfile::PlanarSignal SignalSide::planar() const {
    soundfile::PlanarSignal s;
    s.planes[0] = samples.data(0);
    s.planes[1] = samples.data(1);
    s.sampleRate = format.sampleRate;
    s.channels = format.channels;
    return s;
}

audio::ChannelPair SignalSide::pair() {
    return audio::ChannelPair{{samples.data(0), samples.data(1)}, &length, capacity};
}

SignalStore::SignalStore() {
    newRecord(player);
}

SignalStore::~SignalStore() {
    releaseHeapBuffers();
}

int32_t samplesPerMsFor(uint32_t rate) {
    return int32_t(rate / 1000);
}

bool SignalStore::storeOriginal(const int16_t* block, int32_t frames, int channels, uint32_t rate) {
    const bool cut = orig.store(block, frames, channels, rate);
    samplesPerMs = samplesPerMsFor(rate);
    return cut;
}

bool SignalStore::storeChanged(const int16_t* block, int32_t frames, int channels, uint32_t rate) {
    return changed.store(block, frames, channels, rate);
}

SignalStore::ReadResult SignalStore::readDecoded(const std::string& path, int32_t capacity,
                                                 soundfile::WavHeaderInfo& header,
                                                 std::string& reason) {
    // A file that cannot be opened is told apart from one the readers refuse.
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        reason = std::strerror(errno);
        return ReadResult::CannotOpen;
    }
    std::fclose(f);
    // The readers may leave the header and the count half-filled on failure;
    // the store's stay as they were until a read succeeds.
    soundfile::WavHeaderInfo read = header;
    int32_t frames = decodedFrames;
    if (!soundfile::readSoundSamples(read, path, capacity, frames, decodedBuffer, reason))
        return ReadResult::Refused;
    header = read;
    decodedFrames = frames;
    return ReadResult::Read;
}

bool SignalStore::storeDecoded(SignalSide& side, const soundfile::WavHeaderInfo& header,
                               soundfile::WavHeaderInfo& pcm) {
    const int channels = std::max<int>(1, header.channels);
    soundfile::derivePcmHeader(header, uint16_t(std::min(channels, 2)), pcm);
    if (&side == &orig) {
        const bool cut = storeOriginal(decodedBuffer, decodedFrames, channels, header.sampleRate);
        copyFormat(recorder, player);
        overlayColumnCount[1] = 0;
        return cut;
    }
    const bool cut = storeChanged(decodedBuffer, decodedFrames, channels, header.sampleRate);
    samplesPerMs = samplesPerMsFor(changedFormat.sampleRate);
    return cut;
}

bool SignalStore::storeDecodedRight(const soundfile::WavHeaderInfo& header) {
    const bool cut =
        changed.storeRight(decodedBuffer, decodedFrames, std::max<int>(1, header.channels));
    samplesPerMs = samplesPerMsFor(changedFormat.sampleRate);
    return cut;
}

void SignalStore::storeRecording(uint32_t bytesRecorded, int32_t elapsedMs) {
    const uint32_t channels = std::clamp<uint32_t>(recorder.channels, 1, 2);
    const int32_t frames = audio::recordedFrames(bytesRecorded, channels, elapsedMs,
                                                 recorder.sampleRate, MaxOrigSamples);
    storeOriginal(recordBuffer.data(0), frames, int(channels), recorder.sampleRate);
    fullScale = recorder.bitsPerSample == 8 ? 256 : 32768;
}

void SignalStore::startLiveSignals() {
    copyFormat(recorder, player);
    copyFormat(recorder, changedFormat);
    samplesPerMs = samplesPerMsFor(recorder.sampleRate);
    fullScale = 32768;
    if (recorder.channels == 1) {
        const std::size_t n = std::min<std::size_t>(
            std::size_t(recorder.sampleRate) * audio::DuplexWindowSeconds, MaxOrigSamples);
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

display::Selection SignalStore::selection() const {
    return display::Selection{selectionStart, selectionEnd, hasSelection, dragStartEdge,
                              dragEndEdge};
}

void SignalStore::keepSelection(const display::Selection& s) {
    selectionStart = s.start;
    selectionEnd = s.end;
    hasSelection = s.has;
    dragStartEdge = s.dragStartEdge;
    dragEndEdge = s.dragEndEdge;
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
    std::vector<int16_t>().swap(playBuffer);
}

} // namespace app
