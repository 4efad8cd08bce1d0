#pragma once
// Small controls of the main window: a status bar of fixed-width panels and
// the tool-button pictures. (The panes are PaintBox widgets and the zoom
// controls UpDown widgets, both of gui/.)

#include <QIcon>
#include <QLabel>
#include <QToolButton>
#include <QWidget>

#include "gui/PaintBox.h"
#include "gui/UpDown.h"

#include <functional>
#include <vector>

namespace app {

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

} // namespace app
