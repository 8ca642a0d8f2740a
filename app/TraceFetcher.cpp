#include "app/TraceFetcher.h"

#include <algorithm>
#include <bit>
#include <limits>
#include <tuple>

#include "platform/File.h"

namespace vocomet {

namespace {

static_assert(std::endian::native == std::endian::little, "data files hold little-endian floats");

constexpr double kNoLow = std::numeric_limits<double>::infinity();
constexpr double kNoHigh = -std::numeric_limits<double>::infinity();

// Frames between two needed stretches that are read through rather than
// skipped with a read of their own: a read costs about what copying this
// much does.
constexpr std::int64_t kMergeGapBytes = 4096;

inline void Fold(double v, double& lo, double& hi) {
    lo = v < lo ? v : lo;
    hi = v > hi ? v : hi;
}

// Column extents of several columns of the file over one window, reading
// each frame of the window once, a megabyte at a time.
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

// The frames a repaint needs of one data file: stretches gathered first,
// then merged into runs in frame order and read with one positional read per
// run into one flat buffer, where the traces find them. The channels whose
// column ends are scanned get a column-major copy as well, so that such a
// scan reads a few neighbouring values instead of a cache line per frame.
class TraceFetcher::FrameRuns {
public:
    void Reset(int channelsPerFrame) {
        m_n = static_cast<std::size_t>(channelsPerFrame);
        m_ranges.clear();
        m_runs.clear();
        m_frames = 0;
        m_cursor = 0;
        m_slotOf.assign(m_n, -1);
        m_slots = 0;
    }

    // Frames first .. end - 1 will be needed.
    void Need(std::int64_t first, std::int64_t end) {
        if (first < end)
            m_ranges.push_back(Run{first, end, 0});
    }
    // Column c will be scanned (FoldColumn).
    void NeedColumn(int c) {
        if (m_slotOf[static_cast<std::size_t>(c)] < 0)
            m_slotOf[static_cast<std::size_t>(c)] = m_slots++;
    }

    // Reads what was asked for of the framesInFile frames the file holds.
    // A file that turns out shorter leaves the missing frames out.
    void Read(const platform::File& file, std::int64_t framesInFile, std::int64_t& framesRead) {
        const std::int64_t frameBytes = static_cast<std::int64_t>(m_n * sizeof(float));
        const std::int64_t gap = kMergeGapBytes / frameBytes;
        auto byFirst = [](const Run& a, const Run& b) { return a.first < b.first; };
        if (!std::is_sorted(m_ranges.begin(), m_ranges.end(), byFirst))
            std::sort(m_ranges.begin(), m_ranges.end(), byFirst);
        std::size_t total = 0;
        for (const Run& r : m_ranges) {
            const std::int64_t first = std::max<std::int64_t>(r.first, 0);
            const std::int64_t end = std::min(r.end, framesInFile);
            if (first >= end)
                continue;
            if (!m_runs.empty() && first <= m_runs.back().end + gap) {
                if (end > m_runs.back().end) {
                    total += static_cast<std::size_t>(end - m_runs.back().end);
                    m_runs.back().end = end;
                }
            } else {
                m_runs.push_back(Run{first, end, 0});
                total += static_cast<std::size_t>(end - first);
            }
        }
        Reserve(m_buffer, m_capacity, total * m_n);
        std::size_t offset = 0;  // frames
        bool ended = false;
        for (Run& run : m_runs) {
            run.offset = offset;
            if (ended) {
                run.end = run.first;
                continue;
            }
            const std::size_t bytes = static_cast<std::size_t>(run.end - run.first) * m_n * sizeof(float);
            const std::size_t got = file.ReadAt(run.first * frameBytes, m_buffer.get() + offset * m_n, bytes);
            const auto frames = static_cast<std::int64_t>(got / static_cast<std::size_t>(frameBytes));
            framesRead += frames;
            if (got < bytes) {  // the file shrank under us: what is missing reads as nothing
                run.end = run.first + frames;
                ended = true;
            }
            offset += static_cast<std::size_t>(run.end - run.first);
        }
        m_frames = offset;
        if (m_slots > 0) {
            Reserve(m_columns, m_columnCapacity, m_frames * static_cast<std::size_t>(m_slots));
            // One pass over the frames for all the columns.
            m_copies.clear();
            for (std::size_t c = 0; c < m_n; ++c)
                if (m_slotOf[c] >= 0)
                    m_copies.push_back({c, m_columns.get() + static_cast<std::size_t>(m_slotOf[c]) * m_frames});
            for (std::size_t f = 0; f < m_frames; ++f) {
                const float* frame = m_buffer.get() + f * m_n;
                for (const auto& [c, to] : m_copies)
                    to[f] = frame[c];
            }
        }
    }

    // Calls f(index, count) for each stretch of frames first .. end - 1 that
    // was read, in order; index is that of the stretch's first frame among
    // the frames read.
    template <typename F>
    void Stretches(std::int64_t first, std::int64_t end, F&& f) {
        if (first >= end || m_runs.empty())
            return;
        // Calls mostly move forward: step the cursor, and search only when
        // the stretch lies before it.
        if (m_cursor >= m_runs.size() || m_runs[m_cursor].first > first) {
            m_cursor = static_cast<std::size_t>(
                std::partition_point(m_runs.begin(), m_runs.end(), [first](const Run& r) { return r.end <= first; }) -
                m_runs.begin());
        } else {
            while (m_cursor < m_runs.size() && m_runs[m_cursor].end <= first)
                ++m_cursor;
        }
        for (std::size_t k = m_cursor; k < m_runs.size() && m_runs[k].first < end; ++k) {
            const Run& r = m_runs[k];
            const std::int64_t s = std::max(first, r.first);
            const std::int64_t e = std::min(end, r.end);
            if (s < e)
                f(r.offset + static_cast<std::size_t>(s - r.first), static_cast<std::size_t>(e - s));
        }
    }

    // Calls f(frames, count) for each stretch of frames first .. end - 1
    // that was read; frames points at the first frame's values.
    template <typename F>
    void Segments(std::int64_t first, std::int64_t end, F&& f) {
        Stretches(first, end, [&](std::size_t index, std::size_t count) { f(m_buffer.get() + index * m_n, count); });
    }

    // Folds column c (one asked for with NeedColumn) of frames
    // first .. end - 1 into lo and hi.
    void FoldColumn(int c, std::int64_t first, std::int64_t end, double& lo, double& hi) {
        const float* column =
            m_columns.get() + static_cast<std::size_t>(m_slotOf[static_cast<std::size_t>(c)]) * m_frames;
        Stretches(first, end, [&](std::size_t index, std::size_t count) {
            const float* v = column + index;
            double l = lo, h = hi;
            for (std::size_t k = 0; k < count; ++k)
                vocomet::Fold(v[k], l, h);
            lo = l;
            hi = h;
        });
    }

    std::size_t Stride() const { return m_n; }

private:
    struct Run {
        std::int64_t first = 0;
        std::int64_t end = 0;
        std::size_t offset = 0;  // index of its first frame among the frames read
    };

    // Room for `floats` values, kept between repaints and never filled in
    // advance: every value used is read or copied first.
    static void Reserve(std::unique_ptr<float[]>& buffer, std::size_t& capacity, std::size_t floats) {
        if (floats > capacity) {
            buffer = std::make_unique_for_overwrite<float[]>(floats);
            capacity = floats;
        }
    }

    std::size_t m_n = 1;
    std::vector<Run> m_ranges;
    std::vector<Run> m_runs;
    std::unique_ptr<float[]> m_buffer;  // interleaved frames of the runs, back to back
    std::size_t m_capacity = 0;
    std::size_t m_frames = 0;
    std::vector<int> m_slotOf;  // per channel: its slot in m_columns, -1 for none
    int m_slots = 0;
    std::unique_ptr<float[]> m_columns;  // column-major copies, m_frames values per slot
    std::size_t m_columnCapacity = 0;
    std::vector<std::pair<std::size_t, float*>> m_copies;  // channel, its copy
    std::size_t m_cursor = 0;
};

TraceFetcher::TraceFetcher(MinMaxSummaryCache* cache) : m_cache(cache), m_runs(std::make_unique<FrameRuns>()) {}

TraceFetcher::~TraceFetcher() = default;

void TraceFetcher::Clear() {
    m_requests.clear();
}

int TraceFetcher::Add(const Request& request) {
    m_requests.push_back(request);
    return static_cast<int>(m_requests.size()) - 1;
}

void TraceFetcher::Fetch() {
    m_framesRead = 0;
    m_incomplete = false;
    // Results keep their buffers from the last repaint.
    m_results.resize(m_requests.size());
    // Traces of one file (and frame size) are read together.
    std::vector<std::pair<std::pair<const platform::File*, int>, std::vector<std::size_t>>> groups;
    for (std::size_t i = 0; i < m_requests.size(); ++i) {
        const Request& r = m_requests[i];
        TraceValues& t = m_results[i];
        t.windowStart = r.windowStart;
        t.windowEnd = r.windowEnd;
        t.columns = WaveformColumns(r.windowStart, r.windowEnd, r.width);
        t.perSample = !t.columns.IsEmpty() && t.columns.SamplesPerPixel() < 4.0;
        t.firstSample = 0;
        t.values.clear();
        t.extents.clear();
        t.failed = false;
        t.incomplete = false;
        if (t.columns.IsEmpty())
            continue;
        if (r.file) {
            if (r.file->IsOpen() && r.channelsPerFrame > 0 && r.channel >= 0 && r.channel < r.channelsPerFrame) {
                const std::pair<const platform::File*, int> key{r.file, r.channelsPerFrame};
                auto g = std::find_if(groups.begin(), groups.end(), [&](const auto& e) { return e.first == key; });
                if (g == groups.end())
                    groups.push_back({key, {i}});
                else
                    g->second.push_back(i);
            } else if (!t.perSample) {
                t.extents.assign(static_cast<std::size_t>(r.width), ColumnExtent{});
            }
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
                m_results[i].incomplete = false;
                m_results[i].values.clear();
                m_results[i].extents.assign(static_cast<std::size_t>(m_results[i].columns.Width()), ColumnExtent{});
            }
        }
    }
    for (const TraceValues& t : m_results)
        m_incomplete = m_incomplete || t.incomplete;
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
        m_cache->ForMemory(r.slot, r.kind, r.memory, r.summary)->ColumnExtents(t.columns, r.memory, t.extents);
    else if (r.summary && r.summary->SampleCount() == n)
        MinMaxSummary(r.summary).ColumnExtents(t.columns, r.memory, t.extents);
    else
        ScanColumnExtents(r.memory, t.columns, t.extents);
}

void TraceFetcher::FetchFileGroup(const std::vector<std::size_t>& members) {
    const Request& head = m_requests[members.front()];
    const platform::File& file = *head.file;
    const int n = head.channelsPerFrame;
    const std::int64_t frameBytes = static_cast<std::int64_t>(n) * 4;
    const std::int64_t framesInFile = file.GetLength() / frameBytes;
    constexpr std::int64_t kFine = MinMaxSummary::kFineBlock;

    enum class Plan { PerSample, Summary, Scan, FullScan };
    struct Member {
        std::size_t index;
        Plan plan;
        std::shared_ptr<const MinMaxSummary> summary;
    };
    std::vector<Member> plans;
    plans.reserve(members.size());
    // The windows whose column ends were already asked for: the traces of
    // one file mostly share theirs.
    std::vector<std::tuple<double, double, int, std::int64_t>> endsAsked;

    FrameRuns& runs = *m_runs;
    runs.Reset(n);
    for (std::size_t i : members) {
        const Request& r = m_requests[i];
        TraceValues& t = m_results[i];
        const int w = t.columns.Width();
        const std::int64_t end = std::min(t.columns.Boundary(w), framesInFile);
        const std::int64_t first = std::min(t.columns.Boundary(0), end);
        if (t.perSample) {
            runs.Need(first, end);
            plans.push_back({i, Plan::PerSample, nullptr});
            continue;
        }
        MinMaxSummaryCache::FileSummary found;
        if (m_cache)
            found = m_cache->ForFile(file, n, r.channel, r.summary);
        else if (r.summary && r.summary->SampleCount() == framesInFile)
            found.summary = std::make_shared<const MinMaxSummary>(r.summary);
        const std::int64_t summarised = found.summary ? found.summary->SampleCount() : 0;
        const bool covered = found.summary && summarised >= end;
        const bool small = end - first <= kScanFramesPerPixel * w && (end - first) * frameBytes <= kMaxScanBytes;
        if (covered) {
            plans.push_back({i, Plan::Summary, found.summary});
        } else if (!found.building) {
            // No cache, or its build failed: nothing better will come.
            plans.push_back({i, Plan::FullScan, nullptr});
            continue;
        } else if (small) {
            runs.Need(first, end);
            plans.push_back({i, Plan::Scan, nullptr});
            continue;
        } else if (found.summary) {
            plans.push_back({i, Plan::Summary, found.summary});  // the columns summarised so far
        } else {
            // Nothing summarised yet: the columns wait.
            t.extents.assign(static_cast<std::size_t>(w), ColumnExtent{});
            t.incomplete = true;
            continue;
        }
        // The fine blocks around the column boundaries hold every sample the
        // summary leaves to an exact scan.
        runs.NeedColumn(r.channel);
        const std::int64_t limit = std::min(framesInFile, summarised);
        const std::tuple<double, double, int, std::int64_t> window{r.windowStart, r.windowEnd, w, limit};
        if (std::find(endsAsked.begin(), endsAsked.end(), window) != endsAsked.end())
            continue;
        endsAsked.push_back(window);
        for (int p = 0; p <= w; ++p) {
            const std::int64_t b = std::min(t.columns.Boundary(p), framesInFile);
            if (b > limit)
                break;
            if (b % kFine != 0) {
                const std::int64_t block = b - b % kFine;
                runs.Need(block, std::min(block + kFine, limit));
            }
        }
    }

    runs.Read(file, framesInFile, m_framesRead);

    // Windows read whole for want of a summary, by window: one pass over
    // their frames for all their channels.
    std::vector<std::size_t> scanned;
    std::vector<std::size_t> fullScans;
    for (const Member& m : plans) {
        const Request& r = m_requests[m.index];
        TraceValues& t = m_results[m.index];
        switch (m.plan) {
        case Plan::PerSample: {
            t.firstSample = t.columns.Boundary(0);
            const std::size_t stride = runs.Stride();
            runs.Segments(t.firstSample, t.columns.Boundary(t.columns.Width()),
                          [&](const float* frames, std::size_t count) {
                              const float* v = frames + r.channel;
                              for (std::size_t k = 0; k < count; ++k)
                                  t.values.push_back(v[k * stride]);
                          });
            break;
        }
        case Plan::Summary: {
            const int c = r.channel;
            const int done = m.summary->ColumnExtents(
                t.columns, framesInFile,
                [&runs, c](std::int64_t first, std::int64_t end, double& lo, double& hi) {
                    runs.FoldColumn(c, first, end, lo, hi);
                },
                t.extents);
            t.incomplete = done < t.columns.Width();
            break;
        }
        case Plan::Scan:
            scanned.push_back(m.index);
            break;
        case Plan::FullScan:
            fullScans.push_back(m.index);
            break;
        }
    }

    auto sameWindow = [this](std::size_t a, std::size_t b) {
        const Request& x = m_requests[a];
        const Request& y = m_requests[b];
        return x.windowStart == y.windowStart && x.windowEnd == y.windowEnd && x.width == y.width;
    };
    const std::size_t stride = runs.Stride();
    while (!scanned.empty()) {
        std::vector<std::size_t> group;
        std::vector<std::size_t> rest;
        for (std::size_t i : scanned)
            (sameWindow(i, scanned.front()) ? group : rest).push_back(i);
        scanned = std::move(rest);
        const WaveformColumns& columns = m_results[group.front()].columns;
        const int w = columns.Width();
        for (std::size_t i : group)
            m_results[i].extents.assign(static_cast<std::size_t>(w), ColumnExtent{});
        std::vector<double> lo(group.size()), hi(group.size());
        for (int p = 0; p < w; ++p) {
            std::fill(lo.begin(), lo.end(), kNoLow);
            std::fill(hi.begin(), hi.end(), kNoHigh);
            runs.Segments(columns.Boundary(p), columns.Boundary(p + 1), [&](const float* frames, std::size_t count) {
                for (std::size_t g = 0; g < group.size(); ++g) {
                    const float* v = frames + m_requests[group[g]].channel;
                    double l = lo[g], h = hi[g];
                    for (std::size_t k = 0; k < count; ++k)
                        Fold(v[k * stride], l, h);
                    lo[g] = l;
                    hi[g] = h;
                }
            });
            for (std::size_t g = 0; g < group.size(); ++g)
                if (lo[g] <= hi[g])
                    m_results[group[g]].extents[static_cast<std::size_t>(p)] = ColumnExtent{lo[g], hi[g], false};
        }
    }

    while (!fullScans.empty()) {
        std::vector<std::size_t> group;
        std::vector<std::size_t> rest;
        for (std::size_t i : fullScans)
            (sameWindow(i, fullScans.front()) ? group : rest).push_back(i);
        fullScans = std::move(rest);
        std::vector<int> channels;
        std::vector<std::vector<ColumnExtent>*> outs;
        for (std::size_t i : group) {
            channels.push_back(m_requests[i].channel);
            outs.push_back(&m_results[i].extents);
        }
        ScanWindowOnce(file, n, m_results[group.front()].columns, channels, outs, m_framesRead);
    }
}

}  // namespace vocomet
