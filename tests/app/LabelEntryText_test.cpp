#include "app/LabelEntryText.h"

#include <gtest/gtest.h>

#include <string>

namespace vocomet {
namespace {

TEST(LabelEntryText, LimitCountsStoredBytes) {
    struct Case {
        std::string edit;
        LabelEntryCheck::Status status;
        std::size_t bytes;
    };
    const std::string e254(254, 'e');
    const Case cases[] = {
        {"", LabelEntryCheck::Ok, 0},
        {e254, LabelEntryCheck::Ok, 254},
        {e254 + "e", LabelEntryCheck::TooLong, 255},
        // é is two bytes of UTF-8 but one stored byte: 254 of them fit.
        {[] { std::string s; for (int i = 0; i < 254; ++i) s += "\xC3\xA9"; return s; }(), LabelEntryCheck::Ok, 254},
        // € is three bytes of UTF-8 and one stored byte (0x80).
        {std::string(253, 'x') + "\xE2\x82\xAC", LabelEntryCheck::Ok, 254},
        // A line break is stored as CR LF: two bytes.
        {std::string(252, 'x') + "\n" + "y", LabelEntryCheck::TooLong, 255},
        {std::string(251, 'x') + "\n" + "y", LabelEntryCheck::Ok, 254},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edit.size());
        const LabelEntryCheck check = CheckLabelEntryText(c.edit);
        EXPECT_EQ(check.status, c.status);
        EXPECT_EQ(check.byteCount, c.bytes);
        if (c.status == LabelEntryCheck::TooLong) {
            EXPECT_EQ(check.message, "Please enter no more than 254 characters.");
            EXPECT_TRUE(check.bytes.empty());
        } else {
            EXPECT_EQ(check.bytes.size(), c.bytes);
            EXPECT_TRUE(check.message.empty());
        }
    }
}

TEST(LabelEntryText, StoresWindows1252WithCrLf) {
    const LabelEntryCheck check = CheckLabelEntryText("caf\xC3\xA9\n\xE2\x82\xAC 5 ?");
    ASSERT_EQ(check.status, LabelEntryCheck::Ok);
    EXPECT_EQ(check.bytes, std::string("caf\xE9\r\n\x80 5 ?"));
    // A CR LF typed or pasted stays one line break.
    EXPECT_EQ(CheckLabelEntryText("a\r\nb").bytes, "a\r\nb");
}

TEST(LabelEntryText, RefusesCharactersWithoutAByte) {
    // Greek alpha, a CJK character, an emoji and NUL have no Windows-1252 byte.
    const LabelEntryCheck check =
        CheckLabelEntryText(std::string("a\xCE\xB1 b\xE4\xB8\xAD\xF0\x9F\x98\x80\xCE\xB1") + std::string(1, '\0'));
    ASSERT_EQ(check.status, LabelEntryCheck::NotEncodable);
    EXPECT_TRUE(check.bytes.empty());
    EXPECT_EQ(check.offending, std::string("\xCE\xB1\xE4\xB8\xAD\xF0\x9F\x98\x80") + std::string(1, '\0'));
    EXPECT_NE(check.message.find("\xCE\xB1"), std::string::npos);
    EXPECT_NE(check.message.find("cannot hold"), std::string::npos);
    // Refusing comes before counting: too long and unencodable names the characters.
    EXPECT_EQ(CheckLabelEntryText(std::string(300, 'x') + "\xCE\xB1").status, LabelEntryCheck::NotEncodable);
}

TEST(LabelEntryText, StoredTextRoundTripsThroughTheEditBox) {
    // Every byte but NUL, lines split by CR LF.
    std::string stored;
    for (int b = 1; b < 256; ++b)
        if (b != '\r' && b != '\n')
            stored += static_cast<char>(b);
    stored = stored.substr(0, 120) + "\r\n" + stored.substr(120);
    const std::string edit = LabelTextToEdit(stored);
    EXPECT_EQ(edit.find('\r'), std::string::npos);
    const LabelEntryCheck check = CheckLabelEntryText(edit, 1000);
    ASSERT_EQ(check.status, LabelEntryCheck::Ok) << check.message;
    EXPECT_EQ(check.bytes, stored);
}

}  // namespace
}  // namespace vocomet
