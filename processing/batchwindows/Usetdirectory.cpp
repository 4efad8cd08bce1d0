#include "processing/batchwindows/Usetdirectory.h"

#include <QDir>
#include <QEvent>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QScreen>
#include <QStorageInfo>
#include <QVBoxLayout>

namespace processing::batchwindows {

TFSetDirectory* FSetDirectory = nullptr;

namespace {

bool isExistingDir(const std::string& dir) {
    return !dir.empty() && QDir(QString::fromStdString(dir)).exists();
}

} // namespace

TFSetDirectory::TFSetDirectory(QWidget* parent) : QWidget(parent, Qt::Dialog) {
    FSetDirectory = this;
    setObjectName("FSetDirectory");
    setWindowTitle("Set directory");
    auto* v = new QVBoxLayout(this);
    DriveComboBox1 = new QComboBox(this);
    for (const QStorageInfo& vol : QStorageInfo::mountedVolumes())
        if (vol.isValid() && vol.isReady())
            DriveComboBox1->addItem(vol.rootPath().toUpper(), vol.rootPath());
    if (DriveComboBox1->findData(QDir::rootPath()) < 0)
        DriveComboBox1->insertItem(0, QDir::rootPath(), QDir::rootPath());
    Label_Dir = new QLabel(this);
    Label_Dir->setWordWrap(true);
    dirModel = new QFileSystemModel(this);
    dirModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    dirModel->setRootPath(QDir::rootPath());
    DirectoryList = new QTreeView(this);
    DirectoryList->setModel(dirModel);
    for (int c = 1; c < dirModel->columnCount(); ++c)
        DirectoryList->hideColumn(c);
    DirectoryList->header()->hide();
    auto* buttons = new QHBoxLayout;
    bOK = new QPushButton("OK", this);
    bCancel = new QPushButton("Cancel", this);
    bOK->setEnabled(false);
    buttons->addStretch(1);
    buttons->addWidget(bOK);
    buttons->addWidget(bCancel);
    v->addWidget(DriveComboBox1);
    v->addWidget(Label_Dir);
    v->addWidget(DirectoryList, 1);
    v->addLayout(buttons);
    resize(360, 420);
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->geometry().center() - rect().center());

    connect(DriveComboBox1, qOverload<int>(&QComboBox::activated), this,
            [this](int i) { DirectoryListChange(DriveComboBox1->itemData(i).toString()); });
    connect(DirectoryList, &QTreeView::clicked, this,
            [this](const QModelIndex& idx) { DirectoryListChange(dirModel->filePath(idx)); });
    connect(bOK, &QPushButton::clicked, this, [this] { bOKClick(); });
    connect(bCancel, &QPushButton::clicked, this, [this] { bCancelClick(); });
    showDirectory(QDir::currentPath());
}

void TFSetDirectory::showDirectory(const QString& dir) {
    QModelIndex idx = dirModel->index(dir);
    if (idx.isValid()) {
        DirectoryList->setCurrentIndex(idx);
        DirectoryList->scrollTo(idx);
    }
    int best = -1, bestLen = -1;
    for (int i = 0; i < DriveComboBox1->count(); ++i) {
        QString root = DriveComboBox1->itemData(i).toString();
        if (dir.startsWith(root) && root.size() > bestLen) {
            best = i;
            bestLen = int(root.size());
        }
    }
    if (best >= 0)
        DriveComboBox1->setCurrentIndex(best);
    Label_Dir->setText(QDir::toNativeSeparators(dir));
}

void TFSetDirectory::DirectoryListChange(const QString& dir) {
    showDirectory(dir);
    if (!dirTracking)
        return;
    chosenDir = dir.toStdString();
    bOK->setEnabled(chosenDir != dirAtActivation);
}

void TFSetDirectory::applyDirectory(const std::string& dir) {
    chosenDir = dir;
    if (isExistingDir(dir))
        showDirectory(QString::fromStdString(dir));
    else
        Label_Dir->setText(QString::fromStdString(dir));
}

void TFSetDirectory::FormActivate() {
    if (isExistingDir(chosenDir))
        showDirectory(QString::fromStdString(chosenDir));
    dirAtActivation = chosenDir;
    dirTracking = true;
}

void TFSetDirectory::FormDeactivate() {
    dirTracking = false;
    bOK->setEnabled(false);
    if (!dirAccepted) {
        chosenDir = dirAtActivation;
        if (isExistingDir(chosenDir))
            showDirectory(QString::fromStdString(chosenDir));
    }
    dirAccepted = false;
}

void TFSetDirectory::bOKClick() {
    dirAccepted = true;
    close();
}

void TFSetDirectory::bCancelClick() {
    dirAccepted = false;
    close();
}

bool TFSetDirectory::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    else if (e->type() == QEvent::WindowDeactivate || e->type() == QEvent::Hide) {
        if (dirTracking)
            FormDeactivate();
    }
    return QWidget::event(e);
}

} // namespace processing::batchwindows
