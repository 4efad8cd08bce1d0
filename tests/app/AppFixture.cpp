#include "tests/app/AppFixture.h"

#include "config/Configu.h"
#include "config/Uabout.h"
#include "gui/FileDialogs.h"
#include "gui/MessageBox.h"
#include "processing/batchwindows/Uprogress.h"
#include "processing/batchwindows/Usetdirectory.h"

#include <QApplication>

#include <filesystem>

namespace apptest {

namespace {
QStringList messages;
QStringList answers;
} // namespace

app::TFPanelSignal* windows() {
    if (!app::FPanelSignal) {
        gui::setMessageBoxHook([](const QString& text, const QString&) { messages << text; });
        gui::setFileDialogHook([](const gui::FileDialogRequest&) {
            return answers.isEmpty() ? QString() : answers.takeFirst();
        });
        new config::TFAbout(nullptr);
        new app::TFPanelSignal(nullptr);
        new config::TFconfAS(nullptr);
        new processing::batchwindows::TFProgress(nullptr);
        new processing::batchwindows::TFSetDirectory(nullptr);
        app::FPanelSignal->show();
        QApplication::processEvents();
    }
    return app::FPanelSignal;
}

void destroyWindows() {
    delete processing::batchwindows::FSetDirectory;
    delete processing::batchwindows::FProgress;
    delete config::FconfAS;
    delete app::FPanelSignal;
    delete config::FAbout;
}

QStringList takeMessages() {
    QStringList m = messages;
    messages.clear();
    return m;
}

void answerDialogs(const QStringList& paths) {
    answers = paths;
}

std::string scratchDir() {
    return std::filesystem::current_path().string();
}

std::string bundledSample() {
    return std::string(SILVANE_SOURCE_DIR) + "/samples/noisy-speech-stereo.wav";
}

} // namespace apptest
