#include "gui/PaintBox.h"

#include <QMouseEvent>
#include <QPainter>

namespace gui {

PaintBox::PaintBox(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
}

void PaintBox::paintEvent(QPaintEvent*) {
    QPainter p(this);
    if (onPaint)
        onPaint(p);
}

void PaintBox::mousePressEvent(QMouseEvent* e) {
    QPoint pos = e->position().toPoint();
    if (onMouseDown)
        onMouseDown(e->button(), pos.x(), pos.y());
}

void PaintBox::mouseMoveEvent(QMouseEvent* e) {
    QPoint pos = e->position().toPoint();
    if (onMouseMove)
        onMouseMove(e->buttons(), pos.x(), pos.y());
}

} // namespace gui
