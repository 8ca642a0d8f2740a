#include "core/SampleSummary.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <cstring>
#include <exception>
#include <future>
#include <limits>
#include <stdexcept>
#include <system_error>
#include <thread>
#include <utility>

#include "platform/SampleBlock.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace vocomet {

namespace {

constexpr float kNoLow = std::numeric_limits<float>::infinity();
constexpr float kNoHigh = -std::numeric_limits<float>::infinity();

// The fold of a full scan: a NaN never replaces an extreme. Written as a
// select so that it maps onto the processor's min/max instructions.
inline float Lower(float v, float lo) { return v < lo ? v : lo; }
inline float Higher(float v, float hi) { return v > hi ? v : hi; }

// Columns folded in one sweep over a frame: 16 floats are one 64-byte
// frame of a 16-channel recording, one cache line, held as four vectors of
// lows and four of highs.
constexpr std::size_t kSweepColumns = 16;

// Folds columns 0 .. W - 1 of `take` frames, the frames step floats apart
// from p on, into lo / hi: one pass over the frames, every column taking
// its values in frame order, all of them held in registers meanwhile.
template <std::size_t W>
void FoldSweepOf(const float* p, std::size_t take, std::size_t step, float* lo, float* hi) {
#if defined(__SSE2__)
    // Vectors of four columns, then the last few one by one. The
    // processor's min/max return their second operand when either is a
    // NaN: the very select of Lower / Higher, lane by lane.
    constexpr std::size_t V = W / 4, R = W % 4;
    __m128 l[V > 0 ? V : 1], h[V > 0 ? V : 1];
    float rl[R > 0 ? R : 1], rh[R > 0 ? R : 1];
    for (std::size_t i = 0; i < V; ++i) {
        l[i] = _mm_loadu_ps(lo + 4 * i);
        h[i] = _mm_loadu_ps(hi + 4 * i);
    }
    for (std::size_t c = 0; c < R; ++c) {
        rl[c] = lo[4 * V + c];
        rh[c] = hi[4 * V + c];
    }
    // The loops over the columns are unrolled, so that the lows and highs
    // stay in registers rather than in memory between frames.
    for (std::size_t k = 0; k < take; ++k) {
        const float* frame = p + k * step;
#pragma GCC unroll 4
        for (std::size_t i = 0; i < V; ++i) {
            const __m128 x = _mm_loadu_ps(frame + 4 * i);
            l[i] = _mm_min_ps(x, l[i]);
            h[i] = _mm_max_ps(x, h[i]);
        }
#pragma GCC unroll 4
        for (std::size_t c = 0; c < R; ++c) {
            rl[c] = Lower(frame[4 * V + c], rl[c]);
            rh[c] = Higher(frame[4 * V + c], rh[c]);
        }
    }
    for (std::size_t i = 0; i < V; ++i) {
        _mm_storeu_ps(lo + 4 * i, l[i]);
        _mm_storeu_ps(hi + 4 * i, h[i]);
    }
    for (std::size_t c = 0; c < R; ++c) {
        lo[4 * V + c] = rl[c];
        hi[4 * V + c] = rh[c];
    }
#else
    // Locals of a fixed count, which the compiler may keep in vector
    // registers.
    float l[W], h[W];
    for (std::size_t c = 0; c < W; ++c) {
        l[c] = lo[c];
        h[c] = hi[c];
    }
    for (std::size_t k = 0; k < take; ++k) {
        const float* frame = p + k * step;
#pragma GCC unroll 16
        for (std::size_t c = 0; c < W; ++c) {
            l[c] = Lower(frame[c], l[c]);
            h[c] = Higher(frame[c], h[c]);
        }
    }
    for (std::size_t c = 0; c < W; ++c) {
        lo[c] = l[c];
        hi[c] = h[c];
    }
#endif
}

using FoldSweepFunction = void (*)(const float*, std::size_t, std::size_t, float*, float*);

template <std::size_t... I>
constexpr std::array<FoldSweepFunction, sizeof...(I)> MakeFoldSweeps(std::index_sequence<I...>) {
    return {&FoldSweepOf<I + 1>...};
}

// The sweep for every width from 1 to kSweepColumns.
constexpr std::array<FoldSweepFunction, kSweepColumns> kFoldSweeps =
    MakeFoldSweeps(std::make_index_sequence<kSweepColumns>{});

// Fine blocks folded into a tile before they are written out, column by
// column: one run of stores per column rather than a store into every
// column's level for every block.
constexpr std::size_t kTileBlocks = 64;

// Folds the fine blocks of columns 0 .. W - 1 of frameCount frames (whole
// fine blocks but the last, at most kTileBlocks of them), each from
// +inf / -inf, into rows of kSweepColumns values of lo / hi, one per block.
template <std::size_t W>
void FoldBlocksOf(const float* p, std::size_t frameCount, std::size_t step, float* lo, float* hi) {
    constexpr auto fine = static_cast<std::size_t>(SampleSummary::kFineBlock);
    for (std::size_t f = 0, b = 0; f < frameCount; f += fine, ++b) {
        float* l = lo + b * kSweepColumns;
        float* h = hi + b * kSweepColumns;
        std::fill(l, l + W, kNoLow);
        std::fill(h, h + W, kNoHigh);
        FoldSweepOf<W>(p + f * step, std::min(fine, frameCount - f), step, l, h);
    }
}

template <std::size_t... I>
constexpr std::array<FoldSweepFunction, sizeof...(I)> MakeFoldBlocks(std::index_sequence<I...>) {
    return {&FoldBlocksOf<I + 1>...};
}

constexpr std::array<FoldSweepFunction, kSweepColumns> kFoldBlocks =
    MakeFoldBlocks(std::make_index_sequence<kSweepColumns>{});

// Folds every column of `take` frames of n columns, step floats apart:
// a sweep per kSweepColumns adjacent columns.
inline void FoldFrames(const float* p, std::size_t take, std::size_t step, std::size_t n, float* lo, float* hi) {
    for (std::size_t g = 0; g < n; g += kSweepColumns)
        kFoldSweeps[std::min(kSweepColumns, n - g) - 1](p + g, take, step, lo + g, hi + g);
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

// The coarser blocks made of the finer blocks [from, to): every `factor`
// blocks fold into one, from block from / factor on; from is a multiple of
// factor, and to too unless it is the finer level's end. The coarser level
// is sized already.
void CoarsenRange(const float* fineMin, const float* fineMax, std::size_t from, std::size_t to, std::size_t factor,
                  float* outMin, float* outMax) {
    for (std::size_t first = from; first < to; first += factor) {
        const std::size_t end = std::min(to, first + factor);
        float lo = kNoLow, hi = kNoHigh;
        for (std::size_t k = first; k < end; ++k) {
            lo = Lower(fineMin[k], lo);
            hi = Higher(fineMax[k], hi);
        }
        outMin[first / factor] = lo;
        outMax[first / factor] = hi;
    }
}

std::size_t CoarserCount(std::size_t fineCount, std::size_t factor) { return (fineCount + factor - 1) / factor; }

// A coarser level from a finer one: every `factor` blocks fold into one.
void Coarsen(const SampleSummary::Values& fineMin, const SampleSummary::Values& fineMax, std::size_t factor,
             SampleSummary::Values& outMin, SampleSummary::Values& outMax) {
    const std::size_t blocks = CoarserCount(fineMin.size(), factor);
    SizeInHugePages(outMin, blocks);
    SizeInHugePages(outMax, blocks);
    CoarsenRange(fineMin.data(), fineMax.data(), 0, fineMin.size(), factor, outMin.data(), outMax.data());
}

constexpr auto kPerBlock = static_cast<std::size_t>(SampleSummary::kBlock / SampleSummary::kFineBlock);
constexpr auto kPerCoarse = static_cast<std::size_t>(SampleSummary::kCoarseBlock / SampleSummary::kBlock);

}  // namespace

SummaryArena::SummaryArena(std::size_t bytes) noexcept {
    if (bytes == 0)
        return;
    m_base = static_cast<std::byte*>(platform::AllocateZeroedBlock(bytes));
    m_bytes = m_base ? bytes : 0;
}

SummaryArena::~SummaryArena() { platform::FreeZeroedBlock(m_base, m_bytes); }

void* SummaryArena::Take(std::size_t bytes) noexcept {
    constexpr std::size_t kAlign = 64;
    if (!m_base || bytes > m_bytes)
        return nullptr;
    const std::size_t rounded = (bytes + kAlign - 1) / kAlign * kAlign;
    std::size_t used = m_used.load(std::memory_order_relaxed);
    do {
        if (rounded > m_bytes - used)
            return nullptr;
    } while (!m_used.compare_exchange_weak(used, used + rounded, std::memory_order_relaxed));
    return m_base + used;
}

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
        FoldFrames(p, take, step, n, lo, hi);
        f += take;
        m_count += static_cast<std::int64_t>(take);
        if (m_count % SampleSummary::kFineBlock == 0)
            CloseFineBlock();
    }
}

void FrameSummaryBuilder::StartPieces(std::int64_t frames) {
    frames = std::max<std::int64_t>(frames, 0);
    const auto blocks = static_cast<std::size_t>((frames + SampleSummary::kFineBlock - 1) / SampleSummary::kFineBlock);
    const std::size_t midBlocks = CoarserCount(blocks, kPerBlock);
    const std::size_t coarseBlocks = CoarserCount(midBlocks, kPerCoarse);
    // Every level of every column in one run of memory (each array on a
    // 64-byte boundary); where it cannot be had they come from the heap.
    // Every block is written by the piece that holds it: hundreds of
    // megabytes for an hour, first touched by the threads that fold the
    // pieces.
    auto bytesOf = [](std::size_t values) { return (values * sizeof(float) + 63) / 64 * 64; };
    const std::size_t perColumn = 2 * (bytesOf(blocks) + bytesOf(midBlocks) + bytesOf(coarseBlocks));
    std::shared_ptr<SummaryArena> arena;
    if (perColumn <= SIZE_MAX / m_n)
        arena = std::make_shared<SummaryArena>(perColumn * m_n);
    const UninitialisedAllocator<float> from(std::move(arena));
    auto size = [&from](SampleSummary::Values& values, std::size_t count) {
        values = SampleSummary::Values(from);
        SizeInHugePages(values, count);
    };
    m_midMin.resize(m_n);
    m_midMax.resize(m_n);
    m_coarseMin.resize(m_n);
    m_coarseMax.resize(m_n);
    for (std::size_t c = 0; c < m_n; ++c) {
        size(m_fineMin[c], blocks);
        size(m_fineMax[c], blocks);
        size(m_midMin[c], midBlocks);
        size(m_midMax[c], midBlocks);
        size(m_coarseMin[c], coarseBlocks);
        size(m_coarseMax[c], coarseBlocks);
    }
    m_levelsMissing.set = false;
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
    alignas(64) float lo[kTileBlocks * kSweepColumns];
    alignas(64) float hi[kTileBlocks * kSweepColumns];
    const std::size_t tileFrames = kTileBlocks * fine;
    for (std::size_t f = 0; f < frameCount; f += tileFrames, block += kTileBlocks) {
        const std::size_t take = std::min(tileFrames, frameCount - f);
        const std::size_t blocks = (take + fine - 1) / fine;
        const float* p = frames + f * step;
        for (std::size_t g = 0; g < n; g += kSweepColumns) {
            const std::size_t w = std::min(kSweepColumns, n - g);
            kFoldBlocks[w - 1](p + g, take, step, lo, hi);
            for (std::size_t c = 0; c < w; ++c) {
                float* __restrict outLo = m_fineMin[g + c].data() + block;
                float* __restrict outHi = m_fineMax[g + c].data() + block;
                for (std::size_t b = 0; b < blocks; ++b) {
                    outLo[b] = lo[b * kSweepColumns + c];
                    outHi[b] = hi[b * kSweepColumns + c];
                }
            }
        }
    }
    // A piece of whole coarse blocks (or one that ends the recording) makes
    // its coarser levels too, on the thread that folded it, while its fine
    // blocks are still in the cache: otherwise they are all made at the end,
    // after the last piece, when only a few cores have columns to take.
    const auto end = first + static_cast<std::int64_t>(frameCount);
    if (first % SampleSummary::kCoarseBlock != 0 ||
        (end % SampleSummary::kCoarseBlock != 0 && end != m_pieceFrames)) {
        m_levelsMissing.set.store(true, std::memory_order_relaxed);
        return;
    }
    const auto fineFrom = static_cast<std::size_t>(first / SampleSummary::kFineBlock);
    const auto fineTo = static_cast<std::size_t>((end + SampleSummary::kFineBlock - 1) / SampleSummary::kFineBlock);
    const std::size_t midTo = CoarserCount(fineTo, kPerBlock);
    for (std::size_t c = 0; c < n; ++c) {
        CoarsenRange(m_fineMin[c].data(), m_fineMax[c].data(), fineFrom, fineTo, kPerBlock, m_midMin[c].data(),
                     m_midMax[c].data());
        CoarsenRange(m_midMin[c].data(), m_midMax[c].data(), fineFrom / kPerBlock, midTo, kPerCoarse,
                     m_coarseMin[c].data(), m_coarseMax[c].data());
    }
}

void FrameSummaryBuilder::EndPieces() { m_count = m_pieceFrames; }

std::vector<SampleSummary> FrameSummaryBuilder::Finish() {
    if (!m_pieces && m_count % SampleSummary::kFineBlock != 0)
        CloseFineBlock();
    // The pieces made the coarser levels when every one of them could.
    const bool levelsMade = m_pieces && !m_levelsMissing.set.load(std::memory_order_relaxed);
    m_pieces = false;
    std::vector<SampleSummary> out(m_n);
    auto finishColumn = [&](std::size_t c) {
        SampleSummary& s = out[c];
        s.m_count = m_count;
        SampleSummary::Level& fineLevel = s.m_levels[0];
        SampleSummary::Level& mid = s.m_levels[1];
        SampleSummary::Level& coarse = s.m_levels[2];
        if (levelsMade) {
            mid.min = std::move(m_midMin[c]);
            mid.max = std::move(m_midMax[c]);
            coarse.min = std::move(m_coarseMin[c]);
            coarse.max = std::move(m_coarseMax[c]);
        } else {
            Coarsen(m_fineMin[c], m_fineMax[c], kPerBlock, mid.min, mid.max);
            Coarsen(mid.min, mid.max, kPerCoarse, coarse.min, coarse.max);
        }
        fineLevel.min = std::move(m_fineMin[c]);
        fineLevel.max = std::move(m_fineMax[c]);
        m_fineMin[c] = {};
        m_fineMax[c] = {};
    };
    // The columns of an hour take a good part of a second one after the
    // other: then every core takes the next column as it comes free.
    constexpr std::int64_t kValuesWorthThreads = std::int64_t{1} << 24;
    std::atomic<std::size_t> next{0};
    auto takeColumns = [&] {
        for (std::size_t c; (c = next.fetch_add(1)) < m_n;)
            finishColumn(c);
    };
    std::vector<std::future<void>> helpers;
    if (!levelsMade && m_n > 1 && m_count * static_cast<std::int64_t>(m_n) >= kValuesWorthThreads) {
        const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
        for (std::size_t t = 1; t < std::min(cores, m_n); ++t) {
            try {
                helpers.push_back(std::async(std::launch::async, takeColumns));
            } catch (const std::system_error&) {
                break;  // fewer helpers; this thread takes what is left
            } catch (const std::bad_alloc&) {
                break;
            }
        }
    }
    // The helpers work on this frame's locals: they end before it does.
    std::exception_ptr failed;
    try {
        takeColumns();
    } catch (...) {
        failed = std::current_exception();
        next = m_n;
    }
    for (std::future<void>& h : helpers) {
        try {
            h.get();
        } catch (...) {
            if (!failed)
                failed = std::current_exception();
        }
    }
    // Levels the pieces made for nothing go too.
    m_midMin.clear();
    m_midMax.clear();
    m_coarseMin.clear();
    m_coarseMax.clear();
    if (failed)
        std::rethrow_exception(failed);
    m_count = 0;
    std::fill(m_lo.begin(), m_lo.end(), kNoLow);
    std::fill(m_hi.begin(), m_hi.end(), kNoHigh);
    return out;
}

}  // namespace vocomet
