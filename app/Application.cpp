#include "app/Application.h"

#include "gui/MessageBox.h"

#include <exception>

namespace app {

SilvaneApplication::SilvaneApplication(int& argc, char** argv) : QApplication(argc, argv) {
    setApplicationName("Silvane");
    setOrganizationName("Quorvex");
}

bool SilvaneApplication::notify(QObject* receiver, QEvent* event) {
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        gui::showExceptionReport(e);
    } catch (...) {
        gui::showExceptionReport(std::runtime_error("Unknown error"));
    }
    return false;
}

} // namespace app
