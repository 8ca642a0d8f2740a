#pragma once
// Sample-buffer copies and inserts and byte-order helpers: the readers and
// the views use them, so they sit at the bottom layer.

#include <cstddef>
#include <cstdint>

#include "platform/SampleBlock.h"

namespace platform {

// Frees block, then returns a new zero-filled block of sizeBytes bytes
// (rounded down to whole samples); null when the memory cannot be had.
// Nothing is copied.
template <typename T>
SampleBlock<T> ReallocGlobalBuffer(SampleBlock<T>& block, std::size_t sizeBytes) {
    block.Free();
    return SampleBlock<T>::TryAllocate(sizeBytes / sizeof(T));
}

// Copies count samples from source (from index start) to the beginning of
// destination. Does nothing when either block is null or the range does not
// fit in both blocks (or count or start is negative).
void CopySamples16(const Int16Block& source, Int16Block& destination, int count, int start);
void CopySamples32(const FloatBlock& source, FloatBlock& destination, int count, int start);

// Returns a block of destinationCount + insertedCount samples: destination's
// samples before position, all inserted samples, then destination's samples
// from position on. destination is freed only once the new block exists, so
// on failure (a null or empty insert, counts that do not fit the blocks, a
// position outside 0..destinationCount, no memory) it is left as it was and
// UserException is thrown. A null destination yields a copy of the insert.
FloatBlock InsertSamples32(FloatBlock& destination, const FloatBlock& inserted,
                                     int destinationCount, int insertedCount, int position);

std::int16_t SwapInt16(std::int16_t value);
std::int32_t SwapInt32(std::int32_t value);
// Copies n bytes from source into destination in reverse order.
void ReverseBytes(const void* source, void* destination, std::size_t n);
// The native double of 8 big-endian bytes.
double SwapDouble(const std::uint8_t* bigEndianBytes);

}  // namespace platform
