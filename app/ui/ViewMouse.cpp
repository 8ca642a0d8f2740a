// The main view's mouse, keyboard-focus, timer and label-mode handling: the
// widget side of MouseSelection and LabelEdits. Events become calls on the
// state machine; its answers become column repaints of the composite
// surface, status-window read-outs, scroll steps and label edits.
//
// The band and the marker are drawn on the composite (clean picture plus
// overlays) one column range at a time: a move repaints only the columns it
// changes, and never rebuilds the traces.

#include <QFocusEvent>
#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstring>

#include "app/ui/ViewMouse.h"

#include <QMenu>

#include "acquisition/AcquisitionState.h"
#include "acquisition/ui/CFormRecordPlay.h"
#include "acquisition/ui/CFrameRecordPlay.h"
#include "app/StatusTable.h"
#include "app/ViewMessages.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CommandRouting.h"
#include "app/ui/CLabelEntry.h"
#include "app/ui/COrielView.h"
#include "app/ui/CStatusWindow.h"
#include "widgets/QtText.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"

namespace vocomet {

namespace {

constexpr const char* kRecordingSaveError = "Error in saving the recorded file.";

const platform::TextMeasurer& Measurer() {
    static const QtTextMeasurer measurer;
    return measurer;
}

QRect ColumnsRect(int left, int right, int height) {
    return QRect(left, 0, std::max(right - left, 0), height);
}

std::optional<LabelEntryValues> RunLabelEntryDialog(QWidget* parent, platform::UserPrompts& prompts,
                                                    const LabelEntryValues& values) {
    CLabelEntry dialog(parent);
    dialog.SetText(values.text);
    dialog.SetFontRecord(values.font);
    dialog.SetColour(values.colour);
    dialog.SetJustification(values.justification);
    dialog.SetAddLine(values.addLine);
    dialog.SetPrompts(&prompts);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    LabelEntryValues result;
    result.text = dialog.Text();
    result.addLine = dialog.AddLine();
    result.font = dialog.FontRecord();
    result.colour = dialog.Colour();
    result.justification = dialog.Justification();
    return result;
}

}  // namespace

// ---- state ----

MouseContext COrielView::MouseContextNow() {
    MouseContext c;
    c.channels = ChannelsInUse();
    c.hasData = m_doc.IsDataLoaded();
    const AcquisitionState& acquisition = m_doc.App().acquisition;
    c.recording = acquisition.recording.load() != 0;
    c.outputBusy = acquisition.soundOut && !acquisition.soundOut->IsIdle();
    c.hoverCursor = m_doc.settings.display.mouseReadout != 0;
    c.client = {0, 0, viewport()->width(), viewport()->height()};
    c.verticalOffset = m_scroll.verticalOffset;
    c.stackHeight = m_layout.StackHeight();
    c.horizontalPage = m_scroll.horizontal.page;
    c.canScroll = m_scroll.canScroll;
    c.visibleStartTime = m_scroll.visibleStartTime;
    c.visibleEndTime = m_scroll.visibleEndTime;
    c.measurer = &Measurer();
    return c;
}

void COrielView::FlagsToMouse() {
    m_mouse.selectionShown = selectionShown;
    m_mouse.markerShown = markerShown;
    m_mouse.labelMode = labelMode;
    m_mouse.clickedChannel = clickedChannel;
    m_mouse.selectionPresent = m_doc.selectionPresent != 0;
}

void COrielView::FlagsFromMouse() {
    selectionShown = m_mouse.selectionShown;
    markerShown = m_mouse.markerShown;
    labelMode = m_mouse.labelMode;
    clickedChannel = m_mouse.clickedChannel;
    m_doc.selectionPresent = m_mouse.selectionPresent ? 1 : 0;
}

CChannels* COrielView::ClickedChannel() {
    const std::span<CChannels> channels = ChannelsInUse();
    if (clickedChannel < 0 || clickedChannel >= static_cast<int>(channels.size()))
        return nullptr;
    return &channels[static_cast<std::size_t>(clickedChannel)];
}

// ---- overlays on the composite ----

std::pair<int, int> COrielView::OverlayRows() const {
    const int height = m_surfaces[kComposite].height();
    const std::span<CChannels> channels = ChannelsInUse();
    const int top = channels.empty() ? 0 : channels[0].strip.top + m_scroll.verticalOffset;
    const int bottom = m_layout.StackHeight() + m_scroll.verticalOffset;
    return {std::clamp(top, 0, height), std::clamp(bottom, 0, height)};
}

void COrielView::RestoreColumns(int left, int right) {
    QImage& composite = m_surfaces[kComposite];
    left = std::max(left, 0);
    right = std::min(right, composite.width());
    if (right <= left)
        return;
    const QImage& clean = m_surfaces[kClean];
    const int bytes = (right - left) * 4;
    for (int y = 0; y < composite.height(); ++y)
        std::memcpy(composite.scanLine(y) + left * 4, clean.constScanLine(y) + left * 4,
                    static_cast<std::size_t>(bytes));
    // Columns still inside the band keep their tint.
    const int l = std::max(left, m_composedBand.left);
    const int r = std::min(right, m_composedBand.right);
    if (l < r)
        TintColumns(l, r);
}

void COrielView::TintColumns(int left, int right) {
    QImage& composite = m_surfaces[kComposite];
    left = std::max(left, 0);
    right = std::min(right, composite.width());
    const auto [top, bottom] = OverlayRows();
    if (right <= left || bottom <= top)
        return;
    QPainter dc(&composite);
    dc.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
    const QRect band(left, top, right - left, bottom - top);
    dc.drawImage(band.topLeft(), m_surfaces[kSelectionTint], band);
}

void COrielView::SyncOverlays() {
    QImage& composite = m_surfaces[kComposite];
    if (composite.isNull() || m_surfaces[kClean].isNull())
        return;
    const int height = composite.height();

    // What the flags ask for. While a press is held the band follows the
    // mouse and no marker is shown; otherwise both follow channel 0.
    ColumnSpan band;
    int marker = -1;
    platform::Rect outline;
    const std::span<CChannels> channels = ChannelsInUse();
    if (m_mouse.Pressed()) {
        band = m_mouse.BandColumns();
        if (m_mouse.labelDragged)
            outline = m_mouse.hitLabelRect;
    } else if (!channels.empty() && (selectionShown || markerShown)) {
        platform::Rect sel;
        channels[0].GetSelectionRect(sel);
        if (selectionShown && sel.right > sel.left)
            band = {sel.left, sel.right};
        if (markerShown)
            marker = sel.left;
    }
    if (band == m_composedBand && marker == m_composedMarkerX && outline == m_composedOutline)
        return;

    // The old label outline goes first: its area comes back from the clean
    // picture (a label drag has no band).
    if (!(outline == m_composedOutline) && !m_composedOutline.IsEmpty()) {
        const platform::Rect& o = m_composedOutline;
        const QRect area = QRect(o.left, o.top, o.Width() + 1, o.Height() + 1).intersected(composite.rect());
        QPainter dc(&composite);
        dc.setCompositionMode(QPainter::CompositionMode_Source);
        dc.drawImage(area.topLeft(), m_surfaces[kClean], area);
        viewport()->update(area);
        m_composedOutline = {};
    }

    bool markerTouched = false;
    if (!(band == m_composedBand)) {
        const BandRepaint repaint = RepaintForBand(m_composedBand, band);
        m_composedBand = band;
        for (const ColumnSpan& s : repaint.restore) {
            RestoreColumns(s.left, s.right);
            viewport()->update(ColumnsRect(s.left, s.right, height));
            markerTouched = markerTouched || (m_composedMarkerX >= s.left && m_composedMarkerX < s.right);
        }
        for (const ColumnSpan& s : repaint.tint) {
            TintColumns(s.left, s.right);
            viewport()->update(ColumnsRect(s.left, s.right, height));
            markerTouched = markerTouched || (m_composedMarkerX >= s.left && m_composedMarkerX < s.right);
        }
    }
    if (marker != m_composedMarkerX && m_composedMarkerX >= 0) {
        RestoreColumns(m_composedMarkerX, m_composedMarkerX + 1);
        viewport()->update(ColumnsRect(m_composedMarkerX, m_composedMarkerX + 1, height));
    }
    if (marker >= 0 && (marker != m_composedMarkerX || markerTouched)) {
        const int bottom = OverlayRows().second;
        QPainter dc(&composite);
        dc.setPen(QPen(Qt::black, 1));
        dc.drawLine(marker, 0, marker, std::max(bottom - 1, 0));
        viewport()->update(ColumnsRect(marker, marker + 1, height));
    }
    m_composedMarkerX = marker;

    if (!outline.IsEmpty() && !(outline == m_composedOutline)) {
        QPainter dc(&composite);
        dc.setPen(QPen(Qt::black, 1));
        dc.setBrush(Qt::NoBrush);
        dc.drawRect(outline.left, outline.top, outline.Width(), outline.Height());
        viewport()->update(QRect(outline.left, outline.top, outline.Width() + 1, outline.Height() + 1));
    }
    m_composedOutline = outline;
}

// ---- the mouse core ----

void COrielView::BeginMouseSelection(unsigned /*flags*/, platform::Point point, double timeMs, int source) {
    FlagsToMouse();
    const PressResult result = m_mouse.Begin(MouseContextNow(), point.x, point.y, timeMs, source);
    if (!result.acted)
        return;
    FlagsFromMouse();
    // A press ends playback through the sound card. An input object that
    // is still recording is left to the recording's own stop path.
    AcquisitionState& acquisition = m_doc.App().acquisition;
    acquisition.StopSoundOutput();
    if (acquisition.soundIn && acquisition.recording.load() == 0)
        acquisition.soundIn.reset();
    SyncOverlays();
    if (statusWindow)
        statusWindow->ShowDuration(this, 0.0);
}

void COrielView::TrackMouse(unsigned flags, platform::Point point, double timeMs, int source) {
    FlagsToMouse();
    const TrackResult result =
        m_mouse.Track(MouseContextNow(), (flags & kLeftButton) != 0, point.x, point.y, timeMs, source);
    if (!result.acted)
        return;
    FlagsFromMouse();
    if (result.hoverMoved) {
        const int height = viewport()->height();
        viewport()->update(ColumnsRect(m_hover.left, m_hover.right, height));
        m_hover = result.newHover;
        viewport()->update(ColumnsRect(m_hover.left, m_hover.right, height));
    }
    SyncOverlays();
    if (result.autoScroll != AutoScroll::None) {
        // Posted like a scroll-bar click: every move past the edge scrolls a
        // line, and the paint after them rebuilds once.
        const ScrollCode code =
            result.autoScroll == AutoScroll::LineLeft ? ScrollCode::LineBack : ScrollCode::LineForward;
        QMetaObject::invokeMethod(this, [this, code] { OnHScroll(code, 0); }, Qt::QueuedConnection);
    }
    if (statusWindow && result.durationMs)
        statusWindow->ShowDuration(this, *result.durationMs);
    ShowReadouts(result);
}

void COrielView::ShowReadouts(const TrackResult& result) {
    if (!statusWindow || !result.readout)
        return;
    for (const CursorReadout& r : result.rows) {
        statusWindow->ShowCursorValue(this, r.row, kStatusValue, r.value);
        statusWindow->ShowCursorValue(this, r.row, kStatusIntensity, r.intensity);
        statusWindow->ShowCursorValue(this, r.row, kStatusVelocity, r.velocity);
        statusWindow->ShowCursorValue(this, r.row, kStatusAcceleration, r.acceleration);
    }
    statusWindow->ShowCursorTime(this, result.cursorTime);
}

void COrielView::EndMouseSelection(unsigned /*flags*/, platform::Point point, double timeMs, int source) {
    FlagsToMouse();
    const ReleaseResult result = m_mouse.End(MouseContextNow(), point.x, point.y, timeMs, source);
    if (!result.acted)
        return;
    FlagsFromMouse();
    switch (result.action) {
    case ReleaseAction::None:
        break;
    case ReleaseAction::Invalidate:
        SyncOverlays();
        Invalidate();
        break;
    case ReleaseAction::Redraw:
        m_redraw = true;
        Invalidate();
        break;
    case ReleaseAction::MoveDraggedLabel:
        SyncOverlays();
        MoveDraggedLabel(m_mouse.hitLabel, m_mouse.hitLabelRect);
        break;
    case ReleaseAction::EditHitLabel:
    case ReleaseAction::EnterNewLabel: {
        SyncOverlays();
        const auto entry = hooks.labelEntry ? hooks.labelEntry
                                            : [this](const LabelEntryValues& v) {
                                                  return RunLabelEntryDialog(this, m_doc.Prompts(), v);
                                              };
        RunLabelEntry(m_mouse, result.action, ClickedChannel(), m_scroll.verticalOffset, Measurer(),
                      LabelWindowsNow(), entry);
        FlagsFromMouse();
        Invalidate();
        break;
    }
    }
}

// ---- labels ----

LabelWindows COrielView::LabelWindowsNow() {
    LabelWindows w;
    w.spectrogram = hooks.spectrogramPane ? hooks.spectrogramPane() : nullptr;
    w.pitch = hooks.pitchPane ? hooks.pitchPane() : nullptr;
    w.labelList = hooks.labelList ? hooks.labelList() : nullptr;
    w.modifiedAndRedraw = [this] {
        m_doc.SetModifiedFlag(true);
        m_redraw = true;
        Invalidate();
    };
    return w;
}

void COrielView::StoreLabelAtPress(const LABEL& label, bool isNew) {
    if (CChannels* channel = ClickedChannel())
        vocomet::StoreLabelAtPress(m_mouse, *channel, label, isNew, m_scroll.verticalOffset, Measurer(),
                                   LabelWindowsNow());
}

void COrielView::MoveDraggedLabel(const LABEL& label, const platform::Rect& rect) {
    if (CChannels* channel = ClickedChannel())
        vocomet::MoveDraggedLabel(m_mouse, *channel, label, rect, m_scroll.verticalOffset, LabelWindowsNow());
}

void COrielView::DeleteHitLabel(LABEL label) {
    vocomet::DeleteHitLabel(m_mouse, ClickedChannel(), label, LabelWindowsNow());
}

void COrielView::ClearSelection() {
    FlagsToMouse();
    m_mouse.ClearSelection(ChannelsInUse());
    FlagsFromMouse();
    m_redraw = true;
    Invalidate();
}

void COrielView::OnLabelsMode() {
    labelMode = !labelMode;
}

void COrielView::OnLabelsViewLabels() {
    if (hooks.viewLabels)
        hooks.viewLabels();
}

// ---- timers ----

void COrielView::SetTimer(int id, int milliseconds) {
    QTimer*& timer = m_timers[id];
    if (!timer) {
        timer = new QTimer(this);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this, id] { OnTimer(id); });
    }
    timer->start(std::max(milliseconds, 0));
}

void COrielView::KillTimer(int id) {
    if (const auto it = m_timers.find(id); it != m_timers.end())
        it->second->stop();
}

bool COrielView::IsTimerSet(int id) const {
    const auto it = m_timers.find(id);
    return it != m_timers.end() && it->second->isActive();
}

void COrielView::OnTimer(int id) {
    KillTimer(id);
    const auto run = [](const std::function<void()>& f) {
        if (f)
            f();
    };
    switch (ActionOfTimer(id)) {
    case ViewTimerAction::StartRecording:
        run(hooks.startRecording);
        break;
    case ViewTimerAction::CaptureScreen:
        CaptureScreen();
        break;
    case ViewTimerAction::ShowRecordingMonitor:
        run(hooks.showRecordingMonitor);
        break;
    case ViewTimerAction::AdvancePlayCursor:
        run(hooks.advancePlayCursor);
        break;
    case ViewTimerAction::InvalidateAll:
        Invalidate();
        break;
    case ViewTimerAction::None:
        break;
    }
}

// ---- messages ----

void COrielView::TellPanes(void (MouseMirror::*call)(unsigned, platform::Point, double, int), unsigned flags,
                           platform::Point point) {
    // The spectrogram first, then the pitch pane, as the user sees them
    // follow.
    for (const auto& pane : {hooks.spectrogramPane, hooks.pitchPane})
        if (pane)
            if (AnalysisPane* p = pane())
                (p->*call)(flags, point, CursorTime(), kFromPane);
}

void COrielView::StopRecordingForPress() {
    AcquisitionState& acquisition = m_doc.App().acquisition;
    // Only a sound-card recording is stopped here; a device recording
    // belongs to its record window.
    if (!acquisition.soundIn)
        return;
    acquisition.recording.store(0);
    acquisition.soundIn->StopInput();
    acquisition.soundIn->Stop();
    // The loader owns the recording file from here on; the input object
    // (which would remove a file nobody took) goes first.
    platform::File recording = acquisition.soundIn->TakeRecordFile();
    acquisition.soundIn.reset();
    bool loaded = false;
    try {
        loaded = hooks.loadRecording && hooks.loadRecording(recording);
    } catch (const std::exception&) {
        loaded = false;
    }
    ReleaseBuffers();
    LayoutChannels();
    if (!loaded) {
        Invalidate();
        m_doc.Prompts().Message(kRecordingSaveError, platform::Buttons::Ok, platform::Icon::Error);
        return;
    }
    m_redraw = true;
    m_scroll.SetVerticalExtent(m_layout.StackHeight(), viewport()->height());
    SyncScrollBars();
    Invalidate();
}

void COrielView::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    event->accept();
    const bool playing = hooks.stopPlayCursor && hooks.stopPlayCursor();
    const bool recording = m_doc.App().acquisition.recording.load() != 0;
    if (RouteOfPress(playing, recording) == PressRoute::StopRecording) {
        StopRecordingForPress();
        return;
    }
    const QPoint p = event->position().toPoint();
    const platform::Point point{p.x(), p.y()};
    BeginMouseSelection(kLeftButton, point, 0.0, kFromView);
    // The cursor is where the press was (a press comes without a move
    // before it): the panes take that time, not the last move's.
    m_mouse.cursorTime = m_mouse.anchorTime;
    TellPanes(&MouseMirror::BeginMouseSelection, kLeftButton, point);
}

void COrielView::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    // A held button drags only what a press of this view began (not the
    // press that stopped a recording).
    const unsigned flags = (event->buttons() & Qt::LeftButton) && m_mouse.Pressed() ? kLeftButton : 0u;
    const QPoint p = event->position().toPoint();
    const platform::Point point{p.x(), p.y()};
    TrackMouse(flags, point, 0.0, kFromView);
    TellPanes(&MouseMirror::TrackMouse, flags, point);
}

void COrielView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    // The release of a press that stopped a recording ends nothing.
    if (!m_mouse.Pressed())
        return;
    const QPoint p = event->position().toPoint();
    const platform::Point point{p.x(), p.y()};
    EndMouseSelection(0, point, 0.0, kFromView);
    TellPanes(&MouseMirror::EndMouseSelection, 0, point);
}

void COrielView::focusInEvent(QFocusEvent* event) {
    QAbstractScrollArea::focusInEvent(event);
    OnSetFocus();
}

void COrielView::OnSetFocus() {
    if (statusWindow) {
        statusWindow->SetTitle(QString::fromStdString(m_doc.GetTitle()));
        statusWindow->ShowDocument(this, &m_doc);
    }
    // The record/play options say whether the active recording was ever
    // saved.
    if (CFrameRecordPlay* frame = m_doc.App().acquisition.recordPlayFrame; frame && frame->Form())
        frame->Form()->savedDocument = m_doc.neverSaved == 0 ? 1 : 0;
}

// ---- menu ----

void AddLabelModeCommand(QMenu& labels, std::function<CChildFrame*()> activeFrame) {
    QAction* mode = labels.addAction(QStringLiteral("Enable Label Entry Mode"));
    QObject::connect(mode, &QAction::triggered, &labels, [activeFrame] {
        if (CChildFrame* frame = activeFrame(); frame && frame->GetView())
            frame->GetView()->OnLabelsMode();
    });
    DeclareViewCommand(mode, ViewCommand::LabelsMode);
}

}  // namespace vocomet
