#include "analysis/AnalysisPaneSelection.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace vocomet {
namespace {

// 10 s at 10 kHz over a plot 1000 pixels wide: 10 ms per pixel when the
// whole channel is shown.
constexpr double kCount = 100000.0, kDuration = 10000.0, kRate = 10000.0;
constexpr platform::Rect kPlot{100, 10, 1100, 210};
constexpr int kOther = kMouseFromOtherWindow;
constexpr int kOwn = kMouseFromPoint;

AnalysisPaneSelection MakePane(AnalysisPaneSelection::Options options = {}) {
    AnalysisPaneSelection pane(options);
    pane.SetChannel(kCount, kDuration, kRate);
    pane.SetPlot(kPlot);
    return pane;
}

TEST(AnalysisPaneSelection, MapsTimeAndPixelsOverTheShownRange) {
    AnalysisPaneSelection pane = MakePane();
    EXPECT_DOUBLE_EQ(pane.PointToTime(100), 0.0);
    EXPECT_DOUBLE_EQ(pane.PointToTime(600), 5000.0);
    EXPECT_EQ(pane.TimeToPoint(5000.0), 600);
    EXPECT_EQ(pane.TimeToPoint(5009.0), 600);  // truncated
    EXPECT_EQ(pane.TimeToPoint(-50.0), 100);   // clamped to the plot
    EXPECT_EQ(pane.TimeToPoint(1e300), 1100);
    EXPECT_DOUBLE_EQ(pane.MsToSamples(250.0), 2500.0);
    ASSERT_TRUE(pane.Zoom(PaneZoomMode::In));  // 2500 .. 7500 ms
    EXPECT_DOUBLE_EQ(pane.PointToTime(100), 2500.0);
    EXPECT_EQ(pane.TimeToPoint(5000.0), 600);
    EXPECT_EQ(pane.TimeToPoint(1000.0), 100);
    // The same rule on any rectangle (a page, a picture).
    EXPECT_EQ(AnalysisPaneSelection::TimeToX(2500.0, 0.0, 10000.0, 10, 400), 110);
    EXPECT_EQ(AnalysisPaneSelection::TimeToX(2500.0, 3000.0, 3000.0, 10, 400), 10);
    EXPECT_EQ(AnalysisPaneSelection::TimeToX(std::nan(""), 0.0, 10000.0, 10, 400), 10);
    // No plot or no channel: nothing is divided by zero.
    AnalysisPaneSelection empty;
    EXPECT_EQ(empty.TimeToPoint(10.0), 0);
    EXPECT_DOUBLE_EQ(empty.PointToTime(10), 0.0);
    EXPECT_DOUBLE_EQ(empty.MsToSamples(10.0), 0.0);
}

// One step of a mouse script: a press, a move (with or without the left
// button) or a release, from this pane (x) or from another window (time).
struct Step {
    char kind;  // 'P' press, 'D' drag, 'M' move without button, 'R' release
    int source;
    int x;
    double time;
};

struct MouseCase {
    const char* name;
    std::vector<Step> steps;
    bool marker;
    bool selection;
    double selStart;
    double selEnd;
};

void RunSteps(AnalysisPaneSelection& pane, const std::vector<Step>& steps) {
    for (const Step& s : steps) {
        switch (s.kind) {
        case 'P': pane.Press(s.x, 50, s.time, s.source); break;
        case 'D': pane.Track(true, s.x, 50, s.time, s.source); break;
        case 'M': pane.Track(false, s.x, 50, s.time, s.source); break;
        case 'R': pane.Release(); break;
        }
    }
}

TEST(AnalysisPaneSelection, PressTrackReleaseOwnAndMirrored) {
    const MouseCase cases[] = {
        {"click", {{'P', kOwn, 600, 0}, {'R', kOwn, 0, 0}}, true, false, 5000, 5000},
        {"drag of 5 pixels is a click",
         {{'P', kOwn, 600, 0}, {'D', kOwn, 605, 0}, {'R', kOwn, 0, 0}}, true, false, 5000, 5050},
        {"drag of 6 pixels selects",
         {{'P', kOwn, 600, 0}, {'D', kOwn, 606, 0}, {'R', kOwn, 0, 0}}, false, true, 5000, 5060},
        {"drag to the left is ordered",
         {{'P', kOwn, 600, 0}, {'D', kOwn, 400, 0}, {'R', kOwn, 0, 0}}, false, true, 3000, 5000},
        {"a move without the button selects nothing",
         {{'P', kOwn, 600, 0}, {'R', kOwn, 0, 0}, {'M', kOwn, 900, 0}}, true, false, 5000, 5000},
        {"press while a selection exists shows nothing",
         {{'P', kOwn, 600, 0}, {'D', kOwn, 700, 0}, {'R', kOwn, 0, 0}, {'P', kOwn, 300, 0}, {'R', kOwn, 0, 0}},
         false, false, 2000, 2000},
        {"the next press after that places a marker",
         {{'P', kOwn, 600, 0}, {'D', kOwn, 700, 0}, {'R', kOwn, 0, 0}, {'P', kOwn, 300, 0}, {'R', kOwn, 0, 0},
          {'P', kOwn, 350, 0}, {'R', kOwn, 0, 0}},
         true, false, 2500, 2500},
        {"press in the margin changes nothing",
         {{'P', kOwn, 600, 0}, {'R', kOwn, 0, 0}, {'P', kOwn, 20, 0}, {'R', kOwn, 0, 0}}, true, false, 5000, 5000},
        {"mirrored click", {{'P', kOther, 0, 1234.5}, {'R', kOther, 0, 0}}, true, false, 1234.5, 1234.5},
        {"mirrored drag",
         {{'P', kOther, 0, 2500}, {'D', kOther, 0, 4000}, {'R', kOther, 0, 0}}, false, true, 2500, 4000},
        {"mirrored drag off the range keeps its time",
         {{'P', kOther, 0, 9000}, {'D', kOther, 0, 12000}, {'R', kOther, 0, 0}}, false, true, 9000, 12000},
        {"drag without a press selects nothing", {{'D', kOther, 0, 4000}, {'R', kOther, 0, 0}}, false, false, 0, 0},
    };
    for (const MouseCase& c : cases) {
        SCOPED_TRACE(c.name);
        AnalysisPaneSelection pane = MakePane();
        RunSteps(pane, c.steps);
        EXPECT_FALSE(pane.Pressed());
        EXPECT_EQ(pane.MarkerShown(), c.marker);
        EXPECT_EQ(pane.SelectionExists(), c.selection);
        EXPECT_DOUBLE_EQ(pane.SelectionStartMs(), c.selStart);
        EXPECT_DOUBLE_EQ(pane.SelectionEndMs(), c.selEnd);
        EXPECT_DOUBLE_EQ(pane.SelectionStartSample(), c.selStart * 10.0);
        EXPECT_DOUBLE_EQ(pane.SelectionEndSample(), c.selEnd * 10.0);
        EXPECT_EQ(pane.MarkerX() >= 0, c.marker);
        EXPECT_EQ(!pane.BandRect().IsEmpty(), c.selection);
    }
}

TEST(AnalysisPaneSelection, PressResultsAndWhatIsPassedOn) {
    AnalysisPaneSelection pane = MakePane();
    PanePressResult r = pane.Press(600, 50, 0.0, kOwn);
    EXPECT_TRUE(r.accepted);
    EXPECT_TRUE(r.capture);
    EXPECT_DOUBLE_EQ(r.timeMs, 5000.0);
    pane.Release();
    // Outside the plot the others get the previous press time.
    r = pane.Press(600, 5, 0.0, kOwn);
    EXPECT_FALSE(r.accepted);
    EXPECT_DOUBLE_EQ(r.timeMs, 5000.0);
    EXPECT_FALSE(pane.Pressed());
    // A mirrored press never captures; its x is clamped to the plot.
    ASSERT_TRUE(pane.Zoom(PaneZoomMode::In));  // 2500 .. 7500 ms
    r = pane.Press(0, 0, 9000.0, kOther);
    EXPECT_TRUE(r.accepted);
    EXPECT_FALSE(r.capture);
    EXPECT_EQ(r.x, 1100);
    EXPECT_DOUBLE_EQ(pane.PressTime(), 9000.0);
    // While held the band runs from the press to the mouse, one pixel at least.
    EXPECT_EQ(pane.BandRect(), (platform::Rect{1100, 10, 1101, 210}));
    EXPECT_EQ(pane.MarkerX(), -1);
    pane.Release();
    EXPECT_EQ(pane.MarkerX(), 1099);
}

TEST(AnalysisPaneSelection, FixedRangePaneIgnoresMovesAndClampsPressesOutsideIt) {
    AnalysisPaneSelection::Options options;
    options.ignoreOutsideMoves = true;
    options.clampPressTime = true;
    AnalysisPaneSelection pane = MakePane(options);
    pane.SetShownRange(10000.0, 50000.0);  // 1000 .. 5000 ms
    EXPECT_FALSE(pane.Zoomed());
    const PanePressResult press = pane.Press(0, 0, 500.0, kOther);
    EXPECT_DOUBLE_EQ(press.timeMs, 1000.0);
    EXPECT_EQ(press.x, 100);
    EXPECT_FALSE(pane.Track(true, 0, 0, 6000.0, kOther).accepted);
    EXPECT_DOUBLE_EQ(pane.TrackedTime(), 1000.0);
    EXPECT_TRUE(pane.Track(true, 0, 0, 3000.0, kOther).accepted);
    pane.Release();
    EXPECT_TRUE(pane.SelectionExists());
    EXPECT_DOUBLE_EQ(pane.SelectionStartMs(), 1000.0);
    EXPECT_DOUBLE_EQ(pane.SelectionEndMs(), 3000.0);
    EXPECT_EQ(pane.BandRect(), (platform::Rect{100, 10, 600, 210}));
}

TEST(AnalysisPaneSelection, DragNearTheEdgeScrollsOnlyWhenZoomed) {
    AnalysisPaneSelection pane = MakePane();
    pane.Press(600, 50, 0.0, kOwn);
    EXPECT_EQ(pane.Track(true, 102, 50, 0.0, kOwn).autoScroll, PaneAutoScroll::None);
    pane.Release();
    ASSERT_TRUE(pane.Zoom(PaneZoomMode::In));
    pane.Press(600, 50, 0.0, kOwn);
    EXPECT_EQ(pane.Track(true, 104, 50, 0.0, kOwn).autoScroll, PaneAutoScroll::LineLeft);
    EXPECT_EQ(pane.Track(true, 105, 50, 0.0, kOwn).autoScroll, PaneAutoScroll::None);
    EXPECT_EQ(pane.Track(true, 1096, 50, 0.0, kOwn).autoScroll, PaneAutoScroll::LineRight);
    EXPECT_EQ(pane.Track(false, 1096, 50, 0.0, kOwn).autoScroll, PaneAutoScroll::None);
    // The band is drawn from the stored times after the range moved.
    pane.Release();
    EXPECT_EQ(pane.BandRect(), (platform::Rect{600, 10, 1096, 210}));  // 5000 .. 7480 ms
    ASSERT_TRUE(pane.Scroll(PaneScrollCode::LineLeft));                // 2000 .. 7000 ms
    EXPECT_EQ(pane.BandRect(), (platform::Rect{700, 10, 1100, 210}));
}

struct ZoomCase {
    const char* name;
    std::vector<PaneZoomMode> modes;
    double start, end;  // samples
    bool zoomed;
    int position, page;
};

TEST(AnalysisPaneSelection, ZoomModes) {
    using Z = PaneZoomMode;
    const ZoomCase cases[] = {
        {"in", {Z::In}, 25000, 75000, true, 7500, 15000},
        {"in twice", {Z::In, Z::In}, 37500, 62500, true, 11250, 7500},
        {"in twice, unzoom once", {Z::In, Z::In, Z::UnZoom}, 25000, 75000, true, 7500, 15000},
        {"unzoom twice stays", {Z::In, Z::In, Z::UnZoom, Z::UnZoom}, 25000, 75000, true, 7500, 15000},
        {"out of the whole channel", {Z::Out}, 0, 100000, false, 0, 30001},
        {"in then out", {Z::In, Z::Out}, 0, 100000, false, 0, 30001},
        {"in, in, out", {Z::In, Z::In, Z::Out}, 25000, 75000, true, 7500, 15000},
        {"selection", {Z::Selection}, 20000, 40000, true, 6000, 6000},
        {"from cursor", {Z::FromCursor}, 20000, 30000, true, 6000, 3000},
        {"home", {Z::In, Z::In, Z::Home}, 0, 100000, false, 0, 30001},
        {"unzoom after home", {Z::In, Z::Home, Z::UnZoom}, 25000, 75000, true, 7500, 15000},
    };
    for (const ZoomCase& c : cases) {
        SCOPED_TRACE(c.name);
        AnalysisPaneSelection pane = MakePane();
        pane.Press(0, 0, 2000.0, kOther);
        pane.Track(true, 0, 0, 4000.0, kOther);
        pane.Release();
        for (PaneZoomMode m : c.modes)
            pane.Zoom(m);
        EXPECT_DOUBLE_EQ(pane.Shown().startSample, c.start);
        EXPECT_DOUBLE_EQ(pane.Shown().endSample, c.end);
        EXPECT_DOUBLE_EQ(pane.Shown().startMs, c.start / 10.0);
        EXPECT_DOUBLE_EQ(pane.Shown().endMs, c.end / 10.0);
        EXPECT_EQ(pane.Zoomed(), c.zoomed);
        EXPECT_EQ(pane.ScrollPosition(), c.position);
        EXPECT_EQ(pane.ScrollPage(), c.page);
    }
}

TEST(AnalysisPaneSelection, ZoomsThatWouldShowNothingAreNotMade) {
    AnalysisPaneSelection pane = MakePane();
    // From the cursor near the end: only what is left of the channel.
    pane.Press(0, 0, 9500.0, kOther);
    pane.Release();
    ASSERT_TRUE(pane.Zoom(PaneZoomMode::FromCursor));
    EXPECT_DOUBLE_EQ(pane.Shown().startSample, 95000.0);
    EXPECT_DOUBLE_EQ(pane.Shown().endSample, 100000.0);
    // An empty selection, a marker at the very end, no channel.
    ASSERT_TRUE(pane.Zoom(PaneZoomMode::Home));
    EXPECT_FALSE(pane.Zoom(PaneZoomMode::Selection));
    pane.Press(0, 0, 10000.0, kOther);
    pane.Release();
    EXPECT_FALSE(pane.Zoom(PaneZoomMode::FromCursor));
    EXPECT_DOUBLE_EQ(pane.Shown().endSample, 100000.0);
    AnalysisPaneSelection none;
    EXPECT_FALSE(none.Zoom(PaneZoomMode::In));
}

TEST(AnalysisPaneSelection, ScrollBarMovesTheShownRange) {
    AnalysisPaneSelection pane = MakePane();
    EXPECT_TRUE(pane.Scroll(PaneScrollCode::LineRight));  // whole channel: nowhere to go
    EXPECT_DOUBLE_EQ(pane.Shown().startSample, 0.0);
    ASSERT_TRUE(pane.Zoom(PaneZoomMode::In));  // position 7500, page 15000
    ASSERT_TRUE(pane.Scroll(PaneScrollCode::LineRight));
    EXPECT_EQ(pane.ScrollPosition(), 9000);
    EXPECT_DOUBLE_EQ(pane.Shown().startSample, 30000.0);
    EXPECT_DOUBLE_EQ(pane.Shown().endSample, 80000.0);
    ASSERT_TRUE(pane.Scroll(PaneScrollCode::PageRight));  // clamped at 30001 - page
    EXPECT_EQ(pane.ScrollPosition(), 15001);
    EXPECT_DOUBLE_EQ(pane.Shown().endSample, 100000.0);
    ASSERT_TRUE(pane.Scroll(PaneScrollCode::ThumbTrack, 3000));
    EXPECT_DOUBLE_EQ(pane.Shown().startMs, 1000.0);
    EXPECT_DOUBLE_EQ(pane.Shown().endMs, 6000.0);
    ASSERT_TRUE(pane.Scroll(PaneScrollCode::PageLeft));
    EXPECT_EQ(pane.ScrollPosition(), 0);
    EXPECT_FALSE(pane.Scroll(PaneScrollCode::Other));
    EXPECT_TRUE(pane.Zoomed());
}

TEST(AnalysisPaneSelection, NewChannelShowsItWholeAndKeepsTheMarks) {
    AnalysisPaneSelection pane = MakePane();
    pane.Press(0, 0, 2000.0, kOther);
    pane.Track(true, 0, 0, 4000.0, kOther);
    pane.Release();
    ASSERT_TRUE(pane.Zoom(PaneZoomMode::In));
    pane.SetChannel(50000.0, 5000.0, kRate);  // after a cut
    EXPECT_FALSE(pane.Zoomed());
    EXPECT_DOUBLE_EQ(pane.Shown().endSample, 50000.0);
    EXPECT_DOUBLE_EQ(pane.Shown().endMs, 5000.0);
    EXPECT_TRUE(pane.SelectionExists());
    // UnZoom goes to the kept range, clamped to the shorter channel.
    ASSERT_TRUE(pane.Zoom(PaneZoomMode::UnZoom));
    EXPECT_DOUBLE_EQ(pane.Shown().startSample, 0.0);
    EXPECT_DOUBLE_EQ(pane.Shown().endSample, 50000.0);
}

}  // namespace
}  // namespace vocomet
