#include "app/TraceFetcher.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <map>
#include <tuple>

#include "platform/File.h"

namespace vocomet {

namespace {

static_assert(std::endian::native == std::endian::little, "data files hold little-endian floats");

constexpr double kNoLow = std::numeric_limits<double>::infinity();
constexpr double kNoHigh = -std::numeric_limits<double>::infinity();

inline void Fold(double v, double& lo, double& hi) {
    lo = v < lo ? v : lo;
    hi = v > hi ? v : hi;
}

// Frames of one data file in aligned blocks, each read at most once; runs of
// missing blocks are read with one positional read.
class FrameBlocks {
public:
    static constexpr std::int64_t kFrames = MinMaxSummary::kBlockSize;

    FrameBlocks(const platform::File& file, int channelsPerFrame, std::int64_t& framesRead)
        : m_file(file), m_n(static_cast<std::size_t>(channelsPerFrame)), m_framesRead(framesRead) {
        m_framesInFile = file.GetLength() / static_cast<std::int64_t>(m_n * sizeof(float));
    }

    std::int64_t FramesInFile() const { return m_framesInFile; }

    // Folds column c of frames first .. end - 1 (those the file holds).
    void Fold(int c, std::int64_t first, std::int64_t end, double& lo, double& hi) {
        ForEach(c, first, end, [&](float v) { vocomet::Fold(v, lo, hi); });
    }
    void Read(int c, std::int64_t first, std::int64_t end, std::vector<double>& out) {
        out.clear();
        ForEach(c, first, end, [&](float v) { out.push_back(v); });
    }

private:
    template <typename F>
    void ForEach(int c, std::int64_t first, std::int64_t end, F&& f) {
        first = std::max<std::int64_t>(first, 0);
        end = std::min(end, m_framesInFile);
        if (first >= end)
            return;
        Ensure(first / kFrames, (end - 1) / kFrames + 1);
        for (std::int64_t b = first / kFrames; b * kFrames < end; ++b) {
            const std::vector<float>& block = m_blocks.at(b);
            const std::int64_t lo = std::max(first, b * kFrames) - b * kFrames;
            const std::int64_t hi = std::min(end, (b + 1) * kFrames) - b * kFrames;
            const float* p = block.data() + static_cast<std::size_t>(c);
            for (std::int64_t k = lo; k < hi; ++k)
                f(p[static_cast<std::size_t>(k) * m_n]);
        }
    }

    // Reads blocks firstBlock .. endBlock - 1 that are not held yet.
    void Ensure(std::int64_t firstBlock, std::int64_t endBlock) {
        for (std::int64_t b = firstBlock; b < endBlock;) {
            if (m_blocks.count(b)) {
                ++b;
                continue;
            }
            std::int64_t runEnd = b + 1;
            while (runEnd < endBlock && !m_blocks.count(runEnd))
                ++runEnd;
            const std::int64_t firstFrame = b * kFrames;
            const std::int64_t frames = std::min(runEnd * kFrames, m_framesInFile) - firstFrame;
            std::vector<float> buffer(static_cast<std::size_t>(frames) * m_n);
            const std::size_t bytes = buffer.size() * sizeof(float);
            const std::size_t got = m_file.ReadAt(firstFrame * static_cast<std::int64_t>(m_n * sizeof(float)),
                                                  buffer.data(), bytes);
            if (got < bytes)  // the file shrank under us: what is missing reads as nothing
                m_framesInFile = firstFrame + static_cast<std::int64_t>(got / (m_n * sizeof(float)));
            m_framesRead += frames;
            for (std::int64_t k = b; k < runEnd; ++k) {
                const std::size_t from = static_cast<std::size_t>((k - b) * kFrames) * m_n;
                const std::size_t to = std::min(buffer.size(), from + static_cast<std::size_t>(kFrames) * m_n);
                m_blocks.emplace(k, std::vector<float>(buffer.begin() + static_cast<std::ptrdiff_t>(std::min(from, to)),
                                                       buffer.begin() + static_cast<std::ptrdiff_t>(to)));
                // A short block is padded so that indexing stays in range;
                // its missing frames lie past m_framesInFile and are never used.
                m_blocks[k].resize(static_cast<std::size_t>(kFrames) * m_n);
            }
            b = runEnd;
        }
    }

    const platform::File& m_file;
    std::size_t m_n;
    std::int64_t& m_framesRead;
    std::int64_t m_framesInFile = 0;
    std::map<std::int64_t, std::vector<float>> m_blocks;
};

// Column extents of several columns of the file over one window, reading
// each frame of the window once.
void ScanWindowOnce(const platform::File& file, int channelsPerFrame, const WaveformColumns& columns,
                    const std::vector<int>& channels, std::vector<std::vector<ColumnExtent>*>& outs,
                    std::int64_t& framesRead) {
    const int w = columns.Width();
    for (auto* out : outs)
        out->assign(static_cast<std::size_t>(w), ColumnExtent{});
    if (w == 0)
        return;
    const auto n = static_cast<std::size_t>(channelsPerFrame);
    const std::int64_t frameBytes = static_cast<std::int64_t>(n * sizeof(float));
    const std::size_t chunk = std::max<std::size_t>(1, (std::size_t{1} << 20) / (n * sizeof(float)));
    std::vector<float> buffer(chunk * n);
    const std::int64_t end = columns.Boundary(w);
    std::int64_t frame = columns.Boundary(0);
    int p = 0;  // column of `frame`
    std::vector<double> lo(channels.size(), kNoLow), hi(channels.size(), kNoHigh);
    auto close = [&] {
        for (std::size_t i = 0; i < channels.size(); ++i) {
            if (lo[i] <= hi[i])
                (*outs[i])[static_cast<std::size_t>(p)] = ColumnExtent{lo[i], hi[i], false};
            lo[i] = kNoLow;
            hi[i] = kNoHigh;
        }
    };
    while (frame < end) {
        const std::size_t want = static_cast<std::size_t>(std::min<std::int64_t>(end - frame, chunk));
        const std::size_t got = file.ReadAt(frame * frameBytes, buffer.data(), want * n * sizeof(float)) /
                                (n * sizeof(float));
        framesRead += static_cast<std::int64_t>(got);
        std::size_t f = 0;
        while (f < got) {
            const std::int64_t k = frame + static_cast<std::int64_t>(f);
            while (k >= columns.Boundary(p + 1)) {  // empty columns are passed over
                close();
                ++p;
            }
            // The frames of this column that are in the buffer.
            const std::size_t stop =
                std::min<std::size_t>(got, static_cast<std::size_t>(columns.Boundary(p + 1) - frame));
            for (std::size_t i = 0; i < channels.size(); ++i) {
                const float* v = buffer.data() + static_cast<std::size_t>(channels[i]);
                double l = lo[i], h = hi[i];
                for (std::size_t g = f; g < stop; ++g)
                    Fold(v[g * n], l, h);
                lo[i] = l;
                hi[i] = h;
            }
            f = stop;
        }
        if (got < want)
            break;  // end of the file
        frame += static_cast<std::int64_t>(got);
    }
    if (p < w)
        close();
}

}  // namespace

int TraceFetcher::Add(const Request& request) {
    m_requests.push_back(request);
    return static_cast<int>(m_requests.size()) - 1;
}

void TraceFetcher::Fetch() {
    m_framesRead = 0;
    m_results.assign(m_requests.size(), TraceValues{});
    // Traces of one file (and frame size) are read together.
    std::map<std::pair<const platform::File*, int>, std::vector<std::size_t>> groups;
    for (std::size_t i = 0; i < m_requests.size(); ++i) {
        const Request& r = m_requests[i];
        TraceValues& t = m_results[i];
        t.windowStart = r.windowStart;
        t.windowEnd = r.windowEnd;
        t.columns = WaveformColumns(r.windowStart, r.windowEnd, r.width);
        t.perSample = !t.columns.IsEmpty() && t.columns.SamplesPerPixel() < 4.0;
        if (t.columns.IsEmpty())
            continue;
        if (r.file) {
            if (r.file->IsOpen() && r.channelsPerFrame > 0 && r.channel >= 0 && r.channel < r.channelsPerFrame)
                groups[{r.file, r.channelsPerFrame}].push_back(i);
            else if (!t.perSample)
                t.extents.assign(static_cast<std::size_t>(r.width), ColumnExtent{});
        } else {
            FetchMemory(i);
        }
    }
    for (const auto& [key, members] : groups) {
        try {
            FetchFileGroup(members);
        } catch (const std::exception&) {
            for (std::size_t i : members) {
                m_results[i].failed = true;
                m_results[i].values.clear();
                m_results[i].extents.assign(static_cast<std::size_t>(m_results[i].columns.Width()), ColumnExtent{});
            }
        }
    }
}

void TraceFetcher::FetchMemory(std::size_t i) {
    const Request& r = m_requests[i];
    TraceValues& t = m_results[i];
    const auto n = static_cast<std::int64_t>(r.memory.size());
    if (t.perSample) {
        const std::int64_t first = t.columns.Boundary(0);
        const std::int64_t end = std::min(t.columns.Boundary(t.columns.Width()), n);
        t.firstSample = first;
        if (end > first)
            t.values.assign(r.memory.begin() + first, r.memory.begin() + end);
        return;
    }
    if (m_cache && !r.memory.empty())
        m_cache->ForMemory(r.slot, r.kind, r.memory)->ColumnExtents(t.columns, r.memory, t.extents);
    else
        ScanColumnExtents(r.memory, t.columns, t.extents);
}

void TraceFetcher::FetchFileGroup(const std::vector<std::size_t>& members) {
    const Request& head = m_requests[members.front()];
    FrameBlocks frames(*head.file, head.channelsPerFrame, m_framesRead);
    // Windows with no summary yet, by window: scanned once for all their columns.
    std::map<std::tuple<double, double, int>, std::vector<std::size_t>> unsummarised;
    for (std::size_t i : members) {
        const Request& r = m_requests[i];
        TraceValues& t = m_results[i];
        if (t.perSample) {
            t.firstSample = t.columns.Boundary(0);
            frames.Read(r.channel, t.firstSample, t.columns.Boundary(t.columns.Width()), t.values);
            continue;
        }
        std::shared_ptr<const MinMaxSummary> summary =
            m_cache ? m_cache->ForFile(*r.file, r.channelsPerFrame, r.channel) : nullptr;
        if (summary) {
            const int c = r.channel;
            summary->ColumnExtents(
                t.columns,
                [&frames, c](std::int64_t first, std::int64_t end, double& lo, double& hi) {
                    frames.Fold(c, first, end, lo, hi);
                },
                t.extents);
        } else {
            unsummarised[{r.windowStart, r.windowEnd, r.width}].push_back(i);
        }
    }
    for (const auto& [window, indices] : unsummarised) {
        std::vector<int> channels;
        std::vector<std::vector<ColumnExtent>*> outs;
        for (std::size_t i : indices) {
            channels.push_back(m_requests[i].channel);
            outs.push_back(&m_results[i].extents);
        }
        ScanWindowOnce(*head.file, head.channelsPerFrame, m_results[indices.front()].columns, channels, outs,
                       m_framesRead);
    }
}

}  // namespace vocomet
