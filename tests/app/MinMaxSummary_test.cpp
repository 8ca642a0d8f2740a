#include "app/MinMaxSummary.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "app/MinMaxSummaryCache.h"
#include "app/TraceFetcher.h"
#include "platform/File.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

// Noise with a few NaNs and runs of NaNs, so blocks of every kind occur.
std::vector<float> Signal(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::normal_distribution<float> noise(0.0f, 1.0f);
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = noise(rng) + 0.5f * std::sin(static_cast<float>(i) * 0.001f);
    for (std::size_t i = 0; i + 600 < n; i += 9973)
        v[i] = std::numeric_limits<float>::quiet_NaN();
    if (n > 2000)
        for (std::size_t i = 1000; i < 1000 + 2 * MinMaxSummary::kBlockSize; ++i)
            v[i] = std::numeric_limits<float>::quiet_NaN();
    return v;
}

void ExpectSameColumns(const std::vector<ColumnExtent>& want, const std::vector<ColumnExtent>& got,
                       const char* what) {
    ASSERT_EQ(want.size(), got.size()) << what;
    for (std::size_t p = 0; p < want.size(); ++p) {
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

// Random windows of every shape, including ones that run past the data.
std::vector<Window> RandomWindows(std::size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    std::uniform_real_distribution<double> pos(0.0, static_cast<double>(n));
    std::uniform_int_distribution<int> width(1, 1500);
    std::vector<Window> windows{{0.0, static_cast<double>(n), 1000},
                                {0.0, static_cast<double>(n) + 5000.5, 777},
                                {12.25, 12.75 + 255.0 * 3, 3}};
    for (int i = 0; i < 200; ++i) {
        double a = pos(rng), b = pos(rng);
        if (a > b)
            std::swap(a, b);
        windows.push_back({a, b + 1.0, width(rng)});
    }
    return windows;
}

TEST(MinMaxSummary, ColumnsEqualAFullScanOfMemory) {
    for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{255}, std::size_t{256}, std::size_t{300001}}) {
        const std::vector<float> samples = Signal(n, 7);
        const MinMaxSummary summary = MinMaxSummary::FromSamples(samples);
        EXPECT_EQ(summary.SampleCount(), static_cast<std::int64_t>(n));
        // Built in uneven pieces: the same summary.
        MinMaxSummary::Builder b;
        for (std::size_t i = 0; i < n; i += 1001)
            b.Add(std::span<const float>(samples).subspan(i, std::min<std::size_t>(1001, n - i)));
        const MinMaxSummary pieces = b.Finish();
        for (const Window& w : RandomWindows(std::max<std::size_t>(n, 1), 11)) {
            const WaveformColumns columns(w.start, w.end, w.width);
            std::vector<ColumnExtent> want, got, got2;
            ScanColumnExtents(std::span<const float>(samples), columns, want);
            summary.ColumnExtents(columns, samples, got);
            ExpectSameColumns(want, got, "summary");
            pieces.ColumnExtents(columns, samples, got2);
            ExpectSameColumns(want, got2, "built in pieces");
        }
    }
}

TEST(MinMaxSummary, FileColumnsEqualAFullScanWithAndWithoutTheSummary) {
    // Three channels interleaved; the middle one is checked, and the file
    // ends in the middle of a frame.
    constexpr int kChannels = 3;
    const std::size_t frames = 200003;
    const std::vector<float> signal = Signal(frames * kChannels, 5);
    const std::string path = test::FreshTempDir() + "/frames.f32";
    {
        platform::File out(path, platform::File::Mode::Create);
        out.Write(signal.data(), signal.size() * sizeof(float) - 4);
    }
    const platform::File file(path, platform::File::Mode::Read);

    MinMaxSummaryCache cache;
    EXPECT_EQ(cache.ForFile(file, kChannels, 1), nullptr);  // starts the build
    ASSERT_TRUE(cache.WaitForBuilds(std::chrono::seconds(30)));
    ASSERT_NE(cache.ForFile(file, kChannels, 1), nullptr);
    EXPECT_EQ(cache.ForFile(file, kChannels, 2)->SampleCount(), static_cast<std::int64_t>(frames - 1));
    EXPECT_EQ(cache.FileBuildsStarted(), 1);  // one pass for every column

    for (const Window& w : RandomWindows(frames, 3)) {
        const WaveformColumns columns(w.start, w.end, w.width);
        std::vector<ColumnExtent> want;
        ScanColumnExtents(file, kChannels, 1, columns, want);
        for (MinMaxSummaryCache* c : {static_cast<MinMaxSummaryCache*>(nullptr), &cache}) {
            TraceFetcher fetcher(c);
            TraceFetcher::Request r;
            r.file = &file;
            r.channelsPerFrame = kChannels;
            r.channel = 1;
            r.windowStart = w.start;
            r.windowEnd = w.end;
            r.width = w.width;
            const int i = fetcher.Add(r);
            fetcher.Fetch();
            const TraceValues& t = fetcher.Result(i);
            if (t.perSample) {
                std::vector<float> raw;
                ReadChannelSamples(file, kChannels, 1, columns.Boundary(0),
                                   static_cast<std::size_t>(columns.Boundary(w.width) - columns.Boundary(0)), raw);
                ASSERT_EQ(t.values.size(), raw.size());
                for (std::size_t j = 0; j < raw.size(); ++j)  // NaN for NaN
                    ASSERT_TRUE(t.values[j] == raw[j] || (std::isnan(t.values[j]) && std::isnan(raw[j])));
            } else {
                ExpectSameColumns(want, t.extents, c ? "file summary" : "file scan");
            }
        }
    }
}

TEST(MinMaxSummary, ChannelsOfOneFileReadEachFrameOnce) {
    constexpr int kChannels = 4;
    const std::size_t frames = 100000;
    const std::vector<float> signal = Signal(frames * kChannels, 9);
    const std::string path = test::FreshTempDir() + "/frames.f32";
    {
        platform::File out(path, platform::File::Mode::Create);
        out.Write(signal.data(), signal.size() * sizeof(float));
    }
    const platform::File file(path, platform::File::Mode::Read);
    for (const Window& w : {Window{0.0, 100000.0, 800}, Window{5000.0, 6000.0, 800}}) {
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
            ids.push_back(fetcher.Add(r));
        }
        fetcher.Fetch();
        EXPECT_LE(fetcher.FramesRead(), static_cast<std::int64_t>(w.end - w.start) + 2 * MinMaxSummary::kBlockSize);
        for (int c = 0; c < kChannels; ++c) {
            const TraceValues& t = fetcher.Result(ids[static_cast<std::size_t>(c)]);
            if (!t.perSample) {
                std::vector<ColumnExtent> want;
                ScanColumnExtents(file, kChannels, c, t.columns, want);
                ExpectSameColumns(want, t.extents, "shared pass");
            }
        }
    }
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
    ASSERT_EQ(cache.ForFile(file, 1, 0)->SampleCount(), 4000);
    file.Write(a.data(), 1000 * sizeof(float));
    EXPECT_EQ(cache.ForFile(file, 1, 0), nullptr);
    ASSERT_TRUE(cache.WaitForBuilds(std::chrono::seconds(10)));
    EXPECT_EQ(cache.ForFile(file, 1, 0)->SampleCount(), 5000);
    EXPECT_EQ(cache.ForFile(file, 1, 5), nullptr);  // no such column
}

}  // namespace
}  // namespace vocomet
