#include "audio/WaveDevice.h"

#include <algorithm>

namespace audio {

namespace {

// Callback argument and flags for an open with `window` as callback.
DWORD_PTR callbackOf(HWND window) {
    return reinterpret_cast<DWORD_PTR>(window);
}
DWORD openFlags(HWND window) {
    return window ? DWORD(CALLBACK_WINDOW | WAVE_ALLOWSYNC) : DWORD(WAVE_ALLOWSYNC);
}

constexpr UINT HeaderSize = sizeof(WAVEHDR);

} // namespace

BufferPlan bufferPlan(uint32_t rate, uint32_t channels) {
    // The factors are exact fractions (0.04 = 1/25, 0.0625 = 1/16, 0.05 =
    // 1/20, and 1/13), so integer division gives the truncated products.
    const uint64_t total = uint64_t(rate) * channels;
    uint64_t size;
    int32_t count;
    if (channels == 1) {
        size = total / 25;
        count = 10;
    } else if (rate == 8000 || rate == 11025 || rate == 16000 || rate == 22050) {
        size = total / 16;
        count = 8;
    } else if (rate == 32000) {
        size = total / 13;
        count = 8;
    } else if (rate == 44100 || rate == 48000) {
        size = total / 20;
        count = 10;
    } else {
        size = total / 16;
        count = 10;
    }
    count = std::min(count, 10);
    size = std::min<uint64_t>(size, MaxBufferSamples);
    // A buffer always holds whole frames; otherwise a stereo stream would
    // swap its channels at every odd-sized buffer boundary.
    if (channels > 1)
        size -= size % channels;
    return {count, int32_t(size)};
}

void WaveDevice::fillFormat(WAVEFORMATEX& out) const {
    out.wFormatTag = WAVE_FORMAT_PCM;
    out.nChannels = WORD(channels);
    out.nSamplesPerSec = sampleRate;
    out.nAvgBytesPerSec = sampleRate * bitsPerSample * channels / 8;
    out.nBlockAlign = WORD(bitsPerSample * channels / 8);
    out.wBitsPerSample = WORD(bitsPerSample);
    out.cbSize = 0;
}

void WaveDevice::initHeader(uint32_t samples, int16_t* data, WAVEHDR& out) const {
    out.lpData = reinterpret_cast<LPSTR>(data);
    out.dwBufferLength = samples * bitsPerSample / 8;
    out.dwBytesRecorded = 0;
    out.dwUser = 0;
    out.dwFlags = 0;
    out.dwLoops = 0;
}

// ------------------------------------------------------------------ player

bool WaveDevice::openOutput(UINT device, uint32_t frames, const int16_t* samples) {
    lastResult = WAVE_NO_OUTPUT_DEVICE;
    if (waveOutGetNumDevs() == 0)
        return false;
    const uint64_t bytes = uint64_t(frames) * bitsPerSample * channels / 8;
    if (bytes > 0xFFFFFFFFu)
        return check(MMSYSERR_INVALPARAM); // more than one buffer can describe
    fillFormat(format);
    if (!check(waveOutOpen(&handle, device, &format, callbackOf(callbackWindow), 0,
                           openFlags(callbackWindow))))
        return false;
    header = WAVEHDR{};
    header.lpData = reinterpret_cast<LPSTR>(const_cast<int16_t*>(samples));
    header.dwBufferLength = DWORD(bytes);
    if (!check(waveOutPrepareHeader(handle, &header, HeaderSize)))
        return false;
    return requeue();
}

bool WaveDevice::play(UINT device, uint32_t frames, const int16_t* samples) {
    if (!openOutput(device, frames, samples) || !restart())
        return false;
    active = 1;
    return true;
}

bool WaveDevice::requeue() {
    if (!check(waveOutWrite(handle, &header, HeaderSize))) {
        const uint32_t failed = lastResult;
        closeOutput();
        lastResult = failed;
        return false;
    }
    return true;
}

bool WaveDevice::restart() {
    return check(waveOutRestart(handle));
}

bool WaveDevice::pause() {
    return check(waveOutPause(handle));
}

bool WaveDevice::closeOutput() {
    if (!check(waveOutReset(handle)) ||
        !check(waveOutUnprepareHeader(handle, &header, HeaderSize)) || !check(waveOutClose(handle)))
        return false;
    handle = nullptr;
    return true;
}

uint32_t WaveDevice::position() {
    MMTIME t{};
    t.wType = TIME_SAMPLES;
    waveOutGetPosition(handle, &t, sizeof t);
    return t.u.sample;
}

bool WaveDevice::openOutputStream(HWAVEOUT& stream, UINT device, HWND window,
                                  const WAVEFORMATEX& streamFormat) {
    if (waveOutGetNumDevs() == 0)
        return false;
    return check(
        waveOutOpen(&stream, device, &streamFormat, callbackOf(window), 0, openFlags(window)));
}

bool WaveDevice::queueOutput(HWAVEOUT stream, WAVEHDR& streamHeader) {
    return check(waveOutPrepareHeader(stream, &streamHeader, HeaderSize)) &&
           check(waveOutWrite(stream, &streamHeader, HeaderSize));
}

// ---------------------------------------------------------------- recorder

bool WaveDevice::openInput(UINT device, uint32_t samples, int16_t* data) {
    lastResult = WAVE_NO_INPUT_DEVICE;
    if (waveInGetNumDevs() == 0)
        return false;
    const uint64_t bytes = uint64_t(samples) * bitsPerSample / 8;
    if (bytes > 0xFFFFFFFFu)
        return check(MMSYSERR_INVALPARAM);
    fillFormat(format);
    if (!check(waveInOpen(&handle, device, &format, callbackOf(callbackWindow), 0,
                          openFlags(callbackWindow))))
        return false;
    header = WAVEHDR{};
    header.lpData = reinterpret_cast<LPSTR>(data);
    header.dwBufferLength = DWORD(bytes);
    if (!check(waveInPrepareHeader(handle, &header, HeaderSize)))
        return false;
    if (!check(waveInAddBuffer(handle, &header, HeaderSize))) {
        const uint32_t failed = lastResult;
        closeInput();
        lastResult = failed;
        return false;
    }
    return true;
}

bool WaveDevice::startInput() {
    return check(waveInStart(handle));
}

bool WaveDevice::record(UINT device, uint32_t samples, int16_t* data) {
    if (!openInput(device, samples, data) || !startInput())
        return false;
    active = 2;
    return true;
}

bool WaveDevice::closeInput() {
    if (!check(waveInReset(handle)) || !check(waveInUnprepareHeader(handle, &header, HeaderSize)) ||
        !check(waveInClose(handle)))
        return false;
    handle = nullptr;
    return true;
}

bool WaveDevice::openInputStream(HWAVEIN& stream, UINT device, HWND window,
                                 const WAVEFORMATEX& streamFormat) {
    return check(
        waveInOpen(&stream, device, &streamFormat, callbackOf(window), 0, openFlags(window)));
}

bool WaveDevice::releaseInput(HWAVEIN stream, WAVEHDR& streamHeader) {
    return check(waveInUnprepareHeader(stream, &streamHeader, HeaderSize));
}

bool WaveDevice::queueInput(HWAVEIN stream, WAVEHDR& streamHeader) {
    return check(waveInPrepareHeader(stream, &streamHeader, HeaderSize)) &&
           check(waveInAddBuffer(stream, &streamHeader, HeaderSize));
}

int32_t recordedFrames(uint32_t bytesRecorded, uint32_t channels, int32_t elapsedMs, uint32_t rate,
                       int32_t capacity) {
    channels = std::clamp<uint32_t>(channels, 1, 2);
    int64_t frames = bytesRecorded / channels;
    if (frames == 0)
        frames = int64_t(elapsedMs) * 2 * rate / 1000;
    frames /= 2;
    return int32_t(std::min<int64_t>(frames, capacity / int32_t(channels)));
}

} // namespace audio
