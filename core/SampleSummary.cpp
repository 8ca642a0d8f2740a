#include "core/SampleSummary.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <stdexcept>

#include "platform/SampleBlock.h"

namespace vocomet {

namespace {

constexpr float kNoLow = std::numeric_limits<float>::infinity();
constexpr float kNoHigh = -std::numeric_limits<float>::infinity();

// The fold of a full scan: a NaN never replaces an extreme. Written as a
// select so that it maps onto the processor's min/max instructions.
inline float Lower(float v, float lo) { return v < lo ? v : lo; }
inline float Higher(float v, float hi) { return v > hi ? v : hi; }

// Folds columns g .. g + W - 1 of `take` frames of n columns into lo / hi.
template <std::size_t W>
inline void FoldGroup(const float* p, std::size_t take, std::size_t n, std::size_t g, float* lo, float* hi) {
    float l[W], h[W];
    for (std::size_t c = 0; c < W; ++c) {
        l[c] = lo[g + c];
        h[c] = hi[g + c];
    }
    for (std::size_t k = 0; k < take; ++k) {
        const float* frame = p + k * n + g;
        for (std::size_t c = 0; c < W; ++c) {
            l[c] = Lower(frame[c], l[c]);
            h[c] = Higher(frame[c], h[c]);
        }
    }
    for (std::size_t c = 0; c < W; ++c) {
        lo[g + c] = l[c];
        hi[g + c] = h[c];
    }
}

// Room for count values, to be first touched by whoever writes them, in
// huge pages where the system has them: a view reads the levels of a long
// recording at scattered places, and huge pages save it most of its address
// translations.
void ReserveInHugePages(SampleSummary::Values& values, std::size_t count) {
    values.reserve(count);
    platform::AdviseHugePages(values.data(), values.capacity() * sizeof(float));
}

// count values, left unwritten (see ReserveInHugePages).
void SizeInHugePages(SampleSummary::Values& values, std::size_t count) {
    values.clear();
    ReserveInHugePages(values, count);
    values.resize(count);
}

// A coarser level from a finer one: every `factor` blocks fold into one.
void Coarsen(const SampleSummary::Values& fineMin, const SampleSummary::Values& fineMax, std::size_t factor,
             SampleSummary::Values& outMin, SampleSummary::Values& outMax) {
    const std::size_t blocks = (fineMin.size() + factor - 1) / factor;
    SizeInHugePages(outMin, blocks);
    SizeInHugePages(outMax, blocks);
    for (std::size_t b = 0; b < blocks; ++b) {
        const std::size_t first = b * factor;
        const std::size_t end = std::min(fineMin.size(), first + factor);
        float lo = kNoLow, hi = kNoHigh;
        for (std::size_t k = first; k < end; ++k) {
            lo = Lower(fineMin[k], lo);
            hi = Higher(fineMax[k], hi);
        }
        outMin[b] = lo;
        outMax[b] = hi;
    }
}

}  // namespace

SampleSummary::SampleSummary() : m_levels(3) {
    m_levels[0].blockSize = kFineBlock;
    m_levels[1].blockSize = kBlock;
    m_levels[2].blockSize = kCoarseBlock;
}

SampleSummary SampleSummary::FromSamples(std::span<const float> samples) {
    FrameSummaryBuilder b(1);
    b.Reserve(static_cast<std::int64_t>(samples.size()));
    b.AddFrames(samples.data(), samples.size());
    return std::move(b.Finish().front());
}

SampleSummary SampleSummary::Join(std::span<const std::shared_ptr<const SampleSummary>> pieces) {
    SampleSummary joined;
    for (std::size_t i = 0; i + 1 < pieces.size(); ++i)
        if (!pieces[i] || pieces[i]->m_count % kCoarseBlock != 0)
            throw std::invalid_argument("joined summaries must hold whole coarse blocks");
    for (std::size_t level = 0; level < joined.m_levels.size(); ++level) {
        std::size_t blocks = 0;
        for (const auto& piece : pieces)
            if (piece)
                blocks += piece->m_levels[level].min.size();
        Level& out = joined.m_levels[level];
        SizeInHugePages(out.min, blocks);
        SizeInHugePages(out.max, blocks);
        std::size_t at = 0;
        for (const auto& piece : pieces) {
            if (!piece)
                continue;
            const Level& in = piece->m_levels[level];
            std::memcpy(out.min.data() + at, in.min.data(), in.min.size() * sizeof(float));
            std::memcpy(out.max.data() + at, in.max.data(), in.max.size() * sizeof(float));
            at += in.min.size();
        }
    }
    for (const auto& piece : pieces)
        if (piece)
            joined.m_count += piece->m_count;
    return joined;
}

FrameSummaryBuilder::FrameSummaryBuilder(int channelsPerFrame)
    : m_n(static_cast<std::size_t>(std::max(channelsPerFrame, 1))),
      m_lo(m_n, kNoLow),
      m_hi(m_n, kNoHigh),
      m_fineMin(m_n),
      m_fineMax(m_n) {}

void FrameSummaryBuilder::Reserve(std::int64_t frames) {
    if (frames <= 0)
        return;
    const auto blocks = static_cast<std::size_t>((frames + SampleSummary::kFineBlock - 1) / SampleSummary::kFineBlock);
    for (std::size_t c = 0; c < m_n; ++c) {
        ReserveInHugePages(m_fineMin[c], blocks);
        ReserveInHugePages(m_fineMax[c], blocks);
    }
}

void FrameSummaryBuilder::CloseFineBlock() {
    for (std::size_t c = 0; c < m_n; ++c) {
        m_fineMin[c].push_back(m_lo[c]);
        m_fineMax[c].push_back(m_hi[c]);
        m_lo[c] = kNoLow;
        m_hi[c] = kNoHigh;
    }
}

void FrameSummaryBuilder::AddFrames(const float* frames, std::size_t frameCount, std::size_t stride) {
    const std::size_t n = m_n;
    const std::size_t step = std::max(stride, n);
    const std::size_t fine = static_cast<std::size_t>(SampleSummary::kFineBlock);
    float* lo = m_lo.data();
    float* hi = m_hi.data();
    std::size_t f = 0;
    while (f < frameCount) {
        // Frames up to the end of the open fine block (or of the input).
        const std::size_t inBlock = static_cast<std::size_t>(m_count % SampleSummary::kFineBlock);
        const std::size_t take = std::min(fine - inBlock, frameCount - f);
        const float* p = frames + f * step;
        // Columns in groups of a fixed width held in locals, so the fold of
        // a group is a few vector min/max instructions per frame.
        std::size_t g = 0;
        for (; g + 8 <= n; g += 8)
            FoldGroup<8>(p, take, step, g, lo, hi);
        for (; g + 4 <= n; g += 4)
            FoldGroup<4>(p, take, step, g, lo, hi);
        for (; g < n; ++g)
            FoldGroup<1>(p, take, step, g, lo, hi);
        f += take;
        m_count += static_cast<std::int64_t>(take);
        if (m_count % SampleSummary::kFineBlock == 0)
            CloseFineBlock();
    }
}

void FrameSummaryBuilder::StartPieces(std::int64_t frames) {
    frames = std::max<std::int64_t>(frames, 0);
    const auto blocks = static_cast<std::size_t>((frames + SampleSummary::kFineBlock - 1) / SampleSummary::kFineBlock);
    for (std::size_t c = 0; c < m_n; ++c) {
        // Every block is written by the piece that holds it; hundreds of
        // megabytes for an hour, first touched by the threads that fold
        // the pieces.
        SizeInHugePages(m_fineMin[c], blocks);
        SizeInHugePages(m_fineMax[c], blocks);
    }
    m_pieces = true;
    m_pieceFrames = frames;
    m_count = 0;
}

void FrameSummaryBuilder::AddPieceAt(std::int64_t first, const float* frames, std::size_t frameCount,
                                     std::size_t stride) {
    const std::size_t n = m_n;
    const std::size_t step = std::max(stride, n);
    const auto fine = static_cast<std::size_t>(SampleSummary::kFineBlock);
    auto block = static_cast<std::size_t>(first / SampleSummary::kFineBlock);
    // Each fine block is folded from +inf / -inf in frame order, as in
    // AddFrames, so the blocks are bit for bit those of an ordered build.
    float lo[8], hi[8];
    for (std::size_t f = 0; f < frameCount; f += fine, ++block) {
        const std::size_t take = std::min(fine, frameCount - f);
        const float* p = frames + f * step;
        std::size_t g = 0;
        for (; g < n; g += 8) {
            const std::size_t w = std::min<std::size_t>(8, n - g);
            std::fill(lo, lo + 8, kNoLow);
            std::fill(hi, hi + 8, kNoHigh);
            const float* q = p + g;
            if (w == 8) {
                FoldGroup<8>(q, take, step, 0, lo, hi);
            } else {
                std::size_t c = 0;
                if (w >= 4) {
                    FoldGroup<4>(q, take, step, 0, lo, hi);
                    c = 4;
                }
                for (; c < w; ++c)
                    FoldGroup<1>(q, take, step, c, lo, hi);
            }
            for (std::size_t c = 0; c < w; ++c) {
                m_fineMin[g + c][block] = lo[c];
                m_fineMax[g + c][block] = hi[c];
            }
        }
    }
}

void FrameSummaryBuilder::EndPieces() { m_count = m_pieceFrames; }

std::vector<SampleSummary> FrameSummaryBuilder::Finish() {
    if (!m_pieces && m_count % SampleSummary::kFineBlock != 0)
        CloseFineBlock();
    m_pieces = false;
    std::vector<SampleSummary> out(m_n);
    constexpr auto kPerBlock = static_cast<std::size_t>(SampleSummary::kBlock / SampleSummary::kFineBlock);
    constexpr auto kPerCoarse = static_cast<std::size_t>(SampleSummary::kCoarseBlock / SampleSummary::kBlock);
    for (std::size_t c = 0; c < m_n; ++c) {
        SampleSummary& s = out[c];
        s.m_count = m_count;
        SampleSummary::Level& fineLevel = s.m_levels[0];
        SampleSummary::Level& mid = s.m_levels[1];
        SampleSummary::Level& coarse = s.m_levels[2];
        Coarsen(m_fineMin[c], m_fineMax[c], kPerBlock, mid.min, mid.max);
        Coarsen(mid.min, mid.max, kPerCoarse, coarse.min, coarse.max);
        fineLevel.min = std::move(m_fineMin[c]);
        fineLevel.max = std::move(m_fineMax[c]);
        m_fineMin[c] = {};
        m_fineMax[c] = {};
    }
    m_count = 0;
    std::fill(m_lo.begin(), m_lo.end(), kNoLow);
    std::fill(m_hi.begin(), m_hi.end(), kNoHigh);
    return out;
}

}  // namespace vocomet
