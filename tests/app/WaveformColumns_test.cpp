#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "app/WaveformColumns.h"
#include "platform/File.h"
#include "support/TestPaths.h"

using namespace vocomet;

namespace {

// Writes channel-interleaved frames: frame k holds channels[c][k] for each c.
std::string WriteInterleaved(const std::vector<std::vector<float>>& channels) {
    const std::string path = test::FreshTempDir() + "/data.raw";
    std::vector<float> frames;
    for (std::size_t k = 0; k < channels[0].size(); ++k)
        for (const auto& ch : channels)
            frames.push_back(ch[k]);
    platform::File f(path, platform::File::Mode::Create);
    f.Write(frames.data(), frames.size() * sizeof(float));
    return path;
}

// Extents by the definition, with the window bounds chosen exactly
// representable so that the arithmetic here is exact.
std::vector<ColumnExtent> BruteForce(const std::vector<float>& x, double start, double end, int width) {
    const double s = (end - start) / width;
    std::vector<ColumnExtent> out(static_cast<std::size_t>(width));
    for (int p = 0; p < width; ++p) {
        const auto first = static_cast<std::int64_t>(std::floor(start + p * s));
        const auto stop = static_cast<std::int64_t>(std::floor(start + (p + 1) * s));
        ColumnExtent e{std::numeric_limits<double>::infinity(), -std::numeric_limits<double>::infinity(), true};
        for (std::int64_t k = first; k < stop && k < static_cast<std::int64_t>(x.size()); ++k) {
            e.min = std::min<double>(e.min, x[static_cast<std::size_t>(k)]);
            e.max = std::max<double>(e.max, x[static_cast<std::size_t>(k)]);
            e.empty = false;
        }
        out[static_cast<std::size_t>(p)] = e.empty ? ColumnExtent{} : e;
    }
    return out;
}

void ExpectSameExtents(const std::vector<ColumnExtent>& got, const std::vector<ColumnExtent>& want,
                       const std::string& what) {
    ASSERT_EQ(got.size(), want.size()) << what;
    for (std::size_t p = 0; p < want.size(); ++p) {
        ASSERT_EQ(got[p].empty, want[p].empty) << what << " column " << p;
        if (!want[p].empty) {
            EXPECT_EQ(got[p].min, want[p].min) << what << " column " << p;
            EXPECT_EQ(got[p].max, want[p].max) << what << " column " << p;
        }
    }
}

std::vector<float> Noise(std::size_t n, unsigned seed) {
    std::vector<float> v(n);
    std::uint32_t r = seed;
    for (auto& x : v) {
        r = r * 1664525u + 1013904223u;
        x = static_cast<float>(static_cast<std::int32_t>(r >> 8) - (1 << 23)) / (1 << 23);
    }
    return v;
}

TEST(WaveformColumns, ColumnsTileTheWindowWithNoSampleSkippedOrShared) {
    struct Case {
        double start, end;
        int width;
    };
    for (const Case c : {Case{3.25, 3.25 + 40 * 4.75, 40}, Case{0.0, 100.0, 30}, Case{10.0, 210.0, 50},
                         Case{7.5, 9.0, 6}, Case{1e12 + 0.5, 1e12 + 0.5 + 3000.0, 640}}) {
        const WaveformColumns cols(c.start, c.end, c.width);
        ASSERT_EQ(cols.Width(), c.width);
        EXPECT_EQ(cols.FirstSample(0), static_cast<std::int64_t>(std::floor(c.start)));
        EXPECT_EQ(cols.LastSample(c.width - 1), static_cast<std::int64_t>(std::floor(c.end)) - 1);
        for (int p = 0; p + 1 < c.width; ++p)
            ASSERT_EQ(cols.LastSample(p) + 1, cols.FirstSample(p + 1)) << c.start << " p " << p;
    }
    // 4.75 samples per pixel from 3.25: the last sample of every column is kept.
    const WaveformColumns cols(3.25, 3.25 + 40 * 4.75, 40);
    EXPECT_EQ(cols.FirstSample(1), 8);
    EXPECT_EQ(cols.LastSample(1), 11);
    EXPECT_EQ(cols.FirstSample(2), 12);
    EXPECT_EQ(cols.LastSample(2), 16);
}

TEST(WaveformColumns, WindowsThatCannotBeDrawnHaveNoColumns) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    for (const WaveformColumns& c : {WaveformColumns(0, 100, 0), WaveformColumns(0, 100, -5),
                                     WaveformColumns(50, 50, 10), WaveformColumns(60, 50, 10),
                                     WaveformColumns(nan, 50, 10), WaveformColumns(0, INFINITY, 10)}) {
        EXPECT_TRUE(c.IsEmpty());
        std::vector<ColumnExtent> out(3);
        ScanColumnExtents(std::span<const float>(), c, out);
        EXPECT_TRUE(out.empty());
    }
}

TEST(WaveformColumns, MemoryAndFileScansMatchABruteForceScan) {
    // Long enough that a window spans several reads of the file.
    const std::size_t n = 200000;
    const std::vector<float> x = Noise(n, 7);
    const std::string path = WriteInterleaved({Noise(n, 1), x, Noise(n, 3)});
    const platform::File file(path, platform::File::Mode::Read);
    struct Window {
        double start, end;
        int width;
    };
    // Non-whole samples per pixel, a whole one, and windows that run past
    // the end of the data (the last columns are short or empty).
    for (const Window w : {Window{3.25, 3.25 + 300 * 4.75, 300}, Window{0.0, 2000.0, 7},
                           Window{100.0, 100.0 + 64 * 6.0, 64}, Window{199900.5, 199900.5 + 50 * 4.5, 50},
                           Window{199990.0, 200050.0, 10}, Window{10.5, 10.5 + 400 * 437.25, 400}}) {
        const WaveformColumns cols(w.start, w.end, w.width);
        const auto want = BruteForce(x, w.start, w.end, w.width);
        std::vector<ColumnExtent> got;
        ScanColumnExtents(std::span<const float>(x), cols, got);
        ExpectSameExtents(got, want, "memory from " + std::to_string(w.start));
        ScanColumnExtents(file, 3, 1, cols, got);
        ExpectSameExtents(got, want, "file from " + std::to_string(w.start));
        const std::vector<double> d(x.begin(), x.end());
        ScanColumnExtents(std::span<const double>(d), cols, got);
        ExpectSameExtents(got, want, "doubles from " + std::to_string(w.start));
    }
}

TEST(WaveformColumns, FileScanRefusesAChannelOutsideTheFrame) {
    const std::string path = WriteInterleaved({{1, 2, 3, 4, 5, 6, 7, 8}, {9, 9, 9, 9, 9, 9, 9, 9}});
    const platform::File file(path, platform::File::Mode::Read);
    const WaveformColumns cols(0, 8, 2);
    std::vector<ColumnExtent> out;
    for (auto [n, c] : {std::pair{2, 2}, std::pair{2, -1}, std::pair{0, 0}}) {
        ScanColumnExtents(file, n, c, cols, out);
        ASSERT_EQ(out.size(), 2u);
        EXPECT_TRUE(out[0].empty && out[1].empty) << n << "," << c;
    }
    ScanColumnExtents(file, 2, 0, cols, out);
    EXPECT_EQ(out[1].min, 5);
    EXPECT_EQ(out[1].max, 8);

    std::vector<float> samples;
    ReadChannelSamples(file, 2, 1, 6, 10, samples);  // runs past the end
    EXPECT_EQ(samples, (std::vector<float>{9, 9}));
    ReadChannelSamples(file, 2, 3, 0, 4, samples);
    EXPECT_TRUE(samples.empty());
}

}  // namespace
