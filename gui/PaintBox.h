#pragma once
// A plain drawing area whose painting and mouse handling belong to the window
// that owns it: the owner installs the three handlers.

#include <QWidget>

#include <functional>

namespace gui {

class PaintBox : public QWidget {
    Q_OBJECT
  public:
    explicit PaintBox(QWidget* parent = nullptr);

    std::function<void(QPainter&)> onPaint;
    std::function<void(Qt::MouseButton button, int x, int y)> onMouseDown;
    std::function<void(Qt::MouseButtons buttons, int x, int y)> onMouseMove;

  protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* e) override;
    void mouseMoveEvent(QMouseEvent* e) override;
};

} // namespace gui
