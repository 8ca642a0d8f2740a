#pragma once
// Plain value types that stored files and settings share with the drawing
// code: the 60-byte logical-font record, 0x00BBGGRR colours and rectangles.

#include <cstdint>
#include <string>

namespace platform {

// Colour as stored in files: 0x00BBGGRR.
using ColorRef = std::uint32_t;
constexpr ColorRef Rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return static_cast<ColorRef>(r) | (static_cast<ColorRef>(g) << 8) | (static_cast<ColorRef>(b) << 16);
}
constexpr std::uint8_t RedOf(ColorRef c) { return static_cast<std::uint8_t>(c & 0xFF); }
constexpr std::uint8_t GreenOf(ColorRef c) { return static_cast<std::uint8_t>((c >> 8) & 0xFF); }
constexpr std::uint8_t BlueOf(ColorRef c) { return static_cast<std::uint8_t>((c >> 16) & 0xFF); }

// The logical-font record: five little-endian int32 fields, eight bytes and
// a 32-byte face name, 60 bytes in all.
struct LogFontA {
    static constexpr std::size_t kSize = 60;
    static constexpr std::size_t kFaceNameSize = 32;

    std::int32_t height = 0;
    std::int32_t width = 0;
    std::int32_t escapement = 0;
    std::int32_t orientation = 0;
    std::int32_t weight = 0;
    std::uint8_t italic = 0;
    std::uint8_t underline = 0;
    std::uint8_t strikeOut = 0;
    std::uint8_t charSet = 0;
    std::uint8_t outPrecision = 0;
    std::uint8_t clipPrecision = 0;
    std::uint8_t quality = 0;
    std::uint8_t pitchAndFamily = 0;
    std::string faceName;  // at most 31 bytes are stored

    // Reads and writes the record at p (60 bytes, little-endian fields).
    static LogFontA Decode(const std::uint8_t* p);
    void Encode(std::uint8_t* p) const;

    bool operator==(const LogFontA&) const = default;
};

// The system's default GUI font as our drawing code understands it.
LogFontA DefaultGuiFont();

struct Point {
    int x = 0;
    int y = 0;
    bool operator==(const Point&) const = default;
};

struct Rect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    bool Contains(Point p) const { return p.x >= left && p.x < right && p.y >= top && p.y < bottom; }
    bool operator==(const Rect&) const = default;
};

}  // namespace platform
