// Recording and full-duplex recording of the main window. Recording captures
// into the store's recording buffer until it is stopped or full; the
// recording then becomes the original signal. Full duplex runs a capture and
// an output stream at once: every captured buffer is appended to the original
// signal and to the input FIFO, the engine cleans the FIFO hop by hop into
// the output FIFO, and the output buffers, refilled in rotation, play it back
// and append it to the changed signal. Both signals keep their last 30 s.

#include "app/ConfigLink.h"
#include "app/Upanelsig.h"
#include "gui/MessageBox.h"
#include "soundfile/WavFile.h"

#include <algorithm>
#include <cstring>

namespace app {

namespace {

void say(TFPanelSignal* w, const char* english, const char* russian, uint32_t code = 0) {
    QString text = config::languageText(configLanguageIndex(), english, russian);
    if (text.contains("%1"))
        text = text.arg(code);
    gui::showMessageBox(w, text, "Silvane");
}

soundfile::WavHeaderInfo recordingHeader(uint32_t rate, uint32_t channels, uint32_t bits) {
    soundfile::WavHeaderInfo h = soundfile::sourceHeader; // its data size stays as it was
    soundfile::WavHeaderInfo recorded;
    recorded.sampleRate = rate;
    soundfile::derivePcmHeader(recorded, uint16_t(channels), h);
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
    const int lang = configLanguageIndex();
    if (config::isLanguage(lang))
        w->tDuplex->setToolTip(
            running
                ? config::languageText(lang, "Stop audio recording with Playback (Duplex mode)",
                                       "Остановить аудио запись с воспроизведением (Full Duplex "
                                       "mode - режим говори и слушай)")
                : config::languageText(lang, "Start audio recording with Playback (Duplex mode)",
                                       "Начать аудио запись с воспроизведением (Full Duplex mode - "
                                       "режим говори и слушай)"));
    w->setDuplexMenuText(running, lang);
}

// The capture stream in the recorder's format, every buffer queued; the
// record timer follows its buffers. False when the device cannot be opened.
bool openCapture(TFPanelSignal* w) {
    const bool opened = w->duplex.openCapture(w->recorder, configInputDevice(), w);
    w->TimerRecord->setInterval(w->duplex.captureIntervalMs());
    return opened;
}

// The output stream in duplexDevice's format; the play timer follows its buffers.
bool openOutputStream(TFPanelSignal* w) {
    const bool opened = w->duplex.openOutput(configOutputDevice(), w);
    w->TimerPlay->setInterval(w->duplex.outputIntervalMs());
    return opened;
}

// The signals' formats, the status bars and the empty signals of a (re)started capture.
void startSignals(TFPanelSignal* w) {
    soundfile::sourceHeader =
        recordingHeader(w->recorder.sampleRate, w->recorder.channels, w->recorder.bitsPerSample);
    w->startLiveSignals();
    w->Status0->setPanelText(0, "File: ");
    w->showFormatText(w->Status0, w->recorder.sampleRate, w->recorder.channels,
                      w->recorder.bitsPerSample);
    w->Status1->setPanelText(0, "File: ");
    w->showFormatText(w->Status1, w->changedFormat.sampleRate, w->changedFormat.channels,
                      w->changedFormat.bitsPerSample);
}

void showLengths(TFPanelSignal* w) {
    w->showLengthText(w->Status0, w->origLength);
    w->showLengthText(w->Status1, w->changedLength);
}

// A stream that cannot be opened ends the duplex run with a message instead
// of running on with nothing arriving.
void stopAfterFailure(TFPanelSignal* w, uint32_t code) {
    w->tDuplexClick();
    say(w, "The sound devices cannot run full duplex in this format (error %1).",
        "Звуковые устройства не могут работать в дуплексе в этом формате (ошибка %1).", code);
}

} // namespace

void TFPanelSignal::setRecordHint(bool recording, int lang) {
    if (!config::isLanguage(lang))
        return;
    tRecord->setToolTip(
        recording ? config::languageText(lang, "Stop audio recording", "Остановить аудио запись")
                  : config::languageText(lang, "Start audio recording",
                                         "Начать аудио запись во внутрений буфер"));
}

void TFPanelSignal::setDuplexMenuText(bool running, int lang) {
    if (!config::isLanguage(lang))
        return;
    mDuplex->setText(running ? config::languageText(lang, "Stop audio recording with Playback",
                                                    "Остановить аудио запись с воспроизведением")
                             : config::languageText(lang, "Start audio recording with Playback",
                                                    "Начать аудио запись с воспроизведением"));
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
        const audio::WaveDevice keptFormat = recorder;
        const soundfile::WavHeaderInfo keptHeader = soundfile::sourceHeader;
        setRecordTexts(this, true);
        setWorkMode(WorkRecording);
        recordElapsedMs = 0;
        TimerRec->start();
        setFormat(recorder, configRecordRate(), configRecordChannels());
        soundfile::sourceHeader =
            recordingHeader(recorder.sampleRate, recorder.channels, recorder.bitsPerSample);
        recorder.callbackWindow = this;
        if (!recorder.record(device, uint32_t(MaxOrigSamples), recordBuffer.data(0))) {
            // Nothing is captured and no data message will come: the original
            // signal and its format stay as they were.
            const uint32_t code = recorder.lastResult;
            recorder.closeInput();
            TimerRec->stop();
            setRecordTexts(this, false);
            copyFormat(keptFormat, recorder);
            soundfile::sourceHeader = keptHeader;
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
    if (workMode != WorkRecording || header != &recorder.header)
        return;
    setWorkMode(WorkReady);
    tStopClick();
}

void TFPanelSignal::tStopClick() {
    if (!TimerRec->isActive())
        return;
    setRecordTexts(this, false);
    TimerRec->stop();
    recorder.closeInput();
    storeRecording(recorder.bytesRecorded(), recordElapsedMs);
    Status0->setPanelText(0, "File: ");
    setScrollLength(origLength);
    copyFormat(recorder, player);
    PanelSignalResize();
}

void TFPanelSignal::TimerRecTimer() {
    const int64_t samples = int64_t(recordElapsedMs) * recorder.sampleRate / 1000;
    Status0->setPanelText(2, "Title: " + QString::number(recordElapsedMs) + " ms/" +
                                 QString::number(samples));
    recordElapsedMs += TimerRec->interval();
}

// -------------------------------------------------------------- full duplex

void TFPanelSignal::tDuplexClick() {
    if (workMode == WorkStartup || workMode == WorkReady) {
        if (waveInGetNumDevs() == 0 || waveOutGetNumDevs() == 0) {
            say(this,
                "Full duplex needs a sound input and a sound output device; one of them is "
                "missing.",
                "Для дуплекса нужны устройства ввода и вывода звука; одного из них нет.");
            return;
        }
        ShowClearSig->setChecked(false);
        ShowClearSig->setEnabled(false);
        setDuplexTexts(this, true);
        bStart->setEnabled(false);
        setWorkMode(WorkDuplex);
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
        duplex.startCapture();
        TimerRecord->start();
        TimerSV->start();
        TimerPlay->start();
    } else if (workMode == WorkDuplex) {
        ShowClearSig->setEnabled(true);
        enableConfigChannels(true);
        TimerRecord->stop();
        TimerSV->stop();
        TimerPlay->stop();
        duplex.closeCapture();
        duplex.closeOutput();
        setWorkMode(WorkReady);
        setDuplexTexts(this, false);
        bStart->setEnabled(true);
        showLengths(this);
        PanelSignalResize();
    }
}

void TFPanelSignal::TimerRecordTimer() {
    if (workMode != WorkDuplex)
        return;
    if (configRecordRate() != recorder.sampleRate || configRecordChannels() != recorder.channels) {
        duplex.closeCapture();
        setFormat(recorder, configRecordRate(), configRecordChannels());
        const bool opened = openCapture(this);
        startSignals(this);
        bInitSVClick();
        if (!opened) {
            stopAfterFailure(this, recorder.lastResult);
            return;
        }
        duplex.startCapture();
        PanelSignalResize();
        return;
    }
    audio::ChannelPair origPair = orig.pair(), changedPair = changed.pair();
    duplex.takeCaptured(recorder, origPair, changedPair, changedFormat.channels, selectionStart,
                        selectionEnd);
}

void TFPanelSignal::TimerSVTimer() {
    if (workMode != WorkDuplex)
        return;
    const int cin = int(std::clamp<uint32_t>(recorder.channels, 1, 2));
    duplex.clean(
        [this, cin] {
            audio::LiveControls c;
            c.params = configRunParameters(int32_t(recorder.sampleRate), cin);
            c.frame = configFrameControls(UseFFTEQ->isChecked(), bEnabledPr->isChecked());
            return c;
        },
        uint32_t(cin));
}

void TFPanelSignal::TimerPlayTimer() {
    if (workMode != WorkDuplex)
        return;
    if (configRecordRate() != duplexDevice.sampleRate ||
        configRecordChannels() != duplexDevice.channels) {
        duplex.closeOutput();
        setFormat(duplexDevice, configRecordRate(), configRecordChannels());
        if (!openOutputStream(this))
            stopAfterFailure(this, duplexDevice.lastResult);
        return;
    }
    audio::ChannelPair changedPair = changed.pair();
    if (duplex.play(changedPair)) {
        showLengths(this);
        // The panes follow the live signals.
        PanelSignalResize();
    }
}

void TFPanelSignal::closeSoundDevices() {
    for (QTimer* t : {TimerRec, TimerPlayPos, TimerSV, TimerRecord, TimerPlay})
        t->stop();
    duplex.closeCapture();
    duplex.closeOutput();
    recorder.closeInput();
    player.closeOutput();
    recorder.callbackWindow = player.callbackWindow = duplexDevice.callbackWindow = nullptr;
}

} // namespace app
