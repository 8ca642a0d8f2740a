#pragma once
// The signal-processing library: spectra, linear prediction, pitch and
// intensity. Callers make one as a local object for one computation; every
// routine works on the caller's arrays and reports no failure by exception.

namespace vocomet {

class CMathFunc {
public:
    CMathFunc() = default;
    virtual ~CMathFunc() = default;

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
    void IntensityCurveFloat(const float* samples, float* curve, double& minimum, double& maximum, double dc,
                             double start, double window, double step, double sampleCount, int shift,
                             int linear);
};

}  // namespace vocomet
