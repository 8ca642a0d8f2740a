#include "app/ButtonLayout.h"

#include <gtest/gtest.h>

namespace vocomet {
namespace {

TEST(ButtonLayout, ImagePlacementByAlignment) {
    const platform::Rect item{0, 0, 100, 40};
    struct Row {
        int alignment;
        bool caption;
        bool shifted;
        platform::Rect image;
        platform::Rect caption_;
    };
    const Row rows[] = {
        // Left: 3 pixels in, caption right of it; centred without a caption.
        {0, true, false, {3, 12, 19, 28}, {19, 0, 100, 40}},
        {0, false, false, {42, 12, 58, 28}, item},
        // Above: centred across, top at 3, caption below the icon.
        {1, true, false, {42, 3, 58, 19}, {0, 16, 100, 40}},
        {1, false, false, {42, 12, 58, 28}, item},
        // Right: 3 pixels from the right edge; caption from 3 to width - icon - 3.
        {2, true, false, {81, 12, 97, 28}, {3, 0, 81, 40}},
        {2, false, false, {42, 0, 58, 16}, item},
        // A pressed push button moves the image one pixel.
        {0, true, true, {4, 13, 20, 29}, {19, 0, 100, 40}},
    };
    for (const Row& r : rows) {
        const ButtonPlacement p = PlaceButtonImage(item, item, 16, 16, r.caption, r.alignment, r.shifted);
        EXPECT_EQ(p.image, r.image) << r.alignment << " caption " << r.caption;
        EXPECT_EQ(p.caption, r.caption_) << r.alignment << " caption " << r.caption;
    }
    EXPECT_EQ(CentreButtonCaption({19, 0, 100, 40}, 41, 14), (platform::Rect{39, 13, 80, 27}));
}

TEST(ButtonLayout, LookByState) {
    ButtonState flat;
    ButtonLook look = ButtonLookOf(flat);
    EXPECT_EQ(look.border, ButtonBorder::None);
    EXPECT_EQ(look.backgroundSlot, kButtonBackgroundOut);
    EXPECT_FALSE(look.captionIn);

    flat.hover = true;  // rises
    look = ButtonLookOf(flat);
    EXPECT_EQ(look.border, ButtonBorder::Raised);
    EXPECT_EQ(look.backgroundSlot, kButtonBackgroundIn);
    EXPECT_TRUE(look.captionIn);
    flat.drawBorder = false;
    EXPECT_EQ(ButtonLookOf(flat).border, ButtonBorder::None);

    flat.drawBorder = true;
    flat.selected = true;
    look = ButtonLookOf(flat);
    EXPECT_TRUE(look.pressed);
    EXPECT_EQ(look.border, ButtonBorder::Sunken);
    EXPECT_TRUE(look.shifted);

    ButtonState raised;
    raised.flat = false;
    raised.defaultButton = true;
    look = ButtonLookOf(raised);
    EXPECT_EQ(look.border, ButtonBorder::Classic3D);
    EXPECT_TRUE(look.blackFrame);
    raised.selected = true;
    EXPECT_EQ(ButtonLookOf(raised).border, ButtonBorder::ShadowFrame);

    // Focus rectangle: raised buttons, flat ones only when asked.
    ButtonState focused;
    focused.focused = true;
    EXPECT_FALSE(ButtonLookOf(focused).focusRect);
    focused.flatFocus = true;
    EXPECT_TRUE(ButtonLookOf(focused).focusRect);
}

TEST(ButtonLayout, CheckBoxIsPressedWhileCheckedAndKeepsItsCaptionStill) {
    ButtonState box;
    box.checkBoxMode = true;
    box.hasOutIcon = true;
    box.hover = true;
    ButtonLook look = ButtonLookOf(box);
    EXPECT_FALSE(look.pressed);
    EXPECT_TRUE(look.outIcon);  // hovering does not pick the in icon of a check box
    box.checked = true;
    look = ButtonLookOf(box);
    EXPECT_TRUE(look.pressed);
    EXPECT_FALSE(look.outIcon);
    EXPECT_FALSE(look.shifted);
    EXPECT_EQ(look.border, ButtonBorder::Sunken);

    ButtonState push;
    push.hasOutIcon = true;
    EXPECT_TRUE(ButtonLookOf(push).outIcon);
    push.hover = true;
    EXPECT_FALSE(ButtonLookOf(push).outIcon);
    push.checked = true;  // not a check box: the state means nothing
    push.hover = false;
    EXPECT_FALSE(ButtonLookOf(push).pressed);
}

}  // namespace
}  // namespace vocomet
