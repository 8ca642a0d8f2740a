#include "analysis/PitchTrack.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <limits>
#include <new>

#include "analysis/ChannelSampleSource.h"
#include "dsp/CMathFunc.h"
#include "platform/Progress.h"

namespace vocomet {

namespace {

// The cepstral routine's largest transform.
constexpr int kLargestFft = 4096;
// Frames between two looks at the progress window: often enough that an
// abort is seen at once, seldom enough that drawing the bar costs nothing.
constexpr int kFramesPerPoll = 32;

PitchTrackOutcome Refused(std::string message) {
    PitchTrackOutcome out;
    out.error = std::move(message);
    return out;
}

bool Positive(double v) { return v > 0.0 && std::isfinite(v); }

// Truncation towards zero that stays defined for any double.
double Whole(double v) { return std::isfinite(v) ? std::trunc(v) : v; }

}  // namespace

PitchTrackSettings PitchTrackSettings::FromDocument(const PitchSettings& settings) {
    PitchTrackSettings s;
    s.windowMs = settings.doubles[0];
    s.stepMs = settings.doubles[1];
    s.upperLimitHz = settings.doubles[2];
    s.lowerLimitHz = settings.doubles[3];
    s.thresholdPercent = settings.doubles[4];
    s.deviationHz = settings.doubles[5];
    s.method = static_cast<double>(settings.ints[6]);
    return s;
}

double PitchTrack::FrameTimeMs(int k) const {
    return FrameCentreMs(static_cast<double>(k) * stepSamples, static_cast<double>(windowSamples), rate);
}

int PitchTrack::FrameAt(double timeMs) const {
    const int n = Count();
    if (n == 0)
        return -1;
    if (!(rate > 0.0) || !(stepSamples > 0.0) || !std::isfinite(timeMs))
        return 0;
    // Inverse of FrameTimeMs, rounded to the nearest frame.
    const double k = std::round((timeMs * rate / 1000.0 - static_cast<double>(windowSamples) / 2.0) / stepSamples);
    if (!(k > 0.0))
        return 0;
    return k >= static_cast<double>(n - 1) ? n - 1 : static_cast<int>(k);
}

PitchTrackSizes PitchTrackSizesFor(double rate, const PitchTrackSettings& settings, std::int64_t sampleCount) {
    PitchTrackSizes z;
    if (!Positive(rate))
        return (z.error = "The sample rate of the channel must be above 0 Hz.", z);
    if (!Positive(settings.windowMs))
        return (z.error = "The window length must be above 0 ms.", z);
    if (!Positive(settings.stepMs))
        return (z.error = "The step size must be above 0 ms.", z);
    if (!Positive(settings.upperLimitHz) || !Positive(settings.lowerLimitHz))
        return (z.error = "The calculation range must lie above 0 Hz.", z);
    if (settings.lowerLimitHz >= settings.upperLimitHz)
        return (z.error = "The lower calculation limit must be below the upper one.", z);

    // The cepstrum holds F / 2 quefrencies; the longest period looked for,
    // rate / lower limit samples, must lie among them or F0 near the lower
    // limit could never be found. The window's own length leaves a peak in
    // the cepstrum at F - w (the log spectrum of a window padded by too few
    // zeros ripples with it); that quefrency must lie beyond the band too,
    // or it is taken for the period of every voiced frame whose spectrum has
    // deep valleys between the harmonics.
    const double longest = std::floor(rate / settings.lowerLimitHz);
    if (longest > kLargestFft / 2) {
        char text[160];
        std::snprintf(text, sizeof text,
                      "The lower calculation limit is too low for this sample rate: it must be at least %.0f Hz.",
                      std::ceil(rate / (kLargestFft / 2)));
        return (z.error = text, z);
    }
    // Window in whole samples; a window the largest transform cannot hold
    // with that margin is shortened to the longest whole number of ms that
    // fits.
    double windowMs = settings.windowMs;
    double w = Whole(rate / 1000.0 * windowMs);
    if (w + longest > kLargestFft) {
        windowMs = Whole(1000.0 / rate * (kLargestFft - longest));
        w = Whole(windowMs * rate / 1000.0);
    }
    if (!(w >= 1.0))
        return (z.error = "The window length is shorter than one sample at this sample rate.", z);
    z.windowSamples = static_cast<int>(w);
    z.windowMs = windowMs;
    z.fftSize = z.windowSamples < 1024 ? 1024 : z.windowSamples < 2048 ? 2048 : kLargestFft;
    while (z.fftSize < kLargestFft && (longest > z.fftSize / 2 || w + longest > z.fftSize))
        z.fftSize *= 2;

    z.stepSamples = settings.stepMs * rate / 1000.0;
    const double frames = Whole(static_cast<double>(std::max<std::int64_t>(sampleCount, 0)) / z.stepSamples);
    if (!(frames < static_cast<double>(std::numeric_limits<int>::max() - 16)))
        return (z.error = "The step size is too short for a channel this long.", z);
    z.frames = static_cast<int>(frames);
    // A frame's energy covers the samples from the whole part of its start up
    // to the whole part of the next frame's start, one more than int(step) at
    // times; the cepstrum reads the window.
    const double energyLength = std::floor(z.stepSamples) + 1.0;
    const double buffer = std::max({static_cast<double>(z.fftSize), w + 5.0, energyLength});
    if (!(buffer < static_cast<double>(std::numeric_limits<int>::max() / 8)))
        return (z.error = "The step size is too long.", z);
    z.bufferSamples = static_cast<int>(buffer);
    return z;
}

PitchTrackOutcome ComputePitchTrack(const ChannelSampleSource& source, double rate,
                                    const PitchTrackSettings& settings, platform::Progress& progress) {
    PitchTrackOutcome out;
    out.track.rate = rate;
    if (settings.method == 0.0) {
        // The autocorrelation method computes no track.
        out.track.windowMs = settings.windowMs;
        out.track.stepSamples = Positive(rate) && Positive(settings.stepMs) ? settings.stepMs * rate / 1000.0 : 0.0;
        return out;
    }
    const std::int64_t count = source.Count();
    const PitchTrackSizes z = PitchTrackSizesFor(rate, settings, count);
    if (!z.error.empty())
        return Refused(z.error);

    PitchTrack& t = out.track;
    t.stepSamples = z.stepSamples;
    t.windowSamples = z.windowSamples;
    t.windowMs = z.windowMs;
    t.fftSize = z.fftSize;
    const int n = z.frames;

    progress.SetText("Performing Pitch...");
    progress.SetFraction(0.0);

    std::vector<double> raw;
    std::vector<float> frame;
    try {
        raw.assign(static_cast<std::size_t>(n), 0.0);
        t.energy.assign(static_cast<std::size_t>(n), 0.0);
        frame.assign(static_cast<std::size_t>(z.bufferSamples), 0.0f);
    } catch (const std::bad_alloc&) {
        return Refused("Not enough memory for the pitch track of this channel.");
    }

    CMathFunc math;
    const double s = z.stepSamples;
    const int w = z.windowSamples;
    for (int k = 0; k < n; ++k) {
        if (k % kFramesPerPoll == 0) {
            progress.SetFraction(static_cast<double>(k) / static_cast<double>(n));
            if (progress.AbortRequested()) {
                out.track = PitchTrack{};
                out.track.rate = rate;
                out.cancelled = true;
                return out;
            }
        }
        const double start = static_cast<double>(k) * s;
        const std::int64_t first = static_cast<std::int64_t>(start);
        const int energyLength = static_cast<int>(static_cast<std::int64_t>(start + s) - first);
        // One read per frame serves both the cepstrum and the energy; what
        // lies past the channel's end reads as silence.
        const int length = std::max(w, energyLength);
        source.Read(first, length, frame.data());
        double f0 = 0.0;
        try {
            f0 = math.CepstralPitchFloat(frame.data(), 0.0, static_cast<double>(length), rate,
                                         settings.lowerLimitHz, settings.upperLimitHz, z.fftSize, w);
        } catch (const std::bad_alloc&) {
            f0 = -1.0;
        }
        if (f0 == -1.0)
            return Refused("Error in performing the pitch routine.");
        raw[static_cast<std::size_t>(k)] = f0;
        double sum = 0.0;
        for (int i = 0; i < energyLength; ++i) {
            const double x = frame[static_cast<std::size_t>(i)];
            sum += x * x;
        }
        t.energy[static_cast<std::size_t>(k)] = sum / s;
    }

    t.f0 = CleanPitchTrack(raw, t.energy, settings.deviationHz, settings.thresholdPercent);
    t.computed = true;
    progress.SetFraction(1.0);
    return out;
}

std::vector<double> CleanPitchTrack(const std::vector<double>& raw, const std::vector<double>& energy,
                                    double deviationHz, double thresholdPercent) {
    const std::size_t n = raw.size();
    std::vector<double> track(n, 0.0);

    // Deviation test: a value stays only when it lies within the deviation
    // (in whole Hz) of both neighbours; the first and the last frame have
    // only one and stay 0.
    for (std::size_t k = 1; k + 1 < n; ++k) {
        const double d1 = Whole(std::fabs(raw[k - 1] - raw[k]));
        const double d2 = Whole(std::fabs(raw[k + 1] - raw[k]));
        if (deviationHz > d1 && deviationHz > d2)
            track[k] = raw[k];
    }

    // Three-point mean, forward and in place: the two later values are still
    // the tested ones when a frame is averaged.
    for (std::size_t k = 0; k + 3 < n; ++k)
        if (track[k] != 0.0 && track[k + 1] != 0.0 && track[k + 2] != 0.0)
            track[k] = (track[k] + track[k + 1] + track[k + 2]) / 3.0;

    // Energy gate: a frame whose energy does not exceed the threshold share
    // of the strongest frame's is silent. Energies that are not finite (a
    // file holding NaN or infinity) neither set the level nor pass it.
    double strongest = 0.0;
    for (std::size_t k = 0; k < n && k < energy.size(); ++k)
        if (std::isfinite(energy[k]))
            strongest = std::max(strongest, energy[k]);
    const double level = thresholdPercent * strongest / 100.0;
    for (std::size_t k = 0; k < n; ++k) {
        const double e = k < energy.size() ? energy[k] : 0.0;
        if (!std::isfinite(e) || !(e - level > 0.0))
            track[k] = 0.0;
    }
    return track;
}

}  // namespace vocomet
