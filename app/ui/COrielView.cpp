#include "app/ui/COrielView.h"

#include <QPaintEvent>
#include <QPainter>
#include <QResizeEvent>
#include <QScrollBar>
#include <QShowEvent>
#include <QWheelEvent>
#include <algorithm>
#include <cstring>
#include <utility>

#include "acquisition/ui/CFormRecordPlay.h"
#include "acquisition/ui/CFrameRecordPlay.h"
#include "app/ViewMessages.h"
#include "app/ui/CFrameLabelView.h"
#include "widgets/DrawingRoutines.h"
#include "app/ui/ViewRendal.h"
#include "widgets/QtText.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"

namespace vocomet {

namespace {

constexpr const char* kDisplaySetupError = "Error in setting up the display parameters.";
constexpr const char* kDrawingError = "Error in drawing the image.";

ScrollCode CodeOfAction(int action) {
    switch (action) {
    case QAbstractSlider::SliderSingleStepSub:
        return ScrollCode::LineBack;
    case QAbstractSlider::SliderSingleStepAdd:
        return ScrollCode::LineForward;
    case QAbstractSlider::SliderPageStepSub:
        return ScrollCode::PageBack;
    case QAbstractSlider::SliderPageStepAdd:
        return ScrollCode::PageForward;
    case QAbstractSlider::SliderMove:
        return ScrollCode::ThumbTrack;
    default:
        return ScrollCode::Other;
    }
}

// Copies the pixels of one surface onto another of the same size in place;
// a surface of another size, or one shared with a copy held elsewhere, is
// made anew.
void CopyPixels(const QImage& from, QImage& to) {
    if (to.size() == from.size() && to.format() == from.format() && to.bytesPerLine() == from.bytesPerLine() &&
        to.isDetached()) {
        std::memcpy(to.bits(), from.constBits(), static_cast<std::size_t>(from.sizeInBytes()));
        return;
    }
    to = from.copy();
}

void MirrorBar(QScrollBar* bar, const ScrollBarState& state) {
    bar->setRange(state.minimum, state.MaxPosition());
    bar->setPageStep(state.page);
    bar->setValue(state.position);
}

}  // namespace

COrielView::COrielView(COrielDoc& doc, QWidget* parent) : QAbstractScrollArea(parent), m_doc(doc) {
    InstallRendalRecordRoad(*this);
    platform::LogFontA lf;  // the application font: Arial, 14 pixels
    lf.height = 14;
    lf.weight = 400;
    lf.faceName = "Arial";
    appFont = ToQFont(lf);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    // Every pixel comes from the surfaces: nothing to erase first.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    // Moves without a button drive the cursor read-outs.
    viewport()->setMouseTracking(true);
    connect(horizontalScrollBar(), &QAbstractSlider::actionTriggered, this, &COrielView::OnHorizontalAction);
    connect(verticalScrollBar(), &QAbstractSlider::actionTriggered, this, &COrielView::OnVerticalAction);
    SyncScrollBars();
    m_summaryTimer.setSingleShot(true);
    m_summaryTimer.setInterval(kSummaryRepaintMs);
    connect(&m_summaryTimer, &QTimer::timeout, this, [this] {
        if (m_painter.IsIncomplete()) {
            m_redraw = true;
            Invalidate();
        }
    });
    // Called on a build thread: only a queued call to this thread, and no
    // more than one waiting at a time.
    m_summaryListener = m_summaries.AddProgressListener([this] {
        if (!m_summaryNotePending.exchange(true))
            QMetaObject::invokeMethod(this, &COrielView::OnSummaryProgress, Qt::QueuedConnection);
    });
    InstallLabelListHooks(*this);
}

COrielView::~COrielView() {
    // No build may reach this view once it goes.
    m_summaries.RemoveProgressListener(m_summaryListener);
    ReleaseBuffers();
}

void COrielView::OnSummaryProgress() {
    m_summaryNotePending.store(false);
    // Only a picture drawn in part waits for the summaries.
    if (m_painter.IsIncomplete() && !m_summaryTimer.isActive())
        m_summaryTimer.start();
}

std::span<CChannels> COrielView::ChannelsInUse() const {
    const int count = std::clamp(m_doc.GetChannelCount(), 0, kDocumentSlots);
    return std::span<CChannels>(m_doc.Channels().data(), static_cast<std::size_t>(count));
}

// ---- layout and surfaces ----

void COrielView::OnInitialUpdate() {
    try {
        m_drawingErrorShown = false;
        selectionShown = false;
        markerShown = false;
        m_doc.selectionPresent = 0;
        m_mouse = MouseSelection{};
        m_mouse.currentLabel.font = ToLogFont(appFont);
        m_scroll.ResetHorizontal();
        SyncScrollBars();
        ReleaseBuffers();
        LayoutChannels();
        m_initialUpdateDone = true;
        OnSize();
        if (CFrameRecordPlay* frame = m_doc.App().acquisition.recordPlayFrame; frame && frame->Form())
            frame->Form()->SetDocument(&m_doc);
        // The first picture of a document with data comes a moment later,
        // once the frame is up.
        if (m_doc.IsDataLoaded())
            SetTimer(kTimerFirstRepaint, DefaultTimerPeriodMs(kTimerFirstRepaint));
    } catch (const std::exception&) {
        m_doc.Prompts().Beep();
        m_doc.Prompts().Message("Error in initilization of view.", platform::Buttons::Ok, platform::Icon::Error);
    }
}

void COrielView::LayoutChannels() {
    const QSize size = viewport()->size();
    const platform::Rect client{0, 0, size.width(), size.height()};
    const std::span<CChannels> channels = ChannelsInUse();
    m_layout.LayoutChannels(channels, client);
    if (!channels.empty())
        m_scroll.TakeVisibleTimes(channels[0]);

    const int w = std::max(client.Width(), 1);
    const int h = std::max(client.Height(), 1);
    for (int i = 0; i < kSurfaceCount; ++i)
        m_surfaces[static_cast<std::size_t>(i)] = QImage(i == kPlayCursor ? 1 : w, h, QImage::Format_RGB32);
    m_drawing = QImage(w, h, QImage::Format_RGB32);
    const bool made = !m_drawing.isNull() &&
                      std::none_of(m_surfaces.begin(), m_surfaces.end(), [](const QImage& s) { return s.isNull(); });
    if (!made) {
        ReleaseBuffers();
        m_doc.Prompts().Beep();
        m_doc.Prompts().Message(kDisplaySetupError, platform::Buttons::Ok, platform::Icon::Error);
        return;
    }
    PaintBackground();
}

void COrielView::PaintBackground() {
    const auto& colours = m_doc.displayColours;
    for (Surface s : {kBackground, kClean, kComposite})
        m_surfaces[s].fill(ToQColor(colours[0]));
    m_surfaces[kSelectionTint].fill(ToQColor(colours[2]));
    m_surfaces[kPlayCursor].fill(ToQColor(colours[1]));
    // The composite holds no overlay now.
    m_composedBand = {};
    m_composedMarkerX = -1;
    m_composedOutline = {};
}

void COrielView::ReleaseBuffers() {
    for (QImage& s : m_surfaces)
        s = QImage();
    m_drawing = QImage();
}

void COrielView::OnSize() {
    if (!m_initialUpdateDone)
        return;
    ReleaseBuffers();
    LayoutChannels();
    m_redraw = true;
    m_scroll.SetVerticalExtent(m_layout.StackHeight(), viewport()->height());
    SyncScrollBars();
    // A frame shrunk to nothing drops the selection, the marker and label mode.
    if (viewport()->width() == 0 && viewport()->height() == 0) {
        selectionShown = false;
        markerShown = false;
        labelMode = false;
    }
    Invalidate();
}

// ---- painting ----

void COrielView::RedrawBuffers() {
    if (m_surfaces[kBackground].isNull())
        return;
    ++m_rebuildCount;
    QImage& clean = m_surfaces[kClean];
    if (m_doc.App().acquisition.recording.load() != 0) {
        CopyPixels(m_surfaces[kBackground], clean);
        QPainter dc(&clean);
        dc.setFont(appFont);
        dc.setPen(Qt::black);
        dc.drawText(20, 20 + dc.fontMetrics().ascent(),
                    QStringLiteral("Recording...   press mouse IN THIS WINDOW to stop"));
        dc.end();
        CopyPixels(clean, m_surfaces[kComposite]);
        m_composedBand = {};
        m_composedMarkerX = -1;
        m_composedOutline = {};
        return;  // the redraw flag stays set
    }
    // Drawn aside: a failed rebuild leaves the previous picture on the
    // surfaces, and the next paint tries again.
    CopyPixels(m_surfaces[kBackground], m_drawing);
    if (m_doc.IsDataLoaded()) {
        try {
            QPainter dc(&m_drawing);
            PaintChannels(dc);
        } catch (...) {
            ReportDrawingError();
            return;
        }
    }
    clean.swap(m_drawing);
    m_redraw = false;
    m_drawingErrorShown = false;
    ComposeOverlays();
}

void COrielView::PaintChannels(QPainter& dc) {
    PaintContext context;
    context.verticalOffset = m_scroll.verticalOffset;
    context.clickedChannel = clickedChannel;
    context.visibleStartTime = m_scroll.visibleStartTime;
    context.visibleEndTime = m_scroll.visibleEndTime;
    context.stackHeight = m_layout.StackHeight();
    context.appFont = appFont;
    m_painter.PaintChannels(dc, m_doc, context);
}

void COrielView::ReportDrawingError() {
    if (m_drawingErrorShown)
        return;
    m_drawingErrorShown = true;
    // Not from inside the paint that failed: the message box runs an event
    // loop of its own, which would paint this view again meanwhile.
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_doc.Prompts().Beep();
            m_doc.Prompts().Message(kDrawingError, platform::Buttons::Ok, platform::Icon::Error);
        },
        Qt::QueuedConnection);
}

void COrielView::OnSamplesChanged(int slot) {
    if (slot < 0)
        m_summaries.InvalidateAll();
    else
        m_summaries.Invalidate(slot);
    m_painter.CloseIntensityFiles();
    m_drawingErrorShown = false;
    m_redraw = true;
    Invalidate();
}

void COrielView::ComposeOverlays() {
    // The composite starts again from the clean picture; the overlays are
    // drawn on it anew.
    CopyPixels(m_surfaces[kClean], m_surfaces[kComposite]);
    m_composedBand = {};
    m_composedMarkerX = -1;
    m_composedOutline = {};
    SyncOverlays();
}

void COrielView::paintEvent(QPaintEvent* event) {
    QPainter window(viewport());
    if (m_surfaces[kComposite].isNull()) {
        window.fillRect(event->rect(), ToQColor(m_doc.displayColours[0]));
        return;
    }
    m_inPaint = true;
    if (m_redraw)
        RedrawBuffers();
    else
        SyncOverlays();
    m_inPaint = false;
    window.drawImage(event->rect().topLeft(), m_surfaces[kComposite], event->rect());
    // The hover cursor lives on the screen only, over the composite.
    if (!m_hover.IsEmpty() && !m_surfaces[kPlayCursor].isNull() && event->rect().right() >= m_hover.left &&
        event->rect().left() < m_hover.right)
        window.drawImage(QPoint(m_hover.left, 0), m_surfaces[kPlayCursor]);
    PaintPlayCursor(window, event->rect());
}

void COrielView::Invalidate() {
    viewport()->update();
}

// ---- events ----

void COrielView::showEvent(QShowEvent* event) {
    QAbstractScrollArea::showEvent(event);
    if (!m_initialUpdateDone)
        OnInitialUpdate();
}

void COrielView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    OnSize();
}

void COrielView::wheelEvent(QWheelEvent* event) {
    // The wheel scrolls the recording, one line per notch: away from the
    // user is later in time.
    const QPoint delta = event->angleDelta();
    // Scrolling only marks the surfaces for a rebuild: notches that arrive
    // before the next paint cost one rebuild.
    if (const std::optional<ScrollCode> code = WheelScrollCode(delta.y() != 0 ? delta.y() : delta.x()))
        OnHScroll(*code, 0);
    event->accept();
}

void COrielView::scrollContentsBy(int, int) {}

void COrielView::OnHorizontalAction(int action) {
    if (m_syncing)
        return;
    QScrollBar* bar = horizontalScrollBar();
    OnHScroll(CodeOfAction(action), bar->sliderPosition());
    // The bar then takes this position as its value.
    bar->setSliderPosition(m_scroll.horizontal.position);
}

void COrielView::OnVerticalAction(int action) {
    if (m_syncing)
        return;
    QScrollBar* bar = verticalScrollBar();
    OnVScroll(CodeOfAction(action), bar->sliderPosition());
    // Each click or drag step ends the scroll, which aligns the stack with
    // the bar at its ends.
    OnVScroll(ScrollCode::EndScroll, 0);
    bar->setSliderPosition(m_scroll.vertical.position);
}

void COrielView::SyncScrollBars() {
    m_syncing = true;
    MirrorBar(horizontalScrollBar(), m_scroll.horizontal);
    MirrorBar(verticalScrollBar(), m_scroll.vertical);
    m_syncing = false;
}

// ---- zoom and scrolling ----

void COrielView::ApplyZoom(int mode) {
    if (!m_scroll.ApplyZoom(static_cast<ZoomMode>(mode), ChannelsInUse(), m_doc.settings.zoomDuration))
        return;
    SyncScrollBars();
    m_redraw = true;
    Invalidate();
}

void COrielView::WindowFromScrollPos() {
    m_scroll.WindowFromScrollPos(ChannelsInUse());
}

void COrielView::ScrollToTime(double t) {
    m_scroll.ScrollToTime(t, ChannelsInUse(), m_doc.settings.zoomDuration);
    SyncScrollBars();
    m_redraw = true;
    Invalidate();
}

void COrielView::OnHScroll(ScrollCode code, int position) {
    const bool invalidate = m_scroll.OnHScroll(code, position, ChannelsInUse());
    SyncScrollBars();
    m_redraw = true;
    if (invalidate)
        Invalidate();
}

void COrielView::OnVScroll(ScrollCode code, int position) {
    if (m_scroll.OnVScroll(code, position))
        Invalidate();
    SyncScrollBars();
    m_redraw = true;
}

void COrielView::OnZoomFromCursorForDuration() {
    ApplyZoom(static_cast<int>(ZoomMode::FromCursorForDuration));
}

void COrielView::OnZoomHome() {
    ApplyZoom(static_cast<int>(ZoomMode::Home));
}

void COrielView::OnZoomIn() {
    ApplyZoom(static_cast<int>(ZoomMode::In));
}

void COrielView::OnZoomOut() {
    ApplyZoom(static_cast<int>(ZoomMode::Out));
}

void COrielView::OnZoomSelection() {
    ApplyZoom(static_cast<int>(ZoomMode::Selection));
}

void COrielView::OnZoomUnzoom() {
    ApplyZoom(static_cast<int>(ZoomMode::UnZoom));
}

void COrielView::ApplyWindowPlacements() {
    PlaceLabelList(*this);
    PlaceAnalysisWindows();
    QWidget* frame = parentWidget();
    const WindowPlacement& p = m_doc.App().settings.placements[kPlacementMainChild];
    if (!frame || IsUnplaced(p) || p[2] <= 0 || p[3] <= 0)
        return;
    // The placement is the normal position: a maximised or minimised frame
    // is restored first so that it really goes there.
    if (frame->windowState() & (Qt::WindowMaximized | Qt::WindowMinimized))
        frame->showNormal();
    frame->setGeometry(p[0], p[1], p[2], p[3]);
    frame->show();
}

}  // namespace vocomet
