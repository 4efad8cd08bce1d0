#pragma once
// A two-arrow up-down control (the zoom controls of the main window).

#include <QToolButton>
#include <QWidget>

namespace gui {

// Two arrow buttons; a press reports "next" (right arrow) or "previous".
// The position moves between min and max with each press, and only a press
// that moved it is reported.
class UpDown : public QWidget {
    Q_OBJECT
  public:
    explicit UpDown(QWidget* parent = nullptr);
    int min = 1;
    int max = 100;
    int position = 1;
    void click(bool next); // as a press of one arrow
  signals:
    void clicked(bool next);

  private:
    QToolButton* prev_;
    QToolButton* next_;
};

} // namespace gui
