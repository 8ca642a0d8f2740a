#include "analysis/AnalysisLimits.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <utility>

namespace vocomet {

namespace {

// The points suffixes of the size lists, spaced as the lists show them.
constexpr const char* kPointsSuffix[kFftSizeCount] = {
    "(  32 pts)",   "(  64 pts)",   " ( 128 pts)",  " ( 256 pts)", " ( 512 pts)",
    " (1024 pts)", " (2048 pts)", " (4096 pts)", " (8192 pts)",
};

// Grid spacings and picture sizes are shared by every dialog with a plot.
constexpr int kMaxSpacing = 1000000;
// Print and bitmap sizes below this would print nothing.
constexpr double kMinPrintSize = 0.01;
// Largest whole number the option edits take for ms, Hz and dB values.
constexpr int kMaxWhole = 1000000;
constexpr double kMaxCalibration = 9999.99999999;

std::optional<OptionRefusal> Refuse(int field, std::string message) {
    return OptionRefusal{field, std::move(message)};
}

std::optional<OptionRefusal> IntIn(int field, long long v, long long low, long long high) {
    if (v < low || v > high)
        return Refuse(field, IntegerRangePrompt(low, high));
    return std::nullopt;
}

std::optional<OptionRefusal> PrintSize(int field, double v) {
    if (!(v >= kMinPrintSize && v <= kMaxPrintSize))
        return Refuse(field, NumberRangePrompt(kMinPrintSize, kMaxPrintSize));
    return std::nullopt;
}

std::optional<OptionRefusal> Flag(int field, int v) { return IntIn(field, v, 0, 1); }

// A grid spacing is checked only while its grid is on (its edit is disabled
// otherwise). Time grids take 0 for automatic spacing; value grids need a step.
std::optional<OptionRefusal> Spacing(int field, int gridOn, int v, bool zeroAutomatic) {
    if (gridOn == 0)
        return std::nullopt;
    return IntIn(field, v, zeroAutomatic ? 0 : 1, kMaxSpacing);
}

// Frequency range of the FFT/LPC and spectrogram dialogs.
std::optional<OptionRefusal> FrequencyRange(int field, int v, double rate, const char* refusal) {
    const int high = MaxAnalysisFrequency(rate);
    if (high < 1)
        return v < 1 || v > high ? Refuse(field, refusal) : std::nullopt;
    return IntIn(field, v, 1, high);
}

std::optional<OptionRefusal> LpcOrder(int field, int v, double rate) {
    return IntIn(field, v, kMinLpcOrder, std::max(kMinLpcOrder, MaxDialogLpcOrder(rate)));
}

std::optional<OptionRefusal> FirstOf(std::initializer_list<std::optional<OptionRefusal>> checks) {
    for (const auto& c : checks)
        if (c)
            return c;
    return std::nullopt;
}

std::string FormatNumber(double v) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.12g", v);
    return buf;
}

}  // namespace

int FftPointsOfIndex(int index) { return 1 << (std::clamp(index, 0, kFftSizeCount - 1) + 5); }

std::string FftSizeLabel(int index, double rate) {
    index = std::clamp(index, 0, kFftSizeCount - 1);
    const double hz = rate / FftPointsOfIndex(index);
    char buf[64];
    std::snprintf(buf, sizeof buf, "  %d  Hz  ", std::isfinite(hz) && std::fabs(hz) < 2e9 ? static_cast<int>(hz) : 0);
    return std::string(buf) + kPointsSuffix[index];
}

int MaxAnalysisFrequency(double rate) {
    if (!(rate >= 0.0) || rate >= 2147483647.0)
        return rate >= 2147483647.0 ? 2147483000 : 0;
    return static_cast<int>(rate) / 2000 * 1000;
}

int MaxWindowLpcOrder(double rate) {
    const double v = rate / 2000.0 * 2.0 + 10.0;
    if (!(v >= 0.0))
        return 0;
    return v >= 2147483647.0 ? 2147483647 : static_cast<int>(v);
}

int MaxDialogLpcOrder(double rate) { return EvenLpcOrder(std::min(MaxWindowLpcOrder(rate), kMaxLpcOrderAnyRate)); }

int EvenLpcOrder(int order) {
    order = order / 2 * 2;
    return order > 401 ? 400 : order;
}

int MaxAppliedWindowMs(int fftPoints, double rate) {
    if (!(rate > 0.0))
        return 0;
    const double v = fftPoints * 1000.0 / rate;
    return v >= 2147483647.0 ? 2147483647 : static_cast<int>(v);
}

// ---- windows ----------------------------------------------------------------

std::string CheckFftLpcLimits(int maxFrequency, int lpcOrder, double rate) {
    if (maxFrequency < 1 || maxFrequency > MaxAnalysisFrequency(rate))
        return kFftLpcFrequencyRefused;
    if (lpcOrder > MaxWindowLpcOrder(rate))
        return kFftLpcOrderRefused;
    return {};
}

std::string CheckFftLpcWindowSettings(int fftSize, int averageStepMs, int maxFrequency, int lpcOrder, double rate) {
    std::string refusal = CheckFftLpcLimits(maxFrequency, lpcOrder, rate);
    if (!refusal.empty())
        return refusal;
    if (lpcOrder < 1)
        return kFftLpcOrderRefused;
    if (fftSize < 32 || fftSize > 8192 || (fftSize & (fftSize - 1)) != 0)
        return kFftLpcSizeRefused;
    if (averageStepMs < 0)
        return kFftLpcStepRefused;
    return {};
}

std::string CheckSpectrogramLimits(int frequencyLimit, int lpcOrder, double rate) {
    if (frequencyLimit < 1 || frequencyLimit > MaxAnalysisFrequency(rate))
        return kSpectrogramFrequencyRefused;
    if (lpcOrder > MaxWindowLpcOrder(rate))
        return kSpectrogramOrderRefused;
    return {};
}

FftLpcSettings FftLpcDefaults(const FftLpcSettings& current, double rate) {
    FftLpcSettings d = current;
    const double order = rate / 2000.0 * 2.0 + 4.0;
    d.values = {3,
                256,
                rate > 0.0 ? static_cast<int>(std::min(256000.0 / rate, 2147483647.0)) : 0,
                10,
                MaxAnalysisFrequency(rate),
                1,
                80,
                1,
                1,
                1,
                1000,
                1,
                20,
                std::min(EvenLpcOrder(order >= 0.0 && order < 2147483647.0 ? static_cast<int>(order) : 0),
                         MaxDialogLpcOrder(rate)),
                1,
                current.values[FftLpcSettings::kLogOption]};
    d.pictureWidth = 6.0;
    d.pictureHeight = 4.0;
    return d;
}

SpectrogramSettings SpectrogramDefaults(const SpectrogramSettings& current, double rate) {
    SpectrogramSettings d = current;
    const double half = rate / 2000.0;
    const int order = half >= 0.0 && half < 1e9 ? 2 * (2 + static_cast<int>(half)) : kMinLpcOrder;
    d.values[0] = 128;
    d.values[1] = 2;
    d.values[2] = MaxAnalysisFrequency(rate);
    d.values[3] = 55;
    d.values[SpectrogramSettings::kLpcOrder] = std::min(order, MaxDialogLpcOrder(rate));
    d.values[6] = 1;   // inches
    d.values[7] = 0;   // draw audio
    d.values[8] = 0;   // draw intensity (hidden)
    d.values[9] = 0;   // draw labels
    d.values[10] = 1;  // frequency grid
    d.values[11] = 1000;
    d.values[12] = 1;  // time grid
    d.values[13] = 500;
    d.preEmphasis = 0.98;
    // The dimension at 1536 is the dialog's "Height", the one at 1544 its "Width".
    d.pictureWidth = 6.0;
    d.pictureHeight = 4.0;
    return d;
}

PitchSettings PitchDefaults(const PitchSettings& current) {
    PitchSettings d = current;
    d.doubles[0] = 35.0;   // window
    d.doubles[1] = 10.0;   // step
    d.doubles[2] = 500.0;  // calculation upper
    d.doubles[3] = 50.0;   // calculation lower
    d.doubles[4] = 1.0;    // threshold
    d.doubles[5] = 100.0;  // deviation
    const int method = current.ints[6];
    d.ints = {500, 50, 1, 20, 1, 500, method, 1, 1, 1, 1, 1};
    d.pictureWidth = 6.0;
    d.pictureHeight = 4.0;
    return d;
}

// ---- dialogs ----------------------------------------------------------------

std::optional<OptionRefusal> ValidateFftLpcOptions(const FftLpcSettings& v, double rate) {
    const auto& x = v.values;
    const int maxWindow = MaxAppliedWindowMs(FftPointsOfIndex(x[0]), rate);
    return FirstOf({
        IntIn(0, x[0], 0, kFftSizeCount - 1),
        IntIn(2, x[2], std::min(1, maxWindow), maxWindow),
        IntIn(3, x[3], 1, kMaxWhole),
        FrequencyRange(4, x[4], rate, kFftLpcFrequencyRefused),
        Flag(5, x[5]),
        x[5] != 0 ? IntIn(6, x[6], 1, kMaxWhole) : std::nullopt,
        Flag(7, x[7]),
        PrintSize(kFftLpcWidthField, v.pictureWidth),
        PrintSize(kFftLpcHeightField, v.pictureHeight),
        Flag(8, x[8]),
        Flag(9, x[9]),
        Spacing(10, x[9], x[10], false),
        Flag(11, x[11]),
        Spacing(12, x[11], x[12], false),
        LpcOrder(13, x[13], rate),
        Flag(14, x[14]),
    });
}

std::optional<OptionRefusal> ValidateSpectrogramOptions(const SpectrogramSettings& v, double rate) {
    const auto& x = v.values;
    return FirstOf({
        IntIn(1, x[1], 0, kFftSizeCount - 1),
        FrequencyRange(2, x[2], rate, kSpectrogramFrequencyRefused),
        IntIn(3, x[3], 1, kMaxWhole),
        v.preEmphasis >= 0.0 && v.preEmphasis <= 1.0
            ? std::nullopt
            : Refuse(kSpectrogramPreEmphasisField, NumberRangePrompt(0.0, 1.0)),
        Flag(4, x[4]),
        LpcOrder(5, x[5], rate),
        Flag(6, x[6]),
        PrintSize(kSpectrogramFirstSizeField, v.pictureWidth),
        PrintSize(kSpectrogramSecondSizeField, v.pictureHeight),
        Flag(7, x[7]),
        Flag(8, x[8]),
        Flag(9, x[9]),
        Flag(10, x[10]),
        Spacing(11, x[10], x[11], false),
        Flag(12, x[12]),
        Spacing(13, x[12], x[13], true),
    });
}

std::optional<OptionRefusal> ValidatePitchOptions(const PitchSettings& v) {
    const auto& d = v.doubles;
    const auto& n = v.ints;
    const auto whole = [](int field, double x, long long low) {
        return IntIn(field, std::isfinite(x) ? static_cast<long long>(std::clamp(x, -1e12, 1e12)) : -1, low,
                     kMaxWhole);
    };
    std::optional<OptionRefusal> r = FirstOf({
        whole(0, d[0], 1),
        whole(1, d[1], 1),
        whole(3, d[3], 1),
        whole(2, d[2], 1),
        whole(5, d[5], 0),
        whole(4, d[4], 0),
        IntIn(kPitchIntsField + 1, n[1], 0, kMaxWhole),
        IntIn(kPitchIntsField + 0, n[0], 1, kMaxWhole),
        Flag(kPitchIntsField + 2, n[2]),
        Spacing(kPitchIntsField + 3, n[2], n[3], false),
        Flag(kPitchIntsField + 4, n[4]),
        Spacing(kPitchIntsField + 5, n[4], n[5], true),
        Flag(kPitchIntsField + 6, n[6]),
        PrintSize(kPitchWidthField, v.pictureWidth),
        PrintSize(kPitchHeightField, v.pictureHeight),
    });
    if (r)
        return r;
    for (int i = 7; i < 12; ++i)
        if (auto f = Flag(kPitchIntsField + i, n[i]))
            return f;
    if (d[3] >= d[2])
        return Refuse(3, "The lower calculation limit must be below the upper one.");
    if (n[1] >= n[0])
        return Refuse(kPitchIntsField + 1, "The lower display limit must be below the upper one.");
    return std::nullopt;
}

std::optional<OptionRefusal> ValidateLogOptions(const LogOptions& v) {
    if (auto r = IntIn(0, v.frameStepHz, 1, 5000))
        return r;
    // A step of 0 would never advance through a selection.
    if (!(v.selectionStepMs > 0.0 && v.selectionStepMs <= 100.0))
        return Refuse(1, "Please enter a number above 0 and not above 100.");
    return std::nullopt;
}

std::optional<OptionRefusal> ValidateZoomOptions(int zoomMs) { return IntIn(0, zoomMs, 1, 2147483647); }

std::optional<OptionRefusal> ValidateEggOptions(const EggOptions& v) {
    if (auto r = IntIn(0, v.thresholdPercent, 0, 100))
        return r;
    if (!(v.velocityWindowMs >= 0.0 && v.velocityWindowMs <= kMaxWhole))
        return Refuse(1, NumberRangePrompt(0.0, kMaxWhole));
    if (!(v.accelerationWindowMs >= 0.0 && v.accelerationWindowMs <= kMaxWhole))
        return Refuse(2, NumberRangePrompt(0.0, kMaxWhole));
    return std::nullopt;
}

std::string CheckIntensityWholeNumber(long long value) {
    if (value < 1 || value > kMaxIntensityWholeNumber)
        return IntegerRangePrompt(1, kMaxIntensityWholeNumber);
    return {};
}

std::string CheckCalibrationCoefficient(double value) {
    if (!std::isfinite(value) || std::fabs(value) > kMaxCalibration)
        return NumberRangePrompt(-kMaxCalibration, kMaxCalibration);
    return {};
}

std::string IntegerRangePrompt(long long low, long long high) {
    return "Please enter an integer between " + std::to_string(low) + " and " + std::to_string(high) + ".";
}

std::string NumberRangePrompt(double low, double high) {
    return "Please enter a number between " + FormatNumber(low) + " and " + FormatNumber(high) + ".";
}

}  // namespace vocomet
