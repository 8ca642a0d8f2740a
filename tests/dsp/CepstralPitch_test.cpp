#include "dsp/CMathFunc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <vector>

namespace vocomet {
namespace {

// Unit pulses every period samples from the first.
std::vector<float> PulseTrain(std::size_t count, int period) {
    std::vector<float> x(count, 0.0f);
    for (std::size_t i = 0; i < count; i += static_cast<std::size_t>(period))
        x[i] = 1.0f;
    return x;
}

TEST(CepstralPitchFloatTest, IntegerPeriodPulseTrainsGiveTheirExactF0) {
    struct Case {
        double rate;
        int period, fftSize, window;
        double low, high;
    };
    for (const Case& c : {Case{11025, 92, 1024, 386, 50, 500}, Case{11025, 92, 2048, 1000, 60, 400},
                          Case{22050, 147, 2048, 771, 50, 500}, Case{44100, 200, 4096, 1543, 50, 500},
                          Case{44100, 100, 4096, 3500, 75, 600}, Case{8000, 40, 512, 300, 80, 400},
                          Case{96000, 400, 4096, 3360, 50, 500}, Case{192000, 1000, 4096, 4096, 100, 500}}) {
        SCOPED_TRACE(::testing::Message() << c.rate << " Hz, period " << c.period << ", N " << c.fftSize);
        std::vector<float> x = PulseTrain(20000, c.period);
        const double f0 = CMathFunc().CepstralPitchFloat(x.data(), 1000.0, 20000.0, c.rate, c.low, c.high,
                                                         c.fftSize, c.window);
        EXPECT_DOUBLE_EQ(f0, c.rate / c.period);
    }
    std::vector<float> x = PulseTrain(5000, 92);
    EXPECT_NEAR(CMathFunc().CepstralPitchFloat(x.data(), 37.0, 5000.0, 11025.0, 50.0, 500.0, 1024, 386), 119.83696,
                1e-5);
}

TEST(CepstralPitchFloatTest, SilenceAndFlatFramesGiveZero) {
    // At every rate: the Part-style search would answer the highest F0 for
    // a silent frame here.
    std::vector<float> silent(6000, 0.0f);
    for (double rate : {8000.0, 11025.0, 22050.0, 44100.0, 96000.0})
        for (int n : {1024, 4096})
            EXPECT_EQ(CMathFunc().CepstralPitchFloat(silent.data(), 0.0, 6000.0, rate, 50.0, 500.0, n, n - 1), 0.0)
                << rate << " " << n;
    // A frame wholly past the end of the data reads nothing: silence.
    std::vector<float> x = PulseTrain(3000, 92);
    EXPECT_EQ(CMathFunc().CepstralPitchFloat(x.data(), 3000.0, 3000.0, 11025.0, 50.0, 500.0, 1024, 386), 0.0);
}

TEST(CepstralPitchFloatTest, RangeEdges) {
    std::vector<float> x = PulseTrain(5000, 92);  // 119.84 Hz at 11025 Hz
    struct Case {
        const char* name;
        double rate, low, high;
        int fftSize, window;
        double end;
        double expect;  // < -1: the pulse train's F0
    };
    const double f0 = 11025.0 / 92;
    for (const Case& c : {
             Case{"N 1000 is refused", 11025, 50, 500, 1000, 386, 5000, -1},
             Case{"N 1024 is accepted", 11025, 50, 500, 1024, 386, 5000, -2},
             Case{"N 8192 is refused", 11025, 50, 500, 8192, 386, 5000, -1},
             Case{"lowest F0 0 is refused", 11025, 0, 500, 1024, 386, 5000, -1},
             Case{"highest F0 below 0 is refused", 11025, 50, -5, 1024, 386, 5000, -1},
             Case{"rate 0 is refused", 0, 50, 500, 1024, 386, 5000, -1},
             Case{"window longer than N is refused", 11025, 50, 500, 1024, 1025, 5000, -1},
             Case{"window 0 is refused", 11025, 50, 500, 1024, 0, 5000, -1},
             // The band starts at the whole part of 92.5: the peak at 92 is in
             // it, but its F0 lies above the highest.
             Case{"peak in the band, F0 above the range", 11025, 50, 11025 / 92.5, 1024, 386, 5000, 0},
             Case{"peak in the band, F0 at the highest", 11025, 50, 11025 / 92.0, 1024, 386, 5000, -2},
             Case{"band past N/2 is clamped", 11025, 5, 500, 1024, 386, 5000, -2},
             Case{"highest F0 above the rate: band from 1", 11025, 50, 20000, 1024, 386, 5000, -2},
             Case{"lowest above highest: empty band", 11025, 500, 50, 1024, 386, 5000, 0},
             Case{"frame cut short by the end still finds it", 11025, 50, 500, 1024, 386, 1300, -2},
         }) {
        SCOPED_TRACE(c.name);
        const double got =
            CMathFunc().CepstralPitchFloat(x.data(), 1000.0, c.end, c.rate, c.low, c.high, c.fftSize, c.window);
        if (c.expect < -1.5)
            EXPECT_DOUBLE_EQ(got, f0);
        else
            EXPECT_EQ(got, c.expect);
    }
}

TEST(CepstralPitchFloatTest, ReadsNothingPastTheEndOrBeforeTheStart) {
    // Exactly sized data: the window reaches past both ends (checked by the
    // sanitizer build).
    std::vector<float> x = PulseTrain(500, 92);
    CMathFunc f;
    EXPECT_GE(f.CepstralPitchFloat(x.data(), 300.0, 500.0, 11025.0, 50.0, 500.0, 512, 512), 0.0);
    EXPECT_GE(f.CepstralPitchFloat(x.data(), -200.0, 500.0, 11025.0, 50.0, 500.0, 512, 512), 0.0);
    EXPECT_EQ(f.CepstralPitchFloat(x.data(), std::nan(""), 500.0, 11025.0, 50.0, 500.0, 512, 512), 0.0);
}

// The cepstral F0 the plain way: full complex transforms of N points, exact
// logarithms, every cepstral value. The routine's half-size transforms and
// fast levels must find the same peak.
double ReferencePitch(const float* x, double start, double end, double rate, double low, double high, int N, int n) {
    const double pi = 3.14159265358979323846;
    auto dft = [&](std::vector<std::complex<double>>& a) {
        // Recursive radix-2, enough for a test.
        auto rec = [&](auto&& self, std::vector<std::complex<double>>& v) -> void {
            const std::size_t size = v.size();
            if (size < 2)
                return;
            std::vector<std::complex<double>> even(size / 2), odd(size / 2);
            for (std::size_t i = 0; i < size / 2; ++i) {
                even[i] = v[2 * i];
                odd[i] = v[2 * i + 1];
            }
            self(self, even);
            self(self, odd);
            for (std::size_t k = 0; k < size / 2; ++k) {
                const auto t = std::polar(1.0, -2 * pi * static_cast<double>(k) / static_cast<double>(size)) * odd[k];
                v[k] = even[k] + t;
                v[k + size / 2] = even[k] - t;
            }
        };
        rec(rec, a);
    };
    std::vector<std::complex<double>> a(static_cast<std::size_t>(N));
    const double first = std::floor(start);
    for (int i = 0; i < n; ++i) {
        const double at = first + i;
        const double v = at >= 0 && at < end ? x[static_cast<std::size_t>(at)] : 0.0;
        a[static_cast<std::size_t>(i)] = (0.54 - 0.46 * std::cos(2 * pi * i / n)) * v;
    }
    dft(a);
    double lowest = 1e300;
    for (auto& v : a) {
        const double p = std::norm(v);
        v = p > 0 ? 10 * std::log10(p) : std::nan("");
        if (p > 0)
            lowest = std::min(lowest, v.real());
    }
    for (auto& v : a)
        if (std::isnan(v.real()))
            v = lowest < 1e300 ? lowest : 0.0;
    dft(a);
    const int half = N / 2;
    const int lo = std::clamp(static_cast<int>(std::floor(rate / high)), 1, half);
    const int hi = std::clamp(static_cast<int>(std::floor(rate / low)), 1, half);
    std::vector<double> c(static_cast<std::size_t>(half), 0.0);
    for (int j = lo; j < hi; ++j)
        c[static_cast<std::size_t>(j)] = 10 * std::log10(std::norm(a[static_cast<std::size_t>(j)]));
    const double top = *std::max_element(c.begin(), c.end());
    double best = 0, least = 0;
    int index = half;
    for (int j = lo; j < hi; ++j) {
        const double v = std::max(0.0, c[static_cast<std::size_t>(j)] - top + 20);
        if (j == lo || v < least)
            least = v;
        if (v > best) {
            best = v;
            index = j;
        }
    }
    if (index >= half || !(best > least))
        return 0;
    const double f0 = rate / index;
    return f0 > high || f0 < low ? 0 : f0;
}

TEST(CepstralPitchFloatTest, SameAsThePlainComputation) {
    // Glottal-like pulses with a drifting period under noise, silence and
    // noise alone; frames that start before the data or run past its end at
    // odd and even offsets.
    std::vector<float> x(40000);
    std::uint32_t seed = 7;
    auto noise = [&] {
        seed = seed * 1664525u + 1013904223u;
        return static_cast<double>(seed >> 8) / 16777216.0 - 0.5;
    };
    double phase = 0;
    for (std::size_t i = 0; i < x.size(); ++i) {
        phase += (110 + 50 * std::sin(i / 3000.0)) / 22050.0;
        const double pulse = std::pow(0.5 + 0.5 * std::cos(2 * 3.14159265358979 * phase), 12);
        const bool voiced = (i / 5000) % 3 != 2;
        x[i] = static_cast<float>((voiced ? pulse : 0.0) + (i / 5000 == 5 ? 0.0 : 0.02 * noise()));
    }
    CMathFunc math;
    int compared = 0, voiced = 0;
    for (int N : {512, 1024, 2048, 4096}) {
        for (double start = -301; start < 39000; start += 997.5) {
            const int n = std::min(N, 771 + static_cast<int>(start) % 3);
            const double end = start > 30000 ? 39500.5 : 40000;
            const double ours = math.CepstralPitchFloat(x.data(), start, end, 22050, 50, 500, N, n);
            const double plain = ReferencePitch(x.data(), start, end, 22050, 50, 500, N, n);
            EXPECT_EQ(ours, plain) << "N " << N << ", start " << start;
            ++compared;
            voiced += plain > 0;
        }
    }
    EXPECT_GT(voiced, compared / 3);
}

}  // namespace
}  // namespace vocomet
