// The main window's open and save commands: files into the signal store and
// back, through the dialogs, with the status texts and messages.

#include "app/Upanelsig.h"
#include "display/Display.h"
#include "gui/FileDialogs.h"
#include "gui/MessageBox.h"
#include "soundfile/RawPcm.h"
#include "soundfile/SaveSignal.h"
#include "soundfile/SoundLoad.h"
#include "soundfile/WavFile.h"
#include "soundfile/WavLoad.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace {

const char* const kOpenFilter =
    "Windows PCM ( *.wav)|*.wav|A/mu-Law Wave ( *.wav)|*.wav|Microsoft ADPCM (MS ADPCM) ( *.wav)|*.wav|"
    "Intel ADPCM (IMA ADPCM) ( *.wav)|*.wav|Microsoft ACM GSM 6.10 (ACM Waveform) ( *.wav)|*.wav|"
    "FLAC ( *.flac)|*.flac|Ogg Vorbis ( *.ogg *.oga)|*.ogg;*.oga|Opus ( *.opus)|*.opus|MP3 ( *.mp3)|*.mp3|"
    "AIFF ( *.aif *.aiff)|*.aif;*.aiff;*.aifc";
const char* const kWholeSaveFilter = "Windows PCM Files (*.wav)|*.wav";
const char* const kChannelSaveFilter = "Windows PCM file (*.wav)|*.wav";

QString fileNameOf(const QString& path) { return QFileInfo(path).fileName(); }
std::string directoryOf(const QString& path) { return QFileInfo(path).absolutePath().toStdString(); }

// Runs a dialog seeded with the command's directory; "" when cancelled.
QString askFile(QWidget* parent, bool save, const char* title, const char* filter, const std::string& dir,
                const QString& current) {
    FileDialogRequest r;
    r.save = save;
    r.title = title;
    r.filter = filter;
    r.directory = QString::fromStdString(dir);
    r.fileName = current.isEmpty() ? QString() : QFileInfo(current).fileName();
    if (dir.empty()) r.fileName = current;
    return runFileDialog(parent, r);
}

// Saved files always end in ".Wav".
QString withWavExtension(const QString& path) {
    QFileInfo fi(path);
    const QString suffix = fi.suffix();
    QString base = path;
    if (!suffix.isEmpty() && !fi.fileName().startsWith('.') && fi.fileName() != suffix)
        base.chop(suffix.size() + 1);
    return base + ".Wav";
}

// "Max length: " + the capacity of the signal being opened, in milliseconds at `rate`.
QString maxLengthText(int32_t capacity, uint32_t rate) {
    int64_t ms = 0;
    if (rate >= 1000) ms = capacity / int64_t(rate / 1000);
    else if (rate > 0) ms = int64_t(capacity) * 1000 / rate;
    return "Max length: " + QString::number(ms) + " ms";
}

void warn(QWidget* w, const QString& text) { showMessageBox(w, text, "Warning"); }

// Tells apart a file that cannot be opened from one the reader refuses;
// `reason` is the system's when it cannot be opened.
bool fileOpens(const QString& path, std::string& reason) {
    std::FILE* f = std::fopen(path.toLocal8Bit().constData(), "rb");
    if (!f) {
        reason = std::strerror(errno);
        return false;
    }
    std::fclose(f);
    return true;
}

// Reads the file into the reader's block of the store; false with the
// message shown when it cannot be read. "Unknown format" propagates.
bool readIntoDecoded(TFPanelSignal* w, const QString& path, int32_t capacity) {
    std::string message;
    if (!fileOpens(path, message)) {
        warn(w, "Cannot open " + path + ": " + QString::fromLocal8Bit(message.c_str()));
        return false;
    }
    if (!readSoundSamples(sourceHeader, path.toLocal8Bit().toStdString(), capacity, w->decodedFrames,
                          w->decodedBuffer, message)) {
        warn(w, QString::fromLocal8Bit(message.c_str()));
        return false;
    }
    return true;
}

// As readIntoDecoded, but the reason goes to `reason` instead of a box and
// no exception leaves: the batch tells all its failures once, at the end.
bool readIntoDecodedQuietly(TFPanelSignal* w, const QString& path, std::string& reason) {
    if (!fileOpens(path, reason)) return false;
    try {
        if (!readSoundSamples(sourceHeader, path.toLocal8Bit().toStdString(), MaxOrigSamples, w->decodedFrames,
                              w->decodedBuffer, reason))
            return false;
    } catch (const std::exception& e) {
        reason = e.what();
        return false;
    }
    return true;
}

void handCursors(TFPanelSignal* w) {
    w->grSig0->setCursor(Qt::PointingHandCursor);
    w->grSig1->setCursor(Qt::PointingHandCursor);
}

// A file picked from the list seeds the save dialog and whichever open
// directory has none yet.
void noteListFile(TFPanelSignal* w, const QString& path) {
    w->saveDialogFileName = path;
    if (w->origOpenDir.empty()) w->origOpenDir = directoryOf(path);
    if (w->changedOpenDir.empty()) w->changedOpenDir = directoryOf(path);
}

// The decoded file replaces the original signal, the way a list pick does.
void showListFile(TFPanelSignal* w, const QString& path) {
    w->stopPlayback();
    w->resetSelection();
    handCursors(w);
    w->storeDecodedAsOriginal(path);
}

}  // namespace

void TFPanelSignal::storeDecodedAsOriginal(const QString& path) {
    const int channels = std::max<int>(1, sourceHeader.channels);
    if (decodedFrames > MaxOrigSamples) warn(this, maxLengthText(MaxOrigSamples, sourceHeader.sampleRate));
    storeOriginal(decodedBuffer, decodedFrames, channels, sourceHeader.sampleRate);
    derivePcmHeader(sourceHeader, uint16_t(std::min(channels, 2)), pcmHeader);
    copyFormat(recorder, player);
    overlayColumnCount[1] = 0;
    setWorkMode(WorkReady);
    Status0->setPanelText(0, "File: " + fileNameOf(path));
    setScrollLength(origLength);
    PanelSignalResize();
}

void TFPanelSignal::tOpenClick() {
    const QString path = askFile(this, false, "Open a Waveform", kOpenFilter, origOpenDir, openDialogFileName);
    if (path.isEmpty()) return;
    openDialogFileName = path;
    stopPlayback();
    resetSelection();
    handCursors(this);
    saveDialogFileName = path;
    origOpenDir = directoryOf(path);
    if (origSaveDir.empty()) origSaveDir = origOpenDir;

    const std::string name = path.toLocal8Bit().toStdString();
    if (isRawPcmPath(name)) {
        std::string error;
        // One sample beyond the capacity tells that the file is longer.
        if (!readRawPcm(name, MaxOrigSamples + 1, sourceHeader, decodedFrames, decodedBuffer, error)) {
            warn(this, QString::fromLocal8Bit(error.c_str()));
            return;
        }
        storeDecodedAsOriginal(path);
        return;
    }
    if (!readIntoDecoded(this, path, MaxOrigSamples)) return;
    storeDecodedAsOriginal(path);
}

void TFPanelSignal::FileListClick() {
    if (!fileModel || fileModel->rowCount(FileList->rootIndex()) == 0) return;
    const QModelIndex idx = FileList->currentIndex();
    if (!idx.isValid()) return;
    openAndClean(fileModel->filePath(idx));
}

void TFPanelSignal::openAndClean(const QString& path) {
    noteListFile(this, path);
    if (readIntoDecoded(this, path, MaxOrigSamples)) showListFile(this, path);
    bStartClick();
}

bool TFPanelSignal::openListFileQuietly(const QString& path, std::string& reason) {
    if (!readIntoDecodedQuietly(this, path, reason)) return false;
    // Cut to the capacity, its result would be written as the whole file
    // (over the source itself when results go into the source directory).
    if (decodedFrames > MaxOrigSamples) {
        reason = (languageText(configLanguageIndex(), "longer than the window holds, ", "длиннее, чем вмещает окно, ") +
                  maxLengthText(MaxOrigSamples, sourceHeader.sampleRate))
                     .toLocal8Bit()
                     .toStdString();
        return false;
    }
    noteListFile(this, path);
    showListFile(this, path);
    return true;
}

void TFPanelSignal::openStartupFile() {
    if (startupFile.empty()) return;
    const QString path = QFileInfo(QString::fromStdString(startupFile)).absoluteFilePath();
    // The list shows the file's directory, as if the file had been clicked there.
    DirListChange(QFileInfo(path).absolutePath());
    openAndClean(path);
}

void TFPanelSignal::tOpenNewClick() {
    const QString path = askFile(this, false, "Open a Waveform", kOpenFilter, changedOpenDir, openDialogFileName);
    if (path.isEmpty()) return;
    openDialogFileName = path;
    stopPlayback();
    resetSelection();
    handCursors(this);
    changedOpenDir = directoryOf(path);
    if (changedSaveDir.empty()) changedSaveDir = changedOpenDir;
    if (!readIntoDecoded(this, path, MaxChangedSamples)) return;
    const int channels = std::max<int>(1, sourceHeader.channels);
    derivePcmHeader(sourceHeader, uint16_t(std::min(channels, 2)), pcmHeader);
    if (decodedFrames > MaxChangedSamples) warn(this, maxLengthText(MaxChangedSamples, sourceHeader.sampleRate));
    storeChanged(decodedBuffer, decodedFrames, channels, sourceHeader.sampleRate);
    samplesPerMs = samplesPerMsFor(changedFormat.sampleRate);
    setWorkMode(WorkReady);
    Status1->setPanelText(0, "File: " + fileNameOf(path));
    setScrollLength(changedLength);
    PanelSignalResize();
}

void TFPanelSignal::tOpenNewRClick() {
    const QString path = askFile(this, false, "Open a Waveform", kOpenFilter, changedOpenDir, openDialogFileName);
    if (path.isEmpty()) return;
    openDialogFileName = path;
    changedOpenDir = directoryOf(path);
    if (changedSaveDir.empty()) changedSaveDir = changedOpenDir;
    // The changed signal is kept until the new Right channel is in hand.
    if (!readIntoDecoded(this, path, MaxChangedSamples)) return;
    // A playback under way would never finish once the window is back in ready mode.
    stopPlayback();
    const int channels = std::max<int>(1, sourceHeader.channels);
    const int32_t frames = std::min(decodedFrames, MaxChangedSamples);
    if (decodedFrames > MaxChangedSamples) warn(this, maxLengthText(MaxChangedSamples, sourceHeader.sampleRate));
    int16_t* right = changedSamples.data(1);
    for (int32_t i = 0; i < frames; ++i) right[i] = decodedBuffer[int64_t(i) * channels];
    // The Left channel keeps its samples; beyond its old end it is silence.
    if (frames > changedLength)
        std::fill(changedSamples.data(0) + std::max(changedLength, 0), changedSamples.data(0) + frames, int16_t(0));
    changedLength = frames;
    samplesPerMs = samplesPerMsFor(changedFormat.sampleRate);
    Status1->setPanelText(0, "File: " + fileNameOf(path));
    setWorkMode(WorkReady);
    PanelSignalResize();
}

namespace {

// Saves frames first ... first + count - 1 of a signal as a whole-signal
// file; true when written. The rate and channels are those of the signal's
// own format record.
bool saveFrames(TFPanelSignal* w, const QString& path, const SignalSide& side, int32_t first, int32_t count) {
    std::string error;
    if (!saveSignal(path.toLocal8Bit().toStdString(), side.planar(), first, count, sourceHeader, pcmHeader, error)) {
        warn(w, QString::fromLocal8Bit(error.c_str()));
        return false;
    }
    return true;
}

// The save dialog; applies ".Wav" and the save directory. "" when cancelled.
QString askSave(TFPanelSignal* w, const char* title, const char* filter, std::string& dir) {
    QString path = askFile(w, true, title, filter, dir, w->saveDialogFileName);
    if (path.isEmpty()) return path;
    path = withWavExtension(path);
    w->saveDialogFileName = path;
    dir = directoryOf(path);
    return path;
}

// Both ends of the selection, as far as they lie inside a signal of
// `length` samples; last < first when none of it does.
struct Frames {
    int32_t first, last;
};
Frames selectedFrames(const TFPanelSignal* w, int32_t length) {
    return Frames{std::max(0, std::min(w->selectionStart, w->selectionEnd)),
                  std::min(std::max(w->selectionStart, w->selectionEnd), length - 1)};
}

void wholeSave(TFPanelSignal* w, SignalSide& side, StatusBar* bar, const char* title) {
    const QString path = askSave(w, title, kWholeSaveFilter, side.saveDir);
    if (path.isEmpty()) return;
    if (!saveFrames(w, path, side, 0, side.length)) return;
    bar->setPanelText(0, "File: " + fileNameOf(path));
    w->showSignalStatus(bar, pcmHeader.sampleRate, pcmHeader.channels, pcmHeader.bitsPerSample, side.length);
}

void selectionSave(TFPanelSignal* w, SignalSide& side, const char* title) {
    if (!w->hasSelection) return;
    const QString path = askSave(w, title, kWholeSaveFilter, side.saveDir);
    if (path.isEmpty()) return;
    // The selection is shared by all panes; only what lies inside this signal is saved.
    const Frames f = selectedFrames(w, side.length);
    if (f.last < f.first) {
        warn(w, "The selection lies beyond the end of this signal; nothing was saved.");
        return;
    }
    saveFrames(w, path, side, f.first, f.last - f.first + 1);
}

void channelSave(TFPanelSignal* w, SignalSide& side, int ch) {
    static const char* const titles[2][2][2] = {
        {{"Save All clear signal from the Left channel", "Save Selection clear signal from the Left channel"},
         {"Save All clear signal from the Right channel", "Save Selection clear signal from the Right channel"}},
        {{"Save All signal from the Left channel", "Save Selected signal from the Left channel"},
         {"Save All signal from the Right channel", "Save Selected signal from the Right channel"}}};
    const bool original = &side == &w->orig;
    const QString path = askSave(w, titles[original][ch][w->hasSelection], kChannelSaveFilter, side.saveDir);
    if (path.isEmpty()) return;
    int32_t first = 0, count = side.length;
    if (w->hasSelection) {
        // Both ends of the selection are part of it.
        const Frames f = selectedFrames(w, side.length);
        first = f.first;
        count = std::max(0, f.last - f.first + 1);
    }
    std::string error;
    if (!saveChannel(path.toLocal8Bit().toStdString(), side.samples.data(std::size_t(ch)), side.format.sampleRate,
                     side.format.bitsPerSample, first, count, error))
        warn(w, QString::fromLocal8Bit(error.c_str()));
}

}  // namespace

void TFPanelSignal::tSaveClick() { wholeSave(this, orig, Status0, "Save All signal"); }
void TFPanelSignal::tSaveNewClick() { wholeSave(this, changed, Status1, "Save All clear signal"); }
void TFPanelSignal::tSaveSelectionClick() { selectionSave(this, orig, "Save All signal"); }
void TFPanelSignal::tSaveNewSelectionClick() { selectionSave(this, changed, "Save Selection clear signal"); }
void TFPanelSignal::tSaveLClick() { channelSave(this, orig, 0); }
void TFPanelSignal::tSaveRClick() { channelSave(this, orig, 1); }
void TFPanelSignal::tSaveNewLClick() { channelSave(this, changed, 0); }
void TFPanelSignal::tSaveNewRClick() { channelSave(this, changed, 1); }
