#pragma once
// A label's 60-byte font record and the QFont the font dialog works on.
//
// The record is shown as ToQFont (QtText.h) makes it. What the user chose
// goes back into the record field by field, and only for what the choice
// changed: face, size, weight, italic, underline and strike-out. The other
// fields (width, escapement, orientation, character set, precisions,
// quality, pitch and family), and every field the user left alone, keep the
// bytes the file carried.

#include <QFont>

#include "platform/WinTypes.h"

namespace vocomet {

// The font's height in pixels: its pixel size, or its point size at the
// screen's logical resolution (96 dpi without a screen).
int FontPixelHeight(const QFont& font);

// record with the changes that lead from shown (the font the dialog started
// from) to chosen.
platform::LogFontA MergeChosenFont(const platform::LogFontA& record, const QFont& shown, const QFont& chosen);

}  // namespace vocomet
