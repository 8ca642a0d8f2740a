#pragma once
// Measures text in a given font, for code that places labels and captions
// without a widget. The application measures with Qt's font metrics; tests
// use a fixed-width measurer.

#include <string_view>

#include "platform/WinTypes.h"

namespace platform {

struct TextSize {
    int cx = 0;
    int cy = 0;
    bool operator==(const TextSize&) const = default;
};

class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    // Width and height in pixels of the Windows-1252 text in the font.
    virtual TextSize Measure(const LogFontA& font, std::string_view text) const = 0;
};

// Every character is charWidth wide; the height is the font's |height|
// (or lineHeight when the font has no height).
class FixedWidthMeasurer final : public TextMeasurer {
public:
    FixedWidthMeasurer(int charWidth = 8, int lineHeight = 16) : m_charWidth(charWidth), m_lineHeight(lineHeight) {}
    TextSize Measure(const LogFontA& font, std::string_view text) const override {
        int h = font.height < 0 ? -font.height : font.height;
        return {static_cast<int>(text.size()) * m_charWidth, h ? h : m_lineHeight};
    }

private:
    int m_charWidth;
    int m_lineHeight;
};

}  // namespace platform
