#pragma once
// The progress window of the automatic batch: how far the batch is, and a
// Cancel button that stops it after the current frame.

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QWidget>

namespace processing::batchwindows {

class TFProgress : public QWidget {
    Q_OBJECT
  public:
    explicit TFProgress(QWidget* parent = nullptr);
    QProgressBar* Progress;
    QLabel* Lab_progress;
    QLabel* Lab_Info;
    QLabel* Panel_Info;
    QPushButton* bCancel;
    bool progressCancelled = false;

    void bCancelClick();
};

extern TFProgress* FProgress;

} // namespace processing::batchwindows
