#include "app/MinMaxSummary.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <mutex>
#include <random>
#include <stdexcept>
#include <vector>

#include "app/MinMaxSummaryCache.h"
#include "app/TraceFetcher.h"
#include "platform/File.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// Noise with single NaNs, runs of NaNs as long as several blocks of every
// level, two infinities and signed zeros, so blocks of every kind occur.
std::vector<float> Signal(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = noise(rng) + 0.5f * std::sin(static_cast<float>(i) * 0.001f);
    for (std::size_t i = 0; i + 600 < n; i += 9973)
        v[i] = kNaN;
    auto nanRun = [&](std::size_t first, std::size_t count) {
        for (std::size_t i = first; i < std::min(n, first + count); ++i)
            v[i] = kNaN;
    };
    nanRun(1000, 300);                                        // middle-sized blocks
    nanRun(20000 - 17, 3 * SampleSummary::kCoarseBlock + 40);  // whole coarse blocks
    if (n > 150000) {
        v[150001] = kInf;
        v[150777] = -kInf;
        v[140000] = 0.0f;
        v[140001] = -0.0f;
    }
    return v;
}

// The summary of samples built in pieces of pieceSamples, as a background
// build makes it.
MinMaxSummary InPieces(const std::vector<float>& samples, std::size_t pieceSamples, std::size_t pieces = SIZE_MAX) {
    MinMaxSummary s;
    for (std::size_t i = 0, k = 0; i < samples.size() && k < pieces; i += pieceSamples, ++k) {
        const std::size_t count = std::min(pieceSamples, samples.size() - i);
        s.Append(std::make_shared<const SampleSummary>(
            SampleSummary::FromSamples(std::span<const float>(samples).subspan(i, count))));
    }
    return s;
}

void ExpectSameColumns(const std::vector<ColumnExtent>& want, const std::vector<ColumnExtent>& got,
                       const char* what, std::size_t from = 0, std::size_t to = SIZE_MAX) {
    ASSERT_EQ(want.size(), got.size()) << what;
    for (std::size_t p = from; p < std::min(to, want.size()); ++p) {
        ASSERT_EQ(want[p].empty, got[p].empty) << what << " column " << p;
        if (!want[p].empty) {
            ASSERT_EQ(want[p].min, got[p].min) << what << " column " << p;
            ASSERT_EQ(want[p].max, got[p].max) << what << " column " << p;
        }
    }
}

struct Window {
    double start;
    double end;
    int width;
};

// Windows of every shape: the whole series, past its end, and random ones
// whose spans run from a few samples per column to thousands of coarse
// blocks, at random widths.
std::vector<Window> RandomWindows(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    const double length = static_cast<double>(std::max<std::size_t>(n, 1));
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::uniform_int_distribution<int> width(1, 1500);
    std::vector<Window> windows{{0.0, length, 1000}, {0.0, length + 5000.5, 777}, {12.25, 12.75 + 255.0 * 3, 3}};
    for (int i = 0; i < 300; ++i) {
        const double span = std::exp(unit(rng) * std::log(length + 8.0)) + 1.0;
        const double start = unit(rng) * (length + 100.0 - std::min(span, length));
        windows.push_back({start, start + span, width(rng)});
    }
    return windows;
}

TEST(MinMaxSummary, ColumnsEqualAFullScanWhateverTheWindow) {
    for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{31}, std::size_t{4095}, std::size_t{4097},
                          std::size_t{300001}}) {
        const std::vector<float> samples = Signal(n, 7);
        const MinMaxSummary whole = MinMaxSummary::FromSamples(samples);
        EXPECT_EQ(whole.SampleCount(), static_cast<std::int64_t>(n));
        const MinMaxSummary pieces = InPieces(samples, 3 * SampleSummary::kCoarseBlock);
        EXPECT_EQ(pieces.SampleCount(), static_cast<std::int64_t>(n));
        for (const Window& w : RandomWindows(n, 11)) {
            const WaveformColumns columns(w.start, w.end, w.width);
            std::vector<ColumnExtent> want, got;
            ScanColumnExtents(std::span<const float>(samples), columns, want);
            std::vector<std::int64_t> bounds;
            for (int p = 0; p <= columns.Width(); ++p)
                bounds.push_back(columns.Boundary(p));
            for (const MinMaxSummary* s : {&whole, &pieces}) {
                // The samples scanned one by one lie at the column ends:
                // fewer than a fine block at each end of a column.
                std::vector<std::int64_t> scanned(static_cast<std::size_t>(columns.Width()), 0);
                std::int64_t last = 0;
                const int exact = s->ColumnExtents(
                    columns, static_cast<std::int64_t>(n),
                    [&](std::int64_t first, std::int64_t end, double& lo, double& hi) {
                        ASSERT_LE(last, first);  // in sample order, inside the series
                        ASSERT_LT(first, end);
                        ASSERT_LE(end, static_cast<std::int64_t>(n));
                        last = end;
                        const auto p = std::upper_bound(bounds.begin(), bounds.end(), first) - bounds.begin() - 1;
                        scanned[static_cast<std::size_t>(p)] += end - first;
                        for (std::int64_t k = first; k < end; ++k) {
                            const double v = samples[static_cast<std::size_t>(k)];
                            lo = v < lo ? v : lo;
                            hi = v > hi ? v : hi;
                        }
                    },
                    got);
                const std::int64_t worst = scanned.empty() ? 0 : *std::max_element(scanned.begin(), scanned.end());
                EXPECT_EQ(exact, w.width);
                EXPECT_LE(worst, 2 * (SampleSummary::kFineBlock - 1)) << n << " from " << w.start;
                ExpectSameColumns(want, got, s == &whole ? "whole" : "pieces");
            }
        }
    }
}

TEST(MinMaxSummary, APartSummarisedGivesExactColumnsUpToItsEndAndEmptyOnes) {
    const std::size_t n = 100000;
    const std::vector<float> samples = Signal(n, 3);
    const std::size_t piece = 2 * SampleSummary::kCoarseBlock;
    const MinMaxSummary part = InPieces(samples, piece, 5);
    const auto summarised = static_cast<std::int64_t>(5 * piece);
    ASSERT_EQ(part.SampleCount(), summarised);

    for (const Window& w : RandomWindows(n, 5)) {
        const WaveformColumns columns(w.start, w.end, w.width);
        std::vector<ColumnExtent> want, got;
        ScanColumnExtents(std::span<const float>(samples), columns, want);
        const int done = part.ColumnExtents(
            columns, static_cast<std::int64_t>(n),
            [&](std::int64_t first, std::int64_t end, double& lo, double& hi) {
                ASSERT_LE(end, summarised);
                for (std::int64_t k = first; k < end; ++k) {
                    const double v = samples[static_cast<std::size_t>(k)];
                    lo = v < lo ? v : lo;
                    hi = v > hi ? v : hi;
                }
            },
            got);
        // Exact up to the first column that reaches past the summarised
        // samples, empty from there.
        int firstMissing = w.width;
        for (int p = 0; p < w.width; ++p)
            if (std::min<std::int64_t>(columns.Boundary(p + 1), n) > summarised) {
                firstMissing = p;
                break;
            }
        ASSERT_EQ(done, firstMissing) << w.start << " .. " << w.end;
        ExpectSameColumns(want, got, "summarised part", 0, static_cast<std::size_t>(done));
        for (std::size_t p = static_cast<std::size_t>(done); p < got.size(); ++p)
            ASSERT_TRUE(got[p].empty) << "column " << p;
    }

    // Pieces line up on coarse blocks only.
    MinMaxSummary odd(std::make_shared<const SampleSummary>(SampleSummary::FromSamples(
        std::span<const float>(samples).first(1000))));
    EXPECT_THROW(odd.Append(std::make_shared<const SampleSummary>(SampleSummary::FromSamples(samples))),
                 std::invalid_argument);
}

// An interleaved float file of `channels` columns; the last frame is cut
// short by one value. Returns the column values.
std::vector<std::vector<float>> WriteFrames(const std::string& path, int channels, std::size_t frames, unsigned seed) {
    const std::vector<float> signal = Signal(frames * static_cast<std::size_t>(channels), seed);
    platform::File out(path, platform::File::Mode::Create);
    out.Write(signal.data(), signal.size() * sizeof(float) - 4);
    std::vector<std::vector<float>> columns(static_cast<std::size_t>(channels));
    for (std::size_t f = 0; f + 1 < frames; ++f)
        for (int c = 0; c < channels; ++c)
            columns[static_cast<std::size_t>(c)].push_back(signal[f * static_cast<std::size_t>(channels) + c]);
    return columns;
}

// Fetches one trace of column `channel` and checks it against a full scan.
void ExpectTraceOfAFullScan(TraceFetcher& fetcher, const platform::File& file, int channels, int channel,
                            const Window& w, std::shared_ptr<const SampleSummary> handed, const char* what) {
    TraceFetcher::Request r;
    r.file = &file;
    r.channelsPerFrame = channels;
    r.channel = channel;
    r.windowStart = w.start;
    r.windowEnd = w.end;
    r.width = w.width;
    r.summary = std::move(handed);
    fetcher.Clear();
    const int i = fetcher.Add(r);
    fetcher.Fetch();
    const TraceValues& t = fetcher.Result(i);
    ASSERT_FALSE(t.failed) << what;
    ASSERT_FALSE(t.incomplete) << what;
    const WaveformColumns columns(w.start, w.end, w.width);
    if (t.perSample) {
        std::vector<float> raw;
        ReadChannelSamples(file, channels, channel, columns.Boundary(0),
                           static_cast<std::size_t>(columns.Boundary(w.width) - columns.Boundary(0)), raw);
        ASSERT_EQ(t.values.size(), raw.size()) << what;
        for (std::size_t j = 0; j < raw.size(); ++j)  // NaN for NaN
            ASSERT_TRUE(t.values[j] == raw[j] || (std::isnan(t.values[j]) && std::isnan(raw[j]))) << what;
    } else {
        std::vector<ColumnExtent> want;
        ScanColumnExtents(file, channels, channel, columns, want);
        ExpectSameColumns(want, t.extents, what);
    }
}

TEST(MinMaxSummary, FileTracesEqualAFullScanFromEveryKindOfSummary) {
    // Three channels interleaved; the middle one is checked.
    constexpr int kChannels = 3;
    const std::size_t frames = 200003;
    const std::string path = test::FreshTempDir() + "/frames.f32";
    const auto columns = WriteFrames(path, kChannels, frames, 5);
    const platform::File file(path, platform::File::Mode::Read);
    const auto handed = std::make_shared<const SampleSummary>(SampleSummary::FromSamples(columns[1]));

    MinMaxSummaryCache built;  // builds its own in the background
    EXPECT_TRUE(built.ForFile(file, kChannels, 1).building);
    ASSERT_TRUE(built.WaitForBuilds(std::chrono::seconds(30)));
    const MinMaxSummaryCache::FileSummary ready = built.ForFile(file, kChannels, 2);
    ASSERT_NE(ready.summary, nullptr);
    EXPECT_FALSE(ready.building);
    EXPECT_EQ(ready.summary->SampleCount(), static_cast<std::int64_t>(frames - 1));
    EXPECT_EQ(built.FileBuildsStarted(), 1);  // one pass for every column

    MinMaxSummaryCache given;  // takes the one handed over
    TraceFetcher scan(nullptr), withBuilt(&built), withHanded(nullptr), withGiven(&given);
    for (const Window& w : RandomWindows(frames, 3)) {
        ExpectTraceOfAFullScan(scan, file, kChannels, 1, w, nullptr, "scan");
        ExpectTraceOfAFullScan(withBuilt, file, kChannels, 1, w, nullptr, "built summary");
        ExpectTraceOfAFullScan(withHanded, file, kChannels, 1, w, handed, "handed summary");
        ExpectTraceOfAFullScan(withGiven, file, kChannels, 1, w, handed, "handed summary in a cache");
    }
    EXPECT_EQ(given.FileBuildsStarted(), 0);
}

TEST(MinMaxSummary, FileTracesReadEachFrameOnceAndWithASummaryOnlyTheColumnEnds) {
    constexpr int kChannels = 4;
    const std::size_t frames = 400001;
    const std::string path = test::FreshTempDir() + "/frames.f32";
    const auto values = WriteFrames(path, kChannels, frames, 9);
    const platform::File file(path, platform::File::Mode::Read);
    std::vector<std::shared_ptr<const SampleSummary>> summaries;
    for (const auto& v : values)
        summaries.push_back(std::make_shared<const SampleSummary>(SampleSummary::FromSamples(v)));

    for (const Window& w : {Window{0.0, 400000.0, 800}, Window{5000.0, 6000.0, 80}, Window{0.0, 400000.0, 37},
                            Window{12345.5, 12345.5 + 37 * 20000.25, 37}}) {
        for (bool withSummaries : {false, true}) {
            TraceFetcher fetcher(nullptr);
            std::vector<int> ids;
            for (int c = 0; c < kChannels; ++c) {
                TraceFetcher::Request r;
                r.file = &file;
                r.channelsPerFrame = kChannels;
                r.channel = c;
                r.windowStart = w.start;
                r.windowEnd = w.end;
                r.width = w.width;
                if (withSummaries)
                    r.summary = summaries[static_cast<std::size_t>(c)];
                ids.push_back(fetcher.Add(r));
            }
            fetcher.Fetch();
            // At most the fine blocks at the window's ends lie outside it.
            EXPECT_LE(fetcher.FramesRead(), static_cast<std::int64_t>(w.end - w.start) + 2 * SampleSummary::kFineBlock);
            const bool wide = (w.end - w.start) / w.width > 10000;
            if (withSummaries && wide) {  // a fine block at each column boundary, for all channels
                EXPECT_LE(fetcher.FramesRead(), (w.width + 1) * SampleSummary::kFineBlock) << w.width;
            }
            for (int c = 0; c < kChannels; ++c) {
                const TraceValues& t = fetcher.Result(ids[static_cast<std::size_t>(c)]);
                ASSERT_FALSE(t.perSample);
                std::vector<ColumnExtent> want;
                ScanColumnExtents(file, kChannels, c, t.columns, want);
                ExpectSameColumns(want, t.extents, withSummaries ? "summaries" : "shared pass");
            }
        }
    }
}

TEST(MinMaxSummaryCache, TakesAHandedOverSummaryOnlyWhenItFitsTheSeries) {
    // A summary of other samples of the same length shows whether the
    // handed one is used: its extremes are not those of the samples. The
    // columns are whole coarse blocks, so no sample is read to draw them.
    const std::size_t n = 10 * SampleSummary::kCoarseBlock;
    const std::vector<float> a = Signal(n, 1);
    std::vector<float> b = a;
    for (float& v : b)
        v = v * 2.0f + 10.0f;
    const auto ofB = std::make_shared<const SampleSummary>(SampleSummary::FromSamples(b));
    const auto shortOfB = std::make_shared<const SampleSummary>(
        SampleSummary::FromSamples(std::span<const float>(b).first(n - 1)));
    const WaveformColumns columns(0, static_cast<double>(n), 10);
    std::vector<ColumnExtent> out, scanA, scanB;
    ScanColumnExtents(std::span<const float>(a), columns, scanA);
    ScanColumnExtents(std::span<const float>(b), columns, scanB);

    MinMaxSummaryCache cache;
    cache.ForMemory(0, MinMaxSummaryCache::Kind::Samples, a, ofB)->ColumnExtents(columns, a, out);
    ExpectSameColumns(scanB, out, "handed over, fits");
    cache.ForMemory(0, MinMaxSummaryCache::Kind::Samples, a, shortOfB)->ColumnExtents(columns, a, out);
    ExpectSameColumns(scanA, out, "handed over, one sample short");

    // A data file's column: a fitting summary starts no build, one that
    // does not fit is passed over and the file is summarised.
    const std::string path = test::FreshTempDir() + "/column.f32";
    {
        platform::File f(path, platform::File::Mode::Create);
        f.Write(a.data(), a.size() * sizeof(float));
    }
    const platform::File file(path, platform::File::Mode::Read);
    const MinMaxSummaryCache::FileSummary fits = cache.ForFile(file, 1, 0, ofB);
    ASSERT_NE(fits.summary, nullptr);
    EXPECT_FALSE(fits.building);
    EXPECT_EQ(cache.FileBuildsStarted(), 0);
    TraceFetcher fetcher(&cache);
    TraceFetcher::Request r;
    r.file = &file;
    r.windowEnd = static_cast<double>(n);
    r.width = 10;
    r.summary = ofB;
    const int i = fetcher.Add(r);
    fetcher.Fetch();
    ExpectSameColumns(scanB, fetcher.Result(i).extents, "trace of a handed-over summary");
    EXPECT_EQ(cache.FileBuildsStarted(), 0);

    EXPECT_TRUE(cache.ForFile(file, 1, 0, shortOfB).building);
    EXPECT_EQ(cache.FileBuildsStarted(), 1);
    ASSERT_TRUE(cache.WaitForBuilds(std::chrono::seconds(10)));
    const MinMaxSummaryCache::FileSummary own = cache.ForFile(file, 1, 0, shortOfB);
    ASSERT_NE(own.summary, nullptr);
    own.summary->ColumnExtents(columns, a, out);
    ExpectSameColumns(scanA, out, "summary of the file");
}

TEST(MinMaxSummaryCache, RebuildsWhenTheBlockOrTheFileChanges) {
    std::vector<float> a = Signal(5000, 1);
    MinMaxSummaryCache cache;
    auto s1 = cache.ForMemory(0, MinMaxSummaryCache::Kind::Samples, a);
    EXPECT_EQ(cache.ForMemory(0, MinMaxSummaryCache::Kind::Samples, a), s1);
    a[10] = 1000.0f;  // an edit in place: only an invalidation shows it
    cache.Invalidate(0);
    auto s2 = cache.ForMemory(0, MinMaxSummaryCache::Kind::Samples, a);
    EXPECT_NE(s2, s1);
    std::vector<ColumnExtent> out;
    s2->ColumnExtents(WaveformColumns(0, 5000, 10), a, out);
    EXPECT_EQ(out[0].max, 1000.0);
    EXPECT_NE(cache.ForMemory(0, MinMaxSummaryCache::Kind::Samples, std::span<const float>(a).first(4000)), s2);

    // A file that grew is summarised again.
    const std::string path = test::FreshTempDir() + "/grow.f32";
    platform::File file(path, platform::File::Mode::Create);
    file.Write(a.data(), 4000 * sizeof(float));
    cache.ForFile(file, 1, 0);
    ASSERT_TRUE(cache.WaitForBuilds(std::chrono::seconds(10)));
    ASSERT_EQ(cache.ForFile(file, 1, 0).summary->SampleCount(), 4000);
    file.Write(a.data(), 1000 * sizeof(float));
    EXPECT_EQ(cache.ForFile(file, 1, 0).summary, nullptr);
    ASSERT_TRUE(cache.WaitForBuilds(std::chrono::seconds(10)));
    EXPECT_EQ(cache.ForFile(file, 1, 0).summary->SampleCount(), 5000);
    EXPECT_EQ(cache.ForFile(file, 1, 5).summary, nullptr);  // no such column
}

// Holds a build after its first published piece until released.
class PieceGate {
public:
    void operator()() {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_calls;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }
    bool WaitForFirstPiece() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(30), [this] { return m_calls > 0; });
    }
    void Open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }
    int Calls() {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_calls;
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_calls = 0;
    bool m_open = false;
};

TEST(MinMaxSummaryCache, PublishesItsBuildPieceByPiece) {
    const std::size_t frames = 300000;
    const std::vector<float> x = Signal(frames, 4);
    const std::string path = test::FreshTempDir() + "/long.f32";
    {
        platform::File f(path, platform::File::Mode::Create);
        f.Write(x.data(), x.size() * sizeof(float));
    }
    const platform::File file(path, platform::File::Mode::Read);
    constexpr std::int64_t kPieceFrames = 4 * SampleSummary::kCoarseBlock;
    MinMaxSummaryCache cache(kPieceFrames * 4);
    PieceGate gate;
    const int listener = cache.AddProgressListener([&gate] { gate(); });

    EXPECT_TRUE(cache.ForFile(file, 1, 0).building);
    ASSERT_TRUE(gate.WaitForFirstPiece());
    const MinMaxSummaryCache::FileSummary first = cache.ForFile(file, 1, 0);
    EXPECT_TRUE(first.building);
    ASSERT_NE(first.summary, nullptr);
    EXPECT_EQ(first.summary->SampleCount(), kPieceFrames);

    // A long window gets the columns summarised so far and nothing beyond,
    // reading only their ends; a short one is read whole.
    TraceFetcher fetcher(&cache);
    TraceFetcher::Request r;
    r.file = &file;
    r.windowEnd = static_cast<double>(frames);
    r.width = 300;
    const int whole = fetcher.Add(r);
    r.windowStart = 200000;
    r.windowEnd = 200000 + 300 * 50;
    const int shortWindow = fetcher.Add(r);
    fetcher.Fetch();
    EXPECT_TRUE(fetcher.Incomplete());
    const TraceValues& t = fetcher.Result(whole);
    EXPECT_TRUE(t.incomplete);
    std::vector<ColumnExtent> want;
    ScanColumnExtents(std::span<const float>(x), t.columns, want);
    const auto done = static_cast<std::size_t>(kPieceFrames / 1000);  // 1000 samples per column
    ExpectSameColumns(want, t.extents, "summarised columns", 0, done);
    for (std::size_t p = done; p < t.extents.size(); ++p)
        ASSERT_TRUE(t.extents[p].empty) << p;
    EXPECT_FALSE(fetcher.Result(shortWindow).incomplete);
    ScanColumnExtents(std::span<const float>(x), fetcher.Result(shortWindow).columns, want);
    ExpectSameColumns(want, fetcher.Result(shortWindow).extents, "short window");
    // Nothing past the summarised part is read but the short window.
    EXPECT_LE(fetcher.FramesRead(), 300 * 50 + kPieceFrames);

    gate.Open();
    ASSERT_TRUE(cache.WaitForBuilds(std::chrono::seconds(30)));
    const MinMaxSummaryCache::FileSummary last = cache.ForFile(file, 1, 0);
    EXPECT_FALSE(last.building);
    ASSERT_NE(last.summary, nullptr);
    EXPECT_EQ(last.summary->SampleCount(), static_cast<std::int64_t>(frames));
    // The finished build is one summary, not its pieces.
    EXPECT_EQ(last.summary->PieceCount(), 1u);
    cache.RemoveProgressListener(listener);
    // Every piece and the end of the build were told.
    EXPECT_EQ(gate.Calls(), static_cast<int>((frames + kPieceFrames - 1) / kPieceFrames) + 1);
    fetcher.Fetch();
    EXPECT_FALSE(fetcher.Incomplete());
    ScanColumnExtents(std::span<const float>(x), fetcher.Result(whole).columns, want);
    ExpectSameColumns(want, fetcher.Result(whole).extents, "after the build");
}

}  // namespace
}  // namespace vocomet
