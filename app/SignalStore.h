#pragma once
// The signal store: every sound the workstation holds (original and changed
// signal, two channels each), their lengths and formats, the selection, the
// view state of the four panes and the work flags. The main window holds it
// as its fields; this header has no UI dependency so the rules below are
// tested directly.
//
// Threads: only the UI thread reads or writes the store (command, paint and
// timer handlers, device completions delivered as window events). A wave
// device fills a buffer the store lends it (recordBuffer) from the audio
// driver's thread; the store's owner reads it only after the device handed
// the buffer back with its completion message.
//
// The sample arrays have their full capacity from the start, but they are
// taken as zero pages: capacity that is never touched costs no memory.

#include "audio/DuplexFlow.h"
#include "audio/WaveDevice.h"
#include "base/ZeroPages.h"
#include "display/Display.h"
#include "processing/ChannelLayout.h"
#include "processing/ProcessingRun.h"
#include "soundfile/SaveSignal.h"

#include <cstdint>
#include <string>
#include <vector>

namespace app {

using processing::MaxChangedSamples;
using processing::MaxOrigSamples;
using processing::MaxVadFrames;
constexpr int32_t MaxColumns = 3000;

using display::ColumnRange;

struct PlayMarkRect {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// One signal, original or changed: its two channels with their one length,
// its format, the view and column tables of its two panes, and the
// directories its open and save dialogs start in.
struct SignalSide {
    explicit SignalSide(int32_t capacity);
    SignalSide(const SignalSide&) = delete;
    SignalSide& operator=(const SignalSide&) = delete;

    // [channel][sample], 0 Left and 1 Right; `capacity` samples per channel.
    base::ZeroPages<int16_t> samples;
    int32_t length = 0; // valid samples in each channel
    const int32_t capacity;
    // Only the format fields (sampleRate, bitsPerSample, channels) describe
    // the signal; the original's record is also the wave-in recorder.
    audio::WaveDevice format;
    // First visible sample and visible samples of the Left and Right pane.
    int32_t viewStart[2] = {0, 0}, viewLength[2] = {0, 0};
    // Per-pixel-column extremes of the two panes and how many the last
    // refresh filled.
    base::ZeroPages<ColumnRange> columns{2, MaxColumns};
    int32_t columnCount[2] = {0, 0};
    std::string openDir, saveDir;

    // Stores `frames` interleaved frames of `channels` channels at `rate` Hz:
    // cut at the capacity, the first two channels kept, a mono signal's Right
    // channel zeroed over the new length; the format follows (16 bits).
    // Returns true when the signal was cut at the capacity.
    bool store(const int16_t* block, int32_t frames, int channels, uint32_t rate);
    // Replaces the Right channel by the first channel of `frames`
    // interleaved frames of `channels`, cut at the capacity; the Left channel
    // keeps its samples and is silent beyond its old end, the length becomes
    // that of the block, the format stays. True when cut.
    bool storeRight(const int16_t* block, int32_t frames, int channels);
    // Cuts selection s ... e (see display::cutChannels) from `count` channels
    // from channel `first` on; their panes' views are reset.
    void cut(int first, int count, int32_t s, int32_t e);
    // Channel `from` copied over the other one, over the signal's length.
    void copyChannel(int from);
    // Every Right sample becomes the saturated mix sign x (Left - Right).
    void mixIntoRight(int sign);
    // Both channels as the sample arrays of a duplex or capture flow.
    audio::ChannelPair pair();
    // Both channels and the format, as a save takes them.
    soundfile::PlanarSignal planar() const;
};

// The format fields of a wave-device record, copied (the device part stays).
void copyFormat(const audio::WaveDevice& from, audio::WaveDevice& to);
// Sets the format fields to `rate` Hz, 16 bits, `channels`.
void setFormat(audio::WaveDevice& d, uint32_t rate, uint32_t channels);

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
    // Frees the reader's block and the play block.
    ~SignalStore();
    SignalStore(const SignalStore&) = delete;
    SignalStore& operator=(const SignalStore&) = delete;

    // The two signals. The names below are the fields' names everywhere
    // else; they refer into these two records.
    SignalSide orig{MaxOrigSamples};
    SignalSide changed{MaxChangedSamples};

    base::ZeroPages<int16_t>& origSamples = orig.samples;
    int32_t& origLength = orig.length;
    base::ZeroPages<int16_t>& changedSamples = changed.samples;
    int32_t& changedLength = changed.length;
    audio::WaveDevice& recorder = orig.format;         // also the format of the original signal
    audio::WaveDevice& changedFormat = changed.format; // the format of the changed signal

    base::ZeroPages<int16_t> recordBuffer{1, MaxOrigSamples};
    int16_t* decodedBuffer = nullptr; // the reader's block (new[]), the store's own
    int32_t decodedFrames = 0;
    std::vector<int16_t> playBuffer; // interleaved block for stereo playback

    audio::WaveDevice player;

    // Derived values.
    int32_t samplesPerMs = 8;
    int32_t fullScale = 32768;

    // Selection and view.
    int32_t selectionStart = 0, selectionEnd = 0;
    bool hasSelection = false;
    bool dragStartEdge = false, dragEndEdge = false;
    int32_t mouseSample = 0;
    int32_t (&origViewStart)[2] = orig.viewStart;
    int32_t (&origViewLength)[2] = orig.viewLength;
    int32_t (&changedViewStart)[2] = changed.viewStart;
    int32_t (&changedViewLength)[2] = changed.viewLength;
    base::ZeroPages<ColumnRange>& origColumns = orig.columns;
    base::ZeroPages<ColumnRange>& changedColumns = changed.columns;
    // The changed signal drawn over the original panes.
    base::ZeroPages<ColumnRange> overlayColumns{2, MaxColumns};
    // Columns filled in each table by the last refresh.
    int32_t (&origColumnCount)[2] = orig.columnCount;
    int32_t (&changedColumnCount)[2] = changed.columnCount;
    int32_t overlayColumnCount[2] = {0, 0};
    double origAmpZoom = 1.0, changedAmpZoom = 1.0, timeZoom = 1.0;
    PlayMarkRect playMarkRects[4];
    bool playMarkShown[4] = {false, false, false, false}; // the marker is currently inverted

    // Work state.
    uint8_t workMode = WorkStartup; // written only through the window's setWorkMode
    int32_t changedPaneActive = 0;
    bool processStopped = true;
    int32_t vadCount = 0;
    base::ZeroPages<uint8_t> vadStates{2, MaxVadFrames};
    bool formActivated = false;

    // Playback, recording and full duplex
    int32_t playLength = 0;           // length of the signal the last play command addressed
    int32_t playFrom = 0, playTo = 0; // selection at the last press
    int32_t playPass = 0;             // pass now playing, 1 for the first
    int32_t playFrames = 0;           // frames handed to the device per pass
    int32_t recordElapsedMs = 0;
    // (Full duplex keeps its streams, buffers and FIFOs in a DuplexSession
    // of the window.)

    // Directories seeding the open and save dialogs.
    std::string& origOpenDir = orig.openDir;
    std::string& origSaveDir = orig.saveDir;
    std::string& changedOpenDir = changed.openDir;
    std::string& changedSaveDir = changed.saveDir;

    // Stores `frames` interleaved frames of `channels` channels at `rate` Hz
    // as the original signal: cut at MaxOrigSamples, the first two channels
    // kept, a mono signal's Right channel zeroed over the new length; the
    // recorder takes the format and samplesPerMs follows the rate. Returns
    // true when the signal was cut at the capacity.
    bool storeOriginal(const int16_t* block, int32_t frames, int channels, uint32_t rate);
    // The same into the changed signal (capacity MaxChangedSamples); its
    // format goes to changedFormat.
    bool storeChanged(const int16_t* block, int32_t frames, int channels, uint32_t rate);

    // Reads a sound file of any format the readers know into the reader's
    // block (decodedBuffer, decodedFrames) as readSoundSamples does, with at
    // most `capacity` + 1 frames of a format other than WAV; `header` then
    // describes the block. CannotOpen with the system's reason when the file
    // cannot be opened, Refused with the reader's when it cannot be decoded;
    // the block is then kept. A file no reader knows throws UnknownFormat.
    enum class ReadResult { Read, CannotOpen, Refused };
    ReadResult readDecoded(const std::string& path, int32_t capacity,
                           soundfile::WavHeaderInfo& header, std::string& reason);
    // The reader's block, described by `header`, as signal `side` (orig or
    // changed), cut at its capacity; `pcm` becomes the 16-bit header its
    // saves write and milliseconds follow its rate. The original's format
    // also goes to the player, and its Right overlay is dropped. True when
    // the block was cut.
    bool storeDecoded(SignalSide& side, const soundfile::WavHeaderInfo& header,
                      soundfile::WavHeaderInfo& pcm);
    // The first channel of the reader's block as the changed signal's Right
    // channel (SignalSide::storeRight); milliseconds follow the changed
    // signal's rate. True when the block was cut.
    bool storeDecodedRight(const soundfile::WavHeaderInfo& header);
    // A stopped recording in recordBuffer as the original signal in the
    // recorder's format (recordedFrames), drawn at the recorder's full scale.
    void storeRecording(uint32_t bytesRecorded, int32_t elapsedMs);

    // Empties both signals for a live capture in the recorder's format: the
    // player and the changed signal take that format, milliseconds follow its
    // rate, the panes draw at 16-bit full scale, a mono capture's Right
    // channels are silent over the live window, the selection is at 0 and no
    // voice decision is kept.
    void startLiveSignals();

    void resetSelection();
    void setSelection(int32_t start, int32_t end);
    // The selection with its drag state, as the mouse rules take it, and back.
    display::Selection selection() const;
    void keepSelection(const display::Selection& s);

    // The arrays of a processing run over this store.
    processing::RunSignal runSignal();

    // Frees the reader's block and the play block.
    void releaseHeapBuffers();
};

// rate / 1000, the divisor of every millisecond figure. Rates below 1000 Hz
// give 0; display::msOf gives the figures.
int32_t samplesPerMsFor(uint32_t rate);

} // namespace app
