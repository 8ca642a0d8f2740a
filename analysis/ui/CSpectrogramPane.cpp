#include "analysis/ui/CSpectrogramPane.h"

#include <QFontMetrics>
#include <QMetaObject>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <algorithm>
#include <cmath>
#include <exception>

#include "acquisition/CSoundOut.h"
#include "analysis/ChannelSampleSource.h"
#include "analysis/ui/AnalysisWindowSupport.h"
#include "windows/MainViewLink.h"
#include "app/StripScale.h"
#include "widgets/DrawingRoutines.h"
#include "widgets/QtText.h"
#include "windows/ViewPlayback.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/File.h"
#include "platform/Progress.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

// Values of the spectrogram settings the drawing reads.
constexpr int kDrawAudio = 7, kDrawLabels = 9, kFrequencyGridOn = 10, kFrequencyStep = 11,
              kTimeGridOn = 12, kTimeStep = 13;

constexpr unsigned kLeft = MainViewLink::kLeftButton;

QRect ToQRect(const platform::Rect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

// Red dots 4 x size across for every formant above 50 Hz, column i at
// left + i x width / columns, inside the plot only.
void DrawFormantMarks(QPainter& dc, const SpectrogramImage& im, const QRect& plot, int size) {
    const double limit = im.frequencyLimit;
    const double count = static_cast<double>(im.formants.size());
    if (!(limit > 0.0) || !(count > 0.0))
        return;
    dc.save();
    dc.setPen(Qt::NoPen);
    dc.setBrush(QColor(255, 0, 0));
    const int top = plot.y(), bottom = plot.y() + plot.height();
    const int d = 4 * std::max(size, 0);
    for (std::size_t i = 0; i < im.formants.size(); ++i) {
        const int x = plot.x() + static_cast<int>(static_cast<double>(i) * plot.width() / count);
        for (const auto f : im.formants[i]) {
            if (f <= 50)
                continue;
            const int y = bottom - static_cast<int>(f * plot.height() / limit);
            if (y > top && y < bottom)
                dc.drawEllipse(QRect(x, y, d, d));
        }
    }
    dc.restore();
}

}  // namespace

CSpectrogramPane::CSpectrogramPane(COrielDoc& doc, QWidget* parent) : QWidget(parent), m_doc(doc) {
    setObjectName(QStringLiteral("spectrogramPane"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
    m_font = font();
}

CSpectrogramPane::~CSpectrogramPane() = default;

// ---- settings and computation ---------------------------------------------------

void CSpectrogramPane::SetAnalysisSettings(int channel, const std::shared_ptr<platform::File>& dataFile,
                                           double totalSamples, double rate, double startSample, double endSample,
                                           double startMs, double endMs, const SpectrogramSettings& settings) {
    m_channel = channel;
    m_dataFile = dataFile;
    m_totalSamples = totalSamples;
    m_rate = rate;
    m_startSample = startSample;
    m_endSample = endSample;
    m_settings = settings;
    // Times and samples of the channel map through its own rate, as the
    // main view maps them, so a mirrored time lands on the same sample.
    const double duration = rate > 0.0 ? totalSamples * 1000.0 / rate : 0.0;
    m_selection.SetChannel(totalSamples, duration, rate);
    m_selection.SetShownRange(startSample, endSample);
    m_startMs = m_selection.Shown().startMs;
    m_endMs = m_selection.Shown().endMs;
    if (!(m_endMs > m_startMs)) {
        m_startMs = startMs;
        m_endMs = endMs;
    }
    m_valid = false;
    m_image = {};
    m_lastError.clear();
    m_settingsPresent = true;
    QueueCompute();
}

void CSpectrogramPane::MovePane(const QRect& rect, bool repaint) {
    setGeometry(rect);
    if (repaint)
        update();
}

bool CSpectrogramPane::LayOut() {
    const QFontMetrics fm(m_font);
    SpectrogramLayoutInputs in;
    in.client = {0, 0, width(), height()};
    // The frequency labels stand 5 pixels left of the plot: room for
    // "99999" and that gap, so 10000 Hz shows whole.
    in.textWidth = fm.horizontalAdvance(QStringLiteral("99999")) + 5 + 2;
    in.textHeight = fm.height();
    in.labelHeight = m_settings.values[kDrawLabels] != 0 && AnyLabels() ? LabelHeight() : 0;
    in.audioTrace = m_settings.values[kDrawAudio] != 0;
    const SpectrogramLayout before = m_layout;
    m_layout = LayOutSpectrogram(in);
    m_selection.SetPlot(m_layout.plot);
    return m_layout.columns != before.columns || m_layout.bins != before.bins;
}

void CSpectrogramPane::QueueCompute() {
    m_computePending = true;
    if (m_computeQueued)
        return;
    m_computeQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_computeQueued = false;
            // A hidden pane waits for its size (the show and the resize that
            // follow queue again).
            if (isVisible())
                ComputeIfNeeded();
        },
        Qt::QueuedConnection);
}

bool CSpectrogramPane::ComputeIfNeeded() {
    if (m_computePending && m_settingsPresent && !m_computing) {
        const QPointer<CSpectrogramPane> alive(this);
        Compute();
        if (!alive)
            return false;
    }
    return m_valid;
}

int CSpectrogramPane::AnalysedSlot() const {
    const int count = std::min(m_doc.GetChannelCount(), kDocumentSlots);
    return m_channel >= 0 && m_channel < count ? m_channel : -1;
}

void CSpectrogramPane::Compute() {
    m_computePending = false;
    LayOut();
    m_valid = false;
    m_image = {};
    const int slot = AnalysedSlot();
    if (m_layout.HasPlot() && slot >= 0) {
        // The channel as it is now: its current count bounds every read
        // (after Cut, Paste or Undo), past it the columns read silence.
        const ChannelSampleSource source = ChannelSampleSource::FromChannel(m_doc.Channel(slot));
        SpectrogramInputs in;
        in.rate = m_rate;
        in.rangeStart = m_startSample;
        in.rangeEnd = m_endSample;
        in.columns = m_layout.columns;
        in.rows = m_layout.bins;
        in.settings = m_settings;
        SpectrogramOutcome outcome;
        m_computing = true;
        try {
            std::unique_ptr<platform::Progress> progress = hooks.makeProgress ? hooks.makeProgress()
                                                                                : m_doc.MakeProgress();
            platform::NullProgress none;
            PaneProgress guarded(this, progress ? *progress : none);
            outcome = ComputeSpectrogram(source, in, guarded);
            // Closed while it ran: the pane is gone, nothing more to do.
            if (guarded.Gone())
                return;
        } catch (const std::exception&) {
            outcome = {};
            outcome.error = kSpectrogramRoutineError;
        }
        m_computing = false;
        ++m_computeCount;
        if (!outcome.error.empty() && outcome.error != m_lastError)
            m_doc.Prompts().Message(outcome.error, platform::Buttons::Ok, platform::Icon::Warning);
        m_lastError = outcome.error;
        if (outcome.computed && !outcome.image.Empty()) {
            m_image = std::move(outcome.image);
            m_valid = true;
        }
    }
    DrawSpectrogram();
    update();
    emit spectrogramComputed(m_valid);
    // Resized while the columns were computed: once more at the new size.
    if (m_computePending)
        QueueCompute();
}

void CSpectrogramPane::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    // A computation asked for while the pane was hidden runs now.
    if (m_computePending && m_settingsPresent)
        QueueCompute();
}

void CSpectrogramPane::SetRedrawFlag(int flag) {
    if (flag != 0 && m_settingsPresent)
        QueueCompute();
}

void CSpectrogramPane::Invalidate() { update(); }

void CSpectrogramPane::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (m_computing) {
        // The layout stays as the running computation has it.
        m_computePending = true;
        return;
    }
    const bool changed = LayOut();
    if (m_settingsPresent && (changed || m_computePending)) {
        QueueCompute();
        // Until then the old picture would sit at the wrong scale.
        m_valid = false;
    }
    DrawSpectrogram();
}

// ---- drawing --------------------------------------------------------------------

bool CSpectrogramPane::AnyLabels() const {
    const int count = std::min(m_doc.GetChannelCount(), kDocumentSlots);
    for (int i = 0; i < count; ++i) {
        const CChannels& ch = m_doc.Channel(i);
        if (ch.show != 0 && ch.labels.GetSize() > 0)
            return true;
    }
    return false;
}

int CSpectrogramPane::LabelHeight() const {
    int height = 0;
    const int count = std::min(m_doc.GetChannelCount(), kDocumentSlots);
    for (int i = 0; i < count; ++i) {
        const CChannels& ch = m_doc.Channel(i);
        if (ch.show == 0)
            continue;
        for (int k = 0; k < ch.labels.GetSize(); ++k)
            height = std::max(height, QFontMetrics(ToQFont(ch.labels.GetAt(k).font)).height());
    }
    return height;
}

void CSpectrogramPane::DrawLabels(QPainter& dc, const QRect& strip, double scale) {
    const double span = m_endMs - m_startMs;
    if (strip.isEmpty() || !(span > 0.0))
        return;
    dc.save();
    dc.fillRect(strip, Qt::white);
    dc.setClipRect(strip);
    dc.setBackgroundMode(Qt::TransparentMode);
    const int count = std::min(m_doc.GetChannelCount(), kDocumentSlots);
    for (int i = 0; i < count; ++i) {
        const CChannels& ch = m_doc.Channel(i);
        if (ch.show == 0)
            continue;
        for (int k = 0; k < ch.labels.GetSize(); ++k) {
            const LABEL& label = ch.labels.GetAt(k);
            // Only labels strictly inside the range, as the main view places
            // them; the stored label itself is not touched.
            if (!(label.time > m_startMs && label.time < m_endMs))
                continue;
            QFont f = ToQFont(label.font);
            // A font sized in points follows the device's resolution by
            // itself; one sized in pixels grows by the print scale.
            if (f.pixelSize() > 0)
                f.setPixelSize(std::max(1, static_cast<int>(f.pixelSize() * scale)));
            const QFontMetrics fm(f, dc.device());
            const QString text = FromCp1252(label.Text());
            int x = strip.x() + static_cast<int>((label.time - m_startMs) * strip.width() / span);
            const int w = fm.horizontalAdvance(text);
            if (label.anchoring == LABEL::kAnchorCentre)
                x -= w / 2;
            else if (label.anchoring == LABEL::kAnchorRight)
                x -= w;
            dc.setFont(f);
            dc.setPen(ToQColor(label.colour));
            dc.drawText(x, strip.y() + fm.ascent(), text);
        }
    }
    dc.restore();
}

void CSpectrogramPane::DrawAudioTrace(QPainter& dc, const QRect& strip, bool withReference) {
    const int slot = AnalysedSlot();
    if (strip.isEmpty() || slot < 0)
        return;
    dc.save();
    dc.setPen(QPen(Qt::black, 1));
    dc.setBrush(Qt::NoBrush);
    dc.drawRect(strip.adjusted(0, 0, -1, -1));
    const CChannels& ch = m_doc.Channel(slot);
    // The main view's scale rule for the channel's mode, over the strip.
    const StripScale scale = StripScaleOf(ch, strip.height(), 0.5);
    dc.setClipRect(strip);
    try {
        DrawWaveformBuffer(dc, ch.sourceFile.get(), ch.stride, ch.channelNumber - 1,
                           ch.HasSamples() ? &ch.samples : nullptr, m_startSample, m_endSample, scale.amplitude,
                           scale.baseline, strip, 0, withReference ? ch.reference : 0.0,
                           withReference && ch.drawReference != 0, 0);
    } catch (const std::exception&) {
        // An unreadable data file leaves the strip empty.
    }
    dc.restore();
}

void CSpectrogramPane::DrawGrey(QPainter& dc, const QRect& plot) {
    const SpectrogramImage& im = m_image;
    if (im.Empty() || plot.isEmpty())
        return;
    QImage grey(im.columns, im.rows, QImage::Format_Grayscale8);
    if (grey.isNull())
        return;
    for (int r = 0; r < im.rows; ++r) {
        uchar* line = grey.scanLine(im.rows - 1 - r);
        for (int c = 0; c < im.columns; ++c)
            line[c] = im.Grey(c, r);
    }
    // A column stands for the centre of its frame: the picture sits that
    // far right of the range's start, on the same time scale as the audio
    // trace, the axes, the marker and the band.
    const double span = m_endMs - m_startMs;
    int dx = 0;
    if (span > 0.0 && !im.columnTimesMs.empty())
        dx = static_cast<int>(std::lround(std::clamp((im.columnTimesMs.front() - m_startMs) / span, 0.0, 1.0) *
                                          plot.width()));
    dc.save();
    dc.setClipRect(plot);
    dc.drawImage(QRect(plot.x() + dx, plot.y(), plot.width(), plot.height()), grey);
    if (FormantsFound()) {
        const QRect dots(plot.x() + dx, plot.y(), plot.width(), plot.height());
        DrawFormantMarks(dc, im, dots, m_formantDotSize);
    }
    dc.restore();
}

void CSpectrogramPane::DrawLayers(QPainter& dc, const LayerRects& at) {
    if (m_settings.values[kDrawLabels] != 0)
        DrawLabels(dc, at.labelStrip, at.scale);
    if (m_settings.values[kDrawAudio] != 0)
        DrawAudioTrace(dc, at.audioStrip, at.print);
    m_formantDotSize = std::max(1, at.scale);
    DrawGrey(dc, at.plot);
    if (m_settings.values[kFrequencyGridOn] != 0)
        DrawValueAxis(dc, at.plot, 0.0, SpectrogramFrequencyLimit(m_settings), m_settings.values[kFrequencyStep],
                      kValueAxisLeft, QStringLiteral("Hz"), at.print, dc.font());
    if (m_settings.values[kTimeGridOn] != 0)
        DrawTimeAxis(dc, at.plot, 0, true, m_startMs, m_endMs,
                     ThinnedTimeStep(m_settings.values[kTimeStep], m_endMs - m_startMs, at.plot.width(),
                                     MinimumGridGap(dc)),
                     false, dc.font());
}

void CSpectrogramPane::DrawSpectrogram() {
    if (width() <= 0 || height() <= 0) {
        m_clean = QImage();
        return;
    }
    m_clean = QImage(size(), QImage::Format_RGB32);
    if (m_clean.isNull())
        return;
    m_clean.fill(Qt::white);
    if (!m_valid)
        return;
    QPainter dc(&m_clean);
    dc.setFont(m_font);
    LayerRects at;
    at.plot = ToQRect(m_layout.plot);
    at.labelStrip = ToQRect(m_layout.labelStrip);
    at.audioStrip = ToQRect(m_layout.audioStrip);
    DrawLayers(dc, at);
}

void CSpectrogramPane::DrawOverlays(QPainter& dc) const {
    if (!m_valid)
        return;
    const QRect plot = ToQRect(m_layout.plot);
    const platform::Rect band = m_selection.BandRect();
    if (!band.IsEmpty()) {
        dc.save();
        dc.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
        dc.fillRect(ToQRect(band), ToQColor(m_doc.displayColours[2]));
        dc.restore();
    }
    const int x = m_selection.MarkerX();
    if (x >= 0 && MarkerShown()) {
        const int y = SpectrogramYAtFrequency(m_layout.plot, SpectrogramFrequencyLimit(m_settings), m_markerHz);
        dc.setPen(QPen(Qt::black, 1));
        dc.drawLine(x, plot.bottom(), x, plot.top());
        dc.drawLine(plot.left(), y, plot.right(), y);
    }
    if (const int play = m_playback ? m_playback->m_drawnX : -1; play >= 0) {
        dc.setPen(QPen(ToQColor(m_doc.displayColours[1]), 1));
        dc.drawLine(play, plot.top(), play, plot.bottom());
    }
    // The mouse's cross-hair, when the document asks for it.
    if (m_hover.x() >= 0 && m_doc.settings.display.mouseReadout != 0 && plot.contains(m_hover)) {
        dc.setPen(QPen(ToQColor(m_doc.displayColours[1]), 1));
        dc.drawLine(m_hover.x(), plot.top(), m_hover.x(), plot.bottom());
        dc.drawLine(plot.left(), m_hover.y(), plot.right(), m_hover.y());
    }
}

void CSpectrogramPane::paintEvent(QPaintEvent*) {
    QPainter dc(this);
    if (m_clean.size() != size() && !m_computing)
        DrawSpectrogram();
    if (m_clean.isNull())
        dc.fillRect(rect(), Qt::white);
    else
        dc.drawImage(0, 0, m_clean);
    DrawOverlays(dc);
}

// ---- cursor and selection -------------------------------------------------------

void CSpectrogramPane::StopPanePlayback() {
    m_playing = false;
    if (m_playback)
        m_playback->StopAll();
    m_doc.App().acquisition.StopSoundOutput();
}

void CSpectrogramPane::BeginMouseSelection(unsigned /*flags*/, platform::Point point, double timeMs, int source) {
    try {
        if (!m_valid)
            return;
        StopPanePlayback();
        const PanePressResult r = m_selection.Press(point.x, point.y, timeMs, source);
        if (!r.accepted)
            return;
        // A time from another window moves the marker along the time axis
        // only; the frequency stays where it was.
        if (source == kMouseFromPoint)
            m_markerHz = SpectrogramFrequencyAtY(m_layout.plot, SpectrogramFrequencyLimit(m_settings), point.y);
        update();
    } catch (const std::exception&) {
    }
}

void CSpectrogramPane::TrackMouse(unsigned flags, platform::Point point, double timeMs, int source) {
    try {
        if (!m_valid)
            return;
        if (const CSoundOut* out = m_doc.App().acquisition.soundOut.get(); out && out->IsPlaying())
            return;
        const bool left = (flags & kLeft) != 0;
        const PaneTrackResult r = m_selection.Track(left, point.x, point.y, timeMs, source);
        if (!r.accepted)
            return;
        if (source == kMouseFromPoint) {
            m_trackHz = SpectrogramFrequencyAtY(m_layout.plot, SpectrogramFrequencyLimit(m_settings), point.y);
            m_hover = left ? QPoint(-1, -1) : QPoint(point.x, point.y);
        } else {
            m_hover = QPoint(-1, -1);
        }
        update();
        if (hooks.showCursorValues)
            hooks.showCursorValues(TrackingTime(), source == kMouseFromPoint ? m_trackHz : -1.0,
                                   m_selection.Pressed() || SelectionExists() ? SelectionDuration() : 0.0);
    } catch (const std::exception&) {
    }
}

void CSpectrogramPane::EndMouseSelection(unsigned /*flags*/, platform::Point /*point*/, double /*timeMs*/,
                                         int /*source*/) {
    try {
        if (!m_valid)
            return;
        if (m_selection.Release())
            update();
    } catch (const std::exception&) {
    }
}

void CSpectrogramPane::TellOthers(int which, unsigned flags, platform::Point point, double timeMs) {
    // The main view first, then the pitch pane, each with this pane's time.
    MainViewLink* view = hooks.mainView ? hooks.mainView() : nullptr;
    AnalysisPane* pitch = hooks.pitchPane ? hooks.pitchPane() : nullptr;
    const MouseStep step = which == 0 ? MouseStep::Press : which == 1 ? MouseStep::Move : MouseStep::Release;
    MirrorMouse(step, view, pitch, flags, point, timeMs);
}

void CSpectrogramPane::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    event->accept();
    const QPoint p = event->position().toPoint();
    const platform::Point point{p.x(), p.y()};
    const bool wasPressed = m_selection.Pressed();
    BeginMouseSelection(kLeft, point, 0.0, kMouseFromPoint);
    // Only a press this pane took is passed on; one beside the plot would
    // hand the others a stale time.
    if (m_selection.Pressed() && !wasPressed)
        TellOthers(0, kLeft, point, MarkerTime());
}

void CSpectrogramPane::mouseMoveEvent(QMouseEvent* event) {
    event->accept();
    const QPoint p = event->position().toPoint();
    const platform::Point point{p.x(), p.y()};
    const unsigned flags = (event->buttons() & Qt::LeftButton) && m_selection.Pressed() ? kLeft : 0u;
    const double before = TrackingTime();
    const QPoint hoverBefore = m_hover;
    TrackMouse(flags, point, 0.0, kMouseFromPoint);
    if (m_valid && (TrackingTime() != before || m_hover != hoverBefore) && m_layout.plot.Contains(point))
        TellOthers(1, flags, point, TrackingTime());
}

void CSpectrogramPane::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    if (!m_selection.Pressed())
        return;
    const QPoint p = event->position().toPoint();
    const platform::Point point{p.x(), p.y()};
    EndMouseSelection(0, point, 0.0, kMouseFromPoint);
    TellOthers(2, 0, point, TrackingTime());
}

void CSpectrogramPane::leaveEvent(QEvent* event) {
    if (m_hover.x() >= 0) {
        m_hover = QPoint(-1, -1);
        update();
    }
    QWidget::leaveEvent(event);
}

std::string CSpectrogramPane::DefaultBitmapFileName() const {
    // "bmp_" and the title without its extension, as the other windows name
    // theirs, with the window's own part.
    const std::string title = m_doc.GetTitle();
    const std::size_t dot = title.find_last_of('.');
    const std::string stem = dot == std::string::npos || dot == 0 ? title : title.substr(0, dot);
    return std::string(kSpectrogramBitmapPrefix) + stem;
}

}  // namespace vocomet
