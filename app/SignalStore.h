#pragma once
// The signal store: every sound the workstation holds (original and changed
// signal, two channels each), their lengths and formats, the selection, the
// view state of the four panes and the work flags. The main window holds it
// as its fields; this header has no UI dependency so the rules below are
// tested directly.
//
// The sample arrays have their full capacity from the start, but they are
// taken as zero pages: capacity that is never touched costs no memory.

#include "ChannelLayout.h"
#include "Display.h"
#include "DuplexFlow.h"
#include "ProcessingRun.h"
#include "WaveDevice.h"

#include <cstdint>
#include <string>

using processing::MaxChangedSamples;
using processing::MaxOrigSamples;
using processing::MaxVadFrames;
constexpr int32_t MaxColumns = 3000;

using display::ColumnRange;

struct PlayMarkRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// One zero-page allocation of `T[rows][N]`, released with the store.
template <typename T, std::size_t N>
class ZeroPages {
public:
    using Row = T[N];
    explicit ZeroPages(std::size_t rows);
    ~ZeroPages();
    ZeroPages(const ZeroPages&) = delete;
    ZeroPages& operator=(const ZeroPages&) = delete;
    Row& operator[](std::size_t r) { return rows_[r]; }
    const Row& operator[](std::size_t r) const { return rows_[r]; }
    T* data(std::size_t r) { return rows_[r]; }

private:
    Row* rows_;
    std::size_t bytes_;
};

enum WorkMode : uint8_t {
    WorkStartup = 0,
    WorkPlayOnce = 1,
    WorkPlayLoop = 2,
    WorkRecording = 3,
    WorkReady = 4,
    WorkDuplex = 5,
};

struct SignalStore {
    SignalStore();
    SignalStore(const SignalStore&) = delete;
    SignalStore& operator=(const SignalStore&) = delete;

    // Samples.
    int32_t origLength = 0;
    ZeroPages<int16_t, MaxOrigSamples> origSamples{2};
    ZeroPages<int16_t, MaxOrigSamples> recordBuffer{1};
    int32_t changedLength = 0;
    ZeroPages<int16_t, MaxChangedSamples> changedSamples{2};
    int16_t* decodedBuffer = nullptr;  // the WAV reader's block
    int32_t decodedFrames = 0;
    int16_t* playBuffer = nullptr;     // interleaved block for stereo playback

    // Formats.
    WaveDevice player;
    WaveDevice recorder;       // also the format of the original signal
    WaveDevice changedFormat;  // the format of the changed signal
    WaveDevice duplexDevice;

    // Derived values.
    int32_t samplesPerMs = 8;
    int32_t fullScale = 32768;

    // Selection and view.
    int32_t selectionStart = 0, selectionEnd = 0;
    bool hasSelection = false;
    bool dragStartEdge = false, dragEndEdge = false;
    int32_t mouseSample = 0;
    int32_t origViewStart[2] = {0, 0}, origViewLength[2] = {0, 0};
    int32_t changedViewStart[2] = {0, 0}, changedViewLength[2] = {0, 0};
    ZeroPages<ColumnRange, MaxColumns> origColumns{2};
    ZeroPages<ColumnRange, MaxColumns> overlayColumns{2};
    ZeroPages<ColumnRange, MaxColumns> changedColumns{2};
    // Columns filled in each table by the last refresh.
    int32_t origColumnCount[2] = {0, 0}, overlayColumnCount[2] = {0, 0}, changedColumnCount[2] = {0, 0};
    double origAmpZoom = 1.0, changedAmpZoom = 1.0, timeZoom = 1.0;
    PlayMarkRect playMarkRects[4];
    bool playMarkShown[4] = {false, false, false, false};  // the marker is currently inverted

    // Work state.
    uint8_t workMode = WorkStartup;  // written only through the window's setWorkMode
    int32_t changedPaneActive = 0;
    bool processStopped = true;
    int32_t vadCount = 0;
    ZeroPages<uint8_t, MaxVadFrames> vadStates{2};
    bool formActivated = false;

    // Playback, recording and full duplex
    int32_t playLength = 0;   // length of the signal the last play command addressed
    int32_t playFrom = 0, playTo = 0;  // selection at the last press
    int32_t playPass = 0;     // pass now playing, 1 for the first
    int32_t playFrames = 0;   // frames handed to the device per pass
    int32_t recordElapsedMs = 0;
    HWAVEIN duplexIn = nullptr;
    HWAVEOUT duplexOut = nullptr;
    WAVEFORMATEX duplexInFormat = {}, duplexOutFormat = {};
    WAVEHDR duplexInHeaders[MaxStreamBuffers] = {}, duplexOutHeaders[MaxStreamBuffers] = {};
    int32_t inBufferSamples = 0, inBufferCount = 0, inBufferIndex = 0;
    int32_t outBufferSamples = 0, outBufferCount = 0, outBufferIndex = 0;
    ZeroPages<int16_t, StreamSlotSamples> duplexInBuffers{MaxStreamBuffers};
    ZeroPages<int16_t, StreamSlotSamples> duplexOutBuffers{MaxStreamBuffers};
    ZeroPages<int16_t, FifoCapacity> inputFifo{1}, outputFifo{1};
    int32_t inputFifoFill = 0, outputFifoFill = 0;

    // Directories seeding the open and save dialogs.
    std::string origOpenDir, origSaveDir, changedOpenDir, changedSaveDir;

    // Stores `frames` interleaved frames of `channels` channels at `rate` Hz
    // as the original signal: cut at MaxOrigSamples, the first two channels
    // kept, a mono signal's Right channel zeroed over the new length; the
    // recorder takes the format and samplesPerMs follows the rate. Returns
    // true when the signal was cut at the capacity.
    bool storeOriginal(const int16_t* block, int32_t frames, int channels, uint32_t rate);
    // The same into the changed signal (capacity MaxChangedSamples); its
    // format goes to changedFormat.
    bool storeChanged(const int16_t* block, int32_t frames, int channels, uint32_t rate);

    void resetSelection();
    void setSelection(int32_t start, int32_t end);

    // The arrays of a processing run over this store.
    processing::RunSignal runSignal();

    // Frees the reader's block and the play block.
    void releaseHeapBuffers();
};

// rate / 1000, the divisor of every millisecond figure. Rates below 1000 Hz
// give 0; use msFromSamples for the figures.
int32_t samplesPerMsFor(uint32_t rate);
// samples / samplesPerMs, and 0 when samplesPerMs is 0.
int32_t msFromSamples(int64_t samples, int32_t samplesPerMs);
