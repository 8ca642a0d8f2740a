#pragma once
// Pixel arithmetic shared by the drawing and the mouse code.

#include <algorithm>
#include <cmath>

namespace platform {

// Far outside any surface, well inside int (and inside what a painter's
// fixed-point coordinates can hold): where a huge or infinite value lands.
inline constexpr double kPixelLimit = 1.0e7;

// trunc(v) as a pixel coordinate, clamped into drawable coordinates; NaN
// counts as 0.
inline int Trunc(double v) {
    if (std::isnan(v))
        return 0;
    return static_cast<int>(std::clamp(v, -kPixelLimit, kPixelLimit));
}

}  // namespace platform
