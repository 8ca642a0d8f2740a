#include <gtest/gtest.h>

#include <clocale>
#include <cmath>

#include "platform/Numbers.h"
#include "platform/TextEncoding.h"

using namespace platform;

namespace {

TEST(TextEncoding, Windows1252RoundTripsThroughUtf8) {
    const std::string cp = "caf\xE9 \x80 \x93x\x94 \x9F \x81";
    const std::string utf8 = Cp1252ToUtf8(cp);
    EXPECT_EQ(utf8, "caf\xC3\xA9 \xE2\x82\xAC \xE2\x80\x9Cx\xE2\x80\x9D \xC5\xB8 \xC2\x81");
    EXPECT_EQ(Utf8ToCp1252(utf8), cp);
    // Every byte survives the round trip.
    std::string all;
    for (int b = 1; b < 256; ++b)
        all += static_cast<char>(b);
    EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(TextEncoding, UnmappableAndMalformedUtf8) {
    EXPECT_EQ(Utf8ToCp1252("\xE6\x97\xA5 ok"), "? ok");   // CJK has no 1252 byte
    EXPECT_EQ(Utf8ToCp1252("a\xE9z"), "a\xE9z");           // a stray 1252 byte stays as it is
    EXPECT_EQ(Utf8ToCp1252("end\xC3"), "end\xC3");         // cut-short sequence
}

TEST(Numbers, FormattingIgnoresTheLocale) {
    // A locale with a decimal comma must not leak into files.
    const char* old = std::setlocale(LC_ALL, nullptr);
    std::string saved = old ? old : "C";
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    EXPECT_EQ(FormatFixed(3.14159, 2), "3.14");
    EXPECT_EQ(FormatFixed(-0.5, 0), "-0");
    EXPECT_EQ(FormatDouble(0.1), "0.1");
    EXPECT_EQ(ParseDouble("2.5"), 2.5);
    std::setlocale(LC_ALL, saved.c_str());
}

TEST(Numbers, ParsingTable) {
    struct Case {
        const char* text;
        std::optional<double> value;
    };
    const Case cases[] = {
        {"12", 12.0}, {" -3.5 ", -3.5}, {"+7", 7.0}, {"1e3", 1000.0}, {"", std::nullopt},
        {"abc", std::nullopt}, {"3,5", std::nullopt}, {"12abc", std::nullopt}, {"1e999", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseDouble(c.text), c.value) << c.text;

    EXPECT_EQ(ParseInt("42"), 42);
    EXPECT_EQ(ParseInt("-0"), 0);
    EXPECT_EQ(ParseInt("4.2"), std::nullopt);
    EXPECT_EQ(ParseInt("99999999999999999999"), std::nullopt);
    EXPECT_EQ(LeadingDouble("  12.5 Hz"), 12.5);
    EXPECT_EQ(LeadingDouble("Hz"), 0.0);
    EXPECT_EQ(LeadingInt("300ms"), 300);
}

}  // namespace
