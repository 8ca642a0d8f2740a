#pragma once
// Where an analysis reads one channel's samples: the channel's block in
// memory, or the channel's own column of the document's data file of
// interleaved 32-bit float frames. Both roads give the same values: every
// position outside 0 .. count - 1, and whatever a short or failed read of
// the file did not deliver, reads as 0, so a frame that runs past the
// channel's end never holds stale values.
//
// The source only refers to the samples (the block or the file belong to the
// document); it is meant to live for one computation. Reads of the file are
// positional, so any number of sources may read the same file at once.
//
// Also here: the one mapping from an analysis frame to the time it stands
// for (the centre of the frame), used by every frame-based result, and the
// channel the analysis windows read.

#include <cstdint>
#include <memory>
#include <vector>

namespace platform {
class File;
}

namespace vocomet {

class CChannels;
class COrielDoc;

// Index of the analysed channel: the first in use whose audio flag is 1;
// -1 when there is none.
int AnalysedChannel(const COrielDoc& doc);

class ChannelSampleSource {
public:
    ChannelSampleSource() = default;

    // count samples at samples (null or count <= 0: an empty source).
    static ChannelSampleSource FromMemory(const float* samples, std::int64_t count);
    // Column `column` (0-based) of frames of `stride` floats; count samples.
    // A closed file, a stride < 1 or a column outside the frame gives an
    // empty source.
    static ChannelSampleSource FromFile(std::shared_ptr<const platform::File> file, int stride, int column,
                                        std::int64_t count);
    // The channel's block when it has one, otherwise its column
    // (channelNumber - 1) of its source file; ReadableCount() samples.
    static ChannelSampleSource FromChannel(const CChannels& channel);

    // True when there is something to read from (memory or an open file).
    bool IsValid() const { return m_memory != nullptr || m_file != nullptr; }
    bool IsFileBacked() const { return m_file != nullptr; }
    std::int64_t Count() const { return m_count; }

    // Samples first .. first + n - 1 into out (n values written). Returns
    // how many of them came from the channel; every other value is 0.
    std::int64_t Read(std::int64_t first, std::int64_t n, double* out) const;
    std::int64_t Read(std::int64_t first, std::int64_t n, float* out) const;

private:
    template <typename T>
    std::int64_t ReadAny(std::int64_t first, std::int64_t n, T* out) const;

    const float* m_memory = nullptr;
    std::shared_ptr<const platform::File> m_file;
    int m_stride = 0;
    int m_column = 0;
    std::int64_t m_count = 0;
    mutable std::vector<std::uint8_t> m_bytes;  // file frames of the last read
};

// The sample position and the time (ms) an analysis frame of `length`
// samples starting at sample `start` stands for: its centre.
double FrameCentreSample(double start, double length);
double FrameCentreMs(double start, double length, double rate);

}  // namespace vocomet
