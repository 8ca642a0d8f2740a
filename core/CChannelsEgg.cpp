// EGG cycle analysis of a channel: the work signal (samples less their
// moving mean), the cycles found from its crossings, and per cycle the
// crossings of the criterion, 10 % and 90 % levels, the velocity extremes
// and the contact quotients.

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "core/CChannels.h"
#include "core/MovingSum.h"

namespace vocomet {

namespace {

// Whole part of a real position as an index in 0..limit (0 for NaN).
std::int64_t ClampedIndex(double position, std::int64_t limit) {
    if (!(position > 0.0))
        return 0;
    if (position >= static_cast<double>(limit))
        return limit;
    return static_cast<std::int64_t>(position);
}

// Width in samples of the moving mean: EGG window ms, rounded.
std::int64_t EggWindowSamples(double windowMs, double rate) {
    return ClampedIndex(windowMs * rate / 1000.0 + 0.5, std::int64_t{1} << 40);
}

}  // namespace

void CChannels::PrepareEGGSignal() {
    if (samples.IsNull())
        return;
    const std::int64_t count = ReadableCount();
    const std::size_t n = static_cast<std::size_t>(count);
    platform::FloatBlock work = platform::FloatBlock::TryAllocate(n);
    platform::FloatBlock mean = platform::FloatBlock::TryAllocate(n);
    if (n > 0 && (work.IsNull() || mean.IsNull()))
        throw platform::UserException();
    eggWork = std::move(work);
    movingMean = std::move(mean);
    if (n == 0)
        return;
    const float* x = samples.data();
    float* m = movingMean.data();

    const std::int64_t f = EggWindowSamples(eggWindow, rate);
    const std::size_t half = static_cast<std::size_t>(f / 2);
    if (half == 0) {
        // A window of under two samples: no mean is taken off.
    } else if (count < f + 5) {
        // Too short for the window and its ends: the mean of all samples.
        double sum = 0.0;
        for (std::size_t i = 0; i < n; ++i)
            sum += x[i];
        std::fill(m, m + n, static_cast<float>(sum / static_cast<double>(n)));
    } else {
        // mean[i] over x[i - half .. i + half - 1], divided by the number of
        // values taken.
        const std::size_t width = 2 * half;
        ForEachWindowSum(x, n, width, [&](std::size_t i, double sum) {
            const std::size_t centre = i + half;
            if (centre + half < n)
                m[centre] = static_cast<float>(sum / static_cast<double>(width));
        });
        const std::size_t fw = static_cast<std::size_t>(f);
        std::fill(m, m + half + 1, m[half + 1]);
        const float tail = m[n - fw - 5];
        std::fill(m + (n - fw - 2), m + n, tail);
    }
    float* w = eggWork.data();
    for (std::size_t i = 0; i < n; ++i)
        w[i] = x[i] - m[i];
}

void CChannels::AnalyzeEGG(double s0, double s1) {
    // The analysis works on samples in memory.
    if (samples.IsNull())
        throw platform::UserException();
    PrepareEGGSignal();
    if (velocity.IsNull())
        throw VelocityMissingError();

    peaks.RemoveAll();
    valleys.RemoveAll();
    peaksValid = 0;
    valleysValid = 0;

    const std::int64_t n = std::min<std::int64_t>(ReadableCount(), static_cast<std::int64_t>(eggWork.size()));
    const float* x = samples.data();
    const float* work = eggWork.data();
    const double msPerSample = MsPerSample();
    auto timeOf = [&](std::int64_t i) { return msPerSample * static_cast<double>(i); };

    // The analysed range, shortened by half an EGG window at each end.
    const std::int64_t w = EggWindowSamples(eggWindow, rate);
    const std::int64_t first = std::min(ClampedIndex(std::floor(s0) + static_cast<double>(w / 2), n), n);
    const std::int64_t last = std::min(ClampedIndex(std::floor(s1) - static_cast<double>(w / 2), n), n);

    std::vector<std::int64_t> crossings;
    if (first < last) {
        double lo = 1e50, hi = -1e-50;
        for (std::int64_t i = first; i < last; ++i) {
            lo = std::min(lo, static_cast<double>(work[i]));
            hi = std::max(hi, static_cast<double>(work[i]));
        }
        const double level = cycleDetectionLevel * (std::fabs(lo) + std::fabs(hi)) / 100.0;

        // Each crossing is a rise through +level after a fall through -level.
        std::int64_t i = first;
        while (i < last && work[i] >= level)
            ++i;
        if (i >= last)
            i = first;  // never below the level: search from the start of the range
        while (i < last && work[i] < level)
            ++i;
        for (;;) {
            crossings.push_back(i);
            if (i >= last)
                break;
            while (i < last && work[i] > -level)
                ++i;
            i = std::min(i + 1, last);
            while (i < last && work[i] < level)
                ++i;
        }
    }

    // A peak and a valley for each crossing pair of a plausible F0.
    auto plausible = [](double period) {
        if (!(period > 0.0))
            return false;
        const double f0 = 1000.0 / period;
        return f0 > 50.0 && f0 < 1000.0;
    };
    for (std::size_t k = 0; k + 1 < crossings.size(); ++k) {
        const std::int64_t i1 = crossings[k], i2 = crossings[k + 1];
        if (!plausible(timeOf(i2) - timeOf(i1)))
            continue;
        std::int64_t pMax = i1, pMin = i1;
        for (std::int64_t j = i1 + 1; j < i2; ++j) {
            if (work[j] > work[pMax])
                pMax = j;
            if (work[j] < work[pMin])
                pMin = j;
        }
        peaks.Add(ArrayData{static_cast<double>(pMax), timeOf(pMax), x[pMax]});
        valleys.Add(ArrayData{static_cast<double>(pMin), timeOf(pMin), x[pMin]});
    }
    if (!peaks.IsEmpty()) {
        peaksValid = 1;
        valleysValid = 1;
    }

    // One cycle from each valley to the next. A point not found in a cycle
    // is 0 in that cycle's record.
    cycles.RemoveAll();
    const std::int64_t vCount = static_cast<std::int64_t>(velocity.size());
    const double msPerVelocity = velocityCount > 0.0 ? duration / velocityCount : 0.0;
    for (int k = 0; k + 1 < valleys.GetSize(); ++k) {
        const ArrayData& va = valleys.GetAt(k);
        const ArrayData& vb = valleys.GetAt(k + 1);
        if (!plausible(vb.time - va.time))
            continue;
        const std::int64_t a = static_cast<std::int64_t>(va.sampleIndex);
        const std::int64_t b = static_cast<std::int64_t>(vb.sampleIndex);
        const double ya = va.amplitude, yb = vb.amplitude;
        ArrayCycle cycle;
        cycle.start = {va.time, ya, va.sampleIndex};
        cycle.end = {vb.time, yb, vb.sampleIndex};

        std::int64_t p = a;
        for (std::int64_t j = a + 1; j < b; ++j)
            if (work[j] > work[p])
                p = j;
        auto point = [&](std::int64_t j) {
            return ArrayCycle::Point{timeOf(j), x[j], static_cast<double>(j)};
        };
        cycle.peak = point(p);
        const double c = static_cast<double>(x[p]) - ya;

        auto firstAtLeast = [&](double levelValue, ArrayCycle::Point& out) {
            for (std::int64_t j = a; j < p; ++j)
                if (x[j] >= levelValue) {
                    out = point(j);
                    return;
                }
        };
        auto firstAtMost = [&](double levelValue, ArrayCycle::Point& out) {
            for (std::int64_t j = p; j < b; ++j)
                if (x[j] <= levelValue) {
                    out = point(j);
                    return;
                }
        };
        firstAtLeast(criterionPercent * c / 100.0 + ya, cycle.criterionRise);
        firstAtMost(criterionPercent * c / 100.0 + yb, cycle.criterionFall);
        const double level10 = ya + c * 10.0 / 100.0;
        const double level90 = ya + c * 90.0 / 100.0;
        firstAtLeast(level10, cycle.rise10);
        firstAtLeast(level90, cycle.rise90);
        firstAtMost(level90, cycle.fall90);
        firstAtMost(level10, cycle.fall10);

        double vMax = -1e-50, vMin = 1e50;
        for (std::int64_t j = a; j < std::min(b, vCount); ++j) {
            const double v = velocity[static_cast<std::size_t>(j)];
            if (v > vMax) {
                vMax = v;
                cycle.velocityMax = {static_cast<double>(j), v, msPerVelocity * static_cast<double>(j)};
            }
            if (v < vMin) {
                vMin = v;
                cycle.velocityMin = {static_cast<double>(j), v, msPerVelocity * static_cast<double>(j)};
            }
        }
        cycles.Add(cycle);
    }

    // Quotients of each cycle but the last, against the next one; a
    // quotient whose timing does not hold is 0.
    for (int k = 0; k + 1 < cycles.GetSize(); ++k) {
        ArrayCycle& cyc = cycles.ElementAt(k);
        const ArrayCycle& next = cycles.GetAt(k + 1);
        const double r = cyc.criterionRise.time, f = cyc.criterionFall.time;
        const double m = cyc.velocityMax.time, v = cyc.velocityMin.time;
        const double rNext = next.criterionRise.time, mNext = next.velocityMax.time;
        auto quotient = [](double from, double to, double periodStart, double periodEnd) {
            return (to - from > 0.0 && periodEnd - to > 0.0) ? (to - from) / (periodEnd - periodStart) : 0.0;
        };
        cyc.cq = quotient(r, f, r, rNext);
        cyc.cqH = quotient(m, f, m, mNext);
        cyc.cqPM = quotient(m, v, m, mNext);
        cyc.cqHT = 0.0;
        // The contact ends where the work signal first drops below its value
        // at the velocity maximum.
        const std::int64_t vm = static_cast<std::int64_t>(cyc.velocityMax.sampleIndex);
        const std::int64_t end = std::min(static_cast<std::int64_t>(cyc.end.sampleIndex), n - 1);
        if (vm >= 0 && vm < n) {
            for (std::int64_t j = vm + 2; j <= end; ++j) {
                if (work[j] < work[vm]) {
                    cyc.cqHT = quotient(m, timeOf(j), m, mNext);
                    break;
                }
            }
        }
    }
    cyclesValid = 1;
}

}  // namespace vocomet
