#pragma once
// Stateless helpers shared by the document, the readers, the views and the
// analysis windows: tab-separated line builders, quote finding, text
// measuring, sample-buffer copies and inserts, Bark conversion, byte order.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/SampleBlock.h"
#include "platform/TextMeasurer.h"

namespace vocomet {

// Line builders for exported text: a field ends with TAB, a line with CR LF.
// With eolFlag 0 the field is appended; otherwise CR LF is appended and the
// value ignored. Each returns the string's new length.
int AppendIntField(std::string& line, int value, int eolFlag);
int AppendTextField(std::string& line, std::string text, int eolFlag);
int AppendQuotedTextField(std::string& line, std::string text, int eolFlag);

// Index of the first '"' at or after start; -1 when start is negative, at or
// beyond the end, or no quote follows.
int FindNextQuote(std::string_view text, int start);

// Width and height of the text in the font.
platform::TextSize GetTextSize(const platform::TextMeasurer& measurer, const platform::LogFontA& font,
                               std::string_view text);

// Frees block, then returns a new zero-filled block of sizeBytes bytes
// (rounded down to whole samples); null when the memory cannot be had.
// Nothing is copied.
template <typename T>
platform::SampleBlock<T> ReallocGlobalBuffer(platform::SampleBlock<T>& block, std::size_t sizeBytes) {
    block.Free();
    return platform::SampleBlock<T>::TryAllocate(sizeBytes / sizeof(T));
}

// Copies count samples from source (from index start) to the beginning of
// destination. Does nothing when either block is null or the range does not
// fit in both blocks (or count or start is negative).
void CopySamples16(const platform::Int16Block& source, platform::Int16Block& destination, int count, int start);
void CopySamples32(const platform::FloatBlock& source, platform::FloatBlock& destination, int count, int start);

// Returns a block of destinationCount + insertedCount samples: destination's
// samples before position, all inserted samples, then destination's samples
// from position on. destination is freed only once the new block exists, so
// on failure (a null or empty insert, counts that do not fit the blocks, a
// position outside 0..destinationCount, no memory) it is left as it was and
// UserException is thrown. A null destination yields a copy of the insert.
platform::FloatBlock InsertSamples32(platform::FloatBlock& destination, const platform::FloatBlock& inserted,
                                     int destinationCount, int insertedCount, int position);

// Bark value of a frequency: with k = hz / 1000,
// 13 atan(0.76 k) + 3.5 atan((k / 7.5)^2).
double HzToBark(int hz);
bool IsOdd(int value);

std::int16_t SwapInt16(std::int16_t value);
std::int32_t SwapInt32(std::int32_t value);
// Copies n bytes from source into destination in reverse order.
void ReverseBytes(const void* source, void* destination, std::size_t n);
// The native double of 8 big-endian bytes.
double SwapDouble(const std::uint8_t* bigEndianBytes);

}  // namespace vocomet
