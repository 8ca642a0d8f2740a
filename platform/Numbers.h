#pragma once
// Number texts written to and read from files and the screen, independent of
// the user's locale (always '.' as the decimal point, no grouping).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Fixed notation with the given number of decimals ("%.*f").
std::string FormatFixed(double value, int decimals);
// Shortest text that reads back to the same double.
std::string FormatDouble(double value);
std::string FormatInt(long long value);

// Whole text must be a number (surrounding blanks allowed). Accepts a leading
// '+', and for doubles exponent forms. No value for anything else, including
// out-of-range values.
std::optional<double> ParseDouble(std::string_view text);
std::optional<long long> ParseInt(std::string_view text);

// Reads a number at the start of the text like the C library's atof/atoi
// (leading blanks skipped, trailing text ignored, 0 when none).
double LeadingDouble(std::string_view text);
long long LeadingInt(std::string_view text);

// Number of whole values a real count stands for: 0 for counts below 1 and
// NaN, capped where doubles stop holding every integer.
inline std::int64_t WholeCount(double count) {
    if (!(count >= 1.0))
        return 0;
    if (count >= 9.0e15)
        return static_cast<std::int64_t>(9.0e15);
    return static_cast<std::int64_t>(count);
}

}  // namespace platform
