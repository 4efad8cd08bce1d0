#include "config/Uabout.h"

#include "config/Language.h"
#include "gui/JpegImage.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QUrl>
#include <QVBoxLayout>

namespace config {

TFAbout* FAbout = nullptr;

namespace {

constexpr int kClientWidth = 575;
constexpr int kClientHeight = 386;

void setTextColor(QLabel* label, const QColor& c) {
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, c);
    label->setPalette(p);
}

} // namespace

QString makerWebSite(int languageIndex) {
    return languageText(languageIndex, "www.silvane.example", "www.silvane.example/ru");
}

QString rightsNotice(int languageIndex) {
    return languageText(languageIndex, "\u00a9 2024 The Silvane developers. All rights reserved.",
                        "\u00a9 2024 Разработчики Silvane. Все права защищены.");
}

TFAbout::TFAbout(QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint) {
    if (!FAbout)
        FAbout = this;
    setObjectName("FAbout");
    setWindowTitle("About ....");
    setFixedSize(kClientWidth, kClientHeight);
    QFont base = font();
    base.setPixelSize(11);
    setFont(base);

    Panel1 = new QFrame(this);
    Panel1->setObjectName("Panel1");
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setLineWidth(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Panel1);
    auto* inner = new QVBoxLayout(Panel1);
    inner->setContentsMargins(1, 1, 1, 1);

    Image1 = new QLabel(Panel1);
    Image1->setObjectName("Image1");
    Image1->setScaledContents(true);
    Image1->setPixmap(QPixmap::fromImage(gui::jpegResource(":/pictures/about.jpg")));
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->setMouseTracking(true);
    Image1->installEventFilter(this);
    inner->addWidget(Image1);

    // The two labels lie on the picture, transparent, at fixed places.
    Lab_www = new QLabel(Image1);
    Lab_www->setObjectName("Lab_www");
    Lab_www->setCursor(Qt::PointingHandCursor);
    Lab_www->setMouseTracking(true);
    Lab_www->setAttribute(Qt::WA_TranslucentBackground);
    Lab_www->installEventFilter(this);
    setTextColor(Lab_www, Qt::black);
    Lab_www->setText(makerWebSite(0));
    Lab_www->setToolTip("Open URL: " + makerWebSite(0));

    labCopyright = new QLabel(Image1);
    labCopyright->setObjectName("labCopyright");
    labCopyright->setAttribute(Qt::WA_TranslucentBackground);
    QFont arial("Arial");
    arial.setPixelSize(11);
    labCopyright->setFont(arial);
    setTextColor(labCopyright, Qt::black);
    labCopyright->setText(rightsNotice(0));
    placeLabels();

    if (QScreen* s = QGuiApplication::primaryScreen()) {
        QRect r = s->availableGeometry();
        move(r.center() - QPoint(kClientWidth / 2, kClientHeight / 2));
    }
}

TFAbout::~TFAbout() {
    if (FAbout == this)
        FAbout = nullptr;
}

// The labels keep their designed places (431, 49 and 281, 371 in the client
// area) but grow to their text, moving left or up only as far as needed to
// stay inside the window.
void TFAbout::placeLabels() {
    auto place = [](QLabel* l, int left, int top, int width, int height) {
        QSize hint = l->sizeHint();
        int w = std::max(width, hint.width());
        int h = std::max(height, hint.height());
        int x = std::min(left, kClientWidth - 4 - w);
        int y = std::min(top, kClientHeight - 2 - h);
        // Coordinates are given in the client area; the picture starts 2
        // pixels in (the panel's bevel).
        l->setGeometry(x - 2, y - 2, w, h);
    };
    place(Lab_www, 431, 49, 110, 13);
    place(labCopyright, 281, 371, 250, 14);
}

void TFAbout::Image1Click() {
    hide();
}

void TFAbout::Image1MouseMove() {
    setTextColor(Lab_www, Qt::black);
}

void TFAbout::Lab_wwwMouseMove() {
    setTextColor(Lab_www, QColor(255, 0, 0));
}

void TFAbout::Lab_wwwClick() {
    QDesktopServices::openUrl(QUrl::fromUserInput(Lab_www->text()));
}

void TFAbout::applyLanguage(int languageIndex) {
    if (!isLanguage(languageIndex))
        return;
    labCopyright->setText(rightsNotice(languageIndex));
    Lab_www->setText(makerWebSite(languageIndex));
    Lab_www->setToolTip(languageText(languageIndex, "Open website: ", "Открыть вебсайт: ") +
                        makerWebSite(languageIndex));
    placeLabels();
}

bool TFAbout::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type t = event->type();
    if (watched == Lab_www) {
        // The address takes its own mouse events, so they never reach the
        // picture beneath (which would turn it black again, or close the
        // window on a click).
        if (t == QEvent::MouseMove) {
            Lab_wwwMouseMove();
            return true;
        }
        if (t == QEvent::MouseButtonPress || t == QEvent::MouseButtonDblClick)
            return true;
        if (t == QEvent::MouseButtonRelease) {
            Lab_wwwClick();
            return true;
        }
    } else if (watched == Image1) {
        if (t == QEvent::MouseMove)
            Image1MouseMove();
        if (t == QEvent::MouseButtonRelease) {
            Image1Click();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace config
