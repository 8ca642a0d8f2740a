#include "app/MinMaxSummary.h"

#include <algorithm>
#include <bit>
#include <limits>

#include "platform/File.h"

namespace vocomet {

namespace {

constexpr float kNoLow = std::numeric_limits<float>::infinity();
constexpr float kNoHigh = -std::numeric_limits<float>::infinity();

// The fold of a full scan: a NaN never replaces an extreme.
template <typename T>
inline void Fold(T v, T& lo, T& hi) {
    lo = v < lo ? v : lo;
    hi = v > hi ? v : hi;
}

}  // namespace

// ---- building ----

void MinMaxSummary::Builder::Add(float value) {
    if (m_count % kBlockSize == 0) {
        m_lo = kNoLow;
        m_hi = kNoHigh;
    }
    Fold(value, m_lo, m_hi);
    ++m_count;
    if (m_count % kBlockSize == 0) {
        m_min.push_back(m_lo);
        m_max.push_back(m_hi);
    }
}

void MinMaxSummary::Builder::Add(std::span<const float> samples) {
    std::size_t i = 0;
    // Finish a block begun by an earlier call one value at a time.
    while (i < samples.size() && m_count % kBlockSize != 0)
        Add(samples[i++]);
    // Whole blocks in a tight loop the compiler can vectorise.
    const std::size_t block = static_cast<std::size_t>(kBlockSize);
    while (samples.size() - i >= block) {
        float lo = kNoLow;
        float hi = kNoHigh;
        const float* p = samples.data() + i;
        for (std::size_t k = 0; k < block; ++k)
            Fold(p[k], lo, hi);
        m_min.push_back(lo);
        m_max.push_back(hi);
        m_count += kBlockSize;
        i += block;
    }
    while (i < samples.size())
        Add(samples[i++]);
}

MinMaxSummary MinMaxSummary::Builder::Finish() {
    if (m_count % kBlockSize != 0) {
        m_min.push_back(m_lo);
        m_max.push_back(m_hi);
    }
    MinMaxSummary s;
    s.m_min = std::move(m_min);
    s.m_max = std::move(m_max);
    s.m_count = m_count;
    m_min.clear();
    m_max.clear();
    m_count = 0;
    return s;
}

MinMaxSummary MinMaxSummary::FromSamples(std::span<const float> samples) {
    Builder b;
    b.Add(samples);
    return b.Finish();
}

// ---- columns ----

void MinMaxSummary::ColumnExtents(const WaveformColumns& columns, const ExactScan& exact,
                                  std::vector<ColumnExtent>& out) const {
    const int w = columns.Width();
    out.assign(static_cast<std::size_t>(w), ColumnExtent{});
    for (int p = 0; p < w; ++p) {
        const std::int64_t a = std::min(columns.FirstSample(p), m_count);
        const std::int64_t e = std::min(columns.Boundary(p + 1), m_count);
        if (a >= e)
            continue;
        double lo = std::numeric_limits<double>::infinity();
        double hi = -std::numeric_limits<double>::infinity();
        const std::int64_t firstWhole = (a + kBlockSize - 1) / kBlockSize;
        const std::int64_t endWhole = e / kBlockSize;
        if (firstWhole >= endWhole) {
            exact(a, e, lo, hi);
        } else {
            if (a < firstWhole * kBlockSize)
                exact(a, firstWhole * kBlockSize, lo, hi);
            float blo = kNoLow;
            float bhi = kNoHigh;
            const float* mins = m_min.data();
            const float* maxs = m_max.data();
            for (std::int64_t k = firstWhole; k < endWhole; ++k) {
                blo = mins[k] < blo ? mins[k] : blo;
                bhi = maxs[k] > bhi ? maxs[k] : bhi;
            }
            // A block of NaNs holds +inf / -inf and changes nothing.
            if (blo <= bhi) {
                lo = std::min<double>(lo, blo);
                hi = std::max<double>(hi, bhi);
            }
            if (endWhole * kBlockSize < e)
                exact(endWhole * kBlockSize, e, lo, hi);
        }
        if (lo <= hi)
            out[static_cast<std::size_t>(p)] = ColumnExtent{lo, hi, false};
    }
}

void MinMaxSummary::ColumnExtents(const WaveformColumns& columns, std::span<const float> samples,
                                  std::vector<ColumnExtent>& out) const {
    ColumnExtents(
        columns,
        [samples](std::int64_t first, std::int64_t end, double& lo, double& hi) {
            end = std::min<std::int64_t>(end, static_cast<std::int64_t>(samples.size()));
            for (std::int64_t k = first; k < end; ++k)
                Fold<double>(samples[static_cast<std::size_t>(k)], lo, hi);
        },
        out);
}

// ---- data files ----

std::vector<MinMaxSummary> BuildFileSummaries(const platform::File& file, int channelsPerFrame,
                                              std::span<const int> channels, const std::atomic<bool>* cancel) {
    static_assert(std::endian::native == std::endian::little, "data files hold little-endian floats");
    std::vector<MinMaxSummary::Builder> builders(channels.size());
    if (channelsPerFrame <= 0)
        return std::vector<MinMaxSummary>(channels.size());
    const auto n = static_cast<std::size_t>(channelsPerFrame);
    const std::size_t frameBytes = n * sizeof(float);
    // About 4 MB per read, a whole number of summary blocks.
    const std::size_t blockFrames = std::max<std::size_t>(
        static_cast<std::size_t>(MinMaxSummary::kBlockSize),
        ((std::size_t{4} << 20) / frameBytes) / MinMaxSummary::kBlockSize * MinMaxSummary::kBlockSize);
    const std::int64_t frames = file.GetLength() / static_cast<std::int64_t>(frameBytes);
    std::vector<float> buffer(blockFrames * n);
    std::vector<float> column(blockFrames);
    for (std::int64_t frame = 0; frame < frames;) {
        if (cancel && cancel->load(std::memory_order_relaxed))
            return {};
        const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(frames - frame, blockFrames));
        const std::size_t got =
            file.ReadAt(frame * static_cast<std::int64_t>(frameBytes), buffer.data(), want * frameBytes) / frameBytes;
        for (std::size_t i = 0; i < channels.size(); ++i) {
            const int c = channels[i];
            if (c < 0 || c >= channelsPerFrame)
                continue;
            for (std::size_t f = 0; f < got; ++f)
                column[f] = buffer[f * n + static_cast<std::size_t>(c)];
            builders[i].Add(std::span<const float>(column.data(), got));
        }
        if (got < want)
            break;  // the file ended early
        frame += static_cast<std::int64_t>(got);
    }
    std::vector<MinMaxSummary> out;
    out.reserve(channels.size());
    for (auto& b : builders)
        out.push_back(b.Finish());
    return out;
}

}  // namespace vocomet
