#include "app/Widgets.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPainterPath>

#include <cmath>

namespace app {

StatusBar::StatusBar(const std::vector<int>& widths, const QStringList& texts, QWidget* parent)
    : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(2, 1, 2, 1);
    layout->setSpacing(2);
    for (std::size_t i = 0; i < widths.size(); ++i) {
        auto* l = new QLabel(i < std::size_t(texts.size()) ? texts[int(i)] : QString(), this);
        l->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        l->setFixedWidth(widths[i]);
        l->setMinimumHeight(18);
        layout->addWidget(l);
        panels_.push_back(l);
    }
    layout->addStretch(1);
}

QString StatusBar::panelText(int i) const {
    return i >= 0 && i < panelCount() ? panels_[std::size_t(i)]->text() : QString();
}

void StatusBar::setPanelText(int i, const QString& text) {
    if (i >= 0 && i < panelCount())
        panels_[std::size_t(i)]->setText(text);
}

void StatusBar::mouseDoubleClickEvent(QMouseEvent*) {
    if (onDoubleClick)
        onDoubleClick();
}

namespace {

// The pictures are drawn here rather than shipped as files.
QPixmap draw(int index) {
    const int s = 32;
    QPixmap pm(s, s);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QPen pen(QColor(30, 30, 30), 2);
    p.setPen(pen);
    switch (index) {
    case ImgOpen:
    case ImgFolder: {
        p.setBrush(QColor(240, 200, 80));
        QPainterPath path;
        path.moveTo(3, 9);
        path.lineTo(12, 9);
        path.lineTo(15, 12);
        path.lineTo(29, 12);
        path.lineTo(29, 27);
        path.lineTo(3, 27);
        path.closeSubpath();
        p.drawPath(path);
        if (index == ImgOpen) {
            p.setBrush(QColor(60, 140, 220));
            p.drawPolygon(QPolygon({QPoint(16, 2), QPoint(22, 8), QPoint(10, 8)}));
        }
        break;
    }
    case ImgSave:
    case ImgSaveSelection:
        p.setBrush(QColor(60, 100, 200));
        p.drawRect(4, 4, 24, 24);
        p.setBrush(Qt::white);
        p.drawRect(9, 4, 14, 9);
        p.setBrush(QColor(200, 200, 200));
        p.drawRect(8, 18, 16, 10);
        if (index == ImgSaveSelection) {
            p.setPen(QPen(QColor(220, 40, 40), 2, Qt::DashLine));
            p.setBrush(Qt::NoBrush);
            p.drawRect(1, 1, 30, 30);
        }
        break;
    case ImgCut:
        // Mid-grey reads on the light bands and on the black pane bars alike.
        p.setPen(QPen(QColor(150, 150, 160), 2.5));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPoint(9, 24), 5, 5);
        p.drawEllipse(QPoint(23, 24), 5, 5);
        p.drawLine(12, 20, 24, 3);
        p.drawLine(20, 20, 8, 3);
        break;
    case ImgPlay:
        p.setBrush(QColor(40, 170, 60));
        p.drawPolygon(QPolygon({QPoint(8, 4), QPoint(27, 16), QPoint(8, 28)}));
        break;
    case ImgPlayLoop:
        p.setBrush(QColor(40, 170, 60));
        p.drawPolygon(QPolygon({QPoint(4, 6), QPoint(18, 16), QPoint(4, 26)}));
        p.setBrush(Qt::NoBrush);
        p.drawArc(14, 6, 16, 20, 90 * 16, -270 * 16);
        break;
    case ImgStop:
        p.setBrush(QColor(200, 40, 40));
        p.drawRect(7, 7, 18, 18);
        break;
    case ImgRecord:
        p.setBrush(QColor(220, 30, 30));
        p.drawEllipse(QPoint(16, 16), 11, 11);
        break;
    case ImgDuplex:
        p.setBrush(QColor(220, 30, 30));
        p.drawEllipse(QPoint(10, 16), 7, 7);
        p.setBrush(QColor(40, 170, 60));
        p.drawPolygon(QPolygon({QPoint(18, 6), QPoint(30, 16), QPoint(18, 26)}));
        break;
    case ImgOptions:
    default: {
        p.setBrush(QColor(150, 150, 160));
        p.translate(16, 16);
        for (int i = 0; i < 8; ++i) {
            p.drawRect(-2, -14, 4, 6);
            p.rotate(45);
        }
        p.drawEllipse(QPoint(0, 0), 9, 9);
        p.setBrush(Qt::white);
        p.drawEllipse(QPoint(0, 0), 3, 3);
        break;
    }
    }
    return pm;
}

} // namespace

QIcon buttonImage(int index) {
    static std::vector<QIcon> cache;
    if (cache.empty())
        for (int i = 0; i < ImgImageCount; ++i)
            cache.emplace_back(draw(i));
    return index >= 0 && index < ImgImageCount ? cache[std::size_t(index)] : QIcon();
}

QPixmap logoPixmap(int height) {
    // The wave glyph takes a square at the left; the name follows at its own width.
    QFont f;
    f.setBold(true);
    f.setPixelSize(height * 5 / 8);
    const char* const name = "Silvane";
    const int w = height + QFontMetrics(f).horizontalAdvance(name) + height / 3;
    QPixmap pm(w, height);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient g(0, 0, w, 0);
    g.setColorAt(0, QColor(20, 90, 60));
    g.setColorAt(1, QColor(60, 170, 110));
    p.setBrush(g);
    p.setPen(Qt::NoPen);
    p.drawRoundedRect(0, 0, w, height, 4, 4);
    QPen wave(QColor(230, 255, 230), 1.5);
    p.setPen(wave);
    QPainterPath path;
    for (int x = 0; x < height; ++x) {
        double y =
            height / 2.0 + (height / 3.0) * std::sin(x * 0.6) * std::exp(-x / double(height) * 2);
        if (x == 0)
            path.moveTo(x + 3, y);
        else
            path.lineTo(x + 3, y);
    }
    p.drawPath(path);
    p.setPen(Qt::white);
    p.setFont(f);
    p.drawText(QRect(height, 0, w - height, height), Qt::AlignVCenter | Qt::AlignLeft, name);
    return pm;
}

QIcon applicationIcon() {
    QPixmap pm(32, 32);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(QColor(30, 120, 80));
    p.setPen(Qt::NoPen);
    p.drawEllipse(1, 1, 30, 30);
    p.setPen(QPen(Qt::white, 2));
    QPainterPath path;
    for (int x = 4; x <= 28; ++x) {
        double y = 16 + 9 * std::sin((x - 4) * 0.55) * (1 - (x - 4) / 30.0);
        if (x == 4)
            path.moveTo(x, y);
        else
            path.lineTo(x, y);
    }
    p.drawPath(path);
    return QIcon(pm);
}

} // namespace app
