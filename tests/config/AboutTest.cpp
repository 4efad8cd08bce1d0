// The about window: its picture, clicks, hover colours and language.

#include "config/Uabout.h"
#include "tests/config/ConfigTestSupport.h"

#include <QDesktopServices>
#include <QLabel>
#include <QTest>
#include <QUrl>

namespace {

class UrlCatcher : public QObject {
    Q_OBJECT
  public:
    QList<QUrl> urls;
  public slots:
    void open(const QUrl& url) { urls << url; }
};

QColor textColor(const QLabel* l) {
    return l->palette().color(QPalette::WindowText);
}

} // namespace

class AboutWindow : public InTempDir {};

TEST_F(AboutWindow, ShowsOurPictureAtItsSize) {
    config::TFAbout about;
    EXPECT_EQ(config::FAbout, &about);
    EXPECT_EQ(about.size(), QSize(575, 386));
    ASSERT_FALSE(about.Image1->pixmap().isNull());
    EXPECT_EQ(about.Image1->pixmap().size(), QSize(575, 386));
    EXPECT_TRUE(about.windowFlags().testFlag(Qt::FramelessWindowHint));
    EXPECT_TRUE(about.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    // Both labels lie fully inside the window.
    for (QLabel* l : {about.Lab_www, about.labCopyright}) {
        QRect r(l->mapTo(&about, QPoint(0, 0)), l->size());
        EXPECT_TRUE(QRect(QPoint(0, 0), about.size()).contains(r)) << l->objectName().toStdString();
    }
}

TEST_F(AboutWindow, PictureClickClosesAddressClickOpensTheSite) {
    UrlCatcher catcher;
    QDesktopServices::setUrlHandler("http", &catcher, "open");
    config::TFAbout about;
    about.show();
    QTest::mouseClick(about.Lab_www, Qt::LeftButton);
    EXPECT_TRUE(about.isVisible());
    ASSERT_EQ(catcher.urls.size(), 1);
    EXPECT_EQ(catcher.urls[0].host(), QUrl::fromUserInput(config::makerWebSite(0)).host());
    QTest::mouseClick(about.Image1, Qt::LeftButton, {}, QPoint(20, 300));
    EXPECT_FALSE(about.isVisible());
    QDesktopServices::unsetUrlHandler("http");
}

TEST_F(AboutWindow, AddressTurnsRedUnderTheMouseAndBlackOverThePicture) {
    config::TFAbout about;
    about.show();
    EXPECT_EQ(textColor(about.Lab_www), QColor(Qt::black));
    QTest::mouseMove(about.Lab_www, QPoint(5, 5));
    QMouseEvent overLabel(QEvent::MouseMove, QPointF(5, 5), QPointF(5, 5), Qt::NoButton,
                          Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(about.Lab_www, &overLabel);
    EXPECT_EQ(textColor(about.Lab_www), QColor(255, 0, 0));
    QMouseEvent overPicture(QEvent::MouseMove, QPointF(30, 300), QPointF(30, 300), Qt::NoButton,
                            Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(about.Image1, &overPicture);
    EXPECT_EQ(textColor(about.Lab_www), QColor(Qt::black));
    about.hide();
}

TEST_F(AboutWindow, LanguageChangesWhileHiddenShowNextTime) {
    config::TFAbout about;
    about.applyLanguage(1);
    EXPECT_EQ(about.labCopyright->text(), config::rightsNotice(1));
    EXPECT_EQ(about.Lab_www->text(), config::makerWebSite(1));
    EXPECT_TRUE(about.Lab_www->toolTip().startsWith(QString::fromUtf8("Открыть вебсайт: ")));
    about.applyLanguage(3);
    EXPECT_EQ(about.Lab_www->text(), config::makerWebSite(1));
    about.applyLanguage(0);
    EXPECT_EQ(about.labCopyright->text(), config::rightsNotice(0));
    EXPECT_NE(config::rightsNotice(0), config::rightsNotice(1));
}

#include "AboutTest.moc"
