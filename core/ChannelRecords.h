#pragma once
// The records a channel keeps in its lists: labels, measured points, glottal
// cycles and calibration records. All are plain values, copied whole.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "platform/WinTypes.h"

namespace vocomet {

// A text placed at a time and a height in a channel's strip.
struct LABEL {
    // The text is stored as in the native file: at most 255 bytes and a NUL.
    static constexpr std::size_t kTextSize = 256;
    static constexpr std::size_t kMaxTextLength = kTextSize - 1;

    enum Anchoring : std::int32_t {
        kAnchorLeft = 0,    // the text starts at the label's x
        kAnchorCentre = 1,  // the text is centred on it
        kAnchorRight = 2,   // the text ends at it
    };

    std::array<char, kTextSize> text{};  // NUL-terminated, Windows-1252
    std::int32_t anchoring = kAnchorLeft;
    platform::LogFontA font;
    platform::ColorRef colour = 0;
    double time = 0.0;            // ms from the start of the channel
    double relativeHeight = 0.0;  // (y - strip top) / (strip bottom - strip top) of the text's top
    platform::Rect rect;          // drawn rectangle in view pixels, set at each placement
    std::int8_t markerLine = 0;   // nonzero: a vertical line is drawn through the strip at the label

    // The text up to its NUL.
    std::string_view Text() const;
    // Stores text up to its first NUL, cut to 255 bytes; the rest is zeroed.
    void SetText(std::string_view value);

    bool operator==(const LABEL&) const = default;
};

// A measured point of a channel.
struct ArrayData {
    double sampleIndex = 0.0;
    double time = 0.0;  // ms: ms per sample x index
    double amplitude = 0.0;

    bool operator==(const ArrayData&) const = default;
};

// One glottal cycle of the EGG analysis: 37 values.
struct ArrayCycle {
    // A point on the signal: time (ms), amplitude, sample index.
    struct Point {
        double time = 0.0;
        double amplitude = 0.0;
        double sampleIndex = 0.0;
        bool operator==(const Point&) const = default;
    };
    // An extreme of the velocity curve: sample index, value, time (ms).
    struct Extreme {
        double sampleIndex = 0.0;
        double value = 0.0;
        double time = 0.0;
        bool operator==(const Extreme&) const = default;
    };

    Point start;          // the valley that opens the cycle
    Point end;            // the valley that opens the next cycle
    Point peak;
    Point criterionRise;  // rising crossing of the criterion level
    Point criterionFall;  // falling crossing of the criterion level
    Point rise10;         // rising crossing of the 10 % level
    Point rise90;         // rising crossing of the 90 % level
    Point fall90;         // falling crossing of the 90 % level
    Point fall10;         // falling crossing of the 10 % level
    double cq = 0.0;
    double cqH = 0.0;
    double cqPM = 0.0;
    double cqHT = 0.0;
    Extreme velocityMax;
    Extreme velocityMin;

    bool operator==(const ArrayCycle&) const = default;
};

// An element of a channel's calibration list (16 bytes, kept as they are).
struct CALDATA {
    std::array<std::uint8_t, 16> bytes{};

    bool operator==(const CALDATA&) const = default;
};

}  // namespace vocomet
