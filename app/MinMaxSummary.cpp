#include "app/MinMaxSummary.h"

#include <bit>
#include <stdexcept>

#include "platform/File.h"

namespace vocomet {

MinMaxSummary::MinMaxSummary(std::shared_ptr<const SampleSummary> whole) {
    if (whole)
        Append(std::move(whole));
}

MinMaxSummary MinMaxSummary::FromSamples(std::span<const float> samples) {
    return MinMaxSummary(std::make_shared<const SampleSummary>(SampleSummary::FromSamples(samples)));
}

void MinMaxSummary::Append(std::shared_ptr<const SampleSummary> piece) {
    if (!piece)
        return;
    if (m_count % kPieceAlignment != 0)
        throw std::invalid_argument("summary pieces must follow whole coarse blocks");
    const std::int64_t first = m_count;
    m_count += piece->SampleCount();
    m_pieces.push_back(Piece{first, std::move(piece)});
}

namespace {

inline void PrefetchForRead(const float* p) {
#if defined(__GNUC__) || defined(__clang__)
    __builtin_prefetch(p);
#else
    (void)p;
#endif
}

}  // namespace

void MinMaxSummary::Prefetch(std::int64_t sample, std::size_t& piece) const {
    if (sample >= m_count)
        return;
    while (m_pieces[piece].first + m_pieces[piece].summary->SampleCount() <= sample)
        ++piece;
    const SampleSummary& s = *m_pieces[piece].summary;
    const std::int64_t x = sample - m_pieces[piece].first;
    // The middle-sized blocks of the coarse block around x, and the fine
    // blocks of the middle-sized block around x: all an end can need.
    constexpr std::int64_t kMidPerCoarse = SampleSummary::kCoarseBlock / SampleSummary::kBlock;
    constexpr std::int64_t kFinePerMid = SampleSummary::kBlock / SampleSummary::kFineBlock;
    const SampleSummary::Level& mid = s.GetLevel(1);
    const auto mids = static_cast<std::int64_t>(mid.min.size());
    const std::int64_t m0 = x / SampleSummary::kCoarseBlock * kMidPerCoarse;
    for (std::int64_t k : {m0, m0 + kMidPerCoarse / 2, m0 + kMidPerCoarse - 1}) {
        if (k < mids) {
            PrefetchForRead(mid.min.data() + k);
            PrefetchForRead(mid.max.data() + k);
        }
    }
    const SampleSummary::Level& fine = s.GetLevel(0);
    const auto fines = static_cast<std::int64_t>(fine.min.size());
    const std::int64_t f0 = x / SampleSummary::kBlock * kFinePerMid;
    for (std::int64_t k : {f0, f0 + kFinePerMid - 1}) {
        if (k < fines) {
            PrefetchForRead(fine.min.data() + k);
            PrefetchForRead(fine.max.data() + k);
        }
    }
}

void MinMaxSummary::ColumnExtents(const WaveformColumns& columns, std::span<const float> samples,
                                  std::vector<ColumnExtent>& out) const {
    const float* x = samples.data();
    const auto n = static_cast<std::int64_t>(samples.size());
    ColumnExtents(
        columns, n,
        [x, n](std::int64_t first, std::int64_t end, double& lo, double& hi) {
            end = std::min(end, n);
            for (std::int64_t k = first; k < end; ++k) {
                const double v = x[k];
                lo = v < lo ? v : lo;
                hi = v > hi ? v : hi;
            }
        },
        out);
}

bool BuildFileSummaries(const platform::File& file, int channelsPerFrame, std::int64_t frames,
                        std::int64_t pieceFrames, const std::atomic<bool>* cancel,
                        const std::function<void(std::vector<SampleSummary>&& columns)>& onPiece) {
    static_assert(std::endian::native == std::endian::little, "data files hold little-endian floats");
    if (channelsPerFrame <= 0)
        return true;
    const auto n = static_cast<std::size_t>(channelsPerFrame);
    const std::size_t frameBytes = n * sizeof(float);
    pieceFrames = std::max(MinMaxSummary::kPieceAlignment,
                           pieceFrames / MinMaxSummary::kPieceAlignment * MinMaxSummary::kPieceAlignment);
    frames = std::min(frames, file.GetLength() / static_cast<std::int64_t>(frameBytes));
    // About 4 MB per read.
    const std::size_t readFrames = std::max<std::size_t>(1, (std::size_t{4} << 20) / frameBytes);
    std::vector<float> buffer(readFrames * n);
    for (std::int64_t pieceStart = 0; pieceStart < frames;) {
        const std::int64_t pieceEnd = std::min(frames, pieceStart + pieceFrames);
        FrameSummaryBuilder builder(channelsPerFrame);
        builder.Reserve(pieceEnd - pieceStart);
        std::int64_t frame = pieceStart;
        bool shortRead = false;
        while (frame < pieceEnd) {
            if (cancel && cancel->load(std::memory_order_relaxed))
                return false;
            const auto want = static_cast<std::size_t>(std::min<std::int64_t>(pieceEnd - frame, readFrames));
            const std::size_t got =
                file.ReadAt(frame * static_cast<std::int64_t>(frameBytes), buffer.data(), want * frameBytes) /
                frameBytes;
            builder.AddFrames(buffer.data(), got);
            frame += static_cast<std::int64_t>(got);
            if (got < want) {  // the file ended early
                shortRead = true;
                break;
            }
        }
        if (frame > pieceStart)
            onPiece(builder.Finish());
        if (shortRead)
            break;
        pieceStart = pieceEnd;
    }
    return true;
}

}  // namespace vocomet
