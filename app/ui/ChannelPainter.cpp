#include "app/ui/ChannelPainter.h"

#include <QFontMetrics>
#include <QPaintDevice>
#include <QPainter>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <vector>

#include "app/TraceFetcher.h"
#include "app/ZoomScroll.h"
#include "widgets/DrawingRoutines.h"
#include "widgets/QtText.h"
#include "core/COrielDoc.h"
#include "platform/File.h"
#include "platform/Pixels.h"
#include "widgets/PixelRects.h"

namespace vocomet {

namespace {

constexpr platform::ColorRef kBlack = 0x000000;
constexpr platform::ColorRef kRed = 0x0000FF;
constexpr platform::ColorRef kGreen = 0x00FF00;
constexpr platform::ColorRef kBlue = 0xFF0000;
// Surfaces wider than this are printer pages: marks scale with the text.
constexpr int kScreenWidthLimit = 2000;
using platform::Trunc;

std::string Format(const char* format, double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, value);
    return buffer;
}

std::string FormatInt(long long value) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%lld", value);
    return buffer;
}

std::string TrimLeading(std::string s) {
    const std::size_t first = s.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : s.substr(first);
}

long long TruncToInteger(double v) {
    if (!std::isfinite(v))
        return 0;
    return static_cast<long long>(std::clamp(v, -9.0e18, 9.0e18));
}

// Writes text with its top-left corner at (x, top).
void TextAt(QPainter& dc, int x, int top, const QString& text) {
    dc.drawText(x, top + dc.fontMetrics().ascent(), text);
}

// Writes text so that it ends `gap` pixels left of `right`, its top at top;
// a text wider than the margin starts at the surface's left edge instead of
// losing its first digits.
void TextEndingAt(QPainter& dc, int right, int gap, int top, const std::string& text) {
    const QString t = FromCp1252(text);
    TextAt(dc, std::max(0, right - gap - dc.fontMetrics().horizontalAdvance(t)), top, t);
}

// The font and the half bar height of the mark routines.
struct MarkStyle {
    QFont font;
    int half = 5;
};

MarkStyle MarkStyleFor(QPainter& dc, const QFont& appFont) {
    MarkStyle style{appFont, 5};
    const QPaintDevice* device = dc.device();
    if (device && device->width() > kScreenWidthLimit) {
        QFont arial(QStringLiteral("Arial"));
        arial.setWeight(QFont::Normal);
        arial.setPixelSize(std::max(1, QFontMetrics(appFont).height()));
        style.font = arial;
        style.half = std::max(1, QFontMetrics(arial).height() / 2);
    }
    return style;
}

struct MarkPoint {
    int dx = 0;  // x offset from the rectangle's left
    int y = 0;
    double scaled = 0.0;  // value x scale
};

MarkPoint Map(const MarkMapping& map, double index, double value) {
    const double span = map.windowEnd - map.windowStart;
    MarkPoint p;
    p.dx = span != 0.0 ? Trunc((index - map.windowStart) * map.rect.width() / span) : 0;
    p.scaled = value * map.scale;
    p.y = map.rect.y() + map.rect.height() - Trunc(p.scaled) - map.offset;
    return p;
}

void Bar(QPainter& dc, const MarkMapping& map, int dx, int y, int halfWidth, int half, const QColor& colour) {
    dc.fillRect(QRect(map.rect.x() + dx - halfWidth, y - half, 2 * halfWidth, 2 * half), colour);
}

// Keeps what is drawn for a strip's data inside the strip (intersected with
// any clip the caller set): a value beyond the scale must not draw over the
// neighbouring channel.
class StripClip {
public:
    StripClip(QPainter& dc, const QRect& strip) : m_dc(dc) {
        m_dc.save();
        m_dc.setClipRect(strip, Qt::IntersectClip);
    }
    ~StripClip() { m_dc.restore(); }
    StripClip(const StripClip&) = delete;
    StripClip& operator=(const StripClip&) = delete;

private:
    QPainter& m_dc;
};

}  // namespace

// ---- scale rules ----

ScaleLabels ScaleLabelsOf(const CChannels& ch) {
    ScaleLabels labels;
    const int bits = std::clamp(ch.bits, 0, 62);
    const long long full = static_cast<long long>(std::ldexp(1.0, bits));
    const long long half = full / 2;
    switch (ch.scaleMode) {
    case 0:
        labels.top = TrimLeading(Format("%10.2f", static_cast<double>(TruncToInteger(half - ch.reference))));
        labels.bottom = TrimLeading(Format("%10.5f", static_cast<double>(TruncToInteger(-half - ch.reference))));
        break;
    case 1:
        labels.top = FormatInt(TruncToInteger(full - ch.reference));
        labels.bottom = FormatInt(TruncToInteger(0 - ch.reference));
        break;
    case 3:
        labels.top = TrimLeading(Format("%10.2f", ch.CalibrateValue(1.0)));
        labels.bottom = TrimLeading(Format("%10.2f", ch.CalibrateValue(-1.0)));
        break;
    default:
        break;
    }
    return labels;
}

// ---- EGG marks ----

void DrawSeriesMarks(QPainter& dc, const RecordList<ArrayData>& points, const MarkMapping& map,
                     platform::ColorRef colour, const QFont& appFont) {
    const MarkStyle style = MarkStyleFor(dc, appFont);
    const QColor c = ToQColor(colour);
    for (const ArrayData& point : points) {
        const MarkPoint p = Map(map, point.sampleIndex, point.amplitude);
        if (p.dx >= 0)
            Bar(dc, map, p.dx, p.y, 1, style.half, c);
    }
}

void DrawCurveWithScale(QPainter& dc, const RecordList<ArrayCycle>& cycles, const MarkMapping& map,
                        platform::ColorRef colour, const QFont& appFont) {
    const MarkStyle style = MarkStyleFor(dc, appFont);
    const QColor c = ToQColor(colour);
    dc.save();
    dc.setFont(style.font);
    dc.setPen(Qt::black);
    for (const ArrayCycle& cycle : cycles) {
        const MarkPoint rise = Map(map, cycle.criterionRise.sampleIndex, cycle.criterionRise.amplitude);
        if (!(rise.dx > 0 || rise.scaled > 0))
            continue;
        Bar(dc, map, rise.dx, rise.y, 1, style.half, c);
        const MarkPoint fall = Map(map, cycle.criterionFall.sampleIndex, cycle.criterionFall.amplitude);
        if (!(fall.dx > 0 || fall.scaled > 0))
            continue;
        Bar(dc, map, fall.dx, fall.y, 1, style.half, c);
        const double quotients[] = {cycle.cq, cycle.cqH, cycle.cqPM, cycle.cqHT};
        int top = map.rect.y();
        for (double q : quotients) {
            TextAt(dc, map.rect.x() + fall.dx, top, QString::fromStdString(Format("%5.3f", q)));
            top += 2 * style.half;
        }
    }
    dc.restore();
}

void DrawSeriesBars(QPainter& dc, const RecordList<ArrayCycle>& cycles, const MarkMapping& map,
                    platform::ColorRef colour, const QFont& appFont) {
    (void)appFont;  // these marks keep their size on every surface
    const QColor c = ToQColor(colour);
    for (const ArrayCycle& cycle : cycles) {
        for (const ArrayCycle::Point* point : {&cycle.rise10, &cycle.rise90, &cycle.fall90, &cycle.fall10}) {
            const MarkPoint p = Map(map, point->sampleIndex, point->amplitude);
            if (p.dx == 0 && p.scaled == 0.0)
                break;
            Bar(dc, map, p.dx, p.y, 1, 5, c);
        }
    }
}

void DrawDerivativeCurve(QPainter& dc, const RecordList<ArrayCycle>& cycles, const MarkMapping& map,
                         platform::ColorRef colour, const QFont& appFont) {
    const MarkStyle style = MarkStyleFor(dc, appFont);
    const QColor c = ToQColor(colour);
    dc.save();
    dc.setFont(style.font);
    dc.setPen(c);
    for (const ArrayCycle& cycle : cycles) {
        const MarkPoint p = Map(map, cycle.velocityMax.sampleIndex, cycle.velocityMax.value);
        const int x = map.rect.x() + p.dx + 1;
        dc.fillRect(QRect(x, p.y - style.half, 1, 2 * style.half), c);
        int top = p.y - style.half - 30;
        if (top < map.rect.y())
            top = map.rect.y();
        TextAt(dc, x, top, QString::fromStdString(Format("%5.1f", cycle.velocityMax.value)));
    }
    dc.restore();
}

// ---- painting ----

ChannelPainter::ChannelPainter(MinMaxSummaryCache* cache)
    : m_fetcher(std::make_unique<TraceFetcher>(cache)) {}

ChannelPainter::~ChannelPainter() = default;

void ChannelPainter::CloseIntensityFiles() {
    m_intensityFiles.clear();
}

const platform::File* ChannelPainter::IntensityFile(int slot, const std::string& path) {
    std::unique_ptr<platform::File>& f = m_intensityFiles[slot];
    if (f && f->IsOpen() && f->GetFilePath() == path)
        return f.get();
    f = std::make_unique<platform::File>();
    if (!f->Open(path, platform::File::Mode::Read)) {
        f.reset();
        return nullptr;
    }
    return f.get();
}

// What one channel is drawn into and with what, once its reads are fetched.
struct ChannelPainter::Target {
    int index = 0;
    QRect r;
    StripScale scale;
    int trace = -1;
    int intensity = -1;
};

// The differences between the screen and a picture.
struct ChannelPainter::ContentStyle {
    platform::ColorRef frame = kStripFrameColour;
    bool clickedFrame = false;  // the inner frame of the clicked channel
    QFont nameFont;
    int nameRight = 2;  // the name's top-left corner from the strip's
    int nameDown = 0;
    platform::ColorRef trace = kBlack;
    platform::ColorRef reference = kGridColour;
    std::array<platform::ColorRef, 5> series{kRed, kGreen, kBlue, kBlue, kBlue};
    platform::ColorRef cycleMarks = kCycleMarkColour;
    platform::ColorRef intensity = kBlue;
    platform::ColorRef velocity = kRed;
    platform::ColorRef acceleration = kBlue;
    // Scale labels and pane captions in the left margin (screen only); the
    // panes' value texts are written left of the strip in both, in
    // marginFont, and on the screen kept on the surface.
    bool scaleTexts = true;
    bool clampMarginTexts = true;
    QFont marginFont;
};

void ChannelPainter::FetchTargets(std::span<CChannels> channels, std::vector<Target>& targets) {
    TraceFetcher& fetcher = *m_fetcher;
    fetcher.Clear();
    double previousBaseline = 0.5;
    for (Target& s : targets) {
        CChannels& ch = channels[static_cast<std::size_t>(s.index)];
        s.scale = StripScaleOf(ch, s.r.height(), previousBaseline);
        previousBaseline = s.scale.baseline;
        if (s.r.width() <= 0)
            continue;
        TraceFetcher::Request t;
        t.windowStart = ch.shownStart;
        t.windowEnd = ch.shownEnd;
        t.width = s.r.width();
        t.slot = s.index;
        t.summary = ch.samplesSummary;
        if (ch.HasSamples()) {
            // The samples the channel holds: a block may carry a few more,
            // which would also make a summary made at load time look stale.
            t.memory = std::span<const float>(
                ch.samples.data(), static_cast<std::size_t>(std::max<std::int64_t>(ch.ReadableCount(), 0)));
            s.trace = fetcher.Add(t);
        } else if (ch.sourceFile && ch.sourceFile->IsOpen()) {
            t.file = ch.sourceFile.get();
            t.channelsPerFrame = std::max(ch.stride, 1);
            t.channel = std::max(ch.channelNumber - 1, 0);
            s.trace = fetcher.Add(t);
        }
        if (ch.intensityValid != 0 && ch.drawIntensity != 0 && ch.sampleCount > 0.0) {
            TraceFetcher::Request in;
            const double factor = ch.intensityCount / ch.sampleCount;
            in.windowStart = ch.shownStart * factor;
            in.windowEnd = ch.shownEnd * factor;
            in.width = s.r.width();
            in.slot = s.index;
            in.kind = MinMaxSummaryCache::Kind::Intensity;
            if (!ch.intensity.IsNull()) {
                in.memory = std::span<const float>(ch.intensity.data(), ch.intensity.size());
                s.intensity = fetcher.Add(in);
            } else if (const platform::File* f = IntensityFile(s.index, ch.intensityFilePath)) {
                in.file = f;
                s.intensity = fetcher.Add(in);
            }
        }
    }
    fetcher.Fetch();
    m_framesRead = fetcher.FramesRead();
    m_incomplete = fetcher.Incomplete();
}

void ChannelPainter::DrawTarget(QPainter& dc, CChannels& ch, const Target& s, const ContentStyle& style) {
    const TraceFetcher& fetcher = *m_fetcher;
    const QRect& r = s.r;
    const int h = r.height();
    const int bottom = r.y() + h;
    const double I = s.scale.split;
    const double k = s.scale.baseline;
    const double traceScale = s.scale.amplitude * I;
    const double traceFraction = k + s.scale.shift;

    // Frame, inner frame of the clicked channel, name.
    dc.setBrush(Qt::NoBrush);
    dc.setPen(QPen(ToQColor(style.frame), 1));
    if (r.width() > 0 && h > 0)
        dc.drawRect(r.adjusted(0, 0, -1, -1));
    if (style.clickedFrame && r.width() > 4 && h > 4) {
        dc.setPen(QPen(ToQColor(kClickedFrameColour), 1));
        dc.drawRect(r.adjusted(2, 2, -3, -3));
    }
    dc.setPen(ToQColor(kBlack));
    dc.setFont(style.nameFont);
    TextAt(dc, r.x() + style.nameRight, r.y() + style.nameDown, FromCp1252(ch.name));
    dc.setFont(style.marginFont);
    const QFontMetrics metrics(style.marginFont);
    const auto marginText = [&](int right, int gap, int top, const std::string& text) {
        if (style.clampMarginTexts) {
            TextEndingAt(dc, right, gap, top, text);
        } else {
            const QString t = FromCp1252(text);
            TextAt(dc, right - gap - metrics.horizontalAdvance(t), top, t);
        }
    };

    // The trace.
    if (s.trace >= 0) {
        const StripClip clip(dc, r);
        const TraceValues& t = fetcher.Result(s.trace);
        DrawWaveformValues(dc, t, traceScale, traceFraction, r, style.trace, 1, ch.reference, ch.drawReference != 0,
                           style.reference);
    } else if (ch.drawReference != 0 && r.width() > 0) {
        const StripClip clip(dc, r);
        TraceValues none;
        DrawWaveformValues(dc, none, traceScale, traceFraction, r, style.trace, 1, ch.reference, true,
                           style.reference);
    }

    // Scale labels in the left margin.
    if (style.scaleTexts) {
        const ScaleLabels labels = ScaleLabelsOf(ch);
        dc.setPen(ToQColor(kBlack));
        if (!labels.top.empty()) {
            marginText(r.x(), 5, r.y(), labels.top);
            const int textHeight = metrics.height();
            const int half = Trunc(h * I * 0.5);
            if (ch.scaleMode == 0)
                marginText(r.x(), 5, r.y() + 2 * half - textHeight, labels.bottom);
            else if (ch.scaleMode == 3)
                marginText(r.x(), 15, r.y() + 2 * half - textHeight, labels.bottom);
            else if (ch.scaleMode == 1)
                marginText(r.x(), 5, bottom - Trunc(h * traceFraction) - textHeight, labels.bottom);
        }
    }

    // EGG marks on the trace.
    {
        const StripClip clip(dc, r);
        const MarkMapping traceMap{ch.shownStart, ch.shownEnd, r, traceScale, Trunc(h * traceFraction)};
        if (ch.eggPoints2Valid != 0 && ch.eggPoints2Int != 0)
            DrawSeriesMarks(dc, ch.eggPoints2, traceMap, style.series[0], style.nameFont);
        if (ch.peaksValid != 0 && ch.drawPeaks != 0)
            DrawSeriesMarks(dc, ch.peaks, traceMap, style.series[1], style.nameFont);
        if (ch.valleysValid != 0 && ch.drawValleys != 0)
            DrawSeriesMarks(dc, ch.valleys, traceMap, style.series[2], style.nameFont);
        if (ch.eggPoints3Ints[0] != 0 && ch.eggPoints3Ints[1] != 0)
            DrawSeriesMarks(dc, ch.eggPoints3, traceMap, style.series[3], style.nameFont);
        if (ch.eggPoints4Ints[0] != 0 && ch.eggPoints4Ints[1] != 0)
            DrawSeriesMarks(dc, ch.eggPoints4, traceMap, style.series[4], style.nameFont);
        if (ch.cyclesValid != 0 && ch.drawThresholdMarks != 0) {
            DrawCurveWithScale(dc, ch.cycles, traceMap, style.cycleMarks, style.nameFont);
            DrawSeriesBars(dc, ch.cycles, traceMap, style.cycleMarks, style.nameFont);
        }
    }

    // Intensity over the whole strip, from 0 at its bottom.
    if (s.intensity >= 0) {
        const double range = ch.relativeIntensity != 0 ? ch.intensityMax - ch.intensityMin : ch.intensityMax;
        const double scale = range != 0.0 && std::isfinite(range) ? h / range : 0.0;
        const StripClip clip(dc, r);
        DrawWaveformValues(dc, fetcher.Result(s.intensity), scale, 0.0, r, style.intensity, 1, 0.0, false, kBlack);
    }

    // Velocity and acceleration panes below the trace. With both shown
    // the velocity takes the middle share and the acceleration the
    // bottom one, so the two curves do not overlap.
    const bool velocity = ch.velocityValid != 0 && ch.drawVelocity != 0 && !ch.velocity.IsNull();
    const bool acceleration = ch.accelerationValid != 0 && ch.drawAcceleration != 0 && !ch.acceleration.IsNull();
    auto pane = [&](const DoubleBlock& curve, double maximum, double minimum, double fraction,
                    platform::ColorRef colour, const char* title) -> MarkMapping {
        const double extent = 2.0 * std::max(std::fabs(maximum), std::fabs(minimum));
        const double scale = extent > 0.0 && std::isfinite(extent) ? h * I / extent : 0.0;
        {
            const StripClip clip(dc, r);
            DrawDoubleCurve(dc, std::span<const double>(curve.data(), curve.size()), ch.shownStart, ch.shownEnd,
                            scale, fraction, r, ch.drawReference != 0, style.reference, ch.reference, colour);
        }
        const int base = bottom - Trunc(h * fraction);
        const int paneHalf = Trunc(h * I * 0.5);
        dc.setPen(ToQColor(colour));
        const int th = metrics.height();
        marginText(r.x(), 5, base - th / 2, "0");
        marginText(r.x(), 5, base - paneHalf, FormatInt(TruncToInteger(maximum)));
        marginText(r.x(), 5, base + paneHalf - th, FormatInt(TruncToInteger(minimum)));
        if (style.scaleTexts)
            marginText(r.x(), 5, base - paneHalf + th, title);
        return MarkMapping{ch.shownStart, ch.shownEnd, r, scale, Trunc(h * fraction)};
    };
    if (velocity) {
        const double fraction = acceleration ? I / 2 + I : I / 2;
        const MarkMapping map = pane(ch.velocity, ch.velocityMax, ch.velocityMin, fraction, style.velocity, "Velocity");
        if (ch.cyclesValid != 0) {
            const StripClip clip(dc, r);
            DrawDerivativeCurve(dc, ch.cycles, map, style.velocity, style.nameFont);
        }
    }
    if (acceleration)
        pane(ch.acceleration, ch.accelerationMax, ch.accelerationMin, I / 2, style.acceleration, "Acceleration");
}

void ChannelPainter::PaintChannels(QPainter& dc, COrielDoc& doc, const PaintContext& ctx) {
    const int count = std::clamp(doc.GetChannelCount(), 0, kDocumentSlots);
    if (count == 0)
        return;
    std::span<CChannels> channels(doc.Channels().data(), static_cast<std::size_t>(count));
    dc.save();
    dc.setRenderHint(QPainter::Antialiasing, false);
    dc.setRenderHint(QPainter::TextAntialiasing, true);
    dc.setBackgroundMode(Qt::TransparentMode);
    dc.setFont(ctx.appFont);

    // The time grid across the whole stack, from the reference channel.
    const int reference = std::max(ZoomScroll::ReferenceChannel(channels), 0);
    const platform::Rect& rs = channels[static_cast<std::size_t>(reference)].strip;
    const QRect grid(rs.left, rs.top + ctx.verticalOffset, std::max(rs.Width(), 0),
                     std::max(ctx.stackHeight - rs.top, 0));
    if (grid.width() > 0 && grid.height() > 0 && ctx.visibleEndTime > ctx.visibleStartTime)
        DrawTimeAxis(dc, grid, 0, true, ctx.visibleStartTime, ctx.visibleEndTime, doc.settings.display.fifth, false,
                     ctx.appFont, kGridColour);

    // Which channels are drawn, and the reads their traces need, together.
    std::vector<Target> targets;
    for (int i = 0; i < count; ++i) {
        CChannels& ch = channels[static_cast<std::size_t>(i)];
        if (count > 1 && ch.show == 0)
            continue;
        Target s;
        s.index = i;
        s.r = ToQRect(ch.strip).translated(0, ctx.verticalOffset);
        targets.push_back(s);
    }
    FetchTargets(channels, targets);

    ContentStyle style;
    style.nameFont = ctx.appFont;
    style.marginFont = ctx.appFont;
    for (const Target& s : targets) {
        CChannels& ch = channels[static_cast<std::size_t>(s.index)];
        style.clickedFrame = s.index == ctx.clickedChannel;
        DrawTarget(dc, ch, s, style);
        DrawChannelLabels(dc, ch, ctx, 1.0);
    }
    // The requests hold the channels' summaries and files: let go of them
    // until the next repaint (the fetcher keeps only its buffers).
    m_fetcher->Clear();
    dc.restore();
}

void ChannelPainter::PaintPicture(QPainter& dc, COrielDoc& doc, std::span<const PictureChannelBox> boxes,
                                  const PictureStyle& picture) {
    const int count = std::clamp(doc.GetChannelCount(), 0, kDocumentSlots);
    std::span<CChannels> channels(doc.Channels().data(), static_cast<std::size_t>(count));
    std::vector<Target> targets;
    for (const PictureChannelBox& box : boxes) {
        if (box.slot < 0 || box.slot >= count)
            continue;
        Target s;
        s.index = box.slot;
        s.r = box.rect;
        targets.push_back(s);
    }
    if (targets.empty())
        return;
    dc.save();
    dc.setRenderHint(QPainter::Antialiasing, false);
    dc.setRenderHint(QPainter::TextAntialiasing, true);
    dc.setBackgroundMode(Qt::TransparentMode);
    FetchTargets(channels, targets);

    ContentStyle style;
    style.frame = kBlack;
    style.nameFont = picture.nameFont;
    style.nameRight = picture.nameInset;
    style.nameDown = picture.nameInset;
    style.marginFont = picture.nameFont;
    style.scaleTexts = false;
    style.clampMarginTexts = false;
    if (picture.colour) {
        style.reference = platform::Rgb(200, 200, 200);
        style.intensity = picture.paper ? kBlue : kRed;
        style.series = {kGridColour, kGreen, kBlue, kBlue, kBlue};
        style.velocity = kRed;
        style.acceleration = kBlue;
    } else {
        style.reference = style.intensity = style.velocity = style.acceleration = style.cycleMarks = kBlack;
        style.series.fill(kBlack);
    }
    for (const Target& s : targets) {
        CChannels& ch = channels[static_cast<std::size_t>(s.index)];
        const bool intensityShown = s.intensity >= 0;
        // The first series is drawn in the colour of the item before it.
        if (picture.colour)
            style.series[0] = intensityShown ? style.intensity : platform::Rgb(200, 200, 200);
        DrawTarget(dc, ch, s, style);
        DrawPictureLabels(dc, ch, s.r, picture);
    }
    m_fetcher->Clear();
    dc.restore();
}

void ChannelPainter::DrawPictureLabels(QPainter& dc, const CChannels& ch, const QRect& box,
                                       const PictureStyle& style) {
    const double start = style.visibleStartTime;
    const double end = style.visibleEndTime;
    if (!(end > start))
        return;
    dc.save();
    dc.setBackgroundMode(Qt::TransparentMode);
    for (int i = 0; i < ch.labels.GetSize(); ++i) {
        const LABEL& label = ch.labels.GetAt(i);
        if (!(label.time > start && label.time < end))
            continue;
        const int x = box.x() + Trunc((label.time - start) * box.width() / (end - start));
        const int y = box.y() + Trunc(label.relativeHeight * box.height());
        platform::LogFontA font = label.font;
        font.height = Trunc(font.height * style.labelFontScale);
        const QFont qfont = ToQFont(font);
        const QString text = FromCp1252(label.Text());
        const int w = QFontMetrics(qfont, dc.device()).horizontalAdvance(text);
        int left = x;
        if (label.anchoring == LABEL::kAnchorCentre)
            left = x - w / 2;
        else if (label.anchoring == LABEL::kAnchorRight)
            left = x - w;
        if (label.markerLine != 0) {
            dc.setPen(QPen(Qt::black, 1));
            dc.drawLine(x, box.y(), x, box.y() + box.height() - 1);
        }
        dc.setFont(qfont);
        dc.setPen(style.colour ? ToQColor(label.colour) : QColor(Qt::black));
        TextAt(dc, left, y, text);
    }
    dc.restore();
}

void ChannelPainter::DrawChannelLabels(QPainter& dc, CChannels& ch, const PaintContext& ctx, double fontScale) {
    const QtTextMeasurer measurer;
    dc.save();
    dc.setBackgroundMode(Qt::TransparentMode);
    for (int i = 0; i < ch.labels.GetSize(); ++i) {
        LABEL label;
        if (ch.PlaceLabel(i, label, ctx.visibleStartTime, ctx.visibleEndTime, measurer) == 0)
            continue;
        int x = label.rect.left;
        if (label.anchoring == LABEL::kAnchorCentre)
            x = (label.rect.left + label.rect.right) / 2;
        else if (label.anchoring == LABEL::kAnchorRight)
            x = label.rect.right;
        if (label.markerLine != 0) {
            dc.setPen(QPen(Qt::black, 1));
            dc.drawLine(x, ch.strip.top + ctx.verticalOffset, x, ch.strip.bottom - 1 + ctx.verticalOffset);
        }
        platform::LogFontA font = label.font;
        font.height = Trunc(font.height * fontScale);
        dc.setFont(ToQFont(font));
        dc.setPen(ToQColor(label.colour));
        TextAt(dc, label.rect.left, label.rect.top + ctx.verticalOffset, FromCp1252(label.Text()));
    }
    dc.restore();
}

}  // namespace vocomet
