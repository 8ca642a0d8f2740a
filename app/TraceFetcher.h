#pragma once
// Reads what the traces of one repaint need, at the cost of what is shown.
//
// Each trace asks for a window of a series (a block in memory, or one
// column of an interleaved float data file) drawn over a width in pixels.
// A window of fewer than 4 samples per pixel gets every sample; a longer one
// gets the minimum and maximum of every pixel column (the columns of
// WaveformColumns), from the series' min/max summary when the cache has one
// and from a scan otherwise, always with the same result as a full scan.
//
// The traces of one data file are fetched together, so that every frame the
// repaint needs is read once for all of them: part-blocks and short windows
// come from one shared cache of frame blocks, and windows still waiting for
// their file's summary are scanned in one pass per window for all their
// columns.
//
// A fetcher lives for one repaint; it only reads.

#include <cstdint>
#include <span>
#include <vector>

#include "app/MinMaxSummaryCache.h"
#include "app/WaveformColumns.h"

namespace platform {
class File;
}

namespace vocomet {

// What a trace draws, read and reduced.
struct TraceValues {
    double windowStart = 0.0;
    double windowEnd = 0.0;
    WaveformColumns columns;
    bool perSample = false;         // fewer than 4 samples per pixel
    std::int64_t firstSample = 0;   // perSample: the sample of values[0]
    std::vector<double> values;     // perSample: the samples of the window that exist
    std::vector<ColumnExtent> extents;  // otherwise: one per column
    bool failed = false;            // the data file could not be read
};

class TraceFetcher {
public:
    struct Request {
        std::span<const float> memory;        // used when file is null
        const platform::File* file = nullptr;  // an open data file
        int channelsPerFrame = 1;
        int channel = 0;  // 0-based column in a frame
        double windowStart = 0.0;
        double windowEnd = 0.0;
        int width = 0;
        // Where the summary of a memory series is kept.
        int slot = 0;
        MinMaxSummaryCache::Kind kind = MinMaxSummaryCache::Kind::Samples;
    };

    // Without a cache every window is scanned.
    explicit TraceFetcher(MinMaxSummaryCache* cache) : m_cache(cache) {}

    // Adds a trace and returns its index.
    int Add(const Request& request);
    // Reads every trace added.
    void Fetch();
    const TraceValues& Result(int index) const { return m_results.at(static_cast<std::size_t>(index)); }

    // Frames read from data files by the last Fetch (for tests).
    std::int64_t FramesRead() const { return m_framesRead; }

private:
    void FetchMemory(std::size_t i);
    void FetchFileGroup(const std::vector<std::size_t>& members);

    MinMaxSummaryCache* m_cache;
    std::vector<Request> m_requests;
    std::vector<TraceValues> m_results;
    std::int64_t m_framesRead = 0;
};

}  // namespace vocomet
