#pragma once
// The window in which the user picks the output directory of the batch.

#include <QComboBox>
#include <QFileSystemModel>
#include <QLabel>
#include <QPushButton>
#include <QTreeView>
#include <QWidget>

#include <string>

namespace processing::batchwindows {

class TFSetDirectory : public QWidget {
    Q_OBJECT
  public:
    explicit TFSetDirectory(QWidget* parent = nullptr);
    QComboBox* DriveComboBox1;
    QTreeView* DirectoryList;
    QFileSystemModel* dirModel;
    QLabel* Label_Dir;
    QPushButton* bOK;
    QPushButton* bCancel;

    std::string chosenDir;
    std::string dirAtActivation;
    bool dirTracking = false;
    bool dirAccepted = false;

    void FormActivate();
    void FormDeactivate();
    void DirectoryListChange(const QString& dir);
    void bOKClick();
    void bCancelClick();

    // Takes a stored directory: it becomes the chosen one and the list moves to it.
    void applyDirectory(const std::string& dir);
    // Moves the list (and the drive box) to `dir` without choosing it.
    void showDirectory(const QString& dir);

  protected:
    bool event(QEvent* e) override;
};

extern TFSetDirectory* FSetDirectory;

} // namespace processing::batchwindows
