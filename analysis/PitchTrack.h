#pragma once
// The F0 track of one channel: one cepstral F0 per analysis frame over the
// whole channel, cleaned by the deviation test against both neighbours, a
// three-point running mean and an energy gate. Computed once, in plain code,
// with progress and cancel; the pitch pane holds the result and every
// drawing, read-out, log entry and zoom reads it through the one time
// mapping below.

#include <cstdint>
#include <string>
#include <vector>

#include "core/DocumentSettings.h"

namespace platform {
class Progress;
}

namespace vocomet {

class ChannelSampleSource;

// What the computation takes from the document's pitch settings.
struct PitchTrackSettings {
    double windowMs = 35.0;
    double stepMs = 10.0;
    double upperLimitHz = 500.0;
    double lowerLimitHz = 50.0;
    double method = 1.0;  // 1 cepstral; 0 autocorrelation (computes no track)
    double deviationHz = 100.0;
    double thresholdPercent = 1.0;

    static PitchTrackSettings FromDocument(const PitchSettings& settings);
};

struct PitchTrack {
    bool computed = false;      // false for the autocorrelation method
    double rate = 0.0;          // Hz
    double stepSamples = 0.0;   // s, with its fraction
    int windowSamples = 0;      // w actually used
    double windowMs = 0.0;      // the window actually used (may be shortened)
    int fftSize = 0;            // F
    std::vector<double> f0;     // Hz per frame, 0 = no pitch; size n
    // Mean power per frame, the gate's input: the squares of samples
    // int(k s) .. int(k s + s) - 1 summed and divided by s; size n.
    std::vector<double> energy;

    int Count() const { return static_cast<int>(f0.size()); }
    // The time (ms) frame k stands for: the centre of its window,
    // (k s + w / 2) * 1000 / rate.
    double FrameTimeMs(int k) const;
    // The frame whose time is nearest timeMs, clamped to 0 .. n - 1 (-1 when empty).
    int FrameAt(double timeMs) const;
};

// Why a computation was refused or stopped; empty when it ran.
struct PitchTrackOutcome {
    PitchTrack track;
    std::string error;   // message for the user; empty on success
    bool cancelled = false;
};

// The sizes a computation works with, or why the settings are refused.
struct PitchTrackSizes {
    std::string error;        // message for the user; empty when the settings can be used
    // w = int(rate / 1000 * window ms); a window with w + P > 4096 (P the
    // longest period looked for, int(rate / lower limit)) is shortened to
    // the longest whole ms that fits.
    int windowSamples = 0;
    double windowMs = 0.0;    // the window actually used, in ms
    // F: 1024 for w < 1024, 2048 for w < 2048, else 4096; doubled while
    // P > F / 2 (the band would not fit in the cepstrum) or w + P > F (the
    // window's own cepstral peak at F - w would lie in the band).
    int fftSize = 0;
    double stepSamples = 0.0; // s = step ms * rate / 1000, with its fraction
    int frames = 0;           // n = int(sampleCount / s)
    int bufferSamples = 0;    // the frame buffer: the largest of F, w + 5 and int(s) + 1
};
PitchTrackSizes PitchTrackSizesFor(double rate, const PitchTrackSettings& settings, std::int64_t sampleCount);

// Refuses step, rate, window or limits <= 0 (and a lower limit not below the
// upper one, or one too low for the rate) with a message before any work.
// Frame k covers the samples from int(k * s); it reads the source once per
// frame through its zero-filling reads (past the end reads 0). The
// autocorrelation method (0) computes nothing: computed stays false, no
// error. A cancel through the progress gives cancelled and an empty track.
PitchTrackOutcome ComputePitchTrack(const ChannelSampleSource& source, double rate,
                                    const PitchTrackSettings& settings, platform::Progress& progress);

// The cleaning passes on a raw track (exposed for tests): deviation test,
// three-point mean, energy gate; raw and energy have the same size.
std::vector<double> CleanPitchTrack(const std::vector<double>& raw, const std::vector<double>& energy,
                                    double deviationHz, double thresholdPercent);

}  // namespace vocomet
