#include "dsp/CMathFunc.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

namespace vocomet {
namespace {

// Two constant halves of 1000 samples: a frame of constant value c has the
// mean square c^2, so each half gives a known level.
std::vector<float> TwoLevels(double firstDb, double secondDb) {
    std::vector<float> x(2000);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(std::pow(10.0, (i < 1000 ? firstDb : secondDb) / 20.0));
    return x;
}

TEST(IntensityCurveFloatTest, LevelsAreFoldedToNonNegative) {
    struct Case {
        double first, second;
        int shift;
        double expectFirst, expectSecond, expectMin, expectMax;
    };
    for (const Case& c : {Case{-60, -10, 0, 10, 60, 10, 60}, Case{-5, 20, 0, 0, 25, 0, 25},
                          Case{-60, -10, 1, 0, 50, 0, 50}, Case{3, 20, 0, 3, 20, 3, 20},
                          Case{3, 20, 1, 0, 17, 0, 17}}) {
        SCOPED_TRACE(::testing::Message() << c.first << " " << c.second << " shift " << c.shift);
        std::vector<float> x = TwoLevels(c.first, c.second);
        std::vector<float> curve(x.size(), -123.0f);
        double lo = -1, hi = -1;
        // 100-sample frames every 50 samples.
        CMathFunc().IntensityCurveFloat(x.data(), curve.data(), lo, hi, 0.0, 0.0, 100.0, 50.0, 2000.0, c.shift, 0);
        EXPECT_NEAR(lo, c.expectMin, 1e-4);
        EXPECT_NEAR(hi, c.expectMax, 1e-4);
        EXPECT_NEAR(curve[0], c.expectFirst, 1e-4);
        EXPECT_NEAR(curve[400], c.expectFirst, 1e-4);
        EXPECT_NEAR(curve[1500], c.expectSecond, 1e-4);
        EXPECT_NEAR(curve[1999], c.expectSecond, 1e-4);  // the tail repeats the last frame
        for (float v : curve) {
            ASSERT_GE(v, lo - 1e-4);
            ASSERT_LE(v, hi + 1e-4);
        }
    }
}

TEST(IntensityCurveFloatTest, FractionalStepAndLinearLevels) {
    // Value k in frame-sized blocks of 3: with a window of 3 and a step of
    // 1.5 frames start at 0, 1, 3, 4, 6 ... (whole part of k * 1.5).
    std::vector<float> x(30);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = static_cast<float>(i);
    std::vector<float> curve(x.size());
    double lo = 0, hi = 0;
    CMathFunc().IntensityCurveFloat(x.data(), curve.data(), lo, hi, 1.0, 0.0, 3.0, 1.5, 30.0, 0, 1);
    auto meanSquare = [&](int s) {
        double sum = 0;
        for (int j = s; j < s + 3; ++j)
            sum += (x[j] - 1.0) * (x[j] - 1.0);
        return sum / 3.0;
    };
    EXPECT_FLOAT_EQ(curve[0], static_cast<float>(meanSquare(0)));
    EXPECT_FLOAT_EQ(curve[1], static_cast<float>(meanSquare(1)));
    EXPECT_FLOAT_EQ(curve[2], static_cast<float>(meanSquare(1)));  // frame 1 covers it last
    EXPECT_FLOAT_EQ(curve[3], static_cast<float>(meanSquare(3)));
    // 18 frames (whole part of 27 / 1.5); the last starts at 25 and runs on.
    EXPECT_FLOAT_EQ(curve[29], static_cast<float>(meanSquare(25)));
    EXPECT_DOUBLE_EQ(hi, static_cast<float>(meanSquare(25)));
}

TEST(IntensityCurveFloatTest, NoFrameGivesZerosAndSilenceIsNeverInfinite) {
    std::vector<float> x(350, 0.5f);
    std::vector<float> curve(x.size(), 9.0f);
    double lo = 1, hi = 1;
    // Shorter than a window plus a step.
    CMathFunc().IntensityCurveFloat(x.data(), curve.data(), lo, hi, 0.0, 0.0, 300.0, 100.0, 350.0, 0, 0);
    EXPECT_TRUE(std::all_of(curve.begin(), curve.end(), [](float v) { return v == 0.0f; }));
    EXPECT_EQ(lo, 0.0);
    EXPECT_EQ(hi, 0.0);
    // A step of 0 never advances: no frame.
    std::fill(curve.begin(), curve.end(), 9.0f);
    CMathFunc().IntensityCurveFloat(x.data(), curve.data(), lo, hi, 0.0, 0.0, 30.0, 0.0, 350.0, 0, 0);
    EXPECT_TRUE(std::all_of(curve.begin(), curve.end(), [](float v) { return v == 0.0f; }));

    // Half silent, half at -20 dB: the silence takes -20 dB too (then
    // folded to 20).
    std::vector<float> y(1000, 0.0f);
    std::fill(y.begin() + 500, y.end(), 0.1f);
    std::vector<float> c2(y.size());
    CMathFunc().IntensityCurveFloat(y.data(), c2.data(), lo, hi, 0.0, 0.0, 100.0, 100.0, 1000.0, 0, 0);
    for (float v : c2)
        ASSERT_NEAR(v, 20.0, 1e-4);
    EXPECT_NEAR(lo, 20.0, 1e-4);
    EXPECT_NEAR(hi, 20.0, 1e-4);
}

}  // namespace
}  // namespace vocomet
