#include "analysis/SpectrogramPaneGeometry.h"

#include <gtest/gtest.h>

namespace vocomet {
namespace {

// Text of 40 x 14 pixels in a 500 x 400 pane.
SpectrogramLayoutInputs Pane(int labelHeight, bool audio) {
    SpectrogramLayoutInputs in;
    in.client = {0, 0, 500, 400};
    in.textWidth = 40;
    in.textHeight = 14;
    in.labelHeight = labelHeight;
    in.audioTrace = audio;
    return in;
}

TEST(SpectrogramLayout, StripsComeOffThePlotsTop) {
    // No labels, no audio: from the client top to 1.5 text heights above
    // the bottom, the frequency labels' width in from the left.
    SpectrogramLayout l = LayOutSpectrogram(Pane(0, false));
    EXPECT_EQ(l.plot, (platform::Rect{40, 0, 495, 379}));
    EXPECT_TRUE(l.labelStrip.IsEmpty());
    EXPECT_TRUE(l.audioStrip.IsEmpty());
    EXPECT_EQ(l.columns, 455);
    EXPECT_EQ(l.bins, 379);

    // Labels 20 high, then a quarter of the rest for the audio trace.
    l = LayOutSpectrogram(Pane(20, true));
    EXPECT_EQ(l.labelStrip, (platform::Rect{40, 0, 495, 20}));
    EXPECT_EQ(l.audioStrip, (platform::Rect{40, 21, 495, 21 + 358 / 4 - 1}));
    EXPECT_EQ(l.plot, (platform::Rect{40, 21 + 358 / 4, 495, 379}));
    EXPECT_EQ(l.bins, l.plot.Height());
}

TEST(SpectrogramLayout, TooSmallForOnePixelHasNoPlot) {
    for (const platform::Rect client : {platform::Rect{0, 0, 45, 400}, platform::Rect{0, 0, 500, 21},
                                        platform::Rect{0, 0, 0, 0}, platform::Rect{0, 0, 46, 22}}) {
        SpectrogramLayoutInputs in = Pane(0, false);
        in.client = client;
        const SpectrogramLayout l = LayOutSpectrogram(in);
        const bool fits = client.Width() - 45 >= 1 && client.Height() - 21 >= 1;
        EXPECT_EQ(l.HasPlot(), fits) << client.right << " x " << client.bottom;
        if (!fits) {
            EXPECT_EQ(l.columns, 0);
            EXPECT_EQ(l.bins, 0);
        }
    }
}

TEST(SpectrogramLayout, RowsAndFrequenciesMapBothWaysAndClamp) {
    const platform::Rect plot{40, 10, 440, 210};  // 200 rows of 25 Hz up to 5000 Hz
    EXPECT_DOUBLE_EQ(SpectrogramHzPerRow(plot, 5000.0), 25.0);
    EXPECT_DOUBLE_EQ(SpectrogramFrequencyAtY(plot, 5000.0, 209), 25.0);
    EXPECT_DOUBLE_EQ(SpectrogramFrequencyAtY(plot, 5000.0, 10), 5000.0);
    for (int y = 10; y < 210; ++y)
        EXPECT_EQ(SpectrogramYAtFrequency(plot, 5000.0, SpectrogramFrequencyAtY(plot, 5000.0, y)), y);
    // Outside the rows: the nearest row of the plot.
    EXPECT_EQ(SpectrogramYAtFrequency(plot, 5000.0, 0.0), 209);
    EXPECT_EQ(SpectrogramYAtFrequency(plot, 5000.0, -300.0), 209);
    EXPECT_EQ(SpectrogramYAtFrequency(plot, 5000.0, 1e9), 10);
    // No rows or no limit: nothing to divide by.
    EXPECT_DOUBLE_EQ(SpectrogramHzPerRow({0, 0, 10, 0}, 5000.0), 0.0);
    EXPECT_DOUBLE_EQ(SpectrogramHzPerRow(plot, 0.0), 0.0);
    EXPECT_EQ(SpectrogramYAtFrequency(plot, 0.0, 100.0), 209);
}

}  // namespace
}  // namespace vocomet
