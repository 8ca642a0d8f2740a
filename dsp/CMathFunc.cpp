#include "dsp/CMathFunc.h"
#include "platform/Numbers.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>

namespace vocomet {

namespace {

std::size_t WholeCount(double count) { return static_cast<std::size_t>(platform::WholeCount(count)); }

}  // namespace

bool CMathFunc::IntensityCurveFloat(const float* samples, float* curve, double& minimum, double& maximum,
                                    double dc, double start, double window, double step, double sampleCount,
                                    int shift, int linear, platform::Progress* progress) {
    minimum = 0.0;
    maximum = 0.0;
    const std::size_t n = WholeCount(sampleCount);
    if (!curve || n == 0)
        return true;

    const std::size_t frameLength = WholeCount(window);
    std::size_t frames = 0;
    if (samples && frameLength > 0 && frameLength <= n && step > 0.0 && std::isfinite(step) &&
        std::isfinite(start) && start >= 0.0) {
        double f = std::floor((static_cast<double>(n) - window) / step);
        frames = f >= 1.0 ? WholeCount(f) : 0;
    }
    // Frame k starts here; a frame that would reach past the data ends the
    // curve (only possible with a start beyond 0).
    auto frameStart = [&](std::size_t k) { return static_cast<std::size_t>(static_cast<double>(k) * step + start); };
    while (frames > 0 && frameStart(frames - 1) + frameLength > n)
        --frames;
    if (frames == 0) {
        std::fill(curve, curve + n, 0.0f);
        return true;
    }

    // Levels of silent frames are marked with -infinity and replaced below
    // by the lowest finite level.
    constexpr float kSilent = -std::numeric_limits<float>::infinity();
    bool anySilent = false;
    double lowest = std::numeric_limits<double>::infinity();
    // Asked often enough for a responsive window, seldom enough to cost
    // nothing next to the sums.
    constexpr std::size_t kPollSamples = std::size_t{1} << 16;
    std::size_t nextPoll = 0;
    for (std::size_t k = 0; k < frames; ++k) {
        const std::size_t s = frameStart(k);
        if (progress && s >= nextPoll) {
            progress->SetFraction(static_cast<double>(s) / static_cast<double>(n));
            if (progress->AbortRequested())
                return false;
            nextPoll = s + kPollSamples;
        }
        double sum = 0.0;
        for (std::size_t j = s; j < s + frameLength; ++j) {
            double d = static_cast<double>(samples[j]) - dc;
            sum += d * d;
        }
        double mean = sum / static_cast<double>(frameLength);
        float level = kSilent;
        if (linear) {
            if (std::isfinite(mean))
                level = static_cast<float>(mean);
        } else if (mean > 0.0 && std::isfinite(mean)) {
            level = static_cast<float>(10.0 * std::log10(mean));
        }
        if (level == kSilent)
            anySilent = true;
        else
            lowest = std::min(lowest, static_cast<double>(level));
        // The frame's level runs up to the next frame's start (the next
        // frame overwrites the overlap); the last one to the end.
        const std::size_t end = k + 1 < frames ? std::max(frameStart(k + 1), s) : n;
        std::fill(curve + s, curve + end, level);
    }

    const std::size_t first = frameStart(0);
    double lo = 1e9, hi = -1e9;
    const float floorLevel = std::isfinite(lowest) ? static_cast<float>(lowest) : 0.0f;
    for (std::size_t j = 0; j < n; ++j) {
        float v = curve[j];
        if (j >= first && anySilent && !std::isfinite(v)) {
            v = floorLevel;
            curve[j] = v;
        }
        lo = std::min(lo, static_cast<double>(v));
        hi = std::max(hi, static_cast<double>(v));
    }

    // Make the curve non-negative, then optionally start it at 0.
    double offset = 0.0;
    if (lo < 0.0) {
        if (hi < 0.0) {
            offset = -lo - hi;
            double newLo = std::fabs(hi), newHi = std::fabs(lo);
            lo = newLo;
            hi = newHi;
        } else {
            offset = -lo;
            hi -= lo;
            lo = 0.0;
        }
    }
    if (shift) {
        offset -= lo;
        hi -= lo;
        lo = 0.0;
    }
    if (offset != 0.0) {
        for (std::size_t j = 0; j < n; ++j)
            curve[j] = static_cast<float>(curve[j] + offset);
    }
    minimum = lo;
    maximum = hi;
    return true;
}

}  // namespace vocomet
