#pragma once
// The application object: an exception that escapes an event handler ends
// that handler and is shown with the standard exception report; the event
// loop goes on.

#include <QApplication>

namespace app {

class SilvaneApplication : public QApplication {
  public:
    SilvaneApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

} // namespace app
