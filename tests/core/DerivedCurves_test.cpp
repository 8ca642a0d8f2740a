#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "core/CChannels.h"
#include "platform/File.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

constexpr double kPi = 3.14159265358979323846;

// An in-memory channel of the given samples at the given rate.
CChannels MemoryChannel(const std::vector<float>& values, double rate) {
    CChannels ch;
    ch.rate = rate;
    ch.sampleCount = static_cast<double>(values.size());
    ch.duration = ch.sampleCount * 1000.0 / rate;
    ch.channelNumber = 1;
    ch.samples = platform::FloatBlock::Allocate(values.size());
    std::memcpy(ch.samples.data(), values.data(), values.size() * sizeof(float));
    return ch;
}

std::vector<float> Generate(std::size_t n, const std::function<double(std::size_t)>& f) {
    std::vector<float> v(n);
    for (std::size_t i = 0; i < n; ++i)
        v[i] = static_cast<float>(f(i));
    return v;
}

std::vector<float> CurveOf(const CChannels& ch) { return std::vector<float>(ch.intensity.begin(), ch.intensity.end()); }

// Writes the values as column `number` (1-based) of an interleaved float
// file of `stride` columns (the other columns hold unrelated values) and
// returns a file-backed channel reading it.
CChannels FileChannel(const std::string& path, const std::vector<float>& values, int stride, int number,
                      double rate) {
    std::vector<float> frames(values.size() * stride);
    for (std::size_t k = 0; k < values.size(); ++k)
        for (int c = 0; c < stride; ++c)
            frames[k * stride + c] = c + 1 == number ? values[k] : static_cast<float>(1000 + k % 7 + c);
    test::WriteAll(path, std::string(reinterpret_cast<const char*>(frames.data()), frames.size() * sizeof(float)));
    CChannels ch;
    ch.rate = rate;
    ch.sampleCount = static_cast<double>(values.size());
    ch.duration = ch.sampleCount * 1000.0 / rate;
    ch.sourceFile = std::make_shared<platform::File>(path, platform::File::Mode::Read);
    ch.stride = stride;
    ch.channelNumber = number;
    return ch;
}

std::vector<float> ReadFloats(const std::string& path) {
    std::string bytes = test::ReadAll(path);
    std::vector<float> v(bytes.size() / sizeof(float));
    std::memcpy(v.data(), bytes.data(), v.size() * sizeof(float));
    return v;
}

// ---------------------------------------------------------------------------
// Intensity

// 10 kHz, 30 ms frames (300 samples) every 10 ms: a 100 Hz sine puts three
// whole periods in every frame, so each frame's mean square is A^2 / 2.
TEST(IntensityTest, SineOfKnownAmplitudeGivesItsLevel) {
    const double rate = 10000.0;
    for (double amplitude : {100.0, 3.0}) {
        // An offset taken as the reference does not count.
        CChannels ch = MemoryChannel(
            Generate(5000, [&](std::size_t i) { return 7.0 + amplitude * std::sin(2 * kPi * 100.0 * i / rate); }),
            rate);
        ch.reference = 7.0;
        EXPECT_EQ(ch.ComputeIntensity(), 0);
        ASSERT_EQ(ch.intensityValid, 1);
        const double level = 10.0 * std::log10(amplitude * amplitude / 2.0);
        ASSERT_EQ(ch.intensity.size(), 5000u);
        for (std::size_t i = 0; i < ch.intensity.size(); ++i)
            ASSERT_NEAR(ch.intensity[i], level, 1e-3) << "sample " << i;
        EXPECT_NEAR(ch.intensityMin, level, 1e-3);
        EXPECT_NEAR(ch.intensityMax, level, 1e-3);
        EXPECT_DOUBLE_EQ(ch.GetIntensityAt(250.0), ch.intensity[2500]);
    }
}

TEST(IntensityTest, NegativeLevelsAreFoldedAndRelativeStartsAtZero) {
    const double rate = 10000.0;
    // First half amplitude 0.1 (-23.01 dB), second half 0.01 (-43.01 dB).
    auto signal = Generate(6000, [&](std::size_t i) {
        return (i < 3000 ? 0.1 : 0.01) * std::sin(2 * kPi * 100.0 * i / rate);
    });
    const double loud = 10.0 * std::log10(0.01 / 2), quiet = 10.0 * std::log10(0.0001 / 2);

    CChannels ch = MemoryChannel(signal, rate);
    ch.ComputeIntensity();
    // Every level negative: v - min - max, so the curve runs from |max| to
    // |min|, the loud part staying above the quiet one.
    EXPECT_NEAR(ch.intensityMin, -loud, 1e-3);
    EXPECT_NEAR(ch.intensityMax, -quiet, 1e-3);
    EXPECT_NEAR(ch.intensity[500], -quiet, 1e-3);
    EXPECT_NEAR(ch.intensity[5500], -loud, 1e-3);

    ch.relativeIntensity = 1;
    ch.ComputeIntensity();
    EXPECT_DOUBLE_EQ(ch.intensityMin, 0.0);
    EXPECT_NEAR(ch.intensityMax, loud - quiet, 1e-3);
    EXPECT_NEAR(ch.intensity[5500], 0.0, 1e-3);
    EXPECT_NEAR(ch.intensity[500], loud - quiet, 1e-3);
}

TEST(IntensityTest, SilentFramesTakeTheLowestFiniteLevel) {
    const double rate = 10000.0;
    // Sine, then digital silence, then sine again.
    auto signal = Generate(9000, [&](std::size_t i) {
        return (i >= 3000 && i < 6000) ? 0.0 : 50.0 * std::sin(2 * kPi * 100.0 * i / rate);
    });
    CChannels ch = MemoryChannel(signal, rate);
    ch.ComputeIntensity();
    double lowest = 1e300;
    for (float v : CurveOf(ch)) {
        ASSERT_TRUE(std::isfinite(v));
        lowest = std::min(lowest, static_cast<double>(v));
    }
    EXPECT_DOUBLE_EQ(ch.intensityMin, lowest);
    EXPECT_FLOAT_EQ(ch.intensity[4500], static_cast<float>(lowest));  // inside the silence
    // Sine frames hold 1250 (30.97 dB); the lowest finite frames hold one
    // period of sine and two of silence (26.20 dB).
    EXPECT_NEAR(ch.intensity[1000], 10 * std::log10(1250.0), 1e-3);
    EXPECT_NEAR(lowest, 10 * std::log10(1250.0 / 3), 1e-3);

    // Every frame silent: a curve of zeros.
    CChannels silent = MemoryChannel(std::vector<float>(4000, 2.5f), rate);
    silent.reference = 2.5;
    silent.ComputeIntensity();
    for (float v : CurveOf(silent))
        ASSERT_EQ(v, 0.0f);
    EXPECT_EQ(silent.intensityMin, 0.0);
    EXPECT_EQ(silent.intensityMax, 0.0);
}

TEST(IntensityTest, ShortChannelGivesZerosAndBadSettingsAreRefused) {
    // Shorter than a window plus a step: no frame fits.
    CChannels shortCh = MemoryChannel(std::vector<float>(350, 1.0f), 10000.0);
    shortCh.ComputeIntensity();
    EXPECT_EQ(shortCh.intensityValid, 1);
    for (float v : CurveOf(shortCh))
        ASSERT_EQ(v, 0.0f);

    for (double step : {0.0, -5.0, std::nan("")}) {
        CChannels ch = MemoryChannel(std::vector<float>(1000, 1.0f), 10000.0);
        ch.intensityStep = step;
        EXPECT_THROW(ch.ComputeIntensity(), platform::UserException) << step;
        EXPECT_EQ(ch.intensityValid, 0);
    }
    CChannels noWindow = MemoryChannel(std::vector<float>(1000, 1.0f), 10000.0);
    noWindow.intensityWindow = 0.0;
    EXPECT_THROW(noWindow.ComputeIntensity(), platform::UserException);

    CChannels empty;
    EXPECT_THROW(empty.ComputeIntensity(), platform::UserException);
}

// A signal with loud, quiet, silent and noisy stretches, computed in memory
// and from the third column of a four-column data file.
TEST(IntensityTest, FileBackedMatchesInMemory) {
    const double rate = 10000.0;
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 0.3);
    auto signal = Generate(20037, [&](std::size_t i) {
        if (i >= 6000 && i < 9000)
            return 0.0;  // silence
        double a = i < 6000 ? 0.8 : (i < 15000 ? 0.05 : 2.0);
        return a * std::sin(2 * kPi * 137.0 * i / rate) + (i > 12000 ? noise(rng) : 0.0);
    });
    const std::string dir = test::FreshTempDir();

    struct Case {
        double window, step;
        int relative;
        double reference;
    };
    for (const Case& c : {Case{30.0, 10.0, 0, 0.0}, Case{30.0, 10.0, 1, 0.0}, Case{20.0, 35.0, 0, 0.1},
                          Case{5.0, 1.0, 1, -0.2}}) {
        SCOPED_TRACE(::testing::Message() << "window " << c.window << " step " << c.step);
        CChannels mem = MemoryChannel(signal, rate);
        CChannels file = FileChannel(dir + "/data.f32", signal, 4, 3, rate);
        for (CChannels* ch : {&mem, &file}) {
            ch->intensityWindow = c.window;
            ch->intensityStep = c.step;
            ch->relativeIntensity = c.relative;
            ch->reference = c.reference;
            ASSERT_EQ(ch->ComputeIntensity(), 0);
            ASSERT_EQ(ch->intensityValid, 1);
        }
        EXPECT_EQ(file.intensityFilePath, dir + "/data.f32_Int#3");
        EXPECT_TRUE(file.intensity.IsNull());
        std::vector<float> fromFile = ReadFloats(file.intensityFilePath);
        ASSERT_EQ(fromFile.size(), signal.size());
        for (std::size_t i = 0; i < fromFile.size(); ++i) {
            ASSERT_TRUE(std::isfinite(fromFile[i]));
            ASSERT_NEAR(fromFile[i], mem.intensity[i], 1e-4) << "sample " << i;
        }
        EXPECT_NEAR(file.intensityMin, mem.intensityMin, 1e-4);
        EXPECT_NEAR(file.intensityMax, mem.intensityMax, 1e-4);
        EXPECT_NEAR(file.GetIntensityAt(700.0), mem.GetIntensityAt(700.0), 1e-4);
        // Recomputing replaces the file that the reads keep open.
        file.relativeIntensity = 1 - c.relative;
        file.ComputeIntensity();
        mem.relativeIntensity = 1 - c.relative;
        mem.ComputeIntensity();
        EXPECT_NEAR(file.GetIntensityAt(1500.0), mem.GetIntensityAt(1500.0), 1e-4);
    }
}

TEST(IntensityTest, FileBackedSilenceAndFaults) {
    const std::string dir = test::FreshTempDir();
    // Every value equal to the reference: level 0 everywhere.
    CChannels silent = FileChannel(dir + "/silent.f32", std::vector<float>(5000, 0.5f), 2, 1, 10000.0);
    silent.reference = 0.5;
    silent.ComputeIntensity();
    for (float v : ReadFloats(silent.intensityFilePath))
        ASSERT_EQ(v, 0.0f);
    EXPECT_EQ(silent.intensityMin, 0.0);
    EXPECT_EQ(silent.intensityMax, 0.0);

    // The data file is shorter than the channel claims: a file error.
    CChannels truncated = FileChannel(dir + "/short.f32", std::vector<float>(3000, 0.25f), 2, 2, 10000.0);
    truncated.sampleCount = 6000;
    EXPECT_THROW(truncated.ComputeIntensity(), platform::FileException);
    EXPECT_EQ(truncated.intensityValid, 0);

    // A channel number outside the frame.
    CChannels outside = FileChannel(dir + "/out.f32", std::vector<float>(3000, 0.25f), 2, 1, 10000.0);
    outside.channelNumber = 3;
    EXPECT_THROW(outside.ComputeIntensity(), platform::UserException);
}

// ---------------------------------------------------------------------------
// Velocity and acceleration

TEST(VelocityTest, LinearRampHasConstantVelocityAndNoAcceleration) {
    // x = 0.25 i at 8 kHz: 2000 units per second. A window of 0.55 ms spans
    // 4.4 samples, so each mean takes 5 values.
    CChannels ch = MemoryChannel(Generate(3000, [](std::size_t i) { return 0.25 * i; }), 8000.0);
    for (double w : {0.0, 0.5, 0.55, 2.0}) {
        ch.ComputeAcceleration(w, w);
        ASSERT_EQ(ch.velocityValid, 1);
        ASSERT_EQ(ch.accelerationValid, 1);
        ASSERT_EQ(ch.velocity.size(), 3000u);
        for (std::size_t i = 0; i < ch.velocity.size(); ++i) {
            ASSERT_NEAR(ch.velocity[i], 2000.0, 1e-9) << "w " << w << " sample " << i;
            ASSERT_NEAR(ch.acceleration[i], 0.0, 1e-6) << "w " << w << " sample " << i;
        }
        EXPECT_NEAR(ch.velocityMax, 2000.0, 1e-9);
        EXPECT_EQ(ch.velocityMin, 0.0);
        EXPECT_EQ(ch.velocityCount, 3000.0);
        EXPECT_EQ(ch.accelerationCount, 3000.0);
        EXPECT_NEAR(ch.GetVelocityAt(100.0), 2000.0, 1e-9);
    }
}

// The moving mean of a long noisy curve equals the direct forward mean of
// the same values (the last mean repeated to the end).
TEST(VelocityTest, MovingMeanEqualsDirectMean) {
    std::mt19937 rng(3);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const double rate = 10000.0;
    auto signal = Generate(30001, [&](std::size_t) { return u(rng); });
    CChannels ch = MemoryChannel(signal, rate);
    const double w = 0.63;  // 6.3 samples: 7 values per mean
    const std::size_t width = 7;
    ch.ComputeVelocity(w);

    const std::size_t n = signal.size();
    std::vector<double> diff(n);
    for (std::size_t i = 0; i + 1 < n; ++i)
        diff[i] = (static_cast<double>(signal[i + 1]) - signal[i]) * rate;
    diff[n - 1] = diff[n - 2];
    double lastMean = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        double expected;
        if (i + width <= n - 1) {
            double s = 0.0;
            for (std::size_t j = i; j < i + width; ++j)
                s += diff[j];
            expected = lastMean = s / width;
        } else {
            expected = lastMean;
        }
        ASSERT_NEAR(ch.velocity[i], expected, 1e-9 * rate) << "sample " << i;
    }
}

TEST(VelocityTest, ShortChannelsAndFileBacked) {
    // Two samples: both values are the one difference.
    CChannels two = MemoryChannel({1.0f, 1.5f}, 1000.0);
    two.ComputeVelocity(0.0);
    EXPECT_EQ(two.velocity[0], 500.0);
    EXPECT_EQ(two.velocity[1], 500.0);
    two.ComputeVelocity(5.0);  // a window longer than the channel
    EXPECT_EQ(two.velocity[0], 500.0);
    EXPECT_EQ(two.velocity[1], 500.0);

    CChannels one = MemoryChannel({3.0f}, 1000.0);
    one.ComputeAcceleration(1.0, 1.0);
    EXPECT_EQ(one.velocity[0], 0.0);
    EXPECT_EQ(one.acceleration[0], 0.0);

    const std::string dir = test::FreshTempDir();
    CChannels file = FileChannel(dir + "/v.f32", std::vector<float>(100, 1.0f), 1, 1, 1000.0);
    EXPECT_THROW(file.ComputeVelocity(0.5), platform::UserException);
    EXPECT_EQ(file.velocityValid, 0);
}

// ---------------------------------------------------------------------------
// Smoothing and averaging

TEST(SmoothTest, CentredMeanWithCopiedEnds) {
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    auto signal = Generate(10000, [&](std::size_t) { return u(rng); });

    CChannels off = MemoryChannel(signal, 1000.0);
    off.SmoothSamples();  // smoothing off: nothing happens
    EXPECT_EQ(0, std::memcmp(off.samples.data(), signal.data(), signal.size() * sizeof(float)));

    CChannels four = MemoryChannel(signal, 1000.0);
    CChannels five = MemoryChannel(signal, 1000.0);
    four.smoothingOn = five.smoothingOn = 1;
    four.smoothingPoints = 4;
    five.smoothingPoints = 5;
    four.SmoothSamples();
    five.SmoothSamples();
    EXPECT_EQ(0, std::memcmp(four.samples.data(), five.samples.data(), signal.size() * sizeof(float)));

    const std::size_t n = signal.size();
    auto centred = [&](std::size_t i) {
        double s = 0.0;
        for (std::size_t j = i - 2; j <= i + 2; ++j)
            s += signal[j];
        return s / 5.0;
    };
    for (std::size_t i = 3; i < n - 7; ++i)
        ASSERT_NEAR(five.samples[i], centred(i), 1e-6) << "sample " << i;
    for (std::size_t i = 0; i <= 2; ++i)
        EXPECT_FLOAT_EQ(five.samples[i], static_cast<float>(centred(3)));
    for (std::size_t i = n - 7; i < n; ++i)
        EXPECT_FLOAT_EQ(five.samples[i], static_cast<float>(centred(n - 10)));
}

TEST(SmoothTest, ShortFileBackedAndEmptyChannels) {
    CChannels shortCh = MemoryChannel({1, 5, 2, 8, 3, 9, 4, 7, 1}, 1000.0);  // fewer than 5 + 5
    shortCh.smoothingOn = 1;
    shortCh.SmoothSamples();
    EXPECT_EQ(shortCh.samples[3], 8.0f);

    const std::string dir = test::FreshTempDir();
    CChannels file = FileChannel(dir + "/s.f32", std::vector<float>(100, 1.0f), 1, 1, 1000.0);
    file.smoothingOn = 1;
    EXPECT_NO_THROW(file.SmoothSamples());
    EXPECT_NO_THROW(file.AverageSamples(0.0, 50.0));

    CChannels empty;
    empty.smoothingOn = 1;
    EXPECT_THROW(empty.SmoothSamples(), platform::UserException);
    EXPECT_THROW(empty.AverageSamples(0.0, 1.0), platform::UserException);
}

TEST(AverageTest, ReplacesTheRangeByItsMean) {
    // 10 samples per ms.
    auto signal = Generate(100, [](std::size_t i) { return static_cast<double>(i); });
    CChannels ch = MemoryChannel(signal, 10000.0);
    ch.AverageSamples(1.0, 2.0);  // samples 10 .. 19
    for (std::size_t i = 0; i < 100; ++i)
        EXPECT_EQ(ch.samples[i], (i >= 10 && i < 20) ? 14.5f : static_cast<float>(i)) << i;

    CChannels same = MemoryChannel(signal, 10000.0);
    same.AverageSamples(2.0, 2.0);
    same.AverageSamples(3.0, 1.0);
    EXPECT_EQ(0, std::memcmp(same.samples.data(), signal.data(), signal.size() * sizeof(float)));

    // Times beyond the channel are clamped to it.
    CChannels wide = MemoryChannel(signal, 10000.0);
    wide.AverageSamples(-5.0, 50.0);
    for (std::size_t i = 0; i < 100; ++i)
        ASSERT_EQ(wide.samples[i], 49.5f);
}

// ---------------------------------------------------------------------------
// Progress and cancel of the long loops

// Records the fractions shown and asks to abort at a given poll (never when
// abortAt is 0).
class CountingProgress : public platform::Progress {
public:
    explicit CountingProgress(int abortAt = 0) : m_abortAt(abortAt) {}
    void SetText(const std::string&) override {}
    void SetFraction(double f) override { fractions.push_back(f); }
    bool AbortRequested() override { return ++polls == m_abortAt; }

    std::vector<double> fractions;
    int polls = 0;

private:
    int m_abortAt;
};

std::string Bytes(const float* data, std::size_t count) {
    return std::string(reinterpret_cast<const char*>(data), count * sizeof(float));
}

TEST(CurveProgressTest, AnAbortMidwayLeavesTheChannelAndItsCurveFileAsTheyWere) {
    // Five poll blocks of 65536 samples; the abort comes at the third poll.
    constexpr std::size_t kCount = 5 * 65536 + 123;
    std::mt19937 rng(5);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const auto signal = Generate(kCount, [&](std::size_t) { return u(rng); });
    const std::string dir = test::FreshTempDir();

    struct Case {
        const char* what;
        bool fileBacked;
        std::function<bool(CChannels&, platform::Progress&)> run;  // true when a result came
    } cases[] = {
        {"intensity in memory", false, [](CChannels& ch, platform::Progress& p) { return !!ch.MakeIntensity(p); }},
        {"intensity from the data file", true,
         [](CChannels& ch, platform::Progress& p) { return !!ch.MakeIntensity(p); }},
        {"smoothing", false, [](CChannels& ch, platform::Progress& p) { return !!ch.SmoothedSamples(p); }},
        {"averaging", false,
         [](CChannels& ch, platform::Progress& p) { return !!ch.MeanOfSamples(0.0, ch.duration, p); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CChannels ch = c.fileBacked ? FileChannel(dir + "/data.f32", signal, 3, 2, 22050.0)
                                    : MemoryChannel(signal, 22050.0);
        ch.smoothingOn = 1;
        ch.ComputeIntensity();  // the curve there before
        ch.reference = 0.5;     // a new curve would differ from it
        const std::string curveFile = c.fileBacked ? ch.intensityFilePath : std::string();
        const std::string curveBefore =
            c.fileBacked ? test::ReadAll(curveFile) : Bytes(ch.intensity.data(), ch.intensity.size());
        const std::string samplesBefore = c.fileBacked ? std::string() : Bytes(ch.samples.data(), kCount);
        const auto filesBefore = std::distance(std::filesystem::directory_iterator(dir), {});

        CountingProgress abort(3);
        EXPECT_FALSE(c.run(ch, abort));
        EXPECT_EQ(abort.polls, 3);
        if (c.fileBacked) {
            EXPECT_EQ(test::ReadAll(curveFile), curveBefore);
            EXPECT_EQ(ch.intensityFilePath, curveFile);
            // No scratch file is left beside it.
            EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), filesBefore);
        } else {
            EXPECT_EQ(Bytes(ch.intensity.data(), ch.intensity.size()), curveBefore);
            EXPECT_EQ(Bytes(ch.samples.data(), kCount), samplesBefore);
        }
        EXPECT_EQ(ch.intensityValid, 1);
        EXPECT_EQ(ch.reference, 0.5);

        // Run to the end, the fractions climb to 1 and the channel is still
        // untouched until the result is taken.
        CountingProgress watch;
        EXPECT_TRUE(c.run(ch, watch));
        EXPECT_GE(watch.polls, 5);
        ASSERT_FALSE(watch.fractions.empty());
        EXPECT_TRUE(std::is_sorted(watch.fractions.begin(), watch.fractions.end()));
        EXPECT_GE(watch.fractions.front(), 0.0);
        EXPECT_EQ(watch.fractions.back(), 1.0);
        if (!c.fileBacked) {
            EXPECT_EQ(Bytes(ch.samples.data(), kCount), samplesBefore);
        }
    }
}

TEST(CurveProgressTest, TwoStepResultsEqualTheOneShotCallsAcrossPollBlocks) {
    constexpr std::size_t kCount = 3 * 65536 + 77;
    std::mt19937 rng(9);
    std::uniform_real_distribution<double> u(-1.0, 1.0);
    const auto signal = Generate(kCount, [&](std::size_t) { return u(rng); });

    // Smoothing: the block equals the one-shot smoothing and the direct
    // centred mean across the block borders.
    CChannels ch = MemoryChannel(signal, 10000.0);
    ch.smoothingOn = 1;
    ch.smoothingPoints = 9;
    CountingProgress watch;
    std::optional<platform::FloatBlock> smoothed = ch.SmoothedSamples(watch);
    ASSERT_TRUE(smoothed && !smoothed->IsNull());
    CChannels once = MemoryChannel(signal, 10000.0);
    once.smoothingOn = 1;
    once.smoothingPoints = 9;
    once.SmoothSamples();
    EXPECT_EQ(Bytes(smoothed->data(), kCount), Bytes(once.samples.data(), kCount));
    for (std::size_t i : {std::size_t{65535}, std::size_t{65536}, std::size_t{65540}, std::size_t{2 * 65536 + 1}}) {
        double sum = 0.0;
        for (std::size_t j = i - 4; j <= i + 4; ++j)
            sum += signal[j];
        EXPECT_NEAR((*smoothed)[i], sum / 9.0, 1e-6) << i;
    }

    // Averaging: the mean of a range over several blocks, then the fill.
    CChannels avg = MemoryChannel(signal, 10000.0);
    std::optional<SampleMean> mean = avg.MeanOfSamples(1.0, 25000.0, watch);  // sample 10 to past the end
    ASSERT_TRUE(mean);
    EXPECT_EQ(mean->first, 10);
    EXPECT_EQ(mean->end, 196685);  // clamped to the count
    double sum = 0.0;
    for (std::size_t i = 10; i < kCount; ++i)
        sum += signal[i];
    EXPECT_FLOAT_EQ(mean->mean, static_cast<float>(sum / static_cast<double>(kCount - 10)));
    avg.FillSamples(*mean);
    CChannels avgOnce = MemoryChannel(signal, 10000.0);
    avgOnce.AverageSamples(1.0, 25000.0);
    EXPECT_EQ(Bytes(avg.samples.data(), kCount), Bytes(avgOnce.samples.data(), kCount));

    // Intensity: the curve taken equals the one-shot curve.
    CChannels curve = MemoryChannel(signal, 10000.0);
    std::optional<IntensityCurve> made = curve.MakeIntensity(watch);
    ASSERT_TRUE(made);
    EXPECT_EQ(curve.intensityValid, 0);
    curve.TakeIntensity(std::move(*made));
    CChannels curveOnce = MemoryChannel(signal, 10000.0);
    curveOnce.ComputeIntensity();
    EXPECT_EQ(CurveOf(curve), CurveOf(curveOnce));
    EXPECT_EQ(curve.intensityMin, curveOnce.intensityMin);
    EXPECT_EQ(curve.intensityMax, curveOnce.intensityMax);
    EXPECT_EQ(curve.intensityValid, 1);
}

}  // namespace
}  // namespace vocomet
