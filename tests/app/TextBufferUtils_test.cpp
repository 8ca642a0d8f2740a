#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "app/TextBufferUtils.h"
#include "platform/File.h"

using namespace vocomet;

namespace {

TEST(TextFields, BuildersAppendFieldsAndLineEnds) {
    std::string s = "x";
    EXPECT_EQ(AppendIntField(s, -12, 0), 5);
    EXPECT_EQ(s, "x-12\t");
    EXPECT_EQ(AppendTextField(s, "F1", 0), 8);
    EXPECT_EQ(AppendQuotedTextField(s, "", 0), 11);
    EXPECT_EQ(s, "x-12\tF1\t\"\"\t");
    EXPECT_EQ(AppendIntField(s, 99, 1), 13);  // value ignored at the line end
    EXPECT_EQ(s, "x-12\tF1\t\"\"\t\r\n");
    EXPECT_EQ(AppendTextField(s, "ignored", 1), 15);
    EXPECT_EQ(AppendQuotedTextField(s, "ignored", 2), 17);
    EXPECT_EQ(s.substr(13), "\r\n\r\n");
}

TEST(TextFields, FindNextQuoteTable) {
    struct Case {
        const char* text;
        int start;
        int expected;
    };
    const Case cases[] = {
        {"ab\"cd\"", 0, 2}, {"ab\"cd\"", 2, 2}, {"ab\"cd\"", 3, 5}, {"ab\"cd\"", 6, -1}, {"ab\"cd\"", 60, -1},
        {"abc", 0, -1},     {"", 0, -1},        {"\"", -1, -1},    {"\"", 0, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindNextQuote(c.text, c.start), c.expected) << c.text << " @" << c.start;
    // The text ends at its NUL.
    EXPECT_EQ(FindNextQuote(std::string_view("ab\0\"", 4), 0), -1);
}

TEST(TextFields, GetTextSizeUsesTheFont) {
    platform::FixedWidthMeasurer m(7, 15);
    platform::LogFontA f;
    f.height = -12;
    EXPECT_EQ(GetTextSize(m, f, "abcd"), (platform::TextSize{28, 12}));
}

TEST(Conversions, BarkAndOdd) {
    EXPECT_NEAR(HzToBark(1000), 8.51, 0.01);
    EXPECT_DOUBLE_EQ(HzToBark(0), 0.0);
    EXPECT_NEAR(HzToBark(7500), 13 * std::atan(5.7) + 3.5 * std::atan(1.0), 1e-12);
    for (int v : {1, -1, 3, -7, 2147483647})
        EXPECT_TRUE(IsOdd(v)) << v;
    for (int v : {0, 2, -2, -2147483647 - 1})
        EXPECT_FALSE(IsOdd(v)) << v;
}

}  // namespace
