#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

#include "app/GridModel.h"

namespace vocomet {
namespace {

class GridModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        grid.AddListener([this](const GridChange& c) { changes.push_back(c); });
        for (int i = 0; i < 3; ++i)
            grid.AppendColumn();
    }
    GridModel grid;
    std::vector<GridChange> changes;
};

TEST_F(GridModelTest, InsertingAColumnShiftsLaterCellsRight) {
    grid.AppendRow({GridCell{std::string("a")}, GridCell{1}, GridCell{2.5}});
    grid.SetColumnCaption(1, "one");
    grid.InsertColumn(1, GridColumn{GridColumnKind::Number, "new", "##.#", 0, 60, false, 255});
    ASSERT_EQ(grid.GetColumnCount(), 4);
    EXPECT_EQ(grid.GetCell(0, 0), GridCell{std::string("a")});
    EXPECT_EQ(grid.GetCell(0, 1), GridCell{});
    EXPECT_EQ(grid.GetCell(0, 2), GridCell{1});
    EXPECT_EQ(grid.GetCell(0, 3), GridCell{2.5});
    EXPECT_EQ(grid.GetColumnCaption(2), "one");
    EXPECT_EQ(grid.Column(1).decimals, 1);
    // Rows appended after the insert have the new width.
    grid.AppendRow();
    EXPECT_EQ(grid.GetCell(1, 3), GridCell{});
    EXPECT_THROW(grid.InsertColumn(6), std::out_of_range);
}

TEST_F(GridModelTest, SearchFromMinusOneAndContinuingAfterEachHit) {
    for (double t : {10.0, 20.0, 10.0, 30.0, 10.0})
        grid.AppendRow({GridCell{}, GridCell{t}});
    std::vector<int> hits;
    for (int r = grid.Search(1, GridCell{10.0}, -1); r >= 0; r = grid.Search(1, GridCell{10.0}, r))
        hits.push_back(r);
    EXPECT_EQ(hits, (std::vector<int>{0, 2, 4}));
    EXPECT_EQ(grid.Search(1, GridCell{99.0}, -1), -1);
    // Types must match: an int 10 is not the double 10.
    EXPECT_EQ(grid.Search(1, GridCell{10}, -1), -1);
    EXPECT_EQ(grid.Search(1, GridCell{30.0}, 3), -1);
}

TEST_F(GridModelTest, NextSelectedCountAndRanges) {
    for (int i = 0; i < 6; ++i)
        grid.AppendRow();
    EXPECT_EQ(grid.NextSelected(-1), -1);
    grid.SetRowSelected(1, true);
    grid.SetRowSelected(4, true);
    EXPECT_EQ(grid.NextSelected(-1), 1);
    EXPECT_EQ(grid.NextSelected(1), 4);
    EXPECT_EQ(grid.NextSelected(4), -1);
    EXPECT_EQ(grid.GetSelectedCount(), 2);
    grid.SelectRowRange(2, 10);  // clamped to the last row; others cleared
    EXPECT_EQ(grid.GetSelectedCount(), 4);
    EXPECT_EQ(grid.NextSelected(-1), 2);
    // Removing a row moves the later ones (and their selection) up.
    grid.RemoveRow(0);
    EXPECT_EQ(grid.NextSelected(-1), 1);
    EXPECT_EQ(grid.GetRowCount(), 5);
}

TEST_F(GridModelTest, DoublesAreBitExactAndEmptyStaysEmpty) {
    grid.AppendRow();
    for (double v : {0.1 + 0.2, 1234.5678901234567, -0.0, 1e-310, std::numeric_limits<double>::max()}) {
        grid.SetCellDouble(0, 1, v);
        const double back = std::get<double>(grid.GetCell(0, 1));
        EXPECT_EQ(std::memcmp(&back, &v, sizeof v), 0) << v;
        EXPECT_EQ(grid.Search(1, GridCell{v}, -1), 0);
    }
    grid.ClearCell(0, 1);
    EXPECT_TRUE(std::holds_alternative<std::monostate>(grid.GetCell(0, 1)));
    EXPECT_TRUE(std::holds_alternative<std::monostate>(grid.GetCell(0, 2)));
    EXPECT_EQ(grid.FormatCell(0, 2), "");
    EXPECT_EQ(grid.GetCellInt(0, 2), 0);
}

TEST_F(GridModelTest, MaskDecimalsFormatDoubles) {
    grid.AppendRow({GridCell{}, GridCell{123.4567}, GridCell{std::int32_t{-7}}});
    struct Case { const char* mask; const char* text; };
    for (const Case& c : {Case{"##########.###", "123.457"}, Case{"##.#", "123.5"}, Case{"##########", "123"},
                          Case{"", "123"}}) {
        grid.SetColumnMask(1, c.mask);
        EXPECT_EQ(grid.FormatCell(0, 1), c.text) << c.mask;
    }
    EXPECT_EQ(grid.FormatCell(0, 2), "-7");
    EXPECT_EQ(grid.GetCellInt(0, 2), -7);
    EXPECT_EQ(grid.GetCellInt(0, 1), 123);
}

TEST_F(GridModelTest, UserEditsAreTypedLimitedAndReported) {
    grid.SetColumnKind(1, GridColumnKind::Number);
    grid.SetColumnTextLimit(2, 4);
    grid.AppendRow();
    changes.clear();
    grid.SetCellByUser(0, 1, "2.25");
    EXPECT_EQ(grid.GetCell(0, 1), GridCell{2.25});
    grid.SetCellByUser(0, 1, "abc");  // not a number: kept as typed
    EXPECT_EQ(grid.GetCell(0, 1), GridCell{std::string("abc")});
    grid.SetCellByUser(0, 2, "abcdefg");
    EXPECT_EQ(grid.GetCell(0, 2), GridCell{std::string("abcd")});
    ASSERT_FALSE(changes.empty());
    EXPECT_EQ(changes.back().kind, GridChange::UserEdit);
    EXPECT_EQ(changes.back().column, 2);
}

TEST_F(GridModelTest, CellChangesReportOneCellAndUnchangedValuesNothing) {
    grid.AppendRow();
    changes.clear();
    grid.SetCellDouble(0, 1, 3.0);
    grid.SetCellDouble(0, 1, 3.0);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].kind, GridChange::Cell);
    EXPECT_EQ(changes[0].row, 0);
    EXPECT_EQ(changes[0].column, 1);
    // With redraw off nothing is reported until it is turned on again.
    changes.clear();
    grid.SetRedraw(false);
    grid.AppendColumn();
    grid.SetCellDouble(0, 1, 4.0);
    EXPECT_TRUE(changes.empty());
    grid.SetRedraw(true);
    ASSERT_EQ(changes.size(), 1u);
    EXPECT_EQ(changes[0].kind, GridChange::Layout);
    EXPECT_THROW(grid.SetCellDouble(1, 0, 1.0), std::out_of_range);
    EXPECT_THROW(grid.GetCell(0, 9), std::out_of_range);
}

TEST_F(GridModelTest, ChoiceListsHeadersAndClear) {
    grid.AppendRow();
    grid.SetCellChoiceList(0, 1, "red\tgreen\t\tblue");
    EXPECT_EQ(grid.GetCellChoiceList(0, 1), (std::vector<std::string>{"red", "green", "", "blue"}));
    EXPECT_TRUE(grid.GetCellChoiceList(0, 0).empty());
    grid.SetRowHeaderText(0, "1");
    EXPECT_EQ(grid.GetRowHeaderText(0), "1");
    grid.Clear();
    EXPECT_EQ(grid.GetRowCount(), 0);
    EXPECT_EQ(grid.GetColumnCount(), 0);
}

}  // namespace
}  // namespace vocomet
