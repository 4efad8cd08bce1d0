// Pictures of the configuration tabs and the about window for the docs.
// Runs only when SILVANE_SCREENSHOT_DIR names a directory, e.g.
//   SILVANE_SCREENSHOT_DIR=$PWD/docs xvfb-run -a -s '-screen 0 1280x800x24'
//     env QT_QPA_PLATFORM=xcb build/tests/test_config --gtest_filter='Screenshots.*'
// (one command line). SILVANE_SCREENSHOT_SUFFIX=-ru takes the Russian texts.

#include "config/Configu.h"
#include "config/Uabout.h"
#include "tests/config/ConfigTestSupport.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QPixmap>
#include <QTabWidget>
#include <QTest>

class Screenshots : public InTempDir {};

TEST_F(Screenshots, TabsAndAboutWindow) {
    const char* dir = std::getenv("SILVANE_SCREENSHOT_DIR");
    if (!dir || !*dir)
        GTEST_SKIP() << "SILVANE_SCREENSHOT_DIR not set";
    const QString out = QString::fromLocal8Bit(dir);
    const char* suffix = std::getenv("SILVANE_SCREENSHOT_SUFFIX"); // e.g. "-ru"
    const int lang = suffix && QString(suffix) == "-ru" ? 1 : 0;

    config::TFAbout about;
    config::TFconfAS w;
    w.cboxLang->setCurrentIndex(lang);
    w.cboxLangChange();
    w.eqGains[30] = 0.4f;
    w.eqGains[31] = 0.5f;
    w.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const char* names[] = {"audio", "postprocessing", "engine", "equalizer"};
    for (int i = 0; i < 4; ++i) {
        w.PageControl1->setCurrentIndex(i);
        QTest::qWait(50);
        QString file = out + "/config-" + names[i] + (suffix ? suffix : "") + ".png";
        EXPECT_TRUE(w.grab().save(file)) << file.toStdString();
    }
    w.hide();
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    QTest::qWait(50);
    EXPECT_TRUE(about.grab().save(out + "/about" + (suffix ? suffix : "") + ".png"));
}
