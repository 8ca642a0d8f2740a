#pragma once
// Cursor, selection, zoom and scroll of an analysis pane (pitch, spectrogram)
// without its widget.
//
// A pane shows a time range of one channel across a plot rectangle. The
// user presses, drags and releases in it; the main waveform view and the
// other pane pass their own presses, moves and releases with a time in ms
// (source kMouseFromOtherWindow), so that every window of a document shows
// one cursor and one selection. This class keeps the state of that
// exchange and answers what the widget has to do (capture the mouse,
// repaint, scroll a line); it paints nothing.
//
// Time <-> x over the plot rectangle [left, right) with the shown range
// t0 .. t1 (ms):  t = (x - left) x (t1 - t0) / width + t0  and
// x = left + int(width / (t1 - t0) x (t - t0)), clamped to left .. right.
// Times are absolute (from the start of the channel); samples are
// ms x sample count / duration.
//
// States: no mark -> press -> marker (when no selection existed before the
// press) -> a drag wider than 5 pixels -> selection -> release keeps it and
// hides the marker. A press while a selection exists removes it and shows
// no marker.
//
// Zoom (panes that zoom): the shown range in samples changes by the mode;
// UnZoom returns to the range before the last zoom. The horizontal scroll
// bar runs 0 .. 30000 over the whole channel; its page is the shown span,
// 30001 (no thumb) when the span is (nearly) the whole channel.
//
// Threading: user-interface thread only.

#include <cstdint>

#include "analysis/AnalysisServices.h"
#include "platform/WinTypes.h"

namespace vocomet {

// Where a pane event comes from (the source argument of MouseMirror).
inline constexpr int kMouseFromPoint = 1;  // a point of this pane

enum class PaneZoomMode : int { UnZoom = 0, In = 1, Out = 2, Selection = 3, FromCursor = 4, Home = 5 };

enum class PaneScrollCode { LineLeft, LineRight, PageLeft, PageRight, ThumbPosition, ThumbTrack, Other };

enum class PaneAutoScroll { None, LineLeft, LineRight };

// A range of the channel, in samples and in ms.
struct PaneRange {
    double startSample = 0.0;
    double endSample = 0.0;
    double startMs = 0.0;
    double endMs = 0.0;
    double SpanSamples() const { return endSample - startSample; }
    double SpanMs() const { return endMs - startMs; }
};

struct PanePressResult {
    bool accepted = false;  // false: outside the plot, nothing changed
    bool capture = false;   // a press of this pane's own mouse
    int x = 0;
    // The press time now (the previous one when not accepted): what the
    // other windows are given.
    double timeMs = 0.0;
};

struct PaneTrackResult {
    bool accepted = false;  // false: outside the plot (or range), nothing changed
    int x = 0;              // where the mouse is, clamped to the plot
    double timeMs = 0.0;    // the tracked time
    bool dragging = false;  // the band followed the mouse
    int previousX = 0;      // where the band edge or cursor line was before
    PaneAutoScroll autoScroll = PaneAutoScroll::None;
};

class AnalysisPaneSelection {
public:
    static constexpr int kScrollMax = 30000;
    static constexpr int kNoThumbPage = 30001;
    // A band must be wider than this many pixels to be a selection.
    static constexpr int kSelectionPixels = 5;
    // A drag this close to the plot's edge scrolls (when zoomed).
    static constexpr int kAutoScrollMargin = 5;
    // From Cursor for Duration shows this long a span.
    static constexpr double kCursorZoomMs = 1000.0;

    struct Options {
        // A move from another window at a time outside the shown range is
        // ignored (a pane showing a fixed range); otherwise it is clamped.
        bool ignoreOutsideMoves = false;
        // A press from another window keeps its time within the shown range.
        bool clampPressTime = false;
    };

    AnalysisPaneSelection() = default;
    explicit AnalysisPaneSelection(Options options) : m_options(options) {}

    // A (new) channel: sampleCount samples over durationMs at rate Hz. The
    // shown range becomes the whole channel, not zoomed, the scroll bar
    // whole. The selection, the marker and the range before the last zoom
    // are kept (the first call sets that range to the whole channel).
    void SetChannel(double sampleCount, double durationMs, double rate);
    // Shows the range startSample .. endSample (a pane that does not zoom:
    // not zoomed, so a drag never scrolls).
    void SetShownRange(double startSample, double endSample);
    void SetPlot(const platform::Rect& plot) { m_plot = plot; }
    const platform::Rect& Plot() const { return m_plot; }

    // ---- mapping ----
    // The one time -> x rule, for any rectangle (screen, page, picture):
    // left + int(width / (t1 - t0) x (t - t0)), clamped to left .. left +
    // width; left for an empty range or a time that is not a number.
    static int TimeToX(double timeMs, double t0, double t1, int left, int width);
    double PointToTime(int x) const;
    // Clamped to the plot's left .. right; left when the range is empty.
    int TimeToPoint(double timeMs) const;
    double MsToSamples(double ms) const;
    double SamplesToMs(double samples) const;
    bool InPlot(int x, int y) const { return m_plot.Contains({x, y}); }

    // ---- mouse ----
    // source kMouseFromPoint: (x, y) is this pane's point, which must lie in
    // the plot; kMouseFromOtherWindow: timeMs is the other window's time.
    PanePressResult Press(int x, int y, double timeMs, int source);
    // leftButton: the button state is the left button alone (a drag).
    PaneTrackResult Track(bool leftButton, int x, int y, double timeMs, int source);
    // Ends a press: commits, and a selection hides the marker. False when
    // no press was held.
    bool Release();
    // Selection := the press and tracked times in order, and in samples.
    void Commit();
    // Forgets the marker and the selection.
    void ClearMarks();

    // ---- zoom and scroll ----
    // False (nothing changed) when the mode gives an empty range.
    bool Zoom(PaneZoomMode mode);
    // A scroll-bar step; thumb is the thumb position of the thumb codes.
    // False for codes that move nothing.
    bool Scroll(PaneScrollCode code, int thumb = 0);

    // ---- state ----
    const PaneRange& Shown() const { return m_shown; }
    const PaneRange& Previous() const { return m_previous; }
    bool Zoomed() const { return m_zoomed; }
    int ScrollPosition() const { return m_scrollPos; }
    int ScrollPage() const { return m_scrollPage; }
    double SampleCount() const { return m_count; }
    double DurationMs() const { return m_duration; }
    double Rate() const { return m_rate; }

    bool Pressed() const { return m_pressed; }
    bool MarkerShown() const { return m_markerShown; }
    bool SelectionExists() const { return m_selectionExists; }
    double PressTime() const { return m_pressTime; }
    double TrackedTime() const { return m_trackedTime; }
    double SelectionStartMs() const { return m_selStartMs; }
    double SelectionEndMs() const { return m_selEndMs; }
    double SelectionDurationMs() const { return m_selEndMs - m_selStartMs; }
    double SelectionStartSample() const { return m_selStartSample; }
    double SelectionEndSample() const { return m_selEndSample; }
    // The marker's sample (the press time in samples).
    double MarkerSample() const { return MsToSamples(m_pressTime); }
    // The band to tint: while a press is held, the press x to the tracked x;
    // after a release, the selection (when one exists) clamped to the shown
    // range; plot top to bottom. Empty when there is none.
    platform::Rect BandRect() const;
    // x of the marker line (the committed selection start), clamped to the
    // plot; -1 when no marker is shown.
    int MarkerX() const;

private:
    void SetRange(PaneRange& range, double startSample, double endSample) const;
    void ApplyShown(double startSample, double endSample);
    void ShownFromScrollBar();

    Options m_options;
    platform::Rect m_plot;
    double m_count = 0.0;
    double m_duration = 0.0;
    double m_rate = 0.0;
    bool m_haveChannel = false;

    PaneRange m_shown;
    PaneRange m_previous;
    bool m_zoomed = false;
    int m_scrollPos = 0;
    int m_scrollPage = kNoThumbPage;

    bool m_pressed = false;
    bool m_markerShown = false;
    bool m_selectionExists = false;
    double m_pressTime = 0.0;
    double m_trackedTime = 0.0;
    int m_trackedX = 0;
    double m_selStartMs = 0.0;
    double m_selEndMs = 0.0;
    double m_selStartSample = 0.0;
    double m_selEndSample = 0.0;
};

}  // namespace vocomet
