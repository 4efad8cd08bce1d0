// Recording and full-duplex recording of the main window. Recording captures
// into the store's recording buffer until it is stopped or full; the
// recording then becomes the original signal. Full duplex runs a capture and
// an output stream at once: every captured buffer is appended to the original
// signal and to the input FIFO, the engine cleans the FIFO hop by hop into
// the output FIFO, and the output buffers, refilled in rotation, play it back
// and append it to the changed signal. Both signals keep their last 30 s.

#include "ConfigLink.h"
#include "MessageBox.h"
#include "Upanelsig.h"
#include "WavFile.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr UINT HeaderSize = sizeof(WAVEHDR);

bool russian() { return configLanguageIndex() == 1; }
bool english() { return configLanguageIndex() == 0; }

void say(TFPanelSignal* w, const char* english, const char* russianText, uint32_t code = 0) {
    QString text = russian() ? QString::fromUtf8(russianText) : QString::fromUtf8(english);
    if (text.contains("%1")) text = text.arg(code);
    showMessageBox(w, text, "Silvane");
}

WavHeaderInfo recordingHeader(uint32_t rate, uint32_t channels, uint32_t bits) {
    WavHeaderInfo h = sourceHeader;  // its data size stays as it was
    h.fmtSize = 16;
    h.formatTag = 1;
    h.channels = uint16_t(channels);
    h.sampleRate = rate;
    h.avgBytesPerSec = channels * 2 * rate;
    h.blockAlign = uint16_t(channels * 2);
    h.bitsPerSample = uint16_t(bits);
    return h;
}

// ---- recording

void setRecordTexts(TFPanelSignal* w, bool recording) {
    w->tRecord->setIcon(buttonImage(recording ? ImgStop : ImgRecord));
    w->setRecordHint(recording, configLanguageIndex());
}

// ---- full duplex

void setDuplexTexts(TFPanelSignal* w, bool running) {
    w->tDuplex->setIcon(buttonImage(running ? ImgStop : ImgDuplex));
    if (english())
        w->tDuplex->setToolTip(running ? "Stop audio recording with Playback (Duplex mode)"
                                       : "Start audio recording with Playback (Duplex mode)");
    else if (russian())
        w->tDuplex->setToolTip(
            running ? QString::fromUtf8("Остановить аудио запись с воспроизведением (Full Duplex mode - режим говори и слушай)")
                    : QString::fromUtf8("Начать аудио запись с воспроизведением (Full Duplex mode - режим говори и слушай)"));
    w->setDuplexMenuText(running, configLanguageIndex());
}

// Zeroes the buffers of a stream that the plan uses.
void clearBuffers(ZeroPages<int16_t>& buffers, int32_t count, int32_t samples) {
    for (int32_t b = 0; b < count; ++b) std::memset(buffers.data(std::size_t(b)), 0, std::size_t(samples) * 2);
}

// Timer interval of a stream: half the duration of one of its buffers.
int intervalOf(int32_t samples, const WaveDevice& d) {
    const uint32_t perSecond = std::max<uint32_t>(1, d.channels * 2 * d.sampleRate);
    return int(std::max<uint32_t>(1, uint32_t(samples) * 1000u / perSecond));
}

void closeCapture(TFPanelSignal* w) {
    if (!w->duplexIn) return;
    waveInReset(w->duplexIn);
    for (int32_t b = 0; b < w->inBufferCount; ++b) waveInUnprepareHeader(w->duplexIn, &w->duplexInHeaders[b], HeaderSize);
    waveInClose(w->duplexIn);
    w->duplexIn = nullptr;
}

void closeOutputStream(TFPanelSignal* w) {
    if (!w->duplexOut) return;
    waveOutReset(w->duplexOut);
    for (int32_t b = 0; b < w->outBufferCount; ++b)
        waveOutUnprepareHeader(w->duplexOut, &w->duplexOutHeaders[b], HeaderSize);
    waveOutClose(w->duplexOut);
    w->duplexOut = nullptr;
}

// Capture stream in the recorder's format, every buffer queued. False when
// the device cannot be opened.
bool openCapture(TFPanelSignal* w) {
    const BufferPlan plan = bufferPlan(w->recorder.sampleRate, w->recorder.channels);
    w->inBufferCount = plan.count;
    w->inBufferSamples = plan.samples;
    w->inBufferIndex = 0;
    clearBuffers(w->duplexInBuffers, plan.count, plan.samples);
    w->inputFifoFill = 0;
    w->outputFifoFill = 0;
    w->TimerRecord->setInterval(intervalOf(plan.samples, w->recorder));
    w->recorder.fillFormat(w->duplexInFormat);
    if (!w->recorder.openInputStream(w->duplexIn, configInputDevice(), w, w->duplexInFormat)) {
        w->duplexIn = nullptr;
        return false;
    }
    for (int32_t b = 0; b < plan.count; ++b) {
        w->recorder.initHeader(uint32_t(plan.samples), w->duplexInBuffers.data(std::size_t(b)), w->duplexInHeaders[b]);
        w->recorder.queueInput(w->duplexIn, w->duplexInHeaders[b]);
    }
    return true;
}

// Output stream in duplexDevice's format; its silent buffers start playing
// at once and make the playback delay.
bool openOutputStream(TFPanelSignal* w) {
    const BufferPlan plan = bufferPlan(w->duplexDevice.sampleRate, w->duplexDevice.channels);
    w->outBufferCount = plan.count;
    w->outBufferSamples = plan.samples;
    w->outBufferIndex = 0;
    clearBuffers(w->duplexOutBuffers, plan.count, plan.samples);
    w->TimerPlay->setInterval(intervalOf(plan.samples, w->duplexDevice));
    w->duplexDevice.fillFormat(w->duplexOutFormat);
    if (!w->duplexDevice.openOutputStream(w->duplexOut, configOutputDevice(), w, w->duplexOutFormat)) {
        w->duplexOut = nullptr;
        return false;
    }
    for (int32_t b = 0; b < plan.count; ++b) {
        w->duplexDevice.initHeader(uint32_t(plan.samples), w->duplexOutBuffers.data(std::size_t(b)),
                                   w->duplexOutHeaders[b]);
        w->duplexDevice.queueOutput(w->duplexOut, w->duplexOutHeaders[b]);
    }
    return true;
}

// The signals' formats, the status bars and the empty signals of a (re)started capture.
void startSignals(TFPanelSignal* w) {
    sourceHeader = recordingHeader(w->recorder.sampleRate, w->recorder.channels, w->recorder.bitsPerSample);
    copyFormat(w->recorder, w->player);
    copyFormat(w->recorder, w->changedFormat);
    w->samplesPerMs = samplesPerMsFor(w->recorder.sampleRate);
    w->fullScale = 32768;
    const QString format = QString::fromStdString(
        display::formatText(w->recorder.sampleRate, w->recorder.channels, w->recorder.bitsPerSample));
    const QString changedFormat = QString::fromStdString(display::formatText(
        w->changedFormat.sampleRate, w->changedFormat.channels, w->changedFormat.bitsPerSample));
    w->Status0->setPanelText(0, "File: ");
    w->Status0->setPanelText(1, format);
    w->Status1->setPanelText(0, "File: ");
    w->Status1->setPanelText(1, changedFormat);
    if (w->recorder.channels == 1) {
        const std::size_t n = std::min<std::size_t>(std::size_t(w->recorder.sampleRate) * DuplexWindowSeconds,
                                                    MaxOrigSamples);
        std::memset(w->origSamples.data(1), 0, n * 2);
        std::memset(w->changedSamples.data(1), 0, n * 2);
    }
    w->selectionStart = w->selectionEnd = 0;
    w->hasSelection = false;
    w->origLength = w->changedLength = w->vadCount = 0;
}

void showLengths(TFPanelSignal* w) {
    w->Status0->setPanelText(2, QString::fromStdString(display::titleText(w->origLength, w->samplesPerMs)));
    w->Status1->setPanelText(2, QString::fromStdString(display::titleText(w->changedLength, w->samplesPerMs)));
}

// A stream that cannot be opened ends the duplex run with a message instead
// of running on with nothing arriving.
void stopAfterFailure(TFPanelSignal* w, uint32_t code) {
    w->tDuplexClick();
    say(w, "The sound devices cannot run full duplex in this format (error %1).",
        "Звуковые устройства не могут работать в дуплексе в этом формате (ошибка %1).", code);
}

}  // namespace

void TFPanelSignal::setRecordHint(bool recording, int lang) {
    if (lang == 0)
        tRecord->setToolTip(recording ? "Stop audio recording" : "Start audio recording");
    else if (lang == 1)
        tRecord->setToolTip(recording ? QString::fromUtf8("Остановить аудио запись")
                                      : QString::fromUtf8("Начать аудио запись во внутрений буфер"));
}

void TFPanelSignal::setDuplexMenuText(bool running, int lang) {
    if (lang == 0)
        mDuplex->setText(running ? "Stop audio recording with Playback" : "Start audio recording with Playback");
    else if (lang == 1)
        mDuplex->setText(running ? QString::fromUtf8("Остановить аудио запись с воспроизведением")
                                 : QString::fromUtf8("Начать аудио запись с воспроизведением"));
}

// ---------------------------------------------------------------- recording

void TFPanelSignal::tRecordClick() {
    const UINT device = configInputDevice();
    if (workMode == WorkStartup || workMode == WorkReady) {
        if (waveInGetNumDevs() == 0) {
            say(this, "No sound input device is present: nothing can be recorded.",
                "Нет устройства ввода звука: запись невозможна.");
            return;
        }
        const uint8_t before = workMode;
        const WaveDevice keptFormat = recorder;
        const WavHeaderInfo keptHeader = sourceHeader;
        setRecordTexts(this, true);
        setWorkMode(WorkRecording);
        recordElapsedMs = 0;
        TimerRec->start();
        setFormat(recorder, configRecordRate(), configRecordChannels());
        sourceHeader = recordingHeader(recorder.sampleRate, recorder.channels, recorder.bitsPerSample);
        recorder.callbackWindow = this;
        if (!recorder.record(device, uint32_t(MaxOrigSamples), recordBuffer.data(0))) {
            // Nothing is captured and no data message will come: the original
            // signal and its format stay as they were.
            const uint32_t code = recorder.lastResult;
            recorder.closeInput();
            TimerRec->stop();
            setRecordTexts(this, false);
            copyFormat(keptFormat, recorder);
            sourceHeader = keptHeader;
            setWorkMode(before);
            say(this, "The sound input device cannot record in this format (error %1).",
                "Устройство ввода звука не может записывать в этом формате (ошибка %1).", code);
        }
    } else if (workMode == WorkRecording) {
        // The device returns the partly filled buffer; its data message finishes.
        if (!recorder.closeInput() && !recorder.handle) {
            setWorkMode(WorkReady);
            tStopClick();
        }
    }
}

void TFPanelSignal::waveInData(WAVEHDR* header) {
    if (workMode != WorkRecording || header != &recorder.header) return;
    setWorkMode(WorkReady);
    tStopClick();
}

void TFPanelSignal::tStopClick() {
    if (!TimerRec->isActive()) return;
    setRecordTexts(this, false);
    TimerRec->stop();
    recorder.closeInput();
    const uint32_t channels = std::clamp<uint32_t>(recorder.channels, 1, 2);
    int64_t frames = recorder.bytesRecorded() / channels;
    if (frames == 0) frames = int64_t(recordElapsedMs) * 2 * recorder.sampleRate / 1000;
    frames /= 2;
    // Never more than the buffer holds, whatever the elapsed time says.
    frames = std::min<int64_t>(frames, MaxOrigSamples / int32_t(channels));
    storeOriginal(recordBuffer.data(0), int32_t(frames), int(channels), recorder.sampleRate);
    fullScale = recorder.bitsPerSample == 8 ? 256 : 32768;
    Status0->setPanelText(0, "File: ");
    {
        QSignalBlocker block(ScrollSignal);
        ScrollSignal->setMaximum(std::max(1, origLength / 10));
    }
    copyFormat(recorder, player);
    PanelSignalResize();
}

void TFPanelSignal::TimerRecTimer() {
    const int64_t samples = int64_t(recordElapsedMs) * recorder.sampleRate / 1000;
    Status0->setPanelText(2, "Title: " + QString::number(recordElapsedMs) + " ms/" + QString::number(samples));
    recordElapsedMs += TimerRec->interval();
}

// -------------------------------------------------------------- full duplex

void TFPanelSignal::tDuplexClick() {
    if (workMode == WorkStartup || workMode == WorkReady) {
        if (waveInGetNumDevs() == 0 || waveOutGetNumDevs() == 0) {
            say(this, "Full duplex needs a sound input and a sound output device; one of them is missing.",
                "Для дуплекса нужны устройства ввода и вывода звука; одного из них нет.");
            return;
        }
        ShowClearSig->setChecked(false);
        ShowClearSig->setEnabled(false);
        setDuplexTexts(this, true);
        bStart->setEnabled(false);
        setWorkMode(WorkDuplex);
        selectionStart = selectionEnd = 0;
        hasSelection = false;
        origLength = changedLength = vadCount = 0;
        recorder.callbackWindow = this;
        duplexDevice.callbackWindow = this;
        setFormat(recorder, configRecordRate(), configRecordChannels());
        setFormat(duplexDevice, recorder.sampleRate, recorder.channels);
        bInitSVClick();
        const bool in = openCapture(this);
        const bool out = in && openOutputStream(this);
        startSignals(this);
        if (!in || !out) {
            stopAfterFailure(this, in ? duplexDevice.lastResult : recorder.lastResult);
            return;
        }
        waveInStart(duplexIn);
        TimerRecord->start();
        TimerSV->start();
        TimerPlay->start();
    } else if (workMode == WorkDuplex) {
        ShowClearSig->setEnabled(true);
        enableConfigChannels(true);
        TimerRecord->stop();
        TimerSV->stop();
        TimerPlay->stop();
        closeCapture(this);
        closeOutputStream(this);
        setWorkMode(WorkReady);
        setDuplexTexts(this, false);
        bStart->setEnabled(true);
        showLengths(this);
        PanelSignalResize();
    }
}

void TFPanelSignal::TimerRecordTimer() {
    if (workMode != WorkDuplex) return;
    if (configRecordRate() != recorder.sampleRate || configRecordChannels() != recorder.channels) {
        closeCapture(this);
        setFormat(recorder, configRecordRate(), configRecordChannels());
        const bool opened = openCapture(this);
        startSignals(this);
        bInitSVClick();
        if (!opened) {
            stopAfterFailure(this, recorder.lastResult);
            return;
        }
        waveInStart(duplexIn);
        PanelSignalResize();
        return;
    }
    if (!duplexIn || inBufferCount <= 0) return;
    const int32_t C = int32_t(std::max<uint32_t>(recorder.channels, 1));
    const int32_t n = inBufferSamples / C;
    ChannelPair origPair = orig.pair(), changedPair = changed.pair();
    const int32_t changedStep = outBufferSamples / int32_t(std::max<uint32_t>(changedFormat.channels, 1));
    // Every buffer that came back full, in rotation: late or merged ticks
    // lose nothing.
    for (int32_t round = 0; round < inBufferCount; ++round) {
        WAVEHDR& h = duplexInHeaders[inBufferIndex];
        if (h.dwBytesRecorded != uint32_t(inBufferSamples) * 2) break;
        const int16_t* buffer = duplexInBuffers.data(std::size_t(inBufferIndex));
        appendFrames(origPair, buffer, n, C);
        fifoAppend(inputFifo.data(0), inputFifoFill, FifoCapacity, buffer, inBufferSamples, C);
        recorder.releaseInput(duplexIn, h);
        recorder.initHeader(uint32_t(inBufferSamples), duplexInBuffers.data(std::size_t(inBufferIndex)), h);
        recorder.queueInput(duplexIn, h);
        scrollCaptureWindow(origPair, changedPair, n, int32_t(recorder.sampleRate) * DuplexWindowSeconds, changedStep,
                            selectionStart, selectionEnd);
        inBufferIndex = (inBufferIndex + 1) % inBufferCount;
    }
}

void TFPanelSignal::TimerSVTimer() {
    if (workMode != WorkDuplex) return;
    const int cin = int(std::clamp<uint32_t>(recorder.channels, 1, 2));
    LiveStreams io{inputFifo.data(0), &inputFifoFill, cin,
                   outputFifo.data(0), &outputFifoFill, FifoCapacity,
                   int(std::clamp<uint32_t>(duplexDevice.channels, 1, 2))};
    liveStep(io, [this, cin] {
        LiveControls c;
        c.params = configRunParameters(int32_t(recorder.sampleRate), cin);
        c.frame = configFrameControls(UseFFTEQ->isChecked(), bEnabledPr->isChecked());
        return c;
    });
}

void TFPanelSignal::TimerPlayTimer() {
    if (workMode != WorkDuplex) return;
    if (configRecordRate() != duplexDevice.sampleRate || configRecordChannels() != duplexDevice.channels) {
        closeOutputStream(this);
        setFormat(duplexDevice, configRecordRate(), configRecordChannels());
        if (!openOutputStream(this)) stopAfterFailure(this, duplexDevice.lastResult);
        return;
    }
    if (!duplexOut || outBufferCount <= 0) return;
    const int32_t C = int32_t(std::max<uint32_t>(duplexDevice.channels, 1));
    const int32_t k = outBufferSamples / C;
    ChannelPair changedPair = changed.pair();
    bool played = false;
    for (int32_t round = 0; round < outBufferCount && outputFifoFill >= outBufferSamples; ++round) {
        WAVEHDR& h = duplexOutHeaders[outBufferIndex];
        // A buffer still with the device waits for its turn to come back.
        if ((h.dwFlags & WHDR_INQUEUE) && !(h.dwFlags & WHDR_DONE)) break;
        int16_t* buffer = duplexOutBuffers.data(std::size_t(outBufferIndex));
        std::memcpy(buffer, outputFifo.data(0), std::size_t(outBufferSamples) * 2);
        fifoConsume(outputFifo.data(0), outputFifoFill, outBufferSamples);
        duplexDevice.queueOutput(duplexOut, h);
        appendFrames(changedPair, buffer, k, C);
        if (changedLength > int32_t(duplexDevice.sampleRate) * DuplexWindowSeconds) dropFrontFrames(changedPair, k);
        outBufferIndex = (outBufferIndex + 1) % outBufferCount;
        played = true;
    }
    if (played) {
        showLengths(this);
        // The panes follow the live signals.
        PanelSignalResize();
    }
}

void TFPanelSignal::closeSoundDevices() {
    for (QTimer* t : {TimerRec, TimerPlayPos, TimerSV, TimerRecord, TimerPlay}) t->stop();
    closeCapture(this);
    closeOutputStream(this);
    recorder.closeInput();
    player.closeOutput();
    recorder.callbackWindow = player.callbackWindow = duplexDevice.callbackWindow = nullptr;
}
