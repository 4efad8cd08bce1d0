#pragma once
// The record of a wave device and of a signal's sound format: the player
// (output) and the recorder (input) of the main window, and the format records
// of the signals. Every operation returns true on success; on failure
// `lastResult` holds the failing call's code. None of them shows a message.
// All operations run on the thread the callback window lives in (the UI
// thread); completions arrive as WaveMessage events posted to callbackWindow.

#include "platform/winmm.h"

#include <cstdint>

namespace audio {

// Duplex stream geometry.
constexpr int MaxStreamBuffers = 20;    // header and buffer slots per duplex stream
constexpr int StreamSlotSamples = 6000; // int16 samples per buffer slot (12000 bytes)
constexpr int MaxBufferSamples = 3000;  // largest buffer size bufferPlan returns

struct BufferPlan {
    int32_t count;   // buffers per stream (at most 10)
    int32_t samples; // samples of all channels per buffer (at most MaxBufferSamples)
};

// Number and size of the buffers of a duplex stream at `rate` Hz with
// `channels` channels: 40 ms buffers for mono; for stereo 62.5 ms, 1/13 s or
// 50 ms depending on the rate. The size is a whole number of frames.
BufferPlan bufferPlan(uint32_t rate, uint32_t channels);

struct WaveDevice {
    uint8_t active = 0;            // 1 after a successful play, 2 after record; informative only
    HWAVE handle = nullptr;        // the open device; null when closed
    WAVEFORMATEX format = {};      // the format passed at the last open
    WAVEHDR header = {};           // the record's single buffer header
    uint32_t lastResult = 0;       // code of the last device call made through this record
    HWND callbackWindow = nullptr; // receives the device's messages; null: none
    uint32_t sampleRate = 0;
    uint32_t bitsPerSample = 16;
    uint32_t channels = 1;

    WaveDevice() = default;
    WaveDevice(const WaveDevice&) = default;
    WaveDevice& operator=(const WaveDevice&) = default;
    // Forgets the callback window; an open device is not closed.
    ~WaveDevice() { callbackWindow = nullptr; }

    // ---- player
    // Opens output `device` (or WAVE_MAPPER) with this record's format and
    // queues `frames` interleaved frames at `samples` as the one buffer. The
    // block must stay untouched until the done message or closeOutput.
    bool openOutput(UINT device, uint32_t frames, const int16_t* samples);
    // openOutput, then restart; sets active = 1.
    bool play(UINT device, uint32_t frames, const int16_t* samples);
    // Queues the returned buffer again (looped playback); closes on failure.
    bool requeue();
    bool restart();
    bool pause();
    // Reset (the buffer comes back with its done message), unprepare, close.
    // Harmless when already closed: the first call fails and nothing changes.
    bool closeOutput();
    // Frames played since the open, over every pass of a re-queued buffer.
    uint32_t position();
    // Opens a many-buffer output stream on a caller's handle; lastResult only
    // changes when a device exists.
    bool openOutputStream(HWAVEOUT& stream, UINT device, HWND window,
                          const WAVEFORMATEX& streamFormat);
    // Prepares (again) and writes a caller-owned header.
    bool queueOutput(HWAVEOUT stream, WAVEHDR& streamHeader);

    // ---- recorder
    // Opens input `device` with this record's format and queues one buffer of
    // `samples` samples (all channels) at `data`.
    bool openInput(UINT device, uint32_t samples, int16_t* data);
    bool startInput();
    // openInput, then startInput; sets active = 2.
    bool record(UINT device, uint32_t samples, int16_t* data);
    // Bytes the device put into the buffer before returning it.
    uint32_t bytesRecorded() const { return header.dwBytesRecorded; }
    // Reset (the partly filled buffer comes back with its byte count and a
    // data message), unprepare, close. Harmless when already closed.
    bool closeInput();
    // The WAVEFORMATEX of this record's sampleRate, bitsPerSample, channels.
    void fillFormat(WAVEFORMATEX& out) const;
    // A cleared header over `samples` samples at `data`.
    void initHeader(uint32_t samples, int16_t* data, WAVEHDR& out) const;
    bool openInputStream(HWAVEIN& stream, UINT device, HWND window,
                         const WAVEFORMATEX& streamFormat);
    bool releaseInput(HWAVEIN stream, WAVEHDR& streamHeader);
    bool queueInput(HWAVEIN stream, WAVEHDR& streamHeader);

  private:
    bool check(MMRESULT r) {
        lastResult = r;
        return r == MMSYSERR_NOERROR;
    }
};

// Frames of a stopped 16-bit recording of `channels` (1 or 2) channels: from
// the bytes the device recorded or, when it reports none, from the
// milliseconds the recording ran at `rate`; never more than a buffer of
// `capacity` samples (all channels) holds.
int32_t recordedFrames(uint32_t bytesRecorded, uint32_t channels, int32_t elapsedMs, uint32_t rate,
                       int32_t capacity);

} // namespace audio
