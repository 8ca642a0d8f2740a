#include "app/MouseSelection.h"

#include <array>
#include <gtest/gtest.h>
#include <string>

#include "app/LabelEdits.h"
#include "app/ViewMessages.h"

namespace vocomet {
namespace {

// Two channels of 10 s at 1 kHz stacked in a 1000 x 400 client area; the
// strips run from x = 50 to 995 and show the whole recording, so a pixel
// of a strip is 10000 / 945 ms.
struct Scene {
    std::array<CChannels, 2> ch;
    std::array<float, 10000> data{};
    platform::FixedWidthMeasurer measurer{8, 16};
    MouseSelection sel;

    explicit Scene(int reference = 0) {
        for (std::size_t i = 0; i < data.size(); ++i)
            data[i] = static_cast<float>(i) / 10000.0f;
        int top = 0;
        for (std::size_t i = 0; i < ch.size(); ++i) {
            CChannels& c = ch[i];
            c.samples = platform::FloatBlock::Allocate(data.size());
            std::copy(data.begin(), data.end(), c.samples.data());
            c.sampleCount = 10000;
            c.rate = 1000;
            c.duration = 10000;
            c.shownStart = 0;
            c.shownEnd = 10000;
            c.shownLength = 10000;
            c.timeReference = static_cast<int>(i) == reference ? 1 : 0;
            c.strip = {50, top, 995, top + 100};
            c.stripHeight = 100;
            c.name = "ch" + std::to_string(i);
            double s = 0, e = 0;
            c.GetVisibleTimeRange(s, e);
            top += 105;
        }
    }

    MouseContext Context() {
        MouseContext c;
        c.channels = ch;
        c.hasData = true;
        c.client = {0, 0, 1000, 400};
        c.stackHeight = 210;
        c.horizontalPage = 30001;
        c.visibleStartTime = 0;
        c.visibleEndTime = 10000;
        c.measurer = &measurer;
        return c;
    }

    // Press at x0, move to x1 with the button held, release there.
    ReleaseResult Drag(int x0, int x1, int y = 50) {
        MouseContext c = Context();
        sel.Begin(c, x0, y, 0, kFromView);
        sel.Track(c, true, x1, y, 0, kFromView);
        return sel.End(c, x1, y, 0, kFromView);
    }

    std::string State() const {
        if (sel.selectionShown)
            return sel.markerShown ? "both" : "selection";
        return sel.markerShown ? "marker" : "nothing";
    }
};

struct StateCase {
    const char* name;
    bool selectedBefore;  // a selection was shown before the press
    int x0, x1, y;
    const char* state;  // after the release
    ReleaseAction action;
};

TEST(MouseSelectionStates, FollowTheTable) {
    const StateCase cases[] = {
        {"click places the marker", false, 300, 300, 50, "marker", ReleaseAction::Invalidate},
        {"5 px drag is a click", false, 300, 305, 50, "marker", ReleaseAction::Invalidate},
        {"6 px drag selects", false, 300, 306, 50, "selection", ReleaseAction::Invalidate},
        {"6 px leftwards selects", false, 300, 294, 50, "selection", ReleaseAction::Invalidate},
        {"click after a selection clears", true, 300, 300, 50, "nothing", ReleaseAction::Invalidate},
        {"press between strips", false, 300, 300, 102, "nothing", ReleaseAction::Redraw},
        {"press below the stack", false, 300, 300, 300, "nothing", ReleaseAction::Redraw},
        {"press in the margin", false, 20, 20, 50, "nothing", ReleaseAction::Redraw},
    };
    for (const StateCase& k : cases) {
        SCOPED_TRACE(k.name);
        Scene s;
        if (k.selectedBefore) {
            s.Drag(200, 400);
            ASSERT_EQ(s.State(), "selection");
        }
        MouseContext c = s.Context();
        s.sel.Begin(c, k.x0, k.y, 0, kFromView);
        s.sel.Track(c, true, k.x1, k.y, 0, kFromView);
        const ReleaseResult r = s.sel.End(c, k.x1, k.y, 0, kFromView);
        EXPECT_EQ(s.State(), k.state);
        EXPECT_EQ(r.action, k.action);
        EXPECT_TRUE(r.releaseCapture);
        EXPECT_EQ(s.sel.selectionPresent, std::string(k.state) == "selection");
    }
}

TEST(MouseSelectionStates, MarkerAndSelectionTimesLandInEveryChannel) {
    Scene s;
    s.Drag(300, 300);
    const double t = (300 - 50) * 10000.0 / 945.0;
    for (const CChannels& c : s.ch) {
        EXPECT_NEAR(c.markerTime, t, 1.0);
        EXPECT_EQ(c.selLengthTime, 0.0);
    }
    s.Drag(500, 200);
    for (const CChannels& c : s.ch) {
        EXPECT_NEAR(c.selStartTime, 150 * 10000.0 / 945.0, 1.0);
        EXPECT_NEAR(c.selEndTime, 450 * 10000.0 / 945.0, 1.0);
    }
    // The second click after the selection places the marker again.
    s.Drag(300, 300);
    EXPECT_EQ(s.State(), "nothing");
    s.Drag(300, 300);
    EXPECT_EQ(s.State(), "marker");
}

TEST(MouseSelectionStates, PanePressTrackReleaseMoveMarkerAndBandByTime) {
    Scene s;
    MouseContext c = s.Context();
    const PressResult p = s.sel.Begin(c, 7, 7, 2000.0, kFromPane);
    EXPECT_TRUE(p.acted);
    EXPECT_FALSE(p.capture);
    EXPECT_EQ(s.sel.clickedChannel, -1);
    EXPECT_EQ(s.sel.press.x, 50 + static_cast<int>(945 * 0.2));
    for (const CChannels& ch : s.ch)
        EXPECT_DOUBLE_EQ(ch.markerTime, 2000.0);

    const TrackResult t = s.sel.Track(c, true, 7, 7, 4000.0, kFromPane);
    EXPECT_TRUE(t.acted);
    EXPECT_EQ(t.autoScroll, AutoScroll::None);
    for (const CChannels& ch : s.ch) {
        EXPECT_DOUBLE_EQ(ch.selStartTime, 2000.0);
        EXPECT_DOUBLE_EQ(ch.selEndTime, 4000.0);
    }
    EXPECT_EQ(s.sel.BandColumns(), (ColumnSpan{50 + 189, 50 + 378}));
    EXPECT_DOUBLE_EQ(*t.durationMs, 2000.0);

    const ReleaseResult r = s.sel.End(c, 7, 7, 4000.0, kFromPane);
    EXPECT_FALSE(r.releaseCapture);
    EXPECT_EQ(r.action, ReleaseAction::Invalidate);
    EXPECT_EQ(s.State(), "selection");
    EXPECT_TRUE(s.sel.BandColumns().IsEmpty());
}

TEST(MouseSelectionStates, PaneTimeOutsideTheWindowIsClampedForPaintingOnly) {
    Scene s;
    for (CChannels& ch : s.ch) {  // show 0 .. 5 s
        ch.shownEnd = 5000;
        ch.shownLength = 5000;
        double a = 0, b = 0;
        ch.GetVisibleTimeRange(a, b);
    }
    MouseContext c = s.Context();
    s.sel.Begin(c, 0, 0, 1000.0, kFromPane);
    s.sel.Track(c, true, 0, 0, 9000.0, kFromPane);
    EXPECT_EQ(s.sel.BandColumns().right, 999);
    for (const CChannels& ch : s.ch)
        EXPECT_DOUBLE_EQ(ch.selEndTime, 9000.0);
}

TEST(MouseSelectionStates, PositionsFallBackToChannelZeroWithoutReference) {
    Scene s(-1);
    EXPECT_EQ(PositionChannel(s.ch), 0);
    MouseContext c = s.Context();
    s.sel.Begin(c, 0, 0, 3000.0, kFromPane);
    EXPECT_EQ(s.sel.press.x, 50 + static_cast<int>(945 * 0.3));
    const TrackResult t = s.sel.Track(c, false, 400, 50, 0, kFromView);
    EXPECT_NEAR(t.cursorTime, 350 * 10000.0 / 945.0, 1e-6);
    EXPECT_NEAR(s.ch[0].cursorTime, t.cursorTime, 1e-9);
}

TEST(MouseSelectionStates, IgnoresMovesWhileRecordingOrPlayingAndWithoutData) {
    Scene s;
    MouseContext c = s.Context();
    c.recording = true;
    EXPECT_FALSE(s.sel.Track(c, false, 300, 50, 0, kFromView).acted);
    c.recording = false;
    c.outputBusy = true;
    EXPECT_FALSE(s.sel.Track(c, false, 300, 50, 0, kFromView).acted);
    c.outputBusy = false;
    EXPECT_FALSE(s.sel.Track(c, false, 44, 50, 0, kFromView).acted);  // left of the margin
    c.hasData = false;
    EXPECT_FALSE(s.sel.Begin(c, 300, 50, 0, kFromView).acted);
    EXPECT_FALSE(s.sel.End(c, 300, 50, 0, kFromView).acted);
}

TEST(MouseSelectionReadout, ShownChannelsInRowOrderAtTheCursor) {
    Scene s;
    s.ch[1].calC = 2.0;
    MouseContext c = s.Context();
    const TrackResult t = s.sel.Track(c, false, 50 + 945 / 2, 50, 0, kFromView);
    ASSERT_EQ(t.rows.size(), 2u);
    EXPECT_NEAR(t.rows[0].value, 0.5, 0.002);
    EXPECT_NEAR(t.rows[1].value, 1.0, 0.004);
    s.ch[0].show = 0;
    const TrackResult u = s.sel.Track(c, false, 100, 50, 0, kFromView);
    ASSERT_EQ(u.rows.size(), 1u);
    EXPECT_EQ(u.rows[0].row, 0);
}

TEST(MouseSelectionHover, MovesOneColumnOnlyWithTheSwitchOn) {
    Scene s;
    MouseContext c = s.Context();
    EXPECT_FALSE(s.sel.Track(c, false, 300, 50, 0, kFromView).hoverMoved);
    c.hoverCursor = true;
    const TrackResult a = s.sel.Track(c, false, 300, 50, 0, kFromView);
    EXPECT_TRUE(a.hoverMoved);
    EXPECT_EQ(a.newHover, (ColumnSpan{300, 301}));
    const TrackResult b = s.sel.Track(c, false, 310, 50, 0, kFromView);
    EXPECT_EQ(b.oldHover, (ColumnSpan{300, 301}));
    EXPECT_EQ(b.newHover, (ColumnSpan{310, 311}));
}

// ---- band arithmetic ----

struct BandCase {
    const char* name;
    ColumnSpan from, to;
    std::vector<ColumnSpan> restore, tint;
};

TEST(BandRepaint, TouchesOnlyTheColumnsThatChange) {
    const BandCase cases[] = {
        {"first columns", {}, {100, 110}, {}, {{100, 110}}},
        {"grows right", {100, 110}, {100, 120}, {}, {{110, 120}}},
        {"shrinks right", {100, 120}, {100, 105}, {{105, 120}}, {}},
        {"grows left", {90, 100}, {80, 100}, {}, {{80, 90}}},
        {"shrinks left", {80, 100}, {95, 100}, {{80, 95}}, {}},
        {"crosses the anchor", {100, 130}, {70, 100}, {{100, 130}}, {{70, 100}}},
        {"unchanged", {100, 130}, {100, 130}, {}, {}},
        {"cleared", {100, 130}, {}, {{100, 130}}, {}},
    };
    for (const BandCase& k : cases) {
        SCOPED_TRACE(k.name);
        const BandRepaint r = RepaintForBand(k.from, k.to);
        EXPECT_EQ(r.restore, k.restore);
        EXPECT_EQ(r.tint, k.tint);
    }
}

TEST(BandRepaint, DragGrowsAndShrinksOnBothSidesOfTheAnchor) {
    Scene s;
    MouseContext c = s.Context();
    s.sel.Begin(c, 500, 50, 0, kFromView);
    const int path[] = {520, 540, 510, 500, 480, 450, 490, 530};
    ColumnSpan shown;
    for (int x : path) {
        SCOPED_TRACE(x);
        const TrackResult t = s.sel.Track(c, true, x, 50, 0, kFromView);
        const ColumnSpan now = s.sel.BandColumns();
        EXPECT_EQ(now, (ColumnSpan{std::min(500, x), std::max(500, x)}));
        EXPECT_EQ(t.bandMoved, !(now == shown));
        shown = now;
        EXPECT_EQ(s.sel.selectionShown, std::abs(x - 500) >= kSelectionThreshold);
    }
}

// ---- auto-scroll ----

TEST(MouseSelectionAutoScroll, OnlyWhenTheViewCanScroll) {
    for (bool canScroll : {false, true}) {
        SCOPED_TRACE(canScroll);
        Scene s;
        for (CChannels& ch : s.ch) {  // show 4 .. 6 s
            ch.shownStart = 4000;
            ch.shownEnd = 6000;
            ch.shownLength = 2000;
            double a = 0, b = 0;
            ch.GetVisibleTimeRange(a, b);
        }
        MouseContext c = s.Context();
        c.canScroll = canScroll;
        c.horizontalPage = 6000;
        c.visibleStartTime = 4000;
        c.visibleEndTime = 6000;
        s.sel.Begin(c, 500, 50, 0, kFromView);
        const TrackResult left = s.sel.Track(c, true, 48, 50, 0, kFromView);
        const TrackResult right = s.sel.Track(c, true, 997, 50, 0, kFromView);
        const TrackResult middle = s.sel.Track(c, true, 600, 50, 0, kFromView);
        EXPECT_EQ(left.autoScroll, canScroll ? AutoScroll::LineLeft : AutoScroll::None);
        EXPECT_EQ(right.autoScroll, canScroll ? AutoScroll::LineRight : AutoScroll::None);
        EXPECT_EQ(middle.autoScroll, AutoScroll::None);
        if (canScroll) {
            // Past the right edge the cursor goes a line (a tenth of the
            // window) beyond the window's end.
            s.sel.Track(c, true, 997, 50, 0, kFromView);
            EXPECT_NEAR(s.ch[0].cursorTime, 6200.0, 3.0);
        }
    }
}

// ---- label mode ----

LABEL MakeLabel(const char* text, double time, double relativeHeight) {
    LABEL l;
    l.SetText(text);
    l.time = time;
    l.relativeHeight = relativeHeight;
    l.font.height = 16;
    return l;
}

struct RecordingPane : AnalysisPane {
    int redraws = 0;
    int invalidations = 0;
    void BeginMouseSelection(unsigned, platform::Point, double, int) override {}
    void EndMouseSelection(unsigned, platform::Point, double, int) override {}
    void TrackMouse(unsigned, platform::Point, double, int) override {}
    void SetRedrawFlag(int f) override { redraws += f; }
    void Invalidate() override { ++invalidations; }
};

struct RecordingList : LabelListSink {
    std::vector<std::string> calls;
    bool fail = false;
    void AddLabel(const std::string& name, const LABEL& l) override {
        calls.push_back("add " + name + " " + std::string(l.Text()));
    }
    void ModifyLabel(const LABEL& o, const LABEL& n, const std::string& name) override {
        calls.push_back("modify " + name + " " + std::string(o.Text()) + ">" + std::string(n.Text()));
    }
    void DeleteLabel(const LABEL& l, const std::string& name) override {
        if (fail)
            throw std::runtime_error("grid");
        calls.push_back("delete " + name + " " + std::string(l.Text()));
    }
};

TEST(LabelMode, ALabelOfALaterChannelWinsTheHit) {
    Scene s;
    // Both labels at 2 s; the second channel's strip is moved up over the
    // first so that both rectangles lie under the press.
    s.ch[0].AppendLabel(MakeLabel("first", 2000, 0.2));
    s.ch[1].strip = {50, 0, 995, 100};
    s.ch[1].AppendLabel(MakeLabel("second", 2000, 0.2));
    s.sel.labelMode = true;
    MouseContext c = s.Context();
    const int x = 50 + static_cast<int>(945 * 0.2) + 3;
    s.sel.Begin(c, x, 25, 0, kFromView);
    ASSERT_TRUE(s.sel.labelHit);
    EXPECT_EQ(s.sel.hitLabel.Text(), "second");
    s.sel.Begin(c, x, 80, 0, kFromView);
    EXPECT_FALSE(s.sel.labelHit);
}

TEST(LabelMode, DragMovesTheOutlineAndStaysInTheStrip) {
    Scene s;
    s.ch[0].AppendLabel(MakeLabel("word", 2000, 0.5));
    s.sel.labelMode = true;
    MouseContext c = s.Context();
    const int x = 50 + 189 + 2;
    s.sel.Begin(c, x, 55, 0, kFromView);
    ASSERT_TRUE(s.sel.labelHit);
    const platform::Rect start = s.sel.hitLabelRect;
    s.sel.Track(c, true, x + 10, 60, 0, kFromView);
    const TrackResult t = s.sel.Track(c, true, x + 20, 65, 0, kFromView);
    EXPECT_TRUE(t.outlineMoved);
    EXPECT_EQ(s.sel.hitLabelRect.left, start.left + 20);  // moved from the press, not twice
    EXPECT_EQ(s.sel.hitLabelRect.top, start.top + 10);
    s.sel.Track(c, true, x + 20, 300, 0, kFromView);  // far below the strip
    EXPECT_EQ(s.sel.hitLabelRect.bottom, 100);
    EXPECT_EQ(s.sel.hitLabelRect.Height(), start.Height());
    const ReleaseResult r = s.sel.End(c, x + 20, 300, 0, kFromView);
    EXPECT_EQ(r.action, ReleaseAction::MoveDraggedLabel);
    LabelWindows w;
    MoveDraggedLabel(s.sel, s.ch[0], s.sel.hitLabel, s.sel.hitLabelRect, 0, w);
    EXPECT_NEAR(s.ch[0].labels.GetAt(0).time, 2000 + 20 * 10000.0 / 945.0, 11.0);
    EXPECT_NEAR(s.ch[0].labels.GetAt(0).relativeHeight, 0.84, 0.001);
}

struct EntryCase {
    const char* name;
    bool onLabel;  // the press falls on the label
    const char* answer;  // nullptr: Cancel
    int labelsAfter;
    const char* textAfter;  // of the label left, if any
    const char* listCall;   // last call to the label list, "" for none
    bool modified;
};

TEST(LabelMode, EntryOnReleaseAddsEditsDeletesOrDoesNothing) {
    const EntryCase cases[] = {
        {"new label", false, "hello", 2, "hello", "add ch0 hello", true},
        {"new label, empty text", false, "", 1, "word", "", false},
        {"new label, cancel", false, nullptr, 1, "word", "", false},
        {"edit hit label", true, "changed", 1, "changed", "modify ch0 word>changed", true},
        {"empty text deletes the hit label", true, "", 0, "", "delete ch0 word", true},
        {"cancel on a hit label", true, nullptr, 1, "word", "", false},
    };
    for (const EntryCase& k : cases) {
        SCOPED_TRACE(k.name);
        Scene s;
        s.ch[0].AppendLabel(MakeLabel("word", 2000, 0.5));
        s.sel.labelMode = true;
        MouseContext c = s.Context();
        const int x = k.onLabel ? 50 + 189 + 2 : 700;
        s.sel.Begin(c, x, 55, 0, kFromView);
        const ReleaseResult r = s.sel.End(c, x, 55, 0, kFromView);
        RecordingPane pitch;
        RecordingList list;
        bool modified = false;
        LabelWindows w{nullptr, &pitch, &list, [&] { modified = true; }};
        std::string offered;
        RunLabelEntry(s.sel, r.action, &s.ch[0], 0, s.measurer, w,
                      [&](const LabelEntryValues& v) -> std::optional<LabelEntryValues> {
                          offered = v.text;
                          if (!k.answer)
                              return std::nullopt;
                          LabelEntryValues a = v;
                          a.text = k.answer;
                          return a;
                      });
        EXPECT_EQ(offered, k.onLabel ? "word" : "");
        ASSERT_EQ(s.ch[0].labels.GetSize(), k.labelsAfter);
        if (k.labelsAfter > 0) {
            bool found = false;
            for (int i = 0; i < s.ch[0].labels.GetSize(); ++i)
                found = found || s.ch[0].labels.GetAt(i).Text() == k.textAfter;
            EXPECT_TRUE(found);
        }
        EXPECT_EQ(list.calls.empty() ? "" : list.calls.back(), std::string(k.listCall));
        EXPECT_EQ(modified, k.modified);
        EXPECT_EQ(pitch.redraws, k.modified ? 1 : 0);
        EXPECT_FALSE(s.sel.markerShown);
    }
}

TEST(DeleteHitLabel, BringsEveryOpenWindowUpToDate) {
    for (int open = 0; open < 2; ++open) {
        SCOPED_TRACE(open);
        Scene s;
        const LABEL word = MakeLabel("word", 2000, 0.5);
        s.ch[0].AppendLabel(word);
        s.sel.labelHit = true;
        RecordingPane spectrogram, pitch;
        RecordingList list;
        int redraws = 0;
        LabelWindows w;
        w.modifiedAndRedraw = [&] { ++redraws; };
        if (open) {
            w.spectrogram = &spectrogram;
            w.pitch = &pitch;
            w.labelList = &list;
        }
        DeleteHitLabel(s.sel, &s.ch[0], word, w);
        EXPECT_EQ(s.ch[0].labels.GetSize(), 0);
        EXPECT_EQ(redraws, 1);
        EXPECT_TRUE(s.sel.labelChanged);
        EXPECT_FALSE(s.sel.labelHit);
        EXPECT_EQ(s.sel.currentLabel.Text(), "word");
        EXPECT_EQ(spectrogram.invalidations + pitch.invalidations, open ? 2 : 0);
        EXPECT_EQ(list.calls.size(), open ? 1u : 0u);
    }
}

TEST(DeleteHitLabel, StillMarksModifiedWhenNothingMatchesOrTheListFails) {
    Scene s;
    s.ch[0].AppendLabel(MakeLabel("word", 2000, 0.5));
    RecordingList list;
    list.fail = true;
    int redraws = 0;
    LabelWindows w{nullptr, nullptr, &list, [&] { ++redraws; }};
    DeleteHitLabel(s.sel, &s.ch[0], MakeLabel("other", 1000, 0.1), w);
    EXPECT_EQ(s.ch[0].labels.GetSize(), 1);
    EXPECT_EQ(redraws, 1);
    DeleteHitLabel(s.sel, &s.ch[0], MakeLabel("word", 2000, 0.5), w);
    EXPECT_EQ(s.ch[0].labels.GetSize(), 0);
    EXPECT_EQ(redraws, 2);
}

// ---- message rules ----

TEST(ViewTimers, FollowTheTable) {
    const std::pair<int, ViewTimerAction> table[] = {
        {1, ViewTimerAction::StartRecording},       {2, ViewTimerAction::CaptureScreen},
        {3, ViewTimerAction::ShowRecordingMonitor}, {4, ViewTimerAction::AdvancePlayCursor},
        {5, ViewTimerAction::InvalidateAll},        {6, ViewTimerAction::None},
        {7, ViewTimerAction::None},                 {8, ViewTimerAction::None},
        {9, ViewTimerAction::None},                 {10, ViewTimerAction::AdvancePlayCursor},
        {0, ViewTimerAction::None},                 {11, ViewTimerAction::None},
    };
    for (const auto& [id, action] : table)
        EXPECT_EQ(ActionOfTimer(id), action) << id;
    EXPECT_EQ(DefaultTimerPeriodMs(2), 10);
    EXPECT_EQ(DefaultTimerPeriodMs(5), 1);
}

TEST(ViewMessageRules, WheelAndPressRoutes) {
    EXPECT_EQ(WheelScrollCode(120), ScrollCode::LineForward);
    EXPECT_EQ(WheelScrollCode(-120), ScrollCode::LineBack);
    EXPECT_FALSE(WheelScrollCode(0).has_value());
    EXPECT_EQ(RouteOfPress(false, false), PressRoute::Select);
    EXPECT_EQ(RouteOfPress(true, false), PressRoute::StopPlayCursorAndSelect);
    EXPECT_EQ(RouteOfPress(true, true), PressRoute::StopPlayCursorAndSelect);
    EXPECT_EQ(RouteOfPress(false, true), PressRoute::StopRecording);
}

TEST(ViewMessageRules, VerticalPageIsAtLeastOneInSmallWindows) {
    for (int client : {0, 10, 49, 50, 51, 300}) {
        SCOPED_TRACE(client);
        ZoomScroll z;
        z.SetVerticalExtent(1000, client);
        EXPECT_GE(z.vertical.page, 1);
        const int before = z.vertical.position;
        z.OnVScroll(ScrollCode::PageForward, 0);
        EXPECT_GT(z.vertical.position, before);
    }
}

}  // namespace
}  // namespace vocomet
