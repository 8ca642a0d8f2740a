#pragma once
// Reads what the traces of one repaint need, at the cost of what is shown.
//
// Each trace asks for a window of a series (a block in memory, or one
// column of an interleaved float data file) drawn over a width in pixels.
// A window of fewer than 4 samples per pixel gets every sample; a longer one
// gets the minimum and maximum of every pixel column (the columns of
// WaveformColumns), from the series' min/max summary, always with the same
// result as a full scan.
//
// The traces of one data file are fetched together: the frames they need
// (the samples at the ends of the columns, short windows) are gathered into
// runs, read once for all of them with one positional read per run into one
// flat buffer, and every trace reads its values from there. A file whose
// summary is still being built never costs a scan of the whole window: a
// window of at most kScanFramesPerPixel frames per column (and kMaxScanBytes
// in all) is read whole; a longer one gets the columns already summarised
// and leaves the others empty, and its result says so (Incomplete), so that
// the view draws again when the summary has grown. Only without a cache, or
// after a failed build, is a long window scanned (in one pass for all the
// traces of the window).
//
// A fetcher belongs to one thread; it only reads. Clear keeps its buffers
// for the next repaint.

#include <cstdint>
#include <memory>
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
    bool incomplete = false;        // columns left empty until their summary is built
};

class TraceFetcher {
public:
    // A window still waiting for its summary is read whole when it covers
    // at most this many frames per pixel column and this many bytes.
    static constexpr std::int64_t kScanFramesPerPixel = 128;
    static constexpr std::int64_t kMaxScanBytes = std::int64_t{32} << 20;

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
        // The summary that came with the samples, if any; used when it
        // describes as many samples as the series has.
        std::shared_ptr<const SampleSummary> summary;
    };

    // Without a cache only handed-over summaries are used and other
    // windows are scanned.
    explicit TraceFetcher(MinMaxSummaryCache* cache);
    ~TraceFetcher();
    TraceFetcher(const TraceFetcher&) = delete;
    TraceFetcher& operator=(const TraceFetcher&) = delete;

    // Forgets the traces added (keeps the buffers).
    void Clear();
    // Adds a trace and returns its index.
    int Add(const Request& request);
    // Reads every trace added.
    void Fetch();
    const TraceValues& Result(int index) const { return m_results.at(static_cast<std::size_t>(index)); }

    // Frames read from data files by the last Fetch (for tests).
    std::int64_t FramesRead() const { return m_framesRead; }
    // Some trace of the last Fetch left columns empty for want of a summary.
    bool Incomplete() const { return m_incomplete; }

    class FrameRuns;

private:
    void FetchMemory(std::size_t i);
    void FetchFileGroup(const std::vector<std::size_t>& members);

    MinMaxSummaryCache* m_cache;
    std::vector<Request> m_requests;
    std::vector<TraceValues> m_results;
    std::unique_ptr<FrameRuns> m_runs;
    std::int64_t m_framesRead = 0;
    bool m_incomplete = false;
};

}  // namespace vocomet
