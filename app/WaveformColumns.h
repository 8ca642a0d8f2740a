#pragma once
// The arithmetic behind a waveform trace that needs no painter: which samples
// each pixel column covers, and the minimum and maximum of every column, from
// a block in memory or from an interleaved float data file.
//
// Column p of a window [start, end) drawn over width pixels covers exactly the
// samples floor(start + p x s) .. floor(start + (p + 1) x s) - 1, with
// s = (end - start) / width. Neighbouring columns share their boundary, so the
// columns tile the window with no sample skipped or counted twice, whether s
// is whole or not and whatever the source.
//
// The scanners fill one extent per column into a vector; anything that can
// answer the same question faster (a per-channel min/max summary) can stand in
// for them, and the painter only draws the strokes.

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace platform {
class File;
}

namespace vocomet {

class WaveformColumns {
public:
    WaveformColumns() = default;
    // An invalid window (width <= 0, end <= start, or a non-finite bound)
    // has no columns.
    WaveformColumns(double windowStart, double windowEnd, int width);

    int Width() const { return m_width; }
    bool IsEmpty() const { return m_width == 0; }
    double SamplesPerPixel() const { return m_samplesPerPixel; }

    // First sample of column p; Boundary(Width()) is one past the last sample
    // of the last column (floor(end)). Never negative; p is clamped to
    // 0 .. Width().
    std::int64_t Boundary(int p) const;
    std::int64_t FirstSample(int p) const { return Boundary(p); }
    // Last sample of column p (FirstSample(p) - 1 when the column is empty).
    std::int64_t LastSample(int p) const { return Boundary(p + 1) - 1; }

private:
    double m_start = 0.0;
    double m_end = 0.0;
    double m_samplesPerPixel = 0.0;
    int m_width = 0;
};

// Smallest and largest value of one column; empty when the column has no
// sample (or only NaNs, or lies beyond the data).
struct ColumnExtent {
    double min = 0.0;
    double max = 0.0;
    bool empty = true;
};

// Extents of every column over samples in memory. Samples past the end of
// the data leave their columns short or empty. out gets Width() entries.
void ScanColumnExtents(std::span<const float> samples, const WaveformColumns& columns,
                       std::vector<ColumnExtent>& out);
void ScanColumnExtents(std::span<const double> samples, const WaveformColumns& columns,
                       std::vector<ColumnExtent>& out);

// Extents of every column over channel `channel` of a data file of
// interleaved 32-bit floats with channelsPerFrame values per frame (sample k
// at byte (k x channelsPerFrame + channel) x 4). The window is read once, in
// large positional reads in column order. A channel outside
// 0 .. channelsPerFrame - 1 gives empty columns; read errors are passed on as
// platform::FileException.
void ScanColumnExtents(const platform::File& file, int channelsPerFrame, int channel,
                       const WaveformColumns& columns, std::vector<ColumnExtent>& out);

// Samples first .. first + count - 1 of channel `channel` of such a file,
// into out (fewer at the end of the file; none for a bad channel).
void ReadChannelSamples(const platform::File& file, int channelsPerFrame, int channel, std::int64_t first,
                        std::size_t count, std::vector<float>& out);

}  // namespace vocomet
