#pragma once
// The open and save dialogs of the main window go through one function, so
// tests can answer them instead of a user.

#include <QString>
#include <QWidget>

#include <functional>

namespace gui {

struct FileDialogRequest {
    bool save = false;
    QString title;
    QString filter;    // "description|pattern|description|pattern..."
    QString directory; // initial directory, may be empty
    QString fileName;  // file name already in the dialog, may be empty
};

// Returns the chosen path, or an empty string when the dialog was cancelled.
QString runFileDialog(QWidget* parent, const FileDialogRequest& r);

// Tests install a hook that answers every dialog; an empty function restores
// the real dialogs.
void setFileDialogHook(std::function<QString(const FileDialogRequest&)> hook);

// "a|b|c|d" as a Qt filter list "a (b);;c (d)".
QString qtFilter(const QString& filter);

} // namespace gui
