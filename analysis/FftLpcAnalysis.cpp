#include "analysis/FftLpcAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <new>

#include "analysis/AnalysisLimits.h"
#include "analysis/ChannelSampleSource.h"
#include "dsp/CMathFunc.h"

namespace vocomet {

FftLpcInputs MakeFftLpcInputs(double firstSample, double lastSample, double sampleCount, double rate,
                              const FftLpcSettings& settings) {
    FftLpcInputs in;
    in.firstSample = firstSample;
    in.lastSample = lastSample;
    in.sampleCount = sampleCount;
    in.rate = rate;
    in.fftSize = settings.values[FftLpcSettings::kPoints];
    in.appliedWindowMs = settings.values[FftLpcSettings::kWindowMs];
    in.averageStepMs = settings.values[3];
    in.maxFrequency = settings.values[FftLpcSettings::kTopFrequency];
    in.lpcOrder = settings.values[FftLpcSettings::kLpcOrder];
    return in;
}

std::string CheckFftLpcInputs(const FftLpcInputs& in) {
    return CheckFftLpcWindowSettings(in.fftSize, in.averageStepMs, in.maxFrequency, in.lpcOrder, in.rate);
}

FftLpcFrameSizes FftLpcSizes(const FftLpcInputs& in) {
    FftLpcFrameSizes z;
    const double lpc = in.rate / 1000.0 * in.lpcOrder;
    z.lpcSamples = lpc >= 1.0 && lpc < 1e9 ? static_cast<int>(lpc) : 1;
    // The frame holds what the FFT reads and every sample of the LPC span.
    z.frameLength = std::max(in.fftSize, z.lpcSamples) + 10;
    z.step = in.averageStepMs * in.rate / 1000.0 + 0.5;
    z.frames = 1;
    const double first = std::isfinite(in.firstSample) ? in.firstSample : 0.0;
    const double last = std::isfinite(in.lastSample) ? in.lastSample : first;
    if (first + in.fftSize < last && z.step > 0.0) {
        // The first k with first + k step + fftSize >= last, checked with
        // the same arithmetic the walk uses.
        auto k = static_cast<std::int64_t>(std::ceil((last - in.fftSize - first) / z.step));
        k = std::max<std::int64_t>(k, 1);
        while (k > 1 && first + static_cast<double>(k - 1) * z.step + in.fftSize >= last)
            --k;
        while (first + static_cast<double>(k) * z.step + in.fftSize < last)
            ++k;
        z.frames = k + 1;
    }
    return z;
}

double FftLpcFrameStart(const FftLpcInputs& in, const FftLpcFrameSizes& sizes, std::int64_t k) {
    return in.firstSample + static_cast<double>(k) * sizes.step;
}

void PickFormants(const std::vector<double>& frequencies, const std::vector<double>& bandwidths,
                  std::array<double, kFftLpcFormantSlots>& formants,
                  std::array<double, kFftLpcFormantSlots>& bandwidthsOut) {
    formants.fill(-1.0);
    bandwidthsOut.fill(-1.0);
    const std::size_t candidates = std::min<std::size_t>({frequencies.size(), bandwidths.size(), 5});
    int slot = 0;
    for (std::size_t j = 0; j < candidates; ++j) {
        const double f = frequencies[j] + 0.5;
        const double b = bandwidths[j] + 0.5;
        if (f >= 2.0 * b && slot < kFftLpcFormantSlots) {
            formants[static_cast<std::size_t>(slot)] = f;
            bandwidthsOut[static_cast<std::size_t>(slot)] = b;
            ++slot;
        }
    }
}

namespace {

// Moves the curve's minimum to 0; returns its range.
double MoveMinimumToZero(std::vector<double>& curve) {
    if (curve.empty())
        return 0.0;
    const auto [lo, hi] = std::minmax_element(curve.begin(), curve.end());
    const double minimum = *lo;
    const double range = *hi - minimum;
    for (double& v : curve)
        v = std::max(v - minimum, 0.0);
    return range;
}

}  // namespace

FftLpcResult ComputeFftLpc(const ChannelSampleSource& source, const FftLpcInputs& in, CMathFunc& math) {
    if (!CheckFftLpcInputs(in).empty())
        throw std::invalid_argument("FFT/LPC inputs out of range");
    FftLpcResult r;
    try {
        const FftLpcFrameSizes sizes = FftLpcSizes(in);
        r.pointCount = in.maxFrequency;
        r.frameLength = sizes.frameLength;
        r.frameCount = sizes.frames;

        const double windowSamples = in.appliedWindowMs * in.rate / 1000.0 + 0.5;
        const int fftSamples =
            windowSamples >= in.fftSize ? in.fftSize : std::max(0, static_cast<int>(windowSamples));
        const int bins = in.fftSize / 2;

        std::vector<double> frame(static_cast<std::size_t>(sizes.frameLength));
        std::vector<double> fftInput(static_cast<std::size_t>(in.fftSize));
        std::vector<double> fftSum(static_cast<std::size_t>(bins), 0.0);
        std::vector<double> envelopeSum;
        int envelopeFftSize = 0;
        std::array<double, kFftLpcFormantSlots> formantSum{}, bandwidthSum{};
        std::array<std::int64_t, kFftLpcFormantSlots> filled{};
        std::array<double, kFftLpcFormantSlots> f{}, b{};

        for (std::int64_t k = 0; k < sizes.frames; ++k) {
            const double s = FftLpcFrameStart(in, sizes, k);
            const auto start = static_cast<std::int64_t>(s);
            source.Read(start, sizes.frameLength, frame.data());

            // The FFT sees the applied window's samples, zeros after them.
            std::fill(fftInput.begin(), fftInput.end(), 0.0);
            std::copy_n(frame.begin(), fftSamples, fftInput.begin());
            const std::vector<double> spectrum =
                math.PowerSpectrumDb(fftInput.data(), in.fftSize, 0.0, 1, 0, 0, in.maxFrequency, in.rate);
            if (static_cast<int>(spectrum.size()) != bins)
                throw FftLpcRoutineError();
            for (int i = 0; i < bins; ++i)
                fftSum[static_cast<std::size_t>(i)] += spectrum[static_cast<std::size_t>(i)];

            const LpcSpectrum lpc = math.LpcSpectrumFormants(frame.data(), in.lpcOrder, sizes.lpcSamples, kFftLpcPreEmphasis, 1, 0, 0,
                                                             in.maxFrequency, in.rate, 1, false);
            if (lpc.envelope.empty())
                throw FftLpcRoutineError();
            if (envelopeSum.empty()) {
                envelopeSum.assign(lpc.envelope.size(), 0.0);
                envelopeFftSize = static_cast<int>(lpc.envelope.size()) * 2;
            }
            if (lpc.envelope.size() != envelopeSum.size())
                throw FftLpcRoutineError();
            for (std::size_t i = 0; i < envelopeSum.size(); ++i)
                envelopeSum[i] += lpc.envelope[i];

            if (lpc.formants) {
                PickFormants(lpc.formants->frequencies, lpc.formants->bandwidths, f, b);
                // An empty slot does not pull the mean towards -1.
                for (std::size_t j = 0; j < f.size(); ++j) {
                    if (f[j] < 0.0)
                        continue;
                    formantSum[j] += f[j];
                    bandwidthSum[j] += b[j];
                    ++filled[j];
                }
            }
        }

        const auto frames = static_cast<double>(sizes.frames);
        // The mean of the frames' spectra in dB, resampled once: the spline
        // is linear in the levels, so this is the mean of the resampled
        // spectra; the minimum goes to 0 afterwards either way.
        for (double& v : fftSum)
            v /= frames;
        r.fftCurve = math.ResampleSpectrum(fftSum.data(), in.fftSize, r.pointCount, in.maxFrequency, in.rate);
        if (static_cast<int>(r.fftCurve.size()) != r.pointCount)
            throw FftLpcRoutineError();
        r.fftRange = MoveMinimumToZero(r.fftCurve);
        r.fftMinimum = 0.0;
        r.fftComputed = true;

        for (double& v : envelopeSum)
            v /= frames;
        std::vector<double> inverse =
            math.ResampleSpectrum(envelopeSum.data(), envelopeFftSize, r.pointCount, in.maxFrequency, in.rate);
        if (static_cast<int>(inverse.size()) != r.pointCount)
            throw FftLpcRoutineError();
        // The inverse filter turned upside down, its peak at the FFT range.
        const double lowest = *std::min_element(inverse.begin(), inverse.end());
        r.lpcCurve.resize(inverse.size());
        for (std::size_t i = 0; i < inverse.size(); ++i)
            r.lpcCurve[i] = r.fftRange - (inverse[i] - lowest);
        r.lpcMinimum = 0.0;
        r.lpcMaximum = r.fftRange;
        r.lpcComputed = true;

        for (std::size_t j = 0; j < r.formants.size(); ++j) {
            if (filled[j] > 0) {
                r.formants[j] = formantSum[j] / static_cast<double>(filled[j]);
                r.bandwidths[j] = bandwidthSum[j] / static_cast<double>(filled[j]);
            }
        }
        r.formantsPicked = true;
        r.firstFrameMs = FrameCentreMs(std::floor(in.firstSample), sizes.frameLength, in.rate);
        r.lastFrameMs = FrameCentreMs(std::floor(FftLpcFrameStart(in, sizes, sizes.frames - 1)), sizes.frameLength,
                                      in.rate);
    } catch (const FftLpcRoutineError&) {
        throw;
    } catch (const std::bad_alloc&) {
        throw FftLpcRoutineError();
    } catch (const std::length_error&) {
        throw FftLpcRoutineError();
    }
    return r;
}

int FftLpcPointAt(int x, int plotLeft, int plotRight, int pointCount) {
    const int width = plotRight - plotLeft;
    if (width <= 0 || pointCount <= 0)
        return -1;
    const double at = (x - plotLeft) * (static_cast<double>(pointCount) / width);
    if (!(at >= 0.0))
        return 0;
    return at >= pointCount ? pointCount - 1 : static_cast<int>(at);
}

FftLpcLevels FftLpcLevelsAt(const FftLpcResult& r, int i, bool absolute) {
    FftLpcLevels l;
    if (i < 0)
        return l;
    const auto at = static_cast<std::size_t>(i);
    const double fft = at < r.fftCurve.size() ? r.fftCurve[at] : 0.0;
    const double lpc = at < r.lpcCurve.size() ? r.lpcCurve[at] : 0.0;
    if (absolute) {
        l.fft = r.fftMinimum + fft;
        l.lpc = r.lpcMinimum + lpc;
    } else {
        l.fft = fft - r.fftRange;
        l.lpc = lpc - r.lpcMaximum;
    }
    return l;
}

std::string FftLpcPowerText(const FftLpcResult& r, int i, bool absolute) {
    const double fft = i >= 0 && static_cast<std::size_t>(i) < r.fftCurve.size() ? r.fftCurve[static_cast<std::size_t>(i)] : 0.0;
    char buf[64];
    if (absolute)
        std::snprintf(buf, sizeof buf, "%5.1f", fft + r.fftMinimum);
    else
        std::snprintf(buf, sizeof buf, "-%5.1f", r.fftRange - r.fftMinimum - fft);
    return buf;
}

std::string FftLpcFrequencyText(const FftLpcResult& r, int i) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%5.1f", i * r.hzPerPoint);
    return buf;
}

std::string FftLpcFormantText(const FftLpcResult& r) {
    std::string text = "Formants\t=";
    char buf[64];
    for (double v : r.formants) {
        std::snprintf(buf, sizeof buf, "\t%7.1f", v);
        text += buf;
    }
    text += "\nBandwidths\t=";
    for (double v : r.bandwidths) {
        std::snprintf(buf, sizeof buf, "\t%7.1f", v);
        text += buf;
    }
    return text;
}

}  // namespace vocomet
