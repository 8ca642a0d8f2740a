#include "app/OptionTables.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/DocumentFixture.h"

namespace vocomet {
namespace {

class OptionTablesTest : public test::DocumentTest {
protected:
    void SetUp() override {
        test::DocumentTest::SetUp();
        doc->SetChannelCount(3);
        const char* names[] = {"Audio", "EGG", "Air flow"};
        for (int i = 0; i < 3; ++i) {
            CChannels& c = doc->Channel(i);
            c.name = names[i];
            c.stripHeight = 100 + i;
            c.show = 1;
            c.drawReference = i == 1 ? 0 : 1;
            c.drawIntensity = 1;
            c.intensityWindow = 30.0;
            c.intensityStep = 10.0;
            c.smoothingPoints = 5.0;
        }
    }
    GridModel grid;
};

TEST_F(OptionTablesTest, DisplayTableHasARowPerChannelWithItsCaptionAndValues) {
    FillDisplayTable(grid, *doc);
    ASSERT_EQ(grid.GetRowCount(), 3);
    EXPECT_EQ(grid.GetRowHeaderText(0), "Audio");
    EXPECT_EQ(grid.GetRowHeaderText(1), "1");
    EXPECT_EQ(grid.GetRowHeaderText(2), "2");
    const std::vector<std::string> captions = {"Signal Name", "Show", "Heigth", "Draw Ref.", "Draw Int."};
    for (int c = 0; c < 5; ++c)
        EXPECT_EQ(grid.GetColumnCaption(c), captions[c]);
    EXPECT_EQ(grid.GetCellText(2, 0), "Air flow");
    EXPECT_EQ(grid.GetCellInt(1, 2), 101);
    EXPECT_EQ(grid.GetCellInt(1, 3), 0);
}

TEST_F(OptionTablesTest, DisplayStoreTakesRowsAndValuesAndFlagsRoundTrip) {
    FillDisplayTable(grid, *doc);
    grid.SetCellByUser(0, 0, "Voice");
    grid.SetCellByUser(0, 2, "150");
    grid.SetCellByUser(2, 1, "0");
    grid.SetCellByUser(1, 4, "7");  // any non-zero mark is checked
    DisplayOptionValues v = DisplayValuesOf(*doc);
    v.timeGrid = 1;
    v.gridSpacingMs = 0;  // automatic
    v.width = 4.5;
    v.height = 2.0;
    ASSERT_FALSE(StoreDisplayOptions(grid, v, *doc));
    EXPECT_EQ(doc->Channel(0).name, "Voice");
    EXPECT_EQ(doc->Channel(0).stripHeight, 150);
    EXPECT_EQ(doc->Channel(2).show, 0);
    EXPECT_EQ(doc->Channel(1).drawIntensity, 1);
    EXPECT_EQ(doc->Channel(1).drawReference, 0);
    EXPECT_EQ(doc->settings.display.fourth, 1);
    EXPECT_EQ(doc->settings.display.fifth, 0);
    EXPECT_EQ(doc->settings.display.pictureWidth, 4.5);
}

TEST_F(OptionTablesTest, DisplayRefusesValuesThatWouldBreakTheViewAndChangesNothing) {
    struct Case {
        const char* what;
        int row, column;
        const char* cell;
        double width, height;
        int spacing;
        int refusedRow, refusedColumn;
    };
    const Case cases[] = {
        {"zero strip", 1, 2, "0", 6, 4, 0, 1, 2},
        {"negative strip", 0, 2, "-5", 6, 4, 0, 0, 2},
        {"huge strip", 0, 2, "99999", 6, 4, 0, 0, 2},
        {"strip not a number", 0, 2, "tall", 6, 4, 0, 0, 2},
        {"flag not a number", 2, 3, "yes", 6, 4, 0, 2, 3},
        {"negative spacing", 0, 2, "100", 6, 4, -10, -1, 0},
        {"zero width", 0, 2, "100", 0, 4, 0, -1, 1},
        {"huge height", 0, 2, "100", 6, 1000, 0, -1, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        FillDisplayTable(grid, *doc);
        grid.SetCellByUser(0, 0, "Renamed");
        grid.SetCellByUser(c.row, c.column, c.cell);
        DisplayOptionValues v = DisplayValuesOf(*doc);
        v.timeGrid = 1;
        v.gridSpacingMs = c.spacing;
        v.width = c.width;
        v.height = c.height;
        const auto refusal = StoreDisplayOptions(grid, v, *doc);
        ASSERT_TRUE(refusal);
        EXPECT_EQ(refusal->row, c.refusedRow);
        EXPECT_EQ(refusal->column, c.refusedColumn);
        EXPECT_FALSE(refusal->message.empty());
        EXPECT_EQ(doc->Channel(0).name, "Audio");
        EXPECT_EQ(doc->Channel(0).stripHeight, 100);
        EXPECT_EQ(doc->settings.display.pictureWidth, DisplaySettings{}.pictureWidth);
    }
}

TEST_F(OptionTablesTest, IntensityTableIsReadAsCheckedWholeNumbers) {
    FillIntensityTable(grid, *doc);
    ASSERT_EQ(grid.GetRowCount(), 3);
    EXPECT_EQ(grid.GetRowHeaderText(0), "Audio");
    EXPECT_EQ(grid.GetColumnCaption(5), "# of points");
    struct Case {
        const char* cell;
        bool accepted;
        double stored;
    };
    // Beyond 16 bits, not whole, not a number, or not positive: refused.
    const Case cases[] = {{"45", true, 45.0},   {"32767", true, 32767.0}, {"32768", false, 0},
                          {"70000", false, 0},  {"0", false, 0},          {"-3", false, 0},
                          {"12.5", false, 0},   {"ten", false, 0},        {"", false, 0}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cell);
        doc->Channel(1).intensityWindow = 30.0;
        doc->Channel(0).smoothingOn = 0;
        FillIntensityTable(grid, *doc);
        grid.SetCellByUser(1, 1, c.cell);
        grid.SetCellByUser(0, 4, "1");
        const auto refusal = StoreIntensityTable(grid, *doc);
        EXPECT_EQ(!refusal, c.accepted);
        if (c.accepted) {
            EXPECT_EQ(doc->Channel(1).intensityWindow, c.stored);
            EXPECT_EQ(doc->Channel(0).smoothingOn, 1);
            // The document's settings copy follows, for recordings loaded later.
            EXPECT_EQ(doc->settings.channels[1].intensityWindow, c.stored);
        } else {
            EXPECT_EQ(refusal->row, 1);
            EXPECT_EQ(refusal->column, 1);
            EXPECT_EQ(doc->Channel(1).intensityWindow, 30.0);
            EXPECT_EQ(doc->Channel(0).smoothingOn, 0);
        }
    }
}

TEST_F(OptionTablesTest, CalibrationTakesCoefficientsNamesAndCutUnits) {
    FillCalibrationTable(grid, *doc);
    ASSERT_EQ(grid.GetRowCount(), 3);
    EXPECT_EQ(grid.Column(1).mask, "####.########");
    grid.SetCellByUser(0, 1, "0.5");
    grid.SetCellByUser(0, 2, "abc");  // not a number: 0.0
    grid.SetCellByUser(0, 3, "-2");
    grid.SetCellByUser(0, 4, "1e-3");
    grid.SetCellText(1, 5, std::string(40, 'm'));
    grid.SetCellByUser(2, 0, "Flow");
    ASSERT_FALSE(StoreCalibrationTable(grid, *doc));
    const CChannels& a = doc->Channel(0);
    EXPECT_EQ(a.calA, 0.5);
    EXPECT_EQ(a.calB, 0.0);
    EXPECT_EQ(a.calC, -2.0);
    EXPECT_EQ(a.calD, 0.001);
    EXPECT_EQ(doc->Channel(1).unit, std::string(31, 'm'));
    EXPECT_EQ(doc->Channel(2).name, "Flow");
    EXPECT_EQ(doc->settings.channels[0].calibration[0], 0.5);

    grid.SetCellByUser(2, 4, "123456");  // beyond "####.########"
    const auto refusal = StoreCalibrationTable(grid, *doc);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->row, 2);
    EXPECT_EQ(refusal->column, 4);
}

}  // namespace
}  // namespace vocomet
