#pragma once
// What each analysis accepts, in one place for its option dialog and its
// window: a dialog never lets through a value its window would refuse or
// could not draw with. Also the FFT size list, the Defaults buttons' values
// and the range checks of the option dialogs, so the dialogs stay thin.
//
// Plain functions, any thread.

#include <optional>
#include <string>

#include "analysis/AnalysisServices.h"
#include "core/DocumentSettings.h"

namespace vocomet {

// ---- shared by the FFT/LPC window and the spectrogram ---------------------

inline constexpr int kFftSizeCount = 9;    // 32 .. 8192 points
inline constexpr int kMinLpcOrder = 4;
inline constexpr int kMaxLpcOrderAnyRate = 100;
inline constexpr double kMaxPrintSize = 100.0;  // inches or cm
inline constexpr int kMaxIntensityWholeNumber = 32767;  // the intensity grid's cells

// 2^(index + 5); index clamped to 0..8.
int FftPointsOfIndex(int index);
// The entry of the FFT size lists: "  %d  Hz  " with int(rate / points),
// then the points suffix, e.g. "  344  Hz  (  32 pts)" at 11025 Hz.
std::string FftSizeLabel(int index, double rate);
// Highest frequency the windows analyse: (int(rate) / 2000) * 1000.
int MaxAnalysisFrequency(double rate);
// Highest LPC order the windows accept: int(rate / 2000 * 2 + 10).
int MaxWindowLpcOrder(double rate);
// Highest even LPC order a dialog offers: the window's limit and 100.
int MaxDialogLpcOrder(double rate);
// What the LPC edits do when they lose the focus: rounded down to even,
// 400 above 401.
int EvenLpcOrder(int order);
// Longest applied window of an FFT size: int(points * 1000 / rate).
int MaxAppliedWindowMs(int fftPoints, double rate);

// ---- FFT/LPC window ---------------------------------------------------------

inline constexpr const char* kFftLpcFrequencyRefused =
    "Frequency range is beyond allowable value.\nUse Option->FFT/LPC and make sure the frequency range is up to "
    "1/2 of sample rate.";
inline constexpr const char* kFftLpcOrderRefused =
    "Number of LPC coefficients is beyond allowable value.\nUse Option->FFT/LPC and make it is in the proper range.";
inline constexpr const char* kAppliedWindowAdjusted =
    "Selected applied window is out of range.\nIt will be adjusted to maximum.";
inline constexpr const char* kDisplayFrequencyAdjusted =
    "Selected display frequency is out of range.\nIt will be adjusted to maximum. ";

// The window's check of SetData: the refusal message, or empty when the
// frequency range (1 .. MaxAnalysisFrequency) and the LPC order
// (up to MaxWindowLpcOrder) fit the rate.
std::string CheckFftLpcLimits(int maxFrequency, int lpcOrder, double rate);
inline constexpr const char* kFftLpcSizeRefused =
    "Number of FFT points is beyond allowable value.\nUse Option->FFT/LPC and make it is in the proper range.";
inline constexpr const char* kFftLpcStepRefused =
    "Average step size is beyond allowable value.\nUse Option->FFT/LPC and make it is in the proper range.";
// The window's whole check of its settings: CheckFftLpcLimits, then an LPC
// order of at least 1, an FFT size of 32 .. 8192 points (a power of two)
// and an average step of at least 0 ms.
std::string CheckFftLpcWindowSettings(int fftSize, int averageStepMs, int maxFrequency, int lpcOrder, double rate);
// "Default size": values 1 to 15 and the picture for the rate; the log
// step (value 16) is kept from current.
FftLpcSettings FftLpcDefaults(const FftLpcSettings& current, double rate);

// ---- spectrogram window -----------------------------------------------------

inline constexpr const char* kSpectrogramFrequencyRefused =
    "Frequency range is beyond allowable value.\nUse Option->Spectrogram and make sure the frequency range is up to "
    "1/2 of sample rate.";
inline constexpr const char* kSpectrogramOrderRefused =
    "Number of LPC coefficients is beyond allowable value.\nUse Option->Spectrogram and make it is in the proper "
    "range.";

std::string CheckSpectrogramLimits(int frequencyLimit, int lpcOrder, double rate);
// "Defaults": the table's values for the rate; formant tracking and the
// hidden draw-intensity flag are kept from current.
SpectrogramSettings SpectrogramDefaults(const SpectrogramSettings& current, double rate);

// ---- pitch window -----------------------------------------------------------

// "Defaults ": the dialog's values; the method and the two unshown doubles
// are kept from current.
PitchSettings PitchDefaults(const PitchSettings& current);

// ---- the option dialogs' checks ---------------------------------------------
// Each names the first value the dialog must not accept, with the message to
// show; the dialog then stays open with that control focused.

struct OptionRefusal {
    int field = 0;  // see the field numbers below
    std::string message;
};

// FFT/LPC fields: 0..15 the values, 16 the width, 17 the height.
inline constexpr int kFftLpcWidthField = 16;
inline constexpr int kFftLpcHeightField = 17;
std::optional<OptionRefusal> ValidateFftLpcOptions(const FftLpcSettings& v, double rate);

// Spectrogram fields: 0..13 the values, 14 pre-emphasis, 15 the picture
// dimension at 1536 ("Height"), 16 the one at 1544 ("Width").
inline constexpr int kSpectrogramPreEmphasisField = 14;
inline constexpr int kSpectrogramFirstSizeField = 15;
inline constexpr int kSpectrogramSecondSizeField = 16;
std::optional<OptionRefusal> ValidateSpectrogramOptions(const SpectrogramSettings& v, double rate);

// Pitch fields: 0..7 the doubles, 8..19 the ints, 20 width, 21 height.
inline constexpr int kPitchIntsField = 8;
inline constexpr int kPitchWidthField = 20;
inline constexpr int kPitchHeightField = 21;
std::optional<OptionRefusal> ValidatePitchOptions(const PitchSettings& v);

// Log fields: 0 the entire-frame step, 1 the selection step.
std::optional<OptionRefusal> ValidateLogOptions(const LogOptions& v);
// Zoom: the span (whole ms) must be positive.
std::optional<OptionRefusal> ValidateZoomOptions(int zoomMs);
// EGG fields: 0 threshold, 1 velocity window, 2 acceleration window.
std::optional<OptionRefusal> ValidateEggOptions(const EggOptions& v);
// A whole-number cell of the intensity/smooth table (window, step or
// points): 1 .. 32767. Empty when accepted.
std::string CheckIntensityWholeNumber(long long value);
// A calibration coefficient: finite and within the grid's "####.########".
std::string CheckCalibrationCoefficient(double value);

// The framework-style range prompts.
std::string IntegerRangePrompt(long long low, long long high);
std::string NumberRangePrompt(double low, double high);

}  // namespace vocomet
