#include "app/Application.h"

#include "gui/MessageBox.h"

#include <exception>

SilvaneApplication::SilvaneApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Silvane");
    setOrganizationName("Quorvex");
}

bool SilvaneApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        showExceptionReport(e);
    } catch (...) {
        showExceptionReport(std::runtime_error("Unknown error"));
    }
    return false;
}
