#pragma once
// The marker, the selection band and the label hits of the main view, as a
// state machine over presses, moves and releases. The view turns its mouse
// events into Begin / Track / End calls with source kFromView; the pitch and
// spectrogram panes pass a time with source kFromPane, which moves the
// marker and the band to that time without any mouse capture.
//
// Positions live per channel in CChannels (anchor, cursor, selection); this
// class keeps only the pixel geometry of the band and the marker and the
// flags of the view. It paints nothing: each call says what changed on the
// screen (the band columns, the label outline, the hover column) and what
// the view is to do next (capture, auto-scroll, open the label entry).
//
// States: nothing (no marker, no selection), marker, selection. A press
// hides the band on the screen; the flags are settled on release.
//
// Threading: user-interface thread only.

#include <optional>
#include <span>
#include <vector>

#include "core/CChannels.h"
#include "core/ChannelRecords.h"
#include "platform/TextMeasurer.h"
#include "platform/WinTypes.h"

namespace vocomet {

// Where a mouse event comes from.
inline constexpr int kFromPane = 0;  // another window passes its time
inline constexpr int kFromView = 1;  // a point of this view

// A band narrower than this many pixels is a click.
inline constexpr int kSelectionThreshold = 6;

// Sources of points left of this x are ignored while moving (left margin
// less 5).
inline constexpr int kTrackLeftLimit = CChannels::kLeftMargin - 5;

// What the view knows at the moment of an event.
struct MouseContext {
    std::span<CChannels> channels;  // the channels in use
    bool hasData = false;           // the document holds data
    bool recording = false;         // a recording runs: moves are ignored
    bool outputBusy = false;        // a sound-card output plays: moves are ignored
    bool hoverCursor = false;       // the document's hover-cursor switch
    platform::Rect client;          // client rectangle (top-left 0, 0)
    int verticalOffset = 0;         // pixels the stack is moved down (<= 0)
    int stackHeight = 0;
    int horizontalPage = 0;  // page of the horizontal scroll bar (0..30001)
    bool canScroll = false;  // the shown window is shorter than the recording
    double visibleStartTime = 0.0;
    double visibleEndTime = 0.0;
    const platform::TextMeasurer* measurer = nullptr;  // for placing labels
};

// The index of the channel whose times the view reads: the first with the
// time-reference flag, channel 0 when none is marked; -1 without channels.
int PositionChannel(std::span<const CChannels> channels);

// The columns [left, right) of a band; empty when right <= left.
struct ColumnSpan {
    int left = 0;
    int right = 0;
    bool IsEmpty() const { return right <= left; }
    bool operator==(const ColumnSpan&) const = default;
};

// What moving a band from one column span to another repaints: the columns
// that leave the band come back from the clean picture, the columns that
// join it are tinted. Columns in both are left alone. At most two of each.
struct BandRepaint {
    std::vector<ColumnSpan> restore;
    std::vector<ColumnSpan> tint;
};
BandRepaint RepaintForBand(ColumnSpan from, ColumnSpan to);

enum class AutoScroll { None, LineLeft, LineRight };

// One row of the status window's value table.
struct CursorReadout {
    int row = 0;  // running number of the shown channels
    double value = 0.0;
    double intensity = 0.0;
    double velocity = 0.0;
    double acceleration = 0.0;
};

struct PressResult {
    bool acted = false;    // false: no data, or outside the client area
    bool capture = false;  // capture the mouse (presses of this view)
    // The sound-card output is to be stopped and deleted.
    bool stopOutput = true;
};

struct TrackResult {
    bool acted = false;
    // The label outline moved from oldOutline (empty: none drawn yet) to
    // newOutline; nothing else happened on this move.
    bool outlineMoved = false;
    platform::Rect oldOutline;
    platform::Rect newOutline;
    // The band changed (the view compares BandColumns() with what it shows).
    bool bandMoved = false;
    std::optional<double> durationMs;  // for the status window
    AutoScroll autoScroll = AutoScroll::None;
    // Hover: the cursor column moved from oldHover to newHover.
    bool hoverMoved = false;
    ColumnSpan oldHover;
    ColumnSpan newHover;
    // Cursor time and the value rows for the status window; set on every
    // move that got past the guards.
    bool readout = false;
    double cursorTime = 0.0;
    std::vector<CursorReadout> rows;
};

enum class ReleaseAction {
    None,              // nothing to do
    Invalidate,        // repaint from the surfaces
    Redraw,            // rebuild the surfaces and repaint
    MoveDraggedLabel,  // store the dragged label at hitLabelRect
    EditHitLabel,      // the label entry for hitLabel (empty text deletes it)
    EnterNewLabel,     // the label entry for a new label from currentLabel
};

struct ReleaseResult {
    bool acted = false;
    bool releaseCapture = false;
    ReleaseAction action = ReleaseAction::None;
};

class MouseSelection {
public:
    // Press (x, y in client pixels; t in ms for kFromPane).
    PressResult Begin(const MouseContext& c, int x, int y, double t, int source);
    // Move; button: the left button is held.
    TrackResult Track(const MouseContext& c, bool button, int x, int y, double t, int source);
    // Release.
    ReleaseResult End(const MouseContext& c, int x, int y, double t, int source);

    // Clears every channel's selection, the marker strip, the band, the
    // press x and both shown flags.
    void ClearSelection(std::span<CChannels> channels);

    // The strip under (x, y) (client pixels): the first shown channel whose
    // strip, moved by the vertical offset, contains it; -1 for none.
    static int HitChannel(std::span<const CChannels> channels, int x, int y, int verticalOffset);

    // The band's columns while a press is held (empty before the first
    // move and after the release).
    ColumnSpan BandColumns() const;
    // The band and the marker are being dragged: the view shows the drag
    // band and no marker until the release.
    bool Pressed() const { return m_pressed; }
    // The hover column (empty while none is shown).
    ColumnSpan HoverColumn() const { return m_hover; }

    // ---- the view's flags ----
    bool selectionShown = false;
    bool markerShown = false;
    bool selectionPresent = false;  // the document's flag, copied by the view
    int clickedChannel = -1;
    bool labelMode = false;
    bool labelHit = false;
    bool labelDragged = false;
    bool labelChanged = false;
    bool labelStored = false;
    LABEL currentLabel;  // template for new labels
    LABEL hitLabel;
    platform::Rect hitLabelRect;  // client pixels
    platform::Point press;
    int previousMarkerX = 0;
    int bandExtent = 0;
    int bandAnchor = 0;
    platform::Rect selectionBand;
    platform::Rect markerStrip;
    double cursorTime = 0.0;  // ms, of the position channel
    double anchorTime = 0.0;

private:
    // x for a time passed by a pane, from the position channel.
    static int XOfTime(std::span<CChannels> channels, double t);
    std::vector<CursorReadout> Readouts(std::span<CChannels> channels) const;

    bool m_pressed = false;
    bool m_bandShown = false;
    // Where the hit label was at the press: a drag moves it from there.
    platform::Rect m_hitRectAtPress;
    ColumnSpan m_hover;
};

}  // namespace vocomet
