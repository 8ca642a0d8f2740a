#include "dsp/CMathFunc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

namespace vocomet {
namespace {

constexpr double kPi = 3.14159265358979323846;

std::vector<double> Sines(int n, double rate, const std::vector<std::pair<double, double>>& freqAmp, int extra = 1) {
    std::vector<double> x(static_cast<std::size_t>(n + extra));
    for (std::size_t i = 0; i < x.size(); ++i)
        for (auto [f, a] : freqAmp)
            x[i] += a * std::sin(2.0 * kPi * f * static_cast<double>(i) / rate);
    return x;
}

std::size_t PeakBin(const std::vector<double>& s, std::size_t from, std::size_t to) {
    return static_cast<std::size_t>(std::max_element(s.begin() + from, s.begin() + to) - s.begin());
}

TEST(FftTest, MatchesTheDefinitionAtEverySize) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    for (int m = 0; m <= 11; ++m) {
        SCOPED_TRACE(m);
        const std::size_t n = std::size_t{1} << m;
        std::vector<double> re(n), im(n);
        for (std::size_t i = 0; i < n; ++i) {
            re[i] = d(rng);
            im[i] = d(rng);
        }
        std::vector<std::complex<double>> expect(n);
        for (std::size_t k = 0; k < n; ++k)
            for (std::size_t j = 0; j < n; ++j)
                expect[k] += std::complex<double>(re[j], im[j]) *
                             std::polar(1.0, -2.0 * kPi * static_cast<double>(j * k % n) / static_cast<double>(n));
        CMathFunc f;
        f.Fft(re.data(), im.data(), m);
        for (std::size_t k = 0; k < n; ++k) {
            ASSERT_NEAR(re[k], expect[k].real(), 1e-9 * static_cast<double>(n)) << k;
            ASSERT_NEAR(im[k], expect[k].imag(), 1e-9 * static_cast<double>(n)) << k;
        }
    }
    // A unit impulse at 0 is 1 in every real bin and 0 in every imaginary one.
    std::vector<double> re(64, 0.0), im(64, 0.0);
    re[0] = 1.0;
    CMathFunc().Fft(re.data(), im.data(), 6);
    for (std::size_t k = 0; k < 64; ++k) {
        EXPECT_EQ(re[k], 1.0);
        EXPECT_EQ(im[k], 0.0);
    }
}

TEST(FftTest, SizesBeyondTheLargestAreRefused) {
    double re[2] = {1, 2}, im[2] = {0, 0};
    EXPECT_THROW(CMathFunc().Fft(re, im, CMathFunc::kMaxFftExponent + 1), std::length_error);
    // The frame is not read before the size is refused.
    EXPECT_THROW(CMathFunc().PowerSpectrumDb(re, (1 << CMathFunc::kMaxFftExponent) + 1, 0.0, 1, 0, 0, 0, 8000.0),
                 std::length_error);
}

// Bin-centred sines: with a rectangular window a sine of amplitude A puts
// (A N/2)^2 into its bin, with the Hamming window (0.54 A N/2)^2.
TEST(PowerSpectrumDbTest, SinesLandInTheirBinsAtTheirLevels) {
    struct Case {
        int n;
        int window;
        std::vector<std::pair<int, double>> binAmp;
    };
    const double rate = 8192.0;
    for (const Case& c : {Case{1024, 0, {{100, 1.0}}}, Case{1024, 1, {{100, 1.0}}},
                          Case{512, 1, {{40, 0.5}, {150, 0.05}}}, Case{256, 7, {{10, 0.25}, {64, 1.0}}}}) {
        SCOPED_TRACE(::testing::Message() << "n " << c.n << " window " << c.window);
        std::vector<std::pair<double, double>> fa;
        for (auto [bin, a] : c.binAmp)
            fa.push_back({bin * rate / c.n, a});
        std::vector<double> x = Sines(c.n, rate, fa);
        std::vector<double> s = CMathFunc().PowerSpectrumDb(x.data(), c.n, 0.0, c.window, 0, 0, 0, rate);
        ASSERT_EQ(s.size(), static_cast<std::size_t>(c.n / 2));
        const double gain = c.window == 1 ? 0.54 : 1.0;
        for (auto [bin, a] : c.binAmp) {
            const double expect = 20.0 * std::log10(gain * a * c.n / 2.0);
            EXPECT_NEAR(s[static_cast<std::size_t>(bin)], expect, 0.01) << "bin " << bin;
            EXPECT_EQ(PeakBin(s, static_cast<std::size_t>(bin - 3), static_cast<std::size_t>(bin + 4)),
                      static_cast<std::size_t>(bin));
        }
        for (double v : s)
            ASSERT_TRUE(std::isfinite(v));
    }
}

TEST(PowerSpectrumDbTest, SilenceIsFlatAndEmptyBinsTakeTheLowestLevel) {
    std::vector<double> silent(257, 0.0);
    for (int window : {0, 1}) {
        std::vector<double> s = CMathFunc().PowerSpectrumDb(silent.data(), 256, 0.0, window, 0, 0, 0, 8000.0);
        ASSERT_EQ(s.size(), 128u);
        EXPECT_TRUE(std::all_of(s.begin(), s.end(), [](double v) { return v == 0.0; }));
    }
    // A constant frame under a rectangular window has power only at 0 Hz;
    // every other bin is exactly empty and takes that level, the lowest
    // finite one (not 0 dB, which would lie above a quiet frame's level).
    std::vector<double> dc(65, 1e-3);
    std::vector<double> s = CMathFunc().PowerSpectrumDb(dc.data(), 64, 0.0, 0, 0, 0, 0, 8000.0);
    const double level = 20.0 * std::log10(64 * 1e-3);
    for (double v : s)
        ASSERT_NEAR(v, level, 1e-9);
    // Resampled silence stays flat.
    s = CMathFunc().PowerSpectrumDb(silent.data(), 256, 0.0, 1, 1, 300, 4000, 8000.0);
    ASSERT_EQ(s.size(), 300u);
    EXPECT_TRUE(std::all_of(s.begin(), s.end(), [](double v) { return v == 0.0; }));
}

TEST(PowerSpectrumDbTest, OddLengthsArePaddedAndPreEmphasisReadsOneMore) {
    // 1000 samples: a 1024-point transform, 512 bins of rate/1024.
    const double rate = 10240.0;
    std::vector<double> x = Sines(1000, rate, {{1000.0, 1.0}});
    std::vector<double> s = CMathFunc().PowerSpectrumDb(x.data(), 1000, 0.0, 1, 0, 0, 0, rate);
    ASSERT_EQ(s.size(), 512u);
    EXPECT_EQ(PeakBin(s, 0, s.size()), 100u);

    // Pre-emphasis a: the frame is x[i+1] - a x[i], the last value using the
    // sample just after the frame.
    std::mt19937 rng(3);
    std::normal_distribution<double> noise;
    std::vector<double> y(513);
    for (double& v : y)
        v = noise(rng);
    std::vector<double> emphasised(512);
    for (std::size_t i = 0; i < 512; ++i)
        emphasised[i] = y[i + 1] - 0.98 * y[i];
    CMathFunc f;
    std::vector<double> a = f.PowerSpectrumDb(y.data(), 512, 0.98, 1, 0, 0, 0, rate);
    std::vector<double> b = f.PowerSpectrumDb(emphasised.data(), 512, 0.0, 1, 0, 0, 0, rate);
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t k = 0; k < a.size(); ++k)
        ASSERT_NEAR(a[k], b[k], 1e-9);
}

TEST(PowerSpectrumDbTest, ResamplingPlacesPointsByFrequency) {
    // 1024 points at 8192 Hz, a sine at 1500 Hz; 400 points up to 4000 Hz
    // are 10 Hz apart, so the peak is point 150.
    const double rate = 8192.0;
    std::vector<double> x = Sines(1024, rate, {{1500.0, 1.0}});
    std::vector<double> s = CMathFunc().PowerSpectrumDb(x.data(), 1024, 0.0, 1, 1, 400, 4000, rate);
    ASSERT_EQ(s.size(), 400u);
    EXPECT_EQ(PeakBin(s, 0, s.size()), 150u);
    EXPECT_TRUE(CMathFunc().PowerSpectrumDb(x.data(), 1024, 0.0, 1, 1, 0, 4000, rate).empty());
    EXPECT_TRUE(CMathFunc().PowerSpectrumDb(x.data(), 1024, 0.0, 1, 1, 400, 4000, 0.0).empty());
    EXPECT_TRUE(CMathFunc().PowerSpectrumDb(x.data(), 0, 0.0, 1, 0, 0, 0, rate).empty());
}

TEST(ResampleSpectrumTest, InterpolatesBetweenBinsAndExtrapolatesPastTheLast) {
    // A straight line through 128 bins is its own natural spline: 256 points
    // up to half the rate fall half a bin apart, the last one beyond bin 127.
    std::vector<double> bins(128);
    for (std::size_t j = 0; j < bins.size(); ++j)
        bins[j] = 3.0 * static_cast<double>(j) - 40.0;
    std::vector<double> out = CMathFunc().ResampleSpectrum(bins.data(), 256, 256, 4000, 8000.0);
    ASSERT_EQ(out.size(), 256u);
    for (std::size_t i = 0; i < out.size(); ++i)
        ASSERT_NEAR(out[i], 3.0 * 0.5 * static_cast<double>(i) - 40.0, 1e-9) << i;
}

TEST(SplineTest, ClampedSplineReproducesACubicAndEqualAbscissaeAreRefused) {
    auto cubic = [](double x) { return 0.5 * x * x * x - 2.0 * x * x + x - 3.0; };
    auto slope = [](double x) { return 1.5 * x * x - 4.0 * x + 1.0; };
    const int n = 7;
    std::vector<double> x(n + 1), y(n + 1), y2(n + 1);
    const double xs[] = {0.0, -1.0, -0.5, 0.2, 1.0, 1.7, 2.5, 4.0};
    for (int i = 1; i <= n; ++i) {
        x[i] = xs[i];
        y[i] = cubic(xs[i]);
    }
    CMathFunc f;
    f.SplineSecondDerivatives(x.data(), y.data(), n, slope(x[1]), slope(x[n]), y2.data());
    for (double at : {-1.0, -0.7, 0.0, 0.9, 2.0, 3.99}) {
        double v = 0;
        ASSERT_EQ(CMathFunc::SplineInterpolate(x.data(), y.data(), y2.data(), n, at, v), 0);
        EXPECT_NEAR(v, cubic(at), 1e-9) << at;
    }
    // Two equal abscissae enclosing x: 1, result untouched.
    x[2] = x[1];
    double v = 42.0;
    EXPECT_EQ(CMathFunc::SplineInterpolate(x.data(), y.data(), y2.data(), n, x[1] - 0.5, v), 1);
    EXPECT_EQ(v, 42.0);
}

TEST(CMathFuncTest, ObjectsComputeAtTheSameTimeOnTheirOwnStorage) {
    // Two windows at once: each object has its own work storage, so the
    // results on two threads equal those computed alone.
    std::vector<double> a = Sines(4096, 44100.0, {{440.0, 0.5}, {3000.0, 0.1}});
    std::vector<double> b = Sines(2048, 96000.0, {{12000.0, 0.3}});
    const std::vector<double> expectA = CMathFunc().PowerSpectrumDb(a.data(), 4096, 0.0, 1, 1, 500, 8000, 44100.0);
    const std::vector<double> expectB = CMathFunc().LpcSpectrumFormants(b.data(), 48, 2048, 0.0, 1, 1, 300, 48000,
                                                                        96000.0, 1, false)
                                            .envelope;
    std::vector<double> gotA, gotB;
    std::thread t1([&] {
        CMathFunc f;
        for (int i = 0; i < 20; ++i)
            gotA = f.PowerSpectrumDb(a.data(), 4096, 0.0, 1, 1, 500, 8000, 44100.0);
    });
    std::thread t2([&] {
        CMathFunc f;
        for (int i = 0; i < 20; ++i)
            gotB = f.LpcSpectrumFormants(b.data(), 48, 2048, 0.0, 1, 1, 300, 48000, 96000.0, 1, false).envelope;
    });
    t1.join();
    t2.join();
    EXPECT_EQ(gotA, expectA);
    EXPECT_EQ(gotB, expectB);
}

}  // namespace
}  // namespace vocomet
