#include "gui/FileDialogs.h"

#include <QFileDialog>
#include <QStringList>

namespace gui {

namespace {
std::function<QString(const FileDialogRequest&)>& hook() {
    static std::function<QString(const FileDialogRequest&)> h;
    return h;
}
} // namespace

void setFileDialogHook(std::function<QString(const FileDialogRequest&)> h) {
    hook() = std::move(h);
}

QString qtFilter(const QString& filter) {
    const QStringList parts = filter.split('|');
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString pattern = parts[i + 1];
        pattern.replace(';', ' ');
        out << parts[i] + " (" + pattern.trimmed() + ")";
    }
    return out.join(";;");
}

QString runFileDialog(QWidget* parent, const FileDialogRequest& r) {
    if (hook())
        return hook()(r);
    QString start = r.directory;
    if (!r.fileName.isEmpty())
        start = r.directory.isEmpty() ? r.fileName : r.directory + "/" + r.fileName;
    if (r.save)
        return QFileDialog::getSaveFileName(parent, r.title, start, qtFilter(r.filter));
    return QFileDialog::getOpenFileName(parent, r.title, start, qtFilter(r.filter));
}

} // namespace gui
