#pragma once
// The decisions of the owner-drawn push button (CButtonST): how it looks in
// each state (background, border, caption colour, which icon, focus
// rectangle) and where its image and caption go. The widget only paints
// what these say.

#include "platform/WinTypes.h"

namespace vocomet {

// Image alignment of the button.
inline constexpr int kButtonImageLeft = 0;
inline constexpr int kButtonImageTop = 1;
inline constexpr int kButtonImageRight = 2;
// Colour slots: background and caption while hovered or pressed ("in"),
// background and caption otherwise ("out"; the out caption colour is kept
// but the normal text colour is what draws).
inline constexpr int kButtonBackgroundIn = 0;
inline constexpr int kButtonForegroundIn = 1;
inline constexpr int kButtonBackgroundOut = 2;
inline constexpr int kButtonForegroundOut = 3;

enum class ButtonBorder {
    None,
    Sunken,       // flat button, pressed: shadow top-left, highlight bottom-right
    Raised,       // flat button, hovered: highlight top-left, shadow bottom-right
    ShadowFrame,  // raised button, pressed: a frame in the shadow colour
    Classic3D,    // raised button at rest: highlight, light, dark shadow, shadow
};

struct ButtonState {
    bool flat = true;
    bool hover = false;
    bool selected = false;  // the mouse holds it down
    bool focused = false;
    bool disabled = false;
    bool defaultButton = false;
    bool checkBoxMode = false;
    bool checked = false;
    bool drawBorder = true;
    bool flatFocus = false;
    bool hasOutIcon = false;
};

struct ButtonLook {
    bool pressed = false;     // drawn pressed: selected, or checked in check-box mode
    bool blackFrame = false;  // a raised button with the focus or the default role
    int backgroundSlot = kButtonBackgroundOut;
    bool captionIn = false;  // caption in the "in" colour, else the normal text colour
    ButtonBorder border = ButtonBorder::None;
    bool outIcon = false;    // the out icon rather than the in icon
    bool shifted = false;    // image and caption one pixel right and down
    bool focusRect = false;  // dotted, 3 pixels inside the work rectangle
};
ButtonLook ButtonLookOf(const ButtonState& state);

// Where the image and the caption go in the item rectangle (the caption
// starts as the whole item rectangle). `client` is the button's client
// rectangle. `image` gets the icon's top-left corner and size.
struct ButtonPlacement {
    platform::Rect image;
    platform::Rect caption;
};
ButtonPlacement PlaceButtonImage(const platform::Rect& item, const platform::Rect& client, int iconWidth,
                                 int iconHeight, bool hasCaption, int alignment, bool shifted);

// A caption measured at textWidth x textHeight (word-broken in the caption
// rectangle), centred in that rectangle.
platform::Rect CentreButtonCaption(const platform::Rect& caption, int textWidth, int textHeight);

}  // namespace vocomet
