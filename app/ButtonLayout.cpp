#include "app/ButtonLayout.h"

namespace vocomet {

ButtonLook ButtonLookOf(const ButtonState& s) {
    ButtonLook look;
    look.pressed = s.selected || (s.checkBoxMode && s.checked);
    look.blackFrame = !s.flat && (s.focused || s.defaultButton);
    const bool in = s.hover || look.pressed;
    look.backgroundSlot = in ? kButtonBackgroundIn : kButtonBackgroundOut;
    look.captionIn = in;
    if (look.pressed) {
        if (s.flat)
            look.border = s.drawBorder ? ButtonBorder::Sunken : ButtonBorder::None;
        else
            look.border = ButtonBorder::ShadowFrame;
    } else if (!s.flat) {
        look.border = ButtonBorder::Classic3D;
    } else if (s.hover && s.drawBorder) {
        look.border = ButtonBorder::Raised;
    }
    // A check box shows its out icon whenever it is not pressed, hovered or not.
    const bool atRest = s.checkBoxMode ? !look.pressed : !in;
    look.outIcon = atRest && s.hasOutIcon;
    look.shifted = look.pressed && !s.checkBoxMode;
    look.focusRect = s.focused && (!s.flat || s.flatFocus);
    return look;
}

ButtonPlacement PlaceButtonImage(const platform::Rect& item, const platform::Rect& client, int iconWidth,
                                 int iconHeight, bool hasCaption, int alignment, bool shifted) {
    ButtonPlacement p;
    p.caption = item;
    int left = item.left;
    int top = item.top;
    const int width = item.Width();
    const int height = item.Height();
    switch (alignment) {
    case kButtonImageTop:
        left += (width - iconWidth) / 2;
        if (hasCaption) {
            top = 3;
            p.caption.top += iconHeight;
        } else {
            top += (height - iconHeight) / 2;
        }
        break;
    case kButtonImageRight:
        if (!hasCaption) {
            left += (width - iconWidth) / 2;
        } else {
            p.caption.right = p.caption.Width() - iconWidth - 3;
            p.caption.left = 3;
            left = client.right - iconWidth - 3;
            top += (height - iconHeight) / 2;
        }
        break;
    default:  // image left of the caption
        if (hasCaption) {
            left += 3;
            p.caption.left += iconWidth + 3;
        } else {
            left += (width - iconWidth) / 2;
        }
        top += (height - iconHeight) / 2;
        break;
    }
    if (shifted) {
        ++left;
        ++top;
    }
    p.image = {left, top, left + iconWidth, top + iconHeight};
    return p;
}

platform::Rect CentreButtonCaption(const platform::Rect& caption, int textWidth, int textHeight) {
    const int left = caption.left + (caption.Width() - textWidth) / 2;
    const int top = caption.top + (caption.Height() - textHeight) / 2;
    return {left, top, left + textWidth, top + textHeight};
}

}  // namespace vocomet
