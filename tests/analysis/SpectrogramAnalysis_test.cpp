// The spectrogram's computation: its refusals, the picture of known
// signals, formant tracks of synthesised vowels, silence, cancel and the
// two roads to the samples.

#include "analysis/SpectrogramAnalysis.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "analysis/AnalysisLimits.h"
#include "analysis/ChannelSampleSource.h"
#include "platform/File.h"
#include "platform/Progress.h"
#include "support/SpeechFixtures.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Settings with the values the tests care about; grids on, 1000 Hz and
// 500 ms apart.
SpectrogramSettings Settings(int points, int dynamicRange, int frequencyLimit, bool formants, int order,
                             double preEmphasis = 0.98) {
    SpectrogramSettings s;
    s.values[SpectrogramSettings::kPoints] = points;
    s.values[3] = dynamicRange;
    s.values[SpectrogramSettings::kTopFrequency] = frequencyLimit;
    s.values[4] = formants ? 1 : 0;
    s.values[SpectrogramSettings::kLpcOrder] = order;
    s.preEmphasis = preEmphasis;
    return s;
}

SpectrogramInputs Inputs(double rate, double start, double end, int columns, int rows, const SpectrogramSettings& s) {
    SpectrogramInputs in;
    in.rate = rate;
    in.rangeStart = start;
    in.rangeEnd = end;
    in.columns = columns;
    in.rows = rows;
    in.settings = s;
    return in;
}

ChannelSampleSource Memory(const std::vector<float>& x) {
    return ChannelSampleSource::FromMemory(x.data(), static_cast<std::int64_t>(x.size()));
}

// Counts what the computation asks of it; asks to abort at the given call.
class CountingProgress : public platform::Progress {
public:
    explicit CountingProgress(int abortAt = -1) : abortAt_(abortAt) {}
    void SetText(const std::string& t) override { text = t, ++calls; }
    void SetFraction(double f) override { last = f, ++calls; }
    bool AbortRequested() override {
        ++calls;
        return ++asked == abortAt_;
    }
    std::string text;
    double last = -1.0;
    int calls = 0;
    int asked = 0;

private:
    int abortAt_;
};

int StrongestRow(const SpectrogramImage& im, int c) {
    int best = 0;
    for (int r = 1; r < im.rows; ++r)
        if (im.Level(c, r) > im.Level(c, best))
            best = r;
    return best;
}

// ---- refusals and sizes ----------------------------------------------------

TEST(SpectrogramChecks, RefusesWhatItCannotAnalyseBeforeAnyWork) {
    std::vector<float> x(22050, 0.1f);
    struct Case {
        const char* name;
        double rate, start, end;
        SpectrogramSettings s;
        const char* message;  // null: accepted
    };
    auto with = [](int index, int value) {
        SpectrogramSettings s = Settings(128, 55, 5000, true, 14);
        s.values[static_cast<std::size_t>(index)] = value;
        return s;
    };
    const SpectrogramSettings ok = Settings(128, 55, 5000, true, 14);
    const Case cases[] = {
        {"accepted", 22050, 0, 22050, ok, nullptr},
        {"time grid 0 is automatic", 22050, 0, 22050, with(13, 0), nullptr},
        {"grids off take any step", 22050, 0, 22050, [&] { auto s = with(10, 0); s.values[11] = 0; return s; }(),
         nullptr},
        {"end at start", 22050, 500, 500, ok, kSpectrogramRangeRefused},
        {"end before start", 22050, 900, 500, ok, kSpectrogramRangeRefused},
        {"range not a number", 22050, 0, std::nan(""), ok, kSpectrogramRangeRefused},
        {"rate 0", 0, 0, 22050, ok, kSpectrogramRateRefused},
        {"dynamic range 0", 22050, 0, 22050, with(3, 0), kSpectrogramDynamicRangeRefused},
        {"dynamic range -10", 22050, 0, 22050, with(3, -10), kSpectrogramDynamicRangeRefused},
        {"frequency limit 0", 22050, 0, 22050, with(2, 0), kSpectrogramFrequencyLimitRefused},
        {"frequency limit -1", 22050, 0, 22050, with(2, -1), kSpectrogramFrequencyLimitRefused},
        {"frequency grid step 0", 22050, 0, 22050, with(11, 0), kSpectrogramGridStepRefused},
        {"time grid step -1", 22050, 0, 22050, with(13, -1), kSpectrogramGridStepRefused},
        {"100 FFT points", 22050, 0, 22050, with(0, 100), kSpectrogramPointsRefused},
        {"16384 FFT points", 22050, 0, 22050, with(0, 16384), kSpectrogramPointsRefused},
        {"above half the rate", 11025, 0, 22050, with(2, 5001), kSpectrogramFrequencyRefused},
        {"order above the rate's", 11025, 0, 22050, with(5, 22), kSpectrogramOrderRefused},
        {"order 0 with tracking", 22050, 0, 22050, with(5, 0), kSpectrogramOrderRefused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        CountingProgress progress;
        const SpectrogramOutcome o = ComputeSpectrogram(Memory(x), Inputs(c.rate, c.start, c.end, 20, 16, c.s), progress);
        if (c.message) {
            EXPECT_EQ(o.error, c.message);
            EXPECT_FALSE(o.computed);
            EXPECT_TRUE(o.image.Empty());
            EXPECT_EQ(progress.calls, 0);
        } else {
            EXPECT_EQ(o.error, "");
            EXPECT_TRUE(o.computed);
        }
    }
}

TEST(SpectrogramChecks, APlotSmallerThanOnePixelComputesNothing) {
    std::vector<float> x(22050, 0.1f);
    for (auto [w, h] : {std::pair{0, 10}, std::pair{10, 0}, std::pair{-3, -3}}) {
        CountingProgress progress;
        const SpectrogramOutcome o =
            ComputeSpectrogram(Memory(x), Inputs(22050, 0, 22050, w, h, Settings(128, 55, 5000, true, 14)), progress);
        EXPECT_FALSE(o.computed);
        EXPECT_FALSE(o.cancelled);
        EXPECT_EQ(o.error, "");
        EXPECT_TRUE(o.image.Empty());
        EXPECT_EQ(progress.calls, 0);
    }
    // One pixel is a picture.
    platform::NullProgress quiet;
    const SpectrogramOutcome one =
        ComputeSpectrogram(Memory(x), Inputs(22050, 0, 22050, 1, 1, Settings(128, 55, 5000, true, 14)), quiet);
    EXPECT_TRUE(one.computed);
    EXPECT_EQ(one.image.levels.size(), 1u);
    // No samples at all is said so.
    EXPECT_EQ(ComputeSpectrogram(ChannelSampleSource(), Inputs(22050, 0, 100, 4, 4, Settings(128, 55, 5000, false, 14)),
                                 quiet)
                  .error,
              kSpectrogramNoSamples);
}

TEST(SpectrogramGeometry, ColumnsStepThroughTheRangeAndStandAtTheirFrameCentres) {
    // 4 s at 11025 Hz over 400 columns: a step of 110.25 samples.
    std::vector<float> x(44100);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(std::sin(0.3 * static_cast<double>(i)));
    platform::NullProgress quiet;
    const SpectrogramOutcome o =
        ComputeSpectrogram(Memory(x), Inputs(11025, 0, 44100, 400, 50, Settings(64, 35, 5000, false, 14)), quiet);
    ASSERT_TRUE(o.computed);
    const SpectrogramImage& im = o.image;
    EXPECT_DOUBLE_EQ(im.stepSamples, 110.25);
    EXPECT_DOUBLE_EQ(im.hzPerRow, 100.0);
    ASSERT_EQ(im.columnTimesMs.size(), 400u);
    EXPECT_DOUBLE_EQ(im.columnTimesMs[0], FrameCentreMs(0, 64, 11025));
    EXPECT_DOUBLE_EQ(im.columnTimesMs[3], FrameCentreMs(330, 64, 11025));  // whole part of 330.75
    EXPECT_EQ(im.ColumnAt(-50.0), 0);
    EXPECT_EQ(im.ColumnAt(1e9), 399);
    EXPECT_EQ(im.ColumnAt(im.columnTimesMs[123] + 0.1), 123);
    EXPECT_TRUE(im.formants.empty());
    EXPECT_EQ(im.FormantsAt(5), (SpectrogramFormants{-1, -1, -1, -1, -1}));
    // The strongest bin of the picture is the dynamic range and black.
    float top = 0.0f;
    for (float v : im.levels)
        top = std::max(top, v);
    EXPECT_FLOAT_EQ(top, 35.0f);
}

// ---- known signals -----------------------------------------------------------

TEST(SpectrogramPicture, AChirpsRidgeFollowsItsFrequencyWithinOneRow) {
    // 300 Hz to 4300 Hz in 2 s at 11025 Hz.
    const double rate = 11025, seconds = 2.0, f0 = 300, f1 = 4300;
    std::vector<float> x(static_cast<std::size_t>(rate * seconds));
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        x[i] = static_cast<float>(0.5 * std::sin(2 * kPi * (f0 * t + (f1 - f0) / (2 * seconds) * t * t)));
    }
    for (int points : {128, 256}) {
        SCOPED_TRACE(points);
        platform::NullProgress quiet;
        const SpectrogramOutcome o = ComputeSpectrogram(
            Memory(x), Inputs(rate, 0, static_cast<double>(x.size()), 300, 100, Settings(points, 55, 5000, false, 14)),
            quiet);
        ASSERT_TRUE(o.computed);
        const SpectrogramImage& im = o.image;
        // Columns whose frame lies inside the signal.
        for (int c = 0; c < im.columns; ++c) {
            const double t = im.columnTimesMs[static_cast<std::size_t>(c)] / 1000.0;
            if (t > seconds - 0.5 * points / rate)
                break;
            const double f = f0 + (f1 - f0) / seconds * t;
            EXPECT_LE(std::fabs(StrongestRow(im, c) - f / im.hzPerRow), 1.0) << "column " << c << " at " << f << " Hz";
        }
    }
}

TEST(SpectrogramPicture, DigitalSilenceIsTheWeakestLevel) {
    platform::NullProgress quiet;
    // All silent: a white picture without formants.
    std::vector<float> silence(22050, 0.0f);
    const SpectrogramOutcome none = ComputeSpectrogram(
        Memory(silence), Inputs(22050, 0, 22050, 50, 40, Settings(128, 55, 5000, true, 26)), quiet);
    ASSERT_TRUE(none.computed);
    for (float v : none.image.levels)
        ASSERT_EQ(v, 0.0f);
    EXPECT_EQ(none.image.Grey(10, 10), 255);
    EXPECT_FALSE(none.image.formantsFound);
    for (const SpectrogramFormants& f : none.image.formants)
        EXPECT_EQ(f, (SpectrogramFormants{-1, -1, -1, -1, -1}));

    // Quiet speech-like sound, then digital silence: the silence is never
    // darker than the quietest bin of the sound.
    std::vector<float> x(22050, 0.0f);
    for (std::size_t i = 0; i < 11025; ++i)
        x[i] = static_cast<float>(1e-4 * (std::sin(0.2 * static_cast<double>(i)) +
                                          0.3 * std::sin(0.71 * static_cast<double>(i))));
    const SpectrogramOutcome o =
        ComputeSpectrogram(Memory(x), Inputs(22050, 0, 22050, 50, 40, Settings(128, 80, 5000, true, 26)), quiet);
    ASSERT_TRUE(o.computed);
    const SpectrogramImage& im = o.image;
    for (int c = 0; c < 20; ++c)
        EXPECT_GT(im.Level(c, StrongestRow(im, c)), 70.0f) << c;
    for (int c = 30; c < im.columns; ++c)
        for (int r = 0; r < im.rows; ++r) {
            ASSERT_EQ(im.Level(c, r), 0.0f) << c << "," << r;
            ASSERT_EQ(im.Grey(c, r), 255);
        }
}

TEST(SpectrogramPicture, ColumnsFarBelowTheStrongestAreWhiteAndLoseTheirFormants) {
    // The same resonant sound, loud and then 60 dB down, with a 55 dB range.
    std::vector<float> x(22050);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double d = static_cast<double>(i);
        const double gain = i < 11025 ? 0.5 : 0.0005;
        x[i] = static_cast<float>(gain * (std::sin(0.2 * d) + 0.5 * std::sin(0.45 * d) + 0.25 * std::sin(0.9 * d)));
    }
    platform::NullProgress quiet;
    const SpectrogramOutcome o =
        ComputeSpectrogram(Memory(x), Inputs(22050, 0, 22050, 40, 50, Settings(256, 55, 5000, true, 26)), quiet);
    ASSERT_TRUE(o.computed);
    EXPECT_TRUE(o.image.formantsFound);
    EXPECT_NE(o.image.FormantsAt(5)[0], kNoFormant);
    for (int c = 22; c < 40; ++c) {
        for (int r = 0; r < o.image.rows; ++r)
            ASSERT_EQ(o.image.Grey(c, r), 255) << c << "," << r;
        EXPECT_EQ(o.image.FormantsAt(c), (SpectrogramFormants{-1, -1, -1, -1, -1})) << c;
    }
}

// ---- formants of synthesised vowels -----------------------------------------

TEST(SpectrogramFormants, TracksOfSynthesisedVowelsLieWithinFivePercentOfTheirFormants) {
    if (!test::HaveTool("praat"))
        GTEST_SKIP() << "praat is not installed";
    const std::string folder = test::FreshTempDir();
    struct Case {
        const char* name;
        double rate, f0, f1, f2, f3;
        int order, limit;
    };
    // The document's default tracking order for the rate.
    for (const Case& c : {Case{"/a/", 11025, 120, 700, 1220, 2600, 14, 5000},
                          Case{"/i/", 22050, 110, 280, 2250, 2900, 26, 5000},
                          Case{"/u/", 22050, 120, 310, 870, 2250, 26, 5000}}) {
        SCOPED_TRACE(c.name);
        const std::vector<float> x = test::PraatVowel(folder, c.rate, c.f0, c.f1, c.f2, c.f3, 0.5);
        ASSERT_GT(x.size(), static_cast<std::size_t>(c.rate * 0.45));
        platform::NullProgress quiet;
        // The steady middle of the vowel, 100 columns.
        const SpectrogramOutcome o = ComputeSpectrogram(
            Memory(x), Inputs(c.rate, c.rate * 0.1, c.rate * 0.35, 100, 100, Settings(256, 55, c.limit, true, c.order)),
            quiet);
        ASSERT_TRUE(o.computed);
        ASSERT_TRUE(o.image.formantsFound);
        // Each formant is tracked in nearly every column (a weak one may drop
        // out now and then), and every track below 3500 Hz lies within 5 % of
        // one of the formants.
        std::vector<int> hits(3, 0);
        int strays = 0;
        for (int col = 0; col < o.image.columns; ++col) {
            const SpectrogramFormants f = o.image.FormantsAt(col);
            const double expected[] = {c.f1, c.f2, c.f3};
            for (std::size_t k = 0; k < 3; ++k) {
                bool hit = false;
                for (std::int32_t v : f)
                    hit = hit || (v > 0 && std::fabs(v - expected[k]) / expected[k] <= 0.05);
                hits[k] += hit;
            }
            for (std::int32_t v : f) {
                bool near = false;
                for (double e : expected)
                    near = near || std::fabs(v - e) / e <= 0.05;
                if (v > 0 && v < 3500 && !near) {
                    ++strays;
                    ADD_FAILURE() << "column " << col << ": a track at " << v << " Hz";
                }
            }
            // Ascending, filled from the first slot.
            for (int k = 1; k < kSpectrogramFormantSlots; ++k) {
                if (f[static_cast<std::size_t>(k)] != kNoFormant) {
                    EXPECT_GE(f[static_cast<std::size_t>(k)], f[static_cast<std::size_t>(k - 1)]);
                    EXPECT_NE(f[static_cast<std::size_t>(k - 1)], kNoFormant);
                }
            }
        }
        for (int h : hits)
            EXPECT_GE(h, 95) << "columns of 100";
        EXPECT_EQ(strays, 0);
    }
}

TEST(SpectrogramFormants, HighRatesUseTheirFullLpcLength) {
    // The longest LPC span the window lets through: order 202 at 192 kHz is
    // 38784 samples, far beyond a fixed 10000-sample frame.
    for (const auto& [rate, order] : {std::pair{96000.0, 106}, std::pair{192000.0, 202}}) {
        SCOPED_TRACE(rate);
        std::vector<float> x(static_cast<std::size_t>(rate * 0.5));
        for (std::size_t i = 0; i < x.size(); ++i) {
            const double t = static_cast<double>(i) / rate;
            x[i] = static_cast<float>(std::sin(2 * kPi * 700 * t) + 0.5 * std::sin(2 * kPi * 1900 * t) +
                                      0.01 * std::sin(2 * kPi * 37 * t * t * 1000));
        }
        platform::NullProgress quiet;
        const SpectrogramOutcome o = ComputeSpectrogram(
            Memory(x), Inputs(rate, 0, static_cast<double>(x.size()), 6, 64, Settings(1024, 55, 5000, true, order)),
            quiet);
        ASSERT_TRUE(o.computed) << o.error;
        EXPECT_EQ(o.image.lpcLength, static_cast<int>(rate / 1000) * order);
        EXPECT_EQ(o.image.formants.size(), 6u);
    }
}

// ---- cancel and the two roads -----------------------------------------------------

TEST(SpectrogramRun, ShowsProgressAndStopsOnAbort) {
    std::vector<float> x(22050 * 4);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(std::sin(0.05 * static_cast<double>(i)));
    const SpectrogramInputs in = Inputs(22050, 0, static_cast<double>(x.size()), 4000, 100, Settings(512, 55, 5000, true, 26));
    CountingProgress all;
    const SpectrogramOutcome done = ComputeSpectrogram(Memory(x), in, all);
    EXPECT_TRUE(done.computed);
    EXPECT_EQ(all.text, kSpectrogramProgressText);
    EXPECT_DOUBLE_EQ(all.last, 1.0);

    CountingProgress abort(1);
    const SpectrogramOutcome o = ComputeSpectrogram(Memory(x), in, abort);
    EXPECT_TRUE(o.cancelled);
    EXPECT_FALSE(o.computed);
    EXPECT_EQ(o.error, "");
    EXPECT_TRUE(o.image.Empty());
}

TEST(SpectrogramRun, MemoryAndFileRoadsGiveTheSamePicture) {
    std::vector<float> x(30000);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const double d = static_cast<double>(i);
        x[i] = static_cast<float>(std::sin(0.07 * d) * std::exp(-0.00005 * d) + 0.2 * std::sin(0.9 * d + 1e-5 * d * d));
    }
    const std::string folder = test::FreshTempDir();
    const auto file = test::InterleavedFile(folder + "/d.raw", x, 4, 1);
    // The file holds 30000 frames, the channel 24000 now (after a cut): the
    // file road reads no further than the channel's count.
    const std::vector<float> now(x.begin(), x.begin() + 24000);
    platform::NullProgress quiet;
    // A range that runs up to the channel's end, so the last columns read
    // past it.
    for (const auto& [first, last, columns] : {std::tuple{0.0, 24000.0, 700}, std::tuple{20000.0, 24000.0, 37}}) {
        const SpectrogramInputs in = Inputs(22050, first, last, columns, 90, Settings(256, 55, 5000, true, 26));
        const SpectrogramOutcome m = ComputeSpectrogram(Memory(now), in, quiet);
        const SpectrogramOutcome f = ComputeSpectrogram(ChannelSampleSource::FromFile(file, 4, 1, 24000), in, quiet);
        ASSERT_TRUE(m.computed);
        ASSERT_TRUE(f.computed);
        EXPECT_TRUE(m.image.formantsFound);
        EXPECT_EQ(m.image.levels, f.image.levels);
        EXPECT_EQ(m.image.formants, f.image.formants);
        EXPECT_EQ(m.image.columnTimesMs, f.image.columnTimesMs);
    }
}

}  // namespace
}  // namespace vocomet
