#include "widgets/QtText.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QGuiApplication>
#include <algorithm>

#include "platform/TextEncoding.h"

namespace vocomet {

QString FromCp1252(std::string_view bytes) { return QString::fromStdString(platform::Cp1252ToUtf8(bytes)); }

std::string ToCp1252(const QString& text) { return platform::Utf8ToCp1252(text.toStdString()); }

QFont ToQFont(const platform::LogFontA& lf) {
    // Starts from the desktop's default font, which also stands in for a
    // face that is not installed.
    QFont f = QGuiApplication::font();
    if (!lf.faceName.empty()) {
        const QString family = FromCp1252(lf.faceName);
        if (QFontDatabase::families().contains(family, Qt::CaseInsensitive))
            f.setFamily(family);
    }
    if (lf.height < 0)
        f.setPixelSize(-lf.height);
    else if (lf.height > 0)
        f.setPixelSize(std::max(1, lf.height * 4 / 5));  // cell height includes the leading
    if (lf.weight > 0)
        f.setWeight(static_cast<QFont::Weight>(std::clamp(lf.weight, 1, 1000)));
    f.setItalic(lf.italic != 0);
    f.setUnderline(lf.underline != 0);
    f.setStrikeOut(lf.strikeOut != 0);
    return f;
}

platform::LogFontA ToLogFont(const QFont& f) {
    platform::LogFontA lf;
    lf.height = f.pixelSize() > 0 ? -f.pixelSize() : -QFontMetrics(f).ascent();
    lf.weight = f.weight();
    lf.italic = f.italic() ? 1 : 0;
    lf.underline = f.underline() ? 1 : 0;
    lf.strikeOut = f.strikeOut() ? 1 : 0;
    lf.faceName = ToCp1252(f.family());
    return lf;
}

platform::TextSize QtTextMeasurer::Measure(const platform::LogFontA& font, std::string_view text) const {
    QFontMetrics m(ToQFont(font));
    return {m.horizontalAdvance(FromCp1252(text)), m.height()};
}

}  // namespace vocomet
