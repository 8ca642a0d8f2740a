#pragma once
// The min/max summary of one sample series as the view reads it: one or
// more SampleSummary pieces laid end to end. A series summarised while it
// was loaded has a single piece; a data file summarised in the background
// gets a piece per stretch of frames, so that what is done can be drawn
// while the rest is still being read.
//
// A pixel column's extremes combine the coarsest whole blocks that fit in
// it (coarse in the middle, then middle-sized and fine blocks towards its
// ends) with an exact scan of the few samples left at its two ends (fewer
// than one fine block at each). So a column costs a few dozen block
// comparisons and two short scans however many samples it covers, and the
// result is exactly that of a full scan (ScanColumnExtents): the same
// samples count, folded in sample order, NaNs passed over the same way, and
// float extremes convert to the same doubles.
//
// A summary is immutable once built and may be shared between threads.

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <span>
#include <vector>

#include "app/WaveformColumns.h"
#include "core/SampleSummary.h"

namespace platform {
class File;
}

namespace vocomet {

class MinMaxSummary {
public:
    // Every piece but the last covers a whole number of these samples, so
    // blocks of every level line up across pieces.
    static constexpr std::int64_t kPieceAlignment = SampleSummary::kCoarseBlock;
    // Samples of the fine blocks, the unit of the exact scans at column ends.
    static constexpr std::int64_t kFineBlock = SampleSummary::kFineBlock;

    MinMaxSummary() = default;
    // A summary of one piece (null: an empty summary).
    explicit MinMaxSummary(std::shared_ptr<const SampleSummary> whole);

    static MinMaxSummary FromSamples(std::span<const float> samples);

    // Adds the summary of the samples that follow. Throws
    // std::invalid_argument when the pieces so far do not end on a multiple
    // of kPieceAlignment.
    void Append(std::shared_ptr<const SampleSummary> piece);

    // Samples summarised, from sample 0.
    std::int64_t SampleCount() const { return m_count; }
    std::size_t PieceCount() const { return m_pieces.size(); }

    // Extents of every column of a series of seriesLength samples (out gets
    // columns.Width() entries; samples past the series count for nothing).
    // A column reaching past SampleCount(), not summarised yet, is left
    // empty, and so is every column after it. `exact(first, end, lo, hi)`
    // folds the exact values of samples first .. end - 1 into lo and hi (a
    // value lower than lo replaces it, one higher than hi replaces hi); it
    // is called in sample order, only for ranges inside 0 .. SampleCount()
    // and for fewer than a fine block at each end of a column. Returns the
    // number of leading columns that are exact (all of them when the
    // summary covers the window).
    template <typename Exact>
    int ColumnExtents(const WaveformColumns& columns, std::int64_t seriesLength, Exact&& exact,
                      std::vector<ColumnExtent>& out) const;
    // The same with the column ends read from the summarised samples.
    void ColumnExtents(const WaveformColumns& columns, std::span<const float> samples,
                       std::vector<ColumnExtent>& out) const;

private:
    struct Piece {
        std::int64_t first = 0;  // first sample
        std::shared_ptr<const SampleSummary> summary;
    };

    // Asks the processor to fetch the blocks the column ends at `sample`
    // will fold; `piece` is a cursor that only moves forward.
    void Prefetch(std::int64_t sample, std::size_t& piece) const;

    // Block sizes by level, known to the compiler so that the arithmetic
    // on them is shifts.
    template <int Level>
    static constexpr std::int64_t kBlockOf = Level == 0   ? SampleSummary::kFineBlock
                                             : Level == 1 ? SampleSummary::kBlock
                                                          : SampleSummary::kCoarseBlock;

    template <int Level, typename Exact>
    static void FoldLevel(const SampleSummary& s, std::int64_t base, std::int64_t x, std::int64_t y, Exact& exact,
                          double& lo, double& hi);

    std::vector<Piece> m_pieces;
    std::int64_t m_count = 0;
};

// Summaries of every column of a data file of interleaved 32-bit floats
// (channelsPerFrame values per frame), frames 0 .. frames - 1 (fewer when
// the file is shorter), read once in large positional reads. They come in
// pieces of pieceFrames frames (a multiple of
// MinMaxSummary::kPieceAlignment; the last may be shorter): after each
// piece onPiece gets one summary per column. Returns false when cancel was
// set during the pass. Read errors are passed on as platform::FileException.
bool BuildFileSummaries(const platform::File& file, int channelsPerFrame, std::int64_t frames,
                        std::int64_t pieceFrames, const std::atomic<bool>* cancel,
                        const std::function<void(std::vector<SampleSummary>&& columns)>& onPiece);

// ---- implementation of the templates ----

template <int Level, typename Exact>
void MinMaxSummary::FoldLevel(const SampleSummary& s, std::int64_t base, std::int64_t x, std::int64_t y,
                              Exact& exact, double& lo, double& hi) {
    // Samples x .. y - 1 of the piece: whole blocks of this level in the
    // middle, the ends handed down a level (to the exact scan below the
    // finest), left to right.
    if (x >= y)
        return;
    if constexpr (Level < 0) {
        exact(base + x, base + y, lo, hi);
    } else {
        constexpr std::int64_t b = kBlockOf<Level>;
        const std::int64_t first = (x + b - 1) / b;
        const std::int64_t end = y / b;
        if (first >= end) {
            FoldLevel<Level - 1>(s, base, x, y, exact, lo, hi);
            return;
        }
        FoldLevel<Level - 1>(s, base, x, first * b, exact, lo, hi);
        const SampleSummary::Level& l = s.GetLevel(Level);
        float blo = std::numeric_limits<float>::infinity();
        float bhi = -std::numeric_limits<float>::infinity();
        const float* mins = l.min.data();
        const float* maxs = l.max.data();
        for (std::int64_t k = first; k < end; ++k) {
            blo = mins[k] < blo ? mins[k] : blo;
            bhi = maxs[k] > bhi ? maxs[k] : bhi;
        }
        // A block of NaNs only holds +inf / -inf and changes nothing.
        lo = blo < lo ? blo : lo;
        hi = bhi > hi ? bhi : hi;
        FoldLevel<Level - 1>(s, base, end * b, y, exact, lo, hi);
    }
}

template <typename Exact>
int MinMaxSummary::ColumnExtents(const WaveformColumns& columns, std::int64_t seriesLength, Exact&& exact,
                                 std::vector<ColumnExtent>& out) const {
    const int w = columns.Width();
    out.assign(static_cast<std::size_t>(w), ColumnExtent{});
    seriesLength = std::max<std::int64_t>(seriesLength, 0);
    std::size_t piece = 0;
    std::size_t ahead = 0;
    int exactColumns = 0;
    // The blocks at the ends of wide columns lie far apart in memory: asking
    // for those of a column a few columns ahead lets their fetches overlap.
    constexpr int kAhead = 16;
    const bool wide = columns.SamplesPerPixel() > static_cast<double>(SampleSummary::kBlock);
    if (wide)
        for (int p = 0; p < kAhead && p <= w; ++p)
            Prefetch(std::min(columns.Boundary(p), seriesLength), ahead);
    for (int p = 0; p < w; ++p) {
        if (wide && p + kAhead <= w)
            Prefetch(std::min(columns.Boundary(p + kAhead), seriesLength), ahead);
        const std::int64_t a = std::min(columns.FirstSample(p), seriesLength);
        const std::int64_t e = std::min(columns.Boundary(p + 1), seriesLength);
        if (e > m_count)
            break;  // not summarised yet: this column and all after it
        exactColumns = p + 1;
        if (a >= e)
            continue;
        double lo = std::numeric_limits<double>::infinity();
        double hi = -std::numeric_limits<double>::infinity();
        // Columns run left to right, so the piece of a column's first
        // sample is never before the previous column's.
        while (m_pieces[piece].first + m_pieces[piece].summary->SampleCount() <= a)
            ++piece;
        for (std::size_t k = piece; k < m_pieces.size() && m_pieces[k].first < e; ++k) {
            const Piece& pc = m_pieces[k];
            const std::int64_t x = std::max(a, pc.first) - pc.first;
            const std::int64_t y = std::min(e, pc.first + pc.summary->SampleCount()) - pc.first;
            FoldLevel<SampleSummary::LevelCount() - 1>(*pc.summary, pc.first, x, y, exact, lo, hi);
        }
        if (lo <= hi)
            out[static_cast<std::size_t>(p)] = ColumnExtent{lo, hi, false};
    }
    return exactColumns;
}

}  // namespace vocomet
