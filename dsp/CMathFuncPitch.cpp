// The fundamental frequency of one frame by the cepstrum.
//
// Both transforms have real inputs (the windowed frame, then its log power
// spectrum), so each is done as a complex FFT of half the size whose
// output is untangled into the half spectrum the routine needs; the log
// spectrum is even, so only its first half is computed and the rest read
// mirrored. The Hamming window and the untangling factors are kept between
// calls, and levels in dB are taken only where they are looked at.

#include "dsp/CMathFunc.h"
#include "dsp/VectorClones.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace vocomet {

namespace {

// The level and untangling loops get copies for wider vector units
// (VectorClones.h).

constexpr double kDbPerNeper = 4.3429448190325182765;  // 10 / ln 10
constexpr double kLn2 = 0.69314718055994530942;

// 10 log10 of re^2 + im^2 for count bins into out. The power is split
// into 2^k z with z in [sqrt(1/2), sqrt(2)) by integer steps on its bits,
// and ln z taken from a series in t = (z - 1)/(z + 1): within about 1e-10
// dB of the exact level, and written without branches so that it runs on
// vector units. Returns how many powers have no level (0, or not a normal
// finite number); their levels are garbage and must be replaced.
VOCOMET_VECTOR_CLONES
int PowersToDb(const double* __restrict re, const double* __restrict im, int count, double* __restrict out) {
    constexpr std::uint64_t kHalfRoot = 0x3fe6a09e667f3bcdull;  // bits of sqrt(1/2)
    constexpr std::uint64_t kBias = 0x3ff0000000000000ull;      // bits of 1
    constexpr std::uint64_t kExponent = 0xfff0000000000000ull;
    constexpr std::uint64_t kTwoTo52 = 0x4330000000000000ull;   // bits of 2^52
    for (int k = 0; k < count; ++k) {
        const double p = re[k] * re[k] + im[k] * im[k];
        std::uint64_t bits = 0;
        std::memcpy(&bits, &p, sizeof bits);
        // The biased k sits in the exponent field of tmp; z keeps p's
        // mantissa bits with k taken out of its exponent.
        const std::uint64_t tmp = bits - kHalfRoot + kBias;
        const std::uint64_t zBits = bits - (tmp & kExponent) + kBias;
        const std::uint64_t kBits = kTwoTo52 | (tmp >> 52);
        double z = 0.0, kd = 0.0;
        std::memcpy(&z, &zBits, sizeof z);
        std::memcpy(&kd, &kBits, sizeof kd);
        kd -= 4503599627370496.0 + 1023.0;  // 2^52 and the bias
        const double t = (z - 1.0) / (z + 1.0);
        const double t2 = t * t;
        const double series =
            1.0 + t2 * (1.0 / 3 + t2 * (1.0 / 5 + t2 * (1.0 / 7 + t2 * (1.0 / 9 + t2 * (1.0 / 11 + t2 * (1.0 / 13))))));
        out[k] = kDbPerNeper * (kd * kLn2 + 2.0 * t * series);
    }
    int missing = 0;
    for (int k = 0; k < count; ++k) {
        const double p = re[k] * re[k] + im[k] * im[k];
        missing += static_cast<int>(!(p >= std::numeric_limits<double>::min()) | !(p <= std::numeric_limits<double>::max()));
    }
    return missing;
}

// Bins first .. last-1 (last at most h) of the transform X of 2h real
// values from the transform Z of the h values z[k] = x[2k] + i x[2k+1]:
// X[k] = (Z[k] + conj Z[h-k])/2 - i e^(-pi i k/h) (Z[k] - conj Z[h-k])/2,
// with Z[h] = Z[0]; c and s hold cos and -sin of pi k/h.
VOCOMET_VECTOR_CLONES
void UntangleHalfSpectrum(const double* __restrict zr, const double* __restrict zi, const double* __restrict c,
                          const double* __restrict s, int h, int first, int last, double* __restrict xr,
                          double* __restrict xi) {
    if (first == 0) {
        xr[0] = zr[0] + c[0] * zi[0];
        xi[0] = s[0] * zi[0];
    }
    const int from = std::max(first, 1), to = std::min(last, h);
    for (int k = from; k < to; ++k) {
        const double ar = zr[k], ai = zi[k], br = zr[h - k], bi = -zi[h - k];
        const double er = 0.5 * (ar + br), ei = 0.5 * (ai + bi);
        const double orr = 0.5 * (ai - bi), oi = -0.5 * (ar - br);
        xr[k - first] = er + c[k] * orr - s[k] * oi;
        xi[k - first] = ei + c[k] * oi + s[k] * orr;
    }
    if (last > h) {
        xr[h - first] = zr[0] + c[h] * zi[0];
        xi[h - first] = s[h] * zi[0];
    }
}

// Replaces the levels of the powers without one by the lowest level of the
// others (0 dB when there is none).
void FillMissingLevels(const double* re, const double* im, int count, double* out) {
    double lowest = std::numeric_limits<double>::infinity();
    for (int k = 0; k < count; ++k) {
        const double p = re[k] * re[k] + im[k] * im[k];
        if (p >= std::numeric_limits<double>::min() && p <= std::numeric_limits<double>::max())
            lowest = std::min(lowest, out[k]);
    }
    const double floorLevel = std::isfinite(lowest) ? lowest : 0.0;
    for (int k = 0; k < count; ++k) {
        const double p = re[k] * re[k] + im[k] * im[k];
        if (!(p >= std::numeric_limits<double>::min() && p <= std::numeric_limits<double>::max()))
            out[k] = floorLevel;
    }
}

}  // namespace

void CMathFunc::PitchHalfSpectrum(int m, int first, int last, double* outRe, double* outIm) {
    UntangleHalfSpectrum(re_.data(), im_.data(), pitchCos_.data(), pitchSin_.data(), 1 << (m - 1), first, last,
                         outRe, outIm);
}

double CMathFunc::CepstralPitchFloat(const float* samples, double start, double end, double rate, double lowestF0,
                                     double highestF0, int fftSize, int n) {
    int m = 0;
    switch (fftSize) {
        case 128: m = 7; break;
        case 256: m = 8; break;
        case 512: m = 9; break;
        case 1024: m = 10; break;
        case 2048: m = 11; break;
        case 4096: m = 12; break;
        default: return -1.0;
    }
    if (!(rate > 0.0) || !(lowestF0 > 0.0) || !(highestF0 > 0.0) || !std::isfinite(rate) ||
        !std::isfinite(lowestF0) || !std::isfinite(highestF0) || n < 1 || n > fftSize)
        return -1.0;
    const int half = fftSize / 2;
    const std::size_t h = static_cast<std::size_t>(half);

    // Work storage of this size, kept for the next frame.
    if (pitchWindow_.size() != static_cast<std::size_t>(n)) {
        pitchWindow_.resize(static_cast<std::size_t>(n));
        for (int i = 0; i < n; ++i)
            pitchWindow_[static_cast<std::size_t>(i)] =
                0.54 - 0.46 * std::cos(kMathTwoPi * static_cast<double>(i) / static_cast<double>(n));
    }
    if (pitchCos_.size() != h + 1) {
        pitchCos_.resize(h + 1);
        pitchSin_.resize(h + 1);
        for (int k = 0; k <= half; ++k) {
            pitchCos_[static_cast<std::size_t>(k)] = std::cos(kMathTwoPi * k / fftSize);
            pitchSin_[static_cast<std::size_t>(k)] = -std::sin(kMathTwoPi * k / fftSize);
        }
    }
    re_.resize(h);
    im_.resize(h);
    pitchLevels_.resize(h + 1);
    pitchSpare_.resize(h + 1);

    // The n samples of the window from the whole part of start, paired as
    // z[k] = x[2k] + i x[2k+1]; those before 0 or at and beyond end count as
    // silence (so do all of them for a start that is not a number).
    const double first = std::floor(start);
    int from = 0, to = 0;
    if (samples && std::fabs(first) < 9.0e15 && !std::isnan(end)) {
        const double lowest = std::clamp(-first, 0.0, static_cast<double>(n));
        const double beyond = std::clamp(std::ceil(end) - first, 0.0, static_cast<double>(n));
        from = static_cast<int>(lowest);
        to = std::max(from, static_cast<int>(beyond));
    }
    // Value i of the frame goes to pair i/2; pairs outside from/2 .. (to+1)/2
    // hold only silence (and the padding), those at its edges get the
    // silent half from the fill.
    double* zr = re_.data();
    double* zi = im_.data();
    const int pairFrom = from / 2, pairTo = from < to ? (to + 1) / 2 : pairFrom;
    std::fill(zr, zr + pairFrom, 0.0);
    std::fill(zi, zi + pairFrom, 0.0);
    std::fill(zr + pairTo, zr + half, 0.0);
    std::fill(zi + pairTo, zi + half, 0.0);
    if (pairFrom < pairTo) {
        zr[pairFrom] = zi[pairFrom] = 0.0;
        zr[pairTo - 1] = zi[pairTo - 1] = 0.0;
    }
    if (from < to) {
        const auto base = static_cast<std::ptrdiff_t>(first);
        const double* w = pitchWindow_.data();
        for (int i = from + (from & 1); i < to; i += 2)
            zr[i >> 1] = w[i] * static_cast<double>(samples[base + i]);
        for (int i = from | 1; i < to; i += 2)
            zi[i >> 1] = w[i] * static_cast<double>(samples[base + i]);
    }
    Fft(re_.data(), im_.data(), m - 1);

    // Log power spectrum, bins 0 .. N/2 (the rest mirror them); a bin
    // without power takes the lowest level of the spectrum.
    frame_.resize(h + 1);
    double* specRe = frame_.data();
    double* specIm = pitchSpare_.data();
    double* level = pitchLevels_.data();
    PitchHalfSpectrum(m, 0, half + 1, specRe, specIm);
    if (PowersToDb(specRe, specIm, half + 1, level))
        FillMissingLevels(specRe, specIm, half + 1, level);

    // The cepstrum: the transform of the (real, even) log spectrum, paired
    // the same way; from bin N/2 on the pairs are read mirrored.
    {
        double* zr = re_.data();
        double* zi = im_.data();
        const int quarter = half / 2;
        for (int k = 0; k < quarter; ++k) {
            zr[k] = level[2 * k];
            zi[k] = level[2 * k + 1];
        }
        for (int k = quarter; k < half; ++k) {
            zr[k] = level[fftSize - 2 * k];
            zi[k] = level[fftSize - 2 * k - 1];
        }
    }
    Fft(re_.data(), im_.data(), m - 1);

    // Quefrency band, clamped to the cepstrum. Only the band is looked at:
    // everything else counts as 0 dB.
    auto clampIndex = [half](double v) {
        if (!(v >= 1.0))
            return 1;
        return v >= static_cast<double>(half) ? half : static_cast<int>(v);
    };
    const int lo = clampIndex(std::floor(rate / highestF0));
    const int hi = clampIndex(std::floor(rate / lowestF0));
    if (lo >= hi)
        return 0.0;
    const int width = hi - lo;
    double* c = level;
    PitchHalfSpectrum(m, lo, hi, specRe, specIm);
    if (PowersToDb(specRe, specIm, width, c))
        FillMissingLevels(specRe, specIm, width, c);

    // Everything more than 20 dB below the highest value (at least the 0 dB
    // outside the band) counts as 0; the peak is the first of the highest
    // values in the band, and it must stand above the lowest one, or the
    // band is flat and holds no peak. Lifting every level by 20 dB above
    // that floor keeps their order, so one sweep finds the highest, its
    // first place and the lowest.
    double highest = c[0], lowestLevel = c[0];
    int at = 0;
    for (int j = 1; j < width; ++j) {
        if (c[j] > highest) {
            highest = c[j];
            at = j;
        }
        lowestLevel = std::min(lowestLevel, c[j]);
    }
    const double top = std::max(0.0, highest);
    const double best = std::max(0.0, highest - top + 20.0);
    const double least = std::max(0.0, lowestLevel - top + 20.0);
    const int index = best > 0.0 ? lo + at : half;
    if (index >= half || !(best > least))
        return 0.0;
    const double f0 = rate / static_cast<double>(std::max(index, 1));
    if (f0 > highestF0 || f0 < lowestF0)
        return 0.0;
    return f0;
}

}  // namespace vocomet
