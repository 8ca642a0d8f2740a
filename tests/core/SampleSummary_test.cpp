#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "core/SampleSummary.h"

using namespace vocomet;

namespace {

// Brute-force extremes of block b of `size` samples of column c.
void Expected(const std::vector<float>& frames, std::size_t n, std::size_t c, std::size_t count, std::size_t size,
              std::size_t b, float& lo, float& hi) {
    lo = std::numeric_limits<float>::infinity();
    hi = -std::numeric_limits<float>::infinity();
    for (std::size_t k = b * size; k < std::min(count, (b + 1) * size); ++k) {
        const float v = frames[k * n + c];
        if (v < lo)
            lo = v;
        if (v > hi)
            hi = v;
    }
}

// The same samples counted, and the same blocks at every level, bit for bit.
void ExpectSameSummary(const SampleSummary& got, const SampleSummary& want) {
    ASSERT_EQ(got.SampleCount(), want.SampleCount());
    for (int l = 0; l < SampleSummary::LevelCount(); ++l) {
        const SampleSummary::Level& a = got.GetLevel(l);
        const SampleSummary::Level& b = want.GetLevel(l);
        ASSERT_EQ(a.blockSize, b.blockSize);
        ASSERT_EQ(a.min.size(), b.min.size()) << "level " << l;
        for (std::size_t i = 0; i < a.min.size(); ++i) {
            ASSERT_EQ(a.min[i], b.min[i]) << "level " << l << " block " << i;
            ASSERT_EQ(a.max[i], b.max[i]) << "level " << l << " block " << i;
        }
    }
}

TEST(SampleSummary, EveryLevelMatchesABruteForceFoldWhateverTheChunking) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    struct Case {
        std::size_t channels;
        std::size_t frames;
        std::size_t chunk;
    };
    const Case cases[] = {{1, 10000, 10000}, {1, 4097, 31}, {3, 9000, 1}, {16, 20000, 4096}, {19, 5000, 333}, {2, 0, 1}};
    for (const Case& k : cases) {
        std::vector<float> frames(k.frames * k.channels);
        for (float& v : frames)
            v = value(rng);
        // A run of NaNs across block borders and a block of NaNs only.
        for (std::size_t i = 100; i < 300 && i < k.frames; ++i)
            frames[i * k.channels] = std::nanf("");
        FrameSummaryBuilder b(static_cast<int>(k.channels));
        b.Reserve(static_cast<std::int64_t>(k.frames));
        for (std::size_t f = 0; f < k.frames; f += k.chunk)
            b.AddFrames(frames.data() + f * k.channels, std::min(k.chunk, k.frames - f));
        const std::vector<SampleSummary> out = b.Finish();
        ASSERT_EQ(out.size(), k.channels);
        for (std::size_t c = 0; c < k.channels; ++c) {
            ASSERT_EQ(out[c].SampleCount(), static_cast<std::int64_t>(k.frames));
            for (int l = 0; l < SampleSummary::LevelCount(); ++l) {
                const SampleSummary::Level& level = out[c].GetLevel(l);
                const auto size = static_cast<std::size_t>(level.blockSize);
                ASSERT_EQ(level.min.size(), (k.frames + size - 1) / size) << "level " << l;
                for (std::size_t blk = 0; blk < level.min.size(); ++blk) {
                    float lo, hi;
                    Expected(frames, k.channels, c, k.frames, size, blk, lo, hi);
                    ASSERT_EQ(level.min[blk], lo) << "channels " << k.channels << " column " << c << " level " << l
                                                  << " block " << blk;
                    ASSERT_EQ(level.max[blk], hi);
                }
            }
        }
    }
}

TEST(SampleSummary, PiecesOutOfOrderFromSeveralThreadsGiveTheInOrderSummary) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<float> value(-1.0f, 1.0f);
    struct Case {
        std::size_t channels;
        std::size_t frames;
        std::size_t piece;  // whole fine blocks; the last piece may be short
    };
    // Pieces of whole coarse blocks make the coarser levels themselves; the
    // last one ends inside a fine block, or exactly on a coarse one.
    const Case cases[] = {{1, 70001, 64},      {16, 20000, 32 * 40}, {19, 5000, 32},      {3, 31, 32},
                          {2, 0, 32},          {16, 70001, 8192},    {5, 3 * 4096, 4096}, {1, 100, 4096},
                          {7, 5 * 4096 + 129, 4096}};
    for (const Case& k : cases) {
        std::vector<float> frames(k.frames * k.channels);
        for (float& v : frames)
            v = value(rng);
        for (std::size_t i = 40; i < 200 && i < k.frames; ++i)
            frames[i * k.channels] = std::nanf("");

        FrameSummaryBuilder ordered(static_cast<int>(k.channels));
        ordered.AddFrames(frames.data(), k.frames);
        const std::vector<SampleSummary> want = ordered.Finish();

        std::vector<std::size_t> starts;
        for (std::size_t f = 0; f < k.frames; f += k.piece)
            starts.push_back(f);
        std::shuffle(starts.begin(), starts.end(), rng);
        FrameSummaryBuilder pieces(static_cast<int>(k.channels));
        pieces.StartPieces(static_cast<std::int64_t>(k.frames));
        std::atomic<std::size_t> next{0};
        std::vector<std::thread> workers;
        for (int t = 0; t < 4; ++t)
            workers.emplace_back([&] {
                for (std::size_t i; (i = next.fetch_add(1)) < starts.size();) {
                    const std::size_t f = starts[i];
                    pieces.AddPieceAt(static_cast<std::int64_t>(f), frames.data() + f * k.channels,
                                      std::min(k.piece, k.frames - f));
                }
            });
        for (std::thread& w : workers)
            w.join();
        pieces.EndPieces();
        const std::vector<SampleSummary> got = pieces.Finish();

        ASSERT_EQ(got.size(), want.size());
        for (std::size_t c = 0; c < got.size(); ++c) {
            SCOPED_TRACE("channels " + std::to_string(k.channels) + " column " + std::to_string(c));
            ExpectSameSummary(got[c], want[c]);
        }
    }
}

// The same blocks bit for bit: a -0 where a +0 should be is a fault too.
void ExpectSameBits(const SampleSummary& got, const SampleSummary& want) {
    ASSERT_EQ(got.SampleCount(), want.SampleCount());
    for (int l = 0; l < SampleSummary::LevelCount(); ++l) {
        const SampleSummary::Level& a = got.GetLevel(l);
        const SampleSummary::Level& b = want.GetLevel(l);
        ASSERT_EQ(a.min.size(), b.min.size()) << "level " << l;
        for (std::size_t i = 0; i < a.min.size(); ++i) {
            ASSERT_EQ(std::bit_cast<std::uint32_t>(a.min[i]), std::bit_cast<std::uint32_t>(b.min[i]))
                << "level " << l << " block " << i << ": " << a.min[i] << " for " << b.min[i];
            ASSERT_EQ(std::bit_cast<std::uint32_t>(a.max[i]), std::bit_cast<std::uint32_t>(b.max[i]))
                << "level " << l << " block " << i << ": " << a.max[i] << " for " << b.max[i];
        }
    }
}

TEST(SampleSummary, EveryWidthOfFramesGivesEachColumnItsOwnSummary) {
    // Every width the fold sweeps: one column, parts of a vector, whole
    // vectors, one cache line of 16 columns and beyond it. The values mix
    // NaNs (in every column, so in every lane), infinities and zeros of both
    // signs (the first of equal extremes is kept, as in a full scan), over
    // a frame count that ends inside a fine block.
    const float inf = std::numeric_limits<float>::infinity();
    const float special[] = {std::nanf(""), inf, -inf, 0.0f, -0.0f, 1.0f, -1.0f};
    std::mt19937 rng(23);
    std::uniform_int_distribution<int> pick(0, 9);
    std::uniform_real_distribution<float> value(-2.0f, 2.0f);
    const std::size_t frameCount = 3 * SampleSummary::kFineBlock * 5 + 7;
    for (std::size_t n = 1; n <= 35; ++n) {
        SCOPED_TRACE("columns " + std::to_string(n));
        std::vector<float> frames(frameCount * n);
        for (float& v : frames) {
            const int k = pick(rng);
            v = k < 7 ? special[k] : value(rng);
        }
        // A fine block of NaNs only in the last column.
        for (std::size_t f = 32; f < 64; ++f)
            frames[f * n + n - 1] = std::nanf("");

        FrameSummaryBuilder ordered(static_cast<int>(n));
        for (std::size_t f = 0; f < frameCount; f += 13)
            ordered.AddFrames(frames.data() + f * n, std::min<std::size_t>(13, frameCount - f));
        const std::vector<SampleSummary> got = ordered.Finish();

        FrameSummaryBuilder pieces(static_cast<int>(n));
        pieces.StartPieces(static_cast<std::int64_t>(frameCount));
        for (std::size_t f = 0; f < frameCount; f += 64)
            pieces.AddPieceAt(static_cast<std::int64_t>(f), frames.data() + f * n,
                              std::min<std::size_t>(64, frameCount - f));
        pieces.EndPieces();
        const std::vector<SampleSummary> gotPieces = pieces.Finish();

        ASSERT_EQ(got.size(), n);
        ASSERT_EQ(gotPieces.size(), n);
        for (std::size_t c = 0; c < n; ++c) {
            SCOPED_TRACE("column " + std::to_string(c));
            std::vector<float> column(frameCount);
            for (std::size_t f = 0; f < frameCount; ++f)
                column[f] = frames[f * n + c];
            const SampleSummary want = SampleSummary::FromSamples(column);
            ExpectSameBits(got[c], want);
            ExpectSameBits(gotPieces[c], want);
            // FromSamples itself against a scan, bit for bit.
            const SampleSummary::Level& fine = want.GetLevel(0);
            for (std::size_t b = 0; b < fine.min.size(); ++b) {
                float lo, hi;
                Expected(column, 1, 0, frameCount, static_cast<std::size_t>(fine.blockSize), b, lo, hi);
                ASSERT_EQ(std::bit_cast<std::uint32_t>(fine.min[b]), std::bit_cast<std::uint32_t>(lo)) << b;
                ASSERT_EQ(std::bit_cast<std::uint32_t>(fine.max[b]), std::bit_cast<std::uint32_t>(hi)) << b;
            }
        }
        EXPECT_EQ(got[n - 1].GetLevel(0).min[1], inf);
        EXPECT_EQ(got[n - 1].GetLevel(0).max[1], -inf);
    }
}

TEST(SampleSummary, JoinedPiecesAreTheSummaryOfOnePass) {
    const std::int64_t coarse = SampleSummary::kCoarseBlock;
    std::vector<float> v(static_cast<std::size_t>(5 * coarse + 77));
    for (std::size_t k = 0; k < v.size(); ++k)
        v[k] = k % 1000 == 3 ? std::nanf("") : static_cast<float>((k * 7919) % 2003) - 1000.0f;
    auto summaryOf = [&v](std::int64_t first, std::int64_t end) {
        return std::make_shared<const SampleSummary>(SampleSummary::FromSamples(
            std::span<const float>(v).subspan(static_cast<std::size_t>(first), static_cast<std::size_t>(end - first))));
    };
    const auto n = static_cast<std::int64_t>(v.size());
    const SampleSummary whole = SampleSummary::FromSamples(v);
    // Pieces of one and of two coarse blocks, a short last one, a single
    // piece.
    for (const std::vector<std::int64_t>& cuts :
         {std::vector<std::int64_t>{0, coarse, 3 * coarse, 5 * coarse, n}, {0, 2 * coarse, n}, {0, n}}) {
        std::vector<std::shared_ptr<const SampleSummary>> pieces;
        for (std::size_t i = 0; i + 1 < cuts.size(); ++i)
            pieces.push_back(summaryOf(cuts[i], cuts[i + 1]));
        SCOPED_TRACE(std::to_string(pieces.size()) + " pieces");
        ExpectSameSummary(SampleSummary::Join(pieces), whole);
    }
    // A piece that ends inside a coarse block cannot be followed by another.
    const std::vector<std::shared_ptr<const SampleSummary>> ragged = {summaryOf(0, coarse + 32), summaryOf(coarse + 32, n)};
    EXPECT_THROW(SampleSummary::Join(ragged), std::invalid_argument);
    EXPECT_EQ(SampleSummary::Join({}).SampleCount(), 0);
}

TEST(SampleSummary, FromSamplesIsTheOneColumnBuild) {
    const std::vector<float> v = {3, -1, std::nanf(""), 7, 2};
    const SampleSummary s = SampleSummary::FromSamples(v);
    EXPECT_EQ(s.SampleCount(), 5);
    for (int l = 0; l < SampleSummary::LevelCount(); ++l) {
        ASSERT_EQ(s.GetLevel(l).min.size(), 1u);
        EXPECT_EQ(s.GetLevel(l).min[0], -1.0f);
        EXPECT_EQ(s.GetLevel(l).max[0], 7.0f);
    }
}

TEST(SampleSummary, EachSummaryOfAPiecesBuildLivesOnByItself) {
    // The columns' levels share one run of memory: it must stay while any
    // summary made from it does, whatever goes first, and a copy must not
    // lean on it.
    constexpr std::size_t kColumns = 3;
    const std::size_t frameCount = 3 * SampleSummary::kCoarseBlock + 77;
    std::vector<float> frames(frameCount * kColumns);
    for (std::size_t i = 0; i < frames.size(); ++i)
        frames[i] = static_cast<float>(i % 1000) - 500.0f;
    std::vector<SampleSummary> made;
    {
        FrameSummaryBuilder builder(static_cast<int>(kColumns));
        builder.StartPieces(static_cast<std::int64_t>(frameCount));
        for (std::size_t f = 0; f < frameCount; f += SampleSummary::kCoarseBlock)
            builder.AddPieceAt(static_cast<std::int64_t>(f), frames.data() + f * kColumns,
                               std::min<std::size_t>(SampleSummary::kCoarseBlock, frameCount - f));
        builder.EndPieces();
        made = builder.Finish();
    }
    ASSERT_EQ(made.size(), kColumns);
    auto want = [&](std::size_t c) {
        std::vector<float> column(frameCount);
        for (std::size_t f = 0; f < frameCount; ++f)
            column[f] = frames[f * kColumns + c];
        return SampleSummary::FromSamples(column);
    };
    std::vector<SampleSummary> copies(made.begin(), made.end());
    const auto last = std::make_shared<const SampleSummary>(std::move(made[2]));
    made.clear();
    ExpectSameBits(*last, want(2));
    copies.pop_back();
    ExpectSameBits(copies[0], want(0));
    ExpectSameBits(copies[1], want(1));
}

}  // namespace
