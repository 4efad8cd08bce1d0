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

namespace app {

namespace {

const char* const kOpenFilter =
    "Windows PCM ( *.wav)|*.wav|A/mu-Law Wave ( *.wav)|*.wav|Microsoft ADPCM (MS ADPCM) ( "
    "*.wav)|*.wav|"
    "Intel ADPCM (IMA ADPCM) ( *.wav)|*.wav|Microsoft ACM GSM 6.10 (ACM Waveform) ( *.wav)|*.wav|"
    "FLAC ( *.flac)|*.flac|Ogg Vorbis ( *.ogg *.oga)|*.ogg;*.oga|Opus ( *.opus)|*.opus|MP3 ( "
    "*.mp3)|*.mp3|"
    "AIFF ( *.aif *.aiff)|*.aif;*.aiff;*.aifc";
const char* const kWholeSaveFilter = "Windows PCM Files (*.wav)|*.wav";
const char* const kChannelSaveFilter = "Windows PCM file (*.wav)|*.wav";

QString fileNameOf(const QString& path) {
    return QFileInfo(path).fileName();
}
std::string directoryOf(const QString& path) {
    return QFileInfo(path).absolutePath().toStdString();
}

// Runs a dialog seeded with the command's directory; "" when cancelled.
QString askFile(QWidget* parent, bool save, const char* title, const char* filter,
                const std::string& dir, const QString& current) {
    gui::FileDialogRequest r;
    r.save = save;
    r.title = title;
    r.filter = filter;
    r.directory = QString::fromStdString(dir);
    r.fileName = current.isEmpty() ? QString() : QFileInfo(current).fileName();
    if (dir.empty())
        r.fileName = current;
    return gui::runFileDialog(parent, r);
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

void warn(QWidget* w, const QString& text) {
    gui::showMessageBox(w, text, "Warning");
}

std::string localName(const QString& path) {
    return path.toLocal8Bit().toStdString();
}

QString maxLengthText(const SignalSide& side) {
    return QString::fromStdString(
        display::maxLengthText(side.capacity, soundfile::sourceHeader.sampleRate));
}

// The open dialog of one signal, seeded with its open directory. The choice
// is what the dialog shows next and becomes the signal's open directory and,
// when it has none, its save directory. "" when cancelled.
QString askOpen(TFPanelSignal* w, SignalSide& side) {
    const QString path =
        askFile(w, false, "Open a Waveform", kOpenFilter, side.openDir, w->openDialogFileName);
    if (path.isEmpty())
        return path;
    w->openDialogFileName = path;
    side.openDir = directoryOf(path);
    if (side.saveDir.empty())
        side.saveDir = side.openDir;
    return path;
}

// Before a new signal: whatever plays or records stops, the selection goes,
// the panes show the hand.
void clearForNewSignal(TFPanelSignal* w) {
    w->stopPlayback();
    w->resetSelection();
    w->grSig0->setCursor(Qt::PointingHandCursor);
    w->grSig1->setCursor(Qt::PointingHandCursor);
}

// Reads the file into the reader's block of the store; false with the
// message shown when it cannot be read. "Unknown format" propagates.
bool readIntoDecoded(TFPanelSignal* w, const QString& path, int32_t capacity) {
    std::string reason;
    switch (w->readDecoded(localName(path), capacity, soundfile::sourceHeader, reason)) {
    case SignalStore::ReadResult::Read:
        return true;
    case SignalStore::ReadResult::CannotOpen:
        warn(w, "Cannot open " + path + ": " + QString::fromLocal8Bit(reason.c_str()));
        return false;
    case SignalStore::ReadResult::Refused:
        break;
    }
    warn(w, QString::fromLocal8Bit(reason.c_str()));
    return false;
}

// As readIntoDecoded, but the reason goes to `reason` instead of a box and
// no exception leaves: the batch tells all its failures once, at the end.
bool readIntoDecodedQuietly(TFPanelSignal* w, const QString& path, std::string& reason) {
    try {
        return w->readDecoded(localName(path), MaxOrigSamples, soundfile::sourceHeader, reason) ==
               SignalStore::ReadResult::Read;
    } catch (const std::exception& e) {
        reason = e.what();
        return false;
    }
}

// The reader's block becomes signal `side` and is shown, with a message
// when it was cut at the signal's capacity.
void showDecoded(TFPanelSignal* w, SignalSide& side, const QString& path) {
    if (w->storeDecoded(side, soundfile::sourceHeader, soundfile::pcmHeader))
        warn(w, maxLengthText(side));
    w->setWorkMode(WorkReady);
    (&side == &w->orig ? w->Status0 : w->Status1)->setPanelText(0, "File: " + fileNameOf(path));
    w->setScrollLength(side.length);
    w->PanelSignalResize();
}

// A file picked from the list seeds the save dialog and whichever open
// directory has none yet.
void noteListFile(TFPanelSignal* w, const QString& path) {
    w->saveDialogFileName = path;
    if (w->origOpenDir.empty())
        w->origOpenDir = directoryOf(path);
    if (w->changedOpenDir.empty())
        w->changedOpenDir = directoryOf(path);
}

// The decoded file replaces the original signal, the way a list pick does.
void showListFile(TFPanelSignal* w, const QString& path) {
    clearForNewSignal(w);
    showDecoded(w, w->orig, path);
}

} // namespace

void TFPanelSignal::tOpenClick() {
    const QString path = askOpen(this, orig);
    if (path.isEmpty())
        return;
    clearForNewSignal(this);
    saveDialogFileName = path;

    const std::string name = localName(path);
    if (soundfile::isRawPcmPath(name)) {
        std::string error;
        // One sample beyond the capacity tells that the file is longer.
        if (!soundfile::readRawPcm(name, MaxOrigSamples + 1, soundfile::sourceHeader, decodedFrames,
                                   decodedBuffer, error)) {
            warn(this, QString::fromLocal8Bit(error.c_str()));
            return;
        }
    } else if (!readIntoDecoded(this, path, MaxOrigSamples)) {
        return;
    }
    showDecoded(this, orig, path);
}

void TFPanelSignal::FileListClick() {
    if (!fileModel || fileModel->rowCount(FileList->rootIndex()) == 0)
        return;
    const QModelIndex idx = FileList->currentIndex();
    if (!idx.isValid())
        return;
    openAndClean(fileModel->filePath(idx));
}

void TFPanelSignal::openAndClean(const QString& path) {
    noteListFile(this, path);
    if (readIntoDecoded(this, path, MaxOrigSamples))
        showListFile(this, path);
    bStartClick();
}

bool TFPanelSignal::openListFileQuietly(const QString& path, std::string& reason) {
    if (!readIntoDecodedQuietly(this, path, reason))
        return false;
    // Cut to the capacity, its result would be written as the whole file
    // (over the source itself when results go into the source directory).
    if (decodedFrames > MaxOrigSamples) {
        reason = (config::languageText(configLanguageIndex(), "longer than the window holds, ",
                                       "длиннее, чем вмещает окно, ") +
                  maxLengthText(orig))
                     .toLocal8Bit()
                     .toStdString();
        return false;
    }
    noteListFile(this, path);
    showListFile(this, path);
    return true;
}

void TFPanelSignal::openStartupFile() {
    if (startupFile.empty())
        return;
    const QString path = QFileInfo(QString::fromStdString(startupFile)).absoluteFilePath();
    // The list shows the file's directory, as if the file had been clicked there.
    DirListChange(QFileInfo(path).absolutePath());
    openAndClean(path);
}

void TFPanelSignal::tOpenNewClick() {
    const QString path = askOpen(this, changed);
    if (path.isEmpty())
        return;
    clearForNewSignal(this);
    if (!readIntoDecoded(this, path, MaxChangedSamples))
        return;
    showDecoded(this, changed, path);
}

void TFPanelSignal::tOpenNewRClick() {
    const QString path = askOpen(this, changed);
    if (path.isEmpty())
        return;
    // The changed signal is kept until the new Right channel is in hand.
    if (!readIntoDecoded(this, path, MaxChangedSamples))
        return;
    // A playback under way would never finish once the window is back in ready mode.
    stopPlayback();
    if (storeDecodedRight(soundfile::sourceHeader))
        warn(this, maxLengthText(changed));
    Status1->setPanelText(0, "File: " + fileNameOf(path));
    setWorkMode(WorkReady);
    PanelSignalResize();
}

namespace {

// Saves frames first ... first + count - 1 of a signal as a whole-signal
// file; true when written. The rate and channels are those of the signal's
// own format record.
bool saveFrames(TFPanelSignal* w, const QString& path, const SignalSide& side, int32_t first,
                int32_t count) {
    std::string error;
    if (!soundfile::saveSignal(path.toLocal8Bit().toStdString(), side.planar(), first, count,
                               soundfile::sourceHeader, soundfile::pcmHeader, error)) {
        warn(w, QString::fromLocal8Bit(error.c_str()));
        return false;
    }
    return true;
}

// The save dialog; applies ".Wav" and the save directory. "" when cancelled.
QString askSave(TFPanelSignal* w, const char* title, const char* filter, std::string& dir) {
    QString path = askFile(w, true, title, filter, dir, w->saveDialogFileName);
    if (path.isEmpty())
        return path;
    path = withWavExtension(path);
    w->saveDialogFileName = path;
    dir = directoryOf(path);
    return path;
}

void wholeSave(TFPanelSignal* w, SignalSide& side, StatusBar* bar, const char* title) {
    const QString path = askSave(w, title, kWholeSaveFilter, side.saveDir);
    if (path.isEmpty())
        return;
    if (!saveFrames(w, path, side, 0, side.length))
        return;
    bar->setPanelText(0, "File: " + fileNameOf(path));
    w->showSignalStatus(bar, soundfile::pcmHeader.sampleRate, soundfile::pcmHeader.channels,
                        soundfile::pcmHeader.bitsPerSample, side.length);
}

void selectionSave(TFPanelSignal* w, SignalSide& side, const char* title) {
    if (!w->hasSelection)
        return;
    const QString path = askSave(w, title, kWholeSaveFilter, side.saveDir);
    if (path.isEmpty())
        return;
    // The selection is shared by all panes; only what lies inside this signal is saved.
    const display::FrameSpan f =
        display::selectedFrames(w->selectionStart, w->selectionEnd, side.length);
    if (f.count() == 0) {
        warn(w, "The selection lies beyond the end of this signal; nothing was saved.");
        return;
    }
    saveFrames(w, path, side, f.first, f.count());
}

void channelSave(TFPanelSignal* w, SignalSide& side, int ch) {
    static const char* const titles[2][2][2] = {
        {{"Save All clear signal from the Left channel",
          "Save Selection clear signal from the Left channel"},
         {"Save All clear signal from the Right channel",
          "Save Selection clear signal from the Right channel"}},
        {{"Save All signal from the Left channel", "Save Selected signal from the Left channel"},
         {"Save All signal from the Right channel",
          "Save Selected signal from the Right channel"}}};
    const bool original = &side == &w->orig;
    const QString path =
        askSave(w, titles[original][ch][w->hasSelection], kChannelSaveFilter, side.saveDir);
    if (path.isEmpty())
        return;
    int32_t first = 0, count = side.length;
    if (w->hasSelection) {
        // Both ends of the selection are part of it.
        const display::FrameSpan f =
            display::selectedFrames(w->selectionStart, w->selectionEnd, side.length);
        first = f.first;
        count = f.count();
    }
    std::string error;
    if (!soundfile::saveChannel(path.toLocal8Bit().toStdString(),
                                side.samples.data(std::size_t(ch)), side.format.sampleRate,
                                side.format.bitsPerSample, first, count, error))
        warn(w, QString::fromLocal8Bit(error.c_str()));
}

} // namespace

void TFPanelSignal::tSaveClick() {
    wholeSave(this, orig, Status0, "Save All signal");
}
void TFPanelSignal::tSaveNewClick() {
    wholeSave(this, changed, Status1, "Save All clear signal");
}
void TFPanelSignal::tSaveSelectionClick() {
    selectionSave(this, orig, "Save All signal");
}
void TFPanelSignal::tSaveNewSelectionClick() {
    selectionSave(this, changed, "Save Selection clear signal");
}
void TFPanelSignal::tSaveLClick() {
    channelSave(this, orig, 0);
}
void TFPanelSignal::tSaveRClick() {
    channelSave(this, orig, 1);
}
void TFPanelSignal::tSaveNewLClick() {
    channelSave(this, changed, 0);
}
void TFPanelSignal::tSaveNewRClick() {
    channelSave(this, changed, 1);
}

} // namespace app
