// The main window's processing commands: START/STOP over the processing run,
// engine re-initialisation, the processing switch, the option boxes, and the
// copy and mix of the changed channels.

#include "app/ConfigLink.h"
#include "app/Upanelsig.h"
#include "processing/batchwindows/Uprogress.h"

#include <QCoreApplication>

namespace app {

void TFPanelSignal::setStartTexts(bool running, int lang) {
    bStart->setText(running ? "STOP" : "START");
    if (!config::isLanguage(lang))
        return;
    bStart->setToolTip(running ? config::languageText(lang, "Stop process of noise cancellation",
                                                      "Остановить процесс шумоподавления")
                               : config::languageText(lang, "Start process of noise cancellation",
                                                      "Начать процесс шумоподавления"));
}

void TFPanelSignal::bStartClick() {
    if (!processStopped) {
        // A run is under way: ask it to stop after its current frame.
        processStopped = true;
        return;
    }
    // A stopped run that is still finishing (this click came through its
    // message processing) is not entered a second time.
    if (runActive)
        return;
    runActive = true;
    processStopped = false;
    changedLength = 0;
    vadCount = 0;
    setStartTexts(true, configLanguageIndex());

    const processing::RunParameters params = configRunParameters(
        int32_t(recorder.sampleRate), int(std::clamp<uint32_t>(recorder.channels, 1, 2)));
    processing::RunSignal signal = runSignal();
    processing::RunHooks hooks;
    hooks.controls = [this] {
        return configFrameControls(UseFFTEQ->isChecked(), bEnabledPr->isChecked());
    };
    hooks.afterFrame = [this] {
        QCoreApplication::processEvents();
        return processStopped || (processing::batchwindows::FProgress &&
                                  processing::batchwindows::FProgress->progressCancelled);
    };
    const processing::RunResult r = processing::runProcessing(params, signal, hooks);
    lastRunStopped = r.stopped;

    const QString seconds = QString::fromStdString(processing::formatElapsedSeconds(r.elapsedMs));
    const int lang = configLanguageIndex();
    if (config::isLanguage(lang))
        labelDTime->setText(config::languageText(lang, " Time process: ", " Время обработки: ") +
                            seconds + " sec");
    copyFormat(orig.format, changed.format);
    if (changed.format.channels == 2)
        Status1->setPanelText(0, "File: ");
    showSignalStatus(Status1, changed.format.sampleRate, changed.format.channels,
                     changed.format.bitsPerSample, changed.length);
    PanelSignalResize();
    processStopped = true;
    setStartTexts(false, configLanguageIndex());
    runActive = false;
}

void TFPanelSignal::bInitSVClick() {
    const processing::RunParameters p = configRunParameters(int32_t(recorder.sampleRate), 2);
    const processing::FrameControls c = configFrameControls(false, true);
    processing::EngineParameters now = p;
    now.method = c.method;
    processing::restartEngines(processing::engineSettingsAt(p.sampleRate, now));
}

void TFPanelSignal::bEnabledPrClick() {
    bEnabledPr->setChecked(!bEnabledPr->isChecked());
    setProcessSwitchTexts(configLanguageIndex());
    keepProcessEnabled(bEnabledPr->isChecked());
}

void TFPanelSignal::setProcessSwitchTexts(int lang) {
    if (!config::isLanguage(lang))
        return;
    const bool on = bEnabledPr->isChecked();
    // The caption is English in both languages.
    bEnabledPr->setText(on ? "Enabled" : "Disabled");
    bEnabledPr->setToolTip(on ? config::languageText(lang, "Click to Disable process",
                                                     "Нажмите для Отключения обработки")
                              : config::languageText(lang, "Click to Enable process",
                                                     "Нажмите для Включения обработки"));
    mStatusProcess->setText(
        on ? config::languageText(lang, "To Disable process", "Отключить обработку")
           : config::languageText(lang, "To Enable process", "Включить обработку"));
}

void TFPanelSignal::SelectClearSpeechClick() {
    applyFocusRule();
    keepSelectClearSpeech(SelectClearSpeech->isChecked());
    mSelectClearSpeech->setChecked(SelectClearSpeech->isChecked());
}

void TFPanelSignal::mSelectClearSpeechClick() {
    applyFocusRule();
    mSelectClearSpeech->setChecked(!mSelectClearSpeech->isChecked());
    keepSelectClearSpeech(mSelectClearSpeech->isChecked());
    SelectClearSpeech->setChecked(configSelectClearSpeech());
}

void TFPanelSignal::UseFFTEQClick() {
    applyFocusRule();
}

void TFPanelSignal::SpeedButton2Click() {
    changed.copyChannel(0);
    PanelSignalResize();
}

void TFPanelSignal::SpeedButton5Click() {
    changed.copyChannel(1);
    PanelSignalResize();
}

void TFPanelSignal::bMixNewClick() {
    changed.mixIntoRight(configMethodMix() ? 1 : -1);
    PanelSignalResize();
}

} // namespace app
