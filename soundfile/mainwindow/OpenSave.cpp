// The main window's open and save commands: files into the signal store and
// back, through the dialogs, with the status texts and messages.

#include "Display.h"
#include "FileDialogs.h"
#include "MessageBox.h"
#include "Upanelsig.h"
#include "WavFile.h"
#include "WavLoad.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>
#include <cstring>

namespace {

const char* const kOpenFilter =
    "Windows PCM ( *.wav)|*.wav|A/mu-Law Wave ( *.wav)|*.wav|Microsoft ADPCM (MS ADPCM) ( *.wav)|*.wav|"
    "Intel ADPCM (IMA ADPCM) ( *.wav)|*.wav|Microsoft ACM GSM 6.10 (ACM Waveform) ( *.wav)|*.wav";
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

// Tells apart a file that cannot be opened from one the reader refuses.
bool openable(QWidget* w, const QString& path) {
    std::FILE* f = std::fopen(path.toLocal8Bit().constData(), "rb");
    if (!f) {
        warn(w, "Cannot open " + path + ": " + QString::fromLocal8Bit(std::strerror(errno)));
        return false;
    }
    std::fclose(f);
    return true;
}

// Reads the file into the reader's block of the store; false with the
// message shown when it cannot be read. "Unknown format" propagates.
bool readIntoDecoded(TFPanelSignal* w, const QString& path) {
    if (!openable(w, path)) return false;
    if (!readWavSamples(sourceHeader, path.toLocal8Bit().toStdString(), w->decodedFrames, w->decodedBuffer)) {
        warn(w, kFormatNotSupportedText);
        return false;
    }
    return true;
}

void copyFormat(const WaveDevice& from, WaveDevice& to) {
    to.sampleRate = from.sampleRate;
    to.bitsPerSample = from.bitsPerSample;
    to.channels = from.channels;
}

void handCursors(TFPanelSignal* w) {
    w->grSig0->setCursor(Qt::PointingHandCursor);
    w->grSig1->setCursor(Qt::PointingHandCursor);
}

void setScrollMax(TFPanelSignal* w, int32_t length) {
    QSignalBlocker block(w->ScrollSignal);
    w->ScrollSignal->setMaximum(std::max(1, length / 10));
}

}  // namespace

void TFPanelSignal::storeDecodedAsOriginal(const QString& path) {
    const int channels = std::max<int>(1, sourceHeader.channels);
    if (decodedFrames > MaxOrigSamples) warn(this, maxLengthText(MaxOrigSamples, sourceHeader.sampleRate));
    storeOriginal(decodedBuffer, decodedFrames, channels, sourceHeader.sampleRate);
    derivePcmHeader(sourceHeader, uint16_t(std::min(channels, 2)), pcmHeader);
    copyFormat(recorder, player);
    samplesPerMs = samplesPerMsFor(recorder.sampleRate);
    overlayColumnCount[1] = 0;
    setWorkMode(WorkReady);
    Status0->setPanelText(0, "File: " + fileNameOf(path));
    setScrollMax(this, origLength);
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

    if (QFileInfo(path).suffix() == "pcm") {
        // Raw 16-bit little-endian mono, taken as 16000 Hz; an odd last byte is ignored.
        std::FILE* f = std::fopen(path.toLocal8Bit().constData(), "rb");
        if (!f) {
            warn(this, "Cannot open " + path + ": " + QString::fromLocal8Bit(std::strerror(errno)));
            return;
        }
        std::fseek(f, 0, SEEK_END);
        const long bytes = std::max(0L, std::ftell(f));
        std::fseek(f, 0, SEEK_SET);
        // One sample beyond the capacity tells that the file is longer.
        const int32_t want = int32_t(std::min<long>(bytes / 2, long(MaxOrigSamples) + 1));
        auto* block = new int16_t[std::size_t(std::max(want, 1))];
        int32_t n = 0;
        unsigned char b[2];
        while (n < want && std::fread(b, 1, 2, f) == 2) block[n++] = int16_t(b[0] | b[1] << 8);
        std::fclose(f);
        delete[] decodedBuffer;
        decodedBuffer = block;
        decodedFrames = n;
        sourceHeader = WavHeaderInfo{16, 1, 1, 16000, 32000, 2, 16, uint32_t(n) * 2};
        storeDecodedAsOriginal(path);
        return;
    }
    if (!readIntoDecoded(this, path)) return;
    storeDecodedAsOriginal(path);
}

void TFPanelSignal::FileListClick() {
    if (!fileModel || fileModel->rowCount(FileList->rootIndex()) == 0) return;
    const QModelIndex idx = FileList->currentIndex();
    if (!idx.isValid()) return;
    openAndClean(fileModel->filePath(idx));
}

void TFPanelSignal::openAndClean(const QString& path) {
    saveDialogFileName = path;
    if (origOpenDir.empty()) origOpenDir = directoryOf(path);
    if (changedOpenDir.empty()) changedOpenDir = directoryOf(path);
    if (readIntoDecoded(this, path)) {
        stopPlayback();
        resetSelection();
        handCursors(this);
        storeDecodedAsOriginal(path);
    }
    bStartClick();
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
    if (!readIntoDecoded(this, path)) return;
    const int channels = std::max<int>(1, sourceHeader.channels);
    derivePcmHeader(sourceHeader, uint16_t(std::min(channels, 2)), pcmHeader);
    if (decodedFrames > MaxChangedSamples) warn(this, maxLengthText(MaxChangedSamples, sourceHeader.sampleRate));
    storeChanged(decodedBuffer, decodedFrames, channels, sourceHeader.sampleRate);
    samplesPerMs = samplesPerMsFor(changedFormat.sampleRate);
    setWorkMode(WorkReady);
    Status1->setPanelText(0, "File: " + fileNameOf(path));
    setScrollMax(this, changedLength);
    PanelSignalResize();
}

void TFPanelSignal::tOpenNewRClick() {
    const QString path = askFile(this, false, "Open a Waveform", kOpenFilter, changedOpenDir, openDialogFileName);
    if (path.isEmpty()) return;
    openDialogFileName = path;
    changedOpenDir = directoryOf(path);
    if (changedSaveDir.empty()) changedSaveDir = changedOpenDir;
    // The changed signal is kept until the new Right channel is in hand.
    if (!readIntoDecoded(this, path)) return;
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
bool saveFrames(TFPanelSignal* w, const QString& path, bool original, int32_t first, int32_t count) {
    const WaveDevice& format = original ? w->recorder : w->changedFormat;
    const uint16_t channels = uint16_t(std::clamp<uint32_t>(format.channels, 1, 2));
    WavHeaderInfo src = sourceHeader;
    src.sampleRate = format.sampleRate;
    derivePcmHeader(src, channels, pcmHeader);
    pcmHeader.dataSize = uint32_t(std::max(count, 0)) * channels * 2;
    const int16_t* planes[2] = {original ? w->origSamples.data(0) : w->changedSamples.data(0),
                                original ? w->origSamples.data(1) : w->changedSamples.data(1)};
    std::string error;
    if (!writePcmWavChannels(path.toLocal8Bit().toStdString(), format.sampleRate, planes, channels,
                             std::size_t(std::max(first, 0)), std::size_t(std::max(count, 0)), error)) {
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

void wholeSave(TFPanelSignal* w, bool original) {
    std::string& dir = original ? w->origSaveDir : w->changedSaveDir;
    const QString path = askSave(w, original ? "Save All signal" : "Save All clear signal", kWholeSaveFilter, dir);
    if (path.isEmpty()) return;
    const int32_t length = original ? w->origLength : w->changedLength;
    if (!saveFrames(w, path, original, 0, length)) return;
    StatusBar* bar = original ? w->Status0 : w->Status1;
    bar->setPanelText(0, "File: " + fileNameOf(path));
    bar->setPanelText(1, QString::fromStdString(
                             display::formatText(pcmHeader.sampleRate, pcmHeader.channels, pcmHeader.bitsPerSample)));
    bar->setPanelText(2, QString::fromStdString(display::titleText(length, w->samplesPerMs)));
}

void selectionSave(TFPanelSignal* w, bool original) {
    if (!w->hasSelection) return;
    std::string& dir = original ? w->origSaveDir : w->changedSaveDir;
    const QString path =
        askSave(w, original ? "Save All signal" : "Save Selection clear signal", kWholeSaveFilter, dir);
    if (path.isEmpty()) return;
    const int32_t length = original ? w->origLength : w->changedLength;
    // The selection is shared by all panes; only what lies inside this signal is saved.
    const int32_t s = std::max(0, std::min(w->selectionStart, w->selectionEnd));
    const int32_t e = std::min(std::max(w->selectionStart, w->selectionEnd), length - 1);
    if (e < s) {
        warn(w, "The selection lies beyond the end of this signal; nothing was saved.");
        return;
    }
    saveFrames(w, path, original, s, e - s + 1);
}

void channelSave(TFPanelSignal* w, bool original, int ch) {
    static const char* const titles[2][2][2] = {
        {{"Save All clear signal from the Left channel", "Save Selection clear signal from the Left channel"},
         {"Save All clear signal from the Right channel", "Save Selection clear signal from the Right channel"}},
        {{"Save All signal from the Left channel", "Save Selected signal from the Left channel"},
         {"Save All signal from the Right channel", "Save Selected signal from the Right channel"}}};
    std::string& dir = original ? w->origSaveDir : w->changedSaveDir;
    const QString path = askSave(w, titles[original][ch][w->hasSelection], kChannelSaveFilter, dir);
    if (path.isEmpty()) return;
    const WaveDevice& format = original ? w->recorder : w->changedFormat;
    const int32_t length = original ? w->origLength : w->changedLength;
    const int16_t* samples = original ? w->origSamples.data(ch) : w->changedSamples.data(ch);
    int32_t first = 0, count = length;
    if (w->hasSelection) {
        // Both ends of the selection are part of it.
        first = std::max(0, std::min(w->selectionStart, w->selectionEnd));
        const int32_t last = std::min(std::max(w->selectionStart, w->selectionEnd), length - 1);
        count = std::max(0, last - first + 1);
    }
    const std::string name = path.toLocal8Bit().toStdString();
    bool ok = false;
    if (format.bitsPerSample == 16) {
        ok = writeMonoWav(format.sampleRate, 16, 1, name, uint32_t(count) * 2, samples + first);
    } else if (format.bitsPerSample == 8) {
        std::vector<uint8_t> bytes(std::size_t(std::max(count, 0)));
        for (int32_t i = 0; i < count; ++i) bytes[std::size_t(i)] = uint8_t(samples[first + i]);
        ok = writeMonoWav(format.sampleRate, 8, 1, name, uint32_t(count), bytes.data());
    } else {
        warn(w, "Signals of " + QString::number(format.bitsPerSample) + " bits per sample cannot be saved.");
        return;
    }
    if (!ok) warn(w, "Cannot write " + path + ": " + QString::fromLocal8Bit(std::strerror(errno)));
}

}  // namespace

void TFPanelSignal::tSaveClick() { wholeSave(this, true); }
void TFPanelSignal::tSaveNewClick() { wholeSave(this, false); }
void TFPanelSignal::tSaveSelectionClick() { selectionSave(this, true); }
void TFPanelSignal::tSaveNewSelectionClick() { selectionSave(this, false); }
void TFPanelSignal::tSaveLClick() { channelSave(this, true, 0); }
void TFPanelSignal::tSaveRClick() { channelSave(this, true, 1); }
void TFPanelSignal::tSaveNewLClick() { channelSave(this, false, 0); }
void TFPanelSignal::tSaveNewRClick() { channelSave(this, false, 1); }
