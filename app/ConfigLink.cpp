#include "app/ConfigLink.h"

#include "config/Configu.h"
#include "gui/RadioGroup.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QSlider>
#include <QTabWidget>

#include <algorithm>
#include <utility>

KeptWindowState keptWindowState() {
    KeptWindowState k;
    if (!FconfAS) return k;
    k.left = FconfAS->winLeft;
    k.top = FconfAS->winTop;
    k.width = FconfAS->winWidth;
    k.height = FconfAS->winHeight;
    k.fileListWidth = FconfAS->fileListWidth;
    k.useEqualizer = FconfAS->useEqualizer;
    k.showClearSignal = FconfAS->showClearSignal;
    k.showFileList = FconfAS->showFileList;
    k.processEnabled = FconfAS->processEnabled;
    k.outputDir = FconfAS->outputDir.toStdString();
    return k;
}

void keepWindowState(const KeptWindowState& k, bool withOutputDir) {
    if (!FconfAS) return;
    FconfAS->winLeft = k.left;
    FconfAS->winTop = k.top;
    FconfAS->winWidth = k.width;
    FconfAS->winHeight = k.height;
    FconfAS->fileListWidth = k.fileListWidth;
    FconfAS->useEqualizer = k.useEqualizer;
    FconfAS->showClearSignal = k.showClearSignal;
    FconfAS->showFileList = k.showFileList;
    FconfAS->processEnabled = k.processEnabled;
    if (withOutputDir) FconfAS->outputDir = QString::fromStdString(k.outputDir);
}

void keepShowFileList(bool shown) {
    if (FconfAS) FconfAS->showFileList = shown;
}

bool configSelectClearSpeech() { return FconfAS ? FconfAS->SelectClearSpeech->isChecked() : true; }

void keepSelectClearSpeech(bool on) {
    if (FconfAS) FconfAS->SelectClearSpeech->setChecked(on);
}

void keepProcessEnabled(bool on) {
    if (FconfAS) FconfAS->processEnabled = on;
}

void showConfiguration(int page) {
    if (!FconfAS) return;
    FconfAS->PageControl1->setCurrentIndex(page);
    FconfAS->show();
    FconfAS->raise();
    FconfAS->activateWindow();
}

uint8_t configMethod() {
    if (!FconfAS) return VELDRA_DEFAULT_METHOD;
    return uint8_t(std::clamp(FconfAS->KindSubst->itemIndex(), 0, 3));
}

processing::RunParameters configRunParameters(int32_t sampleRate, int channels) {
    processing::RunParameters p;
    p.sampleRate = sampleRate;
    p.channels = channels;
    p.method = configMethod();
    if (!FconfAS) return p;
    p.limitDb = float(FconfAS->limitDb());
    p.noiseRate = float(FconfAS->pNoise->value());
    p.musicalRate = float(FconfAS->pMusicNoise->value());
    p.selectClearSpeech = FconfAS->SelectClearSpeech->isChecked() ? 1 : 0;
    return p;
}

processing::FrameControls configFrameControls(bool useEqualizer, bool processEnabled) {
    processing::FrameControls c;
    c.useEqualizer = useEqualizer;
    c.processEnabled = processEnabled;
    c.method = configMethod();
    if (!FconfAS) return c;
    c.autoMix = FconfAS->AutoMix->isChecked();
    c.methodMix = FconfAS->MethodMix->isChecked();
    c.eqGains = FconfAS->eqGains;
    c.eqPointCount = FconfAS->eqPointCount;
    return c;
}

int configLanguageIndex() { return FconfAS ? FconfAS->languageIndex : 0; }

LanguageFollower::LanguageFollower(std::function<void(int)> apply)
    : id_(registerLanguageListener(std::move(apply))) {}

LanguageFollower::~LanguageFollower() { unregisterLanguageListener(id_); }

bool configMethodMix() { return FconfAS ? FconfAS->MethodMix->isChecked() : true; }

uint32_t configRecordRate() { return FconfAS ? uint32_t(std::max(FconfAS->recSampleRate, 1000)) : 8000u; }

uint32_t configRecordChannels() { return FconfAS && FconfAS->recChannels == 2 ? 2u : 1u; }

namespace {
// Position of the item whose text equals the box's text, case aside; -1 otherwise.
uint32_t deviceNumberOf(const QComboBox* box) {
    if (!box) return uint32_t(-1);
    const int i = box->findText(box->currentText(), Qt::MatchFixedString);
    return i < 0 ? uint32_t(-1) : uint32_t(i);
}
}  // namespace

uint32_t configInputDevice() { return FconfAS ? deviceNumberOf(FconfAS->comboBoxRecDevices) : uint32_t(-1); }

uint32_t configOutputDevice() { return FconfAS ? deviceNumberOf(FconfAS->comboBoxPlayDevices) : uint32_t(-1); }

void enableConfigChannels(bool on) {
    if (FconfAS) FconfAS->nChannels->setEnabled(on);
}
