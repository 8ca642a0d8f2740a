#pragma once
// The arithmetic of the Bark-scale formant chart: the Bark mapping, where a
// token lands, the horizontal value of each plot type, the groups of equally
// labelled rows and their means and two-standard-deviation ellipses. No
// drawing here; the formant plot window draws what these give.

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace vocomet {

// Plot types: F1 against F2, F2' or F3.
enum FormantPlotType : int { kPlotF2 = 0, kPlotF2Prime = 1, kPlotF3 = 2 };

inline constexpr int kEllipsePoints = 200;
// Rows of one group that the statistics take; later rows of a longer run
// are left out of its mean and ellipse.
inline constexpr int kMaxGroupRows = 14000;

// Bark value of a whole frequency: with k = hz / 1000,
// 13 atan(0.76 k) + 3.5 atan((k / 7.5)^2).
double BarkOfHz(int hz);

// F2' = F2 + (F3 - F2)/2 * (F2 - F1)/(F3 - F1) in whole Hz (truncated);
// none when F3 == F1 or F1 == 0, where it means nothing.
std::optional<int> F2PrimeHz(int f1, int f2, int f3);

// The horizontal frequency of a row for the plot type (F2, F2' or F3), none
// when the row has no value there.
std::optional<int> HorizontalHz(int f1, int f2, int f3, int plotType);

// Where the chart sits in its rectangle. d is the scale (1 on the screen,
// the print unit on paper), e the mode (1 screen or bitmap, 2 printer).
struct FormantChartGeometry {
    int xR = 0;      // the F1 axis (right)
    int yT = 0;      // the horizontal axis (top)
    int ky = 0;      // pixels per Bark downwards
    int kx = 0;      // pixels per Bark to the left
    int y0 = 0;
    int x0 = 0;

    int YOfBark(double bark) const;
    int XOfBark(double bark) const;
    int YOfHz(int hz) const { return YOfBark(BarkOfHz(hz)); }
    int XOfHz(int hz) const { return XOfBark(BarkOfHz(hz)); }
};
FormantChartGeometry MakeFormantChartGeometry(int left, int top, int right, int bottom, int d, int e);

// Tick frequencies: F1 from 200 and the horizontal axis from 400, in steps
// of 100 up to the range (whole hundreds).
std::vector<int> F1Ticks(int range);
std::vector<int> HorizontalTicks(int range);

// A run of adjacent rows whose labels are equal (exact comparison).
struct FormantGroup {
    int first = 0;
    int count = 0;
    bool operator==(const FormantGroup&) const = default;
};
std::vector<FormantGroup> GroupRowsByLabel(std::span<const std::string> labels);

// Means, variances and covariance of a group's points in Bark (y: F1,
// x: the horizontal value), each variance from the deviations from the
// mean, so identical values give exactly 0.
struct GroupStatistics {
    int n = 0;
    double meanF1 = 0.0;
    double meanX = 0.0;
    double varF1 = 0.0;
    double varX = 0.0;
    double covariance = 0.0;
};
GroupStatistics ComputeGroupStatistics(std::span<const double> f1Bark, std::span<const double> xBark);

// The ellipse of a group: none when either variance is 0 (or not a
// number). major and minor are the standard deviations along the axes, phi
// the direction of the major axis from the F1 axis towards the X axis;
// with no covariance the major axis lies along the axis of the larger
// variance.
struct GroupEllipse {
    double major = 0.0;
    double minor = 0.0;
    double phi = 0.0;
    double eccentricity = 0.0;
};
std::optional<GroupEllipse> EllipseOf(const GroupStatistics& stats);

// The outline with semi-axes 2 major and 2 minor around the mean, in Bark,
// as (x, y) = (X, F1) pairs; point k at angle k 2 pi / 200 from the F1
// axis. A group whose minor axis is 0 collapses onto its mean.
struct BarkPoint {
    double x = 0.0;
    double f1 = 0.0;
};
std::array<BarkPoint, kEllipsePoints> EllipseOutline(const GroupStatistics& stats, const GroupEllipse& ellipse);

}  // namespace vocomet
