#include "app/MouseSelection.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "app/ZoomScroll.h"
#include "platform/Pixels.h"

namespace vocomet {

namespace {

constexpr int kMargin = CChannels::kLeftMargin;
constexpr int kRightEdge = 5;

using platform::Trunc;

platform::Rect Moved(const platform::Rect& r, int dx, int dy) {
    return {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// The part of a that is not in b, as up to two spans.
void Subtract(ColumnSpan a, ColumnSpan b, std::vector<ColumnSpan>& out) {
    if (a.IsEmpty())
        return;
    if (b.IsEmpty() || b.right <= a.left || b.left >= a.right) {
        out.push_back(a);
        return;
    }
    if (a.left < b.left)
        out.push_back({a.left, b.left});
    if (b.right < a.right)
        out.push_back({b.right, a.right});
}

}  // namespace

int PositionChannel(std::span<const CChannels> channels) {
    if (channels.empty())
        return -1;
    return std::max(ZoomScroll::ReferenceChannel(channels), 0);
}

BandRepaint RepaintForBand(ColumnSpan from, ColumnSpan to) {
    BandRepaint r;
    Subtract(from, to, r.restore);
    Subtract(to, from, r.tint);
    return r;
}

int MouseSelection::HitChannel(std::span<const CChannels> channels, int x, int y, int verticalOffset) {
    for (std::size_t i = 0; i < channels.size(); ++i) {
        const CChannels& ch = channels[i];
        if (!ch.show)
            continue;
        if (Moved(ch.strip, 0, verticalOffset).Contains({x, y}))
            return static_cast<int>(i);
    }
    return -1;
}

int MouseSelection::XOfTime(std::span<CChannels> channels, double t) {
    const int ref = PositionChannel(channels);
    if (ref < 0)
        return kMargin;
    return Trunc(channels[static_cast<std::size_t>(ref)].TimeToPixel(t)) + kMargin;
}

ColumnSpan MouseSelection::BandColumns() const {
    if (!m_pressed || !m_bandShown)
        return {};
    return {selectionBand.left, selectionBand.right};
}

PressResult MouseSelection::Begin(const MouseContext& c, int x, int y, double t, int source) {
    PressResult result;
    if (!c.hasData)
        return result;
    if (source == kFromView) {
        if (!c.client.Contains({x, y}))
            return result;
        result.capture = true;
    } else {
        x = XOfTime(c.channels, t);
    }
    result.acted = true;
    labelHit = false;

    // The band and the marker leave the screen until the release.
    m_pressed = true;
    m_bandShown = false;
    press = {x, y};
    markerStrip = {x, c.client.top, x + 1, c.stackHeight};
    selectionBand = {x, c.client.top, x, c.stackHeight};
    bandAnchor = x;
    previousMarkerX = x;

    markerShown = !selectionShown;
    selectionShown = false;
    selectionPresent = false;
    bandExtent = 0;
    clickedChannel = -1;

    if (source == kFromView) {
        // A pane's point is in the pane's own pixels: only a press of this
        // view picks a strip.
        clickedChannel = HitChannel(c.channels, press.x, press.y, c.verticalOffset);
        for (CChannels& ch : c.channels) {
            ch.SetAnchorPixel(x - kMargin, y);
            ch.UpdateSelection();
        }
        if (labelMode && c.measurer) {
            // A label of a later channel wins over one of an earlier channel.
            for (CChannels& ch : c.channels) {
                if (!ch.show)
                    continue;
                for (int i = 0; i < ch.labels.GetSize(); ++i) {
                    LABEL label;
                    if (ch.PlaceLabel(i, label, c.visibleStartTime, c.visibleEndTime, *c.measurer) == 0)
                        continue;
                    if (label.rect.Contains({x, y - c.verticalOffset})) {
                        hitLabel = label;
                        labelHit = true;
                        hitLabelRect = Moved(label.rect, 0, c.verticalOffset);
                        m_hitRectAtPress = hitLabelRect;
                        break;
                    }
                }
            }
        }
    } else {
        for (CChannels& ch : c.channels)
            ch.SetAnchorTime(t);
    }
    labelDragged = false;
    const int ref = PositionChannel(c.channels);
    if (ref >= 0)
        anchorTime = c.channels[static_cast<std::size_t>(ref)].markerTime;
    return result;
}

TrackResult MouseSelection::Track(const MouseContext& c, bool button, int x, int y, double t, int source) {
    TrackResult result;
    if (!c.hasData || c.recording || c.outputBusy)
        return result;
    if (source == kFromView) {
        if (!c.client.Contains({x, y}) || x < kTrackLeftLimit)
            return result;
    } else {
        x = XOfTime(c.channels, t);
    }
    result.acted = true;
    const int ref = PositionChannel(c.channels);
    CChannels* refChannel = ref >= 0 ? &c.channels[static_cast<std::size_t>(ref)] : nullptr;
    // Where a pane's time falls outside the window, the band and the hover
    // column stop at the client edge; the channels still take the time.
    const int px = std::clamp(x, c.client.left, std::max(c.client.left, c.client.right - 1));

    if (button) {
        if (source == kFromView && labelMode && labelHit && clickedChannel >= 0 &&
            clickedChannel < static_cast<int>(c.channels.size())) {
            // Dragging a label: its outline follows the mouse from where it
            // was at the press, and stays within its channel's strip.
            platform::Rect candidate = Moved(m_hitRectAtPress, x - press.x, y - press.y);
            const platform::Rect strip =
                Moved(c.channels[static_cast<std::size_t>(clickedChannel)].strip, 0, c.verticalOffset);
            if (candidate.top < strip.top)
                candidate = Moved(candidate, 0, strip.top - candidate.top);
            else if (candidate.bottom > strip.bottom)
                candidate = Moved(candidate, 0, strip.bottom - candidate.bottom);
            if (!(candidate == hitLabelRect)) {
                result.outlineMoved = true;
                result.oldOutline = labelDragged ? hitLabelRect : platform::Rect{};
                result.newOutline = candidate;
                labelDragged = true;
                hitLabelRect = candidate;
            }
            previousMarkerX = x;
            return result;
        }

        for (CChannels& ch : c.channels) {
            if (source == kFromView)
                ch.SetCursorPixel(x - kMargin, y);
            else
                ch.SetCursorTime(t);
            ch.UpdateSelection();
        }

        if (source == kFromView && c.canScroll && refChannel) {
            // One scroll line is a tenth of the page (the whole page when it
            // is 10 or less); the cursor goes to where the window's edge
            // will be after that line.
            const int g = c.horizontalPage;
            const int line = g > 10 ? g / 10 : g;
            const double width = static_cast<double>(refChannel->strip.right) - refChannel->strip.left;
            const int linePixels = g > 0 ? std::max(1, Trunc(width * line / g)) : 0;
            int edge = 0;
            if (x < c.client.left + kMargin) {
                result.autoScroll = AutoScroll::LineLeft;
                edge = -linePixels;
            } else if (x > c.client.right - kRightEdge) {
                result.autoScroll = AutoScroll::LineRight;
                edge = Trunc(width) + linePixels;
            }
            if (result.autoScroll != AutoScroll::None)
                for (CChannels& ch : c.channels) {
                    ch.SetCursorPixel(edge, 0);
                    ch.UpdateSelection();
                }
        }
        if (refChannel) {
            cursorTime = source == kFromView ? refChannel->cursorTime : t;
            anchorTime = refChannel->markerTime;
            result.durationMs = refChannel->selLengthTime;
        }

        // The band runs between the press and the mouse, on whichever side.
        const int left = std::min(press.x, px);
        const int right = std::max(press.x, px);
        const ColumnSpan before = BandColumns();
        if (m_pressed) {
            m_bandShown = true;
            if (std::abs(px - press.x) > std::abs(previousMarkerX - press.x))
                bandExtent = px;  // growing
        }
        selectionBand = {left, c.client.top, right, c.stackHeight};
        result.bandMoved = !(BandColumns() == before);
        previousMarkerX = px;

        if (right - left < kSelectionThreshold) {
            selectionShown = false;
            selectionPresent = false;
        } else {
            selectionShown = true;
            selectionPresent = true;
            markerShown = false;
        }
    } else {
        const ColumnSpan next = c.hoverCursor ? ColumnSpan{px, px + 1} : ColumnSpan{};
        if (!(next == m_hover)) {
            result.hoverMoved = true;
            result.oldHover = m_hover;
            result.newHover = next;
            m_hover = next;
        }
        if (source == kFromView) {
            for (int i = 0; i <= ref; ++i)
                c.channels[static_cast<std::size_t>(i)].SetCursorPixel(x - kMargin, y);
            if (refChannel)
                cursorTime = refChannel->cursorTime;
        } else {
            cursorTime = t;
        }
    }

    result.readout = true;
    result.cursorTime = cursorTime;
    result.rows = Readouts(c.channels);
    return result;
}

std::vector<CursorReadout> MouseSelection::Readouts(std::span<CChannels> channels) const {
    std::vector<CursorReadout> rows;
    int row = 0;
    for (CChannels& ch : channels) {
        if (!ch.show)
            continue;
        CursorReadout r;
        r.row = row++;
        r.value = ch.CalibrateValue(ch.GetSampleAtTime(cursorTime));
        r.intensity = ch.GetIntensityAt(cursorTime);
        r.velocity = ch.GetVelocityAt(cursorTime);
        r.acceleration = ch.GetAccelerationAt(cursorTime);
        rows.push_back(r);
    }
    return rows;
}

ReleaseResult MouseSelection::End(const MouseContext& c, int x, int y, double /*t*/, int source) {
    ReleaseResult result;
    if (!c.hasData)
        return result;
    result.acted = true;
    m_pressed = false;
    m_bandShown = false;
    if (source != kFromView) {
        markerShown = !selectionShown;
        result.action = ReleaseAction::Invalidate;
        return result;
    }
    result.releaseCapture = true;
    if (!c.client.Contains({x, y})) {
        // Let go outside the window: the press ends with what the drag made.
        if (selectionShown)
            markerShown = false;
        result.action = ReleaseAction::Invalidate;
        return result;
    }
    if (clickedChannel < 0) {
        selectionShown = false;
        markerShown = false;
        selectionPresent = false;
        result.action = ReleaseAction::Redraw;
        return result;
    }
    if (!labelMode) {
        if (selectionShown) {
            markerShown = false;
        } else if (markerShown) {
            for (CChannels& ch : c.channels) {
                ch.SetAnchorPixel(x - kMargin, y);
                ch.SetCursorPixel(x - kMargin, y);
                ch.UpdateSelection();
            }
            markerShown = true;
        } else {
            // The first click after a selection clears it.
            for (CChannels& ch : c.channels) {
                ch.SetAnchorPixel(kMargin, 0);
                ch.SetCursorPixel(kMargin, 0);
                ch.UpdateSelection();
            }
        }
        result.action = ReleaseAction::Invalidate;
        return result;
    }
    if (selectionShown) {
        markerShown = false;
        result.action = ReleaseAction::Invalidate;
        return result;
    }
    markerShown = false;
    if (labelDragged)
        result.action = ReleaseAction::MoveDraggedLabel;
    else if (labelHit)
        result.action = ReleaseAction::EditHitLabel;
    else
        result.action = ReleaseAction::EnterNewLabel;
    return result;
}

void MouseSelection::ClearSelection(std::span<CChannels> channels) {
    for (CChannels& ch : channels) {
        ch.selStartTime = ch.selEndTime = 0.0;
        ch.selStartSample = ch.selEndSample = 0.0;
        ch.selLengthTime = ch.selLengthSamples = 0.0;
    }
    markerStrip = {0, markerStrip.top, 1, markerStrip.bottom};
    selectionBand = {0, selectionBand.top, 0, selectionBand.bottom};
    bandExtent = 0;
    press.x = 0;
    m_pressed = false;
    m_bandShown = false;
    selectionShown = false;
    markerShown = false;
    selectionPresent = false;
}

}  // namespace vocomet
