#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "app/TextBufferUtils.h"
#include "platform/File.h"

using namespace vocomet;
using platform::FloatBlock;
using platform::Int16Block;

namespace {

FloatBlock Block(std::vector<float> v) {
    FloatBlock b = FloatBlock::Allocate(v.size());
    for (std::size_t i = 0; i < v.size(); ++i)
        b[i] = v[i];
    return b;
}

std::vector<float> Values(const FloatBlock& b) { return std::vector<float>(b.begin(), b.end()); }

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

TEST(SampleBuffers, CopiesAreBoundsChecked) {
    FloatBlock src = Block({1, 2, 3, 4, 5});
    FloatBlock dst = FloatBlock::Allocate(3);
    CopySamples32(src, dst, 3, 2);
    EXPECT_EQ(Values(dst), (std::vector<float>{3, 4, 5}));

    struct Case {
        int count, start;
    };
    for (Case c : {Case{4, 2}, Case{3, 3}, Case{-1, 0}, Case{1, -1}, Case{4, 0}}) {
        FloatBlock d = Block({9, 9, 9});
        CopySamples32(src, d, c.count, c.start);
        EXPECT_EQ(Values(d), (std::vector<float>{9, 9, 9})) << c.count << "," << c.start;
    }
    FloatBlock null;
    CopySamples32(null, dst, 1, 0);
    CopySamples32(src, null, 1, 0);
    EXPECT_TRUE(null.IsNull());

    Int16Block s16 = Int16Block::Allocate(4);
    s16[3] = -7;
    Int16Block d16 = Int16Block::Allocate(1);
    CopySamples16(s16, d16, 1, 3);
    EXPECT_EQ(d16[0], -7);
}

TEST(SampleBuffers, InsertAtEveryPosition) {
    struct Case {
        int position;
        std::vector<float> expected;
    };
    const Case cases[] = {
        {0, {8, 9, 1, 2, 3}},
        {1, {1, 8, 9, 2, 3}},
        {3, {1, 2, 3, 8, 9}},
    };
    for (const Case& c : cases) {
        FloatBlock dst = Block({1, 2, 3});
        FloatBlock ins = Block({8, 9});
        FloatBlock out = InsertSamples32(dst, ins, 3, 2, c.position);
        EXPECT_EQ(Values(out), c.expected) << c.position;
        EXPECT_TRUE(dst.IsNull());  // the old block is gone only after success
    }
    FloatBlock none;
    FloatBlock ins = Block({4, 5});
    EXPECT_EQ(Values(InsertSamples32(none, ins, 0, 2, 0)), (std::vector<float>{4, 5}));
}

TEST(SampleBuffers, AFailedInsertLeavesTheDestinationValid) {
    FloatBlock ins = Block({8});
    FloatBlock null;
    struct Case {
        const FloatBlock* inserted;
        int destCount, insCount, position;
    };
    const Case cases[] = {
        {&null, 3, 1, 0}, {&ins, 3, 0, 0}, {&ins, 3, 2, 0}, {&ins, 4, 1, 0}, {&ins, 3, 1, 4}, {&ins, 3, 1, -1},
    };
    for (const Case& c : cases) {
        FloatBlock dst = Block({1, 2, 3});
        EXPECT_THROW(InsertSamples32(dst, *c.inserted, c.destCount, c.insCount, c.position), platform::UserException);
        EXPECT_EQ(Values(dst), (std::vector<float>{1, 2, 3}));
    }
}

TEST(SampleBuffers, ReallocReturnsAFreshZeroedBlock) {
    FloatBlock b = Block({1, 2});
    FloatBlock n = ReallocGlobalBuffer(b, 4 * sizeof(float));
    EXPECT_TRUE(b.IsNull());
    ASSERT_EQ(n.size(), 4u);
    EXPECT_EQ(Values(n), (std::vector<float>{0, 0, 0, 0}));
    EXPECT_TRUE(ReallocGlobalBuffer(n, 0).IsNull());
}

TEST(Conversions, BarkOddAndByteOrder) {
    EXPECT_NEAR(HzToBark(1000), 8.51, 0.01);
    EXPECT_DOUBLE_EQ(HzToBark(0), 0.0);
    EXPECT_NEAR(HzToBark(7500), 13 * std::atan(5.7) + 3.5 * std::atan(1.0), 1e-12);
    for (int v : {1, -1, 3, -7, 2147483647})
        EXPECT_TRUE(IsOdd(v)) << v;
    for (int v : {0, 2, -2, -2147483647 - 1})
        EXPECT_FALSE(IsOdd(v)) << v;
    EXPECT_EQ(SwapInt16(0x1234), 0x3412);
    EXPECT_EQ(SwapInt16(static_cast<std::int16_t>(0xFF00)), 0x00FF);
    EXPECT_EQ(SwapInt32(0x01020304), 0x04030201);
    EXPECT_EQ(SwapInt32(static_cast<std::int32_t>(0x800000FF)), static_cast<std::int32_t>(0xFF000080));
    const std::uint8_t src[3] = {1, 2, 3};
    std::uint8_t dst[3];
    ReverseBytes(src, dst, 3);
    EXPECT_EQ(dst[0], 3);
    EXPECT_EQ(dst[2], 1);
    const std::uint8_t be[8] = {0xC0, 0x09, 0x21, 0xFB, 0x54, 0x44, 0x2D, 0x18};
    EXPECT_DOUBLE_EQ(SwapDouble(be), -3.141592653589793);
}

}  // namespace
