// The play commands of the main window: the eight play buttons, the done
// message of the player (finish or play the next pass of a loop), the play
// marker drawn across the four panes, and stopping whatever uses the sound
// devices before a signal is replaced.

#include "app/ConfigLink.h"
#include "app/Upanelsig.h"
#include "audio/PlayRange.h"
#include "gui/MessageBox.h"

#include <algorithm>

namespace app {

namespace {

void setImage(QToolButton* b, int image) {
    b->setIcon(buttonImage(image));
}

QString inLanguage(const char* english, const char* russian) {
    return config::languageText(configLanguageIndex(), english, russian);
}

gui::PaintBox* paneOf(TFPanelSignal* w, int k) {
    gui::PaintBox* panes[4] = {w->grSig0, w->grSig1, w->grSigNew0, w->grSigNew1};
    return panes[k];
}

// Pane k: 0, 1 the original's Left and Right, 2, 3 the changed signal's.
const SignalSide& sideOf(const TFPanelSignal* w, int k) {
    return k < 2 ? w->orig : w->changed;
}
int32_t viewLengthOf(const TFPanelSignal* w, int k) {
    return sideOf(w, k).viewLength[k % 2];
}
int32_t viewStartOf(const TFPanelSignal* w, int k) {
    return sideOf(w, k).viewStart[k % 2];
}

QRect rectOf(const PlayMarkRect& r) {
    return QRect(QPoint(r.left, r.top), QPoint(r.right - 1, r.bottom - 1));
}

// The pane painter draws a shown marker inverted; toggling it and repainting
// its strip inverts those pixels on screen.
void invertMarker(TFPanelSignal* w, int k) {
    const PlayMarkRect& r = w->playMarkRects[k];
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    w->playMarkShown[k] = !w->playMarkShown[k];
    paneOf(w, k)->update(rectOf(r));
}

void eraseMarkers(TFPanelSignal* w) {
    for (int k = 0; k < 4; ++k) {
        if (viewLengthOf(w, k) <= 0 && !w->playMarkShown[k])
            continue;
        if (w->playMarkShown[k])
            invertMarker(w, k);
        w->playMarkShown[k] = false;
        w->playMarkRects[k] = PlayMarkRect{};
    }
}

// Ends a playback: player closed, every play button back to its picture,
// ready again, marker gone.
void finishPlayback(TFPanelSignal* w) {
    w->player.closeOutput();
    for (QToolButton* b :
         {w->tPlayAll, w->tPlayNewAll, w->tPlay0, w->tPlay1, w->tPlayNew0, w->tPlayNew1})
        setImage(b, ImgPlay);
    setImage(w->tPlayLoopedAll, ImgPlayLoop);
    setImage(w->tPlayLoopedNewAll, ImgPlayLoop);
    w->setWorkMode(WorkReady);
    w->TimerPlayPos->stop();
    eraseMarkers(w);
}

void reportPlayFailure(TFPanelSignal* w, uint32_t code) {
    if (code == WAVE_NO_OUTPUT_DEVICE)
        gui::showMessageBox(w,
                            inLanguage("No sound output device is present: nothing can be played.",
                                       "Нет устройства вывода звука: воспроизведение невозможно."),
                            "Silvane");
    else
        gui::showMessageBox(
            w,
            inLanguage("The sound output device cannot play this signal (error %1).",
                       "Устройство вывода звука не может воспроизвести этот сигнал (ошибка %1).")
                .arg(code),
            "Silvane");
}

// One play command. `channel` is the one channel played, or -1 for all of
// the signal's channels.
void playCommand(TFPanelSignal* w, QToolButton* button, const SignalSide& side, int channel,
                 bool looped) {
    w->playLength = side.length;
    w->playFrom = w->selectionStart;
    w->playTo = w->selectionEnd;

    if (!looped && w->workMode == WorkPlayOnce) {
        w->player.closeOutput();
        setImage(button, ImgPlay);
        return;
    }
    if (looped && w->workMode == WorkPlayLoop) {
        // Mode 1 first: the done message of the close then finishes.
        w->setWorkMode(WorkPlayOnce);
        w->player.closeOutput();
        setImage(button, ImgPlayLoop);
        return;
    }
    if (w->workMode != WorkReady || w->playLength <= 0)
        return;

    const audio::PlayRange range =
        audio::playRange(w->playLength, w->selectionStart, w->selectionEnd, w->hasSelection);
    if (range.frames <= 0)
        return;

    const int16_t* const planes[2] = {side.samples.data(0), side.samples.data(1)};
    const audio::PlaySource source =
        audio::playSource(planes, w->playLength, side.format.channels, channel, w->playBuffer);
    copyFormat(side.format, w->player);
    w->player.channels = source.channels;

    setImage(button, ImgStop);
    w->setWorkMode(looped ? WorkPlayLoop : WorkPlayOnce);
    w->player.callbackWindow = w;

    w->playFrom = range.first;
    w->playFrames = range.frames;
    w->playPass = 1;
    if (!w->player.play(WAVE_MAPPER, uint32_t(range.frames),
                        source.frames + std::size_t(source.channels) * range.first)) {
        // Nothing plays and no done message will come: back to ready at once.
        const uint32_t code = w->player.lastResult;
        finishPlayback(w);
        reportPlayFailure(w, code);
        return;
    }
    w->TimerPlayPos->start();
}

} // namespace

void TFPanelSignal::tPlay0Click() {
    playCommand(this, tPlay0, orig, 0, false);
}
void TFPanelSignal::tPlay1Click() {
    playCommand(this, tPlay1, orig, 1, false);
}
void TFPanelSignal::tPlayNew0Click() {
    playCommand(this, tPlayNew0, changed, 0, false);
}
void TFPanelSignal::tPlayNew1Click() {
    playCommand(this, tPlayNew1, changed, 1, false);
}
void TFPanelSignal::tPlayAllClick() {
    playCommand(this, tPlayAll, orig, -1, false);
}
void TFPanelSignal::tPlayNewAllClick() {
    playCommand(this, tPlayNewAll, changed, -1, false);
}
void TFPanelSignal::tPlayLoopedAllClick() {
    playCommand(this, tPlayLoopedAll, orig, -1, true);
}
void TFPanelSignal::tPlayLoopedNewAllClick() {
    playCommand(this, tPlayLoopedNewAll, changed, -1, true);
}

void TFPanelSignal::waveOutDone(WAVEHDR* header) {
    // Only the player's own buffer, and only once it is back: a message left
    // over from an earlier close must not end the playback started since.
    if (header != &player.header || (header->dwFlags & WHDR_INQUEUE))
        return;
    if (workMode == WorkPlayOnce) {
        finishPlayback(this);
    } else if (workMode == WorkPlayLoop) {
        setWorkMode(WorkPlayLoop);
        if (player.requeue())
            ++playPass;
        else
            finishPlayback(this);
    }
}

void TFPanelSignal::stopPlayback() {
    // Opening a file stays possible while recording or in full duplex; what
    // runs ends first, so no device is left open behind a ready window. A
    // recording is kept as the original signal until the new one is read.
    if (workMode == WorkRecording) {
        setWorkMode(WorkReady);
        tStopClick();
        return;
    }
    if (workMode == WorkDuplex) {
        tDuplexClick();
        return;
    }
    if (workMode == WorkPlayOnce) {
        tPlayAllClick();
        tPlayNewAllClick();
    } else if (workMode == WorkPlayLoop) {
        tPlayLoopedAllClick();
        tPlayLoopedNewAllClick();
    } else {
        return;
    }
    // The caller replaces the signal next and makes the window ready itself,
    // so the done message would find nothing to finish: finish here.
    finishPlayback(this);
}

void TFPanelSignal::TimerPlayPosTimer() {
    if (workMode != WorkPlayOnce && workMode != WorkPlayLoop)
        return;
    const int32_t pos = audio::heardFrame(player.position(), playPass, playFrames);
    for (int k = 0; k < 4; ++k) {
        const int32_t N = viewLengthOf(this, k);
        if (N <= 0)
            continue;
        gui::PaintBox* pane = paneOf(this, k);
        if (playMarkShown[k])
            invertMarker(this, k);
        const int x =
            audio::markerColumn(pane->width(), int64_t(playFrom) + pos, viewStartOf(this, k), N);
        playMarkRects[k] = PlayMarkRect{x, 0, x + 1, pane->height()};
        invertMarker(this, k);
    }
}

} // namespace app
