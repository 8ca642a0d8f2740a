#pragma once
// The bitmap (.bmp) files of picture export and screen dumps: a 14-byte file
// header, a 40-byte information header, a palette for 1, 4 and 8 bits per
// pixel and the pixel rows, bottom row first, each padded to a multiple of
// four bytes. All fields are little-endian.
//
// Pixels come from the caller one row at a time, already packed in the
// file's bit depth (24 bits: blue, green, red per pixel; fewer bits: palette
// indices, the leftmost pixel in the highest bits of a byte), so a large
// picture is never copied whole.

#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

namespace vocomet {

// Largest picture written: per side, and in bytes of pixel rows. Anything
// larger is refused before a byte is allocated.
inline constexpr std::int64_t kBitmapMaxSide = 32767;
inline constexpr std::int64_t kBitmapMaxImageBytes = std::int64_t{1} << 30;

inline constexpr int kBitmapFileHeaderSize = 14;
inline constexpr int kBitmapInfoHeaderSize = 40;

// What a bitmap says of itself.
struct BitmapDescription {
    std::int64_t width = 0;
    std::int64_t height = 0;
    int planes = 1;
    int bitsPerPixel = 24;  // of the picture; the file's depth follows from it
    std::int32_t xPelsPerMeter = 0;
    std::int32_t yPelsPerMeter = 0;
};

// The file's bits per pixel for planes x bits: 1 stays 1, 2 to 4 become 4,
// 5 to 8 become 8, more become 24.
int BitmapFileBits(int planes, int bitsPerPixel);
// Palette entries of a file depth: 2, 16 or 256; none for 24 bits.
int BitmapPaletteEntries(int fileBits);
// Bytes of one stored row: ((bits x width + 31) / 32) x 4.
std::int64_t BitmapRowBytes(int fileBits, std::int64_t width);
// Positive sides within kBitmapMaxSide whose 24-bit rows stay within
// kBitmapMaxImageBytes.
bool BitmapSizeAllowed(std::int64_t width, std::int64_t height);

// The file header, the information header and the palette (entries as
// 0x00RRGGBB; missing entries are black, extra ones ignored), ready to be
// followed by the pixel rows. Empty when the size is not allowed.
std::vector<std::uint8_t> BitmapFileHeaders(const BitmapDescription& bitmap, std::span<const std::uint32_t> palette);

// Fills `row` (BitmapRowBytes of the file depth, zeroed) with picture row y,
// counted from the top.
using BitmapRowSource = std::function<void(std::int64_t y, std::span<std::uint8_t> row)>;

// Writes the bitmap to path, beside the target first and renamed over it
// when complete, so a failed write leaves neither a partial file nor harm to
// an existing one. Returns 0 on success, non-zero when the size is not
// allowed, the file cannot be written, or the row source throws; then, when
// reason is given, it receives why (the system's reason for a file it
// refused; empty when there is nothing more to say).
int WriteBitmapFile(const BitmapDescription& bitmap, std::span<const std::uint32_t> palette,
                    const BitmapRowSource& rows, const std::string& path, std::string* reason = nullptr);

}  // namespace vocomet
