#include "tests/app/AppFixture.h"

#include "config/Configu.h"
#include "gui/FileDialogs.h"
#include "gui/MessageBox.h"
#include "config/Uabout.h"
#include "processing/batchwindows/Uprogress.h"
#include "processing/batchwindows/Usetdirectory.h"

#include <QApplication>

#include <filesystem>

namespace apptest {

namespace {
QStringList messages;
QStringList answers;
}  // namespace

TFPanelSignal* windows() {
    if (!FPanelSignal) {
        setMessageBoxHook([](const QString& text, const QString&) { messages << text; });
        setFileDialogHook([](const FileDialogRequest&) { return answers.isEmpty() ? QString() : answers.takeFirst(); });
        new TFAbout(nullptr);
        new TFPanelSignal(nullptr);
        new TFconfAS(nullptr);
        new TFProgress(nullptr);
        new TFSetDirectory(nullptr);
        FPanelSignal->show();
        QApplication::processEvents();
    }
    return FPanelSignal;
}

void destroyWindows() {
    delete FSetDirectory;
    delete FProgress;
    delete FconfAS;
    delete FPanelSignal;
    delete FAbout;
}

QStringList takeMessages() {
    QStringList m = messages;
    messages.clear();
    return m;
}

void answerDialogs(const QStringList& paths) { answers = paths; }

std::string scratchDir() { return std::filesystem::current_path().string(); }

std::string bundledSample() { return std::string(SILVANE_SOURCE_DIR) + "/samples/noisy-speech-stereo.wav"; }

}  // namespace apptest
