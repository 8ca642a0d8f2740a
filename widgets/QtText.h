#pragma once
// Bridges between stored text and font records and Qt: Windows-1252 bytes
// to QString and back, the logical-font record to QFont, colours, and a text
// measurer for headless code that places text.

#include <QColor>
#include <QFont>
#include <QString>
#include <string>
#include <string_view>

#include "platform/TextMeasurer.h"
#include "platform/WinTypes.h"

namespace vocomet {

QString FromCp1252(std::string_view bytes);
std::string ToCp1252(const QString& text);

// Negative heights are character heights, positive ones cell heights, both
// in pixels; 0 leaves the default size. A face that is not installed (or
// none) gives the desktop's default font, QGuiApplication::font().
QFont ToQFont(const platform::LogFontA& font);
platform::LogFontA ToLogFont(const QFont& font);

inline QColor ToQColor(platform::ColorRef c) {
    return QColor(platform::RedOf(c), platform::GreenOf(c), platform::BlueOf(c));
}
inline platform::ColorRef ToColorRef(const QColor& c) {
    return platform::Rgb(static_cast<std::uint8_t>(c.red()), static_cast<std::uint8_t>(c.green()),
                         static_cast<std::uint8_t>(c.blue()));
}

// Measures with QFontMetrics.
class QtTextMeasurer final : public platform::TextMeasurer {
public:
    platform::TextSize Measure(const platform::LogFontA& font, std::string_view text) const override;
};

}  // namespace vocomet
