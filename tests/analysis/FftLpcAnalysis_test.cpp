// The FFT/LPC window's analysis: its checks, the frame walk, spectra and
// formants, the sample source's two roads, read-outs and log entries.

#include "analysis/FftLpcAnalysis.h"

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
#include "app/FftLpcLogEntries.h"
#include "dsp/CMathFunc.h"
#include "platform/File.h"
#include "support/SpeechFixtures.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

FftLpcInputs Inputs(double rate, int fft, int window, int order, int step, int top, double first = 0.0,
                    double last = 0.0) {
    FftLpcInputs in;
    in.rate = rate;
    in.fftSize = fft;
    in.appliedWindowMs = window;
    in.lpcOrder = order;
    in.averageStepMs = step;
    in.maxFrequency = top;
    in.firstSample = first;
    in.lastSample = last;
    return in;
}

TEST(FftLpcChecks, RefusesWhatTheWindowCannotAnalyse) {
    struct Case {
        double rate;
        int fft, order, step, top;
        const char* message;  // null: accepted
    };
    const Case cases[] = {
        {11025, 256, 14, 10, 5000, nullptr},
        {11025, 256, 14, 10, 5001, kFftLpcFrequencyRefused},
        {11025, 256, 21, 10, 5000, nullptr},
        {11025, 256, 22, 10, 5000, kFftLpcOrderRefused},
        {44100, 256, 54, 10, 22000, nullptr},
        {44100, 256, 55, 10, 22000, kFftLpcOrderRefused},
        {96000, 1024, 106, 10, 48000, nullptr},
        {192000, 8192, 202, 10, 96000, nullptr},
        {192000, 8192, 203, 10, 96000, kFftLpcOrderRefused},
        {22050, 256, 14, 10, 0, kFftLpcFrequencyRefused},
        {22050, 256, 0, 10, 5000, kFftLpcOrderRefused},
        {22050, 256, -4, 10, 5000, kFftLpcOrderRefused},
        {22050, 16, 14, 10, 5000, kFftLpcSizeRefused},
        {22050, 16384, 14, 10, 5000, kFftLpcSizeRefused},
        {22050, 300, 14, 10, 5000, kFftLpcSizeRefused},
        {22050, 32, 14, 10, 5000, nullptr},
        {22050, 256, 14, -1, 5000, kFftLpcStepRefused},
        {22050, 256, 14, 0, 5000, nullptr},
        {1000, 256, 4, 10, 1, kFftLpcFrequencyRefused},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rate << " Hz, fft " << c.fft << ", order " << c.order << ", step "
                                        << c.step << ", top " << c.top);
        EXPECT_EQ(CheckFftLpcInputs(Inputs(c.rate, c.fft, 20, c.order, c.step, c.top)),
                  c.message ? std::string(c.message) : std::string());
    }
}

TEST(FftLpcWalk, FramesFollowTheStepUntilOneReachesTheEnd) {
    struct Case {
        double first, last, rate;
        int fft, stepMs, order;
        std::int64_t frames;
        double secondStart;
        int frameLength;
    };
    const Case cases[] = {
        // The marker: one frame wherever it is.
        {1000, 1000, 22050, 256, 10, 14, 1, 1221, 318},
        {22049, 22049, 22050, 256, 10, 14, 1, 22270, 318},
        // Shorter than the FFT size: one frame.
        {0, 200, 11025, 256, 10, 14, 1, 110.75, 266},
        // 11025 Hz, 10 ms: step 110.75; frames until s + 256 >= 1000.
        {0, 1000, 11025, 256, 10, 14, 8, 110.75, 266},
        // 0 ms advances half a sample.
        {0, 300, 11025, 256, 0, 14, 89, 0.5, 266},
        // LPC span longer than the FFT: the frame holds it all.
        {0, 0, 96000, 256, 10, 106, 1, 960.5, 10186},
        {0, 0, 192000, 1024, 10, 202, 1, 1920.5, 38794},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.first << ".." << c.last << " at " << c.rate);
        const FftLpcInputs in = Inputs(c.rate, c.fft, 20, c.order, c.stepMs, 1000, c.first, c.last);
        const FftLpcFrameSizes z = FftLpcSizes(in);
        EXPECT_EQ(z.frames, c.frames);
        EXPECT_DOUBLE_EQ(FftLpcFrameStart(in, z, 1), c.secondStart);
        EXPECT_EQ(z.frameLength, c.frameLength);
        EXPECT_GE(z.frameLength, z.lpcSamples);
        // The last frame reaches the end; the one before it does not.
        EXPECT_GE(FftLpcFrameStart(in, z, z.frames - 1) + c.fft, c.last);
        if (z.frames > 1) {
            EXPECT_LT(FftLpcFrameStart(in, z, z.frames - 2) + c.fft, c.last);
        }
    }
}

TEST(FftLpcCompute, SinePeakLiesWithinOneBin) {
    const double rate = 22050;
    for (double hz : {440.0, 1000.0, 3150.0}) {
        std::vector<float> x(22050);
        for (std::size_t i = 0; i < x.size(); ++i)
            x[i] = static_cast<float>(0.5 * std::sin(kMathTwoPi * hz * i / rate));
        CMathFunc math;
        const FftLpcResult r =
            ComputeFftLpc(ChannelSampleSource::FromMemory(x.data(), 22050), Inputs(rate, 1024, 46, 26, 10, 11000, 5000, 5000), math);
        ASSERT_EQ(r.fftCurve.size(), 11000u);
        const auto peak = std::max_element(r.fftCurve.begin(), r.fftCurve.end()) - r.fftCurve.begin();
        EXPECT_NEAR(static_cast<double>(peak), hz, rate / 1024) << hz;
        EXPECT_DOUBLE_EQ(*std::min_element(r.fftCurve.begin(), r.fftCurve.end()), 0.0);
        EXPECT_DOUBLE_EQ(*std::max_element(r.fftCurve.begin(), r.fftCurve.end()), r.fftRange);
        EXPECT_NEAR(*std::max_element(r.lpcCurve.begin(), r.lpcCurve.end()), r.fftRange, 1e-9);
    }
}

// One frame gives what the library gives for that frame: the spectrum
// resampled once equals the library's own resampling.
TEST(FftLpcCompute, OneFrameMatchesTheLibrary) {
    std::vector<float> x(4000);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(std::sin(0.05 * i) + 0.3 * std::sin(0.31 * i) + 0.01 * ((i * 7919) % 13));
    CMathFunc a, b;
    const FftLpcInputs in = Inputs(22050, 512, 23, 26, 10, 11000, 1000, 1000);
    const FftLpcResult r = ComputeFftLpc(ChannelSampleSource::FromMemory(x.data(), 4000), in, a);
    std::vector<double> frame(512, 0.0);
    const int n = static_cast<int>(23 * 22.05 + 0.5);
    for (int i = 0; i < n; ++i)
        frame[static_cast<std::size_t>(i)] = x[static_cast<std::size_t>(1000 + i)];
    std::vector<double> direct = b.PowerSpectrumDb(frame.data(), 512, 0.0, 1, 1, 11000, 11000, 22050);
    const double lo = *std::min_element(direct.begin(), direct.end());
    ASSERT_EQ(direct.size(), r.fftCurve.size());
    for (std::size_t i = 0; i < direct.size(); i += 37)
        EXPECT_NEAR(direct[i] - lo, r.fftCurve[i], 1e-9) << i;
}

// ---- vowels --------------------------------------------------------------

TEST(FftLpcCompute, FormantsOfSynthesisedMaleVowels) {
    if (!test::HaveTool("praat"))
        GTEST_SKIP() << "praat is not installed";
    const std::string folder = test::FreshTempDir();
    struct Case {
        const char* name;
        double rate, f0, f1, f2, f3;
        int order, top;
    };
    // The document's default order for the rate, averaged over 0.3 s.
    for (const Case& c : {Case{"/a/", 22050, 120, 700, 1220, 2600, 26, 11000},
                          Case{"/i/", 22050, 110, 280, 2250, 2900, 26, 11000},
                          Case{"/u/", 22050, 120, 310, 870, 2250, 26, 11000},
                          Case{"/a/ at 44100 Hz", 44100, 120, 700, 1220, 2600, 48, 22000}}) {
        SCOPED_TRACE(c.name);
        const std::vector<float> x = test::PraatVowel(folder, c.rate, c.f0, c.f1, c.f2, c.f3, 0.5);
        ASSERT_GT(x.size(), static_cast<std::size_t>(c.rate * 0.45));
        CMathFunc math;
        const FftLpcResult r =
            ComputeFftLpc(ChannelSampleSource::FromMemory(x.data(), static_cast<std::int64_t>(x.size())),
                          Inputs(c.rate, 1024, 40, c.order, 10, c.top, c.rate * 0.1, c.rate * 0.4), math);
        ASSERT_TRUE(r.formantsPicked);
        EXPECT_GT(r.frameCount, 20);
        for (double e : {c.f1, c.f2, c.f3}) {
            double best = 1e9;
            for (double f : r.formants)
                if (f > 0)
                    best = std::min(best, std::fabs(f - e) / e);
            EXPECT_LT(best, 0.03) << e << " Hz; found " << FftLpcFormantText(r);
        }
    }
}

// ---- the two roads -------------------------------------------------------

TEST(ChannelSampleSourceTest, ReadsPastTheEndAsZero) {
    const std::vector<float> x{1, 2, 3, 4, 5};
    const std::string folder = test::FreshTempDir();
    const auto file = test::InterleavedFile(folder + "/d.raw", x, 3, 2);
    for (const ChannelSampleSource& s :
         {ChannelSampleSource::FromMemory(x.data(), 5), ChannelSampleSource::FromFile(file, 3, 2, 5)}) {
        std::vector<double> out(6, 99.0);
        EXPECT_EQ(s.Read(-2, 6, out.data()), 4);
        EXPECT_EQ(out, (std::vector<double>{0, 0, 1, 2, 3, 4}));
        EXPECT_EQ(s.Read(3, 6, out.data()), 2);
        EXPECT_EQ(out, (std::vector<double>{4, 5, 0, 0, 0, 0}));
        EXPECT_EQ(s.Read(9, 6, out.data()), 0);
        EXPECT_EQ(out, std::vector<double>(6, 0.0));
    }
    // A count beyond the file (a short read) reads zeros, not stale values.
    const ChannelSampleSource longer = ChannelSampleSource::FromFile(file, 3, 2, 8);
    std::vector<double> out(4, 99.0);
    EXPECT_EQ(longer.Read(3, 4, out.data()), 2);
    EXPECT_EQ(out, (std::vector<double>{4, 5, 0, 0}));
    EXPECT_FALSE(ChannelSampleSource::FromFile(file, 3, 3, 5).IsValid());
}

TEST(FftLpcCompute, MemoryAndFileRoadsGiveTheSameResult) {
    std::vector<float> x(30000);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(std::sin(0.07 * i) * std::exp(-0.00005 * i) + 0.2 * std::sin(0.9 * i + 0.001 * i * i / 100));
    const std::string folder = test::FreshTempDir();
    const auto file = test::InterleavedFile(folder + "/d.raw", x, 4, 1);
    // Over a selection that runs past the channel's end, too.
    for (const auto& [first, last] : {std::pair{2000.0, 9000.0}, std::pair{27000.0, 30000.0}}) {
        CMathFunc a, b;
        const FftLpcInputs in = Inputs(22050, 512, 23, 26, 10, 11000, first, last);
        const FftLpcResult m = ComputeFftLpc(ChannelSampleSource::FromMemory(x.data(), 30000), in, a);
        const FftLpcResult f = ComputeFftLpc(ChannelSampleSource::FromFile(file, 4, 1, 30000), in, b);
        EXPECT_GT(m.frameCount, 1);
        EXPECT_EQ(m.fftCurve, f.fftCurve);
        EXPECT_EQ(m.lpcCurve, f.lpcCurve);
        EXPECT_EQ(m.formants, f.formants);
        EXPECT_EQ(m.bandwidths, f.bandwidths);
    }
}

TEST(FftLpcCompute, MarkerInDigitalSilence) {
    std::vector<float> x(20000, 0.0f);
    for (std::size_t i = 12000; i < x.size(); ++i)
        x[i] = static_cast<float>(std::sin(0.1 * i));
    CMathFunc math;
    const FftLpcResult r =
        ComputeFftLpc(ChannelSampleSource::FromMemory(x.data(), 20000), Inputs(22050, 256, 11, 26, 10, 11000, 3000, 3000), math);
    EXPECT_TRUE(r.fftComputed);
    EXPECT_TRUE(r.formantsPicked);
    EXPECT_EQ(r.fftRange, 0.0);
    for (double v : r.fftCurve)
        ASSERT_EQ(v, 0.0);
    for (double v : r.lpcCurve)
        ASSERT_TRUE(std::isfinite(v));
    EXPECT_EQ(*std::max_element(r.lpcCurve.begin(), r.lpcCurve.end()),
              *std::min_element(r.lpcCurve.begin(), r.lpcCurve.end()));
    for (double f : r.formants)
        EXPECT_EQ(f, -1.0);
    EXPECT_EQ(FftLpcFormantText(r),
              "Formants\t=\t   -1.0\t   -1.0\t   -1.0\t   -1.0\t   -1.0\nBandwidths\t=\t   -1.0\t   -1.0\t   -1.0\t   -1.0\t   -1.0");
}

TEST(FftLpcCompute, EmptySlotsNeverEnterTheAverage) {
    // Silence, then a resonance: the silent frames fill no slot, so the
    // filled slots average only the sounding frames.
    std::vector<float> x(40000, 0.0f);
    for (std::size_t i = 20000; i < x.size(); ++i)
        x[i] = static_cast<float>(std::sin(kMathTwoPi * 800.0 * i / 22050) * (1.0 + 0.1 * std::sin(0.3 * i)));
    CMathFunc a, b;
    const FftLpcResult all = ComputeFftLpc(ChannelSampleSource::FromMemory(x.data(), 40000),
                                           Inputs(22050, 256, 11, 14, 10, 11000, 11160, 30000), a);
    // The same frames (step 221 samples) from the first one that reaches
    // the sound; the ones before it are wholly silent.
    const FftLpcResult sounding = ComputeFftLpc(ChannelSampleSource::FromMemory(x.data(), 40000),
                                                Inputs(22050, 256, 11, 14, 10, 11000, 11160 + 39 * 221, 30000), b);
    ASSERT_GT(sounding.formants[0], 0.0);
    EXPECT_NEAR(all.formants[0], sounding.formants[0], 1e-9);
    for (std::size_t j = 0; j < all.formants.size(); ++j)
        EXPECT_TRUE(all.formants[j] == -1.0 || all.formants[j] > 0.0);
}

TEST(FftLpcFormants, KeepRuleFillsSlotsFromTheFirst) {
    std::array<double, 5> f{}, b{};
    // 100 Hz with 60 Hz: 100.5 < 2 * 60.5, dropped. 121.5 >= 2 * 60.5 kept.
    PickFormants({100, 121, 700, 1200, 2600, 3500}, {60, 60, 50, 80, 100, 100}, f, b);
    EXPECT_EQ(f, (std::array<double, 5>{121.5, 700.5, 1200.5, 2600.5, -1}));
    EXPECT_EQ(b, (std::array<double, 5>{60.5, 50.5, 80.5, 100.5, -1}));
}

// ---- read-outs and log entries -------------------------------------------

FftLpcResult SmallResult() {
    FftLpcResult r;
    r.pointCount = 5000;
    r.fftCurve.assign(5000, 10.0);
    r.lpcCurve.assign(5000, 20.0);
    r.fftCurve[1000] = 42.0;
    r.fftRange = 42.0;
    r.lpcMaximum = 42.0;
    r.fftComputed = r.lpcComputed = r.formantsPicked = true;
    r.formants = {700.5, 1220.5, -1, -1, -1};
    r.bandwidths = {60.5, 90.5, -1, -1, -1};
    return r;
}

TEST(FftLpcReadouts, TextsFollowTheDisplayMode) {
    const FftLpcResult r = SmallResult();
    EXPECT_EQ(FftLpcPowerText(r, 1000, true), " 42.0");
    EXPECT_EQ(FftLpcPowerText(r, 1000, false), "-  0.0");
    EXPECT_EQ(FftLpcPowerText(r, 10, false), "- 32.0");
    EXPECT_EQ(FftLpcFrequencyText(r, 1000), "1000.0");
    EXPECT_EQ(FftLpcPointAt(100, 50, 550, 5000), 500);
    EXPECT_EQ(FftLpcPointAt(550, 50, 550, 5000), 4999);
    EXPECT_EQ(FftLpcPointAt(10, 50, 50, 5000), -1);
    EXPECT_EQ(FftLpcFormantText(r),
              "Formants\t=\t  700.5\t 1220.5\t   -1.0\t   -1.0\t   -1.0\n"
              "Bandwidths\t=\t   60.5\t   90.5\t   -1.0\t   -1.0\t   -1.0");
    const FftLpcLevels abs = FftLpcLevelsAt(r, 1000, true), rel = FftLpcLevelsAt(r, 10, false);
    EXPECT_EQ(abs.fft, 42.0);
    EXPECT_EQ(abs.lpc, 20.0);
    EXPECT_EQ(rel.fft, -32.0);
    EXPECT_EQ(rel.lpc, -22.0);
}

TEST(FftLpcLog, EntriesCarryTheirTextsAndValues) {
    const FftLpcResult r = SmallResult();
    LogEntry m = FftLpcMarkerEntry("take.vcm", 1000.0, FftLpcLevelsAt(r, 1000, false), true);
    EXPECT_EQ(m.source, "take.vcm");
    EXPECT_EQ(m.description, "FFT/LPC Marker Entry: freq., FFT_dB, LPC_dB ");
    EXPECT_EQ(m.values, (std::vector<double>{1000.0, 0.0, -22.0}));
    m = FftLpcMarkerEntry("take.vcm", 1000.0, FftLpcLevelsAt(r, 1000, true), false);
    EXPECT_EQ(m.description, "FFT/LPC Marker Entry: freq., FFT_dB ");
    EXPECT_EQ(m.count, 2);
    const LogEntry f = FftLpcFormantEntry("take.vcm", r);
    EXPECT_EQ(f.description, "FFT/LPC Formants & BW Entry: F1, F2, F3, F4, F5, BW1, BW2, BW3, BW4, BW5 ");
    EXPECT_EQ(f.values, (std::vector<double>{700.5, 1220.5, -1, -1, -1, 60.5, 90.5, -1, -1, -1}));
    const std::vector<LogEntry> all = FftLpcAllFrameEntries("take.vcm", r, 10, 5000, true, false);
    ASSERT_EQ(all.size(), 500u);
    EXPECT_EQ(all.back().values, (std::vector<double>{4990.0, 10.0}));
    EXPECT_EQ(all[100].values, (std::vector<double>{1000.0, 42.0}));
    EXPECT_TRUE(FftLpcAllFrameEntries("take.vcm", r, 0, 5000, true, false).empty());
}

}  // namespace
}  // namespace vocomet
