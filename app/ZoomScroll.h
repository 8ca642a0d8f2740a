#pragma once
// Zoom and scrolling of the main view. Every channel shows a window of its
// own samples (start, end, length, and the previous window that UnZoom goes
// back to), so channels of different rates zoom together by the same rule.
// The horizontal scroll bar maps the window of the reference channel (the
// first channel whose time-reference flag is set) onto the fixed range
// 0..30000; the vertical scroll bar moves the whole stack of strips.
//
// Scroll bars follow the classic model: range minimum..maximum, a page, and a
// position that is kept within minimum .. maximum - page + 1.
//
// Every call takes the channels in use (the document's first channel-count
// slots). Channels without samples (a count of 0) are never changed.

#include <span>

#include "core/CChannels.h"

namespace vocomet {

struct ScrollBarState {
    int minimum = 0;
    int maximum = 0;
    int page = 0;
    int position = 0;

    // The largest position the page allows.
    int MaxPosition() const;
    // The page is kept within 0 .. maximum - minimum + 1 and the position
    // re-clamped.
    void SetRange(int minimum, int maximum);
    void SetPage(int page);
    void SetPosition(int position);
};

// The zoom commands by their mode numbers.
enum class ZoomMode : int {
    UnZoom = 0,
    In = 1,
    Out = 2,
    Selection = 3,
    FromCursorForDuration = 4,
    Home = 5,
};

// Scroll-bar notifications. Back is left (horizontal) or up (vertical).
enum class ScrollCode {
    LineBack,
    LineForward,
    PageBack,
    PageForward,
    ThumbPosition,
    ThumbTrack,
    EndScroll,
    Other,
};

class ZoomScroll {
public:
    static constexpr int kScrollRange = 30000;
    // Zoom In leaves a window of this many samples or fewer alone; Zoom Out
    // widens an empty window to this many.
    static constexpr double kSmallestZoomWindow = 100.0;

    ZoomScroll();

    // Index of the first channel with the time-reference flag; -1 for none.
    static int ReferenceChannel(std::span<const CChannels> channels);
    // Scroll position and page of a channel's window: start and length
    // scaled to 0..30000 and truncated; a whole-recording page is 30001.
    // False (outputs untouched) for a channel without samples.
    static bool ScrollStateOf(const CChannels& channel, int& position, int& page);

    // Applies a zoom mode to every channel, then sets the horizontal bar
    // and the visible times from the reference channel (left as they were
    // when there is none) and the can-scroll flag. Every window stays within
    // 0 .. sample count. False when nothing was zoomed (unknown mode, or no
    // channel with samples): the channels and the bar are then unchanged.
    bool ApplyZoom(ZoomMode mode, std::span<CChannels> channels, double zoomDurationMs);

    // The state of a freshly shown view: range 0..30000, page 30001,
    // position 0.
    void ResetHorizontal();
    // Sets every channel's window start from the bar's position, keeping
    // the window's length (at most the recording) and moving the start back
    // where the window would pass the end; then the visible times.
    void WindowFromScrollPos(std::span<CChannels> channels);
    // A horizontal scroll-bar notification (trackPosition is the thumb's
    // position while dragging): moves the position (a line is a tenth of a
    // page, a whole page when the page is 10 or less; at least one unit),
    // clamps it and sets the windows from it. True when the view is to be
    // invalidated.
    bool OnHScroll(ScrollCode code, int trackPosition, std::span<CChannels> channels);
    // Centres a window of the zoom duration on time t (ms) in every channel
    // (clamped to the recording; the old window becomes the previous one),
    // then the bar and the visible times from channel 0. A document without
    // a channel to move (or a time that is no number) stays as it is.
    void ScrollToTime(double t, std::span<CChannels> channels, double zoomDurationMs);

    // The vertical bar for a stack of the given height in a client area of
    // the given height: a stack that fits gets a page larger than the range
    // and offset 0; a taller one range 0..stack height with a page of the
    // client height less 50, at least 1.
    void SetVerticalExtent(int stackHeight, int clientHeight);
    // A vertical scroll-bar notification. True when the offset changed.
    bool OnVScroll(ScrollCode code, int position);

    // The visible start and end times (ms) from a channel's shown window.
    void TakeVisibleTimes(CChannels& channel);

    ScrollBarState horizontal;
    ScrollBarState vertical;
    double visibleStartTime = 0.0;  // ms, left edge of the reference channel's window
    double visibleEndTime = 0.0;    // ms, right edge
    bool canScroll = false;         // the shown window is shorter than the recording
    // The channel ScrollToTime took last: total, window length and start.
    double referenceTotal = 30000.0;
    double referenceWindowLength = 3000.0;
    double referenceWindowStart = 0.0;
    // Pixels by which the stack is scrolled up, as the negated vertical
    // position.
    int verticalOffset = 0;

private:
    void SetHorizontalFrom(const CChannels& channel);
};

}  // namespace vocomet
