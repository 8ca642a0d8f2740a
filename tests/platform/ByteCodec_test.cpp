#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <cstdint>
#include <vector>

#include "platform/ByteCodec.h"
#include "platform/WinTypes.h"

using namespace platform;

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(ByteCodec, IntegersMatchGoldenBytesInBothOrders) {
    std::uint8_t b[8] = {};
    PutI16LE(b, -2);
    EXPECT_EQ(Bytes(b, b + 2), (Bytes{0xFE, 0xFF}));
    PutI16BE(b, 0x1234);
    EXPECT_EQ(Bytes(b, b + 2), (Bytes{0x12, 0x34}));
    PutI32LE(b, 0x01020304);
    EXPECT_EQ(Bytes(b, b + 4), (Bytes{4, 3, 2, 1}));
    PutI32BE(b, -2);
    EXPECT_EQ(Bytes(b, b + 4), (Bytes{0xFF, 0xFF, 0xFF, 0xFE}));
    PutU32LE(b, 0xDEADBEEF);
    EXPECT_EQ(GetU32LE(b), 0xDEADBEEFu);
    EXPECT_EQ(GetU32BE(b), 0xEFBEADDEu);

    const std::uint8_t le[] = {0x00, 0x80};
    EXPECT_EQ(GetI16LE(le), -32768);
    EXPECT_EQ(GetI16BE(le), 128);
    const std::uint8_t i24[] = {0xFF, 0xFF, 0x7F};
    EXPECT_EQ(GetI24LE(i24), 0x7FFFFF);
    EXPECT_EQ(GetI24BE(i24), -129);  // 0xFFFF7F sign-extended
    const std::uint8_t neg24[] = {0x00, 0x00, 0x80};
    EXPECT_EQ(GetI24LE(neg24), -8388608);
}

TEST(ByteCodec, FloatsMatchIeeeGoldenBytes) {
    std::uint8_t b[8] = {};
    PutF32LE(b, 1.0f);
    EXPECT_EQ(Bytes(b, b + 4), (Bytes{0x00, 0x00, 0x80, 0x3F}));
    PutF32BE(b, -2.5f);
    EXPECT_EQ(Bytes(b, b + 4), (Bytes{0xC0, 0x20, 0x00, 0x00}));
    EXPECT_EQ(GetF32BE(b), -2.5f);
    PutF64LE(b, 1.0);
    EXPECT_EQ(Bytes(b, b + 8), (Bytes{0, 0, 0, 0, 0, 0, 0xF0, 0x3F}));
    PutF64BE(b, 0.1);
    EXPECT_EQ(Bytes(b, b + 8), (Bytes{0x3F, 0xB9, 0x99, 0x99, 0x99, 0x99, 0x99, 0x9A}));
    EXPECT_EQ(GetF64BE(b), 0.1);
}

TEST(ByteCodec, Extended80MatchesAiffRateFields) {
    struct Case {
        double value;
        std::array<std::uint8_t, 10> bytes;
    };
    const Case cases[] = {
        {44100.0, {0x40, 0x0E, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}},
        {22050.0, {0x40, 0x0D, 0xAC, 0x44, 0, 0, 0, 0, 0, 0}},
        {8000.0, {0x40, 0x0B, 0xFA, 0x00, 0, 0, 0, 0, 0, 0}},
        {1.0, {0x3F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0}},
        {-0.5, {0xBF, 0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0}},
        {0.0, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetExtended80BE(c.bytes.data()), c.value) << c.value;
        std::array<std::uint8_t, 10> out{};
        PutExtended80BE(out.data(), c.value);
        EXPECT_EQ(out, c.bytes) << c.value;
    }
    // Infinity and NaN carry no rate.
    const std::uint8_t inf[10] = {0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(GetExtended80BE(inf), 0.0);
    // Huge exponents saturate instead of becoming infinity.
    const std::uint8_t huge[10] = {0x7F, 0xFE, 0x80, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_TRUE(std::isfinite(GetExtended80BE(huge)));
}

TEST(ByteCodec, TextFieldsStayInsideTheirField) {
    std::uint8_t field[8];
    std::fill(std::begin(field), std::end(field), 0xAA);
    PutText(field, 6, "abcdefgh");
    EXPECT_EQ(Bytes(field, field + 8), (Bytes{'a', 'b', 'c', 'd', 'e', 0, 0xAA, 0xAA}));
    PutText(field, 6, "ab");
    EXPECT_EQ(Bytes(field, field + 6), (Bytes{'a', 'b', 0, 0, 0, 0}));
    // A field without NUL is read within its size, never beyond.
    const std::uint8_t full[] = {'x', 'y', 'z', 'q'};
    EXPECT_EQ(GetText(full, 3), "xyz");
}

TEST(ByteCodec, CheckedViewsRefuseFieldsOutsideTheBuffer) {
    std::uint8_t buf[6] = {1, 0, 0, 0, 2, 0};
    ByteView v(buf, sizeof buf);
    EXPECT_EQ(v.I32LE(0), 1);
    EXPECT_EQ(v.I16LE(4), 2);
    EXPECT_THROW(v.I32LE(3), std::out_of_range);
    EXPECT_THROW(v.F64LE(0), std::out_of_range);
    EXPECT_THROW(v.U8(6), std::out_of_range);
    EXPECT_THROW(v.Text(static_cast<std::size_t>(-1), 2), std::out_of_range);
    ByteSpan s(buf, sizeof buf);
    s.I16BE(4, 0x0102);
    EXPECT_EQ(buf[4], 1);
    EXPECT_THROW(s.I32BE(4, 0), std::out_of_range);
}

TEST(WinTypes, LogFontRecordRoundTripsAtItsOffsets) {
    LogFontA f;
    f.height = -14;
    f.width = 3;
    f.weight = 700;
    f.italic = 1;
    f.pitchAndFamily = 0x22;
    f.faceName = "Arial";
    std::uint8_t b[LogFontA::kSize];
    std::fill(std::begin(b), std::end(b), 0xCC);
    f.Encode(b);
    EXPECT_EQ(GetI32LE(b), -14);
    EXPECT_EQ(GetI32LE(b + 4), 3);
    EXPECT_EQ(GetI32LE(b + 16), 700);
    EXPECT_EQ(b[20], 1);
    EXPECT_EQ(b[27], 0x22);
    EXPECT_EQ(GetText(b + 28, 32), "Arial");
    EXPECT_EQ(b[59], 0);
    EXPECT_EQ(LogFontA::Decode(b), f);

    // A face name that fills its field is cut to 31 bytes plus the NUL.
    f.faceName = std::string(40, 'F');
    f.Encode(b);
    EXPECT_EQ(LogFontA::Decode(b).faceName, std::string(31, 'F'));
}

TEST(WinTypes, ColorRefIsBlueGreenRed) {
    EXPECT_EQ(Rgb(0x12, 0x34, 0x56), 0x00563412u);
    EXPECT_EQ(RedOf(0x00563412u), 0x12);
    EXPECT_EQ(BlueOf(0x00563412u), 0x56);
}

}  // namespace
