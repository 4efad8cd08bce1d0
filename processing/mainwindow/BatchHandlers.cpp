// The automatic batch: every file of the list from the selected one on is
// read and cleaned (as a click in the list does) and saved under its own
// name into the output directory, with progress and cancel. What is written
// and when the batch ends is decided by processing::runBatch; this is the glue.

#include "app/ConfigLink.h"
#include "app/Upanelsig.h"
#include "base/SafeFile.h"
#include "gui/MessageBox.h"
#include "processing/Batch.h"
#include "processing/batchwindows/Uprogress.h"
#include "processing/batchwindows/Usetdirectory.h"
#include "soundfile/SaveSignal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace app {

namespace {

QString problemLines(const std::vector<processing::BatchProblem>& problems) {
    QStringList lines;
    for (const processing::BatchProblem& p : problems)
        lines << QString::fromLocal8Bit(p.file.c_str()) +
                     (p.reason.empty() ? QString()
                                       : ": " + QString::fromLocal8Bit(p.reason.c_str()));
    return lines.join("\n");
}

} // namespace

void TFPanelSignal::tSetDirSaveNewClick() {
    if (!processing::batchwindows::FSetDirectory)
        return;
    processing::batchwindows::FSetDirectory->show();
    processing::batchwindows::FSetDirectory->raise();
    processing::batchwindows::FSetDirectory->activateWindow();
}

void TFPanelSignal::bAutoClick() {
    if (!processing::batchwindows::FSetDirectory || !processing::batchwindows::FProgress)
        return;
    const QString dir = QString::fromStdString(processing::batchwindows::FSetDirectory->chosenDir);
    if (dir.isEmpty() || !QDir(dir).exists()) {
        gui::showMessageBox(
            this, "Directory does not exist! Create directory for save changed files.", "Warning");
        return;
    }
    const QModelIndex root = FileList->rootIndex();
    const int count = fileModel->rowCount(root);
    // The current row counts only when it is a file of the listed directory:
    // after a directory change Qt keeps the row of the old one.
    const QModelIndex current = FileList->currentIndex();
    const int first = processing::batchStartIndex(
        count, current.isValid() && current.parent() == root ? current.row() : -1);
    if (first < 0)
        return; // an empty list: nothing to process or write
    // Results a killed earlier batch left unfinished in the output directory.
    base::removeAbandonedWrites(dir.toLocal8Bit().toStdString());

    bStart->setEnabled(false);
    bAuto->setEnabled(false);
    processing::batchwindows::FProgress->progressCancelled = false;
    processing::batchwindows::FProgress->Lab_progress->setText("0 %");
    FileList->setCurrentIndex(fileModel->index(first, 0, root));
    processing::batchwindows::FProgress->Progress->setValue(0);
    processing::batchwindows::FProgress->Progress->setMaximum(count - first);
    processing::batchwindows::FProgress->show();

    const int lang = configLanguageIndex();
    auto pathOf = [this, root](int index) {
        return fileModel->filePath(fileModel->index(index, 0, root));
    };
    processing::BatchSteps steps;
    steps.name = [&](int index) {
        return QFileInfo(pathOf(index)).fileName().toLocal8Bit().toStdString();
    };
    steps.select = [&](int index) {
        FileList->setCurrentIndex(fileModel->index(index, 0, root));
        FileList->repaint();
        processing::batchwindows::FProgress->Lab_Info->setText("Open/Save file: " +
                                                               QFileInfo(pathOf(index)).fileName());
        processing::batchwindows::FProgress->Lab_Info->repaint();
    };
    steps.readAndClean = [&](int index, std::string& reason) {
        if (!openListFileQuietly(pathOf(index), reason))
            return processing::BatchRead::Unreadable;
        bStartClick();
        if (!lastRunStopped)
            return processing::BatchRead::Cleaned;
        reason = config::languageText(lang, "cancelled, not written", "отменено, не записано")
                     .toLocal8Bit()
                     .toStdString();
        return processing::BatchRead::Interrupted;
    };
    steps.save = [&](int index, std::string& reason) {
        const QString target = QDir(dir).filePath(QString::fromLocal8Bit(
            processing::batchResultName(
                QFileInfo(pathOf(index)).fileName().toLocal8Bit().toStdString())
                .c_str()));
        const bool ok = soundfile::saveSignal(target.toLocal8Bit().toStdString(), changed.planar(),
                                              0, changed.length, soundfile::sourceHeader,
                                              soundfile::pcmHeader, reason);
        Status1->setPanelText(0, "File: " + QFileInfo(saveDialogFileName).fileName());
        showSignalStatus(Status1, soundfile::pcmHeader.sampleRate, soundfile::pcmHeader.channels,
                         soundfile::pcmHeader.bitsPerSample, changed.length);
        Status1->repaint();
        return ok;
    };
    steps.cancelled = [this] {
        QCoreApplication::processEvents();
        return processing::batchwindows::FProgress->progressCancelled;
    };
    steps.progress = [this](const processing::BatchReport& r) {
        processing::batchwindows::FProgress->Progress->setValue(r.done);
        processing::batchwindows::FProgress->Lab_progress->setText(
            QString::number(processing::batchPercent(r)) + " %");
        processing::batchwindows::FProgress->repaint();
    };

    auto restoreWindow = [this] {
        processing::batchwindows::FProgress->Lab_Info->setText("File:");
        if (processing::batchwindows::FProgress->isVisible())
            processing::batchwindows::FProgress->close();
        processing::batchwindows::FProgress->progressCancelled = false;
        bAuto->setEnabled(true);
        bStart->setEnabled(true);
    };
    processing::BatchReport report;
    try {
        report = processing::runBatch(count, first, steps);
    } catch (...) {
        // Whatever escaped, the window must come back usable.
        restoreWindow();
        throw;
    }
    restoreWindow();

    // What was left without a result is told once, all together, at the end.
    QStringList parts;
    if (!report.skipped.empty())
        parts << config::languageText(lang,
                                      "Some files were skipped, nothing was written for them:",
                                      "Некоторые файлы пропущены, для них ничего не записано:") +
                     "\n" + problemLines(report.skipped);
    if (!report.unwritten.empty())
        parts << config::languageText(lang, "Some results could not be written:",
                                      "Некоторые результаты не удалось записать:") +
                     "\n" + problemLines(report.unwritten);
    if (!parts.isEmpty())
        gui::showMessageBox(this, parts.join("\n\n"),
                            config::languageText(lang, "Warning", "Предупреждение"));
}

} // namespace app
