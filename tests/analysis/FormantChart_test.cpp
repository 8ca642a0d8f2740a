#include "analysis/FormantChart.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace vocomet {
namespace {

constexpr double kPi = 3.14159265358979323846;

TEST(FormantChart, BarkAndF2Prime) {
    // 13 atan(0.76) + 3.5 atan(1/56.25)
    EXPECT_NEAR(BarkOfHz(1000), 8.5105, 1e-4);
    EXPECT_NEAR(BarkOfHz(200), 13 * std::atan(0.152) + 3.5 * std::atan(0.0007111111), 1e-9);
    EXPECT_DOUBLE_EQ(BarkOfHz(0), 0.0);
    // 1500 + 500 * 1000 / 2000
    EXPECT_EQ(F2PrimeHz(500, 1500, 2500), 1750);
    // 1000 + 1000 * 500 / 2500; 900 + 250 * 300 / 800 = 993.75 truncated
    EXPECT_EQ(F2PrimeHz(500, 1000, 3000), 1200);
    EXPECT_EQ(F2PrimeHz(600, 900, 1400), 993);
    EXPECT_EQ(F2PrimeHz(500, 1500, 500), std::nullopt);
    EXPECT_EQ(F2PrimeHz(0, 1500, 2500), std::nullopt);
    EXPECT_EQ(HorizontalHz(500, 1500, 2500, kPlotF2), 1500);
    EXPECT_EQ(HorizontalHz(500, 1500, 2500, kPlotF3), 2500);
    EXPECT_EQ(HorizontalHz(500, 1500, 2500, kPlotF2Prime), 1750);
}

TEST(FormantChart, GeometryPutsTheAxesWhereTheTicksStart) {
    const FormantChartGeometry g = MakeFormantChartGeometry(0, 0, 800, 600, 1, 1);
    EXPECT_EQ(g.xR, 700);
    EXPECT_EQ(g.yT, 50);
    EXPECT_EQ(g.ky, 48);
    EXPECT_EQ(g.kx, 32);
    EXPECT_LE(std::abs(g.XOfHz(400) - g.xR), 1);
    EXPECT_LE(std::abs(g.YOfHz(200) - g.yT), 1);
    // F1 grows downwards, the horizontal value to the left.
    EXPECT_GT(g.YOfHz(800), g.YOfHz(300));
    EXPECT_LT(g.XOfHz(2500), g.XOfHz(800));
    // y = 48 z(500) + int(50 - 48 z(200))
    EXPECT_EQ(g.YOfHz(500), static_cast<int>(48 * BarkOfHz(500) + static_cast<int>(50 - 48 * BarkOfHz(200))));
    // The printer doubles both scales on top of its unit.
    const FormantChartGeometry p = MakeFormantChartGeometry(0, 0, 4000, 4000, 3, 2);
    EXPECT_EQ(p.ky, 288);
    EXPECT_EQ(p.kx, 192);
    EXPECT_EQ(p.xR, 3700);
    EXPECT_EQ(p.yT, 150);

    EXPECT_EQ(F1Ticks(1650), (std::vector<int>{200, 300, 400, 500, 600, 700, 800, 900, 1000, 1100, 1200, 1300,
                                               1400, 1500, 1600}));
    EXPECT_EQ(HorizontalTicks(550), (std::vector<int>{400, 500}));
}

TEST(FormantChart, GroupsAreRunsOfEqualLabels) {
    const std::vector<std::string> labels = {"a", "a", "b", "a", "a", "a", "A"};
    EXPECT_EQ(GroupRowsByLabel(labels),
              (std::vector<FormantGroup>{{0, 2}, {2, 1}, {3, 3}, {6, 1}}));
    EXPECT_TRUE(GroupRowsByLabel(std::vector<std::string>{}).empty());
}

TEST(FormantChart, StatisticsAndEllipseAgainstHandValues) {
    // A cross: F1 spread 1, X spread 2, no covariance.
    const std::vector<double> f1 = {1, -1, 0, 0};
    const std::vector<double> x = {0, 0, 2, -2};
    const GroupStatistics s = ComputeGroupStatistics(f1, x);
    EXPECT_DOUBLE_EQ(s.meanF1, 0.0);
    EXPECT_DOUBLE_EQ(s.varF1, 0.5);
    EXPECT_DOUBLE_EQ(s.varX, 2.0);
    EXPECT_DOUBLE_EQ(s.covariance, 0.0);
    const std::optional<GroupEllipse> e = EllipseOf(s);
    ASSERT_TRUE(e);
    EXPECT_DOUBLE_EQ(e->major, std::sqrt(2.0));
    EXPECT_DOUBLE_EQ(e->minor, std::sqrt(0.5));
    EXPECT_NEAR(e->phi, kPi / 2, 1e-12);  // along X, the larger variance
    EXPECT_NEAR(e->eccentricity, std::sqrt(1 - 0.25), 1e-12);
    const auto outline = EllipseOutline(s, *e);
    // W = 0 points along F1 (semi-axis 2 minor), W = pi/2 along X (2 major).
    EXPECT_NEAR(outline[0].f1, 2 * std::sqrt(0.5), 1e-9);
    EXPECT_NEAR(outline[0].x, 0.0, 1e-9);
    EXPECT_NEAR(outline[50].x, 2 * std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(outline[50].f1, 0.0, 1e-9);
    for (const BarkPoint& p : outline)  // every point on the ellipse
        EXPECT_NEAR(p.x * p.x / 8.0 + p.f1 * p.f1 / 2.0, 1.0, 1e-9);

    // Three points on the diagonal: major along 45 degrees, minor 0, the
    // outline collapses onto the mean.
    const std::vector<double> d = {0, 1, 2};
    const GroupStatistics line = ComputeGroupStatistics(d, d);
    EXPECT_NEAR(line.covariance, 2.0 / 3.0, 1e-12);
    const std::optional<GroupEllipse> le = EllipseOf(line);
    ASSERT_TRUE(le);
    EXPECT_NEAR(le->major, std::sqrt(4.0 / 3.0), 1e-12);
    EXPECT_EQ(le->minor, 0.0);
    EXPECT_NEAR(le->phi, kPi / 4, 1e-12);
    for (const BarkPoint& p : EllipseOutline(line, *le)) {
        EXPECT_DOUBLE_EQ(p.x, 1.0);
        EXPECT_DOUBLE_EQ(p.f1, 1.0);
    }
}

TEST(FormantChart, IdenticalValuesGiveNoEllipse) {
    // Large equal values: a one-pass sum of squares would leave rounding
    // noise as a tiny variance.
    const double v = BarkOfHz(733);
    const std::vector<double> f1 = {v, v, v};
    const std::vector<double> x = {BarkOfHz(1100), BarkOfHz(1250), BarkOfHz(1400)};
    const GroupStatistics s = ComputeGroupStatistics(f1, x);
    EXPECT_EQ(s.varF1, 0.0);
    EXPECT_DOUBLE_EQ(s.meanF1, v);
    EXPECT_FALSE(EllipseOf(s));
}

}  // namespace
}  // namespace vocomet
