#pragma once
// The signal-processing library: spectra, linear prediction, pitch and
// intensity.
//
// Each CMathFunc owns its work storage (FFT tables, window, scratch),
// sized from the inputs of each call and kept for the next one, so a caller
// that analyses frame after frame keeps one object, and two windows, each
// with its own object, can compute at the same time on different threads.
// One object is used by one thread at a time.
//
// Results are returned by value. Work storage that cannot be had is an
// error the caller sees: std::bad_alloc, or std::length_error for sizes
// beyond what the library takes (an FFT of more than 2^kMaxFftExponent
// points). Arguments that make no sense (no samples, no output points, a
// sampling rate that is not positive) give an empty result, never a value
// read from outside the caller's arrays.
//
// Levels are in dB (10 log10 of a power). A bin with zero power takes the
// lowest finite level of its own spectrum, so no result holds infinity or
// NaN; a spectrum with no finite level at all is flat at 0 dB.

#include <cstdio>
#include <optional>
#include <vector>

#include "platform/Progress.h"

namespace vocomet {

// The library's own circle constants: every window, twiddle factor and
// frequency conversion uses these values, not full double precision.
inline constexpr double kMathPi = 3.1415926535898;
inline constexpr double kMathTwoPi = 6.2831853071796;

// The linear prediction of one frame.
struct LpcResult {
    int order = 0;                      // the order used (at most CMathFunc::kMaxLpcOrder)
    std::vector<double> reflection;     // k[0 .. order-1]
    std::vector<double> coefficients;   // a[0 .. order], a[0] = 1: A(z) = sum a[i] z^-i
    double predictionError = 0.0;       // residual energy after the last order
    bool valid = false;                 // false for a frame with no energy or a non-finite recursion
};

// One quadratic factor x^2 + P x + Q of the prediction polynomial and the
// root of it with the non-negative imaginary part.
struct QuadraticFactor {
    double p = 0.0, q = 0.0;
    double rootReal = 0.0, rootImag = 0.0;
};

// Frequency and bandwidth in Hz of a quadratic factor, and its root.
struct FormantRoot {
    double frequency = 0.0;
    double bandwidth = 0.0;
    double rootReal = 0.0, rootImag = 0.0;
};

// The quadratic factors of one frame and the resonances among them.
struct FormantResult {
    std::vector<QuadraticFactor> factors;
    std::vector<double> frequencies;  // ascending; equal frequencies keep the order they were found in
    std::vector<double> bandwidths;   // paired with the frequencies

    int FactorCount() const { return static_cast<int>(factors.size()); }
    int FormantCount() const { return static_cast<int>(frequencies.size()); }
    // Slots past the count read 0, as callers that show a fixed number of
    // formants expect.
    double Frequency(int i) const { return i >= 0 && i < FormantCount() ? frequencies[i] : 0.0; }
    double Bandwidth(int i) const { return i >= 0 && i < FormantCount() ? bandwidths[i] : 0.0; }
};

// The LPC envelope of one frame and, when asked for, its formants.
struct LpcSpectrum {
    // The power of the inverse filter |A|^2 in dB (the display turns it
    // upside down): half the envelope FFT's points, or the resampled
    // points; empty when the envelope was skipped.
    std::vector<double> envelope;
    // No value when formants were not asked for or the root search failed.
    std::optional<FormantResult> formants;
};

class CMathFunc {
public:
    static constexpr int kMaxFftExponent = 24;    // 16 M points
    static constexpr int kMaxLpcOrder = 400;      // the option dialogs' cap
    static constexpr double kFormantBandwidthLimit = 600.0;

    CMathFunc();
    virtual ~CMathFunc();
    CMathFunc(const CMathFunc&) = delete;
    CMathFunc& operator=(const CMathFunc&) = delete;

    // ---- spectra ----

    // In-place forward complex FFT of 2^m points, X[k] = sum x[j]
    // e^(-2 pi i jk/N), unscaled. m = 0 leaves the point as it is; m < 0
    // does nothing; m > kMaxFftExponent throws std::length_error.
    void Fft(double* re, double* im, int m);

    // dB power spectrum of a frame of n samples: Hamming window of length n
    // when window is 1 (any other value: rectangular), pre-emphasis a > 0
    // makes sample i x[i+1] - a x[i] (so n + 1 samples are read). A frame
    // whose length is not a power of two is zero-padded to the next one, N
    // (at least 2). Returns N/2 levels (bin k at k rate/N), or with resample
    // set, nOut levels, point i at i maxFrequency/nOut (see
    // ResampleSpectrum). Empty when frame is null, n < 1, or resampling is
    // asked for with nOut < 1 or a rate that is not positive.
    std::vector<double> PowerSpectrumDb(const double* frame, int n, double preEmphasis, int window, int resample,
                                        int nOut, int maxFrequency, double rate);

    // A half spectrum of fftSize/2 bins resampled onto nOut points by a
    // natural cubic spline through the bins: point i lies at bin
    // i (maxFrequency/(rate/2)) (fftSize/2)/nOut; points beyond the last bin
    // continue its last cubic. Empty for bad arguments as above.
    std::vector<double> ResampleSpectrum(const double* spectrum, int fftSize, int nOut, int maxFrequency,
                                         double rate);

    // Cubic spline through x[1..n], y[1..n] (1-based; element 0 unused).
    // An end slope above 9.9e29 makes that end natural. Fills y2[1..n] with
    // the second derivatives; n < 2 makes y2 0.
    void SplineSecondDerivatives(const double* x, const double* y, int n, double slopeFirst, double slopeLast,
                                 double* y2);
    // The spline at x: 0 and the value in result, or 1 and result untouched
    // when the abscissae enclosing x are equal (or n < 1).
    static int SplineInterpolate(const double* xa, const double* ya, const double* y2a, int n, double x,
                                 double& result);

    // printf-style message to the stream (the library passes stderr).
    static void ReportError(std::FILE* stream, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 2, 3)))
#endif
        ;

    // ---- linear prediction ----

    // Envelope and formants of a frame of n samples (n + 1 read when the
    // pre-emphasis is above 0), window and pre-emphasis as PowerSpectrumDb.
    // Order p of the autocorrelation method; with findFormants set, the
    // roots of A(z) become formants (bandwidth at most 600 Hz). Unless
    // skipEnvelope is set, the envelope is |A|^2 on an FFT of 256 points,
    // more for orders of 256 and up (the smallest power of two above p),
    // giving half as many levels, or nOut resampled levels. A frame with no
    // energy or with coefficients that are not finite has no formants and a
    // flat 0 dB envelope.
    LpcSpectrum LpcSpectrumFormants(const double* frame, int p, int n, double preEmphasis, int window,
                                    int resample, int nOut, int maxFrequency, double rate, int findFormants,
                                    bool skipEnvelope);
    // The formants of this object's last LpcSpectrumFormants call that
    // searched them; null when that search failed or none was made.
    const FormantResult* LastFormantResult() const;

    // Autocorrelation LPC of order p (Schur recursion, step-up to the
    // predictor). An order above kMaxLpcOrder is reported on stderr and
    // kMaxLpcOrder is used; an order below 0 is 0.
    LpcResult LpcAutocorrelation(const double* frame, int n, int p);

    // Quadratic factors of a[0] x^p + ... + a[p] (a[0] = 1) and the
    // resonances among them: a finite frequency and a finite bandwidth
    // 0 .. bandwidthLimit. The coefficients are destroyed. No value when a
    // factor cannot be found or a coefficient is not finite.
    std::optional<FormantResult> LpcRootsToFormants(int p, double bandwidthLimit, double* a, double rate);

    // Removes one factor from a[0] x^n + ... + a[n] (n >= 3) into
    // deflated[0 .. n-1 or n-2]: 1 for a real root (r), 2 for a quadratic
    // factor x^2 - r x - s, 0 when none was found. deflated holds n + 1
    // values.
    int FindQuadraticFactor(int n, const double* a, double* deflated, double& r, double& s);

    static FormantRoot QuadraticToFormant(double p, double q, double rate);
    // c[0] x^n + ... + c[n].
    static double EvaluatePolynomial(int n, const double* c, double x);

    // ---- pitch and intensity ----

    // F0 in Hz of the frame of window length n (samples) from the whole
    // part of start, by the cepstrum on an FFT of fftSize points (128, 256,
    // 512, 1024, 2048 or 4096). Samples at or beyond end are not read (they
    // count as 0). The quefrency band rate/highest .. rate/lowest is clamped
    // to 1 .. fftSize/2. Returns 0 when the frame has no cepstral peak
    // standing above the rest of the band, when the peak is at fftSize/2 or
    // when the F0 lies outside the range; -1 for an fftSize not listed, a
    // window of more than fftSize samples, or limits or a rate <= 0.
    double CepstralPitchFloat(const float* samples, double start, double end, double rate, double lowestF0,
                              double highestF0, int fftSize, int n);

    // Intensity curve of sampleCount samples: frame k (k = 0 .. whole part
    // of ((sampleCount - window) / step) - 1) covers the whole part of window
    // samples from the whole part of (k * step + start); its level is the
    // mean of (x - dc)^2 over the frame, in dB (10 log10) unless linear is
    // set. Each output sample carries the level of the last frame that
    // starts at or before it, so the curve has no gaps even when the step is
    // longer than the window; samples before the first frame are not
    // written. A silent frame (mean square 0, or a mean that is not a
    // number) takes the lowest finite level of the curve, 0 when every
    // frame is silent, so the curve never holds NaN or infinity.
    // With no frame (window < 1 sample, step <= 0, or too few samples) the
    // whole curve is 0. The curve is then made non-negative (all levels
    // negative: v - min - max, extremes |max| and |min|; some negative:
    // v - min, extremes 0 and max - min), and with shift set moved to start
    // at 0. The extremes are returned through minimum and maximum.
    // samples and curve hold sampleCount values each.
    // A progress, when given, is shown the part of the frames done and asked
    // about aborting every 65536 samples or so; on an abort the function
    // returns false at once, the curve partly written and the extremes 0.
    bool IntensityCurveFloat(const float* samples, float* curve, double& minimum, double& maximum, double dc,
                             double start, double window, double step, double sampleCount, int shift,
                             int linear, platform::Progress* progress = nullptr);

private:
    struct FftTables;
    const FftTables& TablesFor(int m);
    // Power in dB of bins 0 .. count-1 of re/im into out, zero or
    // non-finite powers taking the lowest finite level (0 dB when none).
    static void PowerToDb(const double* re, const double* im, int count, double* out);
    // Bins first .. last-1 (at most N/2 = 2^(m-1)) of the transform of N
    // real values whose half-size transform (even values as real parts, odd
    // as imaginary) is in re_/im_.
    void PitchHalfSpectrum(int m, int first, int last, double* outRe, double* outIm);
    std::vector<double> ResampleBins(const double* bins, int binCount, int fftSize, int nOut, int maxFrequency,
                                     double rate);
    // The window of length n (Hamming when kind is 1, else rectangular) in
    // store, computed only when length or kind changed.
    static const double* WindowOf(std::vector<double>& store, int& storedLength, int& storedKind, int n, int kind);
    std::vector<double> ComputeEnvelope(const std::vector<double>& a, int resample, int nOut, int maxFrequency,
                                        double rate);
    bool QuadraticFactorStart(int n, const double* a, double* deflated, double& root);
    bool ExtractQuadraticNewton(int n, const double* a, double* deflated, double& r, double& s);
    bool QuadraticFactorStep(int n, const double* a, double* deflated, double& r, double& s);

    std::vector<FftTables> tables_;           // by exponent, built on first use
    std::vector<double> re_, im_, window_;    // FFT work arrays
    std::vector<double> fftRe_, fftIm_;       // the transform's own scratch
    std::vector<double> splineX_, splineY_, splineY2_, splineU_;
    // Resampling onto the same points spectrum after spectrum: the parts of
    // the natural spline through bins 0 .. h-1 that do not depend on the
    // levels (the forward pass's pivots and factors), and per output point
    // its interval and weights. Rebuilt when h, the point count or the
    // spacing change.
    std::vector<double> resamplePivot_, resampleFactor_;
    std::vector<int> resampleLo_;
    std::vector<double> resampleA_, resampleB_, resampleA3_, resampleB3_, resampleD2_;
    int resampleBins_ = -1, resampleOut_ = -1;
    double resampleStep_ = 0.0;
    std::vector<double> frame_;               // windowed frame, cepstrum
    // The windows of the last spectrum and of the last LPC frame, kept
    // while their length and kind stay the same (frame after frame).
    std::vector<double> lpcWindow_;
    int windowLength_ = -1, windowKind_ = 0, lpcWindowLength_ = -1, lpcWindowKind_ = 0;
    // Cepstral pitch: the Hamming window of the last frame length, the
    // factors that untangle a real transform done at half size, and the
    // half spectrum.
    std::vector<double> pitchWindow_, pitchCos_, pitchSin_, pitchLevels_, pitchSpare_;
    std::vector<double> scratch_, scratch2_;  // root search
    std::vector<double> scanPoints_, scanValues_;  // the real-root scan
    std::optional<FormantResult> lastFormants_;
};

}  // namespace vocomet
