// Linear prediction of a frame, the roots of the prediction polynomial as
// formants and bandwidths, and the LPC envelope.

#include "dsp/CMathFunc.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <stdexcept>

namespace vocomet {

namespace {

constexpr double kTolerance = 1e-4;
constexpr int kMaxIterations = 100;

bool AllFinite(const double* v, int count) {
    for (int i = 0; i < count; ++i)
        if (!std::isfinite(v[i]))
            return false;
    return true;
}

// Division by x^2 - r x - s: b[0 .. n-2] is the quotient, b[n-1] x + b[n]
// the remainder (the constant term takes no r b[n-1], so the remainder is
// linear in x rather than in x - r).
void DivideQuadratic(int n, const double* a, double r, double s, double* b) {
    b[0] = a[0];
    b[1] = a[1] + r * b[0];
    for (int i = 2; i <= n - 1; ++i)
        b[i] = a[i] + r * b[i - 1] + s * b[i - 2];
    b[n] = a[n] + s * b[n - 2];
}

}  // namespace

double CMathFunc::EvaluatePolynomial(int n, const double* c, double x) {
    double v = c[0];
    for (int i = 1; i <= n; ++i)
        v = v * x + c[i];
    return v;
}

FormantRoot CMathFunc::QuadraticToFormant(double p, double q, double rate) {
    FormantRoot out;
    const double scale = rate / kMathTwoPi;
    const double h = p / 2.0;
    const double d = h * h - q;
    if (d < 0.0) {
        const double im = std::sqrt(-d);
        out.rootReal = -h;
        out.rootImag = im;
        out.frequency = scale * std::atan2(im, -h);
        out.bandwidth = -scale * std::log(q);
    } else {
        // Two real roots: the one of larger magnitude, its sign opposite to
        // that of P, lies at 0 Hz or at half the rate.
        const double s = std::sqrt(d) + std::fabs(h);
        out.rootReal = p < 0.0 ? s : -s;
        out.rootImag = 0.0;
        out.frequency = p < 0.0 ? 0.0 : rate / 2.0;
        out.bandwidth = -scale * std::log(s * s);
    }
    return out;
}

LpcResult CMathFunc::LpcAutocorrelation(const double* frame, int n, int p) {
    if (p > kMaxLpcOrder) {
        ReportError(stderr, "Requested LPC order too large\n");
        p = kMaxLpcOrder;
    }
    p = std::max(p, 0);
    LpcResult out;
    out.order = p;
    out.reflection.assign(static_cast<std::size_t>(p), 0.0);
    out.coefficients.assign(static_cast<std::size_t>(p) + 1, 0.0);
    out.coefficients[0] = 1.0;
    if (!frame || n < 1)
        return out;

    std::vector<double> r(static_cast<std::size_t>(p) + 1, 0.0);
    // r[i] = sum over j of x[j] x[j+i], each sum taken in ascending j as
    // written, but all lags side by side: every step of j adds one product
    // to each lag's own sum, so the lags fill the vector lanes instead of
    // one long chain of additions each.
    const int lags = std::min(p, n - 1);
    double* sums = r.data();
    const int full = n - lags;  // j below this reaches every lag
    for (int j = 0; j < full; ++j) {
        const double xj = frame[j];
        const double* ahead = frame + j;
        for (int i = 0; i <= lags; ++i)
            sums[i] += xj * ahead[i];
    }
    for (int j = std::max(full, 0); j < n; ++j) {
        const double xj = frame[j];
        const double* ahead = frame + j;
        for (int i = 0; i < n - j; ++i)
            sums[i] += xj * ahead[i];
    }
    out.predictionError = r[0];
    // No energy (or energy that is not a number): nothing to predict.
    if (!(r[0] > 0.0) || !std::isfinite(r[0]) || !AllFinite(r.data(), p + 1))
        return out;
    if (p == 0) {
        out.valid = true;
        return out;
    }

    // Schur recursion on the generator pair b = r[0 .. p-1], c = r[1 .. p].
    std::vector<double> b(r.begin(), r.begin() + p), c(r.begin() + 1, r.end());
    std::vector<double>& k = out.reflection;
    double kk = -c[0] / b[0];
    k[0] = kk;
    b[0] += kk * c[0];
    for (int j = 0; j <= p - 2; ++j) {
        c[static_cast<std::size_t>(p - 1)] += kk * b[static_cast<std::size_t>(p - 1 - j)];
        for (int i = j + 1; i <= p - 2; ++i) {
            const double bOld = b[static_cast<std::size_t>(i - j)], cOld = c[static_cast<std::size_t>(i)];
            b[static_cast<std::size_t>(i - j)] = bOld + kk * cOld;
            c[static_cast<std::size_t>(i)] = cOld + kk * bOld;
        }
        kk = -c[static_cast<std::size_t>(j + 1)] / b[0];
        k[static_cast<std::size_t>(j + 1)] = kk;
        b[0] += kk * c[static_cast<std::size_t>(j + 1)];
    }
    out.predictionError = b[0];

    // Step-up recursion to the predictor coefficients.
    std::vector<double>& a = out.coefficients;
    a[1] = k[0];
    std::vector<double> old(static_cast<std::size_t>(p) + 1);
    for (int m = 1; m <= p - 1; ++m) {
        std::copy(a.begin(), a.begin() + m + 1, old.begin());
        for (int i = 1; i <= m; ++i)
            a[static_cast<std::size_t>(i)] = old[static_cast<std::size_t>(i)] +
                                             k[static_cast<std::size_t>(m)] * old[static_cast<std::size_t>(m + 1 - i)];
        a[static_cast<std::size_t>(m + 1)] = k[static_cast<std::size_t>(m)];
    }
    out.valid = AllFinite(a.data(), p + 1) && AllFinite(k.data(), p) && std::isfinite(out.predictionError);
    return out;
}

bool CMathFunc::QuadraticFactorStart(int n, const double* a, double* deflated, double& root) {
    // Scans -1.2 .. 1.2 for a sign change of the polynomial and refines the
    // bracket by bisection. A polynomial whose roots lie outside the band has
    // its reciprocal roots inside, so the reversed polynomial is scanned next.
    // The scan's points, and the polynomial at all of them at once (each
    // value by the same Horner steps as EvaluatePolynomial; the points side
    // by side fill the vector lanes).
    const double step = 1.0 / n;
    std::vector<double>& points = scanPoints_;
    points.clear();
    points.push_back(-1.2);
    for (int i = 1; points.back() < 1.2; ++i)
        points.push_back(-1.2 + static_cast<double>(i) * step);
    std::vector<double>& values = scanValues_;
    values.resize(points.size());
    auto evaluateAll = [&](const double* c) {
        const std::size_t count = points.size();
        const double* px = points.data();
        double* v = values.data();
        for (std::size_t j = 0; j < count; ++j)
            v[j] = c[0];
        for (int k = 1; k <= n; ++k) {
            const double ck = c[k];
            for (std::size_t j = 0; j < count; ++j)
                v[j] = v[j] * px[j] + ck;
        }
    };
    auto scan = [&](const double* c, double& found) {
        evaluateAll(c);
        double x = points[0];
        double fx = values[0];
        if (fx == 0.0) {
            found = x;
            return true;
        }
        for (std::size_t i = 1; i < points.size(); ++i) {
            const double next = points[i];
            const double fn = values[i];
            if (fn == 0.0) {
                found = next;
                return true;
            }
            if ((fx < 0.0) != (fn < 0.0)) {
                double lo = x, hi = next, flo = fx;
                double mid = lo;
                for (int guard = 0; guard < 200; ++guard) {
                    if (std::fabs(hi - lo) / std::max(std::fabs(hi), std::fabs(lo)) < kTolerance)
                        break;
                    mid = (lo + hi) / 2.0;
                    if (mid == lo || mid == hi)
                        break;
                    const double fm = EvaluatePolynomial(n, c, mid);
                    if (fm == 0.0)
                        break;
                    if ((flo < 0.0) != (fm < 0.0)) {
                        hi = mid;
                    } else {
                        lo = mid;
                        flo = fm;
                    }
                }
                found = mid;
                return true;
            }
            x = next;
            fx = fn;
        }
        return false;
    };

    double x = 0.0;
    if (scan(a, x)) {
        deflated[0] = a[0];
        for (int i = 1; i < n; ++i)
            deflated[i] = deflated[i - 1] * x + a[i];
        root = x;
        return true;
    }
    std::vector<double>& reversed = scratch2_;
    reversed.assign(a, a + n + 1);
    std::reverse(reversed.begin(), reversed.end());
    if (scan(reversed.data(), x) && x != 0.0) {
        // Deflate from the constant end by the root 1/x of the original.
        deflated[n - 1] = a[n];
        for (int i = n - 2; i >= 0; --i)
            deflated[i] = deflated[i + 1] * x + a[i + 1];
        const double lead = deflated[0];
        if (lead == 0.0 || !std::isfinite(lead))
            return false;
        for (int i = 1; i <= n - 1; ++i)
            deflated[i] /= lead;
        deflated[0] = 1.0;
        root = 1.0 / x;
        return true;
    }
    return false;
}

bool CMathFunc::ExtractQuadraticNewton(int n, const double* a, double* deflated, double& r, double& s) {
    // Bairstow's iteration on x^2 - r x - s. For n = 3 the second division
    // has no c[n-4]; it is 0.
    std::vector<double>& c = scratch2_;
    c.assign(static_cast<std::size_t>(n) + 1, 0.0);
    r = 2.0;
    s = -1.0;
    double dr = 0.0, ds = 0.0, rBefore = r, sBefore = s;
    for (int it = 0; it < kMaxIterations; ++it) {
        DivideQuadratic(n, a, r, s, deflated);
        if (it >= 1 && std::fabs(dr) / std::max(1.0, std::fabs(rBefore)) < kTolerance) {
            const double sScale = std::max(std::fabs(s), std::fabs(sBefore));
            if (sScale == 0.0 ? ds == 0.0 : std::fabs(ds) / sScale < kTolerance)
                return true;
        }
        c[0] = deflated[0];
        if (n - 3 >= 1)
            c[1] = deflated[1] + r * c[0];
        for (int i = 2; i <= n - 3; ++i)
            c[static_cast<std::size_t>(i)] = deflated[i] + r * c[static_cast<std::size_t>(i - 1)] + s * c[static_cast<std::size_t>(i - 2)];
        const double c3 = c[static_cast<std::size_t>(n - 3)];
        const double c4 = n >= 4 ? c[static_cast<std::size_t>(n - 4)] : 0.0;
        const double x = s * c4 + deflated[n - 2];
        const double d = r * c3 * x + x * x - s * c3 * c3;
        if (d == 0.0 || !std::isfinite(d))
            return false;
        dr = -(deflated[n - 1] * x - deflated[n] * c3) / d;
        ds = -((r * c3 + x) * deflated[n] - s * c3 * deflated[n - 1]) / d;
        rBefore = r;
        sBefore = s;
        r += dr;
        s += ds;
        if (!std::isfinite(r) || !std::isfinite(s))
            return false;
    }
    return false;
}

bool CMathFunc::QuadraticFactorStep(int n, const double* a, double* deflated, double& r, double& s) {
    std::vector<double>& b = scratch2_;
    std::vector<double> v(static_cast<std::size_t>(n) + 1);
    for (double t : {0.0, 0.5, 1.0, 1.5, 2.0}) {
        // Moves every root by +t (repeated synthetic division).
        b.assign(a, a + n + 1);
        for (int pass = 0; pass < n; ++pass)
            for (int j = 1; j <= n - pass; ++j)
                b[static_cast<std::size_t>(j)] -= t * b[static_cast<std::size_t>(j - 1)];
        double rr = 2.0, ss = -1.0;
        bool converged = false;
        for (int it = 0; it < kMaxIterations; ++it) {
            v[0] = b[0];
            if (n - 2 >= 1)
                v[1] = rr * v[0] + b[1];
            for (int k = 2; k <= n - 2; ++k)
                v[static_cast<std::size_t>(k)] = rr * v[static_cast<std::size_t>(k - 1)] + b[static_cast<std::size_t>(k)] +
                                                 ss * v[static_cast<std::size_t>(k - 2)];
            const double v2 = v[static_cast<std::size_t>(n - 2)];
            const double v3 = v[static_cast<std::size_t>(n - 3)];
            const double v4 = n >= 4 ? v[static_cast<std::size_t>(n - 4)] : 0.0;
            if (v2 == 0.0)
                break;
            const double alpha = v3 / v2, beta = v4 / v2;
            const double u = b[static_cast<std::size_t>(n - 1)] - b[static_cast<std::size_t>(n)] * alpha;
            const double w = b[static_cast<std::size_t>(n - 2)] - u * alpha - b[static_cast<std::size_t>(n)] * beta;
            if (w == 0.0)
                break;
            const double newR = -u / w, newS = -b[static_cast<std::size_t>(n)] / w;
            if (!std::isfinite(newR) || !std::isfinite(newS))
                break;
            const double rScale = std::max(std::fabs(rr), std::fabs(newR));
            const double sScale = std::max(std::fabs(ss), std::fabs(newS));
            const bool rDone = rScale == 0.0 || std::fabs(newR - rr) / rScale < kTolerance;
            const bool sDone = sScale == 0.0 || std::fabs(newS - ss) / sScale < kTolerance;
            rr = newR;
            ss = newS;
            if (rDone && sDone) {
                converged = true;
                break;
            }
        }
        if (!converged)
            continue;
        // Back to the unshifted polynomial.
        r = rr - 2.0 * t;
        s = rr * t + ss - t * t;
        DivideQuadratic(n, a, r, s, deflated);
        return true;
    }
    return false;
}

int CMathFunc::FindQuadraticFactor(int n, const double* a, double* deflated, double& r, double& s) {
    if (n < 3 || !a || !deflated)
        return 0;
    double root = 0.0;
    if (QuadraticFactorStart(n, a, deflated, root)) {
        r = root;
        s = 0.0;
        return 1;
    }
    if (ExtractQuadraticNewton(n, a, deflated, r, s))
        return 2;
    if (QuadraticFactorStep(n, a, deflated, r, s))
        return 2;
    return 0;
}

std::optional<FormantResult> CMathFunc::LpcRootsToFormants(int p, double bandwidthLimit, double* a, double rate) {
    if (!a || p < 0 || !AllFinite(a, p + 1) || a[0] == 0.0)
        return std::nullopt;
    FormantResult out;
    std::vector<double>& deflated = scratch_;
    deflated.assign(static_cast<std::size_t>(p) + 1, 0.0);
    auto addFactor = [&](double pp, double qq) {
        const FormantRoot f = QuadraticToFormant(pp, qq, rate);
        out.factors.push_back({pp, qq, f.rootReal, f.rootImag});
        // A resonance has a finite frequency and a bandwidth from 0 up to
        // the limit; a root outside the unit circle (negative bandwidth) is
        // an error of the deflation, not a resonance.
        if (std::isfinite(f.frequency) && std::isfinite(f.bandwidth) && f.bandwidth >= 0.0 &&
            f.bandwidth <= bandwidthLimit) {
            out.frequencies.push_back(f.frequency);
            out.bandwidths.push_back(f.bandwidth);
        }
    };
    int len = p;
    while (len >= 2) {
        if (len == 2) {
            addFactor(a[1], a[2]);
            len = 0;
            break;
        }
        double r = 0.0, s = 0.0;
        const int kind = FindQuadraticFactor(len, a, deflated.data(), r, s);
        if (kind == 1) {
            len -= 1;  // a real root is no formant
        } else if (kind == 2) {
            addFactor(-r, -s);
            len -= 2;
        } else {
            return std::nullopt;
        }
        if (!AllFinite(deflated.data(), len + 1))
            return std::nullopt;
        std::copy(deflated.begin(), deflated.begin() + len + 1, a);
    }
    // Ascending frequency; equal frequencies keep the order they were found in.
    std::vector<std::size_t> order(out.frequencies.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t x, std::size_t y) { return out.frequencies[x] < out.frequencies[y]; });
    FormantResult sorted;
    sorted.factors = std::move(out.factors);
    for (std::size_t i : order) {
        sorted.frequencies.push_back(out.frequencies[i]);
        sorted.bandwidths.push_back(out.bandwidths[i]);
    }
    return sorted;
}

std::vector<double> CMathFunc::ComputeEnvelope(const std::vector<double>& a, int resample, int nOut,
                                               int maxFrequency, double rate) {
    // 256 points, or the smallest power of two above the order, so every
    // coefficient enters the transform.
    int m = 8;
    while ((std::size_t{1} << m) <= a.size() - 1)
        ++m;
    const std::size_t size = std::size_t{1} << m;
    re_.assign(size, 0.0);
    im_.assign(size, 0.0);
    std::copy(a.begin(), a.end(), re_.begin());
    Fft(re_.data(), im_.data(), m);
    const int bins = static_cast<int>(size / 2);
    std::vector<double> levels(static_cast<std::size_t>(bins));
    PowerToDb(re_.data(), im_.data(), bins, levels.data());
    if (!resample)
        return levels;
    return ResampleBins(levels.data(), bins, static_cast<int>(size), nOut, maxFrequency, rate);
}

LpcSpectrum CMathFunc::LpcSpectrumFormants(const double* frame, int p, int n, double preEmphasis, int window,
                                           int resample, int nOut, int maxFrequency, double rate,
                                           int findFormants, bool skipEnvelope) {
    LpcSpectrum out;
    const std::size_t len = frame && n > 0 ? static_cast<std::size_t>(n) : 0;
    const double* w = WindowOf(lpcWindow_, lpcWindowLength_, lpcWindowKind_, static_cast<int>(len), window);
    std::vector<double>& x = frame_;
    x.resize(len);
    for (std::size_t i = 0; i < len; ++i)
        x[i] = (preEmphasis > 0.0 ? frame[i + 1] - preEmphasis * frame[i] : frame[i]) * w[i];
    LpcResult lpc = LpcAutocorrelation(len ? x.data() : nullptr, static_cast<int>(len), p);
    if (!lpc.valid) {
        // Nothing to predict: a flat envelope and no formants.
        std::fill(lpc.coefficients.begin(), lpc.coefficients.end(), 0.0);
        lpc.coefficients[0] = 1.0;
    }

    if (findFormants) {
        lastFormants_.reset();
        if (lpc.valid && rate > 0.0 && std::isfinite(rate)) {
            std::vector<double> a = lpc.coefficients;
            lastFormants_ = LpcRootsToFormants(lpc.order, kFormantBandwidthLimit, a.data(), rate);
        }
        out.formants = lastFormants_;
    }
    if (!skipEnvelope)
        out.envelope = ComputeEnvelope(lpc.coefficients, resample, nOut, maxFrequency, rate);
    return out;
}

const FormantResult* CMathFunc::LastFormantResult() const { return lastFormants_ ? &*lastFormants_ : nullptr; }

}  // namespace vocomet
