#include "app/PictureExport.h"

#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "core/CChannels.h"
#include "support/ScriptedPrompts.h"

namespace vocomet {
namespace {

TEST(PrintFrame, PlotAndUnitOverResolutionsAndUnits) {
    struct Row {
        int dpi;
        double width, height;
        bool inches;
        platform::Rect plot;
        int unit;
    };
    const Row rows[] = {
        {600, 6.0, 4.0, true, {600, 600, 600 + 3600, 600 + 2400}, 5},
        {300, 6.0, 4.0, true, {300, 300, 300 + 1800, 300 + 1200}, 2},
        {96, 6.0, 4.0, true, {96, 96, 96 + 576, 96 + 384}, 3},
        // Centimetres count 2.5 to the inch.
        {600, 15.0, 10.0, false, {600, 600, 600 + 3600, 600 + 2400}, 5},
        {300, 10.0, 5.0, false, {300, 300, 300 + 1200, 300 + 600}, 2},
        {96, 7.5, 2.5, false, {96, 96, 96 + 288, 96 + 96}, 3},
        // Fractions are cut, not rounded.
        {96, 1.99, 1.0, true, {96, 96, 96 + 191, 96 + 96}, 3},
    };
    for (const Row& r : rows) {
        const PrintFrame f = PrintFrameGeometry(r.dpi, r.dpi, r.width, r.height, r.inches);
        EXPECT_EQ(f.plot, r.plot) << r.dpi << " dpi " << r.width << (r.inches ? " in" : " cm");
        EXPECT_EQ(f.unit, r.unit) << r.dpi;
    }
    EXPECT_EQ(PrintUnit(1200), 10);
    EXPECT_EQ(PrintUnit(0), 3);
    // A page of different resolutions across and down.
    const PrintFrame f = PrintFrameGeometry(600, 300, 2.0, 2.0, true);
    EXPECT_EQ(f.plot, (platform::Rect{600, 300, 1800, 900}));
}

TEST(PrintFrame, APlotLargerThanThePageIsScaledDownToFitAndOneThatFitsIsKept) {
    struct Row {
        const char* page;
        int pageWidth, pageHeight;  // printable, at 600 dpi
        double width, height;
        bool inches;
        platform::Rect plot;
    };
    const Row rows[] = {
        // 6 x 4 inches fit on both: as set.
        {"A4", 4960, 7016, 6.0, 4.0, true, {600, 600, 4200, 3000}},
        {"Letter", 5100, 6600, 6.0, 4.0, true, {600, 600, 4200, 3000}},
        // 8 x 6 inches one inch in: 4060 pixels of room across on A4.
        {"A4", 4960, 7016, 8.0, 6.0, true, {600, 600, 600 + 4060, 600 + 3045}},
        {"Letter", 5100, 6600, 8.0, 6.0, true, {600, 600, 600 + 4200, 600 + 3150}},
        // Too tall: the height decides.
        {"Letter", 5100, 6600, 4.0, 12.0, true, {600, 600, 600 + 1900, 600 + 5700}},
        // 25 x 20 cm is 10 x 8 inches.
        {"A4", 4960, 7016, 25.0, 20.0, false, {600, 600, 600 + 4060, 600 + 3248}},
    };
    for (const Row& r : rows) {
        const PrintFrame f = PrintFrameGeometry(600, 600, r.width, r.height, r.inches, r.pageWidth, r.pageHeight);
        EXPECT_EQ(f.plot, r.plot) << r.page << " " << r.width << " x " << r.height;
        EXPECT_LE(f.plot.right, r.pageWidth - 300) << r.page;
        EXPECT_LE(f.plot.bottom, r.pageHeight - 300) << r.page;
    }
}

class PictureBoxes : public ::testing::Test {
protected:
    void SetUp() override {
        for (CChannels& c : channels) {
            c.show = 1;
            c.stripHeight = 100;
        }
        channels[1].stripHeight = 50;
    }
    std::array<CChannels, 3> channels;
};

TEST_F(PictureBoxes, PrintBoxesShareThePlotAndSkipHiddenChannels) {
    const platform::Rect plot{600, 600, 4200, 3000};
    // S = (100 + 5 + 50 + 5 + 100 + 5) x 5 = 1325; A = 2400 / 1325.
    std::vector<PictureBox> boxes = PrintBoxes(channels, plot, 5);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0], (PictureBox{0, {600, 600, 4200, 600 + 905}}));  // 500 x A = 905.66
    EXPECT_EQ(boxes[1], (PictureBox{1, {600, 1530, 4200, 1530 + 452}}));
    EXPECT_EQ(boxes[2], (PictureBox{2, {600, 2007, 4200, 2007 + 905}}));

    channels[1].show = 0;  // no room and no gap
    boxes = PrintBoxes(channels, plot, 5);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].slot, 0);
    EXPECT_EQ(boxes[1].slot, 2);
    EXPECT_EQ(boxes[0].rect.Height(), 1142);  // 500 x 2400 / 1050
    EXPECT_EQ(boxes[1].rect.top, boxes[0].rect.bottom + 25);

    for (CChannels& c : channels)
        c.show = 0;
    EXPECT_TRUE(PrintBoxes(channels, plot, 5).empty());
    // A single channel is shown whatever its flag.
    boxes = PrintBoxes(std::span<CChannels>(channels.data(), 1), plot, 3);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].rect.Height(), 2285);  // 300 x 2400 / 315
}

TEST_F(PictureBoxes, BitmapBoxesScaleTheScreenStackWithUnscaledGaps) {
    // The screen stack: 100 + 5 + 50 + 5 + 100 + 5 = 265.
    std::vector<PictureBox> boxes = BitmapBoxes(channels, 566, 530, 265);
    ASSERT_EQ(boxes.size(), 3u);
    EXPECT_EQ(boxes[0], (PictureBox{0, {0, 0, 566, 200}}));
    EXPECT_EQ(boxes[1], (PictureBox{1, {0, 205, 566, 305}}));
    EXPECT_EQ(boxes[2], (PictureBox{2, {0, 310, 566, 510}}));

    channels[0].show = 0;
    boxes = BitmapBoxes(channels, 566, 530, 160);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0], (PictureBox{1, {0, 0, 566, 165}}));
    EXPECT_EQ(boxes[1], (PictureBox{2, {0, 170, 566, 501}}));

    for (CChannels& c : channels)
        c.show = 0;
    EXPECT_TRUE(BitmapBoxes(channels, 566, 530, 0).empty());
    EXPECT_TRUE(BitmapBoxes(channels, 566, 530, 265).empty());
}

TEST(PictureSizes, BitmapSizeCountsTwentyFiveMillimetresToTheInch) {
    const PictureSize in = BitmapPictureSize(6.0, 4.0, true, 96 / 25.4, 96 / 25.4);
    EXPECT_EQ(in.width, 566);  // 6 x 25 x 3.7795
    EXPECT_EQ(in.height, 377);
    const PictureSize cm = BitmapPictureSize(6.0, 4.0, false, 4.0, 3.0);
    EXPECT_EQ(cm.width, 240);
    EXPECT_EQ(cm.height, 120);
    const PictureSize negative = BitmapPictureSize(-1.0, 4.0, true, 4.0, 4.0);
    EXPECT_LT(negative.width, 0);
}

TEST(PictureNames, DefaultBitmapNameDropsOnlyAnExtension) {
    const std::pair<const char*, const char*> table[] = {
        {"take1.vcm", "bmp_take1"},   {"Untitled", "bmp_Untitled"}, {"voice.aiff", "bmp_voice"},
        {"a.b.wav", "bmp_a.b"},       {".hidden", "bmp_.hidden"},   {"dir.x/name", "bmp_dir.x/name"},
        {"", "bmp_"},
    };
    for (const auto& [title, name] : table)
        EXPECT_EQ(DefaultBitmapName(title), name) << title;
}

TEST(PictureNames, AskBitmapSavePathAsksForANewBmpFile) {
    test::ScriptedPrompts prompts;
    prompts.paths.push_back(std::string("/tmp/out.bmp"));
    prompts.paths.push_back(std::nullopt);
    EXPECT_EQ(AskBitmapSavePath(prompts, "bmp_take1"), "/tmp/out.bmp");
    EXPECT_EQ(AskBitmapSavePath(prompts, "ScreenDump"), "");
    ASSERT_EQ(prompts.saveRequests.size(), 2u);
    const platform::FileDialogRequest& r = prompts.saveRequests[0];
    EXPECT_EQ(r.title, "Save As bmp");
    EXPECT_EQ(r.filter, "Bitmap files (*.bmp)|*.bmp||");
    EXPECT_EQ(r.defaultSuffix, "bmp");
    EXPECT_EQ(r.initialPath, "bmp_take1");
    EXPECT_EQ(prompts.openRequests.size(), 0u);  // a save dialog, never an open one
}

}  // namespace
}  // namespace vocomet
