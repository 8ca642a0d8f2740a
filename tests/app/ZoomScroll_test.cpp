#include "app/ZoomScroll.h"

#include <array>
#include <cmath>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace vocomet {
namespace {

// A channel of n samples at the given rate showing the whole recording, as
// a reader leaves it. No samples are needed for the window arithmetic.
CChannels MakeChannel(double n, double rate, bool reference = true) {
    CChannels ch;
    ch.sampleCount = n;
    ch.rate = rate;
    ch.duration = n / rate * 1000.0;
    ch.timeReference = reference ? 1 : 0;
    ch.shownStart = 0.0;
    ch.shownEnd = n;
    ch.shownLength = n;
    ch.prevWindowStart = 0.0;
    ch.prevWindowEnd = n;
    return ch;
}

void SetShown(CChannels& ch, double s, double e) {
    ch.shownStart = s;
    ch.shownEnd = e;
    ch.shownLength = e - s;
}

struct ZoomCase {
    std::string name;
    ZoomMode mode;
    double n;            // samples in the channel
    double s, e;         // shown window before
    double p0, p1;       // previous window before
    double expS, expE;   // shown window after
    double expP0, expP1; // previous window after
    double selStart = 0, selEnd = 0, marker = 0;
};

// Cases print as their names, so test names stay short and stable.
void PrintTo(const ZoomCase& c, std::ostream* os) { *os << c.name; }

class ZoomModes : public ::testing::TestWithParam<ZoomCase> {};

TEST_P(ZoomModes, SetTheWindowAndThePreviousWindow) {
    const ZoomCase& c = GetParam();
    std::array<CChannels, 1> ch{MakeChannel(c.n, 10000.0)};
    SetShown(ch[0], c.s, c.e);
    ch[0].prevWindowStart = c.p0;
    ch[0].prevWindowEnd = c.p1;
    ch[0].selStartSample = c.selStart;
    ch[0].selEndSample = c.selEnd;
    ch[0].markerSample = c.marker;

    ZoomScroll zs;
    EXPECT_TRUE(zs.ApplyZoom(c.mode, ch, 100.0));  // 100 ms = 1000 samples
    EXPECT_DOUBLE_EQ(ch[0].shownStart, c.expS);
    EXPECT_DOUBLE_EQ(ch[0].shownEnd, c.expE);
    EXPECT_DOUBLE_EQ(ch[0].shownLength, c.expE - c.expS);
    EXPECT_DOUBLE_EQ(ch[0].prevWindowStart, c.expP0);
    EXPECT_DOUBLE_EQ(ch[0].prevWindowEnd, c.expP1);
}

INSTANTIATE_TEST_SUITE_P(
    Table, ZoomModes,
    ::testing::Values(
        ZoomCase{"InOrdinary", ZoomMode::In, 10000, 0, 10000, 0, 0, 2500, 7500, 0, 10000},
        ZoomCase{"InAt100SamplesStays", ZoomMode::In, 10000, 1000, 1100, 0, 0, 1000, 1100, 1000, 1100},
        ZoomCase{"InAt101Samples", ZoomMode::In, 10000, 1000, 1101, 0, 0, 1025.25, 1075.75, 1000, 1101},
        ZoomCase{"InAtTheEnd", ZoomMode::In, 10000, 9000, 10000, 0, 0, 9250, 9750, 9000, 10000},
        ZoomCase{"OutOrdinary", ZoomMode::Out, 10000, 2500, 7500, 0, 0, 0, 10000, 2500, 7500},
        ZoomCase{"OutAtTheStart", ZoomMode::Out, 10000, 0, 4000, 0, 0, 0, 6000, 0, 4000},
        ZoomCase{"OutAtTheEnd", ZoomMode::Out, 10000, 8000, 10000, 0, 0, 7000, 10000, 8000, 10000},
        ZoomCase{"OutOfAnEmptyWindow", ZoomMode::Out, 10000, 500, 500, 0, 0, 450, 550, 500, 500},
        ZoomCase{"OutOfAnEmptyWindowAtZero", ZoomMode::Out, 10000, 0, 0, 0, 0, 0, 50, 0, 0},
        ZoomCase{"OutOfTheWholeRecording", ZoomMode::Out, 10000, 0, 10000, 3, 4, 0, 10000, 0, 10000},
        ZoomCase{"UnZoomKeepsThePrevious", ZoomMode::UnZoom, 10000, 2500, 7500, 1000, 2000, 1000, 2000, 1000, 2000},
        ZoomCase{"UnZoomClampsToTheRecording", ZoomMode::UnZoom, 10000, 2500, 7500, -5, 20000, 0, 10000, -5, 20000},
        ZoomCase{"UnZoomPastAShortenedEnd", ZoomMode::UnZoom, 10000, 0, 100, 12000, 15000, 10000, 10000, 12000,
                 15000},
        ZoomCase{"Selection", ZoomMode::Selection, 10000, 0, 10000, 0, 0, 300, 900, 0, 10000, 300, 900},
        ZoomCase{"SelectionClamped", ZoomMode::Selection, 10000, 0, 10000, 0, 0, 9000, 10000, 0, 10000, 9000,
                 12000},
        ZoomCase{"FromCursor", ZoomMode::FromCursorForDuration, 10000, 0, 10000, 0, 0, 2000, 3000, 0, 10000, 0, 0,
                 2000},
        ZoomCase{"FromCursorNearTheEndMovesBack", ZoomMode::FromCursorForDuration, 10000, 0, 10000, 0, 0, 9000,
                 10000, 0, 10000, 0, 0, 9500},
        ZoomCase{"FromCursorOnAShortRecording", ZoomMode::FromCursorForDuration, 500, 100, 200, 0, 0, 0, 500, 100,
                 200, 0, 0, 300},
        ZoomCase{"HomeAtTheEnd", ZoomMode::Home, 10000, 9900, 10000, 0, 0, 0, 10000, 9900, 10000}),
    [](const ::testing::TestParamInfo<ZoomCase>& info) { return info.param.name; });

TEST(ZoomScroll, EveryModeLeavesAnEmptyDocumentAndItsScrollBarAlone) {
    for (int m = 0; m <= 5; ++m) {
        SCOPED_TRACE(m);
        std::array<CChannels, 2> empty{MakeChannel(0, 10000.0), MakeChannel(0, 10000.0)};
        empty[0].markerSample = 500;
        empty[0].selEndSample = 700;
        empty[0].prevWindowEnd = 900;
        ZoomScroll zs;
        zs.horizontal.SetPage(300);
        zs.horizontal.SetPosition(1200);
        EXPECT_FALSE(zs.ApplyZoom(static_cast<ZoomMode>(m), empty, 1000.0));
        EXPECT_EQ(empty[0].shownStart, 0.0);
        EXPECT_EQ(empty[0].shownEnd, 0.0);
        EXPECT_EQ(empty[0].prevWindowEnd, 900.0);
        EXPECT_EQ(zs.horizontal.page, 300);
        EXPECT_EQ(zs.horizontal.position, 1200);

        ZoomScroll none;
        EXPECT_FALSE(none.ApplyZoom(static_cast<ZoomMode>(m), {}, 1000.0));
    }
    std::array<CChannels, 1> one{MakeChannel(100, 10.0)};
    EXPECT_FALSE(ZoomScroll().ApplyZoom(static_cast<ZoomMode>(6), one, 1000.0));
}

TEST(ZoomScroll, AnEmptyChannelStaysWhileTheOthersZoom) {
    std::array<CChannels, 2> ch{MakeChannel(10000, 10000.0), MakeChannel(0, 10000.0, false)};
    ch[1].markerSample = 40;
    ZoomScroll zs;
    ASSERT_TRUE(zs.ApplyZoom(ZoomMode::FromCursorForDuration, ch, 100.0));
    EXPECT_EQ(ch[0].shownEnd, 1000.0);
    EXPECT_EQ(ch[1].shownStart, 0.0);
    EXPECT_EQ(ch[1].shownEnd, 0.0);
}

TEST(ZoomScroll, UnZoomTwiceReturnsToTheSameWindow) {
    std::array<CChannels, 1> ch{MakeChannel(10000, 10000.0)};
    ZoomScroll zs;
    zs.ApplyZoom(ZoomMode::In, ch, 1000.0);
    zs.ApplyZoom(ZoomMode::In, ch, 1000.0);  // 3750..6250, previous 2500..7500
    zs.ApplyZoom(ZoomMode::UnZoom, ch, 1000.0);
    EXPECT_EQ(ch[0].shownStart, 2500.0);
    zs.ApplyZoom(ZoomMode::UnZoom, ch, 1000.0);
    EXPECT_EQ(ch[0].shownStart, 2500.0);
    EXPECT_EQ(ch[0].shownEnd, 7500.0);
}

TEST(ZoomScroll, ChannelsOfDifferentRatesZoomTogetherInTime) {
    // One second at 44100 Hz and at 1000 Hz.
    std::array<CChannels, 2> ch{MakeChannel(44100, 44100.0), MakeChannel(1000, 1000.0, false)};
    ZoomScroll zs;
    for (int i = 0; i < 3; ++i)
        zs.ApplyZoom(ZoomMode::In, ch, 1000.0);
    double s0 = 0, e0 = 0, s1 = 0, e1 = 0;
    ch[0].GetVisibleTimeRange(s0, e0);
    ch[1].GetVisibleTimeRange(s1, e1);
    EXPECT_NEAR(s0, s1, 1e-9);
    EXPECT_NEAR(e0, e1, 1e-9);
    EXPECT_NEAR(e0 - s0, 125.0, 1e-9);

    // The slow channel reaches the 100-sample floor first and stops there.
    zs.ApplyZoom(ZoomMode::In, ch, 1000.0);  // 1000 Hz channel: 62.5 samples
    zs.ApplyZoom(ZoomMode::In, ch, 1000.0);
    EXPECT_DOUBLE_EQ(ch[1].shownLength, 62.5);
    EXPECT_NEAR(ch[0].shownLength, 44100.0 / 32.0, 1e-6);

    // From the cursor for a duration: each channel at its own rate.
    ch[0].markerSample = 4410;
    ch[1].markerSample = 100;
    zs.ApplyZoom(ZoomMode::FromCursorForDuration, ch, 200.0);
    EXPECT_DOUBLE_EQ(ch[0].shownStart, 4410.0);
    EXPECT_DOUBLE_EQ(ch[0].shownEnd, 4410.0 + 8820.0);
    EXPECT_DOUBLE_EQ(ch[1].shownEnd, 300.0);
    EXPECT_NEAR(zs.visibleStartTime, 100.0, 1e-9);
    EXPECT_NEAR(zs.visibleEndTime, 300.0, 1e-9);
}

TEST(ZoomScroll, ScrollBarFollowsTheReferenceChannel) {
    // The reference is the first flagged channel, not channel 0.
    std::array<CChannels, 2> ch{MakeChannel(500, 500.0, false), MakeChannel(20000, 10000.0)};
    ZoomScroll zs;
    ASSERT_TRUE(zs.ApplyZoom(ZoomMode::Home, ch, 1000.0));
    EXPECT_EQ(zs.horizontal.page, 30001);  // whole recording
    EXPECT_EQ(zs.horizontal.position, 0);
    EXPECT_FALSE(zs.canScroll);

    zs.ApplyZoom(ZoomMode::In, ch, 1000.0);  // 5000..15000 of 20000
    EXPECT_EQ(zs.horizontal.page, 15000);
    EXPECT_EQ(zs.horizontal.position, 7500);
    EXPECT_TRUE(zs.canScroll);
    EXPECT_DOUBLE_EQ(zs.visibleStartTime, 500.0);
    EXPECT_DOUBLE_EQ(zs.visibleEndTime, 1500.0);

    // No reference channel: the bar and the visible times stay.
    ch[1].timeReference = 0;
    zs.ApplyZoom(ZoomMode::Home, ch, 1000.0);
    EXPECT_EQ(zs.horizontal.page, 15000);
    EXPECT_DOUBLE_EQ(zs.visibleStartTime, 500.0);
    EXPECT_EQ(ch[1].shownEnd, 20000.0);
}

TEST(ScrollBarState, PositionStaysWithinThePage) {
    ScrollBarState bar;
    bar.SetRange(0, 30000);
    bar.SetPage(30001);
    bar.SetPosition(500);
    EXPECT_EQ(bar.position, 0);
    bar.SetPage(40000);
    EXPECT_EQ(bar.page, 30001);
    bar.SetPage(100);
    bar.SetPosition(40000);
    EXPECT_EQ(bar.position, 29901);
    bar.SetPosition(-3);
    EXPECT_EQ(bar.position, 0);
    bar.SetPage(0);
    bar.SetPosition(40000);
    EXPECT_EQ(bar.position, 30000);
}

// One hour at 44100 Hz: 158 760 000 samples; one scroll unit is 5292 samples.
class HourLongRecording : public ::testing::Test {
protected:
    static constexpr double kN = 3600.0 * 44100.0;
    static constexpr double kUnit = kN / 30000.0;
    std::array<CChannels, 2> ch{MakeChannel(kN, 44100.0), MakeChannel(3600.0 * 2000.0, 2000.0, false)};
    ZoomScroll zs;

    void ShowWindow(double start, double length) {
        // Both channels over the same times, then the bar from them.
        SetShown(ch[0], start, start + length);
        const double f = 2000.0 / 44100.0;
        SetShown(ch[1], start * f, (start + length) * f);
        ch[0].prevWindowStart = start;
        ch[0].prevWindowEnd = start + length;
        ch[1].prevWindowStart = start * f;
        ch[1].prevWindowEnd = (start + length) * f;
        ASSERT_TRUE(zs.ApplyZoom(ZoomMode::UnZoom, ch, 1000.0));
    }
};

TEST_F(HourLongRecording, WholeRecordingCannotScroll) {
    ShowWindow(0, kN);
    EXPECT_EQ(zs.horizontal.page, 30001);
    for (ScrollCode code : {ScrollCode::LineForward, ScrollCode::PageForward, ScrollCode::PageBack}) {
        zs.OnHScroll(code, 0, ch);
        EXPECT_EQ(zs.horizontal.position, 0);
        EXPECT_EQ(ch[0].shownStart, 0.0);
        EXPECT_EQ(ch[0].shownEnd, kN);
    }
    zs.OnHScroll(ScrollCode::ThumbTrack, 20000, ch);
    EXPECT_EQ(ch[0].shownEnd, kN);
}

TEST_F(HourLongRecording, TenSecondWindowScrollsToBothEndsKeepingItsLength) {
    const double len = 441000.0;
    ShowWindow(0, len);
    EXPECT_EQ(zs.horizontal.page, 83);  // 83.33 truncated
    EXPECT_EQ(zs.horizontal.position, 0);

    EXPECT_TRUE(zs.OnHScroll(ScrollCode::PageBack, 0, ch));
    EXPECT_EQ(zs.horizontal.position, 0);
    EXPECT_EQ(ch[0].shownStart, 0.0);

    zs.OnHScroll(ScrollCode::PageForward, 0, ch);
    EXPECT_EQ(zs.horizontal.position, 83);
    EXPECT_DOUBLE_EQ(ch[0].shownStart, 83 * kUnit);
    EXPECT_DOUBLE_EQ(ch[0].shownLength, len);
    EXPECT_DOUBLE_EQ(ch[1].shownLength, 20000.0);

    zs.OnHScroll(ScrollCode::LineForward, 0, ch);  // a tenth of the page
    EXPECT_EQ(zs.horizontal.position, 91);

    // Dragging past the end: the bar stops at 30000 - 83 + 1 and the window
    // ends at the recording's end with its full length.
    EXPECT_TRUE(zs.OnHScroll(ScrollCode::ThumbTrack, 30000, ch));
    EXPECT_EQ(zs.horizontal.position, 29918);
    EXPECT_DOUBLE_EQ(ch[0].shownEnd, kN);
    EXPECT_DOUBLE_EQ(ch[0].shownLength, len);
    EXPECT_DOUBLE_EQ(ch[1].shownEnd, 3600.0 * 2000.0);
    EXPECT_DOUBLE_EQ(ch[1].shownLength, 20000.0);
    EXPECT_DOUBLE_EQ(zs.visibleEndTime, 3600000.0);

    // The thumb's release repeats the position and does not invalidate.
    EXPECT_FALSE(zs.OnHScroll(ScrollCode::ThumbPosition, 0, ch));
    EXPECT_EQ(zs.horizontal.position, 29918);
    EXPECT_DOUBLE_EQ(ch[0].shownLength, len);
}

TEST_F(HourLongRecording, DeepZoomKeepsItsWindowWhenThePageRoundsToZero) {
    // 100 samples is far below one scroll unit: the whole-number page is 0.
    ShowWindow(80000000.0, 100.0);
    EXPECT_EQ(zs.horizontal.page, 0);
    const int pos = zs.horizontal.position;
    EXPECT_EQ(pos, static_cast<int>(80000000.0 / kUnit));
    EXPECT_TRUE(zs.canScroll);

    zs.OnHScroll(ScrollCode::LineForward, 0, ch);
    EXPECT_EQ(zs.horizontal.position, pos + 1);
    EXPECT_DOUBLE_EQ(ch[0].shownStart, (pos + 1) * kUnit);
    EXPECT_DOUBLE_EQ(ch[0].shownLength, 100.0);
    zs.OnHScroll(ScrollCode::PageBack, 0, ch);
    zs.OnHScroll(ScrollCode::LineBack, 0, ch);
    EXPECT_EQ(zs.horizontal.position, pos - 1);
    EXPECT_DOUBLE_EQ(ch[0].shownLength, 100.0);

    // Both ends of the range.
    zs.OnHScroll(ScrollCode::ThumbTrack, 30000, ch);
    EXPECT_EQ(zs.horizontal.position, 30000);
    EXPECT_DOUBLE_EQ(ch[0].shownEnd, kN);
    EXPECT_DOUBLE_EQ(ch[0].shownLength, 100.0);
    zs.OnHScroll(ScrollCode::ThumbTrack, -50, ch);
    EXPECT_EQ(zs.horizontal.position, 0);
    EXPECT_EQ(ch[0].shownStart, 0.0);
    EXPECT_DOUBLE_EQ(ch[0].shownLength, 100.0);
}

TEST(ZoomScroll, LineStepIsATenthOfThePageOrTheWholeSmallPage) {
    std::array<CChannels, 1> ch{MakeChannel(30000, 10000.0)};
    ZoomScroll zs;
    SetShown(ch[0], 0, 8);
    ch[0].prevWindowEnd = 8;
    zs.ApplyZoom(ZoomMode::UnZoom, ch, 1000.0);
    ASSERT_EQ(zs.horizontal.page, 8);
    zs.OnHScroll(ScrollCode::LineForward, 0, ch);
    EXPECT_EQ(zs.horizontal.position, 8);
    EXPECT_EQ(ch[0].shownStart, 8.0);
    EXPECT_EQ(ch[0].shownEnd, 16.0);
}

TEST(ZoomScroll, ScrollToTimeCentresTheZoomDuration) {
    std::array<CChannels, 2> ch{MakeChannel(100000, 10000.0), MakeChannel(20000, 2000.0)};  // 10 s each
    ZoomScroll zs;
    zs.ScrollToTime(0.0, ch, 1000.0);
    EXPECT_EQ(ch[0].shownStart, 0.0);
    EXPECT_EQ(ch[0].shownEnd, 5000.0);  // half the zoom duration
    EXPECT_EQ(ch[0].prevWindowEnd, 100000.0);
    EXPECT_EQ(ch[1].shownEnd, 1000.0);
    EXPECT_EQ(zs.horizontal.position, 0);
    EXPECT_EQ(zs.horizontal.page, 1500);
    EXPECT_TRUE(zs.canScroll);

    zs.ScrollToTime(4000.0, ch, 1000.0);
    EXPECT_EQ(ch[0].shownStart, 35000.0);
    EXPECT_EQ(ch[0].shownEnd, 45000.0);
    EXPECT_EQ(ch[1].shownStart, 7000.0);
    EXPECT_EQ(zs.horizontal.position, 10500);
    EXPECT_DOUBLE_EQ(zs.visibleStartTime, 3500.0);
    EXPECT_DOUBLE_EQ(zs.visibleEndTime, 4500.0);
    EXPECT_EQ(zs.referenceTotal, 20000.0);  // the last channel's
    EXPECT_EQ(zs.referenceWindowStart, 7000.0);

    zs.ScrollToTime(10000.0, ch, 1000.0);
    EXPECT_EQ(ch[0].shownEnd, 100000.0);
    EXPECT_EQ(ch[0].shownStart, 95000.0);

    // A time that is no time changes nothing.
    zs.ScrollToTime(std::nan(""), ch, 1000.0);
    EXPECT_EQ(ch[0].shownStart, 95000.0);
}

TEST(ZoomScroll, VerticalBarMovesTheStack) {
    ZoomScroll zs;
    zs.SetVerticalExtent(1000, 300);  // range 0..1000, page 250
    EXPECT_EQ(zs.vertical.maximum, 1000);
    EXPECT_EQ(zs.vertical.page, 250);
    EXPECT_EQ(zs.verticalOffset, 0);

    // A line up at the top moves nothing.
    EXPECT_FALSE(zs.OnVScroll(ScrollCode::LineBack, 0));
    EXPECT_EQ(zs.vertical.position, 0);

    EXPECT_TRUE(zs.OnVScroll(ScrollCode::LineForward, 0));
    EXPECT_EQ(zs.vertical.position, 25);
    EXPECT_EQ(zs.verticalOffset, -25);
    zs.OnVScroll(ScrollCode::PageForward, 0);
    EXPECT_EQ(zs.verticalOffset, -275);

    zs.OnVScroll(ScrollCode::ThumbTrack, 700);
    EXPECT_EQ(zs.verticalOffset, -700);
    // A page down near the bottom overshoots the bar; the end of the scroll
    // aligns the stack with the bar again.
    zs.OnVScroll(ScrollCode::PageForward, 0);
    EXPECT_EQ(zs.vertical.position, 751);
    EXPECT_EQ(zs.verticalOffset, -950);
    zs.OnVScroll(ScrollCode::EndScroll, 0);
    EXPECT_EQ(zs.verticalOffset, -751);

    zs.OnVScroll(ScrollCode::ThumbTrack, 5000);
    EXPECT_EQ(zs.verticalOffset, -751);

    // The window grows until the stack fits: back to the top.
    zs.SetVerticalExtent(1000, 1200);
    EXPECT_EQ(zs.vertical.page, 1201);
    EXPECT_EQ(zs.vertical.position, 0);
    EXPECT_EQ(zs.verticalOffset, 0);
    EXPECT_FALSE(zs.OnVScroll(ScrollCode::PageForward, 0));
}

}  // namespace
}  // namespace vocomet
