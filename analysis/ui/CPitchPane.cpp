#include "analysis/ui/CPitchPane.h"

#include <QApplication>
#include <QFontMetrics>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

#include "acquisition/AcquisitionState.h"
#include "analysis/ChannelSampleSource.h"
#include "windows/MainViewLink.h"
#include "widgets/CProgressDialog.h"
#include "widgets/DrawingRoutines.h"
#include "widgets/QtText.h"
#include "windows/ViewPlayback.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/File.h"
#include "platform/Pixels.h"
#include "platform/UserPrompts.h"
#include "widgets/PixelRects.h"

namespace vocomet {

namespace {

// Pitch settings by position (the options dialog's order).
constexpr int kDisplayUpper = 0, kDisplayLower = 1, kFrequencyGridOn = 2, kFrequencySpacing = 3, kTimeGridOn = 4,
              kTimeSpacing = 5, kAddAudio = 7, kAddIntensity = 8, kAddLabels = 9;

constexpr platform::ColorRef kTrackColour = 0xFF0000;      // blue (0x00BBGGRR)
constexpr platform::ColorRef kIntensityColour = 0xFF0000;  // blue
constexpr platform::ColorRef kTimeGridColour = 0xC8C8C8;
constexpr unsigned kLeftButton = 1;

using platform::Trunc;

}  // namespace

CPitchPane::CPitchPane(COrielDoc& doc, QWidget* parent) : QWidget(parent), m_doc(doc) {
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::ClickFocus);
    m_scrollBar = new QScrollBar(Qt::Horizontal, this);
    m_scrollBar->setObjectName(QStringLiteral("pitchScrollBar"));
    m_scrollBar->setRange(0, 0);
    connect(m_scrollBar, &QScrollBar::valueChanged, this, [this](int value) {
        if (!m_syncingBar)
            OnHScroll(PaneScrollCode::ThumbTrack, value);
    });
}

// A playback this pane started ends with it (its playback, a child, stops
// the output and the device workers first).
CPitchPane::~CPitchPane() = default;

void CPitchPane::DetachDocument() {
    m_detached = true;
    m_closing = true;
    m_newChannel = false;
    m_playing = false;
    if (m_playback)
        m_playback->StopAll();
    m_trackValid = false;
    m_track = PitchTrack{};
    m_background = QImage();
    hooks = Hooks{};
}

QFont CPitchPane::AppFont() const {
    if (hooks.mainView)
        if (MainViewLink* v = hooks.mainView())
            return v->AppFont();
    return QApplication::font();
}

CChannels* CPitchPane::ChannelData() const {
    const int count = std::min(m_doc.GetChannelCount(), kDocumentSlots);
    if (m_channel < 0 || m_channel >= count)
        return nullptr;
    return &m_doc.Channel(m_channel);
}

QRect CPitchPane::PlotRect() const {
    const platform::Rect& p = m_sel.Plot();
    return FromEdges(p.left, p.top, p.right, p.bottom);
}

// ---- channel and computation ---------------------------------------------------

void CPitchPane::SetChannel(int channel) {
    if (m_detached)
        return;
    m_channel = channel;
    m_settings = m_doc.settings.pitch;
    CChannels* ch = ChannelData();
    if (ch)
        m_sel.SetChannel(ch->sampleCount, ch->duration, ch->rate);
    else
        m_sel.SetChannel(0.0, 0.0, 0.0);
    m_markerTime = m_markerPitch = m_markerIntensity = 0.0;
    m_newChannel = ch != nullptr;
    m_redraw = true;
    SyncScrollBar();
    if (m_newChannel)
        RequestComputation();
    update();
}

void CPitchPane::RequestComputation() {
    if (m_computeQueued)
        return;
    m_computeQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_computeQueued = false;
            const QPointer<CPitchPane> alive(this);
            if (!ComputeIfNeeded() && alive)
                Close();
        },
        Qt::QueuedConnection);
}

bool CPitchPane::ComputeIfNeeded() {
    if (!m_newChannel || m_computing || m_closing)
        return !m_closing;
    m_newChannel = false;
    m_track = PitchTrack{};
    m_trackValid = false;
    m_redraw = true;
    update();
    CChannels* ch = ChannelData();
    if (!ch)
        return true;
    const PitchTrackSettings settings = PitchTrackSettings::FromDocument(m_settings);
    // The other method computes no track: the plot stays empty.
    if (settings.method == 0.0)
        return true;
    const ChannelSampleSource source = ChannelSampleSource::FromChannel(*ch);
    if (!source.IsValid())
        return false;

    PitchTrackOutcome outcome;
    {
        std::unique_ptr<platform::Progress> progress;
        if (hooks.makeProgress)
            progress = hooks.makeProgress();
        if (!progress) {
            auto dialog = std::make_unique<CProgressDialog>();
            dialog->SetProgressText(QStringLiteral("Performing Pitch..."));
            dialog->show();
            dialog->repaint();
            progress = std::move(dialog);
        }
        PaneProgress guarded(this, *progress);
        m_computing = true;
        try {
            outcome = ComputePitchTrack(source, ch->rate, settings, guarded);
        } catch (const std::exception&) {
            outcome.cancelled = true;
        }
        // Closed while it ran: the pane (and maybe the document) is gone.
        if (guarded.Gone())
            return true;
        m_computing = false;
        if (m_detached)
            return false;
    }
    if (!outcome.error.empty()) {
        m_doc.Prompts().Message(outcome.error, platform::Buttons::Ok, platform::Icon::Warning);
        return false;
    }
    if (outcome.cancelled)
        return false;
    // The channel changed again while this ran: its own computation follows.
    if (m_newChannel) {
        RequestComputation();
        return true;
    }
    m_track = std::move(outcome.track);
    m_trackValid = m_track.computed;
    // The intensity is computed (and, for a file-backed channel, written)
    // only when the window shows it.
    if (m_trackValid && m_settings.ints[kAddIntensity] != 0) {
        try {
            ch->ComputeIntensity();
        } catch (const std::exception&) {
            return false;
        }
    }
    m_redraw = true;
    update();
    return true;
}

void CPitchPane::Close() {
    if (m_closing)
        return;
    m_closing = true;
    m_track = PitchTrack{};
    m_trackValid = false;
    if (hooks.closeWindow)
        QMetaObject::invokeMethod(this, [close = hooks.closeWindow] { close(); }, Qt::QueuedConnection);
}

void CPitchPane::SetRedrawFlag(int flag) { m_redraw = flag != 0; }

void CPitchPane::Invalidate() { update(); }

double CPitchPane::PitchAt(double timeMs) const {
    if (!m_trackValid)
        return 0.0;
    const int k = m_track.FrameAt(timeMs);
    return k >= 0 ? m_track.f0[static_cast<std::size_t>(k)] : 0.0;
}

double CPitchPane::IntensityAt(double timeMs) {
    if (m_settings.ints[kAddIntensity] == 0)
        return 0.0;
    CChannels* ch = ChannelData();
    if (!ch || !ch->intensityValid)
        return 0.0;
    try {
        return ch->GetIntensityAt(timeMs);
    } catch (const std::exception&) {
        return 0.0;
    }
}

// ---- display ------------------------------------------------------------------

int CPitchPane::LabelStripHeight(bool* present) const {
    int height = 0;
    bool any = false;
    const int count = std::min(m_doc.GetChannelCount(), kDocumentSlots);
    for (int i = 0; i < count; ++i) {
        const CChannels& ch = m_doc.Channel(i);
        if (!ch.show)
            continue;
        for (int k = 0; k < ch.labels.GetSize(); ++k) {
            const LABEL& label = ch.labels.GetAt(k);
            any = true;
            height = std::max(height, QFontMetrics(ToQFont(label.font)).height());
        }
    }
    if (present)
        *present = any;
    return height;
}

CPitchPane::Layout CPitchPane::LayoutFrom(const QRect& first, int labelHeight, int audioGap,
                                          bool intensityInAudioOnly) const {
    Layout l;
    int left = first.left(), top = first.top(), right = RightOf(first), bottom = BottomOf(first);
    if (m_settings.ints[kAddLabels] != 0) {
        l.labels = FromEdges(left, top, right, top + labelHeight);
        top += labelHeight + 5;
    }
    if (m_settings.ints[kAddAudio] != 0) {
        const int newTop = top + (bottom - top) / 6;
        l.audio = FromEdges(left, top, right, newTop - audioGap);
        top = newTop;
    }
    if (m_settings.ints[kAddIntensity] != 0) {
        if (!l.audio.isNull()) {
            l.intensity = l.audio;
        } else if (!intensityInAudioOnly) {
            const int newTop = top + (bottom - top) / 6;
            l.intensity = FromEdges(left, top, right, newTop - audioGap);
            top = newTop;
        }
    }
    l.plot = FromEdges(left, top, right, bottom);
    return l;
}

void CPitchPane::CreateDisplay() {
    const int barHeight = m_scrollBar->sizeHint().height();
    m_scrollBar->setGeometry(0, std::max(height() - barHeight, 0), width(), barHeight);
    m_client = QRect(0, 0, width(), std::max(height() - barHeight, 0));
    const QFontMetrics fm(AppFont());
    const int w = fm.horizontalAdvance(QStringLiteral("99999"));
    const int h = fm.height();
    const QRect first = FromEdges(m_client.left() + w, m_client.top(), RightOf(m_client), BottomOf(m_client) - h * 3 / 2);
    m_labelHeight = LabelStripHeight(&m_labelsPresent);
    const Layout l = LayoutFrom(first, m_labelHeight, 3, false);
    m_labelStrip = l.labels;
    m_audioStrip = l.audio;
    m_intensityStrip = l.intensity;
    m_sel.SetPlot({l.plot.left(), l.plot.top(), RightOf(l.plot), BottomOf(l.plot)});
}

void CPitchPane::RebuildPicture() {
    CreateDisplay();
    m_redraw = false;
    if (width() <= 0 || height() <= 0) {
        m_background = QImage();
        return;
    }
    QImage picture(size(), QImage::Format_RGB32);
    if (picture.isNull()) {
        // No memory for the picture: the window cannot be shown.
        m_doc.Prompts().Message(kPitchDisplayError, platform::Buttons::Ok, platform::Icon::Error);
        Close();
        return;
    }
    picture.fill(Qt::white);
    QPainter dc(&picture);
    Layout l;
    l.plot = PlotRect();
    l.audio = m_audioStrip;
    l.intensity = m_intensityStrip;
    l.labels = m_labelStrip;
    Style style;
    DrawLayers(dc, l, style);
    dc.end();
    m_background = std::move(picture);
}

void CPitchPane::DrawLayers(QPainter& dc, const Layout& l, const Style& style) {
    if (!m_trackValid)
        return;
    if (m_settings.ints[kAddLabels] != 0 && !l.labels.isEmpty())
        DrawLabels(dc, l.labels, style.labelFontScale);
    if (m_settings.ints[kAddAudio] != 0 && !l.audio.isEmpty())
        DrawAudio(dc, l.audio);
    if (m_settings.ints[kAddIntensity] != 0 && !l.intensity.isEmpty())
        DrawIntensity(dc, l.intensity, style.colour ? ToQColor(kIntensityColour) : QColor(Qt::black));
    DrawTrack(dc, l.plot, style.dotSize, style.colour ? ToQColor(kTrackColour) : QColor(Qt::black));
    DrawGrids(dc, l.plot, style.printAxes);
}

void CPitchPane::DrawLabels(QPainter& dc, const QRect& strip, double fontScale) {
    const PaneRange& shown = m_sel.Shown();
    const double span = shown.SpanMs();
    if (!(span > 0.0))
        return;
    dc.save();
    dc.setBackgroundMode(Qt::TransparentMode);
    const int count = std::min(m_doc.GetChannelCount(), kDocumentSlots);
    for (int i = 0; i < count; ++i) {
        const CChannels& ch = m_doc.Channel(i);
        if (!ch.show)
            continue;
        for (int k = 0; k < ch.labels.GetSize(); ++k) {
            const LABEL& label = ch.labels.GetAt(k);
            if (!(label.time > shown.startMs && label.time < shown.endMs))
                continue;
            platform::LogFontA font = label.font;
            font.height = Trunc(font.height * fontScale);
            const QFont qfont = ToQFont(font);
            const QString text = FromCp1252(label.Text());
            const QFontMetrics fm(qfont, dc.device());
            int x = AnalysisPaneSelection::TimeToX(label.time, shown.startMs, shown.endMs, strip.left(), strip.width());
            if (label.anchoring == LABEL::kAnchorCentre)
                x -= fm.horizontalAdvance(text) / 2;
            else if (label.anchoring == LABEL::kAnchorRight)
                x -= fm.horizontalAdvance(text);
            dc.setFont(qfont);
            dc.setPen(ToQColor(label.colour));
            dc.drawText(x, strip.top() + fm.ascent(), text);
        }
    }
    dc.restore();
}

void CPitchPane::DrawAudio(QPainter& dc, const QRect& strip) {
    CChannels* ch = ChannelData();
    if (!ch)
        return;
    dc.save();
    dc.setPen(QPen(Qt::black, 1));
    dc.setBrush(Qt::NoBrush);
    dc.drawRect(strip.adjusted(0, 0, -1, -1));
    dc.restore();
    // Samples are full scale at +-1: the strip holds the whole range, with
    // the baseline where the channel's scale mode puts it.
    double baseline = 0.5;
    switch (ch->scaleMode) {
    case -1: baseline = 1.0; break;
    case 1: baseline = 0.0; break;
    default: baseline = 0.5; break;
    }
    const double amplitude = strip.height() / 2.0;
    const PaneRange& shown = m_sel.Shown();
    try {
        const platform::File* file = ch->HasSamples() ? nullptr : ch->sourceFile.get();
        DrawWaveformBuffer(dc, file, std::max(ch->stride, 1), std::max(ch->channelNumber - 1, 0),
                           ch->HasSamples() ? &ch->samples : nullptr, shown.startSample, shown.endSample, amplitude,
                           baseline, strip, 0x000000, 0.0, false, 0);
    } catch (const std::exception&) {
        // A read error leaves the strip empty; the track is still drawn.
    }
}

void CPitchPane::DrawIntensity(QPainter& dc, const QRect& strip, QColor colour) {
    CChannels* ch = ChannelData();
    if (!ch || !ch->intensityValid || !(ch->sampleCount > 0.0) || !(ch->intensityCount > 0.0))
        return;
    const double ratio = ch->intensityCount / ch->sampleCount;
    const PaneRange& shown = m_sel.Shown();
    const double range = ch->relativeIntensity ? ch->intensityMax - ch->intensityMin : ch->intensityMax;
    if (!(range > 0.0) || !std::isfinite(range))
        return;
    ChannelWaveform w;
    w.filePath = ch->intensityFilePath;
    w.samples = ch->intensity.IsNull() ? nullptr : &ch->intensity;
    w.windowStart = std::floor(shown.startSample * ratio);
    w.windowEnd = std::floor(shown.endSample * ratio);
    w.amplitudeScale = strip.height() / range;
    w.baselineFraction = 0.0;
    w.rect = strip;
    w.traceColour = platform::Rgb(colour.red(), colour.green(), colour.blue());
    try {
        DrawChannelWaveform(dc, w);
    } catch (const std::exception&) {
    }
}

void CPitchPane::DrawTrack(QPainter& dc, const QRect& plot, int dotSize, QColor colour) {
    const int n = m_track.Count();
    const PaneRange& shown = m_sel.Shown();
    const double span = shown.SpanMs();
    const double upper = m_settings.ints[kDisplayUpper];
    const double lower = m_settings.ints[kDisplayLower];
    if (n == 0 || !(span > 0.0) || !(upper > lower) || plot.isEmpty())
        return;
    const int across = 4 * std::max(dotSize, 1);
    dc.save();
    dc.setRenderHint(QPainter::Antialiasing, false);
    dc.setPen(Qt::NoPen);
    dc.setBrush(colour);
    const int first = std::max(m_track.FrameAt(shown.startMs) - 1, 0);
    const int last = std::min(m_track.FrameAt(shown.endMs) + 1, n - 1);
    const int bottom = BottomOf(plot);
    for (int k = first; k <= last; ++k) {
        const double v = m_track.f0[static_cast<std::size_t>(k)];
        if (!(v > lower && v < upper))
            continue;
        const double t = m_track.FrameTimeMs(k);
        if (t < shown.startMs || t > shown.endMs)
            continue;
        // The dot is centred on the time its frame stands for.
        const int x = AnalysisPaneSelection::TimeToX(t, shown.startMs, shown.endMs, plot.left(), plot.width());
        const int y = bottom - Trunc((v - lower) * plot.height() / (upper - lower));
        dc.drawEllipse(x - across / 2, y - across / 2, across, across);
    }
    dc.restore();
}

void CPitchPane::DrawGrids(QPainter& dc, const QRect& plot, bool print) {
    const QFont font = AppFont();
    if (m_settings.ints[kFrequencyGridOn] != 0 && m_settings.ints[kFrequencySpacing] > 0)
        DrawValueAxis(dc, plot, m_settings.ints[kDisplayLower], m_settings.ints[kDisplayUpper],
                      m_settings.ints[kFrequencySpacing], kValueAxisLeft, QStringLiteral("Hz"), print, font);
    if (m_settings.ints[kTimeGridOn] != 0) {
        const PaneRange& shown = m_sel.Shown();
        // Lines closer than a few pixels would only grey the plot over.
        const int spacing = ThinnedTimeStep(std::max(m_settings.ints[kTimeSpacing], 0), shown.SpanMs(), plot.width(),
                                            MinimumGridGap(dc));
        DrawTimeAxis(dc, plot, 0, true, shown.startMs, shown.endMs, spacing, false, font,
                     print ? platform::ColorRef{0x000000} : kTimeGridColour);
    }
}

void CPitchPane::paintEvent(QPaintEvent*) {
    if (m_detached) {
        QPainter(this).fillRect(rect(), Qt::white);
        return;
    }
    if (m_redraw || m_background.size() != size())
        RebuildPicture();
    QPainter window(this);
    if (m_background.isNull()) {
        window.fillRect(rect(), Qt::white);
        return;
    }
    QImage frame = m_background.copy();
    {
        QPainter dc(&frame);
        const platform::Rect band = m_sel.BandRect();
        if (m_trackValid && !band.IsEmpty()) {
            dc.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
            dc.fillRect(FromEdges(band.left, band.top, band.right, band.bottom), ToQColor(m_doc.displayColours[2]));
            dc.setCompositionMode(QPainter::CompositionMode_SourceOver);
        }
        const int marker = m_trackValid ? m_sel.MarkerX() : -1;
        const QRect plot = PlotRect();
        if (marker >= 0 && !plot.isEmpty()) {
            dc.setPen(QPen(Qt::black, 1));
            dc.drawLine(marker, plot.top(), marker, BottomOf(plot) - 1);
        }
        if (m_trackValid && m_cursorX >= 0 && m_doc.settings.display.mouseReadout != 0 && !plot.isEmpty()) {
            dc.setPen(QPen(ToQColor(m_doc.displayColours[1]), 1));
            dc.drawLine(m_cursorX, plot.top(), m_cursorX, BottomOf(plot) - 1);
        }
        if (const int play = m_playback ? m_playback->m_drawnX : -1; play >= 0 && !plot.isEmpty()) {
            dc.setPen(QPen(ToQColor(m_doc.displayColours[1]), 1));
            dc.drawLine(play, plot.top(), play, BottomOf(plot) - 1);
        }
    }
    window.drawImage(0, 0, frame);
}

void CPitchPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_detached)
        return;
    // Only the layout changes; the track is never computed again here.
    m_redraw = true;
    CreateDisplay();
    update();
}

// ---- scroll bar ---------------------------------------------------------------

void CPitchPane::SyncScrollBar() {
    m_syncingBar = true;
    const int page = m_sel.ScrollPage();
    m_scrollBar->setRange(0, std::max(0, AnalysisPaneSelection::kNoThumbPage - page));
    m_scrollBar->setPageStep(std::max(page, 1));
    m_scrollBar->setSingleStep(std::max(page / 10, 1));
    m_scrollBar->setValue(m_sel.ScrollPosition());
    m_scrollBar->setEnabled(m_sel.Zoomed());
    m_syncingBar = false;
}

void CPitchPane::OnHScroll(PaneScrollCode code, int thumb) {
    if (!m_sel.Scroll(code, thumb))
        return;
    SyncScrollBar();
    m_redraw = true;
    update();
}

void CPitchPane::wheelEvent(QWheelEvent* event) {
    const int delta = event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
    if (delta > 0)
        OnHScroll(PaneScrollCode::LineRight);
    else if (delta < 0)
        OnHScroll(PaneScrollCode::LineLeft);
    event->accept();
}

// ---- mouse --------------------------------------------------------------------

void CPitchPane::StopPlayback() {
    m_playing = false;
    if (m_playback)
        m_playback->StopAll();
    m_doc.App().acquisition.StopSoundOutput();
}

void CPitchPane::ShowValues() {
    if (!hooks.showCursorValues)
        return;
    const double t = m_sel.TrackedTime();
    hooks.showCursorValues(t, PitchAt(t), m_sel.SelectionDurationMs(), IntensityAt(t));
}

void CPitchPane::BeginMouseSelection(unsigned, platform::Point point, double timeMs, int source) {
    if (!m_trackValid)
        return;
    StopPlayback();
    const PanePressResult r = m_sel.Press(point.x, point.y, timeMs, source);
    if (!r.accepted)
        return;
    m_markerTime = m_sel.PressTime();
    m_markerPitch = PitchAt(m_markerTime);
    m_markerIntensity = IntensityAt(m_sel.TrackedTime());
    update();
}

void CPitchPane::TrackMouse(unsigned flags, platform::Point point, double timeMs, int source) {
    if (!m_trackValid)
        return;
    const AcquisitionState& acquisition = m_doc.App().acquisition;
    if (acquisition.soundOut && !acquisition.soundOut->IsIdle())
        return;
    const PaneTrackResult r = m_sel.Track(flags == kLeftButton, point.x, point.y, timeMs, source);
    if (!r.accepted)
        return;
    if (r.autoScroll != PaneAutoScroll::None) {
        const PaneScrollCode code =
            r.autoScroll == PaneAutoScroll::LineLeft ? PaneScrollCode::LineLeft : PaneScrollCode::LineRight;
        QMetaObject::invokeMethod(this, [this, code] { OnHScroll(code); }, Qt::QueuedConnection);
    }
    m_cursorX = r.dragging ? -1 : r.x;
    update();
    ShowValues();
}

void CPitchPane::EndMouseSelection(unsigned, platform::Point, double, int) {
    if (!m_trackValid)
        return;
    if (m_sel.Release())
        update();
}

void CPitchPane::Mirror(MouseStep step, unsigned flags, platform::Point point, double timeMs) {
    MainViewLink* view = hooks.mainView ? hooks.mainView() : nullptr;
    AnalysisPane* spectrogram = hooks.spectrogramPane ? hooks.spectrogramPane() : nullptr;
    MirrorMouse(step, view, spectrogram, flags, point, timeMs);
}

void CPitchPane::mousePressEvent(QMouseEvent* event) {
    if (m_detached)
        return;
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    const QPoint p = event->position().toPoint();
    const platform::Point point{p.x(), p.y()};
    try {
        BeginMouseSelection(kLeftButton, point, 0.0, kMouseFromPoint);
        // The others get the press time, the previous one when this press
        // missed the plot.
        Mirror(MouseStep::Press, kLeftButton, point, m_sel.PressTime());
    } catch (const std::exception&) {
    }
}

void CPitchPane::mouseMoveEvent(QMouseEvent* event) {
    if (m_detached)
        return;
    event->accept();
    const unsigned flags = (event->buttons() & Qt::LeftButton) && m_sel.Pressed() ? kLeftButton : 0u;
    const QPoint p = event->position().toPoint();
    const platform::Point point{p.x(), p.y()};
    try {
        const double before = m_sel.TrackedTime();
        TrackMouse(flags, point, 0.0, kMouseFromPoint);
        if (m_sel.TrackedTime() != before || flags != 0)
            Mirror(MouseStep::Move, flags, point, m_sel.TrackedTime());
    } catch (const std::exception&) {
    }
}

void CPitchPane::mouseReleaseEvent(QMouseEvent* event) {
    if (m_detached)
        return;
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    const QPoint p = event->position().toPoint();
    const platform::Point point{p.x(), p.y()};
    try {
        EndMouseSelection(0, point, 0.0, kMouseFromPoint);
        Mirror(MouseStep::Release, 0, point, m_sel.TrackedTime());
    } catch (const std::exception&) {
    }
}

}  // namespace vocomet
