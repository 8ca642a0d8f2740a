#include "analysis/FormantChart.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace vocomet {

namespace {

constexpr double kPi = 3.1415926535898;

int Truncate(double v) {
    if (!(v > std::numeric_limits<int>::min()))
        return std::numeric_limits<int>::min();
    if (!(v < std::numeric_limits<int>::max()))
        return std::numeric_limits<int>::max();
    return static_cast<int>(v);
}

}  // namespace

double BarkOfHz(int hz) {
    const double k = hz / 1000.0;
    const double r = k / 7.5;
    return 13.0 * std::atan(0.76 * k) + 3.5 * std::atan(r * r);
}

std::optional<int> F2PrimeHz(int f1, int f2, int f3) {
    if (f3 == f1 || f1 == 0)
        return std::nullopt;
    const double a = f1, b = f2, c = f3;
    const double v = b + (c - b) / 2.0 * (b - a) / (c - a);
    if (!std::isfinite(v))
        return std::nullopt;
    return Truncate(v);
}

std::optional<int> HorizontalHz(int f1, int f2, int f3, int plotType) {
    switch (plotType) {
    case kPlotF2Prime: return F2PrimeHz(f1, f2, f3);
    case kPlotF3: return f3;
    default: return f2;
    }
}

int FormantChartGeometry::YOfBark(double bark) const { return Truncate(ky * bark + y0); }
int FormantChartGeometry::XOfBark(double bark) const { return Truncate(x0 - kx * bark); }

FormantChartGeometry MakeFormantChartGeometry(int left, int top, int right, int bottom, int d, int e) {
    (void)left;
    (void)bottom;
    FormantChartGeometry g;
    g.xR = right - 100 * d;
    g.yT = top + 50 * d;
    g.ky = 48 * d * e;
    g.kx = 32 * d * e;
    g.y0 = Truncate(g.yT - g.ky * BarkOfHz(200));
    g.x0 = Truncate(g.xR + g.kx * BarkOfHz(400));
    return g;
}

std::vector<int> F1Ticks(int range) {
    std::vector<int> ticks;
    for (int f = 200; f <= range / 100 * 100; f += 100)
        ticks.push_back(f);
    return ticks;
}

std::vector<int> HorizontalTicks(int range) {
    std::vector<int> ticks;
    for (int f = 400; f <= range / 100 * 100; f += 100)
        ticks.push_back(f);
    return ticks;
}

std::vector<FormantGroup> GroupRowsByLabel(std::span<const std::string> labels) {
    std::vector<FormantGroup> groups;
    for (int i = 0; i < static_cast<int>(labels.size()); ++i) {
        if (groups.empty() || labels[i] != labels[groups.back().first])
            groups.push_back({i, 1});
        else
            ++groups.back().count;
    }
    return groups;
}

GroupStatistics ComputeGroupStatistics(std::span<const double> f1Bark, std::span<const double> xBark) {
    GroupStatistics s;
    const std::size_t n = std::min({f1Bark.size(), xBark.size(), static_cast<std::size_t>(kMaxGroupRows)});
    s.n = static_cast<int>(n);
    if (n == 0)
        return s;
    for (std::size_t i = 0; i < n; ++i) {
        s.meanF1 += f1Bark[i];
        s.meanX += xBark[i];
    }
    s.meanF1 /= static_cast<double>(n);
    s.meanX /= static_cast<double>(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double dy = f1Bark[i] - s.meanF1;
        const double dx = xBark[i] - s.meanX;
        s.varF1 += dy * dy;
        s.varX += dx * dx;
        s.covariance += dx * dy;
    }
    s.varF1 /= static_cast<double>(n);
    s.varX /= static_cast<double>(n);
    s.covariance /= static_cast<double>(n);
    return s;
}

std::optional<GroupEllipse> EllipseOf(const GroupStatistics& s) {
    if (!(s.varF1 > 0.0) || !(s.varX > 0.0) || !std::isfinite(s.varF1 + s.varX + s.covariance))
        return std::nullopt;
    const double q = (s.varX - s.varF1) / 2.0;
    const double p = std::sqrt(q * q + s.covariance * s.covariance);
    const double r = (s.varX + s.varF1) / 2.0;
    GroupEllipse e;
    e.major = r + p > 0.0 ? std::sqrt(r + p) : 0.0;
    e.minor = r - p > 0.0 ? std::sqrt(r - p) : 0.0;
    if (!(e.major > 0.0))
        return std::nullopt;
    if (s.covariance != 0.0)
        e.phi = std::atan((p + q) / s.covariance);
    else
        e.phi = s.varX >= s.varF1 ? kPi / 2.0 : 0.0;
    const double ratio = e.minor / e.major;
    e.eccentricity = std::sqrt(std::max(0.0, 1.0 - ratio * ratio));
    return e;
}

std::array<BarkPoint, kEllipsePoints> EllipseOutline(const GroupStatistics& s, const GroupEllipse& e) {
    std::array<BarkPoint, kEllipsePoints> points{};
    const double e2 = e.eccentricity * e.eccentricity;
    for (int k = 0; k < kEllipsePoints; ++k) {
        const double w = k * 2.0 * kPi / kEllipsePoints;
        const double c = std::cos(e.phi - w);
        const double g = 1.0 - e2 * c * c;
        const double rho = e.minor > 0.0 && g > 0.0 ? 2.0 * e.minor / std::sqrt(g) : 0.0;
        points[k] = {s.meanX + rho * std::sin(w), s.meanF1 + rho * std::cos(w)};
    }
    return points;
}

}  // namespace vocomet
