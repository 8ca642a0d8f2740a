// The FFT, the dB power spectrum and the spline resampling of spectra.

#include "dsp/CMathFunc.h"
#include "dsp/VectorClones.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

namespace vocomet {

// Tables of one FFT size: where each group of four outputs of the first pass
// finds its inputs (the bit reversal of its first index), and the twiddle
// factors of every stage side by side, those of the stage with
// half-length h at h .. 2h-1 (so each stage reads its own run of memory
// and the butterfly loop vectorises).
struct CMathFunc::FftTables {
    bool built = false;
    std::vector<std::uint32_t> reversed4;  // bit reversal of 4b, b = 0 .. n/4-1
    std::vector<double> cosine, sine;    // cos(pi j/h), -sin(pi j/h)
    std::vector<double> cosine3, sine3;  // cos(3 pi j/(2h)), -sin(3 pi j/(2h))
};

namespace {

// The butterfly passes get copies for wider vector units (VectorClones.h).

// The butterfly loops read and write several runs of the same arrays that
// never overlap within one loop; the compiler cannot see that for this many
// pointers and would leave the loops scalar.
#if defined(__clang__)
#define VOCOMET_NO_ALIAS_LOOP _Pragma("clang loop vectorize(assume_safety)")
#elif defined(__GNUC__)
#define VOCOMET_NO_ALIAS_LOOP _Pragma("GCC ivdep")
#else
#define VOCOMET_NO_ALIAS_LOOP
#endif

// The bit reversal and the first two stages (which need no multiplication)
// in one sweep: each group of four outputs gathers its inputs from their
// bit-reversed places, so the data is not permuted in a pass of its own.
VOCOMET_VECTOR_CLONES
void FftFirstPassGathered(const double* __restrict re, const double* __restrict im, double* __restrict outRe,
                          double* __restrict outIm, std::size_t n, const std::uint32_t* reversed4) {
    const std::size_t half = n / 2, quarter = n / 4, threeQuarters = 3 * n / 4;
    for (std::size_t b = 0, i = 0; b < quarter; ++b, i += 4) {
        const std::size_t s = reversed4[b];
        const double x0r = re[s], x0i = im[s];
        const double x1r = re[s + half], x1i = im[s + half];
        const double x2r = re[s + quarter], x2i = im[s + quarter];
        const double x3r = re[s + threeQuarters], x3i = im[s + threeQuarters];
        const double a0r = x0r + x1r, a0i = x0i + x1i;
        const double a1r = x0r - x1r, a1i = x0i - x1i;
        const double b0r = x2r + x3r, b0i = x2i + x3i;
        const double b1r = x2r - x3r, b1i = x2i - x3i;
        // Stage h = 2: twiddles 1 and -i.
        outRe[i] = a0r + b0r;
        outIm[i] = a0i + b0i;
        outRe[i + 2] = a0r - b0r;
        outIm[i + 2] = a0i - b0i;
        outRe[i + 1] = a1r + b1i;
        outIm[i + 1] = a1i - b1r;
        outRe[i + 3] = a1r - b1i;
        outIm[i + 3] = a1i + b1r;
    }
}

// The stages from half-length h on, in place; the data is already in
// bit-reversed order and the stages below h are done.
VOCOMET_VECTOR_CLONES
void FftPasses(double* re, double* im, std::size_t n, std::size_t h, const double* cosine, const double* sine,
               const double* cosine3, const double* sine3) {
    // Two stages per pass (h and 2h) while two remain, as one radix-4
    // butterfly: with W the twiddle of stage 2h, the four inputs take W^0,
    // W^2, W and W^3, so three complex multiplications per four points and
    // one sweep over memory instead of two; a last single stage when the
    // count is odd.
    for (; 4 * h <= n; h *= 4) {
        const double* __restrict w1r = cosine + 2 * h;  // W
        const double* __restrict w1i = sine + 2 * h;
        const double* __restrict w2r = cosine + h;  // W^2
        const double* __restrict w2i = sine + h;
        const double* __restrict w3r = cosine3 + h;  // W^3
        const double* __restrict w3i = sine3 + h;
        for (std::size_t i = 0; i < n; i += 4 * h) {
            double* __restrict r0 = re + i;
            double* __restrict i0 = im + i;
            double* __restrict r1 = re + i + h;
            double* __restrict i1 = im + i + h;
            double* __restrict r2 = re + i + 2 * h;
            double* __restrict i2 = im + i + 2 * h;
            double* __restrict r3 = re + i + 3 * h;
            double* __restrict i3 = im + i + 3 * h;
            VOCOMET_NO_ALIAS_LOOP
            for (std::size_t j = 0; j < h; ++j) {
                const double br = w2r[j] * r1[j] - w2i[j] * i1[j];
                const double bi = w2r[j] * i1[j] + w2i[j] * r1[j];
                const double cr = w1r[j] * r2[j] - w1i[j] * i2[j];
                const double ci = w1r[j] * i2[j] + w1i[j] * r2[j];
                const double dr = w3r[j] * r3[j] - w3i[j] * i3[j];
                const double di = w3r[j] * i3[j] + w3i[j] * r3[j];
                const double s0r = r0[j] + br, s0i = i0[j] + bi;
                const double d0r = r0[j] - br, d0i = i0[j] - bi;
                const double s1r = cr + dr, s1i = ci + di;
                const double d1r = cr - dr, d1i = ci - di;
                r0[j] = s0r + s1r;
                i0[j] = s0i + s1i;
                r2[j] = s0r - s1r;
                i2[j] = s0i - s1i;
                r1[j] = d0r + d1i;
                i1[j] = d0i - d1r;
                r3[j] = d0r - d1i;
                i3[j] = d0i + d1r;
            }
        }
    }
    for (; h < n; h *= 2) {
        const double* __restrict wr = cosine + h;
        const double* __restrict wi = sine + h;
        for (std::size_t i = 0; i < n; i += 2 * h) {
            double* __restrict pr = re + i;
            double* __restrict pi = im + i;
            double* __restrict qr = re + i + h;
            double* __restrict qi = im + i + h;
            VOCOMET_NO_ALIAS_LOOP
            for (std::size_t j = 0; j < h; ++j) {
                const double tr = wr[j] * qr[j] - wi[j] * qi[j];
                const double ti = wr[j] * qi[j] + wi[j] * qr[j];
                qr[j] = pr[j] - tr;
                qi[j] = pi[j] - ti;
                pr[j] += tr;
                pi[j] += ti;
            }
        }
    }
}

}  // namespace

CMathFunc::CMathFunc() = default;
CMathFunc::~CMathFunc() = default;

const CMathFunc::FftTables& CMathFunc::TablesFor(int m) {
    if (tables_.empty())
        tables_.resize(kMaxFftExponent + 1);
    FftTables& t = tables_[static_cast<std::size_t>(m)];
    if (t.built)
        return t;
    const std::uint32_t n = std::uint32_t{1} << m;
    t.reversed4.assign(n >= 4 ? n / 4 : 0, 0);
    for (std::uint32_t b = 0; b < t.reversed4.size(); ++b) {
        std::uint32_t r = 0;
        for (int bit = 0; bit < m; ++bit)
            if ((4 * b) & (std::uint32_t{1} << bit))
                r |= std::uint32_t{1} << (m - 1 - bit);
        t.reversed4[b] = r;
    }
    t.cosine.assign(n, 0.0);
    t.sine.assign(n, 0.0);
    for (std::uint32_t h = 1; h < n; h *= 2) {
        const double theta = kMathPi / static_cast<double>(h);
        for (std::uint32_t j = 0; j < h; ++j) {
            t.cosine[h + j] = std::cos(theta * static_cast<double>(j));
            t.sine[h + j] = -std::sin(theta * static_cast<double>(j));
        }
    }
    t.cosine3.assign(n, 0.0);
    t.sine3.assign(n, 0.0);
    for (std::uint32_t h = 1; 2 * h < n; h *= 2) {
        const double theta = 1.5 * kMathPi / static_cast<double>(h);
        for (std::uint32_t j = 0; j < h; ++j) {
            t.cosine3[h + j] = std::cos(theta * static_cast<double>(j));
            t.sine3[h + j] = -std::sin(theta * static_cast<double>(j));
        }
    }
    t.built = true;
    return t;
}

void CMathFunc::Fft(double* re, double* im, int m) {
    if (m < 1 || !re || !im)
        return;  // one point is its own transform
    if (m > kMaxFftExponent)
        throw std::length_error("FFT of more than 2^" + std::to_string(kMaxFftExponent) + " points");
    const FftTables& t = TablesFor(m);
    const std::size_t n = std::size_t{1} << m;

    if (n < 4) {
        // Two points: already in bit-reversed order.
        FftPasses(re, im, n, 1, t.cosine.data(), t.sine.data(), t.cosine3.data(), t.sine3.data());
        return;
    }
    if (fftRe_.size() < n) {
        fftRe_.resize(n);
        fftIm_.resize(n);
    }
    FftFirstPassGathered(re, im, fftRe_.data(), fftIm_.data(), n, t.reversed4.data());
    FftPasses(fftRe_.data(), fftIm_.data(), n, 4, t.cosine.data(), t.sine.data(), t.cosine3.data(),
              t.sine3.data());
    std::copy_n(fftRe_.data(), n, re);
    std::copy_n(fftIm_.data(), n, im);
}

void CMathFunc::PowerToDb(const double* re, const double* im, int count, double* out) {
    double lowest = std::numeric_limits<double>::infinity();
    bool anyMissing = false;
    for (int k = 0; k < count; ++k) {
        const double p = re[k] * re[k] + im[k] * im[k];
        if (p > 0.0 && std::isfinite(p)) {
            out[k] = 10.0 * std::log10(p);
            lowest = std::min(lowest, out[k]);
        } else {
            out[k] = std::numeric_limits<double>::quiet_NaN();
            anyMissing = true;
        }
    }
    if (!anyMissing)
        return;
    const double floorLevel = std::isfinite(lowest) ? lowest : 0.0;
    for (int k = 0; k < count; ++k)
        if (std::isnan(out[k]))
            out[k] = floorLevel;
}

std::vector<double> CMathFunc::PowerSpectrumDb(const double* frame, int n, double preEmphasis, int window,
                                               int resample, int nOut, int maxFrequency, double rate) {
    if (!frame || n < 1)
        return {};
    if (resample && (nOut < 1 || !(rate > 0.0) || !std::isfinite(rate)))
        return {};
    int m = 1;
    while ((std::int64_t{1} << m) < n) {
        ++m;
        if (m > kMaxFftExponent)
            throw std::length_error("spectrum frame longer than the largest FFT");
    }
    const std::size_t size = std::size_t{1} << m;
    const std::size_t len = static_cast<std::size_t>(n);

    re_.assign(size, 0.0);
    im_.assign(size, 0.0);
    const double* w = WindowOf(window_, windowLength_, windowKind_, n, window);
    if (preEmphasis > 0.0) {
        for (std::size_t i = 0; i < len; ++i)
            re_[i] = (frame[i + 1] - preEmphasis * frame[i]) * w[i];
    } else {
        for (std::size_t i = 0; i < len; ++i)
            re_[i] = frame[i] * w[i];
    }
    Fft(re_.data(), im_.data(), m);

    const int bins = static_cast<int>(size / 2);
    std::vector<double> levels(static_cast<std::size_t>(bins));
    PowerToDb(re_.data(), im_.data(), bins, levels.data());
    if (!resample)
        return levels;
    return ResampleBins(levels.data(), bins, static_cast<int>(size), nOut, maxFrequency, rate);
}

std::vector<double> CMathFunc::ResampleSpectrum(const double* spectrum, int fftSize, int nOut, int maxFrequency,
                                                double rate) {
    if (!spectrum || fftSize < 2)
        return {};
    return ResampleBins(spectrum, fftSize / 2, fftSize, nOut, maxFrequency, rate);
}

std::vector<double> CMathFunc::ResampleBins(const double* bins, int binCount, int fftSize, int nOut,
                                            int maxFrequency, double rate) {
    if (nOut < 1 || binCount < 1 || !(rate > 0.0) || !std::isfinite(rate))
        return {};
    std::vector<double> out(static_cast<std::size_t>(nOut));
    if (binCount == 1) {
        std::fill(out.begin(), out.end(), bins[0]);
        return out;
    }
    const std::size_t h = static_cast<std::size_t>(binCount);
    const double step = (static_cast<double>(maxFrequency) / (rate * 0.5)) * (static_cast<double>(fftSize) * 0.5) /
                        static_cast<double>(nOut);
    if (!(step >= 0.0) || !std::isfinite(step)) {
        // No rising points: the general routines.
        splineX_.resize(h + 1);
        splineY_.resize(h + 1);
        splineY2_.resize(h + 1);
        splineX_[0] = splineY_[0] = 0.0;
        for (std::size_t j = 0; j < h; ++j) {
            splineX_[j + 1] = static_cast<double>(j);
            splineY_[j + 1] = bins[j];
        }
        SplineSecondDerivatives(splineX_.data(), splineY_.data(), binCount, 1e30, 1e30, splineY2_.data());
        for (int i = 0; i < nOut; ++i) {
            double v = 0.0;
            SplineInterpolate(splineX_.data(), splineY_.data(), splineY2_.data(), binCount,
                              static_cast<double>(i) * step, v);
            out[static_cast<std::size_t>(i)] = v;
        }
        return out;
    }

    // The natural spline through (j, bins[j]) and its values at i * step,
    // by the same arithmetic as SplineSecondDerivatives and SplineInterpolate
    // (the same results to the last bit), with everything that depends only
    // on the abscissae and the points worked out once for a run of spectra.
    const int n = binCount;
    if (resampleBins_ != binCount || resampleOut_ != nOut || resampleStep_ != step) {
        // Forward pass of the tridiagonal solve with unit spacing: sig = 0.5.
        resamplePivot_.assign(h + 1, 0.0);
        resampleFactor_.assign(h + 1, 0.0);
        for (int i = 2; i <= n - 1; ++i) {
            const double sig = 0.5;
            const double p = sig * resampleFactor_[static_cast<std::size_t>(i - 1)] + 2.0;
            resampleFactor_[static_cast<std::size_t>(i)] = (sig - 1.0) / p;
            resamplePivot_[static_cast<std::size_t>(i)] = p;
        }
        // Interval of each point: the last one whose left end is at or
        // below x, kept inside 1 .. n-1 (1-based, abscissa j at j + 1).
        resampleLo_.resize(static_cast<std::size_t>(nOut));
        resampleA_.resize(static_cast<std::size_t>(nOut));
        resampleB_.resize(static_cast<std::size_t>(nOut));
        resampleA3_.resize(static_cast<std::size_t>(nOut));
        resampleB3_.resize(static_cast<std::size_t>(nOut));
        resampleD2_.resize(static_cast<std::size_t>(nOut));
        int lo = 1;
        for (int i = 0; i < nOut; ++i) {
            const double x = static_cast<double>(i) * step;
            while (lo < n - 1 && static_cast<double>(lo) <= x)  // abscissa of lo + 1 is lo
                ++lo;
            const int hi = lo + 1;
            const double xlo = static_cast<double>(lo - 1), xhi = static_cast<double>(hi - 1);
            const double d = xhi - xlo;
            const double a = (xhi - x) / d;
            const double b = (x - xlo) / d;
            const auto k = static_cast<std::size_t>(i);
            resampleLo_[k] = lo;
            resampleA_[k] = a;
            resampleB_[k] = b;
            resampleA3_[k] = a * a * a - a;
            resampleB3_[k] = b * b * b - b;
            resampleD2_[k] = d * d;
        }
        resampleBins_ = binCount;
        resampleOut_ = nOut;
        resampleStep_ = step;
    }
    splineY_.resize(h + 1);
    splineY2_.resize(h + 1);
    splineU_.assign(h + 1, 0.0);
    double* y = splineY_.data();
    double* y2 = splineY2_.data();
    double* u = splineU_.data();
    y[0] = 0.0;
    std::copy(bins, bins + n, y + 1);
    y2[1] = u[1] = 0.0;
    for (int i = 2; i <= n - 1; ++i) {
        const double sig = 0.5;
        const double p = resamplePivot_[static_cast<std::size_t>(i)];
        // Unit spacing: the divisions by 1 and by 2 of the general routine.
        double ui = (y[i + 1] - y[i]) / 1.0 - (y[i] - y[i - 1]) / 1.0;
        ui = (6.0 * ui / 2.0 - sig * u[i - 1]) / p;
        u[i] = ui;
        y2[i] = resampleFactor_[static_cast<std::size_t>(i)];
    }
    const double qn = 0.0, un = 0.0;
    y2[n] = (un - qn * u[n - 1]) / (qn * y2[n - 1] + 1.0);
    for (int k = n - 1; k >= 1; --k)
        y2[k] = y2[k] * y2[k + 1] + u[k];
    for (int i = 0; i < nOut; ++i) {
        const auto k = static_cast<std::size_t>(i);
        const int lo = resampleLo_[k], hi = lo + 1;
        out[k] = resampleA_[k] * y[lo] + resampleB_[k] * y[hi] +
                 (resampleA3_[k] * y2[lo] + resampleB3_[k] * y2[hi]) * resampleD2_[k] / 6.0;
    }
    return out;
}

const double* CMathFunc::WindowOf(std::vector<double>& store, int& storedLength, int& storedKind, int n, int kind) {
    const int k = kind == 1 ? 1 : 0;
    if (storedLength != n || storedKind != k || store.size() != static_cast<std::size_t>(n)) {
        store.resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            store[static_cast<std::size_t>(i)] =
                k == 1 ? 0.54 - 0.46 * std::cos(kMathTwoPi * static_cast<double>(i) / static_cast<double>(n)) : 1.0;
        storedLength = n;
        storedKind = k;
    }
    return store.data();
}

void CMathFunc::SplineSecondDerivatives(const double* x, const double* y, int n, double slopeFirst,
                                        double slopeLast, double* y2) {
    if (n < 1 || !x || !y || !y2)
        return;
    if (n == 1) {
        y2[1] = 0.0;
        return;
    }
    splineU_.assign(static_cast<std::size_t>(n) + 1, 0.0);
    double* u = splineU_.data();
    if (slopeFirst > 0.99e30) {
        y2[1] = u[1] = 0.0;
    } else {
        y2[1] = -0.5;
        u[1] = (3.0 / (x[2] - x[1])) * ((y[2] - y[1]) / (x[2] - x[1]) - slopeFirst);
    }
    for (int i = 2; i <= n - 1; ++i) {
        const double sig = (x[i] - x[i - 1]) / (x[i + 1] - x[i - 1]);
        const double p = sig * y2[i - 1] + 2.0;
        y2[i] = (sig - 1.0) / p;
        u[i] = (y[i + 1] - y[i]) / (x[i + 1] - x[i]) - (y[i] - y[i - 1]) / (x[i] - x[i - 1]);
        u[i] = (6.0 * u[i] / (x[i + 1] - x[i - 1]) - sig * u[i - 1]) / p;
    }
    double qn = 0.0, un = 0.0;
    if (!(slopeLast > 0.99e30)) {
        qn = 0.5;
        un = (3.0 / (x[n] - x[n - 1])) * (slopeLast - (y[n] - y[n - 1]) / (x[n] - x[n - 1]));
    }
    y2[n] = (un - qn * u[n - 1]) / (qn * y2[n - 1] + 1.0);
    for (int k = n - 1; k >= 1; --k)
        y2[k] = y2[k] * y2[k + 1] + u[k];
}

int CMathFunc::SplineInterpolate(const double* xa, const double* ya, const double* y2a, int n, double x,
                                 double& result) {
    if (n < 1 || !xa || !ya || !y2a)
        return 1;
    if (n == 1) {
        result = ya[1];
        return 0;
    }
    int lo = 1, hi = n;
    while (hi - lo > 1) {
        const int k = (hi + lo) / 2;
        if (xa[k] > x)
            hi = k;
        else
            lo = k;
    }
    const double d = xa[hi] - xa[lo];
    if (d == 0.0)
        return 1;
    const double a = (xa[hi] - x) / d;
    const double b = (x - xa[lo]) / d;
    result = a * ya[lo] + b * ya[hi] + ((a * a * a - a) * y2a[lo] + (b * b * b - b) * y2a[hi]) * (d * d) / 6.0;
    return 0;
}

void CMathFunc::ReportError(std::FILE* stream, const char* format, ...) {
    if (!stream || !format)
        return;
    va_list args;
    va_start(args, format);
    std::vfprintf(stream, format, args);
    va_end(args);
}

}  // namespace vocomet
