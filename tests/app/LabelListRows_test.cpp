#include "app/LabelListRows.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "support/DocumentFixture.h"

namespace vocomet {
namespace {

LABEL Label(const std::string& text, double time) {
    LABEL l;
    l.SetText(text);
    l.time = time;
    return l;
}

std::string Text(const GridModel& g, int row, int column) { return std::get<std::string>(g.GetCell(row, column)); }
double Time(const GridModel& g, int row) { return std::get<double>(g.GetCell(row, kLabelListTimeColumn)); }

class LabelListRowsTest : public test::DocumentTest {
protected:
    void SetUp() override {
        DocumentTest::SetUp();
        SetUpLabelListColumns(grid);
    }
    GridModel grid;
};

TEST_F(LabelListRowsTest, FillTakesTheShownChannelsInSlotAndLabelOrder) {
    doc->SetChannelCount(3);
    doc->Channel(0).name = "Audio";
    doc->Channel(0).AppendLabel(Label("b", 200.0));
    doc->Channel(0).AppendLabel(Label("a", 100.0));
    doc->Channel(1).name = "EGG";
    doc->Channel(1).show = 0;
    doc->Channel(1).AppendLabel(Label("hidden", 50.0));
    doc->Channel(2).name = "Fl\xFC" "s";  // Windows-1252 ü
    doc->Channel(2).AppendLabel(Label("caf\xE9", 1.5));
    // Slots past the channel count do not show.
    doc->Channel(3).AppendLabel(Label("unused slot", 9.0));

    grid.AppendRow({GridCell{std::string("stale")}});
    FillLabelRows(grid, *doc);

    ASSERT_EQ(grid.GetRowCount(), 3);
    EXPECT_EQ(Text(grid, 0, 0), "Audio");
    EXPECT_EQ(Text(grid, 0, 1), "b");
    EXPECT_EQ(Time(grid, 0), 200.0);
    EXPECT_EQ(Text(grid, 1, 1), "a");
    EXPECT_EQ(Text(grid, 2, 0), "Fl\xC3\xBCs");
    EXPECT_EQ(Text(grid, 2, 1), "caf\xC3\xA9");
    EXPECT_EQ(Time(grid, 2), 1.5);
    EXPECT_EQ(grid.GetColumnCaption(0), "Signal Name");
    EXPECT_EQ(grid.GetColumnCaption(1), "Label");
    EXPECT_EQ(grid.GetColumnCaption(2), "Time(ms)");

    // A channel shown again counts at the next fill only.
    doc->Channel(1).show = 1;
    EXPECT_EQ(grid.GetRowCount(), 3);
    FillLabelRows(grid, *doc);
    EXPECT_EQ(grid.GetRowCount(), 4);
    EXPECT_EQ(Text(grid, 2, 1), "hidden");

    // A channel count out of range is clamped, never read past the slots.
    doc->SetChannelCount(99);
    EXPECT_NO_THROW(FillLabelRows(grid, *doc));
    EXPECT_EQ(grid.GetRowCount(), 5);
}

TEST_F(LabelListRowsTest, AddedLabelsGoLastWhateverTheirChannelAndTime) {
    AddLabelRow(grid, "B", Label("x", 500.0));
    AddLabelRow(grid, "A", Label("y", 1.0));
    ASSERT_EQ(grid.GetRowCount(), 2);
    EXPECT_EQ(Text(grid, 1, 0), "A");
    EXPECT_EQ(Time(grid, 1), 1.0);
}

TEST_F(LabelListRowsTest, ModifyAndDeleteTakeOnlyTheFirstRowOfTheSameChannelTextAndTime) {
    const LABEL dup = Label("vowel", 300.0);
    AddLabelRow(grid, "EGG", dup);                     // 0: same text and time, other channel
    AddLabelRow(grid, "Audio", Label("vowel", 301.0));  // 1: same channel and text, other time
    AddLabelRow(grid, "Audio", dup);                   // 2: the first match
    AddLabelRow(grid, "Audio", dup);                   // 3: its duplicate

    EXPECT_EQ(FindLabelRow(grid, "Audio", dup), 2);
    ASSERT_TRUE(ModifyLabelRow(grid, dup, Label("onset", 310.0), "Audio"));
    EXPECT_EQ(Text(grid, 2, 1), "onset");
    EXPECT_EQ(Time(grid, 2), 310.0);
    EXPECT_EQ(Text(grid, 3, 1), "vowel");
    EXPECT_EQ(Time(grid, 3), 300.0);
    EXPECT_EQ(Text(grid, 0, 1), "vowel");
    EXPECT_EQ(Time(grid, 1), 301.0);

    // Now row 3 is the first "Audio" vowel at 300: deleting it leaves the others.
    ASSERT_TRUE(DeleteLabelRow(grid, dup, "Audio"));
    ASSERT_EQ(grid.GetRowCount(), 3);
    EXPECT_EQ(Text(grid, 0, 0), "EGG");
    EXPECT_EQ(Time(grid, 1), 301.0);
    EXPECT_EQ(Text(grid, 2, 1), "onset");

    // With two duplicates, delete removes one row per call.
    AddLabelRow(grid, "EGG", dup);
    ASSERT_TRUE(DeleteLabelRow(grid, dup, "EGG"));
    ASSERT_EQ(grid.GetRowCount(), 3);
    EXPECT_EQ(Text(grid, 2, 0), "EGG");
    EXPECT_EQ(Text(grid, 0, 1), "vowel");
    EXPECT_EQ(Text(grid, 0, 0), "Audio");

    // No match changes nothing.
    EXPECT_FALSE(ModifyLabelRow(grid, Label("none", 1.0), Label("x", 2.0), "Audio"));
    EXPECT_FALSE(DeleteLabelRow(grid, Label("vowel", 301.0), "EGG"));
    EXPECT_EQ(grid.GetRowCount(), 3);
}

TEST_F(LabelListRowsTest, TimesMatchExactlyAfterTheGrid) {
    const double t = 1234.56789012345;
    AddLabelRow(grid, "Audio", Label("t", std::nextafter(t, 0.0)));
    AddLabelRow(grid, "Audio", Label("t", t));
    EXPECT_EQ(FindLabelRow(grid, "Audio", Label("t", t)), 1);
    EXPECT_EQ(grid.GetCellText(1, kLabelListTimeColumn), "1234.568");  // shown rounded, kept exact
    ASSERT_TRUE(DeleteLabelRow(grid, Label("t", t), "Audio"));
    ASSERT_EQ(grid.GetRowCount(), 1);
    EXPECT_EQ(Time(grid, 0), std::nextafter(t, 0.0));
}

TEST_F(LabelListRowsTest, SelectedTimeAndSorting) {
    EXPECT_FALSE(SelectedLabelTime(grid));
    AddLabelRow(grid, "b", Label("Zeta", 30.0));
    AddLabelRow(grid, "A", Label("alpha", 1000.0));
    AddLabelRow(grid, "c", Label("beta", 2.5));
    EXPECT_FALSE(SelectedLabelTime(grid));
    grid.SetRowSelected(1, true);
    EXPECT_EQ(SelectedLabelTime(grid), 1000.0);

    SortLabelRows(grid, kLabelListTimeColumn, true);  // by value, not as text
    EXPECT_EQ(Time(grid, 0), 2.5);
    EXPECT_EQ(Time(grid, 1), 30.0);
    EXPECT_EQ(Time(grid, 2), 1000.0);
    EXPECT_EQ(SelectedLabelTime(grid), 1000.0);  // the selection follows its row
    SortLabelRows(grid, kLabelListTextColumn, true);  // without regard to case
    EXPECT_EQ(Text(grid, 0, 1), "alpha");
    EXPECT_EQ(Text(grid, 2, 1), "Zeta");
    SortLabelRows(grid, kLabelListChannelColumn, false);
    EXPECT_EQ(Text(grid, 0, 0), "c");
    EXPECT_EQ(Text(grid, 2, 0), "A");
    EXPECT_EQ(SelectedLabelTime(grid), 1000.0);
}

}  // namespace
}  // namespace vocomet
