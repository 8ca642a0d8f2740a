// The fundamental frequency of one frame by the cepstrum.

#include "dsp/CMathFunc.h"

#include <algorithm>
#include <cmath>

namespace vocomet {

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
    const std::size_t size = static_cast<std::size_t>(fftSize);
    const int half = fftSize / 2;

    // The n samples of the window from the whole part of start; those before
    // 0 or at and beyond end count as silence.
    re_.assign(size, 0.0);
    im_.assign(size, 0.0);
    const double first = std::floor(start);
    for (int i = 0; i < n; ++i) {
        const double at = first + static_cast<double>(i);
        const double x = samples && at >= 0.0 && at < end ? static_cast<double>(samples[static_cast<std::size_t>(at)]) : 0.0;
        re_[static_cast<std::size_t>(i)] =
            (0.54 - 0.46 * std::cos(kMathTwoPi * static_cast<double>(i) / static_cast<double>(n))) * x;
    }
    Fft(re_.data(), im_.data(), m);
    // Log power spectrum over all bins, transformed again: the cepstrum.
    PowerToDb(re_.data(), im_.data(), fftSize, re_.data());
    std::fill(im_.begin(), im_.end(), 0.0);
    Fft(re_.data(), im_.data(), m);
    frame_.resize(static_cast<std::size_t>(half));
    double* c = frame_.data();
    PowerToDb(re_.data(), im_.data(), half, c);

    // Quefrency band, clamped to the cepstrum.
    auto clampIndex = [half](double v) {
        if (!(v >= 1.0))
            return 1;
        return v >= static_cast<double>(half) ? half : static_cast<int>(v);
    };
    const int lo = clampIndex(std::floor(rate / highestF0));
    const int hi = clampIndex(std::floor(rate / lowestF0));
    for (int j = 0; j < half; ++j)
        if (j < lo || j >= hi)
            c[j] = 0.0;

    // Everything more than 20 dB below the highest value becomes 0.
    double top = -1e30;
    for (int j = 0; j < half; ++j)
        top = std::max(top, c[j]);
    for (int j = 0; j < half; ++j)
        c[j] = std::max(0.0, c[j] - top + 20.0);

    // The first of the highest values in the band; it must stand above the
    // lowest one, or the band is flat and holds no peak.
    double best = 0.0, lowest = 0.0;
    int index = half;
    for (int j = lo; j < hi; ++j) {
        if (j == lo || c[j] < lowest)
            lowest = c[j];
        if (c[j] > best) {
            best = c[j];
            index = j;
        }
    }
    if (index >= half || !(best > lowest))
        return 0.0;
    const double f0 = rate / static_cast<double>(std::max(index, 1));
    if (f0 > highestF0 || f0 < lowestF0)
        return 0.0;
    return f0;
}

}  // namespace vocomet
