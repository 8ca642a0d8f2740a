// The pitch pane's commands: zoom, play requests, log entries, printing and
// the bitmap export.

#include <QPainter>
#include <QPrinter>
#include <algorithm>
#include <cmath>

#include "acquisition/CSoundOut.h"
#include "analysis/ui/AnalysisWindowSupport.h"
#include "analysis/ui/CPitchPane.h"
#include "app/PictureExport.h"
#include "app/PitchLogEntries.h"
#include "app/PlayRoute.h"
#include "app/LogEntry.h"
#include "widgets/PrintRoutines.h"
#include "windows/ViewPlayback.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

constexpr int kColour = 10, kInches = 11, kFrequencyGridOn = 2, kTimeGridOn = 4;

std::int64_t WholeSamples(double v) {
    if (!std::isfinite(v) || v <= 0.0)
        return 0;
    return static_cast<std::int64_t>(std::min(v, 9.0e18));
}

// The title without its extension: the last four characters when they
// are one ("take1.wav" gives "take1"); a title without one stays whole.
std::string WithoutExtension(const std::string& title) {
    if (title.size() > 4 && title[title.size() - 4] == '.')
        return title.substr(0, title.size() - 4);
    return title;
}

}  // namespace

// ---- zoom ---------------------------------------------------------------------

bool CPitchPane::CanZoom(int mode) const {
    switch (static_cast<PaneZoomMode>(mode)) {
    case PaneZoomMode::Out: return m_sel.Zoomed();
    case PaneZoomMode::Selection: return m_sel.SelectionExists();
    case PaneZoomMode::FromCursor: return m_sel.MarkerShown() && !m_sel.SelectionExists();
    case PaneZoomMode::UnZoom:
    case PaneZoomMode::In:
    case PaneZoomMode::Home: return true;
    }
    return false;
}

void CPitchPane::Zoom(int mode) {
    if (mode < 0 || mode > 5 || !m_sel.Zoom(static_cast<PaneZoomMode>(mode)))
        return;
    SyncScrollBar();
    m_redraw = true;
    update();
}

// ---- play requests ------------------------------------------------------------

bool CPitchPane::CanPlay(int mode) const {
    if (!m_trackValid)
        return false;
    return static_cast<PlayMode>(mode) != PlayMode::Selection || m_sel.SelectionExists();
}

void CPitchPane::StartPlay(const PlayRange& range, int mode) {
    if (!m_playback)
        m_playback = MakePanePlayback(*this, m_doc.App().acquisition, [this] { AdvancePlayCursor(); });
    m_playing = PlayFromPane(m_doc, *m_playback, range, static_cast<PlayMode>(mode));
    AdvancePlayCursor();
}

int CPitchPane::LastPlayCursorX() const { return m_playback ? m_playback->m_lastX : -1; }

void CPitchPane::AdvancePlayCursor() {
    if (m_detached && m_playback)
        m_playback->End();
    m_playing = m_playback && m_playback->Advance([this](double t) { return m_sel.TimeToPoint(t); });
}

void CPitchPane::PlayAll() {
    if (!CanPlay(static_cast<int>(PlayMode::All)))
        return;
    StartPlay({0, WholeSamples(m_sel.SampleCount())}, static_cast<int>(PlayMode::All));
}

void CPitchPane::PlaySelection() {
    if (!CanPlay(static_cast<int>(PlayMode::Selection)))
        return;
    StartPlay({WholeSamples(m_sel.SelectionStartSample()), WholeSamples(m_sel.SelectionEndSample())},
              static_cast<int>(PlayMode::Selection));
}

void CPitchPane::PlayWindow() {
    if (!CanPlay(static_cast<int>(PlayMode::Window)))
        return;
    const PaneRange& shown = m_sel.Shown();
    StartPlay({WholeSamples(shown.startSample), WholeSamples(shown.endSample)}, static_cast<int>(PlayMode::Window));
}

// ---- log entries --------------------------------------------------------------

bool CPitchPane::CanLogPitchAll() const { return hooks.logFrame && hooks.logFrame() && m_trackValid; }

bool CPitchPane::CanLogPitchAtMarker() const {
    return CanLogPitchAll() && m_sel.MarkerShown() && !m_sel.SelectionExists();
}

bool CPitchPane::CanLogPitchSelection() const { return CanLogPitchAll() && m_sel.SelectionExists(); }

void CPitchPane::LogPitchAtMarker() {
    if (!CanLogPitchAtMarker())
        return;
    try {
        hooks.logFrame()->AddEntry(PitchMarkerEntry(m_doc.GetTitle(), m_markerTime, m_markerPitch, m_markerIntensity));
    } catch (const std::exception&) {
    }
}

void CPitchPane::LogPitchSelection() {
    if (!CanLogPitchSelection())
        return;
    try {
        LogSink* log = hooks.logFrame();
        for (const LogEntry& e :
             PitchSelectionEntries(m_doc.GetTitle(), m_track, m_sel.SelectionStartMs(), m_sel.SelectionEndMs(),
                                   [this](double t) { return IntensityAt(t); }))
            log->AddEntry(e);
    } catch (const std::exception&) {
    }
}

void CPitchPane::LogPitchAll() {
    if (!CanLogPitchAll())
        return;
    try {
        LogSink* log = hooks.logFrame();
        for (const LogEntry& e : PitchAllEntries(m_doc.GetTitle(), m_track, [this](double t) { return IntensityAt(t); }))
            log->AddEntry(e);
    } catch (const std::exception&) {
    }
}

// ---- printing and export ------------------------------------------------------

void CPitchPane::PrintTrack(QPainter& dc) {
    dc.save();
    // The screen's font at the page's resolution.
    const QPaintDevice* device = dc.device();
    const double scale = device ? device->logicalDpiY() / 96.0 : 1.0;
    QFont font = AppFont();
    font.setPixelSize(std::max(1, static_cast<int>(QFontMetrics(AppFont()).height() * scale * 0.8)));
    dc.setFont(font);
    QRect frame;
    int unit = 3;
    // Whole units of the print size (the fraction is dropped).
    DrawPrintFrame(dc, std::trunc(m_settings.pictureWidth), std::trunc(m_settings.pictureHeight),
                   m_settings.ints[kInches] != 0, QString::fromStdString(m_doc.GetTitle()), frame, unit, true);
    const QRect inner = frame.adjusted(5, 5, -5, -5);
    if (m_trackValid && inner.width() > 0 && inner.height() > 0) {
        const Layout l = LayoutFrom(inner, unit * m_labelHeight, 1, true);
        Style style;
        style.screen = false;
        style.colour = m_settings.ints[kColour] != 0;
        style.dotSize = unit;
        style.labelFontScale = unit;
        style.intensityInAudioOnly = true;
        style.printAxes = true;
        DrawLayers(dc, l, style);
    }
    dc.restore();
}

QImage CPitchPane::RenderBitmap(int width, int height) {
    QImage picture(std::max(width, 1), std::max(height, 1), QImage::Format_RGB32);
    if (picture.isNull())
        return picture;
    picture.fill(Qt::white);
    QPainter dc(&picture);
    dc.setFont(AppFont());
    const QFontMetrics fm(AppFont());
    const int w = fm.horizontalAdvance(QStringLiteral("9999"));
    const int h = fm.height();
    QRect inner(0, 0, width, height);
    if (m_settings.ints[kFrequencyGridOn] != 0)
        inner.setLeft(w);
    if (m_settings.ints[kTimeGridOn] != 0)
        inner.setBottom(height - 2 * h - 1);
    dc.setPen(QPen(Qt::black, 1));
    dc.setBrush(Qt::NoBrush);
    dc.drawRect(inner.adjusted(0, 0, -1, -1));
    if (m_trackValid && inner.width() > 0 && inner.height() > 0) {
        const Layout l = LayoutFrom(inner, m_labelHeight, 1, true);
        Style style;
        style.screen = false;
        style.colour = m_settings.ints[kColour] != 0;
        style.intensityInAudioOnly = true;
        DrawLayers(dc, l, style);
    }
    return picture;
}

void CPitchPane::SaveAsBmp() {
    if (!m_trackValid)
        return;
    platform::UserPrompts& prompts = m_doc.Prompts();
    const std::string path = AskBitmapSavePath(prompts, kPitchBitmapPrefix + WithoutExtension(m_doc.GetTitle()));
    if (path.empty()) {
        prompts.Beep();
        return;
    }
    SavePictureBitmap(*this, prompts, path, m_settings.pictureWidth, m_settings.pictureHeight,
                      m_settings.ints[kInches] != 0, [this](int w, int h) { return RenderBitmap(w, h); });
}

}  // namespace vocomet
