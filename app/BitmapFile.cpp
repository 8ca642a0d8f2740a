#include "app/BitmapFile.h"

#include <algorithm>
#include <exception>

#include "platform/BinaryFile.h"
#include "platform/ByteCodec.h"
#include "platform/FailureText.h"

namespace vocomet {

int BitmapFileBits(int planes, int bitsPerPixel) {
    const int bits = planes * bitsPerPixel;
    if (bits <= 1)
        return 1;
    if (bits <= 4)
        return 4;
    if (bits <= 8)
        return 8;
    return 24;
}

int BitmapPaletteEntries(int fileBits) {
    switch (fileBits) {
    case 1:
        return 2;
    case 4:
        return 16;
    case 8:
        return 256;
    default:
        return 0;
    }
}

std::int64_t BitmapRowBytes(int fileBits, std::int64_t width) {
    return (static_cast<std::int64_t>(fileBits) * width + 31) / 32 * 4;
}

bool BitmapSizeAllowed(std::int64_t width, std::int64_t height) {
    if (width <= 0 || height <= 0 || width > kBitmapMaxSide || height > kBitmapMaxSide)
        return false;
    return BitmapRowBytes(24, width) * height <= kBitmapMaxImageBytes;
}

std::vector<std::uint8_t> BitmapFileHeaders(const BitmapDescription& bitmap, std::span<const std::uint32_t> palette) {
    if (!BitmapSizeAllowed(bitmap.width, bitmap.height))
        return {};
    const int bits = BitmapFileBits(bitmap.planes, bitmap.bitsPerPixel);
    const int entries = BitmapPaletteEntries(bits);
    const std::uint32_t offset = kBitmapFileHeaderSize + kBitmapInfoHeaderSize + 4 * entries;
    const auto imageSize = static_cast<std::uint32_t>(BitmapRowBytes(bits, bitmap.width) * bitmap.height);

    std::vector<std::uint8_t> bytes(offset, 0);
    const platform::ByteSpan b(bytes.data(), bytes.size());
    b.U8(0, 'B');
    b.U8(1, 'M');
    b.U32LE(2, offset + imageSize);
    b.U16LE(6, 0);
    b.U16LE(8, 0);
    b.U32LE(10, offset);
    b.U32LE(14, kBitmapInfoHeaderSize);
    b.I32LE(18, static_cast<std::int32_t>(bitmap.width));
    b.I32LE(22, static_cast<std::int32_t>(bitmap.height));  // positive: bottom row first
    b.U16LE(26, 1);
    b.U16LE(28, static_cast<std::uint16_t>(bits));
    b.U32LE(30, 0);  // uncompressed
    b.U32LE(34, imageSize);
    b.I32LE(38, bitmap.xPelsPerMeter);
    b.I32LE(42, bitmap.yPelsPerMeter);
    b.U32LE(46, static_cast<std::uint32_t>(entries));
    b.U32LE(50, 0);
    for (int i = 0; i < entries; ++i) {
        const std::uint32_t rgb = static_cast<std::size_t>(i) < palette.size() ? palette[i] : 0;
        const std::size_t at = kBitmapFileHeaderSize + kBitmapInfoHeaderSize + 4 * static_cast<std::size_t>(i);
        b.U8(at, static_cast<std::uint8_t>(rgb & 0xFF));
        b.U8(at + 1, static_cast<std::uint8_t>((rgb >> 8) & 0xFF));
        b.U8(at + 2, static_cast<std::uint8_t>((rgb >> 16) & 0xFF));
        b.U8(at + 3, 0);
    }
    return bytes;
}

int WriteBitmapFile(const BitmapDescription& bitmap, std::span<const std::uint32_t> palette,
                    const BitmapRowSource& rows, const std::string& path, std::string* reason) {
    const std::vector<std::uint8_t> headers = BitmapFileHeaders(bitmap, palette);
    if (headers.empty() || !rows)
        return 1;
    const int bits = BitmapFileBits(bitmap.planes, bitmap.bitsPerPixel);
    const auto rowBytes = static_cast<std::size_t>(BitmapRowBytes(bits, bitmap.width));
    try {
        platform::ScratchReplacement scratch(path);
        platform::File& file = scratch.GetFile();
        file.Write(headers.data(), headers.size());
        // Rows go out in blocks of about a megabyte, bottom row first.
        const std::size_t rowsPerBlock = std::max<std::size_t>(1, (std::size_t{1} << 20) / rowBytes);
        std::vector<std::uint8_t> block(rowsPerBlock * rowBytes);
        std::int64_t y = bitmap.height - 1;
        while (y >= 0) {
            std::size_t filled = 0;
            for (; filled < rowsPerBlock && y >= 0; ++filled, --y) {
                const std::span<std::uint8_t> row(block.data() + filled * rowBytes, rowBytes);
                std::fill(row.begin(), row.end(), std::uint8_t{0});
                rows(y, row);
            }
            file.Write(block.data(), filled * rowBytes);
        }
        scratch.Commit();
    } catch (const std::exception& e) {
        // The scratch file goes with its replacement object; the target is
        // as it was.
        if (reason)
            *reason = platform::FailureReason(e);
        return 2;
    }
    return 0;
}

}  // namespace vocomet
