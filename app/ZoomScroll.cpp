#include "app/ZoomScroll.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vocomet {

namespace {

// x within lo..hi; a NaN goes to lo.
double Clamp(double x, double lo, double hi) {
    if (!(x >= lo))
        return lo;
    return x > hi ? hi : x;
}

int TruncateToInt(double x) {
    if (!std::isfinite(x))
        return 0;
    x = std::trunc(x);
    if (x >= static_cast<double>(std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    if (x <= static_cast<double>(std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    return static_cast<int>(x);
}

// A count of samples a window can be placed in; false for an empty or
// meaningless count.
bool HasExtent(const CChannels& ch) {
    return std::isfinite(ch.sampleCount) && ch.sampleCount > 0.0;
}

// Stores the window s..e, kept within 0..N and in order.
void SetWindow(CChannels& ch, double s, double e) {
    const double n = ch.sampleCount;
    s = Clamp(s, 0.0, n);
    e = Clamp(e, s, n);
    ch.shownStart = s;
    ch.shownEnd = e;
    ch.shownLength = e - s;
}

void RememberWindow(CChannels& ch) {
    ch.prevWindowStart = ch.shownStart;
    ch.prevWindowEnd = ch.shownEnd;
}

// Samples covered by ms of the channel at its rate; 0 for anything unusable.
double SamplesForMs(const CChannels& ch, double ms) {
    const double len = ch.rate * ms / 1000.0;
    return std::isfinite(len) && len > 0.0 ? len : 0.0;
}

void ZoomChannel(CChannels& ch, ZoomMode mode, double zoomDurationMs) {
    const double n = ch.sampleCount;
    double s = ch.shownStart;
    double e = ch.shownEnd;
    switch (mode) {
    case ZoomMode::UnZoom:
        // The previous window stays, so a second UnZoom lands on the same one.
        SetWindow(ch, ch.prevWindowStart, ch.prevWindowEnd);
        return;
    case ZoomMode::In:
        RememberWindow(ch);
        if (e - s > ZoomScroll::kSmallestZoomWindow) {
            const double c = (e - s) * 0.25;
            e -= c;
            s += c;
        }
        SetWindow(ch, s, e);
        return;
    case ZoomMode::Out: {
        RememberWindow(ch);
        const double c = (e - s == 0.0) ? 0.5 * ZoomScroll::kSmallestZoomWindow : 0.5 * (e - s);
        SetWindow(ch, s - c, e + c);
        return;
    }
    case ZoomMode::Selection:
        RememberWindow(ch);
        SetWindow(ch, std::min(ch.selStartSample, ch.selEndSample), std::max(ch.selStartSample, ch.selEndSample));
        return;
    case ZoomMode::FromCursorForDuration: {
        RememberWindow(ch);
        // The window starts at the marker; one that would reach past the end
        // is moved back to end there, so it keeps the asked duration
        // whenever the recording is that long.
        const double len = std::min(SamplesForMs(ch, zoomDurationMs), n);
        s = Clamp(ch.markerSample, 0.0, n);
        if (s + len > n)
            s = n - len;
        SetWindow(ch, s, s + len);
        return;
    }
    case ZoomMode::Home:
        RememberWindow(ch);
        SetWindow(ch, 0.0, n);
        return;
    }
}

bool IsZoomMode(ZoomMode mode) {
    const int m = static_cast<int>(mode);
    return m >= static_cast<int>(ZoomMode::UnZoom) && m <= static_cast<int>(ZoomMode::Home);
}

}  // namespace

// ---- ScrollBarState ----

int ScrollBarState::MaxPosition() const {
    return std::max(minimum, maximum - std::max(page - 1, 0));
}

void ScrollBarState::SetRange(int newMinimum, int newMaximum) {
    minimum = newMinimum;
    maximum = std::max(newMinimum, newMaximum);
    SetPage(page);
}

void ScrollBarState::SetPage(int newPage) {
    const long long span = static_cast<long long>(maximum) - minimum + 1;
    page = static_cast<int>(std::clamp<long long>(newPage, 0, span));
    SetPosition(position);
}

void ScrollBarState::SetPosition(int newPosition) {
    position = std::clamp(newPosition, minimum, MaxPosition());
}

// ---- ZoomScroll ----

ZoomScroll::ZoomScroll() {
    ResetHorizontal();
}

int ZoomScroll::ReferenceChannel(std::span<const CChannels> channels) {
    for (std::size_t i = 0; i < channels.size(); ++i) {
        if (channels[i].timeReference != 0)
            return static_cast<int>(i);
    }
    return -1;
}

bool ZoomScroll::ScrollStateOf(const CChannels& channel, int& position, int& page) {
    if (!HasExtent(channel))
        return false;
    const double n = channel.sampleCount;
    position = TruncateToInt(channel.shownStart * kScrollRange / n);
    page = TruncateToInt((channel.shownEnd - channel.shownStart) * kScrollRange / n);
    // A page equal to the maximum would still leave one position to scroll to.
    if (page == kScrollRange)
        page = kScrollRange + 1;
    return true;
}

void ZoomScroll::SetHorizontalFrom(const CChannels& channel) {
    int position = 0, page = 0;
    if (!ScrollStateOf(channel, position, page))
        return;
    horizontal.SetPage(page);
    horizontal.SetPosition(position);
}

void ZoomScroll::TakeVisibleTimes(CChannels& channel) {
    channel.GetVisibleTimeRange(visibleStartTime, visibleEndTime);
}

bool ZoomScroll::ApplyZoom(ZoomMode mode, std::span<CChannels> channels, double zoomDurationMs) {
    if (!IsZoomMode(mode))
        return false;
    bool zoomed = false;
    for (CChannels& ch : channels) {
        if (!HasExtent(ch))
            continue;
        ZoomChannel(ch, mode, zoomDurationMs);
        zoomed = true;
    }
    if (!zoomed)
        return false;

    const int ref = ReferenceChannel(channels);
    if (ref >= 0 && HasExtent(channels[static_cast<std::size_t>(ref)])) {
        SetHorizontalFrom(channels[static_cast<std::size_t>(ref)]);
        TakeVisibleTimes(channels[static_cast<std::size_t>(ref)]);
    }
    canScroll = horizontal.maximum >= horizontal.page;
    return true;
}

void ZoomScroll::ResetHorizontal() {
    horizontal.SetRange(0, kScrollRange);
    horizontal.SetPage(kScrollRange + 1);
    horizontal.SetPosition(0);
}

void ZoomScroll::WindowFromScrollPos(std::span<CChannels> channels) {
    // The start comes from the position; the length is the channel's own.
    // Taking it from the whole-number page instead would shrink the window
    // to a multiple of 1/30000 of the recording at every scroll, and to
    // nothing once the window is shorter than that.
    for (CChannels& ch : channels) {
        if (!HasExtent(ch))
            continue;
        const double n = ch.sampleCount;
        const double length = Clamp(ch.shownEnd - ch.shownStart, 0.0, n);
        const double start = Clamp(static_cast<double>(horizontal.position) * n / kScrollRange, 0.0, n - length);
        SetWindow(ch, start, start + length);
    }
    const int ref = ReferenceChannel(channels);
    if (ref >= 0)
        TakeVisibleTimes(channels[static_cast<std::size_t>(ref)]);
}

bool ZoomScroll::OnHScroll(ScrollCode code, int trackPosition, std::span<CChannels> channels) {
    const int p = horizontal.position;
    const int g = horizontal.page;
    // At deep zoom into a long recording the page rounds to 0; a line or a
    // page still moves by one unit then.
    const int line = std::max(g > 10 ? g / 10 : g, 1);
    const int pageStep = std::max(g, 1);
    int next = p;
    bool invalidate = true;
    switch (code) {
    case ScrollCode::LineBack:
        next = p - line;
        break;
    case ScrollCode::LineForward:
        next = p + line;
        break;
    case ScrollCode::PageBack:
        next = p - pageStep;
        break;
    case ScrollCode::PageForward:
        next = p + pageStep;
        break;
    case ScrollCode::ThumbTrack:
        next = trackPosition;
        break;
    case ScrollCode::ThumbPosition:
    case ScrollCode::EndScroll:
    case ScrollCode::Other:
        invalidate = false;
        break;
    }
    horizontal.SetPosition(next);
    WindowFromScrollPos(channels);
    return invalidate;
}

void ZoomScroll::ScrollToTime(double t, std::span<CChannels> channels, double zoomDurationMs) {
    if (!std::isfinite(t))
        return;
    bool moved = false;
    for (CChannels& ch : channels) {
        if (!HasExtent(ch) || !(ch.duration > 0.0))
            continue;
        moved = true;
        RememberWindow(ch);
        const double centre = ch.sampleCount / ch.duration * t;
        const double half = SamplesForMs(ch, zoomDurationMs) * 0.5;
        SetWindow(ch, centre - half, centre + half);
    }
    if (!moved)
        return;
    for (CChannels& ch : channels) {
        if (!HasExtent(ch))
            continue;
        double start = 0.0, end = 0.0;
        ch.GetVisibleTimeRange(start, end);
        referenceTotal = ch.sampleCount;
        referenceWindowLength = ch.shownEnd - ch.shownStart;
        referenceWindowStart = ch.shownStart;
        visibleStartTime = start;
        visibleEndTime = end;
    }
    if (!channels.empty() && HasExtent(channels[0])) {
        SetHorizontalFrom(channels[0]);
        TakeVisibleTimes(channels[0]);
    }
    canScroll = referenceWindowLength < referenceTotal;
}

void ZoomScroll::SetVerticalExtent(int stackHeight, int clientHeight) {
    clientHeight = std::max(clientHeight, 0);
    if (stackHeight < clientHeight) {
        vertical.SetRange(0, clientHeight);
        vertical.SetPage(clientHeight + 1);
    } else {
        vertical.SetRange(0, stackHeight);
        // A window less than 50 pixels high still pages by a pixel: a page
        // of 0 would make every line and page step 0 and the stack stuck.
        vertical.SetPage(std::max(clientHeight - 50, 1));
    }
    // The bar may have pulled the position in; the stack follows it.
    verticalOffset = -vertical.position;
}

bool ZoomScroll::OnVScroll(ScrollCode code, int position) {
    const int p = vertical.position;
    const int g = vertical.page;
    const int m = vertical.maximum;
    const int line = g / 10;
    const int before = verticalOffset;
    int next = p;
    switch (code) {
    case ScrollCode::LineBack:
        next = p - line;
        if (next >= 0)
            verticalOffset += line;
        break;
    case ScrollCode::LineForward:
        next = p + line;
        if (next < m - g)
            verticalOffset -= line;
        break;
    case ScrollCode::PageBack:
        next = p - g;
        if (next >= 0)
            verticalOffset += g;
        break;
    case ScrollCode::PageForward:
        next = p + g;
        if (next < m)
            verticalOffset -= g;
        break;
    case ScrollCode::ThumbPosition:
    case ScrollCode::ThumbTrack:
        // The stack follows the thumb where the bar lets it go.
        vertical.SetPosition(position);
        verticalOffset = -vertical.position;
        return verticalOffset != before;
    case ScrollCode::EndScroll:
        if (p == 0 || p + g >= m)
            verticalOffset = -p;
        break;
    case ScrollCode::Other:
        break;
    }
    vertical.SetPosition(next);
    return verticalOffset != before;
}

}  // namespace vocomet
