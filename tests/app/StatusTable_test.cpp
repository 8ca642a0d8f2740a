#include <gtest/gtest.h>

#include "app/StatusTable.h"
#include "support/DocumentFixture.h"

namespace vocomet {
namespace {

TEST(StatusReadout, OwnerRule) {
    int a = 0, b = 0;
    struct Case { const void* owner; const void* current; bool changes; const char* text; };
    for (const Case& c : {Case{&a, &a, true, "              1234.5"}, Case{&a, &b, false, "before"},
                          Case{nullptr, &a, true, ""}, Case{&a, nullptr, true, ""},
                          Case{nullptr, nullptr, true, ""}}) {
        std::string text = "before";
        EXPECT_EQ(StatusReadoutText(c.owner, c.current, 1234.5, text), c.changes);
        EXPECT_EQ(text, c.text);
    }
}

class StatusTableTest : public test::DocumentTest {
protected:
    void SetUp() override {
        DocumentTest::SetUp();
        doc->SetChannelCount(4);
        for (int i = 0; i < 4; ++i) {
            CChannels& ch = doc->Channel(i);
            ch.name = "ch" + std::to_string(i);
            ch.rate = 10000.0 + i;
            ch.unit = "V";
            ch.reference = 0.125 * i;
            ch.show = 1;
            ch.intensityValid = 0;
            ch.velocityValid = 0;
            ch.accelerationValid = 0;
        }
        SetUpStatusColumns(grid);
    }
    GridModel grid;
};

TEST_F(StatusTableTest, RowsFollowTheShownChannels) {
    doc->Channel(1).show = 0;
    FillStatusTable(grid, doc.get());
    ASSERT_EQ(grid.GetRowCount(), 3);
    EXPECT_EQ(grid.FormatCell(0, kStatusName), "ch0");
    EXPECT_EQ(grid.FormatCell(1, kStatusName), "ch2");
    EXPECT_EQ(grid.FormatCell(2, kStatusName), "ch3");
    EXPECT_EQ(grid.GetCell(1, kStatusRate), GridCell{10002.0});
    EXPECT_EQ(grid.GetCell(1, kStatusReference), GridCell{doc->Channel(2).ConvertReference(0.25)});
    EXPECT_EQ(grid.FormatCell(1, kStatusUnit), "V");
    EXPECT_EQ(grid.GetCell(1, kStatusValue), GridCell{});
    EXPECT_EQ(grid.GetRowHeight(), 25.0);
    EXPECT_EQ(grid.GetColumnCaption(kStatusAcceleration), "Acc. (unti/s2)");
    EXPECT_EQ(grid.Column(kStatusUnit).width, 50.0);
    EXPECT_EQ(grid.Column(kStatusIntensity).width, 70.0);
    EXPECT_EQ(grid.Column(kStatusValue).decimals, 3);
    // No curves: seven visible columns.
    int visible = 0;
    for (int c = 0; c < grid.GetColumnCount(); ++c)
        visible += grid.Column(c).hidden ? 0 : 1;
    EXPECT_EQ(visible, 7);
}

TEST_F(StatusTableTest, CurveColumnsNeedAValidDrawnCurveOnAShownChannel) {
    doc->Channel(0).intensityValid = 1;
    doc->Channel(0).drawIntensity = 0;  // valid, not drawn
    doc->Channel(1).velocityValid = 1;
    doc->Channel(1).drawVelocity = 1;
    doc->Channel(2).accelerationValid = 1;
    doc->Channel(2).drawAcceleration = 1;
    doc->Channel(2).show = 0;  // hidden channel: no row, no column
    FillStatusTable(grid, doc.get());
    EXPECT_TRUE(grid.Column(kStatusIntensity).hidden);
    EXPECT_FALSE(grid.Column(kStatusVelocity).hidden);
    EXPECT_TRUE(grid.Column(kStatusAcceleration).hidden);

    // Without a document the table is emptied and curve columns stay as set.
    FillStatusTable(grid, nullptr);
    EXPECT_EQ(grid.GetRowCount(), 0);
}

}  // namespace
}  // namespace vocomet
