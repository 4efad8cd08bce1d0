#include "gui/MessageBox.h"

#include <QGuiApplication>
#include <QMessageBox>

namespace gui {

namespace {

MessageBoxHook& hook() {
    static MessageBoxHook h;
    return h;
}

int show(QWidget* parent, const QString& text, const QString& caption, QMessageBox::Icon icon) {
    if (hook()) {
        hook()(text, caption);
        return QMessageBox::Ok;
    }
    QMessageBox box(icon, caption, text, QMessageBox::Ok, parent);
    box.exec();
    return QMessageBox::Ok;
}

} // namespace

int showMessageBox(QWidget* parent, const QString& text, const QString& caption) {
    return show(parent, text, caption, QMessageBox::Warning);
}

void showExceptionReport(const std::exception& e) {
    QString name = QGuiApplication::applicationDisplayName();
    if (name.isEmpty())
        name = QStringLiteral("Silvane");
    show(nullptr, QString::fromLocal8Bit(e.what()), name, QMessageBox::Critical);
}

MessageBoxHook setMessageBoxHook(MessageBoxHook h) {
    MessageBoxHook old = std::move(hook());
    hook() = std::move(h);
    return old;
}

} // namespace gui
