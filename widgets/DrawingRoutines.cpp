#include "widgets/DrawingRoutines.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>
#include <algorithm>
#include <cmath>
#include <functional>
#include <vector>

#include "app/WaveformColumns.h"
#include "widgets/QtText.h"
#include "platform/File.h"
#include "platform/Pixels.h"
#include "widgets/PixelRects.h"

namespace vocomet {

namespace {

using platform::Trunc;

// Saves the painter's state and draws unsmoothed, as pixel tests expect.
class PainterState {
public:
    explicit PainterState(QPainter& dc) : m_dc(dc) {
        m_dc.save();
        m_dc.setRenderHint(QPainter::Antialiasing, false);
        m_dc.setBrush(Qt::NoBrush);
        m_dc.setBackgroundMode(Qt::TransparentMode);
    }
    ~PainterState() { m_dc.restore(); }
    PainterState(const PainterState&) = delete;
    PainterState& operator=(const PainterState&) = delete;

private:
    QPainter& m_dc;
};

// Square caps: a 1-pixel polyline then paints both of its end points, as a
// trace needs for its first and last column.
QPen SolidPen(platform::ColorRef colour, int width, Qt::PenCapStyle cap = Qt::SquareCap) {
    return QPen(ToQColor(colour), std::max(1, width), Qt::SolidLine, cap, Qt::MiterJoin);
}

QPen DashedPen(platform::ColorRef colour, int width = 1) {
    QPen pen(ToQColor(colour), std::max(1, width), Qt::DashLine, Qt::FlatCap, Qt::MiterJoin);
    return pen;
}

// An "Arial" font of weight 400 whose cell is as high as a line of text in
// `reference` (the measured height of "X" or "0" is the font's cell height);
// a sans font stands in when Arial is not installed.
QFont ArialAsHighAs(const QFont& reference) {
    platform::LogFontA lf;
    lf.height = std::max(1, QFontMetrics(reference).height());
    lf.weight = 400;
    lf.faceName = "Arial";
    return ToQFont(lf);
}

// Writes text with its top-left corner at (x, top).
void TextAt(QPainter& dc, int x, int top, const QString& text) {
    dc.drawText(x, top + dc.fontMetrics().ascent(), text);
}

// --- traces -------------------------------------------------------------

// Where a trace's samples come from.
struct TraceSource {
    // Samples first .. first + count - 1 as doubles (fewer at the end).
    std::function<void(std::int64_t first, std::size_t count, std::vector<double>& out)> read;
    std::function<void(const WaveformColumns& columns, std::vector<ColumnExtent>& out)> extents;
};

template <typename T>
TraceSource MemorySource(std::span<const T> samples) {
    return {[samples](std::int64_t first, std::size_t count, std::vector<double>& out) {
                const auto n = static_cast<std::int64_t>(samples.size());
                const std::int64_t end = std::min<std::int64_t>(n, first + static_cast<std::int64_t>(count));
                const std::int64_t lo = std::clamp<std::int64_t>(first, 0, n);
                out.assign(samples.begin() + lo, samples.begin() + std::max(lo, end));
            },
            [samples](const WaveformColumns& c, std::vector<ColumnExtent>& out) {
                ScanColumnExtents(samples, c, out);
            }};
}

TraceSource FileSource(const platform::File& file, int channelsPerFrame, int channel) {
    return {[&file, channelsPerFrame, channel](std::int64_t first, std::size_t count, std::vector<double>& out) {
                std::vector<float> values;
                ReadChannelSamples(file, channelsPerFrame, channel, first, count, values);
                out.assign(values.begin(), values.end());
            },
            [&file, channelsPerFrame, channel](const WaveformColumns& c, std::vector<ColumnExtent>& out) {
                ScanColumnExtents(file, channelsPerFrame, channel, c, out);
            }};
}

// Repeated points are left out: the raster engine would drop the last pixel
// of a polyline that ends on a repeated point.
void AddPoint(QPolygon& path, QPoint point) {
    if (path.isEmpty() || path.back() != point)
        path << point;
}

// Draws what a trace's samples came to: a polyline through every sample of
// a short window, two points per column (its maximum, then its minimum)
// otherwise.
void DrawValues(QPainter& dc, const TraceValues& t, double scale, double fraction, const QRect& rect,
                const QPen& tracePen, bool drawReference, double referenceValue,
                platform::ColorRef referenceColour) {
    const int w = rect.width();
    const int left = rect.x();
    const int b = BottomOf(rect);
    const int m = Trunc(rect.height() * fraction);
    auto yOf = [&](double v) { return b - Trunc(v * scale) - m; };

    PainterState state(dc);
    if (drawReference) {
        dc.setPen(DashedPen(referenceColour));
        const int y = yOf(referenceValue);
        dc.drawLine(left, y, RightOf(rect), y);
    }
    if (t.columns.IsEmpty() || t.columns.Width() != w)
        return;
    dc.setPen(tracePen);
    const double start = t.windowStart;
    const double n = t.windowEnd - t.windowStart;
    QPolygon path;
    if (t.perSample) {
        path.reserve(static_cast<int>(t.values.size()));
        for (std::size_t j = 0; j < t.values.size(); ++j) {
            const double i = static_cast<double>(t.firstSample + static_cast<std::int64_t>(j));
            AddPoint(path, QPoint(left + Trunc((i - start) * w / n), yOf(t.values[j])));
        }
    } else {
        path.reserve(2 * w);
        for (int p = 0; p < w && p < static_cast<int>(t.extents.size()); ++p) {
            const ColumnExtent& e = t.extents[static_cast<std::size_t>(p)];
            if (e.empty)
                continue;
            const int y1 = yOf(e.max);
            const int y2 = yOf(e.min);
            // With a negative scale the maximum lies lower; the stroke is the same.
            AddPoint(path, QPoint(left + p, std::min(y1, y2)));
            AddPoint(path, QPoint(left + p, std::max(y1, y2)));
        }
    }
    if (path.size() > 1)
        dc.drawPolyline(path);
    if (!path.isEmpty())
        dc.drawPoint(path.back());
}

void DrawTrace(QPainter& dc, const TraceSource& source, double start, double end, double scale, double fraction,
               const QRect& rect, const QPen& tracePen, bool drawReference, double referenceValue,
               platform::ColorRef referenceColour) {
    TraceValues t;
    t.windowStart = start;
    t.windowEnd = end;
    t.columns = WaveformColumns(start, end, rect.width());
    if (!t.columns.IsEmpty()) {
        t.perSample = t.columns.SamplesPerPixel() < 4.0;
        if (t.perSample) {
            t.firstSample = t.columns.Boundary(0);
            source.read(t.firstSample, static_cast<std::size_t>(t.columns.Boundary(rect.width()) - t.firstSample),
                        t.values);
        } else {
            source.extents(t.columns, t.extents);
        }
    }
    DrawValues(dc, t, scale, fraction, rect, tracePen, drawReference, referenceValue, referenceColour);
}

// The first of these steps that divides the range into at most 30 parts.
int AutomaticTimeStep(double range) {
    static constexpr int kSteps[] = {1,    2,    5,    10,    25,    50,    75,    100,   250,   500,
                                     750,  1000, 2500, 5000,  7500,  10000, 25000, 50000, 75000, 100000};
    for (int s : kSteps)
        if (std::floor(range / s) <= 30.0)
            return s;
    return 100000;
}

}  // namespace

void DrawWaveformBuffer(QPainter& dc, const platform::File* dataFile, int channelsPerFrame, int channel,
                        const platform::FloatBlock* samples, double windowStart, double windowEnd,
                        double amplitudeScale, double baselineFraction, const QRect& rect,
                        platform::ColorRef traceColour, double referenceValue, bool drawReference,
                        platform::ColorRef referenceColour) {
    TraceSource source;
    if (samples && !samples->IsNull())
        source = MemorySource(std::span<const float>(samples->data(), samples->size()));
    else if (dataFile && dataFile->IsOpen())
        source = FileSource(*dataFile, channelsPerFrame, channel);
    else
        source = MemorySource(std::span<const float>());
    DrawTrace(dc, source, windowStart, windowEnd, amplitudeScale, baselineFraction, rect, SolidPen(traceColour, 1),
              drawReference, referenceValue, referenceColour);
}

void DrawChannelWaveform(QPainter& dc, const ChannelWaveform& c) {
    if (c.samples && !c.samples->IsNull()) {
        DrawWaveformBuffer(dc, nullptr, c.channelsPerFrame, c.channel, c.samples, c.windowStart, c.windowEnd,
                           c.amplitudeScale, c.baselineFraction, c.rect, c.traceColour, c.referenceValue,
                           c.drawReference, c.referenceColour);
        return;
    }
    // Open for this call only; the file object closes it on every way out.
    const platform::File file(c.filePath, platform::File::Mode::Read);
    DrawWaveformBuffer(dc, &file, c.channelsPerFrame, c.channel, nullptr, c.windowStart, c.windowEnd,
                       c.amplitudeScale, c.baselineFraction, c.rect, c.traceColour, c.referenceValue,
                       c.drawReference, c.referenceColour);
}

void DrawWaveformValues(QPainter& dc, const TraceValues& values, double amplitudeScale, double baselineFraction,
                        const QRect& rect, platform::ColorRef traceColour, int penWidth, double referenceValue,
                        bool drawReference, platform::ColorRef referenceColour) {
    DrawValues(dc, values, amplitudeScale, baselineFraction, rect, SolidPen(traceColour, penWidth), drawReference,
               referenceValue, referenceColour);
}

void DrawDoubleCurve(QPainter& dc, std::span<const double> values, double windowStart, double windowEnd,
                     double amplitudeScale, double baselineFraction, const QRect& rect, bool drawReference,
                     platform::ColorRef referenceColour, double referenceValue, platform::ColorRef traceColour) {
    DrawTrace(dc, MemorySource(values), windowStart, windowEnd, amplitudeScale, baselineFraction, rect,
              SolidPen(traceColour, 2), drawReference, referenceValue, referenceColour);
}

std::vector<AxisLabel> ValueAxisLabels(const QRect& rect, double lowest, double highest, double step,
                                       int orientation, const QString& unit, const QFontMetrics& fm,
                                       const QRect& bounds) {
    std::vector<AxisLabel> labels;
    const double span = highest - lowest;
    if (!(std::isfinite(span) && span > 0.0 && std::isfinite(step) && step > 0.0) ||
        (orientation != kValueAxisLeft && orientation != kValueAxisBottom))
        return labels;
    const int left = rect.x(), bottom = BottomOf(rect);
    // More lines than pixels would only overdraw each other.
    const int extent = orientation == kValueAxisLeft ? rect.height() : rect.width();
    const int steps = static_cast<int>(std::min(std::floor(span / step), static_cast<double>(extent) + 1.0));
    const int gap = std::max(1, fm.horizontalAdvance(QLatin1Char(' ')));
    // The unit text stands where the lowest value of the bottom axis would be.
    int previousEnd = orientation == kValueAxisBottom ? left + fm.horizontalAdvance(unit) : 0;
    bool first = true;
    for (int i = orientation == kValueAxisLeft ? 0 : 1; i <= steps; ++i) {
        const QString text = QString::number(Trunc(lowest + i * step));
        const int w = fm.horizontalAdvance(text);
        QRect ink;
        if (orientation == kValueAxisLeft) {
            const int y = bottom - Trunc(i * step * rect.height() / span);
            ink = QRect(left - 5 - w, y - fm.height() / 2, w, fm.height());
            // Upwards: this label's bottom must clear the previous one's top.
            if (!first && BottomOf(ink) > previousEnd)
                continue;
        } else {
            const int x = left + Trunc(i * step * rect.width() / span);
            ink = QRect(x - w / 2, bottom, w, fm.height());
            if (ink.x() - previousEnd < gap)
                continue;
        }
        if (!bounds.isEmpty() && !bounds.contains(ink))
            continue;
        labels.push_back({text, ink.topLeft(), ink});
        previousEnd = orientation == kValueAxisLeft ? ink.y() : RightOf(ink);
        first = false;
    }
    return labels;
}

void DrawValueAxis(QPainter& dc, const QRect& rect, double lowest, double highest, double step, int orientation,
                   const QString& unit, bool useArial, const QFont& appFont) {
    PainterState state(dc);
    dc.setFont(useArial ? ArialAsHighAs(appFont) : appFont);
    const QFontMetrics fm = dc.fontMetrics();
    const int left = rect.x(), top = rect.y(), right = RightOf(rect), bottom = BottomOf(rect);
    const double span = highest - lowest;
    const QPen textPen(Qt::black);

    if (std::isfinite(span) && span > 0.0 && std::isfinite(step) && step > 0.0 &&
        (orientation == kValueAxisLeft || orientation == kValueAxisBottom)) {
        const int extent = orientation == kValueAxisLeft ? rect.height() : rect.width();
        const int steps = static_cast<int>(std::min(std::floor(span / step), static_cast<double>(extent) + 1.0));
        dc.setPen(DashedPen(platform::Rgb(200, 200, 200)));
        for (int i = orientation == kValueAxisLeft ? 0 : 1; i <= steps; ++i) {
            if (orientation == kValueAxisLeft) {
                const int y = bottom - Trunc(i * step * rect.height() / span);
                dc.drawLine(left, y, right, y);
            } else {
                const int x = left + Trunc(i * step * rect.width() / span);
                dc.drawLine(x, top, x, bottom);
            }
        }
    }
    dc.setPen(textPen);
    for (const AxisLabel& label : ValueAxisLabels(rect, lowest, highest, step, orientation, unit, fm, dc.viewport()))
        TextAt(dc, label.at.x(), label.at.y(), label.text);
    if (orientation == kValueAxisBottom)
        TextAt(dc, left, bottom, unit);  // where the lowest value would be labelled
    else
        TextAt(dc, left - 5 - fm.horizontalAdvance(unit), bottom + fm.height() / 2 + 2, unit);
}

int MinimumGridGap(const QPainter& dc) {
    const QPaintDevice* device = dc.device();
    const int dpi = device ? device->logicalDpiX() : 96;
    return std::max(4, 4 * dpi / 96);
}

int ThinnedTimeStep(int stepMs, double spanMs, int widthPx, int minGapPx) {
    if (stepMs <= 0 || !(spanMs > 0.0) || !std::isfinite(spanMs) || widthPx <= 0)
        return stepMs;
    const double perMs = widthPx / spanMs;
    for (long long decade = 1; decade <= 1000000000LL; decade *= 10)
        for (long long k : {1LL, 2LL, 5LL}) {
            const long long step = stepMs * k * decade;
            if (step > 2147483647LL)
                return 2147483647;
            if (step * perMs >= minGapPx)
                return static_cast<int>(step);
        }
    return stepMs;
}

namespace {

// The ticks of a time axis: tick i (1 .. count) at time first + i x step.
struct TimeTicks {
    int step = 0;
    double count = 0.0;
    double first = 0.0;
    double startMs = 0.0;
    double perMs = 0.0;  // pixels per ms
    int left = 0;

    int XOf(double i) const { return left + Trunc((i * step + first - startMs) * perMs); }

    // Visits (i, x) for the ticks left of `limit`. Ticks only grow to the
    // right, so the walk ends at the limit, and where ticks lie closer than a
    // pixel it jumps to the first tick of the next pixel column: a huge range
    // with a small step costs what the width costs.
    template <typename Visit>
    void ForEach(int limit, Visit&& visit) const {
        for (double i = 1; i <= count;) {
            const int x = XOf(i);
            if (x >= limit)
                break;
            visit(i, x);
            const double nextPixel = std::ceil(((x + 1 - left) / perMs + startMs - first) / step) - 1.0;
            i = std::max(i + 1.0, nextPixel);
        }
    }
};

// False when the range or the rectangle leaves nothing to draw.
bool TimeTicksOf(const QRect& rect, double startMs, double endMs, int stepMs, TimeTicks& ticks) {
    const double range = endMs - startMs;
    if (!std::isfinite(startMs) || !std::isfinite(range) || range <= 0.0 || rect.width() <= 0)
        return false;
    ticks.step = stepMs;
    if (ticks.step > 0) {
        ticks.count = std::floor(range / ticks.step) + 1.0;
    } else {
        ticks.step = AutomaticTimeStep(range);
        ticks.count = 30.0;
    }
    ticks.first = ticks.step * std::floor(startMs / ticks.step);
    ticks.startMs = startMs;
    ticks.perMs = rect.width() / range;
    ticks.left = rect.x();
    return true;
}

QString TimeUnit() { return QStringLiteral("(ms)"); }

}  // namespace

std::vector<TimeAxisLabel> TimeAxisLabels(const QRect& rect, double startMs, double endMs, int stepMs,
                                          bool relativeLabels, const QFontMetrics& fm) {
    std::vector<TimeAxisLabel> labels;
    TimeTicks ticks;
    if (!TimeTicksOf(rect, startMs, endMs, stepMs, ticks))
        return labels;
    const int left = rect.x(), right = RightOf(rect);
    const int top = BottomOf(rect) + fm.height() / 2;
    // Labels keep at least a blank's width between them.
    const int gap = std::max(1, fm.horizontalAdvance(QLatin1Char(' ')));
    int previousEnd = left - gap;
    if (relativeLabels) {
        // The unit text stands first on the row.
        const QString unit = TimeUnit();
        previousEnd = left + fm.height() / static_cast<int>(unit.size()) + fm.horizontalAdvance(unit);
    }
    // A tick at or right of the right edge cannot have its whole label inside.
    ticks.ForEach(right, [&](double i, int x) {
        const double value = relativeLabels ? i * ticks.step : i * ticks.step + ticks.first;
        const QString text = QString::asprintf("%5.0f", static_cast<double>(static_cast<float>(value)));
        const int textX = x - fm.horizontalAdvance(text) / 2;
        // The padding blanks may stick out; the characters must fit.
        qsizetype blanks = 0;
        while (blanks < text.size() && text[blanks] == QLatin1Char(' '))
            ++blanks;
        const int inkLeft = textX + fm.horizontalAdvance(text.left(blanks));
        const int inkRight = textX + fm.horizontalAdvance(text);
        if (inkLeft < left || inkRight > right || inkLeft - previousEnd < gap)
            return;
        labels.push_back({text, QPoint(textX, top), QRect(inkLeft, top, inkRight - inkLeft, fm.height())});
        previousEnd = inkRight;
    });
    return labels;
}

void DrawTimeAxis(QPainter& dc, const QRect& rect, int tickLength, bool gridLines, double startMs, double endMs,
                  int stepMs, bool relativeLabels, const QFont& appFont, platform::ColorRef gridColour) {
    TimeTicks ticks;
    if (!TimeTicksOf(rect, startMs, endMs, stepMs, ticks))
        return;
    PainterState state(dc);
    const int left = rect.x(), top = rect.y(), right = RightOf(rect), bottom = BottomOf(rect);
    const int baseline = bottom - tickLength;

    // Every tick keeps its line, also where its label is left out.
    dc.setPen(DashedPen(gridColour));
    ticks.ForEach(right, [&](double, int x) {
        if (x <= left)
            return;
        if (gridLines)
            dc.drawLine(x, baseline, x, top);
        else
            dc.drawLine(x, baseline, x, baseline - tickLength / 2);
    });

    dc.setFont(relativeLabels ? ArialAsHighAs(appFont) : appFont);
    const QFontMetrics fm = dc.fontMetrics();
    dc.setPen(QPen(Qt::black));
    for (const TimeAxisLabel& label : TimeAxisLabels(rect, startMs, endMs, stepMs, relativeLabels, fm))
        TextAt(dc, label.at.x(), label.at.y(), label.text);
    if (relativeLabels) {
        const QString unit = TimeUnit();
        TextAt(dc, left + fm.height() / static_cast<int>(unit.size()), bottom + fm.height() / 2, unit);
    }
}

std::vector<AxisLabel> SpectrumPanelLabels(const SpectrumPanel& s, const QFontMetrics& fm) {
    std::vector<AxisLabel> labels;
    const QRect& r = s.rect;
    const int left = r.x(), top = r.y(), right = RightOf(r), bottom = BottomOf(r);
    if (r.width() <= 0 || r.height() <= 0)
        return labels;
    const int factor = std::max(1, s.penWidthFactor);
    const int gap = std::max(1, fm.horizontalAdvance(QLatin1Char(' ')));
    if (s.frequencyGrid && s.frequencyStep > 0 && s.topFrequency > 0) {
        int previousEnd = left - gap;
        for (long long f = s.frequencyStep; f <= s.topFrequency; f += s.frequencyStep) {
            const int x = left + Trunc(static_cast<double>(f) * r.width() / s.topFrequency);
            if (x > right - 10 * factor)
                break;
            const QString text = QString::number(f);
            const int w = fm.horizontalAdvance(text);
            const QRect ink(x - w / 2, bottom + 2, w, fm.height());
            if (ink.x() - previousEnd < gap)
                continue;  // close steps: every second, third ... label
            labels.push_back({text, ink.topLeft(), ink});
            previousEnd = RightOf(ink);
        }
    }
    const double levelSpan = s.maxLevel - s.minLevel;
    if (s.levelGrid && s.levelStep > 0 && std::isfinite(levelSpan) && levelSpan > 0.0) {
        int previousBottom = top - fm.height();
        for (int i = 1;; ++i) {
            const double level = static_cast<double>(i) * s.levelStep;
            const int y = top + Trunc(level * r.height() / levelSpan);
            if (y >= bottom)
                break;
            const QString text = s.levelsAboveBottom ? QString::number(Trunc(levelSpan - level))
                                                     : QString::asprintf(s.levelMode == 0 ? "-%d" : "%d", Trunc(level));
            const int w = fm.horizontalAdvance(text);
            const QRect ink(left - 5 - w, y - fm.height() / 2, w, fm.height());
            if (ink.y() < previousBottom)
                continue;
            labels.push_back({text, ink.topLeft(), ink});
            previousBottom = BottomOf(ink);
        }
    }
    return labels;
}

void DrawSpectrumPanel(QPainter& dc, const SpectrumPanel& s, const QFont& appFont) {
    const QRect& r = s.rect;
    const int left = r.x(), top = r.y(), right = RightOf(r), bottom = BottomOf(r);
    const int width = r.width(), height = r.height();
    if (width <= 0 || height <= 0)
        return;
    PainterState state(dc);
    dc.setFont(appFont);
    const QFontMetrics fm = dc.fontMetrics();
    const int factor = std::max(1, s.penWidthFactor);
    const double levelSpan = s.maxLevel - s.minLevel;
    const bool levelsMapped = std::isfinite(levelSpan) && levelSpan != 0.0;
    const platform::ColorRef gridColour = s.print ? platform::Rgb(0xAA, 0xAA, 0xAA) : 0;

    // Point i of a curve, or nothing when the buffer does not hold it.
    auto yOf = [&](std::span<const double> levels, int i, int& y) {
        const long long at = static_cast<long long>(s.firstIndex) + i;
        if (at < 0 || at >= static_cast<long long>(levels.size()))
            return false;
        double v = levels[static_cast<std::size_t>(at)];
        if (s.levelMode == 1)
            v += s.levelScale + 20.0;
        y = std::clamp(bottom - Trunc(v * height / levelSpan), top, bottom);
        return true;
    };

    if (s.count > 0 && levelsMapped) {
        if (s.curve1On) {
            dc.setPen(SolidPen(s.colour1, s.penWidth1 * factor));
            QPolygon path;
            for (int i = 5; i < s.count; ++i) {
                int y = 0;
                if (yOf(s.levels, i, y))
                    path << QPoint(left + Trunc(static_cast<double>(i) * width / s.count), y);
            }
            if (path.size() > 1)
                dc.drawPolyline(path);
        }
        if (s.curve2On) {
            const std::span<const double> levels = s.levels2.empty() ? s.levels : s.levels2;
            dc.setPen(SolidPen(s.colour2, s.penWidth2 * factor));
            QPolygon path;
            for (int p = 0; p < width; ++p) {
                const int i = Trunc(static_cast<double>(p) * s.count / width);
                int y = 0;
                if (i >= 5 && yOf(levels, i, y))
                    path << QPoint(left + p, y);
            }
            if (path.size() > 1)
                dc.drawPolyline(path);
        }
    }

    if (s.frequencyGrid && s.frequencyStep > 0 && s.topFrequency > 0) {
        dc.setPen(DashedPen(gridColour, factor));
        for (long long f = s.frequencyStep; f <= s.topFrequency; f += s.frequencyStep) {
            const int x = left + Trunc(static_cast<double>(f) * width / s.topFrequency);
            if (x > right - 10 * factor)
                break;
            dc.drawLine(x, top, x, bottom);
        }
        const QString hz = QStringLiteral("Hz");
        dc.setPen(QPen(Qt::black));
        TextAt(dc, left - fm.horizontalAdvance(hz) - 2, bottom + 2, hz);
    }
    if (s.levelGrid && s.levelStep > 0 && levelsMapped && levelSpan > 0.0) {
        dc.setPen(DashedPen(gridColour, factor));
        for (int i = 1;; ++i) {
            const int y = top + Trunc(static_cast<double>(i) * s.levelStep * height / levelSpan);
            if (y >= bottom)
                break;
            dc.drawLine(left, y, right, y);
        }
    }
    dc.setPen(QPen(Qt::black));
    for (const AxisLabel& label : SpectrumPanelLabels(s, fm))
        TextAt(dc, label.at.x(), label.at.y(), label.text);

    if (s.title) {
        const QString label = QString::number(Trunc(s.maxLevel));
        dc.setPen(QPen(Qt::black));
        TextAt(dc, left - 5 - fm.horizontalAdvance(QStringLiteral("9999")), top - fm.height() / 2, label);
    }
}

void DrawFormantDots(QPainter& dc, std::span<const FormantFrame> frames, const QRect& rect, double topFrequency,
                     int dotSize) {
    if (frames.empty() || !(topFrequency > 0.0))
        return;
    PainterState state(dc);
    dc.setPen(Qt::NoPen);
    dc.setBrush(ToQColor(platform::Rgb(255, 0, 0)));
    const int top = rect.y(), bottom = BottomOf(rect);
    const int size = 4 * std::max(0, dotSize);
    const double count = static_cast<double>(frames.size());
    for (std::size_t i = 0; i < frames.size(); ++i) {
        const int x = rect.x() + Trunc(static_cast<double>(i) * rect.width() / count);
        for (std::int16_t f : frames[i]) {
            if (f <= 50)
                continue;
            const int y = bottom - Trunc(f * rect.height() / topFrequency);
            if (y > top && y < bottom)
                dc.drawEllipse(QRect(x, y, size, size));
        }
    }
}

void DrawValueDots(QPainter& dc, std::span<const double> values, double first, double end, int left, int bottom,
                   int height, int width, double upper, double lower, int dotSize, platform::ColorRef colour) {
    const double span = end - first;
    const double range = upper - lower;
    if (!(span > 0.0) || !(range > 0.0) || !std::isfinite(first) || !std::isfinite(end))
        return;
    PainterState state(dc);
    dc.setPen(Qt::NoPen);
    dc.setBrush(ToQColor(colour));
    const int size = 4 * std::max(0, dotSize);
    const long long from = std::max<long long>(0, static_cast<long long>(first));
    const long long to = std::min<long long>(static_cast<long long>(values.size()), static_cast<long long>(end));
    const long long origin = static_cast<long long>(first);
    for (long long i = from; i < to; ++i) {
        const double v = values[static_cast<std::size_t>(i)];
        if (!(v > lower && v < upper))
            continue;
        const int x = left + Trunc(static_cast<double>(i - origin) * width / span);
        const int y = bottom - Trunc((v - lower) * height / range);
        dc.drawEllipse(QRect(x, y, size, size));
    }
}

void DrawGreySpectrogram(QPainter& dc, std::span<const std::span<const double>> columns, int binCount,
                         const QRect& rect, double range) {
    if (columns.empty() || binCount <= 0 || !(range > 0.0) || !std::isfinite(range))
        return;
    PainterState state(dc);
    const int cols = static_cast<int>(columns.size());
    const int w = std::max(1, rect.width() / cols);
    const int base = BottomOf(rect) - 2 * w;
    QPen pens[256];
    for (int i = 0; i < 256; ++i)
        pens[i] = SolidPen(platform::Rgb(static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(i),
                                         static_cast<std::uint8_t>(i)),
                           w, Qt::FlatCap);  // bins meet without overlapping
    for (int j = 0; j < cols; ++j) {
        const std::span<const double> column = columns[static_cast<std::size_t>(j)];
        const int x = rect.x() + 2 * w + Trunc(static_cast<double>(j) * rect.width() / cols);
        const int bins = std::min(binCount, static_cast<int>(column.size()));
        int y = base;
        for (int k = 0; k < bins; ++k) {
            const int next = base - Trunc(static_cast<double>(k) * rect.height() / binCount);
            const double v = column[static_cast<std::size_t>(k)];
            // Out-of-range levels take the nearest pen; a NaN level draws white.
            const int pen = std::isnan(v) ? 255 : std::clamp(Trunc(255.0 - v * 255.0 / range), 0, 255);
            if (next != y) {
                dc.setPen(pens[pen]);
                dc.drawLine(x, y, x, next);
            }
            y = next;
        }
    }
}

}  // namespace vocomet
