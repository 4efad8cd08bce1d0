#pragma once
// Small controls of the main window: a two-arrow up-down control, a status
// bar of fixed-width panels, and the tool-button pictures. (The panes are
// PaintBox widgets of the configuration library.)

#include <QIcon>
#include <QLabel>
#include <QToolButton>
#include <QWidget>

#include "PaintBox.h"

#include <functional>
#include <vector>

// Two arrow buttons; a press reports "next" (right arrow) or "previous".
// The position moves between min and max with each press.
class UpDown : public QWidget {
    Q_OBJECT
public:
    explicit UpDown(QWidget* parent = nullptr);
    int min = 1;
    int max = 100;
    int position = 1;
    void click(bool next);  // as a press of one arrow
signals:
    void clicked(bool next);

private:
    QToolButton* prev_;
    QToolButton* next_;
};

// A status bar of panels with fixed widths.
class StatusBar : public QWidget {
    Q_OBJECT
public:
    StatusBar(const std::vector<int>& widths, const QStringList& texts, QWidget* parent = nullptr);
    int panelCount() const { return int(panels_.size()); }
    QString panelText(int i) const;
    void setPanelText(int i, const QString& text);
    std::function<void()> onDoubleClick;

protected:
    void mouseDoubleClickEvent(QMouseEvent*) override;

private:
    std::vector<QLabel*> panels_;
};

// Pictures of the tool buttons, by index (the play commands switch between
// them while they play).
enum ButtonImage {
    ImgOpen = 0,
    ImgSave = 1,
    ImgSaveSelection = 2,
    ImgCut = 3,
    ImgPlay = 4,
    ImgPlayLoop = 5,
    ImgStop = 6,
    ImgRecord = 7,
    ImgDuplex = 8,
    ImgOptions = 9,
    ImgFolder = 10,
    ImgImageCount
};
QIcon buttonImage(int index);
QIcon applicationIcon();
QPixmap logoPixmap(int height);
