#pragma once
// A titled group of radio buttons addressed by item index, with one button
// per item in a column.

#include <QButtonGroup>
#include <QGroupBox>
#include <QStringList>

class QRadioButton;

namespace gui {

class RadioGroup : public QGroupBox {
    Q_OBJECT
  public:
    RadioGroup(const QString& title, const QStringList& items, QWidget* parent = nullptr);

    // The checked item, -1 when none.
    int itemIndex() const;
    // Checks item `index`; an index outside the items unchecks all. Emits
    // nothing: callers run the group's handler themselves.
    void setItemIndex(int index);
    int count() const;
    QRadioButton* button(int index) const;

  signals:
    // The user clicked an item.
    void clicked(int index);

  private:
    QButtonGroup group_;
};

} // namespace gui
