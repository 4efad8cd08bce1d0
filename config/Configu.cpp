#include "config/Configu.h"

#include "config/Uabout.h"
#include "gui/JpegImage.h"
#include "gui/MessageBox.h"
#include "gui/PaintBox.h"
#include "gui/RadioGroup.h"
#include "platform/winmm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDoubleSpinBox>
#include <QEvent>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSlider>
#include <QTabWidget>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <cstring>
#include <map>

namespace config {

TFconfAS* FconfAS = nullptr;

SettingsFields::SettingsFields() {
    config::eq::flatten(eqGains, eqPointCount);
}

namespace {

std::map<int, std::function<void(int)>>& languageListeners() {
    static std::map<int, std::function<void(int)>> listeners;
    return listeners;
}

void setTextColor(QWidget* w, const QColor& c) {
    QPalette p = w->palette();
    p.setColor(QPalette::WindowText, c);
    w->setPalette(p);
}

config::ScreenSize screenSize() {
    config::ScreenSize s;
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        s.width = screen->geometry().width();
        s.height = screen->geometry().height();
    }
    return s;
}

QString productName(const char* name) {
    return QString::fromLocal8Bit(name, int(strnlen(name, MAXPNAMELEN)));
}

QLabel* picture(const QString& resource, QWidget* parent) {
    auto* l = new QLabel(parent);
    l->setPixmap(QPixmap::fromImage(gui::jpegResource(resource)));
    l->setScaledContents(true);
    return l;
}

constexpr const char* kNoOutputDevices = "NO Output Devices Found..";
constexpr const char* kNoInputDevices = "NO Input Devices Found..";

} // namespace

int registerLanguageListener(std::function<void(int)> apply) {
    static int next = 0;
    languageListeners()[++next] = std::move(apply);
    return next;
}

void unregisterLanguageListener(int id) {
    languageListeners().erase(id);
}

TFconfAS::TFconfAS(QWidget* parent) : QWidget(parent, Qt::Tool | Qt::WindowStaysOnTopHint) {
    if (!FconfAS)
        FconfAS = this;
    setObjectName("FconfAS");
    setWindowTitle("System configuration");

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(4);
    buildToolBar();
    layout->addWidget(ToolBar1);
    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    // Every tab stays readable in both languages: the window widens to them.
    PageControl1->setUsesScrollButtons(false);
    PageControl1->setElideMode(Qt::ElideNone);
    layout->addWidget(PageControl1);
    buildAudioPage();
    buildPostProcessingPage();
    buildEnginePage();
    buildEqualizerPage();
    PageControl1->addTab(TabSheet1, "Audio Record/PlayBack");
    PageControl1->addTab(TabSheet4, "PostProcessing");
    PageControl1->addTab(TabSheet2, "Silvane");
    PageControl1->addTab(TabSheet3, "Graphic Equalizer");

    // Designed initial values; the settings file then overrides them.
    SRate->setItemIndex(0);
    nChannels->setItemIndex(0);
    KindSubst->setItemIndex(0);
    TBardB->setValue(config::sliderOfLimit(VELDRA_DEFAULT_LIMIT_DB));
    TBardBChange();
    pNoise->setValue(VELDRA_DEFAULT_NOISE_RATE);
    pMusicNoise->setValue(VELDRA_DEFAULT_MUSICAL_RATE);
    MethodMix->setChecked(true);
    SelectClearSpeech->setChecked(true);
    AutoMix->setChecked(false);

    FormCreate();
}

TFconfAS::~TFconfAS() {
    FormDestroy();
    if (FconfAS == this)
        FconfAS = nullptr;
}

void TFconfAS::buildToolBar() {
    ToolBar1 = new QToolBar(this);
    ToolBar1->setObjectName("ToolBar1");
    ToolBar1->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto button = [this](const char* name, const char* text) {
        auto* b = new QToolButton(ToolBar1);
        b->setObjectName(name);
        b->setText(text);
        ToolBar1->addWidget(b);
        return b;
    };
    SButDefaut = button("SButDefaut", "Defaut");
    SButDefaut->setToolTip("Set all parameters by default");
    ToolBar1->addSeparator();
    SButClose = button("SButClose", "OK");
    SButCancel = button("SButCancel", "Cancel");
    ToolBar1->addSeparator();
    cboxLang = new QComboBox(ToolBar1);
    cboxLang->setObjectName("cboxLang");
    cboxLang->addItems({"English", "Russian"});
    cboxLang->setToolTip("Reset language interface");
    ToolBar1->addWidget(cboxLang);

    connect(SButDefaut, &QToolButton::clicked, this, &TFconfAS::SButDefautClick);
    connect(SButClose, &QToolButton::clicked, this, &TFconfAS::SButCloseClick);
    connect(SButCancel, &QToolButton::clicked, this, &TFconfAS::SButCancelClick);
    // Only a choice of the user runs the handler; FormCreate runs it itself.
    connect(cboxLang, QOverload<int>::of(&QComboBox::activated), this, &TFconfAS::cboxLangChange);
}

void TFconfAS::buildAudioPage() {
    TabSheet1 = new QWidget;
    TabSheet1->setObjectName("TabSheet1");
    TabSheet1->setMouseTracking(true);
    TabSheet1->installEventFilter(this);
    auto* grid = new QGridLayout(TabSheet1);

    Label2 = new QLabel("Input:", TabSheet1);
    Label2->setObjectName("Label2");
    comboBoxRecDevices = new QComboBox(TabSheet1);
    comboBoxRecDevices->setObjectName("comboBoxRecDevices");
    comboBoxRecDevices->setToolTip("Set input device using for audio recording");
    Label3 = new QLabel("Output:", TabSheet1);
    Label3->setObjectName("Label3");
    comboBoxPlayDevices = new QComboBox(TabSheet1);
    comboBoxPlayDevices->setObjectName("comboBoxPlayDevices");
    comboBoxPlayDevices->setToolTip(
        "Set output device using for audio playback in full-duplex mode only");
    for (QComboBox* c : {comboBoxRecDevices, comboBoxPlayDevices}) {
        c->setMinimumContentsLength(24);
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    }
    grid->addWidget(Label2, 0, 0);
    grid->addWidget(comboBoxRecDevices, 0, 1, 1, 2);
    grid->addWidget(Label3, 1, 0);
    grid->addWidget(comboBoxPlayDevices, 1, 1, 1, 2);

    SRate = new gui::RadioGroup(" Sampling Rate, Hz ", {"8000", "11025", "16000", "22050", "32000"},
                                TabSheet1);
    SRate->setObjectName("SRate");
    nChannels = new gui::RadioGroup(" Channels ", {"Mono", "Stereo"}, TabSheet1);
    nChannels->setObjectName("nChannels");
    grid->addWidget(SRate, 2, 0, 2, 2, Qt::AlignTop);
    grid->addWidget(nChannels, 2, 2, Qt::AlignTop);
    connect(SRate, &gui::RadioGroup::clicked, this, &TFconfAS::SRateClick);
    connect(nChannels, &gui::RadioGroup::clicked, this, &TFconfAS::nChannelsClick);

    Image1 = picture(":/pictures/about.jpg", TabSheet1);
    Image1->setObjectName("Image1");
    Image1->setFixedSize(144, 97);
    Image1->setCursor(Qt::PointingHandCursor);
    Image1->installEventFilter(this);
    grid->addWidget(Image1, 3, 2, Qt::AlignTop);

    Lab_www = new QLabel(makerWebSite(0), TabSheet1);
    Lab_www->setObjectName("Lab_www");
    Lab_www->setCursor(Qt::PointingHandCursor);
    Lab_www->setMouseTracking(true);
    Lab_www->installEventFilter(this);
    grid->addWidget(Lab_www, 4, 0, 1, 3, Qt::AlignRight);
    grid->setRowStretch(5, 1);
    grid->setColumnStretch(1, 1);
}

void TFconfAS::buildPostProcessingPage() {
    TabSheet4 = new QWidget;
    TabSheet4->setObjectName("TabSheet4");
    auto* v = new QVBoxLayout(TabSheet4);
    auto* row = new QHBoxLayout;
    AutoMix = new QCheckBox("Use Mixiture", TabSheet4);
    AutoMix->setObjectName("AutoMix");
    AutoMix->setToolTip("To make automatically mix Left and Right channels \r\n in the stereo "
                        "duplex record before using of SV engine.");
    MethodMix = new QCheckBox("Method (L - R)", TabSheet4);
    MethodMix->setObjectName("MethodMix");
    DefaultPostProcess = new QPushButton("Default", TabSheet4);
    DefaultPostProcess->setObjectName("DefaultPostProcess");
    row->addWidget(AutoMix);
    row->addWidget(MethodMix);
    row->addStretch(1);
    row->addWidget(DefaultPostProcess);
    v->addLayout(row);

    ImageMixLR = picture(":/pictures/mix-lr.jpg", TabSheet4);
    ImageMixLR->setObjectName("ImageMixLR");
    ImageMixRL = picture(":/pictures/mix-rl.jpg", TabSheet4);
    ImageMixRL->setObjectName("ImageMixRL");
    ImageMix = picture(":/pictures/mix-none.jpg", TabSheet4);
    ImageMix->setObjectName("ImageMix");
    for (QLabel* l : {ImageMixLR, ImageMixRL, ImageMix}) {
        l->setFixedHeight(150);
        l->setFixedWidth(373);
        v->addWidget(l, 0, Qt::AlignHCenter);
    }
    v->addStretch(1);

    // The handlers follow every change of the boxes, by the user or by code.
    connect(AutoMix, &QCheckBox::toggled, this, &TFconfAS::AutoMixClick);
    connect(MethodMix, &QCheckBox::toggled, this, &TFconfAS::MethodMixClick);
    connect(DefaultPostProcess, &QPushButton::clicked, this, &TFconfAS::DefaultPostProcessClick);
}

void TFconfAS::buildEnginePage() {
    TabSheet2 = new QWidget;
    TabSheet2->setObjectName("TabSheet2");
    auto* grid = new QGridLayout(TabSheet2);

    KindSubst =
        new gui::RadioGroup(" Method of noise substration ", {"0", "1", "2", "Neural"}, TabSheet2);
    KindSubst->setObjectName("KindSubst");
    KindSubst->setToolTip("Set method noise substration:\r\n0 - simple;\r\n1 - normal;\r\n2 - "
                          "extended;\r\nNeural - trained estimator.");
    grid->addWidget(KindSubst, 0, 0, 4, 1, Qt::AlignTop);

    Label1 = new QLabel("Limitation suppression noise (dB):", TabSheet2);
    Label1->setObjectName("Label1");
    Label1->installEventFilter(this);
    DefaultLimitSuppres = new QToolButton(TabSheet2);
    DefaultLimitSuppres->setObjectName("DefaultLimitSuppres");
    DefaultLimitSuppres->setArrowType(Qt::LeftArrow);
    DefaultLimitSuppres->setAutoRaise(true);
    auto* limitRow = new QHBoxLayout;
    limitRow->addWidget(Label1);
    limitRow->addStretch(1);
    limitRow->addWidget(DefaultLimitSuppres);
    grid->addLayout(limitRow, 0, 1, 1, 2);

    TBardB = new QSlider(Qt::Horizontal, TabSheet2);
    TBardB->setObjectName("TBardB");
    TBardB->setRange(0, config::kLimitSlider);
    TBardB->setTickInterval(5);
    TBardB->setTickPosition(QSlider::TicksBelow);
    TBardB->setPageStep(5);
    LabMul = new QLabel(TabSheet2);
    LabMul->setObjectName("LabMul");
    LabMul->setMinimumWidth(LabMul->fontMetrics().horizontalAdvance("-100 dB") + 4);
    LabMul->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(TBardB, 1, 1);
    grid->addWidget(LabMul, 1, 2);

    DefaultNoise = new QLabel("Noise adaptation rate [0.8, 0.999]:", TabSheet2);
    DefaultNoise->setObjectName("DefaultNoise");
    DefaultNoise->installEventFilter(this);
    pNoise = new QDoubleSpinBox(TabSheet2);
    pNoise->setObjectName("pNoise");
    DefaultMusicNoise = new QLabel("Musical noise reduction rate [0.9, 0.999]:", TabSheet2);
    DefaultMusicNoise->setObjectName("DefaultMusicNoise");
    DefaultMusicNoise->installEventFilter(this);
    pMusicNoise = new QDoubleSpinBox(TabSheet2);
    pMusicNoise->setObjectName("pMusicNoise");
    for (QDoubleSpinBox* s : {pNoise, pMusicNoise}) {
        s->setRange(config::kMinRate, config::kMaxRate);
        s->setSingleStep(0.001);
        s->setDecimals(3);
    }
    grid->addWidget(DefaultNoise, 2, 1);
    grid->addWidget(pNoise, 2, 2);
    grid->addWidget(DefaultMusicNoise, 3, 1);
    grid->addWidget(pMusicNoise, 3, 2);

    SelectClearSpeech = new QCheckBox("Select clearing speech", TabSheet2);
    SelectClearSpeech->setObjectName("SelectClearSpeech");
    DefaultSV = new QPushButton("Default", TabSheet2);
    DefaultSV->setObjectName("DefaultSV");
    grid->addWidget(SelectClearSpeech, 4, 0, 1, 2);
    grid->addWidget(DefaultSV, 4, 2);
    grid->setRowStretch(5, 1);
    grid->setColumnStretch(1, 1);

    connect(TBardB, &QSlider::valueChanged, this, &TFconfAS::TBardBChange);
    connect(DefaultLimitSuppres, &QToolButton::clicked, this, &TFconfAS::DefaultLimitSuppresClick);
    connect(DefaultSV, &QPushButton::clicked, this, &TFconfAS::DefaultSVClick);
}

void TFconfAS::buildEqualizerPage() {
    TabSheet3 = new QWidget;
    TabSheet3->setObjectName("TabSheet3");
    auto* v = new QVBoxLayout(TabSheet3);
    PBox1 = new gui::PaintBox(TabSheet3);
    PBox1->setObjectName("PBox1");
    PBox1->setToolTip("Click and draw");
    PBox1->setMinimumSize(300, 150);
    QFont small = PBox1->font();
    small.setPixelSize(10);
    PBox1->setFont(small);
    PBox1->onPaint = [this](QPainter& p) { PBox1Paint(p); };
    PBox1->onMouseDown = [this](Qt::MouseButton b, int x, int y) { PBox1MouseDown(b, x, y); };
    PBox1->onMouseMove = [this](Qt::MouseButtons b, int x, int y) { PBox1MouseMove(b, x, y); };
    v->addWidget(PBox1, 1);
    DefaultGEQ = new QPushButton("Default", TabSheet3);
    DefaultGEQ->setObjectName("DefaultGEQ");
    DefaultGEQ->setToolTip("Set by default");
    v->addWidget(DefaultGEQ, 0, Qt::AlignRight);
    connect(DefaultGEQ, &QPushButton::clicked, this, &TFconfAS::DefaultGEQClick);
}

int TFconfAS::limitDb() const {
    return config::limitOfSlider(TBardB->value());
}

config::Settings TFconfAS::currentSettings() const {
    config::Settings s;
    s.language = languageIndex;
    s.playDevice = std::max(0, comboBoxPlayDevices->currentIndex());
    s.recDevice = std::max(0, comboBoxRecDevices->currentIndex());
    s.sampleRateIndex = SRate->itemIndex();
    s.channelsIndex = nChannels->itemIndex();
    s.autoMix = AutoMix->isChecked();
    s.methodMix = MethodMix->isChecked();
    s.method = KindSubst->itemIndex();
    s.limitDb = limitDb();
    s.noiseRate = pNoise->value();
    s.musicalRate = pMusicNoise->value();
    s.selectClearSpeech = SelectClearSpeech->isChecked();
    s.useEqualizer = useEqualizer;
    s.outputDir = outputDir.toStdString();
    s.showClearSignal = showClearSignal;
    s.showFileList = showFileList;
    s.processEnabled = processEnabled;
    s.winLeft = winLeft;
    s.winTop = winTop;
    s.winWidth = winWidth;
    s.winHeight = winHeight;
    s.fileListWidth = fileListWidth;
    return s;
}

void TFconfAS::FormCreate() {
    iniPath = QDir::currentPath() + "/SV.ini";
    platform::profile::Profile file;
    file.load(iniPath.toStdString());
    const config::Settings s = config::read(file, screenSize());

    cboxLang->setCurrentIndex(s.language);
    cboxLangChange();

    fillOutputDevices();
    comboBoxPlayDevices->setCurrentIndex(
        config::deviceIndex(s.playDevice, comboBoxPlayDevices->count()));
    fillInputDevices();
    comboBoxRecDevices->setCurrentIndex(
        config::deviceIndex(s.recDevice, comboBoxRecDevices->count()));

    SRate->setItemIndex(s.sampleRateIndex);
    SRateClick();
    nChannels->setItemIndex(s.channelsIndex);
    nChannelsClick();
    AutoMix->setChecked(s.autoMix);
    AutoMixClick();
    MethodMix->setChecked(s.methodMix);
    MethodMixClick();
    KindSubst->setItemIndex(s.method);
    TBardB->setValue(config::sliderOfLimit(s.limitDb));
    TBardBChange();
    pNoise->setValue(s.noiseRate);
    pMusicNoise->setValue(s.musicalRate);
    SelectClearSpeech->setChecked(s.selectClearSpeech);
    useEqualizer = s.useEqualizer;
    outputDir = QString::fromStdString(s.outputDir);
    showClearSignal = s.showClearSignal;
    showFileList = s.showFileList;
    processEnabled = s.processEnabled;
    winLeft = s.winLeft;
    winTop = s.winTop;
    winWidth = s.winWidth;
    winHeight = s.winHeight;
    fileListWidth = s.fileListWidth;

    config::eq::flatten(eqGains, eqPointCount);
}

void TFconfAS::FormDestroy() {
    if (written_)
        return;
    written_ = true;
    std::string error;
    if (!config::writeFile(iniPath.toStdString(), currentSettings(), error))
        gui::showMessageBox(nullptr,
                            languageText(languageIndex, "The settings were not saved: ",
                                         "Настройки не сохранены: ") +
                                QString::fromStdString(error),
                            "Silvane");
}

void TFconfAS::fillOutputDevices() {
    comboBoxPlayDevices->clear();
    UINT n = waveOutGetNumDevs();
    for (UINT i = 0; i < n; ++i) {
        WAVEOUTCAPSA caps{};
        if (waveOutGetDevCapsA(i, &caps, sizeof caps) == MMSYSERR_NOERROR)
            comboBoxPlayDevices->addItem(productName(caps.szPname));
    }
    if (n < 1)
        gui::showMessageBox(this, kNoOutputDevices, "Error");
}

void TFconfAS::fillInputDevices() {
    comboBoxRecDevices->clear();
    UINT n = waveInGetNumDevs();
    for (UINT i = 0; i < n; ++i) {
        WAVEINCAPSA caps{};
        if (waveInGetDevCapsA(i, &caps, sizeof caps) == MMSYSERR_NOERROR)
            comboBoxRecDevices->addItem(productName(caps.szPname));
    }
    if (n < 1)
        gui::showMessageBox(this, kNoInputDevices, "Error");
}

void TFconfAS::SRateClick() {
    recSampleRate = config::sampleRateOf(SRate->itemIndex());
}

void TFconfAS::nChannelsClick() {
    recChannels = config::channelsOf(nChannels->itemIndex());
}

void TFconfAS::AutoMixClick() {
    MethodMix->setEnabled(AutoMix->isChecked());
}

void TFconfAS::MethodMixClick() {
    bool lr = MethodMix->isChecked();
    ImageMixLR->setVisible(lr);
    ImageMixRL->setVisible(!lr);
    if (lr)
        ImageMixLR->setFixedWidth(373);
    else
        ImageMixRL->setFixedWidth(373);
    ImageMix->setVisible(false);
}

void TFconfAS::DefaultPostProcessClick() {
    AutoMix->setChecked(false);
    AutoMixClick();
    MethodMix->setChecked(true);
    MethodMixClick();
}

void TFconfAS::TBardBChange() {
    LabMul->setText(QString::number(limitDb()) + " dB");
}

void TFconfAS::DefaultLimitSuppresClick() {
    TBardB->setValue(TBardB->maximum() - 14);
    TBardBChange();
}

void TFconfAS::DefaultNoiseDblClick() {
    pNoise->setValue(VELDRA_DEFAULT_NOISE_RATE);
}

void TFconfAS::DefaultMusicNoiseDblClick() {
    pMusicNoise->setValue(VELDRA_DEFAULT_MUSICAL_RATE);
}

void TFconfAS::DefaultSVClick() {
    KindSubst->setItemIndex(VELDRA_DEFAULT_METHOD);
    SelectClearSpeech->setChecked(true);
    DefaultLimitSuppresClick();
    DefaultNoiseDblClick();
    DefaultMusicNoiseDblClick();
}

void TFconfAS::SButDefautClick() {
    comboBoxPlayDevices->setCurrentIndex(comboBoxPlayDevices->count() > 0 ? 0 : -1);
    comboBoxRecDevices->setCurrentIndex(comboBoxRecDevices->count() > 0 ? 0 : -1);
    SRate->setItemIndex(2);
    SRateClick();
    nChannels->setItemIndex(0);
    nChannelsClick();
    DefaultPostProcessClick();
    DefaultSVClick();
    DefaultGEQClick();
}

void TFconfAS::FormActivate() {
    remembered_.playDevice = comboBoxPlayDevices->currentIndex();
    remembered_.recDevice = comboBoxRecDevices->currentIndex();
    remembered_.sampleRate = SRate->itemIndex();
    remembered_.channels = nChannels->itemIndex();
    remembered_.method = KindSubst->itemIndex();
    remembered_.limitPosition = TBardB->value();
    remembered_.noiseRate = pNoise->value();
    remembered_.musicalRate = pMusicNoise->value();
}

void TFconfAS::SButCancelClick() {
    comboBoxPlayDevices->setCurrentIndex(remembered_.playDevice);
    comboBoxRecDevices->setCurrentIndex(remembered_.recDevice);
    SRate->setItemIndex(remembered_.sampleRate);
    // The derived rate and channel count follow the restored items, or the
    // next recording would run with the cancelled choice.
    SRateClick();
    nChannels->setItemIndex(remembered_.channels);
    nChannelsClick();
    KindSubst->setItemIndex(remembered_.method);
    TBardB->setValue(remembered_.limitPosition);
    TBardBChange();
    pNoise->setValue(remembered_.noiseRate);
    pMusicNoise->setValue(remembered_.musicalRate);
}

void TFconfAS::SButCloseClick() {
    close();
}

void TFconfAS::cboxLangChange() {
    languageIndex = cboxLang->currentIndex();
    applyLanguage(languageIndex);
    if (FAbout)
        FAbout->applyLanguage(languageIndex);
    // A listener may unregister itself (or another) while it runs.
    std::map<int, std::function<void(int)>> listeners = languageListeners();
    for (auto& [id, apply] : listeners)
        if (languageListeners().count(id))
            apply(languageIndex);
}

void TFconfAS::Lab_wwwClick() {
    QDesktopServices::openUrl(QUrl::fromUserInput(makerWebSite(languageIndex)));
}

void TFconfAS::Lab_wwwMouseMove() {
    setTextColor(Lab_www, QColor(255, 0, 0));
}

void TFconfAS::TabSheet1MouseMove() {
    setTextColor(Lab_www, Qt::black);
}

void TFconfAS::Image1Click() {
    if (!FAbout)
        return;
    FAbout->show();
    FAbout->raise();
}

void TFconfAS::DefaultGEQClick() {
    config::eq::flatten(eqGains, eqPointCount);
    PBox1->update();
}

void TFconfAS::pbox1Mouse(bool store, int x, int y) {
    int index = config::eq::indexAt(x, PBox1->width(), eqPointCount);
    double value = config::eq::gainAt(y, PBox1->height());
    eqCursorIndex = index;
    eqCursorValue = value;
    if (index < 0 || index >= eqPointCount)
        return;
    if (store)
        eqGains[index] = float(value);
    PBox1->update();
}

void TFconfAS::PBox1MouseDown(Qt::MouseButton button, int x, int y) {
    pbox1Mouse(button == Qt::LeftButton, x, y);
}

void TFconfAS::PBox1MouseMove(Qt::MouseButtons buttons, int x, int y) {
    pbox1Mouse(buttons.testFlag(Qt::LeftButton), x, y);
}

void TFconfAS::PBox1Paint(QPainter& p) {
    const int w = PBox1->width(), h = PBox1->height();
    const int bottom = h - config::eq::kBottom;
    const int unity = config::eq::unityY(h);
    p.fillRect(PBox1->rect(), PBox1->palette().color(QPalette::Button));
    p.setPen(PBox1->palette().color(QPalette::ButtonText));
    // Texts are placed by their top-left corner, moved in where the font is
    // too large for the room the box's coordinates leave them.
    auto text = [&](int x, int y, const QString& s) {
        const QFontMetrics m = p.fontMetrics();
        x = std::max(0, std::min(x, w - m.horizontalAdvance(s) - 1));
        y = std::max(0, std::min(y, h - m.height()));
        p.drawText(QPoint(x, y + m.ascent()), s);
    };
    text(2, 0, QString::fromStdString(config::eq::scaleText(1.5)));
    text(2, unity - 5, QString::fromStdString(config::eq::scaleText(1.0)));
    text(2, bottom, QString::fromStdString(config::eq::scaleText(0.0)));
    text(w / 3, bottom, "(Fs - Sample Rate, Hz)");
    text(w - 20, bottom, "Fs/2");

    p.setPen(QPen(Qt::black, 1, Qt::DashLine));
    p.drawLine(config::eq::kLeft, unity, w, unity);
    p.setPen(QPen(Qt::black, 1, Qt::SolidLine));
    p.drawLine(config::eq::kLeft, 0, config::eq::kLeft, bottom);
    p.drawLine(config::eq::kLeft, bottom, w, bottom);
    text(w - 70, 0,
         QString::fromStdString(
             config::eq::cursorLabel(eqCursorIndex, eqCursorValue, eqPointCount)));

    const int n = std::clamp<int>(eqPointCount, 0, config::eq::kCapacity);
    p.setPen(QPen(QColor(0, 128, 0), 1, Qt::SolidLine));
    for (int i = 0; i + 1 < n; ++i)
        p.drawLine(config::eq::pointX(i, w, n), config::eq::pointY(eqGains[i], h),
                   config::eq::pointX(i + 1, w, n), config::eq::pointY(eqGains[i + 1], h));
    p.setPen(Qt::red);
    p.setBrush(Qt::red);
    for (int i = 0; i < n; ++i)
        p.drawEllipse(
            QRect(config::eq::pointX(i, w, n) - 2, config::eq::pointY(eqGains[i], h) - 2, 4, 4));
}

void TFconfAS::applyLanguage(int lang) {
    if (!isLanguage(lang)) {
        setWindowTitle("System configuration");
        return;
    }
    auto t = [lang](const char* en, const char* ru) { return languageText(lang, en, ru); };
    const QString byDefault = t("Set by default", "Установить по умолчанию");
    const QString byDoubleClick =
        t("Set by default (double click)", "Установить по умолчанию (дважды кликните)");
    setWindowTitle(t("System configuration", "Конфигурация системы"));
    SButDefaut->setToolTip(
        t("Set all parameters by default", "Установить все параметры по умолчанию"));
    SButCancel->setText(t("Cancel", "Отмена"));
    cboxLang->setToolTip(t("Reset language interface", "Изменить язык интерфейса"));
    PageControl1->setTabText(0, t("Audio Record/PlayBack", "Аудио Запись/Воспроизведение"));
    PageControl1->setTabText(1, t("PostProcessing", "ПостОбработка"));
    PageControl1->setTabText(2, t("Silvane", "Шумоподавление"));
    PageControl1->setTabText(3, t("Graphic Equalizer", "Графический эквалайзер"));
    Label2->setText(t("Input:", "Вход:"));
    comboBoxRecDevices->setToolTip(t("Set input device for audio recording",
                                     "Установить входное устройство для аудио записи"));
    Label3->setText(t("Output:", "Выход:"));
    comboBoxPlayDevices->setToolTip(
        t("Set output device for audio playback in full-duplex mode only",
          "Установить устройство для воспроизведения в режиме full-duplex (говори и слушай)"));
    SRate->setTitle(t(" Sampling Rate, Hz ", " Частота оцифровки, Гц "));
    SRate->setToolTip(t("Set sampling rate for audio recording",
                        "Установить частоту оцифровки для аудио записи"));
    nChannels->setTitle(t(" Channels ", " Количество каналов "));
    nChannels->setToolTip(t("Set number channels", "Установить количество каналов записи"));
    Lab_www->setText(makerWebSite(lang));
    Lab_www->setToolTip(t("Open URL: ", "Открыть сайт: ") + makerWebSite(lang));
    AutoMix->setText(t("Use Mixiture", "Авто микшировать"));
    AutoMix->setToolTip(t("To make automatically mixiture of Left, Right channels before using "
                          "of SV engine.",
                          "Делать автоматическое микширование Left и Right каналов перед "
                          "использованием шумоподавления"));
    MethodMix->setText(t("Method (L - R)", "Метод (L - R)"));
    MethodMix->setToolTip(t("To use method of mixing channels: (Left - Right) else (Right - Left)",
                            "Использовать микшрования каналов: (Left - Right) или (Right - Left)"));
    DefaultPostProcess->setToolTip(byDefault);
    KindSubst->setTitle(t(" Methods of noise substration ", " Методы шумоподавления "));
    KindSubst->setToolTip(
        t("Set method of noise substration: 0 - simple, 1 - normal, 2 - extended, Neural - trained "
          "estimator",
          "Установить метод шумоподавления: 0 - простой, 1 - обычный, 2 - агрессивный, "
          "Нейросеть - обученная модель"));
    KindSubst->button(3)->setText(t("Neural", "Нейросеть"));
    SelectClearSpeech->setText(t("Select clearing speech", "Выделять очищенный сигнал"));
    SelectClearSpeech->setToolTip(t("Select clearing speech else background noise",
                                    "Выделять очищенный сигнал (иначе окружающий шум)"));
    Label1->setText(t("Limitation of suppression noise (dB):", "Уровень подавления шума, (dB):"));
    Label1->setToolTip(byDoubleClick);
    DefaultLimitSuppres->setToolTip(byDefault);
    DefaultNoise->setText(
        t("Noise adaptation rate [0.8, 0.999]:", "Коэфф. адаптации к шумам [0.8, 0.999]:"));
    DefaultNoise->setToolTip(byDoubleClick);
    DefaultMusicNoise->setText(t("Musical noise reduction rate [0.9, 0.999]:",
                                 "Коэфф. адаптации к музыкальным шумам [0.9, 0.999]:"));
    DefaultMusicNoise->setToolTip(byDoubleClick);
    pNoise->setToolTip(t("Noise adaptation rate [0.8, 0.999] (default: 0.95).\n"
                         "The  greater value of smoothing factor means the slower updating\n"
                         " of noise power spectrum estimation. Excessive noise adaptation\n"
                         " rate leads to the noise overestimation and attenuating of speech talls.",
                         "Коэфф. адаптации к шумам [0.8, 0.999] (по умолчанию: 0.95).\n"
                         "Чем больше величина коэфф., тем медленнее делается адаптация к шумам.\n"
                         " Черезмерное увеличение коэфф. приводит к переоценки наличию шумов\n"
                         " и к ослаблению речевого сигнала."));
    pMusicNoise->setToolTip(
        t("Musical noise reduction rate: [0.9, 0.999] (default: 0.98).\n"
          "Level of scalled 'musical' artifacts in residual noise:\n"
          "0.9 - minimal level of 'musical' noise attenuation,\n"
          "0.999 - maximal level of 'musical' noise attenuation.",
          "Коэфф. подавления музыкальных шумов: [0.9, 0.999] (по умолчанию: 0.98).\n"
          "Задает уровень масштабирования 'музыкальных' искажений в остаточном шуме:\n"
          "0.9 - минимальный уровень ослабления 'музыкальных' шумов,\n"
          "0.999 - максимальный уровень ослабления 'музыкальных' шумов."));
    DefaultSV->setToolTip(byDefault);
    PBox1->setToolTip(t("Click and draw", "Нажмите и рисуйте нужную АЧХ"));
    DefaultGEQ->setToolTip(byDefault);
}

bool TFconfAS::event(QEvent* e) {
    if (e->type() == QEvent::WindowActivate)
        FormActivate();
    return QWidget::event(e);
}

bool TFconfAS::eventFilter(QObject* watched, QEvent* e) {
    const QEvent::Type t = e->type();
    if (t == QEvent::MouseButtonDblClick) {
        if (watched == Label1)
            DefaultLimitSuppresClick();
        else if (watched == DefaultNoise)
            DefaultNoiseDblClick();
        else if (watched == DefaultMusicNoise)
            DefaultMusicNoiseDblClick();
    } else if (t == QEvent::MouseMove) {
        // The address keeps its moves from the page beneath, which would
        // turn it black again at once.
        if (watched == Lab_www) {
            Lab_wwwMouseMove();
            return true;
        }
        if (watched == TabSheet1)
            TabSheet1MouseMove();
    } else if (t == QEvent::MouseButtonRelease) {
        if (watched == Lab_www)
            Lab_wwwClick();
        else if (watched == Image1)
            Image1Click();
    }
    return QWidget::eventFilter(watched, e);
}

} // namespace config
