#include "app/ViewLayout.h"

#include <array>
#include <gtest/gtest.h>

namespace vocomet {
namespace {

using platform::Rect;

TEST(ViewLayout, OneChannelFillsTheClientHeightLessTheTimeAxisWhateverItsFlags) {
    std::array<CChannels, 1> channels;
    channels[0].show = 0;
    channels[0].stripHeight = 100;
    ViewLayout layout;
    layout.LayoutChannels(channels, Rect{0, 0, 800, 600});

    EXPECT_EQ(channels[0].strip, (Rect{50, 0, 795, 570}));
    EXPECT_EQ(channels[0].stripHeight, 570);
    EXPECT_EQ(layout.StackHeight(), 570);
    EXPECT_EQ(layout.Client(), (Rect{0, 0, 800, 600}));
}

TEST(ViewLayout, HiddenChannelsTakeNoRoomAndKeepTheirRectangles) {
    std::array<CChannels, 3> channels;
    channels[0].stripHeight = 100;
    channels[1].stripHeight = 80;
    channels[1].show = 0;
    channels[1].strip = Rect{1, 2, 3, 4};
    channels[2].stripHeight = 120;
    ViewLayout layout;
    layout.selectionBand = Rect{70, 9, 90, 9};
    layout.LayoutChannels(channels, Rect{0, 0, 640, 150});

    EXPECT_EQ(channels[0].strip, (Rect{50, 0, 635, 100}));
    EXPECT_EQ(channels[1].strip, (Rect{1, 2, 3, 4}));
    EXPECT_EQ(channels[2].strip, (Rect{50, 105, 635, 225}));
    // Taller than the window: the vertical bar scrolls the stack.
    EXPECT_EQ(layout.StackHeight(), 230);
    // Overlays span the stack; columns keep their x, the old marker is reset.
    EXPECT_EQ(layout.selectionBand, (Rect{70, 0, 90, 230}));
    EXPECT_EQ(layout.markerStrip.bottom, 230);
    EXPECT_EQ(layout.previousMarkerStrip, (Rect{0, 0, 0, 150}));
    EXPECT_EQ(layout.cursorStrip, (Rect{0, 0, 0, 150}));
}

TEST(ViewLayout, TinyWindowAndBadStripHeightsGiveEmptyStripsNotNegativeOnes) {
    std::array<CChannels, 1> one;
    ViewLayout layout;
    layout.LayoutChannels(one, Rect{0, 0, 20, 10});
    EXPECT_EQ(one[0].strip, (Rect{50, 0, 50, 0}));
    EXPECT_EQ(one[0].stripHeight, 0);

    std::array<CChannels, 2> two;
    two[0].stripHeight = -40;
    two[1].stripHeight = 60;
    layout.LayoutChannels(two, Rect{0, 0, 400, 300});
    EXPECT_EQ(two[0].strip, (Rect{50, 0, 395, 0}));
    EXPECT_EQ(two[1].strip, (Rect{50, 5, 395, 65}));
    EXPECT_EQ(layout.StackHeight(), 70);
}

TEST(ViewLayout, NoChannelsGiveAnEmptyStack) {
    ViewLayout layout;
    layout.LayoutChannels({}, Rect{0, 0, 400, 300});
    EXPECT_EQ(layout.StackHeight(), 0);
}

}  // namespace
}  // namespace vocomet
