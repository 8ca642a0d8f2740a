#pragma once
// A min/max summary of one sample series: the smallest and largest value of
// every block of kBlockSize consecutive samples. A pixel column's extremes
// then come from the whole blocks it spans plus an exact scan of the samples
// of the part-blocks at its two ends, so a column costs a few hundred block
// comparisons and at most two part-blocks of samples, however many samples
// it covers, and the result is exactly that of a full scan
// (ScanColumnExtents): the same samples count, NaNs are passed over the same
// way, and float extremes convert to the same doubles.
//
// A summary is immutable once built and may be shared between threads.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <vector>

#include "app/WaveformColumns.h"

namespace platform {
class File;
}

namespace vocomet {

class MinMaxSummary {
public:
    static constexpr std::int64_t kBlockSize = 128;

    // Folds the exact values of samples first .. end - 1 into lo and hi
    // (a value lower than lo replaces it, one higher than hi replaces hi).
    using ExactScan = std::function<void(std::int64_t first, std::int64_t end, double& lo, double& hi)>;

    MinMaxSummary() = default;

    // Builds a summary block by block from samples handed over in order.
    class Builder {
    public:
        void Add(std::span<const float> samples);
        void Add(float value);
        MinMaxSummary Finish();

    private:
        std::vector<float> m_min;
        std::vector<float> m_max;
        std::int64_t m_count = 0;
        float m_lo = 0.0f;
        float m_hi = 0.0f;
    };

    static MinMaxSummary FromSamples(std::span<const float> samples);

    // Samples summarised; columns end there.
    std::int64_t SampleCount() const { return m_count; }
    std::size_t BlockCount() const { return m_min.size(); }

    // Extents of every column (out gets columns.Width() entries); the
    // samples at the ends of columns come from `exact`, which is called
    // only for ranges inside 0 .. SampleCount().
    void ColumnExtents(const WaveformColumns& columns, const ExactScan& exact, std::vector<ColumnExtent>& out) const;
    // The same with the part-blocks read from the summarised samples.
    void ColumnExtents(const WaveformColumns& columns, std::span<const float> samples,
                       std::vector<ColumnExtent>& out) const;

private:
    std::vector<float> m_min;  // +inf for a block of NaNs only
    std::vector<float> m_max;  // -inf for a block of NaNs only
    std::int64_t m_count = 0;
};

// Summaries of several channels of a data file of interleaved 32-bit floats
// (channelsPerFrame values per frame), built in one pass that reads each
// frame once, in large positional reads. Returns one summary per entry of
// `channels` (0-based columns of the frame), or nothing when cancel was set
// during the pass. Read errors are passed on as platform::FileException.
std::vector<MinMaxSummary> BuildFileSummaries(const platform::File& file, int channelsPerFrame,
                                              std::span<const int> channels, const std::atomic<bool>* cancel);

}  // namespace vocomet
