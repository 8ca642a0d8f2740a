#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "core/CChannels.h"
#include "platform/TextMeasurer.h"

namespace vocomet {
namespace {

LABEL MakeLabel(const std::string& text, double time, double height, int anchoring = LABEL::kAnchorLeft) {
    LABEL l;
    l.SetText(text);
    l.time = time;
    l.relativeHeight = height;
    l.anchoring = anchoring;
    return l;
}

// 1000 samples over 100 ms shown whole across a strip 500 pixels wide,
// 200 high (the strip-height field too).
CChannels MakeChannel() {
    CChannels ch;
    ch.sampleCount = 1000;
    ch.duration = 100.0;
    ch.samples = platform::FloatBlock::Allocate(1000);
    ch.strip = platform::Rect{0, 100, 500, 300};
    ch.stripHeight = 200;
    ch.shownStart = 0;
    ch.shownEnd = 1000;
    return ch;
}

TEST(LabelTest, TextIsBoundedAndNulTerminated) {
    LABEL l;
    EXPECT_EQ(l.Text(), "");
    EXPECT_EQ(l.rect, platform::Rect{});
    l.SetText(std::string(300, 'x'));
    EXPECT_EQ(l.Text().size(), 255u);
    EXPECT_EQ(l.text[255], '\0');
    l.SetText("ab");
    EXPECT_EQ(l.Text(), "ab");
    EXPECT_EQ(l.text[3], '\0');  // the rest of the old text is gone
    l.SetText(std::string("cut\0here", 8));
    EXPECT_EQ(l.Text(), "cut");
}

struct PlaceCase {
    const char* what;
    double time;
    int anchoring;
    int charWidth;
    int result;
    platform::Rect rect;  // expected when placed
};

TEST(LabelTest, PlaceLabel) {
    // Shown 20..70 ms over 500 pixels: 10 pixels per ms; x = 50 + offset.
    // Text "abc"; font height 12; relative height 0.25 -> y = 150.
    const PlaceCase cases[] = {
        {"left", 30.0, LABEL::kAnchorLeft, 8, 1, {150, 150, 174, 162}},
        {"centre even", 30.0, LABEL::kAnchorCentre, 8, 1, {138, 150, 162, 162}},
        {"centre odd width puts the extra pixel right", 30.0, LABEL::kAnchorCentre, 7, 1, {140, 150, 161, 162}},
        {"right", 30.0, LABEL::kAnchorRight, 8, 1, {126, 150, 150, 162}},
        {"truncated offset", 30.05, LABEL::kAnchorLeft, 8, 1, {150, 150, 174, 162}},
        {"at the start", 20.0, LABEL::kAnchorLeft, 8, 0, {}},
        {"at the end", 70.0, LABEL::kAnchorLeft, 8, 0, {}},
        {"before", 5.0, LABEL::kAnchorLeft, 8, 0, {}},
        {"after", 90.0, LABEL::kAnchorLeft, 8, 0, {}},
    };
    for (const PlaceCase& c : cases) {
        SCOPED_TRACE(c.what);
        CChannels ch = MakeChannel();
        LABEL l = MakeLabel("abc", c.time, 0.25, c.anchoring);
        l.font.height = -12;
        l.rect = {1, 2, 3, 4};
        ch.AppendLabel(l);
        platform::FixedWidthMeasurer measurer(c.charWidth);
        LABEL out = MakeLabel("untouched", 0, 0);
        EXPECT_EQ(ch.PlaceLabel(0, out, 20.0, 70.0, measurer), c.result);
        if (c.result) {
            EXPECT_EQ(out.rect, c.rect);
            EXPECT_EQ(ch.labels.GetAt(0).rect, c.rect);
            EXPECT_EQ(out.Text(), "abc");
        } else {
            EXPECT_EQ(out.Text(), "untouched");
            EXPECT_EQ(ch.labels.GetAt(0).rect, (platform::Rect{1, 2, 3, 4}));
        }
    }
    CChannels ch = MakeChannel();
    platform::FixedWidthMeasurer measurer;
    LABEL out;
    EXPECT_THROW(ch.PlaceLabel(0, out, 0.0, 100.0, measurer), std::out_of_range);
    EXPECT_THROW(ch.GetLabel(-1, out), std::out_of_range);
}

// Two labels with the same text, placed so their rectangles are known.
struct LabelPair {
    CChannels ch = MakeChannel();
    LABEL upper, lower;
    LabelPair() {
        platform::FixedWidthMeasurer measurer;
        ch.AppendLabel(MakeLabel("vowel", 40.0, 0.1));
        ch.AppendLabel(MakeLabel("vowel", 40.0, 0.6));
        ch.PlaceLabel(0, upper, 0.0, 100.0, measurer);
        ch.PlaceLabel(1, lower, 0.0, 100.0, measurer);
    }
};

TEST(LabelTest, FindLabelMatchesPositionAndTextOnTheSameLabel) {
    LabelPair p;
    // x = 50 + 200 = 250; y = 120 and 220; "vowel" is 40 wide, 16 high.
    EXPECT_EQ(p.upper.rect, (platform::Rect{250, 120, 290, 136}));
    EXPECT_EQ(p.lower.rect, (platform::Rect{250, 220, 290, 236}));
    // Same text and time, told apart by top and bottom.
    EXPECT_EQ(p.ch.FindLabel(p.upper), 0);
    EXPECT_EQ(p.ch.FindLabel(p.lower), 1);

    struct Case {
        const char* what;
        int dx;
        const char* text;
        int expected;
    } cases[] = {
        {"1 pixel off still matches", 1, "vowel", 1},
        {"-1 pixel", -1, "vowel", 1},
        {"2 pixels off is another place", 2, "vowel", -1},
        {"-2 pixels", -2, "vowel", -1},
        {"other text", 0, "Vowel", -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        LABEL probe = p.lower;
        probe.rect.left += c.dx;
        probe.rect.right += c.dx;
        probe.SetText(c.text);
        EXPECT_EQ(p.ch.FindLabel(probe), c.expected);
    }
    CChannels empty;
    EXPECT_EQ(empty.FindLabel(p.upper), -1);
}

TEST(LabelTest, ALabelElsewhereWithTheSameTextIsNeverTaken) {
    // First label at the probe's place but with other text; second label
    // with the probe's text, top and bottom at another place.
    CChannels ch = MakeChannel();
    platform::FixedWidthMeasurer measurer;
    ch.AppendLabel(MakeLabel("aaaaa", 40.0, 0.1));
    ch.AppendLabel(MakeLabel("bbbbb", 80.0, 0.1));
    LABEL first, second;
    ch.PlaceLabel(0, first, 0.0, 100.0, measurer);
    ch.PlaceLabel(1, second, 0.0, 100.0, measurer);
    LABEL probe = first;
    probe.SetText("bbbbb");
    EXPECT_EQ(ch.FindLabel(probe), -1);
    EXPECT_EQ(ch.RemoveLabel(probe), -1);
    EXPECT_EQ(ch.labelCount, 2);
    LABEL shifted = ch.ShiftLabelTime(probe, 5.0);
    EXPECT_EQ(shifted, probe);
    EXPECT_EQ(ch.labels.GetAt(1).time, 80.0);
    LABEL moved = ch.MoveLabel(probe, 10, 110, 50, 126);
    EXPECT_EQ(moved, probe);
    EXPECT_EQ(ch.labels.GetAt(1).rect, second.rect);
}

TEST(LabelTest, RemoveShiftAndCounts) {
    LabelPair p;
    EXPECT_EQ(p.ch.labelCount, 2);
    LABEL shifted = p.ch.ShiftLabelTime(p.lower, -15.0);
    EXPECT_EQ(shifted.time, 25.0);
    EXPECT_EQ(p.ch.labels.GetAt(1).time, 25.0);
    EXPECT_EQ(p.ch.labels.GetAt(0).time, 40.0);

    EXPECT_EQ(p.ch.RemoveLabel(p.lower), 1);
    EXPECT_EQ(p.ch.labelCount, 1);
    EXPECT_EQ(p.ch.labels.GetAt(0), p.upper);
    EXPECT_EQ(p.ch.RemoveLabel(p.lower), -1);
    EXPECT_EQ(p.ch.RemoveLabel(p.upper), 0);
    EXPECT_EQ(p.ch.labelCount, 0);
    EXPECT_EQ(p.ch.AppendLabel(p.upper), 1);
    EXPECT_EQ(p.ch.AppendLabel(p.lower), 2);
    p.ch.RemoveAllLabels();
    EXPECT_EQ(p.ch.labelCount, 0);
    EXPECT_TRUE(p.ch.labels.IsEmpty());
}

TEST(LabelTest, AddLabelAtCursor) {
    platform::FixedWidthMeasurer measurer;
    CChannels ch = MakeChannel();
    ch.SetAnchorTime(30.0);

    // New: the marker's time and the given height; 50 + 150 = 200.
    LABEL given = MakeLabel("new", 99.0, 0.9, LABEL::kAnchorCentre);
    LABEL stored = ch.AddLabelAtCursor(given, LABEL{}, 150, 0, measurer);
    EXPECT_EQ(stored.time, 30.0);
    EXPECT_DOUBLE_EQ(stored.relativeHeight, 0.25);
    EXPECT_EQ(stored.rect, (platform::Rect{188, 150, 212, 166}));
    EXPECT_EQ(ch.labelCount, 1);
    EXPECT_EQ(ch.labels.GetAt(0), stored);

    // Moving replaces the old label and keeps the given time and height.
    LABEL replacement = MakeLabel("newer", 60.0, 0.5);
    LABEL moved = ch.AddLabelAtCursor(replacement, stored, 0, 1, measurer);
    EXPECT_EQ(moved.time, 60.0);
    EXPECT_EQ(moved.relativeHeight, 0.5);
    EXPECT_EQ(moved.rect, (platform::Rect{350, 200, 390, 216}));
    ASSERT_EQ(ch.labelCount, 1);
    EXPECT_EQ(ch.labels.GetAt(0), moved);

    // Moving a label that is not there stores nothing.
    LABEL again = ch.AddLabelAtCursor(MakeLabel("ghost", 10.0, 0.5), stored, 0, 1, measurer);
    EXPECT_EQ(again.Text(), "ghost");
    EXPECT_EQ(ch.labelCount, 1);
    EXPECT_EQ(ch.labels.GetAt(0), moved);
}

TEST(LabelTest, MoveLabelFollowsItsLeftEdge) {
    LabelPair p;
    // Dragged 100 pixels right: 1000 samples over 500 pixels is 2 samples,
    // 0.2 ms, per pixel, so the label moves 20 ms later.
    LABEL moved = p.ch.MoveLabel(p.lower, 350, 150, 390, 166);
    EXPECT_DOUBLE_EQ(moved.time, 60.0);
    EXPECT_DOUBLE_EQ(moved.relativeHeight, 0.25);
    EXPECT_EQ(moved.rect, (platform::Rect{350, 150, 390, 166}));
    EXPECT_EQ(p.ch.labels.GetAt(1), moved);
    EXPECT_EQ(p.ch.labels.GetAt(0), p.upper);
}

}  // namespace
}  // namespace vocomet
