#pragma once
// Where things sit in the spectrogram pane, without a widget: the plot and
// its strips inside the pane, and the mapping between plot rows and
// frequency.
//
// One pixel column of the plot is one spectrum column, one pixel row one
// frequency bin (bin 0, 0 Hz, on the plot's bottom row). Times map to x
// through the pane's AnalysisPaneSelection.

#include <cstdint>

#include "platform/WinTypes.h"

namespace vocomet {

// What the layout needs to know besides the pane's size.
struct SpectrogramLayoutInputs {
    platform::Rect client;  // the pane's client area
    int textWidth = 0;      // room for the frequency labels left of the plot
    int textHeight = 0;
    int labelHeight = 0;    // tallest label of the shown channels; 0: no labels
    bool audioTrace = false;
};

struct SpectrogramLayout {
    platform::Rect plot;        // the spectrogram itself
    platform::Rect labelStrip;  // empty when no shown channel has labels
    platform::Rect audioStrip;  // empty when the audio trace is off
    // One spectrum per column and one value per row; both 0 when the pane
    // is too small for a 1 x 1 plot (then nothing is computed).
    int columns = 0;
    int bins = 0;
    bool HasPlot() const { return columns > 0 && bins > 0; }
};

// The plot: the client area less the frequency labels' width on the left,
// 5 pixels on the right and one and a half text heights at the bottom; the
// label strip (label height, then a 1-pixel gap) and the audio strip (a
// quarter of what is left) are taken from its top, in that order.
SpectrogramLayout LayOutSpectrogram(const SpectrogramLayoutInputs& in);

// Frequency <-> plot row: row y stands for (plot bottom - y) x Hz per row,
// Hz per row = frequency limit / plot height (0 for an empty plot or limit).
double SpectrogramHzPerRow(const platform::Rect& plot, double frequencyLimit);
double SpectrogramFrequencyAtY(const platform::Rect& plot, double frequencyLimit, int y);
// The row of a frequency, clamped to the plot's rows (top .. bottom - 1).
int SpectrogramYAtFrequency(const platform::Rect& plot, double frequencyLimit, double hz);

}  // namespace vocomet
