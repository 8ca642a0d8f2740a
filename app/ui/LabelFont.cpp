#include "app/ui/LabelFont.h"

#include <QGuiApplication>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "widgets/QtText.h"

namespace vocomet {

int FontPixelHeight(const QFont& font) {
    if (font.pixelSize() > 0)
        return font.pixelSize();
    double dpi = 96.0;
    if (const QScreen* screen = QGuiApplication::primaryScreen(); screen && screen->logicalDotsPerInchY() > 0)
        dpi = screen->logicalDotsPerInchY();
    return std::max(1, static_cast<int>(std::lround(font.pointSizeF() * dpi / 72.0)));
}

platform::LogFontA MergeChosenFont(const platform::LogFontA& record, const QFont& shown, const QFont& chosen) {
    platform::LogFontA lf = record;
    if (chosen.family().compare(shown.family(), Qt::CaseInsensitive) != 0)
        lf.faceName = ToCp1252(chosen.family()).substr(0, platform::LogFontA::kFaceNameSize - 1);
    if (FontPixelHeight(chosen) != FontPixelHeight(shown))
        lf.height = -FontPixelHeight(chosen);  // a character height, as the font dialog gives it
    if (chosen.weight() != shown.weight())
        lf.weight = chosen.weight();
    if (chosen.italic() != shown.italic())
        lf.italic = chosen.italic() ? 1 : 0;
    if (chosen.underline() != shown.underline())
        lf.underline = chosen.underline() ? 1 : 0;
    if (chosen.strikeOut() != shown.strikeOut())
        lf.strikeOut = chosen.strikeOut() ? 1 : 0;
    return lf;
}

}  // namespace vocomet
