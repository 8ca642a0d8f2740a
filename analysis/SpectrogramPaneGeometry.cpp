#include "analysis/SpectrogramPaneGeometry.h"

#include <algorithm>
#include <cmath>

namespace vocomet {

SpectrogramLayout LayOutSpectrogram(const SpectrogramLayoutInputs& in) {
    SpectrogramLayout out;
    platform::Rect plot = in.client;
    plot.left += std::max(in.textWidth, 0);
    plot.right -= 5;
    plot.bottom -= 3 * std::max(in.textHeight, 0) / 2;
    if (in.labelHeight > 0) {
        out.labelStrip = {plot.left, plot.top, plot.right, plot.top + in.labelHeight};
        plot.top += in.labelHeight + 1;
    }
    if (in.audioTrace) {
        const int quarter = std::max(plot.Height(), 0) / 4;
        out.audioStrip = {plot.left, plot.top, plot.right, plot.top + quarter - 1};
        plot.top += quarter;
    }
    out.plot = plot;
    if (plot.Width() >= 1 && plot.Height() >= 1) {
        out.columns = plot.Width();
        out.bins = plot.Height();
    }
    return out;
}

double SpectrogramHzPerRow(const platform::Rect& plot, double frequencyLimit) {
    return plot.Height() > 0 && frequencyLimit > 0.0 && std::isfinite(frequencyLimit)
               ? frequencyLimit / plot.Height()
               : 0.0;
}

double SpectrogramFrequencyAtY(const platform::Rect& plot, double frequencyLimit, int y) {
    return static_cast<double>(plot.bottom - y) * SpectrogramHzPerRow(plot, frequencyLimit);
}

int SpectrogramYAtFrequency(const platform::Rect& plot, double frequencyLimit, double hz) {
    const double perRow = SpectrogramHzPerRow(plot, frequencyLimit);
    if (!(perRow > 0.0) || !(hz >= perRow))
        return plot.bottom - 1;
    const double rows = hz / perRow;
    if (rows >= plot.Height())
        return plot.top;
    return plot.bottom - static_cast<int>(rows);
}

}  // namespace vocomet
