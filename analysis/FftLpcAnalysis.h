#pragma once
// The analysis of the FFT/LPC window: the frame walk over a range of one
// channel, the FFT power spectrum in dB and the LPC envelope averaged over
// the frames, up to five formants with their bandwidths, and the texts of
// the window's read-outs. Plain code: the window computes once when its data
// arrive and only draws what is here.
//
// Curves hold one point per Hz from 0 Hz up to the top frequency. After a
// computation the FFT curve lies in 0 .. fftRange (its minimum moved to 0)
// and the LPC envelope is placed so that its peak is fftRange.
//
// Any thread; one CMathFunc per thread.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "core/DocumentSettings.h"

namespace vocomet {

class ChannelSampleSource;
class CMathFunc;

inline constexpr const char* kFftLpcRoutineError = "Error in performing LPC routine.";
// Settings the window cannot analyse with, beyond the rate limits of
// CheckFftLpcLimits.
inline constexpr int kFftLpcMinPoints = 32;
inline constexpr int kFftLpcMaxPoints = 8192;
inline constexpr int kFftLpcFormantSlots = 5;
// Pre-emphasis of the LPC analysis (see ComputeFftLpc).
inline constexpr double kFftLpcPreEmphasis = 0.98;

// What one computation needs.
struct FftLpcInputs {
    double firstSample = 0.0;  // start of frame 0
    double lastSample = 0.0;   // the walk ends with the frame that reaches it
    double sampleCount = 0.0;
    double rate = 0.0;
    int fftSize = 256;
    int appliedWindowMs = 23;
    int lpcOrder = 14;
    int averageStepMs = 10;
    int maxFrequency = 5000;
};

FftLpcInputs MakeFftLpcInputs(double firstSample, double lastSample, double sampleCount, double rate,
                              const FftLpcSettings& settings);

// The window's refusal of its inputs (its message), or empty when they can
// be analysed: the top frequency and LPC order against the rate
// (CheckFftLpcLimits), an FFT size of 2^5 .. 2^13 points, an LPC order of
// at least 1 and an average step of at least 0 ms.
std::string CheckFftLpcInputs(const FftLpcInputs& inputs);

// The sizes of the walk.
struct FftLpcFrameSizes {
    int lpcSamples = 0;     // int(rate / 1000 * order): the span the LPC analyses
    int frameLength = 0;    // samples read per frame: every sample the FFT and the LPC use
    double step = 0.0;      // average step in samples (fractional; 0 ms gives half a sample)
    std::int64_t frames = 0;  // frames the walk analyses (at least 1)
};
FftLpcFrameSizes FftLpcSizes(const FftLpcInputs& inputs);
// Start sample of frame k (whole part taken when reading).
double FftLpcFrameStart(const FftLpcInputs& inputs, const FftLpcFrameSizes& sizes, std::int64_t k);

struct FftLpcResult {
    int pointCount = 0;  // = the top frequency; point i at i Hz
    double hzPerPoint = 1.0;
    std::vector<double> fftCurve;
    std::vector<double> lpcCurve;
    double fftMinimum = 0.0;
    double fftRange = 0.0;
    double lpcMinimum = 0.0;
    double lpcMaximum = 0.0;
    // Frequency + 0.5 and bandwidth + 0.5 in Hz, averaged per slot over the
    // frames that filled it; -1 for a slot no frame filled.
    std::array<double, kFftLpcFormantSlots> formants{-1, -1, -1, -1, -1};
    std::array<double, kFftLpcFormantSlots> bandwidths{-1, -1, -1, -1, -1};
    bool fftComputed = false;
    bool lpcComputed = false;
    bool formantsPicked = false;
    std::int64_t frameCount = 0;
    int frameLength = 0;
    // Times (ms) the first and the last frame stand for (their centres).
    double firstFrameMs = 0.0;
    double lastFrameMs = 0.0;
};

// The LPC routine failed (no memory for its work, a size it cannot take).
class FftLpcRoutineError : public std::runtime_error {
public:
    FftLpcRoutineError() : std::runtime_error(kFftLpcRoutineError) {}
};

// Walks the frames of the range over the source and averages them. The
// inputs must have passed CheckFftLpcInputs (std::invalid_argument
// otherwise). Throws FftLpcRoutineError when the analysis cannot be done.
FftLpcResult ComputeFftLpc(const ChannelSampleSource& source, const FftLpcInputs& inputs, CMathFunc& math);

// The formants a frame's candidates give: the first five candidates in
// ascending frequency, each kept when F + 0.5 >= 2 (B + 0.5), filling the
// slots from the first; stored as F + 0.5 and B + 0.5; -1 for the rest.
void PickFormants(const std::vector<double>& frequencies, const std::vector<double>& bandwidths,
                  std::array<double, kFftLpcFormantSlots>& formants,
                  std::array<double, kFftLpcFormantSlots>& bandwidthsOut);

// ---- read-outs ---------------------------------------------------------

// The curve point under plot x: int((x - left) * (points / width)), kept
// inside the curve; -1 when the plot has no width or there are no points.
int FftLpcPointAt(int x, int plotLeft, int plotRight, int pointCount);

// The levels at point i: absolute display, dB above the spectrum's minimum;
// relative, dB below its maximum (0 or negative).
struct FftLpcLevels {
    double fft = 0.0;
    double lpc = 0.0;
};
FftLpcLevels FftLpcLevelsAt(const FftLpcResult& result, int i, bool absolute);

// "%5.1f" of the level above the minimum (absolute), or "-%5.1f" of the
// distance below the maximum (relative).
std::string FftLpcPowerText(const FftLpcResult& result, int i, bool absolute);
// "%5.1f" of the frequency of point i.
std::string FftLpcFrequencyText(const FftLpcResult& result, int i);
// "Formants\t=" and "\t%7.1f" per slot, then "\nBandwidths\t=" likewise.
std::string FftLpcFormantText(const FftLpcResult& result);

}  // namespace vocomet
