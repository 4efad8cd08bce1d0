#include "gui/UpDown.h"

#include <QHBoxLayout>

namespace gui {

UpDown::UpDown(QWidget* parent) : QWidget(parent) {
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    prev_ = new QToolButton(this);
    prev_->setArrowType(Qt::LeftArrow);
    next_ = new QToolButton(this);
    next_->setArrowType(Qt::RightArrow);
    for (QToolButton* b : {prev_, next_}) {
        b->setAutoRepeat(true);
        b->setFixedSize(18, 20);
        layout->addWidget(b);
    }
    connect(prev_, &QToolButton::clicked, this, [this] { click(false); });
    connect(next_, &QToolButton::clicked, this, [this] { click(true); });
}

// A press at either end moves nothing and reports nothing.
void UpDown::click(bool next) {
    const int before = position;
    if (next && position < max)
        ++position;
    if (!next && position > min)
        --position;
    if (position != before)
        emit clicked(next);
}

} // namespace gui
