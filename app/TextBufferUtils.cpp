#include "app/TextBufferUtils.h"

#include <cmath>

#include "analysis/FormantChart.h"

namespace vocomet {

namespace {
int EndLine(std::string& line) {
    line += "\r\n";
    return static_cast<int>(line.size());
}
}  // namespace

int AppendIntField(std::string& line, int value, int eolFlag) {
    if (eolFlag)
        return EndLine(line);
    line += std::to_string(value);
    line += '\t';
    return static_cast<int>(line.size());
}

int AppendTextField(std::string& line, std::string text, int eolFlag) {
    if (eolFlag)
        return EndLine(line);
    line += text;
    line += '\t';
    return static_cast<int>(line.size());
}

int AppendQuotedTextField(std::string& line, std::string text, int eolFlag) {
    if (eolFlag)
        return EndLine(line);
    line += '"';
    line += text;
    line += "\"\t";
    return static_cast<int>(line.size());
}

int FindNextQuote(std::string_view text, int start) {
    // The text ends at its first NUL, as a C string would.
    std::size_t end = text.find('\0');
    if (end == std::string_view::npos)
        end = text.size();
    if (start < 0 || static_cast<std::size_t>(start) >= end)
        return -1;
    std::size_t q = text.substr(0, end).find('"', static_cast<std::size_t>(start));
    return q == std::string_view::npos ? -1 : static_cast<int>(q);
}

platform::TextSize GetTextSize(const platform::TextMeasurer& measurer, const platform::LogFontA& font,
                               std::string_view text) {
    return measurer.Measure(font, text);
}

double HzToBark(int hz) { return BarkOfHz(hz); }

bool IsOdd(int value) { return (value % 2) != 0; }

}  // namespace vocomet
