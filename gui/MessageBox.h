#pragma once
// The one road every message box of the program takes: a warning box with
// one OK button. Tests install a hook that records the messages instead of
// blocking on a modal box.

#include <QString>

#include <exception>
#include <functional>

class QWidget;

namespace gui {

// Shows `text` with `caption` as a warning box with one OK button and returns
// when the user closes it (QMessageBox::Ok). With a hook installed the hook
// gets the text and caption instead, and the result is still Ok.
int showMessageBox(QWidget* parent, const QString& text, const QString& caption);

// The standard report for an exception that escaped a command handler: the
// exception's message in an error box captioned with the program's name. Goes
// through the hook like every other box.
void showExceptionReport(const std::exception& e);

using MessageBoxHook = std::function<void(const QString& text, const QString& caption)>;
// Installs (or, with an empty function, removes) the hook. Returns the hook
// that was installed before.
MessageBoxHook setMessageBoxHook(MessageBoxHook hook);

} // namespace gui
