#include "processing/batchwindows/Uprogress.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QScreen>
#include <QVBoxLayout>

namespace processing::batchwindows {

TFProgress* FProgress = nullptr;

TFProgress::TFProgress(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    FProgress = this;
    setObjectName("FProgress");
    setWindowTitle("System monitoring");
    auto* v = new QVBoxLayout(this);
    Panel_Info = new QLabel(" Working ...", this);
    Panel_Info->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    Lab_Info = new QLabel("File:", this);
    auto* row = new QHBoxLayout;
    Progress = new QProgressBar(this);
    Progress->setRange(0, 100);
    Progress->setValue(0);
    Progress->setTextVisible(false);
    Lab_progress = new QLabel("0 %", this);
    Lab_progress->setMinimumWidth(40);
    row->addWidget(Progress, 1);
    row->addWidget(Lab_progress);
    bCancel = new QPushButton("Cancel", this);
    v->addWidget(Panel_Info);
    v->addWidget(Lab_Info);
    v->addLayout(row);
    v->addWidget(bCancel, 0, Qt::AlignHCenter);
    resize(360, 140);
    if (QScreen* s = QGuiApplication::primaryScreen())
        move(s->geometry().center() - rect().center());
    connect(bCancel, &QPushButton::clicked, this, [this] { bCancelClick(); });
}

void TFProgress::bCancelClick() {
    progressCancelled = true;
    close();
}

} // namespace processing::batchwindows
