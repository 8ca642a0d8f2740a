#pragma once
// Where the main view puts the channel strips: stacked from the top, each as
// wide as the client area less a left margin (room for the value axis) and a
// right margin, with a gap between strips. A recording of one channel fills
// the client height less room for the time axis below it. Also keeps the
// client rectangle, the stack height and the overlay rectangles (marker,
// selection band, play cursor) that a new layout resets.
//
// Works on the channel slots of a document; no painting here.

#include <span>

#include "core/CChannels.h"
#include "platform/WinTypes.h"

namespace vocomet {

class ViewLayout {
public:
    static constexpr int kLeftMargin = CChannels::kLeftMargin;
    static constexpr int kRightMargin = 5;
    static constexpr int kStripGap = 5;
    // Space left under the strip of a one-channel recording.
    static constexpr int kSingleStripBottom = 30;

    // Lays out the strips of the channels in use (channels holds exactly
    // them) for a client area of the given rectangle (top-left 0, 0) and
    // resets the overlay rectangles. One channel: its strip fills the client
    // height less kSingleStripBottom whatever its show flag, and its strip
    // height follows. Several: each shown channel in index order at the
    // current stack height with its own strip height, then a gap; hidden
    // channels take no room and keep their old rectangles. Sizes that would
    // come out negative (a tiny window, a negative strip height) are 0.
    void LayoutChannels(std::span<CChannels> channels, const platform::Rect& client);

    const platform::Rect& Client() const { return m_client; }
    // Total height of the shown strips with their gaps (may exceed the
    // client height: the vertical scroll bar then moves the stack).
    int StackHeight() const { return m_stackHeight; }

    // Overlay rectangles, reset by every layout: where the marker line was
    // last drawn, the column the old play cursor covered, the selection band,
    // the marker column, and the play cursor's column.
    platform::Rect previousMarkerStrip;
    platform::Rect cursorOldStrip;
    platform::Rect selectionBand;
    platform::Rect markerStrip;
    platform::Rect cursorStrip;

private:
    platform::Rect m_client;
    int m_stackHeight = 0;
};

}  // namespace vocomet
