#pragma once
// Pixel rectangles between the drawing code's Windows-style edges (right and
// bottom one past the last pixel) and QRect.

#include <QRect>
#include <algorithm>

#include "platform/WinTypes.h"

namespace vocomet {

inline int RightOf(const QRect& r) { return r.x() + r.width(); }
inline int BottomOf(const QRect& r) { return r.y() + r.height(); }
// The rectangle between the given edges; empty, not inverted, when they cross.
inline QRect FromEdges(int left, int top, int right, int bottom) {
    return QRect(left, top, std::max(right - left, 0), std::max(bottom - top, 0));
}
inline QRect ToQRect(const platform::Rect& r) { return FromEdges(r.left, r.top, r.right, r.bottom); }

}  // namespace vocomet
