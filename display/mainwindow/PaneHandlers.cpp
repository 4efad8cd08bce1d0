// The main window's waveform panes: refresh, painting, mouse, zoom and cut.
// The arithmetic is in Display.h; these handlers read the controls and the
// signal store and draw.

#include "app/Upanelsig.h"
#include "display/Display.h"
#include "display/Spectrogram.h"
#include "soundfile/WavFile.h"

#include <QPainter>

namespace app {

namespace {

const QColor kSelection(0, 128, 0);
const QColor kVoice(0, 255, 0);
const QColor kNoVoice(255, 0, 0);
const QColor kOverlay(0, 0, 255);
const QColor kOverlayOutline(80, 160, 255); // blue that stays visible on the spectrogram's dark end

display::PaneView viewOf(const SignalSide& side, int ch) {
    return display::PaneView{side.viewStart[ch], side.viewLength[ch]};
}

// Settings of the spectrograms of one pane group at its rate and amplitude zoom.
display::SpectrogramSettings spectrogramSettings(const TFPanelSignal* w, uint32_t rate,
                                                 double ampZoom) {
    display::SpectrogramSettings s;
    s.sampleRate = int32_t(rate);
    s.logFrequency = w->mLogFrequency->isChecked();
    display::levelRangeForZoom(ampZoom, s.floorDb, s.ceilingDb);
    return s;
}

// Pixels per column: with as many columns as pixels the scale is 1; a pane
// wider than the tables spreads each column a little.
double columnScale(int count, int width) {
    return double(width) / std::max(count, display::columnCount(width, MaxColumns));
}

void drawColumns(QPainter& p, const ColumnRange* cols, int count, int width, const QColor& colour) {
    if (count <= 0)
        return;
    p.setPen(colour);
    const double scale = columnScale(count, width);
    auto px = [&](int x) { return int(x * scale); };
    QPoint last(px(0), (cols[0].top + cols[0].bottom) / 2);
    for (int x = 0; x < count; ++x) {
        QPoint next(px(x), (cols[x].top + cols[x].bottom) / 2);
        p.drawLine(last, next);
        last = next;
    }
    for (int x = 0; x < count; ++x) {
        if (cols[x].bottom == cols[x].top)
            p.drawPoint(px(x), cols[x].top);
        else
            p.drawLine(px(x), cols[x].bottom, px(x),
                       cols[x].top + (cols[x].bottom > cols[x].top ? 1 : -1));
    }
}

// Over a spectrogram a filled waveform would hide the picture: only the
// envelope, the columns' tops and bottoms, is traced, and not where the
// signal is too quiet to show (a flat line there would read as a tone).
void drawEnvelope(QPainter& p, const ColumnRange* cols, int count, int width,
                  const QColor& colour) {
    if (count <= 0)
        return;
    p.setPen(colour);
    const double scale = columnScale(count, width);
    auto quiet = [&](int x) { return std::abs(cols[x].bottom - cols[x].top) <= 2; };
    for (int x = 1; x < count; ++x) {
        if (quiet(x - 1) && quiet(x))
            continue;
        const int x0 = int((x - 1) * scale), x1 = int(x * scale);
        p.drawLine(x0, cols[x - 1].top, x1, cols[x].top);
        p.drawLine(x0, cols[x - 1].bottom, x1, cols[x].bottom);
    }
}

} // namespace

void TFPanelSignal::PanelSignalResize() {
    samplesPerMs = samplesPerMsFor(player.sampleRate);
    if (timeZoom == 1.0 && ScrollSignal->value() != 0) {
        QSignalBlocker block(ScrollSignal);
        ScrollSignal->setValue(0);
    }
    LabZoomY->setText(QString::fromStdString(display::zoomLabel(origAmpZoom)));
    LabZoomX->setText(QString::fromStdString(display::zoomLabel(timeZoom)));
    const QString start = QString::fromStdString(display::startText(selectionStart, samplesPerMs));
    const QString length = QString::fromStdString(
        display::lengthText(hasSelection, selectionStart, selectionEnd, samplesPerMs));
    for (StatusBar* bar : {Status0, Status1}) {
        bar->setPanelText(3, start);
        bar->setPanelText(4, length);
    }

    const int pos = ScrollSignal->value(), max = ScrollSignal->maximum();
    auto reduce = [&](const int16_t* samples, int32_t len, display::PaneView view,
                      gui::PaintBox* box, double zoom, ColumnRange* out) {
        return display::reduceColumns(samples, len, view, box->width(), box->height(), zoom,
                                      fullScale, out, MaxColumns);
    };
    // One pane of a signal: its view, its columns and, shown or not, its spectrogram.
    auto refresh = [&](SignalSide& side, int ch, gui::PaintBox* box, double ampZoom,
                       uint32_t rate) {
        const display::PaneView v = display::computeView(side.length, timeZoom, pos, max);
        side.viewStart[ch] = v.start;
        side.viewLength[ch] = v.length;
        side.columnCount[ch] = reduce(side.samples.data(ch), side.length, v, box, ampZoom,
                                      side.columns[std::size_t(ch)]);
        if (mSpectrogram->isChecked())
            spectrograms[(&side == &orig ? 0 : 2) + ch].update(
                side.samples.data(ch), side.length, v, box->width(), box->height(), MaxColumns,
                spectrogramSettings(this, rate, ampZoom));
    };
    auto overlay = [&](int ch, gui::PaintBox* box) {
        overlayColumnCount[ch] = reduce(changedSamples.data(ch), changedLength, viewOf(orig, ch),
                                        box, origAmpZoom, overlayColumns[ch]);
    };
    if (origLength > 0) {
        showSignalStatus(Status0, soundfile::sourceHeader.sampleRate,
                         soundfile::sourceHeader.channels, soundfile::sourceHeader.bitsPerSample,
                         origLength);
        refresh(orig, 0, grSig0, origAmpZoom, player.sampleRate);
        grSig0->repaint();
    }
    if (changedLength > 0 && origLength > 0) {
        overlay(0, grSig0);
        grSig0->repaint();
    }
    if (origLength > 0) {
        refresh(orig, 1, grSig1, origAmpZoom, player.sampleRate);
        grSig1->repaint();
    }
    if (changedLength > 0 && origLength > 0 && player.channels > 1) {
        overlay(1, grSig1);
        grSig1->repaint();
    }
    if (changedLength > 0) {
        showSignalStatus(Status1, changedFormat.sampleRate, changedFormat.channels,
                         changedFormat.bitsPerSample, changedLength);
        refresh(changed, 0, grSigNew0, changedAmpZoom, changedFormat.sampleRate);
        grSigNew0->repaint();
        refresh(changed, 1, grSigNew1, changedAmpZoom, changedFormat.sampleRate);
        grSigNew1->repaint();
    }
}

void TFPanelSignal::ScrollBox1Resize() {
    const int client = ScrollBox1->viewport()->height();
    const int bar = ToolBar8->sizeHint().height();
    const int h = std::max(20, display::paneHeight(client, bar, true, true));
    for (gui::PaintBox* box : {grSig0, grSig1, grSigNew0, grSigNew1})
        box->setFixedHeight(h);
}

// The voice marks and the cleaned overlay are drawn on the original panes only.
void TFPanelSignal::ShowSTATEVADClick() {
    PanelSignalResize();
    grSig0->update();
    grSig1->update();
    applyFocusRule();
}

// Both views share the columns, cursor, selection and zoom; only the pane's
// picture changes.
void TFPanelSignal::SpectrogramClick() {
    PanelSignalResize();
    for (gui::PaintBox* box : {grSig0, grSig1, grSigNew0, grSigNew1})
        box->update();
    applyFocusRule();
}

void TFPanelSignal::ShowClearSigClick() {
    ShowSTATEVADClick();
}

namespace {

void paintPane(TFPanelSignal* w, QPainter& p, gui::PaintBox* box, int ch, const SignalSide& side) {
    const int W = box->width(), H = box->height();
    const bool original = &side == &w->orig;
    const display::PaneView view = viewOf(side, ch);
    const int k = (original ? 0 : 2) + ch;
    const bool spectrogram = w->mSpectrogram->isChecked();
    p.fillRect(box->rect(), Qt::black);
    if (spectrogram && view.length > 0) {
        // The image has one pixel per column, spread over the pane as the waveform's columns are.
        const display::SpectrogramImage& im = w->spectrograms[k].image();
        if (im.width > 0 && im.height > 0) {
            const QImage image(reinterpret_cast<const uchar*>(im.pixels.data()), im.width,
                               im.height, im.width * 4, QImage::Format_RGB32);
            p.drawImage(QRect(0, 0, W, H), image);
        }
    }
    if (view.length > 0) {
        display::Span band = display::selectionBand(view, W, w->selectionStart, w->selectionEnd);
        // Over a spectrogram the band is translucent so that the selection's spectrum stays
        // readable.
        const QColor colour = spectrogram ? QColor(0, 255, 0, 70) : kSelection;
        if (band.right > band.left)
            p.fillRect(QRect(QPoint(band.left, 0), QPoint(band.right - 1, H - 1)), colour);
    }
    const bool rightAllowed = ch == 0 || w->player.channels > 1;
    if (original && view.length > 0 && w->ShowSTATEVAD->isChecked() && rightAllowed) {
        const processing::EngineBlock& b = processing::engineStates[ch];
        const int32_t hop = int32_t(processing::engineFrameStep(b)),
                      len = int32_t(processing::engineFrameLength(b));
        const uint8_t* vad = w->vadStates.data(ch);
        const int32_t count = std::min(w->vadCount, MaxVadFrames);
        // Only the frames inside the view are drawn.
        for (int32_t r = display::firstVadFrameInView(view, hop, len); r < count; ++r) {
            display::Span s = display::vadSpan(view, W, r, hop, len);
            if (s.left > W)
                break;
            if (s.right <= s.left)
                continue;
            p.fillRect(QRect(QPoint(s.left, H - 5), QPoint(s.right - 1, H - 1)),
                       vad[r] ? kVoice : kNoVoice);
        }
    }
    const uint32_t rate = original ? w->player.sampleRate : side.format.sampleRate;
    const display::SpectrogramSettings settings =
        spectrogramSettings(w, rate, original ? w->origAmpZoom : w->changedAmpZoom);
    const display::ScaleLabels labels =
        spectrogram ? display::spectrogramLabels(settings.sampleRate, settings.logFrequency, H,
                                                 settings.floorDb, settings.ceilingDb)
                    : display::scaleLabels(w->player.bitsPerSample, w->origAmpZoom);
    if (labels.shown) {
        p.setPen(QColor(255, 255, 0));
        QFont f = p.font();
        f.setPixelSize(10);
        p.setFont(f);
        const QFontMetrics fm(f);
        auto label = [&](int y, const std::string& text) {
            const QString t = QString::fromStdString(text);
            QRect r(2, y, fm.horizontalAdvance(t) + 2, fm.height());
            p.fillRect(r, Qt::black);
            p.drawText(r, Qt::AlignLeft | Qt::AlignTop, t);
        };
        label(0, labels.top);
        label(H / 2 - 5, labels.middle);
        label(H - 10, labels.bottom);
    }
    if (view.length > 0 && !spectrogram)
        drawColumns(p, side.columns[std::size_t(ch)], side.columnCount[ch], W, Qt::white);
    if (original && w->ShowClearSig->isChecked() && w->origLength > 0 && w->changedLength > 0 &&
        rightAllowed) {
        if (spectrogram)
            drawEnvelope(p, w->overlayColumns[ch], w->overlayColumnCount[ch], W, kOverlayOutline);
        else
            drawColumns(p, w->overlayColumns[ch], w->overlayColumnCount[ch], W, kOverlay);
    }
    if (view.length > 0) {
        if (w->playMarkShown[k]) {
            const PlayMarkRect& m = w->playMarkRects[k];
            p.setCompositionMode(QPainter::RasterOp_SourceXorDestination);
            p.fillRect(QRect(QPoint(m.left, m.top), QPoint(m.right - 1, m.bottom - 1)), Qt::white);
            p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        }
        display::Span c = display::cursorLine(view, W, w->selectionStart);
        p.fillRect(QRect(QPoint(c.left, 0), QPoint(std::max(c.left, c.right - 1), H - 1)),
                   spectrogram ? Qt::white : kSelection);
    }
}

} // namespace

void TFPanelSignal::grSig0Paint(QPainter& p) {
    paintPane(this, p, grSig0, 0, orig);
}
void TFPanelSignal::grSig1Paint(QPainter& p) {
    paintPane(this, p, grSig1, 1, orig);
}
void TFPanelSignal::grSigNew0Paint(QPainter& p) {
    paintPane(this, p, grSigNew0, 0, changed);
}
void TFPanelSignal::grSigNew1Paint(QPainter& p) {
    paintPane(this, p, grSigNew1, 1, changed);
}

namespace {

void mouseDown(TFPanelSignal* w, Qt::MouseButton button, int x, gui::PaintBox* box, int ch,
               const SignalSide& side) {
    if (button == Qt::RightButton) {
        if (&side == &w->orig)
            w->tPlayAllClick();
        else
            w->tPlayNewAllClick();
        return;
    }
    const display::PaneView view = viewOf(side, ch);
    const int32_t p = display::sampleAtPixel(view, x, box->width());
    w->mouseSample = p;
    display::Selection s = w->selection();
    const bool refresh = display::pressAt(s, p);
    w->keepSelection(s);
    if (refresh)
        w->PanelSignalResize();
}

void mouseMove(TFPanelSignal* w, Qt::MouseButtons buttons, int x, gui::PaintBox* box, int ch,
               const SignalSide& side) {
    const display::PaneView view = viewOf(side, ch);
    w->changedPaneActive = &side == &w->orig ? 0 : 1;
    const int32_t p = display::sampleAtPixel(view, x, box->width());
    w->mouseSample = p;
    const int32_t length = side.length;
    display::Selection s = w->selection();
    const display::MoveResult r =
        display::moveTo(s, p, view.length, length, (buttons & Qt::LeftButton) != 0);
    if (!r.acted)
        return;
    const int16_t amp = p < length ? side.samples[std::size_t(ch)][p] : 0;
    w->setWindowTitle(QString::fromStdString(display::captionText(p, w->samplesPerMs, amp)));
    if (r.hover == display::Hover::Edge)
        box->setCursor(Qt::SizeHorCursor);
    else if (r.hover == display::Hover::Away)
        box->setCursor(Qt::PointingHandCursor);
    w->keepSelection(s);
    if (r.refresh)
        w->PanelSignalResize();
}

} // namespace

void TFPanelSignal::grSig0MouseDown(Qt::MouseButton b, int x, int) {
    mouseDown(this, b, x, grSig0, 0, orig);
}
void TFPanelSignal::grSig1MouseDown(Qt::MouseButton b, int x, int) {
    mouseDown(this, b, x, grSig1, 1, orig);
}
void TFPanelSignal::grSigNew0MouseDown(Qt::MouseButton b, int x, int) {
    mouseDown(this, b, x, grSigNew0, 0, changed);
}
void TFPanelSignal::grSigNew1MouseDown(Qt::MouseButton b, int x, int) {
    mouseDown(this, b, x, grSigNew1, 1, changed);
}
void TFPanelSignal::grSig0MouseMove(Qt::MouseButtons b, int x, int) {
    mouseMove(this, b, x, grSig0, 0, orig);
}
void TFPanelSignal::grSig1MouseMove(Qt::MouseButtons b, int x, int) {
    mouseMove(this, b, x, grSig1, 1, orig);
}
void TFPanelSignal::grSigNew0MouseMove(Qt::MouseButtons b, int x, int) {
    mouseMove(this, b, x, grSigNew0, 0, changed);
}
void TFPanelSignal::grSigNew1MouseMove(Qt::MouseButtons b, int x, int) {
    mouseMove(this, b, x, grSigNew1, 1, changed);
}

// The up-down controls report a press only when their position moved.
void TFPanelSignal::Zoom_YClick(bool next) {
    if (next) {
        origAmpZoom = display::zoomNext(origAmpZoom);
        changedAmpZoom = display::zoomNext(changedAmpZoom);
    } else {
        origAmpZoom = display::zoomPrevious(origAmpZoom);
        changedAmpZoom = display::zoomPrevious(changedAmpZoom);
    }
    PanelSignalResize();
}

void TFPanelSignal::Zoom_XClick(bool next) {
    timeZoom = next ? display::zoomNext(timeZoom) : display::zoomPrevious(timeZoom);
    PanelSignalResize();
}

void TFPanelSignal::ZoomOutClick() {
    origAmpZoom = changedAmpZoom = timeZoom = 1.0;
    PanelSignalResize();
}

void TFPanelSignal::ZoomOutYClick() {
    origAmpZoom = changedAmpZoom = 1.0;
    PanelSignalResize();
}

void TFPanelSignal::SpeedButton1Click() {
    changedAmpZoom += 1000;
    PanelSignalResize();
}

void TFPanelSignal::SpeedButton4Click() {
    changedAmpZoom -= 1000;
    if (!(changedAmpZoom >= 1.0))
        changedAmpZoom = 1.0;
    PanelSignalResize();
}

namespace {

// Cuts the selection from `count` channels starting at `first` of a signal.
void cutSignal(TFPanelSignal* w, SignalSide& side, int first, int count) {
    if (side.length <= 0)
        return;
    side.cut(first, count, w->selectionStart, w->selectionEnd);
    w->resetSelection();
    w->PanelSignalResize();
}

int wholeCutChannels(const SignalSide& side) {
    return display::wholeCutChannels(soundfile::sourceHeader.channels, side.format.channels);
}

} // namespace

void TFPanelSignal::tCutClick() {
    cutSignal(this, orig, 0, wholeCutChannels(orig));
}
void TFPanelSignal::tCutNewClick() {
    cutSignal(this, changed, 0, wholeCutChannels(changed));
}
void TFPanelSignal::tCutLClick() {
    cutSignal(this, orig, 0, 1);
}
void TFPanelSignal::tCutRClick() {
    cutSignal(this, orig, 1, 1);
}
void TFPanelSignal::tCutNewLClick() {
    cutSignal(this, changed, 0, 1);
}
void TFPanelSignal::tCutNewRClick() {
    cutSignal(this, changed, 1, 1);
}

} // namespace app
