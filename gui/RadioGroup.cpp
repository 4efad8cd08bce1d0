#include "gui/RadioGroup.h"

#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace gui {

RadioGroup::RadioGroup(const QString& title, const QStringList& items, QWidget* parent)
    : QGroupBox(title, parent), group_(this) {
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(2);
    for (int i = 0; i < items.size(); ++i) {
        auto* b = new QRadioButton(items[i], this);
        group_.addButton(b, i);
        layout->addWidget(b);
    }
    connect(&group_, &QButtonGroup::idClicked, this, &RadioGroup::clicked);
}

int RadioGroup::itemIndex() const {
    return group_.checkedId();
}

int RadioGroup::count() const {
    return int(group_.buttons().size());
}

QRadioButton* RadioGroup::button(int index) const {
    return qobject_cast<QRadioButton*>(group_.button(index));
}

void RadioGroup::setItemIndex(int index) {
    QSignalBlocker block(&group_);
    if (QAbstractButton* b = group_.button(index)) {
        b->setChecked(true);
        return;
    }
    // An exclusive group keeps one button checked; lift that for a moment.
    group_.setExclusive(false);
    for (QAbstractButton* b : group_.buttons())
        b->setChecked(false);
    group_.setExclusive(true);
}

} // namespace gui
