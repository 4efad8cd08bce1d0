#include "app/Upanelsig.h"

#include "app/ConfigLink.h"
#include "config/Uabout.h"
#include "display/Display.h"
#include "platform/WaveMessage.h"
#include "processing/batchwindows/Usetdirectory.h"
#include "soundfile/SoundLoad.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QStorageInfo>
#include <QVBoxLayout>

namespace app {

TFPanelSignal* FPanelSignal = nullptr;

namespace {

const QColor kYellow(255, 255, 0);

// Black with yellow text, for the captions and check boxes over the panes.
void paintCaption(QWidget* w) {
    w->setStyleSheet("background-color: black; color: rgb(255, 255, 0); padding: 1px 4px;");
}

// Whether `path` is `dir` or lies inside it.
bool isSameOrInside(const QString& path, const QString& dir) {
    return path == dir || path.startsWith(dir.endsWith('/') ? dir : dir + '/');
}

void paintBlack(QWidget* w) {
    QPalette pal = w->palette();
    pal.setColor(QPalette::Window, Qt::black);
    pal.setColor(QPalette::Base, Qt::black);
    pal.setColor(QPalette::WindowText, kYellow);
    pal.setColor(QPalette::Text, kYellow);
    pal.setColor(QPalette::ButtonText, kYellow);
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

QToolBar* band(QWidget* parent, const char* name, const QString& caption) {
    auto* bar = new QToolBar(parent);
    bar->setObjectName(name);
    bar->setIconSize(QSize(20, 20));
    bar->setMovable(false);
    bar->setFloatable(false);
    if (!caption.isEmpty()) {
        auto* label = new QLabel(caption, bar);
        label->setContentsMargins(4, 0, 4, 0);
        bar->addWidget(label);
    }
    return bar;
}

} // namespace

TFPanelSignal::TFPanelSignal(QWidget* parent) : QMainWindow(parent) {
    FPanelSignal = this;
    setObjectName("FPanelSignal");
    setWindowIcon(applicationIcon());
    buildMenus();
    buildCoolBar();
    buildFileList();
    buildPanes();
    buildStatusBars();
    buildTray();
    buildTimers();

    auto* central = new QWidget(this);
    auto* v = new QVBoxLayout(central);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);
    v->addWidget(CoolBar1);
    Splitter3 = new QSplitter(Qt::Horizontal, central);
    Splitter3->setObjectName("Splitter3");
    Splitter3->addWidget(PanelFileList);
    Splitter3->addWidget(PanelSignal);
    Splitter3->setStretchFactor(1, 1);
    Splitter3->setChildrenCollapsible(false);
    v->addWidget(Splitter3, 1);
    v->addWidget(Status0);
    v->addWidget(Status1);
    v->addWidget(StatusDir1);
    setCentralWidget(central);

    // The space bar acts from these controls as from the window itself.
    for (QWidget* w :
         std::initializer_list<QWidget*>{ScrollSignal, SelectClearSpeech, UseFFTEQ, ShowSTATEVAD,
                                         ShowClearSig, DirList, FileList, DriveComboBox1})
        w->installEventFilter(this);

    FormCreate();
}

TFPanelSignal::~TFPanelSignal() {
    FormDestroy();
    if (FPanelSignal == this)
        FPanelSignal = nullptr;
}

// ---------------------------------------------------------------------------
// Layout

QToolButton* TFPanelSignal::toolButton(QToolBar* bar, const char* name, const QString& hint,
                                       int image, void (TFPanelSignal::*handler)()) {
    auto* b = new QToolButton(bar);
    b->setObjectName(name);
    b->setToolTip(hint);
    b->setIcon(buttonImage(image));
    b->setAutoRaise(true);
    bar->addWidget(b);
    connect(b, &QToolButton::clicked, this, [this, handler] { (this->*handler)(); });
    return b;
}

QToolButton* TFPanelSignal::textButton(QToolBar* bar, const char* name, const QString& caption,
                                       const QString& hint, void (TFPanelSignal::*handler)()) {
    auto* b = new QToolButton(bar);
    b->setObjectName(name);
    b->setText(caption);
    b->setToolTip(hint);
    b->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addWidget(b);
    connect(b, &QToolButton::clicked, this, [this, handler] { (this->*handler)(); });
    return b;
}

void TFPanelSignal::buildCoolBar() {
    CoolBar1 = new QWidget(this);
    CoolBar1->setObjectName("CoolBar1");
    // Two rows of bands, so that every button stays in reach on a narrow screen.
    auto* rows = new QVBoxLayout(CoolBar1);
    rows->setContentsMargins(2, 2, 2, 2);
    rows->setSpacing(0);
    auto* row = new QHBoxLayout;
    auto* row2 = new QHBoxLayout;
    row->setSpacing(6);
    row2->setSpacing(6);
    rows->addLayout(row);
    rows->addLayout(row2);

    ToolBar2 = band(CoolBar1, "ToolBar2", "Original:");
    tOpen = toolButton(ToolBar2, "tOpen", "Open sound file", ImgOpen, &TFPanelSignal::tOpenClick);
    tSave = toolButton(ToolBar2, "tSave", "Save all", ImgSave, &TFPanelSignal::tSaveClick);
    tSaveSelection = toolButton(ToolBar2, "tSaveSelection", "Save Selection", ImgSaveSelection,
                                &TFPanelSignal::tSaveSelectionClick);
    tCut = toolButton(ToolBar2, "tCut", "Cut", ImgCut, &TFPanelSignal::tCutClick);
    tPlayAll = toolButton(ToolBar2, "tPlayAll", "Play original signal", ImgPlay,
                          &TFPanelSignal::tPlayAllClick);
    tPlayLoopedAll = toolButton(ToolBar2, "tPlayLoopedAll", "Play Looped original signal",
                                ImgPlayLoop, &TFPanelSignal::tPlayLoopedAllClick);
    tRecord =
        toolButton(ToolBar2, "tRecord", "Start record", ImgRecord, &TFPanelSignal::tRecordClick);
    tStop = toolButton(ToolBar2, "tStop", "Stop", ImgStop, &TFPanelSignal::tStopClick);
    tDuplex = toolButton(ToolBar2, "tDuplex", "Start recording with Playback (Full duplex mode)",
                         ImgDuplex, &TFPanelSignal::tDuplexClick);
    tOptions = toolButton(ToolBar2, "tOptions", "System Configuration", ImgOptions,
                          &TFPanelSignal::tOptionsClick);
    // A tool bar shows a hidden widget through its action.
    for (QToolButton* hidden : {tStop, tDuplex})
        for (QAction* a : ToolBar2->actions())
            if (ToolBar2->widgetForAction(a) == hidden)
                a->setVisible(false);

    Image1 = new QLabel(CoolBar1);
    Image1->setObjectName("Image1");
    Image1->setPixmap(logoPixmap(26));
    Image1->setFixedSize(Image1->pixmap().size());
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->installEventFilter(this);

    ToolBar7 = band(CoolBar1, "ToolBar7", "Process:");
    bInitSV = textButton(ToolBar7, "bInitSV", "Init", "", &TFPanelSignal::bInitSVClick);
    bStart = textButton(ToolBar7, "bStart", "START", "Start process noise cancellation",
                        &TFPanelSignal::bStartClick);
    bEnabledPr = textButton(ToolBar7, "bEnabledPr", "Disabled", "Click to Enabled process",
                            &TFPanelSignal::bEnabledPrClick);
    bEnabledPr->setCheckable(true);
    // The handler does the toggling; a click must not toggle twice.
    disconnect(bEnabledPr, &QToolButton::clicked, this, nullptr);
    connect(bEnabledPr, &QToolButton::clicked, this, [this] {
        bEnabledPr->setChecked(!bEnabledPr->isChecked());
        bEnabledPrClick();
    });
    tOptions2 = toolButton(ToolBar7, "tOptions2", "Show options", ImgOptions,
                           &TFPanelSignal::tOptions2Click);
    for (QAction* a : ToolBar7->actions())
        if (ToolBar7->widgetForAction(a) == bInitSV)
            a->setVisible(false);
    QFont bold = bStart->font();
    bold.setBold(true);
    bStart->setFont(bold);
    bStart->setMinimumWidth(56);
    bEnabledPr->setMinimumWidth(64);

    ToolBar4 = band(CoolBar1, "ToolBar4", "Control:");
    ToolBar4->installEventFilter(this);
    SelectClearSpeech = new QCheckBox("Select the clear speech", ToolBar4);
    SelectClearSpeech->setObjectName("SelectClearSpeech");
    SelectClearSpeech->setChecked(true);
    ToolBar4->addWidget(SelectClearSpeech);
    UseFFTEQ = new QCheckBox("Use Graphic Equalizer", ToolBar4);
    UseFFTEQ->setObjectName("UseFFTEQ");
    ToolBar4->addWidget(UseFFTEQ);
    connect(SelectClearSpeech, &QCheckBox::clicked, this, [this] { SelectClearSpeechClick(); });
    connect(UseFFTEQ, &QCheckBox::clicked, this, [this] { UseFFTEQClick(); });

    ToolBar1 = band(CoolBar1, "ToolBar1", "Changed:");
    tOpenNew =
        toolButton(ToolBar1, "tOpenNew", "Open sound file", ImgOpen, &TFPanelSignal::tOpenNewClick);
    tSaveNew = toolButton(ToolBar1, "tSaveNew", "Save all", ImgSave, &TFPanelSignal::tSaveNewClick);
    tSaveNewSelection = toolButton(ToolBar1, "tSaveNewSelection", "Save Selection",
                                   ImgSaveSelection, &TFPanelSignal::tSaveNewSelectionClick);
    tCutNew = toolButton(ToolBar1, "tCutNew", "Cut", ImgCut, &TFPanelSignal::tCutNewClick);
    tPlayNewAll = toolButton(ToolBar1, "tPlayNewAll", "Play changer signal", ImgPlay,
                             &TFPanelSignal::tPlayNewAllClick);
    tPlayLoopedNewAll = toolButton(ToolBar1, "tPlayLoopedNewAll", "Play Looped changer signal",
                                   ImgPlayLoop, &TFPanelSignal::tPlayLoopedNewAllClick);

    ToolBar6 = band(CoolBar1, "ToolBar6", "Auto:");
    bAuto = textButton(ToolBar6, "bAuto", "AUTO", "Launch automatic process of noise cancellation",
                       &TFPanelSignal::bAutoClick);
    bAuto->setFont(bold);
    tSetDirSaveNew =
        toolButton(ToolBar6, "tSetDirSaveNew", "Set directory for saving of results files",
                   ImgFolder, &TFPanelSignal::tSetDirSaveNewClick);
    ToolButton14 = toolButton(ToolBar6, "ToolButton14", "Show system configuration", ImgOptions,
                              &TFPanelSignal::ToolButton14Click);

    row->addWidget(ToolBar2);
    row->addWidget(Image1);
    row->addWidget(ToolBar7);
    row->addStretch(1);
    row2->addWidget(ToolBar4);
    row2->addWidget(ToolBar1);
    row2->addWidget(ToolBar6);
    row2->addStretch(1);
}

void TFPanelSignal::buildFileList() {
    PanelFileList = new QWidget(this);
    PanelFileList->setObjectName("PanelFileList");
    auto* v = new QVBoxLayout(PanelFileList);
    v->setContentsMargins(2, 2, 2, 2);
    v->setSpacing(2);

    DriveComboBox1 = new QComboBox(PanelFileList);
    DriveComboBox1->setObjectName("DriveComboBox1");
    for (const QStorageInfo& vol : QStorageInfo::mountedVolumes()) {
        if (!vol.isValid() || !vol.isReady())
            continue;
        const QString root = vol.rootPath();
        DriveComboBox1->addItem(root.toUpper(), root);
    }
    if (DriveComboBox1->findData(QDir::rootPath()) < 0)
        DriveComboBox1->insertItem(0, QDir::rootPath(), QDir::rootPath());
    v->addWidget(DriveComboBox1);

    fileListSplitter = new QSplitter(Qt::Vertical, PanelFileList);
    dirModel = new QFileSystemModel(this);
    dirModel->setFilter(QDir::AllDirs | QDir::NoDotAndDotDot);
    dirModel->setRootPath(QDir::rootPath());
    DirList = new QTreeView(fileListSplitter);
    DirList->setObjectName("DirList");
    DirList->setToolTip("Set directory of the speech data base");
    DirList->setModel(dirModel);
    for (int c = 1; c < dirModel->columnCount(); ++c)
        DirList->hideColumn(c);
    DirList->header()->hide();

    fileModel = new QFileSystemModel(this);
    fileModel->setFilter(QDir::Files);
    QStringList patterns;
    for (const std::string& p : soundfile::soundFileNamePatterns())
        patterns << QString::fromStdString(p);
    fileModel->setNameFilters(patterns);
    fileModel->setNameFilterDisables(false);
    FileList = new QListView(fileListSplitter);
    FileList->setObjectName("FileList");
    FileList->setModel(fileModel);
    fileListSplitter->addWidget(DirList);
    fileListSplitter->addWidget(FileList);
    v->addWidget(fileListSplitter, 1);

    connect(DriveComboBox1, qOverload<int>(&QComboBox::activated), this,
            [this](int i) { DirListChange(DriveComboBox1->itemData(i).toString()); });
    connect(DirList, &QTreeView::clicked, this, [this](const QModelIndex& idx) {
        treeTarget.clear();
        DirListChange(dirModel->filePath(idx));
    });
    // Rows read or sorted later (the model does both in the background) move
    // the directory the program showed: it is brought back into view, once
    // for each burst of changes.
    auto follow = [this] {
        if (treeTarget.isEmpty() || treeFollowQueued)
            return;
        treeFollowQueued = true;
        QTimer::singleShot(0, this, [this] {
            treeFollowQueued = false;
            if (treeTarget.isEmpty())
                return;
            treeShowing = true;
            DirList->scrollTo(dirModel->index(treeTarget));
            treeShowing = false;
        });
    };
    connect(dirModel, &QFileSystemModel::directoryLoaded, this, follow);
    connect(dirModel, &QAbstractItemModel::rowsInserted, this, follow);
    connect(dirModel, &QAbstractItemModel::layoutChanged, this, follow);
    // Once the user moves the tree, it stays where the user put it.
    auto release = [this] {
        if (!treeShowing)
            treeTarget.clear();
    };
    connect(DirList, &QTreeView::expanded, this, release);
    connect(DirList, &QTreeView::collapsed, this, release);
    connect(DirList->verticalScrollBar(), &QScrollBar::actionTriggered, this, release);
    connect(DirList->selectionModel(), &QItemSelectionModel::currentChanged, this, release);
    connect(FileList, &QListView::clicked, this, [this](const QModelIndex&) { FileListClick(); });
    DirListChange(QDir::currentPath());
}

void TFPanelSignal::setDriveFromDirectory(const QString& dir) {
    QString best;
    int bestIndex = -1;
    for (int i = 0; i < DriveComboBox1->count(); ++i) {
        QString root = DriveComboBox1->itemData(i).toString();
        if (dir.startsWith(root) && root.size() > best.size()) {
            best = root;
            bestIndex = i;
        }
    }
    if (bestIndex >= 0)
        DriveComboBox1->setCurrentIndex(bestIndex);
}

void TFPanelSignal::DirListChange(const QString& dir) {
    QModelIndex idx = dirModel->index(dir);
    treeShowing = true;
    // The branch the program opened before (the start directory, say) is
    // folded again when the user has not used it: rows read there later
    // would push the new directory out of view.
    if (!treeTarget.isEmpty())
        for (QModelIndex i = dirModel->index(treeTarget); i.isValid(); i = i.parent())
            if (!isSameOrInside(dir, dirModel->filePath(i)))
                DirList->collapse(i);
    treeTarget.clear();
    if (idx.isValid()) {
        DirList->setCurrentIndex(idx);
        DirList->scrollTo(idx);
        DirList->expand(idx);
        treeTarget = dirModel->filePath(idx);
    }
    treeShowing = false;
    setDriveFromDirectory(dir);
    FileList->setRootIndex(fileModel->setRootPath(dir));
    FileList->clearSelection();
    // The current row belonged to the old directory; a batch starts from the new list's first file.
    FileList->setCurrentIndex(QModelIndex());
}

void TFPanelSignal::buildPanes() {
    PanelSignal = new QWidget(this);
    PanelSignal->setObjectName("PanelSignal");
    paintBlack(PanelSignal);
    auto* v = new QVBoxLayout(PanelSignal);
    v->setContentsMargins(0, 0, 0, 0);
    v->setSpacing(0);

    ScrollBox1 = new QScrollArea(PanelSignal);
    ScrollBox1->setObjectName("ScrollBox1");
    ScrollBox1->setWidgetResizable(true);
    ScrollBox1->setFrameShape(QFrame::NoFrame);
    paintBlack(ScrollBox1);
    scrollContent = new QWidget;
    paintBlack(scrollContent);
    auto* panes = new QVBoxLayout(scrollContent);
    panes->setContentsMargins(0, 0, 0, 0);
    panes->setSpacing(0);

    auto paneBar = [&](const char* name, QLabel*& label, const char* labelName,
                       const QString& caption) {
        QToolBar* bar = band(scrollContent, name, QString());
        bar->setIconSize(QSize(16, 16));

        label = new QLabel(caption, bar);
        label->setObjectName(labelName);
        paintCaption(label);
        return bar;
    };
    auto pane = [&](const char* name) {
        auto* p = new gui::PaintBox(scrollContent);
        p->setObjectName(name);
        p->setToolTip("Click Right button for playback");
        p->setMinimumHeight(70);
        QPalette pal = p->palette();
        pal.setColor(QPalette::WindowText, kYellow);
        p->setPalette(pal);
        return p;
    };

    ToolBar8 = paneBar("ToolBar8", LabelOrigL, "LabelOrigL", "  Original(L-channel)");
    tPlay0 = toolButton(ToolBar8, "tPlay0", "Play", ImgPlay, &TFPanelSignal::tPlay0Click);
    tSaveL = toolButton(ToolBar8, "tSaveL", "Save signal from the Left channel", ImgSave,
                        &TFPanelSignal::tSaveLClick);
    tCutL = toolButton(ToolBar8, "tCutL", "Cut", ImgCut, &TFPanelSignal::tCutLClick);
    ToolBar8->addWidget(LabelOrigL);
    ShowSTATEVAD = new QCheckBox("Show VAD", ToolBar8);
    ShowSTATEVAD->setObjectName("ShowSTATEVAD");
    paintCaption(ShowSTATEVAD);
    // The voice-activity strip is worth seeing: the box is shown.
    ToolBar8->addWidget(ShowSTATEVAD);
    connect(ShowSTATEVAD, &QCheckBox::clicked, this, [this] { ShowSTATEVADClick(); });
    tSpectrogram = new QToolButton(ToolBar8);
    tSpectrogram->setObjectName("tSpectrogram");
    paintCaption(tSpectrogram);
    tSpectrogram->setDefaultAction(mSpectrogram);
    ToolBar8->addWidget(tSpectrogram);
    grSig0 = pane("grSig0");

    ToolBar13 = paneBar("ToolBar13", LabelOrigR, "LabelOrigR", "  Original(R-channel)");
    tPlay1 = toolButton(ToolBar13, "tPlay1", "Play", ImgPlay, &TFPanelSignal::tPlay1Click);
    tSaveR = toolButton(ToolBar13, "tSaveR", "Save signal from the Right channel", ImgSave,
                        &TFPanelSignal::tSaveRClick);
    tCutR = toolButton(ToolBar13, "tCutR", "Cut", ImgCut, &TFPanelSignal::tCutRClick);
    ToolBar13->addWidget(LabelOrigR);
    grSig1 = pane("grSig1");

    ToolBar10 = paneBar("ToolBar10", LabelChangL, "LabelChangL", "  Changed(L-channel)");
    tPlayNew0 = toolButton(ToolBar10, "tPlayNew0", "Play", ImgPlay, &TFPanelSignal::tPlayNew0Click);
    tSaveNewL = toolButton(ToolBar10, "tSaveNewL", "Save clear signal from the Left channel",
                           ImgSave, &TFPanelSignal::tSaveNewLClick);
    tCutNewL = toolButton(ToolBar10, "tCutNewL", "Cut", ImgCut, &TFPanelSignal::tCutNewLClick);
    SpeedButton5 =
        textButton(ToolBar10, "SpeedButton5", "Copy", "Copy from Right channel to Left channel",
                   &TFPanelSignal::SpeedButton5Click);
    ToolBar10->addWidget(LabelChangL);
    ShowClearSig = new QCheckBox("Show Clearing signal", ToolBar10);
    ShowClearSig->setObjectName("ShowClearSig");
    ShowClearSig->setChecked(true);
    paintCaption(ShowClearSig);
    ToolBar10->addWidget(ShowClearSig);
    connect(ShowClearSig, &QCheckBox::clicked, this, [this] { ShowClearSigClick(); });
    labelDTime = new QLabel("Time process: ", ToolBar10);
    labelDTime->setObjectName("labelDTime");
    paintCaption(labelDTime);
    ToolBar10->addWidget(labelDTime);
    grSigNew0 = pane("grSigNew0");

    ToolBar14 = paneBar("ToolBar14", LabelChangR, "LabelChangR", "  Changed(R-channel)");
    tPlayNew1 = toolButton(ToolBar14, "tPlayNew1", "Play", ImgPlay, &TFPanelSignal::tPlayNew1Click);
    tSaveNewR = toolButton(ToolBar14, "tSaveNewR", "Save signal from the Right channel", ImgSave,
                           &TFPanelSignal::tSaveNewRClick);
    tOpenNewR = toolButton(ToolBar14, "tOpenNewR", "Open sound file", ImgOpen,
                           &TFPanelSignal::tOpenNewRClick);
    tCutNewR = toolButton(ToolBar14, "tCutNewR", "Cut", ImgCut, &TFPanelSignal::tCutNewRClick);
    SpeedButton2 =
        textButton(ToolBar14, "SpeedButton2", "Copy", "Copy from Left channel to Right channel",
                   &TFPanelSignal::SpeedButton2Click);
    bMixNew =
        textButton(ToolBar14, "bMixNew", "Mix",
                   "To mix the Left and Right channels by using to the chosen mixing method.\r\n"
                   "Result to keep in the Right channel.",
                   &TFPanelSignal::bMixNewClick);
    ToolBar14->addWidget(LabelChangR);
    grSigNew1 = pane("grSigNew1");

    for (auto [bar, box] : {std::pair{ToolBar8, grSig0}, std::pair{ToolBar13, grSig1},
                            std::pair{ToolBar10, grSigNew0}, std::pair{ToolBar14, grSigNew1}}) {
        panes->addWidget(bar);
        panes->addWidget(box, 1);
    }
    grSig0->onPaint = [this](QPainter& p) { grSig0Paint(p); };
    grSig1->onPaint = [this](QPainter& p) { grSig1Paint(p); };
    grSigNew0->onPaint = [this](QPainter& p) { grSigNew0Paint(p); };
    grSigNew1->onPaint = [this](QPainter& p) { grSigNew1Paint(p); };
    grSig0->onMouseDown = [this](Qt::MouseButton b, int x, int y) { grSig0MouseDown(b, x, y); };
    grSig1->onMouseDown = [this](Qt::MouseButton b, int x, int y) { grSig1MouseDown(b, x, y); };
    grSigNew0->onMouseDown = [this](Qt::MouseButton b, int x, int y) {
        grSigNew0MouseDown(b, x, y);
    };
    grSigNew1->onMouseDown = [this](Qt::MouseButton b, int x, int y) {
        grSigNew1MouseDown(b, x, y);
    };
    grSig0->onMouseMove = [this](Qt::MouseButtons b, int x, int y) { grSig0MouseMove(b, x, y); };
    grSig1->onMouseMove = [this](Qt::MouseButtons b, int x, int y) { grSig1MouseMove(b, x, y); };
    grSigNew0->onMouseMove = [this](Qt::MouseButtons b, int x, int y) {
        grSigNew0MouseMove(b, x, y);
    };
    grSigNew1->onMouseMove = [this](Qt::MouseButtons b, int x, int y) {
        grSigNew1MouseMove(b, x, y);
    };
    grSig0->installEventFilter(this); // its resize refreshes the panes
    ScrollBox1->setWidget(scrollContent);
    ScrollBox1->viewport()->installEventFilter(this);
    v->addWidget(ScrollBox1, 1);

    Panel4 = new QWidget(PanelSignal);
    Panel4->setObjectName("Panel4");
    auto* h = new QHBoxLayout(Panel4);
    h->setContentsMargins(2, 2, 2, 2);
    h->setSpacing(4);
    auto* zoomBar = new QToolBar(Panel4);
    ZoomOutY =
        textButton(zoomBar, "ZoomOutY", "Zoom Out Y", "Zoom Out Y", &TFPanelSignal::ZoomOutYClick);
    Zoom_Y = new gui::UpDown(Panel4);
    Zoom_Y->setObjectName("Zoom_Y");
    Zoom_Y->min = 1;
    Zoom_Y->position = 1;
    LabZoomY = new QLabel("1:1", Panel4);
    LabZoomY->setObjectName("LabZoomY");
    LabZoomY->setMinimumWidth(48);
    ScrollSignal = new QScrollBar(Qt::Horizontal, Panel4);
    ScrollSignal->setObjectName("ScrollSignal");
    ScrollSignal->setRange(0, 2000);
    ScrollSignal->setPageStep(0);
    ScrollSignal->setFocusPolicy(Qt::StrongFocus);
    Zoom_X = new gui::UpDown(Panel4);
    Zoom_X->setObjectName("Zoom_X");
    Zoom_X->min = 1;
    Zoom_X->max = 32760;
    Zoom_X->position = 1;
    LabZoomX = new QLabel("1:1", Panel4);
    LabZoomX->setObjectName("LabZoomX");
    LabZoomX->setMinimumWidth(48);
    auto* zoomBar2 = new QToolBar(Panel4);
    SpeedButton1 =
        textButton(zoomBar2, "SpeedButton1", "+", "Increase", &TFPanelSignal::SpeedButton1Click);
    SpeedButton4 =
        textButton(zoomBar2, "SpeedButton4", "-", "Decrease", &TFPanelSignal::SpeedButton4Click);
    for (QAction* a : zoomBar2->actions())
        a->setVisible(false);
    ZoomOut = textButton(zoomBar2, "ZoomOut", "Zoom Out", "Zoom Out", &TFPanelSignal::ZoomOutClick);
    h->addWidget(zoomBar);
    h->addWidget(Zoom_Y);
    h->addWidget(LabZoomY);
    h->addWidget(ScrollSignal, 1);
    h->addWidget(Zoom_X);
    h->addWidget(LabZoomX);
    h->addWidget(zoomBar2);
    v->addWidget(Panel4);

    connect(Zoom_X, &gui::UpDown::clicked, this, [this](bool next) { Zoom_XClick(next); });
    connect(Zoom_Y, &gui::UpDown::clicked, this, [this](bool next) { Zoom_YClick(next); });
    connect(ScrollSignal, &QScrollBar::valueChanged, this, [this] { PanelSignalResize(); });
}

void TFPanelSignal::buildStatusBars() {
    const std::vector<int> widths{250, 90, 150, 180, 180};
    const QStringList texts{"File:", "", "Title: 0 ms/0", "Start: 0 ms/0", "Length: 0 ms/0"};
    Status0 = new StatusBar(widths, texts, this);
    Status0->setObjectName("Status0");
    Status0->setToolTip("Original file");
    Status1 = new StatusBar(widths, texts, this);
    Status1->setObjectName("Status1");
    Status1->setToolTip("Changed file");
    StatusDir1 = new StatusBar({1000}, {"Dir:"}, this);
    // The panel widths are fixed; a compact font keeps their texts whole.
    for (StatusBar* bar : {Status0, Status1, StatusDir1}) {
        QFont f = bar->font();
        f.setPixelSize(11);
        bar->setFont(f);
    }
    StatusDir1->setObjectName("StatusDir1");
    StatusDir1->setToolTip("Double click to reset directory for the results files");
    StatusDir1->onDoubleClick = [this] {
        if (StatusDir1->isEnabled())
            tSetDirSaveNewClick();
    };
}

void TFPanelSignal::buildMenus() {
    QMenu* file = menuBar()->addMenu("&File");
    mOpen = file->addAction("Open", this, [this] { tOpenClick(); });
    mSaveAs = file->addAction("Save as...", this, [this] { tSaveClick(); });
    mSaveSelection = file->addAction("Save Selection...", this, [this] { tSaveSelectionClick(); });
    file->addSeparator();
    mOpenChanged = file->addAction("Open changed...", this, [this] { tOpenNewClick(); });
    mSaveChangedAs = file->addAction("Save changed as ...", this, [this] { tSaveNewClick(); });
    mSaveChangedSelection =
        file->addAction("Save changed Selection...", this, [this] { tSaveNewSelectionClick(); });
    file->addSeparator();
    mClose = file->addAction("Close", this, [this] { Close1Click(); });

    QMenu* edit = menuBar()->addMenu("&Edit");
    mOptions = edit->addAction("Options", this, [this] { tOptionsClick(); });
    edit->addSeparator();
    mCutOriginal = edit->addAction("Cut original", this, [this] { tCutClick(); });
    mCutClear = edit->addAction("Cut clear", this, [this] { tCutNewClick(); });

    QMenu* view = menuBar()->addMenu("&View");
    ShowFileList = view->addAction("Show File List");
    ShowFileList->setCheckable(true);
    ShowFileList->setChecked(true);
    // The handler toggles the check mark itself.
    connect(ShowFileList, &QAction::triggered, this, [this] {
        ShowFileList->setChecked(!ShowFileList->isChecked()); // undo Qt's own toggle
        ShowFileListClick();
    });

    mSpectrogram = view->addAction("Spectrogram");
    mSpectrogram->setCheckable(true);
    connect(mSpectrogram, &QAction::triggered, this, [this] { SpectrogramClick(); });
    mLogFrequency = view->addAction("Logarithmic frequency scale");
    mLogFrequency->setCheckable(true);
    connect(mLogFrequency, &QAction::triggered, this, [this] { SpectrogramClick(); });

    QMenu* help = menuBar()->addMenu("&Help");
    mAbout = help->addAction("About ...", this, [this] { About1Click(); });
}

void TFPanelSignal::buildTray() {
    PopupMenu1 = new QMenu(this);
    mDuplex = PopupMenu1->addAction("Start Record with Playback", this, [this] { tDuplexClick(); });
    PopupMenu1->addSeparator();
    mStatusProcess =
        PopupMenu1->addAction("Process are disabled", this, [this] { bEnabledPrClick(); });
    PopupMenu1->addSeparator();
    mShowParameters = PopupMenu1->addAction("Show parameters", this, [this] { tOptionsClick(); });
    mSelectClearSpeech = PopupMenu1->addAction("Select the clear speech");
    mSelectClearSpeech->setCheckable(true);
    mSelectClearSpeech->setChecked(true);
    // The handler toggles the check mark itself.
    connect(mSelectClearSpeech, &QAction::triggered, this, [this] {
        mSelectClearSpeech->setChecked(!mSelectClearSpeech->isChecked()); // undo Qt's own toggle
        mSelectClearSpeechClick();
    });
    PopupMenu1->addSeparator();
    mExit = PopupMenu1->addAction("Exit", this, [this] { Close1Click(); });

    TrayIcon1 = new QSystemTrayIcon(applicationIcon(), this);
    TrayIcon1->setObjectName("TrayIcon1");
    TrayIcon1->setToolTip("Quorvex laboratory");
    TrayIcon1->setContextMenu(PopupMenu1);
    connect(TrayIcon1, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason r) {
                if (r == QSystemTrayIcon::Trigger) {
                    showNormal();
                    TrayIcon1Click();
                }
            });
    if (QSystemTrayIcon::isSystemTrayAvailable())
        TrayIcon1->show();
}

void TFPanelSignal::buildTimers() {
    auto timer = [this](const char* name, int ms, void (TFPanelSignal::*handler)()) {
        auto* t = new QTimer(this);
        t->setObjectName(name);
        t->setInterval(ms);
        connect(t, &QTimer::timeout, this, [this, handler] { (this->*handler)(); });
        return t;
    };
    TimerRec = timer("TimerRec", 100, &TFPanelSignal::TimerRecTimer);
    TimerPlayPos = timer("TimerPlayPos", 10, &TFPanelSignal::TimerPlayPosTimer);
    TimerSV = timer("TimerSV", 1, &TFPanelSignal::TimerSVTimer);
    TimerRecord = timer("TimerRecord", 10, &TFPanelSignal::TimerRecordTimer);
    TimerPlay = timer("TimerPlay", 10, &TFPanelSignal::TimerPlayTimer);
}

// ---------------------------------------------------------------------------
// Lifecycle

void TFPanelSignal::FormCreate() {
    setWindowTitle("Quorvex's Silvane");
    decodedFrames = 0;
    player.sampleRate = 8000;
    setWorkMode(WorkStartup);
    samplesPerMs = samplesPerMsFor(player.sampleRate);
    fullScale = 32768;
    origAmpZoom = changedAmpZoom = timeZoom = 1.0;
    processStopped = true;
    const QRect screen = QGuiApplication::primaryScreen()
                             ? QGuiApplication::primaryScreen()->geometry()
                             : QRect(0, 0, 1280, 800);
    setGeometry(0, 0, screen.width(), std::min(600, screen.height()));
    PanelFileList->setVisible(ShowFileList->isChecked());
    origOpenDir.clear();
    origSaveDir.clear();
    changedOpenDir.clear();
    changedSaveDir.clear();
    changedPaneActive = 0;
    formActivated = false;
    // The blocks' state before any start: 8000 Hz, method 0, -20 dB. Every
    // start re-creates them with the configured parameters.
    processing::EngineParameters creation;
    creation.method = 0;
    creation.limitDb = -20.0f;
    processing::restartEngines(processing::engineSettingsAt(8000, creation));
}

void TFPanelSignal::FormActivate() {
    const KeptWindowState k = keptWindowState();
    setGeometry(k.left, k.top, k.width, k.height);
    if (PanelFileList->isVisible())
        Splitter3->setSizes({k.fileListWidth, std::max(1, width() - k.fileListWidth)});
    const bool clear = configSelectClearSpeech();
    if (SelectClearSpeech->isChecked() != clear) {
        SelectClearSpeech->setChecked(clear);
        SelectClearSpeechClick();
    }
    mSelectClearSpeech->setChecked(clear);
    if (UseFFTEQ->isChecked() != k.useEqualizer) {
        UseFFTEQ->setChecked(k.useEqualizer);
        UseFFTEQClick();
    }
    if (ShowClearSig->isChecked() != k.showClearSignal) {
        ShowClearSig->setChecked(k.showClearSignal);
        ShowClearSigClick();
    }
    if (k.showFileList != ShowFileList->isChecked())
        ShowFileListClick();
    if (k.processEnabled != bEnabledPr->isChecked())
        bEnabledPrClick();
    if (processing::batchwindows::FSetDirectory) {
        if (!k.outputDir.empty() && processing::batchwindows::FSetDirectory->chosenDir.empty())
            processing::batchwindows::FSetDirectory->applyDirectory(k.outputDir);
        if (!processing::batchwindows::FSetDirectory->chosenDir.empty())
            StatusDir1->setPanelText(
                0, "Dir: " + processing::batchwindows::FSetDirectory->Label_Dir->text());
    }
    formActivated = true;
}

namespace {
KeptWindowState currentState(TFPanelSignal* w) {
    KeptWindowState k;
    const QRect g = w->geometry();
    k.left = g.x();
    k.top = g.y();
    k.width = g.width();
    k.height = g.height();
    k.fileListWidth = w->PanelFileList->width();
    k.useEqualizer = w->UseFFTEQ->isChecked();
    k.showClearSignal = w->ShowClearSig->isChecked();
    k.showFileList = w->ShowFileList->isChecked();
    k.processEnabled = w->bEnabledPr->isChecked();
    return k;
}
} // namespace

void TFPanelSignal::FormDeactivate() {
    KeptWindowState k = currentState(this);
    if (processing::batchwindows::FSetDirectory)
        k.outputDir = processing::batchwindows::FSetDirectory->chosenDir;
    keepWindowState(k, true);
}

void TFPanelSignal::FormClose() {
    keepWindowState(currentState(this), false);
    keepSelectClearSpeech(SelectClearSpeech->isChecked());
}

void TFPanelSignal::FormDestroy() {
    if (destroyed_)
        return;
    destroyed_ = true;
    closeSoundDevices();
    for (processing::EngineBlock& b : processing::engineStates)
        Veldra_Destroyed(b.bytes);
    releaseHeapBuffers();
}

QList<QObject*> TFPanelSignal::signalCommands() const {
    return {Zoom_X,
            Zoom_Y,
            ScrollSignal,
            tPlayAll,
            tPlay0,
            tPlay1,
            tPlayNew0,
            tPlayNew1,
            tPlayNewAll,
            tPlayLoopedAll,
            tPlayLoopedNewAll,
            tCut,
            tCutL,
            tCutR,
            tCutNew,
            tCutNewL,
            tCutNewR,
            mCutOriginal,
            mCutClear,
            mSaveAs,
            mSaveChangedAs,
            tSave,
            tSaveL,
            tSaveR,
            tSaveNew,
            tSaveNewL,
            tSaveNewR,
            mSaveSelection,
            mSaveChangedSelection,
            tSaveSelection,
            tSaveNewSelection,
            mOpenChanged,
            tOpenNew,
            tOpenNewR,
            bStart};
}

void TFPanelSignal::setWorkMode(int mode) {
    workMode = uint8_t(mode);
    bool enable;
    if (mode == WorkStartup || mode == WorkDuplex)
        enable = false;
    else if (mode == WorkReady)
        enable = true;
    else
        return;
    for (QObject* o : signalCommands()) {
        if (auto* w = qobject_cast<QWidget*>(o))
            w->setEnabled(enable);
        else if (auto* a = qobject_cast<QAction*>(o))
            a->setEnabled(enable);
    }
}

void TFPanelSignal::FormKeyDown(int key) {
    if (key != Qt::Key_Space || workMode == WorkRecording)
        return;
    switch (workMode) {
    case WorkPlayOnce:
    case WorkReady:
        if (changedPaneActive == 0)
            tPlayAllClick();
        else
            tPlayNewAllClick();
        break;
    case WorkPlayLoop:
        if (changedPaneActive == 0)
            tPlayLoopedAllClick();
        else
            tPlayLoopedNewAllClick();
        break;
    default:
        break;
    }
}

void TFPanelSignal::ShowFileListClick() {
    ShowFileList->setChecked(!ShowFileList->isChecked());
    const bool shown = ShowFileList->isChecked();
    PanelFileList->setVisible(shown);
    Splitter3->handle(1)->setVisible(shown);
    PanelSignalResize();
    keepShowFileList(shown);
    StatusDir1->setEnabled(shown);
    bAuto->setEnabled(shown);
    tSetDirSaveNew->setEnabled(shown);
}

void TFPanelSignal::showFormatText(StatusBar* bar, uint32_t rate, uint32_t channels,
                                   uint32_t bits) {
    bar->setPanelText(1, QString::fromStdString(display::formatText(rate, channels, bits)));
}

void TFPanelSignal::showLengthText(StatusBar* bar, int32_t length) {
    bar->setPanelText(2, QString::fromStdString(display::titleText(length, samplesPerMs)));
}

void TFPanelSignal::showSignalStatus(StatusBar* bar, uint32_t rate, uint32_t channels,
                                     uint32_t bits, int32_t length) {
    showFormatText(bar, rate, channels, bits);
    showLengthText(bar, length);
}

void TFPanelSignal::setScrollLength(int32_t length) {
    QSignalBlocker block(ScrollSignal);
    ScrollSignal->setMaximum(std::max(1, length / 10));
}

void TFPanelSignal::ToolBar4DblClick() {
    for (QAction* a : ToolBar2->actions())
        if (ToolBar2->widgetForAction(a) == tDuplex)
            a->setVisible(true);
}

void TFPanelSignal::tOptionsClick() {
    showConfiguration(0);
}
void TFPanelSignal::ToolButton14Click() {
    showConfiguration(1);
}
void TFPanelSignal::tOptions2Click() {
    showConfiguration(2);
}

void TFPanelSignal::applyFocusRule() {
    if (formActivated &&
        (workMode == WorkPlayOnce || workMode == WorkPlayLoop || workMode == WorkReady))
        ScrollSignal->setFocus();
}

void TFPanelSignal::TrayIcon1Click() {
    show();
    raise();
    activateWindow();
}

void TFPanelSignal::Close1Click() {
    if (workMode == WorkDuplex)
        tDuplexClick();
    close();
}

void TFPanelSignal::About1Click() {
    if (config::FAbout) {
        config::FAbout->show();
        config::FAbout->raise();
    }
}

// ---------------------------------------------------------------------------
// Events

bool TFPanelSignal::event(QEvent* e) {
    if (e->type() == platform::WaveMessage::eventType()) {
        auto* m = static_cast<platform::WaveMessage*>(e);
        if (m->message() == MM_WOM_DONE)
            waveOutDone(m->header());
        else if (m->message() == MM_WIM_DATA)
            waveInData(m->header());
        return true;
    }
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    else if (e->type() == QEvent::WindowDeactivate && formActivated && !closing_)
        FormDeactivate();
    return QMainWindow::event(e);
}

void TFPanelSignal::showEvent(QShowEvent* e) {
    QMainWindow::showEvent(e);
    // Without a window manager a shown window may never be activated; the
    // state kept by the configuration window must still be applied first.
    if (!formActivated)
        FormActivate();
}

void TFPanelSignal::changeEvent(QEvent* e) {
    // Minimised, the window leaves the task bar and lives in the tray.
    if (e->type() == QEvent::WindowStateChange && isMinimized() && TrayIcon1->isVisible())
        QTimer::singleShot(0, this, [this] { hide(); });
    QMainWindow::changeEvent(e);
}

void TFPanelSignal::closeEvent(QCloseEvent* e) {
    closing_ = true;
    FormClose();
    e->accept();
    QApplication::quit();
}

void TFPanelSignal::keyPressEvent(QKeyEvent* e) {
    if (e->key() == Qt::Key_Space) {
        FormKeyDown(e->key());
        return;
    }
    QMainWindow::keyPressEvent(e);
}

bool TFPanelSignal::eventFilter(QObject* watched, QEvent* e) {
    if (e->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(e)->key() == Qt::Key_Space &&
        watched != Image1 && watched != ToolBar4) {
        FormKeyDown(Qt::Key_Space);
        return true;
    }
    if (ScrollBox1 && watched == ScrollBox1->viewport() && e->type() == QEvent::Resize)
        ScrollBox1Resize();
    if (watched == grSig0 && e->type() == QEvent::Resize)
        PanelSignalResize();
    if (watched == Image1 && e->type() == QEvent::MouseButtonRelease) {
        About1Click();
        return true;
    }
    if (watched == ToolBar4 && e->type() == QEvent::MouseButtonDblClick) {
        ToolBar4DblClick();
        return true;
    }
    return QMainWindow::eventFilter(watched, e);
}

} // namespace app
