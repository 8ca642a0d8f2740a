#pragma once
// Writing channels out as interleaved 32-bit float frames, as the native
// frame files and WAV files hold them: frame k carries sample (first + k)
// of every given channel, in the given order.
//
// Each channel gives its samples from wherever it keeps them: its block in
// memory, or its value in each frame of its source file (a file-backed
// channel). The frames are built and written block by block, so a recording
// longer than memory can be written; source frames of file-backed channels
// are read once per block however many channels share them. A channel with
// fewer samples than the range gives 0 for the rest.

#include <cstdint>
#include <vector>

#include "core/CChannels.h"
#include "platform/File.h"
#include "platform/Progress.h"

namespace vocomet {

enum class FrameWriteResult {
    Written,
    Aborted,   // the user asked the progress to abort
    NoMemory,  // the work buffers could not be had; nothing was written
};

// Writes frames [first, first + count) of the channels to out at its
// position, as little-endian float32. With progress, shows the fraction
// done and stops when the user asks to abort. With startWriteBack, the
// system is asked to write what is written out to disk as it goes, for a
// file that will be flushed; a file that will not is left to the page cache.
// Write and read errors throw platform::FileException.
FrameWriteResult WriteInterleavedFrames(platform::File& out, const std::vector<const CChannels*>& channels,
                                        std::int64_t first, std::int64_t count, platform::Progress* progress,
                                        bool startWriteBack = true);

// The part of a channel that a save writes: the whole channel, or its
// selection (from the selection start sample for the selected count, both
// truncated). Always inside the samples the channel can give.
struct SampleRange {
    std::int64_t first = 0;
    std::int64_t count = 0;
};
SampleRange ChannelRange(const CChannels& channel, bool selectionOnly);

// A double as a whole int32: truncated, clamped to the int32 range, 0 for
// NaN.
std::int32_t TruncateToInt32(double value);

}  // namespace vocomet
