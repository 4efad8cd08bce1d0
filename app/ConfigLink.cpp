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

namespace app {

KeptWindowState keptWindowState() {
    KeptWindowState k;
    if (!config::FconfAS)
        return k;
    k.left = config::FconfAS->winLeft;
    k.top = config::FconfAS->winTop;
    k.width = config::FconfAS->winWidth;
    k.height = config::FconfAS->winHeight;
    k.fileListWidth = config::FconfAS->fileListWidth;
    k.useEqualizer = config::FconfAS->useEqualizer;
    k.showClearSignal = config::FconfAS->showClearSignal;
    k.showFileList = config::FconfAS->showFileList;
    k.processEnabled = config::FconfAS->processEnabled;
    k.outputDir = config::FconfAS->outputDir.toStdString();
    return k;
}

void keepWindowState(const KeptWindowState& k, bool withOutputDir) {
    if (!config::FconfAS)
        return;
    config::FconfAS->winLeft = k.left;
    config::FconfAS->winTop = k.top;
    config::FconfAS->winWidth = k.width;
    config::FconfAS->winHeight = k.height;
    config::FconfAS->fileListWidth = k.fileListWidth;
    config::FconfAS->useEqualizer = k.useEqualizer;
    config::FconfAS->showClearSignal = k.showClearSignal;
    config::FconfAS->showFileList = k.showFileList;
    config::FconfAS->processEnabled = k.processEnabled;
    if (withOutputDir)
        config::FconfAS->outputDir = QString::fromStdString(k.outputDir);
}

void keepShowFileList(bool shown) {
    if (config::FconfAS)
        config::FconfAS->showFileList = shown;
}

bool configSelectClearSpeech() {
    return config::FconfAS ? config::FconfAS->SelectClearSpeech->isChecked() : true;
}

void keepSelectClearSpeech(bool on) {
    if (config::FconfAS)
        config::FconfAS->SelectClearSpeech->setChecked(on);
}

void keepProcessEnabled(bool on) {
    if (config::FconfAS)
        config::FconfAS->processEnabled = on;
}

void showConfiguration(int page) {
    if (!config::FconfAS)
        return;
    config::FconfAS->PageControl1->setCurrentIndex(page);
    config::FconfAS->show();
    config::FconfAS->raise();
    config::FconfAS->activateWindow();
}

uint8_t configMethod() {
    if (!config::FconfAS)
        return VELDRA_DEFAULT_METHOD;
    return uint8_t(std::clamp(config::FconfAS->KindSubst->itemIndex(), 0, 3));
}

processing::RunParameters configRunParameters(int32_t sampleRate, int channels) {
    processing::RunParameters p;
    p.sampleRate = sampleRate;
    p.channels = channels;
    p.method = configMethod();
    if (!config::FconfAS)
        return p;
    p.limitDb = float(config::FconfAS->limitDb());
    p.noiseRate = float(config::FconfAS->pNoise->value());
    p.musicalRate = float(config::FconfAS->pMusicNoise->value());
    p.selectClearSpeech = config::FconfAS->SelectClearSpeech->isChecked() ? 1 : 0;
    return p;
}

processing::FrameControls configFrameControls(bool useEqualizer, bool processEnabled) {
    processing::FrameControls c;
    c.useEqualizer = useEqualizer;
    c.processEnabled = processEnabled;
    c.method = configMethod();
    if (!config::FconfAS)
        return c;
    c.autoMix = config::FconfAS->AutoMix->isChecked();
    c.methodMix = config::FconfAS->MethodMix->isChecked();
    c.eqGains = config::FconfAS->eqGains;
    c.eqPointCount = config::FconfAS->eqPointCount;
    return c;
}

int configLanguageIndex() {
    return config::FconfAS ? config::FconfAS->languageIndex : 0;
}

LanguageFollower::LanguageFollower(std::function<void(int)> apply)
    : id_(config::registerLanguageListener(std::move(apply))) {}

LanguageFollower::~LanguageFollower() {
    config::unregisterLanguageListener(id_);
}

bool configMethodMix() {
    return config::FconfAS ? config::FconfAS->MethodMix->isChecked() : true;
}

uint32_t configRecordRate() {
    return config::FconfAS ? uint32_t(std::max(config::FconfAS->recSampleRate, 1000)) : 8000u;
}

uint32_t configRecordChannels() {
    return config::FconfAS && config::FconfAS->recChannels == 2 ? 2u : 1u;
}

namespace {
// Position of the item whose text equals the box's text, case aside; -1 otherwise.
uint32_t deviceNumberOf(const QComboBox* box) {
    if (!box)
        return uint32_t(-1);
    const int i = box->findText(box->currentText(), Qt::MatchFixedString);
    return i < 0 ? uint32_t(-1) : uint32_t(i);
}
} // namespace

uint32_t configInputDevice() {
    return config::FconfAS ? deviceNumberOf(config::FconfAS->comboBoxRecDevices) : uint32_t(-1);
}

uint32_t configOutputDevice() {
    return config::FconfAS ? deviceNumberOf(config::FconfAS->comboBoxPlayDevices) : uint32_t(-1);
}

void enableConfigChannels(bool on) {
    if (config::FconfAS)
        config::FconfAS->nChannels->setEnabled(on);
}

} // namespace app
