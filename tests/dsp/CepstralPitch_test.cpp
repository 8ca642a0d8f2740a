#include "dsp/CMathFunc.h"

#include <gtest/gtest.h>

#include <cmath>
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

}  // namespace
}  // namespace vocomet
