#pragma once
// How a channel strip scales its trace: the rule the main view's painter and
// the spectrogram pane's trace both follow.

namespace vocomet {

class CChannels;

// Scale rule of a channel strip: baseline fraction k and the factors of the
// split into trace and derived panes.
struct StripScale {
    double baseline = 0.5;   // k
    double amplitude = 0.0;  // A, pixels per unit before the split
    double split = 1.0;      // I: share of the amplitude the trace keeps
    double shift = 0.0;      // s: extra baseline share of the trace
};
// The rule for a channel of strip height h; `previousBaseline` is what a
// channel of scale mode 2 takes.
StripScale StripScaleOf(const CChannels& channel, int h, double previousBaseline);

}  // namespace vocomet
