#pragma once
// Creating the program's windows for tests, answering dialogs and message
// boxes, and small helpers over the main window.

#include "Upanelsig.h"

#include <QString>
#include <QStringList>

#include <string>

namespace apptest {

// Creates the windows once, in start-up order; later calls return the main window.
TFPanelSignal* windows();
void destroyWindows();

// Messages shown since the last call.
QStringList takeMessages();
// The next file dialogs answer these paths, in order ("" cancels).
void answerDialogs(const QStringList& paths);

std::string scratchDir();
std::string bundledSample();

}  // namespace apptest
