// silvane: start-up. The about window comes first as the splash, then the main
// window, the configuration window and the two windows of the batch, in that
// order; the message loop runs until the main window closes.

#include "app/Application.h"
#include "app/Upanelsig.h"
#include "audio/VirtualCardFiles.h"
#include "config/Configu.h"
#include "config/Uabout.h"
#include "gui/MessageBox.h"
#include "processing/batchwindows/Uprogress.h"
#include "processing/batchwindows/Usetdirectory.h"

#include <QTimer>

#include <cstdio>
#include <cstring>
#include <exception>

static void usage(std::FILE* out) {
    std::fprintf(out,
                 "usage: silvane [FILE.wav]\n"
                 "  Opens the speech-enhancement workstation; a WAV file named here is opened\n"
                 "  as the original signal and cleaned, as a click in the file list does.\n");
}

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h")) {
            usage(stdout);
            return 0;
        }
    }
    audio::useVirtualCardFiles();
    app::SilvaneApplication app(argc, argv);
    const QStringList args = app.arguments();
    QString startupFile;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i].startsWith('-')) {
            std::fprintf(stderr, "silvane: unknown option %s\n", qPrintable(args[i]));
            usage(stderr);
            return 2;
        }
        startupFile = args[i];
    }
    try {
        new config::TFAbout(nullptr);
        config::FAbout->show();
        config::FAbout->repaint();
        app.processEvents();

        new app::TFPanelSignal(nullptr);
        new config::TFconfAS(nullptr);
        new processing::batchwindows::TFProgress(nullptr);
        new processing::batchwindows::TFSetDirectory(nullptr);
        app::FPanelSignal->startupFile = startupFile.toStdString();
        app::FPanelSignal->show();
        config::FAbout->raise();
        if (!startupFile.isEmpty())
            QTimer::singleShot(0, app::FPanelSignal, [] { app::FPanelSignal->openStartupFile(); });
        app.exec();
    } catch (const std::exception& e) {
        gui::showExceptionReport(e);
    }
    delete processing::batchwindows::FSetDirectory;
    delete processing::batchwindows::FProgress;
    delete config::FconfAS;
    delete app::FPanelSignal;
    delete config::FAbout;
    return 0;
}
