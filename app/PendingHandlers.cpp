// Handlers whose commands are not built yet. Each does nothing until its
// subsystem takes it over (and removes it from here).

#include "Upanelsig.h"



void TFPanelSignal::tPlayAllClick() {}
void TFPanelSignal::tPlayLoopedAllClick() {}
void TFPanelSignal::tPlayNewAllClick() {}
void TFPanelSignal::tPlayLoopedNewAllClick() {}
void TFPanelSignal::tPlay0Click() {}
void TFPanelSignal::tPlay1Click() {}
void TFPanelSignal::tPlayNew0Click() {}
void TFPanelSignal::tPlayNew1Click() {}
void TFPanelSignal::tRecordClick() {}
void TFPanelSignal::tStopClick() {}
void TFPanelSignal::tDuplexClick() {}
void TFPanelSignal::stopPlayback() {}
void TFPanelSignal::TimerRecTimer() {}
void TFPanelSignal::TimerPlayPosTimer() {}
void TFPanelSignal::TimerSVTimer() {}
void TFPanelSignal::TimerRecordTimer() {}
void TFPanelSignal::TimerPlayTimer() {}
void TFPanelSignal::waveOutDone(WAVEHDR*) {}
void TFPanelSignal::waveInData(WAVEHDR*) {}



void TFPanelSignal::applyLanguage(int) {}
