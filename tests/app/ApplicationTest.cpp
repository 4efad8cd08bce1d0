// An exception escaping an event handler is shown as the standard report and
// the event loop goes on.

#include "tests/app/AppFixture.h"

#include "soundfile/WavFile.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEvent>
#include <QObject>

namespace {

class Thrower : public QObject {
  public:
    int handled = 0;
    bool event(QEvent* e) override {
        if (e->type() == QEvent::User) {
            ++handled;
            throw soundfile::UnknownFormat();
        }
        return QObject::event(e);
    }
};

TEST(Application, EscapedExceptionsAreReportedAndTheLoopGoesOn) {
    apptest::windows();
    apptest::takeMessages();
    Thrower t;
    QEvent e(QEvent::User);
    EXPECT_NO_THROW(QApplication::sendEvent(&t, &e));
    QApplication::postEvent(&t, new QEvent(QEvent::User));
    QApplication::processEvents();
    EXPECT_EQ(t.handled, 2);
    const QStringList m = apptest::takeMessages();
    ASSERT_EQ(m.size(), 2);
    EXPECT_EQ(m[0], "Unknown format");
}

} // namespace
