#include "analysis/AnalysisPaneSelection.h"

#include <algorithm>
#include <cmath>

#include "platform/Pixels.h"

namespace vocomet {

namespace {

using platform::Trunc;

}  // namespace

void AnalysisPaneSelection::SetRange(PaneRange& range, double startSample, double endSample) const {
    range.startSample = startSample;
    range.endSample = endSample;
    range.startMs = SamplesToMs(startSample);
    range.endMs = SamplesToMs(endSample);
}

void AnalysisPaneSelection::SetChannel(double sampleCount, double durationMs, double rate) {
    const auto usable = [](double v) { return std::isfinite(v) && v > 0.0 ? v : 0.0; };
    m_count = usable(sampleCount);
    m_duration = usable(durationMs);
    m_rate = usable(rate);
    SetRange(m_shown, 0.0, m_count);
    if (!m_haveChannel)
        SetRange(m_previous, 0.0, m_count);
    m_haveChannel = true;
    m_zoomed = false;
    m_scrollPos = 0;
    m_scrollPage = kNoThumbPage;
}

void AnalysisPaneSelection::SetShownRange(double startSample, double endSample) {
    startSample = std::clamp(std::isfinite(startSample) ? startSample : 0.0, 0.0, m_count);
    endSample = std::clamp(std::isfinite(endSample) ? endSample : m_count, startSample, m_count);
    ApplyShown(startSample, endSample);
    // A range set from outside is the pane's whole world: nothing to scroll to.
    m_zoomed = false;
}

// ---- mapping -------------------------------------------------------------------

double AnalysisPaneSelection::PointToTime(int x) const {
    const int width = m_plot.Width();
    if (width <= 0)
        return m_shown.startMs;
    return static_cast<double>(x - m_plot.left) * m_shown.SpanMs() / width + m_shown.startMs;
}

int AnalysisPaneSelection::TimeToX(double timeMs, double t0, double t1, int left, int width) {
    const double span = t1 - t0;
    width = std::max(width, 0);
    if (!(span > 0.0) || !std::isfinite(timeMs) || !std::isfinite(span))
        return left;
    const double offset = std::clamp(width / span * (timeMs - t0), 0.0, static_cast<double>(width));
    return left + Trunc(offset);
}

int AnalysisPaneSelection::TimeToPoint(double timeMs) const {
    return TimeToX(timeMs, m_shown.startMs, m_shown.endMs, m_plot.left, m_plot.Width());
}

double AnalysisPaneSelection::MsToSamples(double ms) const {
    return m_duration > 0.0 ? ms * m_count / m_duration : 0.0;
}

double AnalysisPaneSelection::SamplesToMs(double samples) const {
    return m_count > 0.0 ? samples * m_duration / m_count : 0.0;
}

// ---- mouse ---------------------------------------------------------------------

PanePressResult AnalysisPaneSelection::Press(int x, int y, double timeMs, int source) {
    PanePressResult r;
    r.timeMs = m_pressTime;
    double time = timeMs;
    if (source == kMouseFromPoint) {
        if (!InPlot(x, y))
            return r;
        time = PointToTime(x);
        r.capture = true;
    } else {
        if (!std::isfinite(time))
            return r;
        if (m_options.clampPressTime)
            time = std::clamp(time, m_shown.startMs, std::max(m_shown.startMs, m_shown.endMs));
        x = TimeToPoint(time);
    }
    m_pressTime = time;
    // The band starts and ends at the press: a click is a marker there.
    m_trackedTime = time;
    m_trackedX = x;
    m_markerShown = !m_selectionExists;
    m_selectionExists = false;
    m_pressed = true;
    Commit();
    r.accepted = true;
    r.x = x;
    r.timeMs = time;
    return r;
}

PaneTrackResult AnalysisPaneSelection::Track(bool leftButton, int x, int y, double timeMs, int source) {
    PaneTrackResult r;
    double time = timeMs;
    if (source == kMouseFromPoint) {
        if (!InPlot(x, y))
            return r;
        time = PointToTime(x);
    } else {
        if (!std::isfinite(time))
            return r;
        if (m_options.ignoreOutsideMoves && (time < m_shown.startMs || time > m_shown.endMs))
            return r;
        x = TimeToPoint(time);
    }
    r.accepted = true;
    r.previousX = m_trackedX;
    r.x = x;
    r.timeMs = time;
    m_trackedTime = time;
    m_trackedX = x;
    // A drag belongs to a press this pane accepted (its own or mirrored).
    if (leftButton && m_pressed) {
        r.dragging = true;
        if (m_zoomed) {
            if (x < m_plot.left + kAutoScrollMargin)
                r.autoScroll = PaneAutoScroll::LineLeft;
            else if (x > m_plot.right - kAutoScrollMargin)
                r.autoScroll = PaneAutoScroll::LineRight;
        }
        m_selectionExists = std::abs(x - TimeToPoint(m_pressTime)) > kSelectionPixels;
        Commit();
    }
    return r;
}

bool AnalysisPaneSelection::Release() {
    if (!m_pressed)
        return false;
    m_pressed = false;
    Commit();
    if (m_selectionExists)
        m_markerShown = false;
    return true;
}

void AnalysisPaneSelection::Commit() {
    m_selStartMs = std::min(m_pressTime, m_trackedTime);
    m_selEndMs = std::max(m_pressTime, m_trackedTime);
    m_selStartSample = MsToSamples(m_selStartMs);
    m_selEndSample = MsToSamples(m_selEndMs);
}

void AnalysisPaneSelection::ClearMarks() {
    m_pressed = false;
    m_markerShown = false;
    m_selectionExists = false;
}

platform::Rect AnalysisPaneSelection::BandRect() const {
    int left = 0, right = 0;
    if (m_pressed) {
        const int a = TimeToPoint(m_pressTime);
        const int b = TimeToPoint(m_trackedTime);
        left = std::min(a, b);
        right = std::max(std::max(a, b), left + 1);
    } else if (m_selectionExists) {
        left = TimeToPoint(m_selStartMs);
        right = TimeToPoint(m_selEndMs);
        if (right <= left)
            return {};
    } else {
        return {};
    }
    return {left, m_plot.top, right, m_plot.bottom};
}

int AnalysisPaneSelection::MarkerX() const {
    if (m_pressed || !m_markerShown || m_selectionExists)
        return -1;
    return std::min(TimeToPoint(m_selStartMs), m_plot.right - 1);
}

// ---- zoom and scroll -----------------------------------------------------------

void AnalysisPaneSelection::ApplyShown(double startSample, double endSample) {
    SetRange(m_shown, startSample, endSample);
    if (!(m_count > 0.0)) {
        m_scrollPos = 0;
        m_scrollPage = kNoThumbPage;
        m_zoomed = false;
        return;
    }
    const double page = std::clamp(m_shown.SpanSamples() * kScrollMax / m_count, 0.0, 1.0 * kNoThumbPage);
    m_scrollPage = Trunc(page);
    if (m_scrollPage > kScrollMax - 3)
        m_scrollPage = kNoThumbPage;
    const double pos = std::clamp(startSample * kScrollMax / m_count, 0.0, 1.0 * kScrollMax);
    m_scrollPos = std::clamp(Trunc(pos), 0, std::max(0, kNoThumbPage - m_scrollPage));
    m_zoomed = kScrollMax >= m_scrollPage;
}

bool AnalysisPaneSelection::Zoom(PaneZoomMode mode) {
    if (!(m_count > 0.0))
        return false;
    const double start = m_shown.startSample;
    const double end = m_shown.endSample;
    const double span = end - start;
    double s0 = start, s1 = end;
    switch (mode) {
    case PaneZoomMode::UnZoom:
        s0 = std::max(m_previous.startSample, 0.0);
        s1 = std::min(m_previous.endSample, m_count);
        break;
    case PaneZoomMode::In:
        s0 = start + span * 0.25;
        s1 = end - span * 0.25;
        break;
    case PaneZoomMode::Out:
        s0 = std::max(start - span * 0.5, 0.0);
        s1 = std::min(end + span * 0.5, m_count);
        break;
    case PaneZoomMode::Selection:
        s0 = std::max(m_selStartSample, 0.0);
        s1 = std::min(m_selEndSample, m_count);
        break;
    case PaneZoomMode::FromCursor:
        s0 = std::max(MarkerSample(), 0.0);
        s1 = std::min(s0 + m_rate * kCursorZoomMs / 1000.0, m_count);
        break;
    case PaneZoomMode::Home:
        s0 = 0.0;
        s1 = m_count;
        break;
    }
    // An empty range (an empty selection, a marker at the very end) would
    // leave nothing to map times onto: the zoom is not made.
    if (!(s1 > s0) || !std::isfinite(s0) || !std::isfinite(s1))
        return false;
    if (mode != PaneZoomMode::UnZoom)
        m_previous = m_shown;
    ApplyShown(s0, s1);
    return true;
}

bool AnalysisPaneSelection::Scroll(PaneScrollCode code, int thumb) {
    if (!(m_count > 0.0))
        return false;
    const int page = m_scrollPage;
    // At least one step, so that a deep zoom still scrolls.
    const int line = std::max(page / 10, 1);
    int pos = m_scrollPos;
    switch (code) {
    case PaneScrollCode::LineLeft: pos -= line; break;
    case PaneScrollCode::LineRight: pos += line; break;
    case PaneScrollCode::PageLeft: pos -= page; break;
    case PaneScrollCode::PageRight: pos += page; break;
    case PaneScrollCode::ThumbPosition:
    case PaneScrollCode::ThumbTrack: pos = thumb; break;
    case PaneScrollCode::Other: return false;
    }
    m_scrollPos = std::clamp(pos, 0, std::max(0, kNoThumbPage - page));
    ShownFromScrollBar();
    return true;
}

void AnalysisPaneSelection::ShownFromScrollBar() {
    const double start = std::min(1.0 * m_scrollPos * m_count / kScrollMax, m_count);
    const double end = std::min(1.0 * (m_scrollPos + m_scrollPage) * m_count / kScrollMax, m_count);
    SetRange(m_shown, start, std::max(start, end));
}

}  // namespace vocomet
