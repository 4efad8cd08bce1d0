// The automatic batch: every file of the list from the selected one on is
// opened and cleaned (as a click in the list does) and saved under its own
// name into the output directory, with progress and cancel.

#include "app/Upanelsig.h"
#include "gui/MessageBox.h"
#include "processing/batchwindows/Uprogress.h"
#include "processing/batchwindows/Usetdirectory.h"
#include "soundfile/SaveSignal.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

void TFPanelSignal::tSetDirSaveNewClick() {
    if (!FSetDirectory) return;
    FSetDirectory->show();
    FSetDirectory->raise();
    FSetDirectory->activateWindow();
}

void TFPanelSignal::bAutoClick() {
    if (!FSetDirectory || !FProgress) return;
    const QString dir = QString::fromStdString(FSetDirectory->chosenDir);
    if (dir.isEmpty() || !QDir(dir).exists()) {
        showMessageBox(this, "Directory does not exist! Create directory for save changed files.", "Warning");
        return;
    }
    const QModelIndex root = FileList->rootIndex();
    const int count = fileModel->rowCount(root);
    if (count == 0) return;  // an empty list: nothing to process or write

    bStart->setEnabled(false);
    bAuto->setEnabled(false);
    FProgress->progressCancelled = false;
    FProgress->Lab_progress->setText("0 %");
    int index = FileList->currentIndex().isValid() ? FileList->currentIndex().row() : -1;
    if (index < 0 || index >= count) {
        index = 0;
        FileList->setCurrentIndex(fileModel->index(0, 0, root));
    }
    FProgress->Progress->setValue(0);
    FProgress->Progress->setMaximum(count - index);
    FProgress->show();

    QStringList failed;
    for (;;) {
        const QString source = fileModel->filePath(fileModel->index(index, 0, root));
        const QString name = QFileInfo(source).fileName();
        FProgress->Lab_Info->setText("Open/Save file: " + name);
        FProgress->Lab_Info->repaint();
        FileListClick();

        const QString target = QDir(dir).filePath(name);
        std::string error;
        if (!saveSignal(target.toLocal8Bit().toStdString(), changed.planar(), 0, changed.length, sourceHeader,
                        pcmHeader, error))
            failed << QString::fromLocal8Bit(error.c_str());

        Status1->setPanelText(0, "File: " + QFileInfo(saveDialogFileName).fileName());
        showSignalStatus(Status1, pcmHeader.sampleRate, pcmHeader.channels, pcmHeader.bitsPerSample, changed.length);
        Status1->repaint();
        QCoreApplication::processEvents();
        if (FProgress->progressCancelled) break;

        FProgress->Progress->setValue(FProgress->Progress->value() + 1);
        FProgress->Lab_progress->setText(
            QString::number(FProgress->Progress->value() * 100 / FProgress->Progress->maximum()) + " %");
        FProgress->repaint();
        if (index >= count - 1) break;
        ++index;
        FileList->setCurrentIndex(fileModel->index(index, 0, root));
        FileList->repaint();
    }
    FProgress->Lab_Info->setText("File:");
    if (FProgress->isVisible()) FProgress->close();
    FProgress->progressCancelled = false;
    bAuto->setEnabled(true);
    bStart->setEnabled(true);
    // Files that could not be written are told once, all together, at the end.
    if (!failed.isEmpty())
        showMessageBox(this, "Some results could not be written:\n" + failed.join("\n"), "Warning");
}
