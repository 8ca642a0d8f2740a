#include "app/BitmapFile.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/ByteCodec.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

struct Case {
    int width;
    int height;
    int bits;
};

// The palette of a depth: distinct colours, entry i = 0x00RRGGBB.
std::vector<std::uint32_t> PaletteFor(int bits) {
    std::vector<std::uint32_t> p;
    const int n = BitmapPaletteEntries(bits);
    for (int i = 0; i < n; ++i)
        p.push_back(static_cast<std::uint32_t>((i * 37) & 0xFF) << 16 | static_cast<std::uint32_t>((i * 91) & 0xFF) << 8 |
                    static_cast<std::uint32_t>(255 - i));
    if (bits == 1)
        p = {0x000000, 0xFFFFFF};
    return p;
}

// The colour of picture pixel (x, y), top row 0, as 0x00RRGGBB.
std::uint32_t IndexAt(int x, int y, int bits) {
    const int entries = BitmapPaletteEntries(bits);
    return static_cast<std::uint32_t>((x + 3 * y) % entries);
}
std::uint32_t ColourAt(int x, int y, int bits, const std::vector<std::uint32_t>& palette) {
    if (bits == 24)
        return static_cast<std::uint32_t>(x * 40 % 256) << 16 | static_cast<std::uint32_t>(y * 60 % 256) << 8 |
               static_cast<std::uint32_t>((x + y) * 25 % 256);
    return palette[IndexAt(x, y, bits)];
}

// Packs picture row y in the file depth.
void PackRow(int y, int width, int bits, const std::vector<std::uint32_t>& palette, std::span<std::uint8_t> row) {
    for (int x = 0; x < width; ++x) {
        if (bits == 24) {
            const std::uint32_t c = ColourAt(x, y, bits, palette);
            row[3 * x] = static_cast<std::uint8_t>(c & 0xFF);
            row[3 * x + 1] = static_cast<std::uint8_t>((c >> 8) & 0xFF);
            row[3 * x + 2] = static_cast<std::uint8_t>((c >> 16) & 0xFF);
        } else {
            const std::uint32_t index = IndexAt(x, y, bits);
            const int bit = x * bits;
            const int shift = 8 - bits - bit % 8;
            row[bit / 8] = static_cast<std::uint8_t>(row[bit / 8] | (index << shift));
        }
    }
}

class BitmapFileTest : public ::testing::TestWithParam<Case> {};

TEST_P(BitmapFileTest, WritesHeadersPaletteAndPaddedRowsBottomUp) {
    const Case c = GetParam();
    const std::string dir = test::FreshTempDir();
    const std::string path = dir + "/picture.bmp";
    const std::vector<std::uint32_t> palette = PaletteFor(c.bits);
    BitmapDescription bitmap;
    bitmap.width = c.width;
    bitmap.height = c.height;
    bitmap.bitsPerPixel = c.bits;
    ASSERT_EQ(0, WriteBitmapFile(
                     bitmap, palette,
                     [&](std::int64_t y, std::span<std::uint8_t> row) {
                         PackRow(static_cast<int>(y), c.width, c.bits, palette, row);
                     },
                     path));

    const std::string bytes = test::ReadAll(path);
    const platform::ByteView b(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
    const int entries = BitmapPaletteEntries(c.bits);
    const std::uint32_t rowBytes = (c.bits * c.width + 31) / 32 * 4;
    const std::uint32_t imageSize = rowBytes * c.height;
    const std::uint32_t offset = 14 + 40 + 4 * entries;
    ASSERT_EQ(bytes.size(), offset + imageSize);
    EXPECT_EQ(bytes.substr(0, 2), "BM");
    EXPECT_EQ(b.U32LE(2), offset + imageSize);
    EXPECT_EQ(b.U16LE(6), 0);
    EXPECT_EQ(b.U16LE(8), 0);
    EXPECT_EQ(b.U32LE(10), offset);
    EXPECT_EQ(b.U32LE(14), 40u);
    EXPECT_EQ(b.I32LE(18), c.width);
    EXPECT_EQ(b.I32LE(22), c.height);
    EXPECT_EQ(b.U16LE(26), 1);
    EXPECT_EQ(b.U16LE(28), c.bits);
    EXPECT_EQ(b.U32LE(30), 0u);
    EXPECT_EQ(b.U32LE(34), imageSize);
    EXPECT_EQ(b.I32LE(38), 0);
    EXPECT_EQ(b.I32LE(42), 0);
    EXPECT_EQ(b.U32LE(46), static_cast<std::uint32_t>(entries));
    EXPECT_EQ(b.U32LE(50), 0u);
    for (int i = 0; i < entries; ++i) {
        const std::size_t at = 54 + 4 * static_cast<std::size_t>(i);
        EXPECT_EQ(b.U8(at), palette[i] & 0xFF) << i;
        EXPECT_EQ(b.U8(at + 1), (palette[i] >> 8) & 0xFF) << i;
        EXPECT_EQ(b.U8(at + 2), (palette[i] >> 16) & 0xFF) << i;
        EXPECT_EQ(b.U8(at + 3), 0) << i;
    }
    // File row i is picture row height - 1 - i; the padding is zero.
    for (int i = 0; i < c.height; ++i) {
        std::vector<std::uint8_t> expected(rowBytes, 0);
        PackRow(c.height - 1 - i, c.width, c.bits, palette, expected);
        const std::string stored = bytes.substr(offset + i * rowBytes, rowBytes);
        EXPECT_EQ(stored, std::string(expected.begin(), expected.end())) << "file row " << i;
    }

    // Another reader sees the same size and pixels.
    if (!test::HaveTool("convert"))
        GTEST_SKIP() << "ImageMagick is not installed";
    const std::string rgb = dir + "/picture.rgb";
    ASSERT_EQ(0, test::RunCommand("convert '" + path + "' -depth 8 'rgb:" + rgb + "' 2>/dev/null"));
    const std::string pixels = test::ReadAll(rgb);
    ASSERT_EQ(pixels.size(), static_cast<std::size_t>(3 * c.width * c.height));
    for (int y = 0; y < c.height; ++y) {
        for (int x = 0; x < c.width; ++x) {
            const std::uint32_t want = ColourAt(x, y, c.bits, palette);
            const std::size_t at = 3 * (static_cast<std::size_t>(y) * c.width + x);
            const std::uint32_t got = static_cast<std::uint32_t>(static_cast<std::uint8_t>(pixels[at])) << 16 |
                                      static_cast<std::uint32_t>(static_cast<std::uint8_t>(pixels[at + 1])) << 8 |
                                      static_cast<std::uint8_t>(pixels[at + 2]);
            ASSERT_EQ(got, want) << "pixel " << x << "," << y;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Depths, BitmapFileTest,
                         ::testing::Values(Case{1, 1, 1}, Case{13, 3, 1}, Case{40, 2, 1}, Case{5, 4, 4},
                                           Case{9, 2, 4}, Case{3, 3, 8}, Case{6, 2, 8}, Case{1, 5, 24},
                                           Case{3, 2, 24}, Case{4, 4, 24}, Case{17, 6, 24}));

TEST(BitmapFile, FileDepthFollowsPlanesTimesBits) {
    const std::pair<int, int> table[] = {{1, 1}, {2, 4}, {3, 4}, {4, 4}, {5, 8}, {8, 8}, {15, 24}, {16, 24}, {32, 24}};
    for (const auto& [bits, file] : table)
        EXPECT_EQ(BitmapFileBits(1, bits), file) << bits;
    EXPECT_EQ(BitmapFileBits(4, 1), 4);
}

TEST(BitmapFile, RefusesSizesOutOfRangeWithoutMakingAFile) {
    const std::string dir = test::FreshTempDir();
    const auto fill = [](std::int64_t, std::span<std::uint8_t>) {};
    const std::pair<std::int64_t, std::int64_t> sizes[] = {
        {0, 10}, {10, 0}, {-5, 10}, {10, -1}, {kBitmapMaxSide + 1, 1}, {1, kBitmapMaxSide + 1}, {30000, 30000}};
    for (const auto& [w, h] : sizes) {
        const std::string path = dir + "/refused.bmp";
        BitmapDescription bitmap;
        bitmap.width = w;
        bitmap.height = h;
        EXPECT_NE(0, WriteBitmapFile(bitmap, {}, fill, path)) << w << "x" << h;
        EXPECT_FALSE(std::filesystem::exists(path)) << w << "x" << h;
    }
    EXPECT_TRUE(BitmapSizeAllowed(kBitmapMaxSide, 1));
}

TEST(BitmapFile, FailedWriteLeavesNoPartialFileAndKeepsTheOldOne) {
    const std::string dir = test::FreshTempDir();
    BitmapDescription bitmap;
    bitmap.width = 64;
    bitmap.height = 64;
    int calls = 0;
    const auto failing = [&](std::int64_t, std::span<std::uint8_t>) {
        if (++calls == 10)
            throw std::runtime_error("no more pixels");
    };

    const std::string path = dir + "/old.bmp";
    test::WriteAll(path, "previous picture");
    EXPECT_NE(0, WriteBitmapFile(bitmap, {}, failing, path));
    EXPECT_EQ(test::ReadAll(path), "previous picture");

    const std::string fresh = dir + "/fresh.bmp";
    calls = 0;
    EXPECT_NE(0, WriteBitmapFile(bitmap, {}, failing, fresh));
    EXPECT_FALSE(std::filesystem::exists(fresh));
    // Nothing else is left beside them.
    int files = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir))
        ++files;
    EXPECT_EQ(files, 1);

    EXPECT_NE(0, WriteBitmapFile(bitmap, {}, [](std::int64_t, std::span<std::uint8_t>) {},
                                 dir + "/no such folder/x.bmp"));
}

}  // namespace
}  // namespace vocomet
