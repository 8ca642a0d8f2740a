#pragma once
// Drawing routines shared by the main view, printing and picture export, the
// analysis windows and the record forms. They hold no state and draw with the
// painter they are given on whatever surface it paints (widget, image,
// printer); pen, brush and font of the painter are restored on return.
//
// Rectangles follow the Windows convention of the rest of the system: the
// right edge is rect.left() + rect.width() and the bottom edge
// rect.top() + rect.height() (one past QRect::right() and QRect::bottom()).
// Colours are 0x00BBGGRR values.
//
// Trace mapping: with bottom edge b, height h, amplitude scale a (pixels per
// unit) and baseline fraction k, a value v is drawn at
// y = b - trunc(v x a) - trunc(h x k).

#include <QFont>
#include <QFontMetrics>
#include <QPoint>
#include <QRect>
#include <QString>
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "app/TraceFetcher.h"
#include "platform/SampleBlock.h"
#include "platform/WinTypes.h"

class QPainter;

namespace platform {
class File;
}

namespace vocomet {

// --- traces -------------------------------------------------------------
// Below 4 samples per pixel a polyline through every sample of the window;
// otherwise one vertical min/max stroke per pixel column, column p covering
// the samples floor(start + p x s) .. floor(start + (p + 1) x s) - 1
// (s = (end - start) / width). The optional reference line is dashed,
// 1 pixel, across the rectangle at the reference value.

// Samples from `samples` when it holds a block, otherwise channel `channel`
// of `dataFile` (interleaved 32-bit floats, channelsPerFrame per frame).
// Read errors of the file are passed on as platform::FileException.
void DrawWaveformBuffer(QPainter& dc, const platform::File* dataFile, int channelsPerFrame, int channel,
                        const platform::FloatBlock* samples, double windowStart, double windowEnd,
                        double amplitudeScale, double baselineFraction, const QRect& rect,
                        platform::ColorRef traceColour, double referenceValue, bool drawReference,
                        platform::ColorRef referenceColour);

// The items of a DrawChannelWaveform call.
struct ChannelWaveform {
    std::string filePath;  // read when there is no sample block
    int channelsPerFrame = 1;
    int channel = 0;
    const platform::FloatBlock* samples = nullptr;
    double windowStart = 0.0;
    double windowEnd = 0.0;
    double amplitudeScale = 1.0;
    double baselineFraction = 0.0;
    QRect rect;
    platform::ColorRef traceColour = 0;
    double referenceValue = 0.0;
    bool drawReference = false;
    platform::ColorRef referenceColour = 0;
};

// As DrawWaveformBuffer; without a sample block the file at filePath is
// opened for the call and closed again, also when drawing fails (the
// platform::FileException is passed on).
void DrawChannelWaveform(QPainter& dc, const ChannelWaveform& waveform);

// A trace whose samples were already read and reduced (TraceFetcher): the
// same pixels as DrawWaveformBuffer over the same samples. The values must
// have been fetched for rect.width() columns; otherwise only the reference
// line is drawn.
void DrawWaveformValues(QPainter& dc, const TraceValues& values, double amplitudeScale, double baselineFraction,
                        const QRect& rect, platform::ColorRef traceColour, int penWidth, double referenceValue,
                        bool drawReference, platform::ColorRef referenceColour);

// A curve of doubles from memory (velocity, acceleration), 2-pixel trace.
void DrawDoubleCurve(QPainter& dc, std::span<const double> values, double windowStart, double windowEnd,
                     double amplitudeScale, double baselineFraction, const QRect& rect, bool drawReference,
                     platform::ColorRef referenceColour, double referenceValue, platform::ColorRef traceColour);

// --- axes ---------------------------------------------------------------

// Orientation of DrawValueAxis.
inline constexpr int kValueAxisLeft = 1;    // horizontal grid lines, labels left of the rectangle
inline constexpr int kValueAxisBottom = 2;  // vertical grid lines, labels below the rectangle

// Light-grey dashed grid lines every step from the lowest value, "%d"
// labels (ValueAxisLabels, inside the painter's viewport) and the unit text
// at the bottom left; black text in appFont or, with useArial, an "Arial"
// font of weight 400 as high as "X" in appFont.
void DrawValueAxis(QPainter& dc, const QRect& rect, double lowest, double highest, double step, int orientation,
                   const QString& unit, bool useArial, const QFont& appFont);

// Time grid (gridLines) or ticks of tickLength / 2 standing on
// bottom - tickLength, for the times startMs .. endMs across the rectangle,
// every stepMs (0 or less: the first of 1, 2, 5, 10, 25 ... 100000 ms that
// gives at most 30 steps), with "%5.0f" labels below (TimeAxisLabels): times
// from the start of the range ("(ms)" written at the left, in an "Arial"
// font) or absolute times (in appFont). gridColour is the light grey of
// every grid line.
void DrawTimeAxis(QPainter& dc, const QRect& rect, int tickLength, bool gridLines, double startMs, double endMs,
                  int stepMs, bool relativeLabels, const QFont& appFont,
                  platform::ColorRef gridColour = platform::Rgb(200, 200, 200));

// A tick label of an axis: its text (for the time axis with the blanks of
// "%5.0f"), where that text is written (top-left) and the box its characters
// take.
struct AxisLabel {
    QString text;
    QPoint at;
    QRect ink;
};
using TimeAxisLabel = AxisLabel;

// The labels DrawValueAxis writes in the font of `fm`, from the lowest
// value up. A label is written only when its box lies whole inside `bounds`
// (an empty rectangle: anywhere) and clear of the label written before it
// (on the bottom axis, of the unit text where the lowest value would be);
// the grid lines of the others are still drawn. With close steps that keeps
// every second, third ... label, as the time axis does.
std::vector<AxisLabel> ValueAxisLabels(const QRect& rect, double lowest, double highest, double step,
                                       int orientation, const QString& unit, const QFontMetrics& fm,
                                       const QRect& bounds);

// The time grid spacing that keeps lines at least minGapPx apart: stepMs
// times the first of 1, 2, 5, 10, 20, 50 ... that does (stepMs itself when
// it is 0 or less, the automatic spacing, or the range is empty).
int ThinnedTimeStep(int stepMs, double spanMs, int widthPx, int minGapPx);
// The least distance between grid lines a reader still tells apart on the
// painter's surface: 4 pixels at 96 dots per inch, as much on a printer.
int MinimumGridGap(const QPainter& dc);
// The labels DrawTimeAxis writes in the font of `fm`, from left to right. A
// label is written only when its characters lie whole between the
// rectangle's left and right edges and at least a blank's width right of
// the previous label (or of the unit text); the others are left out, their
// ticks are still drawn.
std::vector<TimeAxisLabel> TimeAxisLabels(const QRect& rect, double startMs, double endMs, int stepMs,
                                          bool relativeLabels, const QFontMetrics& fm);

// --- analysis results ---------------------------------------------------

// The items of a DrawSpectrumPanel call.
struct SpectrumPanel {
    // Curve 1 is drawn point by point from index 5 on; curve 2 resampled to
    // one point per pixel column. Curve 2 takes curve 1's levels when
    // levels2 is empty. Point i (0 .. count - 1) is levels[firstIndex + i].
    std::span<const double> levels;
    std::span<const double> levels2;
    int firstIndex = 0;
    int count = 0;
    QRect rect;
    int penWidthFactor = 1;
    double levelScale = 0.0;  // level mode 1 shifts every level by levelScale + 20
    double maxLevel = 0.0;
    double minLevel = 0.0;
    platform::ColorRef colour1 = 0;
    platform::ColorRef colour2 = 0;
    int penWidth1 = 1;
    int penWidth2 = 1;
    int frequencyStep = 0;  // Hz
    int topFrequency = 0;   // Hz at the right edge
    int levelStep = 0;
    int levelMode = 0;  // 0 levels below the top ("-%d"), 1 shifted levels ("%d")
    bool curve1On = true;
    bool curve2On = false;
    bool frequencyGrid = false;
    bool levelGrid = false;
    bool title = false;  // the top level written left of the rectangle's top
    bool print = false;  // grey grid; black grid on screen
    // Level labels: with levelMode 0 normally the distance below the top
    // ("-%d"); with levelsAboveBottom the level above the bottom, the
    // distance (maxLevel - minLevel) less that ("%d"), which is what a
    // curve point of that height measures.
    bool levelsAboveBottom = false;
};
// Curves are drawn in colour1 and colour2 on every surface. Frequency and
// level labels that would overlap the one written before them are left
// out (their grid lines stay).
void DrawSpectrumPanel(QPainter& dc, const SpectrumPanel& panel, const QFont& appFont);
// The frequency labels (below the rectangle, left to right) and level
// labels (left of it, top down) DrawSpectrumPanel writes in the font of fm.
std::vector<AxisLabel> SpectrumPanelLabels(const SpectrumPanel& panel, const QFontMetrics& fm);

// Five formant frequencies in Hz of one analysis frame; empty slots are -1.
using FormantFrame = std::array<std::int16_t, 5>;

// Red dots 4 x dotSize across from (left + trunc(i x width / count), y) for
// every value above 50 Hz whose y = bottom - trunc(f x height / topFrequency)
// lies strictly inside the rectangle.
void DrawFormantDots(QPainter& dc, std::span<const FormantFrame> frames, const QRect& rect, double topFrequency,
                     int dotSize);

// Dots 4 x dotSize across for values[i], i from trunc(first) up to
// trunc(end) - 1, that lie strictly between lower and upper.
void DrawValueDots(QPainter& dc, std::span<const double> values, double first, double end, int left, int bottom,
                   int height, int width, double upper, double lower, int dotSize, platform::ColorRef colour);

// One column per block, bin k of a column from bottom up, in grey level
// trunc(255 - value x 255 / range) clamped to 0..255 (stronger = darker).
void DrawGreySpectrogram(QPainter& dc, std::span<const std::span<const double>> columns, int binCount,
                         const QRect& rect, double range);

}  // namespace vocomet
