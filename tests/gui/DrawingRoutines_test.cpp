#include <QFontMetrics>
#include <QImage>
#include <QPainter>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include "widgets/DrawingRoutines.h"
#include "platform/File.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

const QRgb kWhite = qRgb(255, 255, 255);

QImage Render(int w, int h, const std::function<void(QPainter&)>& draw, QRgb background = kWhite) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(background);
    QPainter p(&img);
    draw(p);
    p.end();
    return img;
}

// Topmost and bottommost painted row of a pixel column (-1, -1 when none).
std::pair<int, int> PaintedSpan(const QImage& img, int x) {
    int top = -1, bottom = -1;
    for (int y = 0; y < img.height(); ++y)
        if (img.pixel(x, y) != kWhite) {
            if (top < 0)
                top = y;
            bottom = y;
        }
    return {top, bottom};
}

bool AnyPaintedIn(const QImage& img, int x, int y0, int y1) {
    for (int y = y0; y <= y1; ++y)
        if (img.pixel(x, y) != kWhite)
            return true;
    return false;
}

platform::FloatBlock Block(const std::vector<float>& v) {
    auto b = platform::FloatBlock::Allocate(v.size());
    std::copy(v.begin(), v.end(), b.begin());
    return b;
}

// A data file of two interleaved channels with `x` as channel 1.
std::string WriteSecondChannel(const std::vector<float>& x) {
    const std::string path = test::FreshTempDir() + "/data.raw";
    std::vector<float> frames;
    for (float v : x) {
        frames.push_back(-7.0f);
        frames.push_back(v);
    }
    platform::File f(path, platform::File::Mode::Create);
    f.Write(frames.data(), frames.size() * sizeof(float));
    return path;
}

// Trace geometry of the waveform tests: left 10, bottom 110, baseline
// fraction 0.5 (50 pixels), 40 pixels per unit: 0 at y 60, +1 at 20, -1 at 100.
const QRect kTraceRect(10, 10, 60, 100);
constexpr double kScale = 40.0, kFraction = 0.5;

TEST(DrawingRoutines, MinMaxColumnsCoverEverySampleForMemoryAndFile) {
    // 4.75 samples per pixel: isolated spikes on the last sample of some
    // columns, which a column of only trunc(s) samples, or one that drifts,
    // would miss or put into the wrong column.
    const int w = kTraceRect.width();
    const double start = 3.25, s = 4.75, end = start + w * s;
    std::vector<float> x(300, 0.0f);
    std::vector<int> spikeSign(w, 0);
    for (int p = 5; p < w - 2; p += 5) {
        spikeSign[p] = (p / 5) % 2 ? 1 : -1;
        x[static_cast<std::size_t>(std::floor(start + (p + 1) * s)) - 1] = static_cast<float>(spikeSign[p]);
    }
    const auto block = Block(x);
    const std::string path = WriteSecondChannel(x);
    const platform::File file(path, platform::File::Mode::Read);

    const QImage fromMemory = Render(80, 130, [&](QPainter& p) {
        DrawWaveformBuffer(p, nullptr, 1, 0, &block, start, end, kScale, kFraction, kTraceRect, 0, 0, false, 0);
    });
    const QImage fromFile = Render(80, 130, [&](QPainter& p) {
        DrawWaveformBuffer(p, &file, 2, 1, nullptr, start, end, kScale, kFraction, kTraceRect, 0, 0, false, 0);
    });
    EXPECT_EQ(fromMemory, fromFile);

    for (int p = 0; p < w; ++p) {
        const auto [top, bottom] = PaintedSpan(fromMemory, kTraceRect.left() + p);
        const bool nearSpike = (p > 0 && spikeSign[p - 1]) || (p + 1 < w && spikeSign[p + 1]);
        if (spikeSign[p] > 0) {
            EXPECT_EQ(top, 20) << "column " << p;
            EXPECT_EQ(bottom, 60) << "column " << p;
        } else if (spikeSign[p] < 0) {
            EXPECT_EQ(top, 60) << "column " << p;
            EXPECT_EQ(bottom, 100) << "column " << p;
        } else if (!nearSpike) {
            EXPECT_EQ(top, 60) << "column " << p;
            EXPECT_EQ(bottom, 60) << "column " << p;
        }
    }
    EXPECT_EQ(PaintedSpan(fromMemory, kTraceRect.left() - 1).first, -1);
    EXPECT_EQ(PaintedSpan(fromMemory, kTraceRect.left() + w).first, -1);
}

TEST(DrawingRoutines, FewSamplesPerPixelDrawAPolylineThroughEverySample) {
    // Half a sample per pixel from 2.5: sample i at x = left + trunc((i - 2.5) x 2).
    const double start = 2.5, end = start + 30.0;
    std::vector<float> x(40);
    for (std::size_t i = 0; i < x.size(); ++i)
        x[i] = i % 2 ? 0.5f : -0.5f;  // y 40 and 80
    const auto block = Block(x);
    const std::string path = WriteSecondChannel(x);

    const QImage fromMemory = Render(80, 130, [&](QPainter& p) {
        DrawWaveformBuffer(p, nullptr, 1, 0, &block, start, end, kScale, kFraction, kTraceRect, 0, 0, false, 0);
    });
    ChannelWaveform byPath;
    byPath.filePath = path;
    byPath.channelsPerFrame = 2;
    byPath.channel = 1;
    byPath.windowStart = start;
    byPath.windowEnd = end;
    byPath.amplitudeScale = kScale;
    byPath.baselineFraction = kFraction;
    byPath.rect = kTraceRect;
    const QImage fromFile = Render(80, 130, [&](QPainter& p) { DrawChannelWaveform(p, byPath); });
    EXPECT_EQ(fromMemory, fromFile);

    for (int i = 3; i < 32; ++i) {
        const int px = kTraceRect.left() + static_cast<int>((i - start) * 2);
        const int py = i % 2 ? 40 : 80;
        EXPECT_NE(fromMemory.pixel(px, py), kWhite) << "sample " << i;
    }
    // Sample 2, the first of the window, lies half a sample (a pixel) left of it.
    EXPECT_NE(fromMemory.pixel(kTraceRect.left() - 1, 80), kWhite);

    byPath.filePath = test::FreshTempDir() + "/missing.raw";
    EXPECT_THROW(Render(80, 130, [&](QPainter& p) { DrawChannelWaveform(p, byPath); }), platform::FileException);
}

TEST(DrawingRoutines, TimeAxisPutsAutomaticTicksAtWholeSteps) {
    struct Case {
        double start, end;
        int width;
        int firstX, pixelStep;  // ticks at firstX + i x pixelStep inside the rectangle
    };
    // 300 ms: step 10 (the first with at most 30 steps), 1 pixel per ms; from
    // 1234.5 the ticks sit at 1240, 1250 ...; 1000 ms over 500 pixels: step 50.
    for (const Case c : {Case{0, 300, 300, 10, 10}, Case{1234.5, 1534.5, 300, 5, 10}, Case{0, 1000, 500, 25, 25}}) {
        const QRect rect(0, 0, c.width, 50);
        const QImage img = Render(c.width + 20, 100, [&](QPainter& p) {
            DrawTimeAxis(p, rect, 10, false, c.start, c.end, 0, true, QFont());
        });
        // Ticks stand on y = 40 and reach up to 35.
        for (int x = 1; x < c.width; ++x) {
            const bool tick = x >= c.firstX && (x - c.firstX) % c.pixelStep == 0;
            EXPECT_EQ(AnyPaintedIn(img, x, 35, 40), tick) << c.start << " x " << x;
        }
        EXPECT_FALSE(AnyPaintedIn(img, c.firstX, 0, 34));
        bool labels = false;
        for (int x = 0; x < c.width && !labels; ++x)
            labels = AnyPaintedIn(img, x, 51, 99);
        EXPECT_TRUE(labels);
    }
    // A step given by the caller, drawn as grid lines to the top.
    const QImage grid = Render(320, 100, [&](QPainter& p) {
        DrawTimeAxis(p, QRect(0, 0, 300, 50), 0, true, 0, 300, 100, false, QFont());
    });
    EXPECT_TRUE(AnyPaintedIn(grid, 100, 0, 50));
    EXPECT_TRUE(AnyPaintedIn(grid, 200, 0, 50));
    EXPECT_FALSE(AnyPaintedIn(grid, 150, 0, 49));
}

TEST(DrawingRoutines, TimeAxisLabelsNeverOverlapAndStandWholeInsideThePlot) {
    struct Case {
        double start, end;
        int step, width;
        bool relative;
        std::vector<std::string> labels;  // all of them, when there is room; empty: crowded
    };
    const Case cases[] = {
        {0, 600, 100, 600, false, {"100", "200", "300", "400", "500"}},
        {0, 255, 50, 255, false, {"50", "100", "150", "200"}},  // 250 would stick out on the right
        {1234.5, 1534.5, 100, 300, false, {"1300", "1400", "1500"}},
        {0, 1000, 250, 400, true, {"250", "500", "750"}},
        {0, 10000, 10, 400, false, {}},    // a tick every 0.4 pixels
        {0, 300, 0, 300, true, {}},        // every 10 ms; "10" would touch "(ms)"
        {99000, 101000, 250, 300, false, {}},  // six-digit labels 37.5 pixels apart
        {-480, 480, 0, 200, false, {}},
    };
    const QFont font;
    QImage device(1, 1, QImage::Format_RGB32);
    const QFontMetrics fm(font, &device);
    const int gap = fm.horizontalAdvance(QLatin1Char(' '));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.start << ".." << c.end << " step " << c.step << " over " << c.width);
        const QRect rect(20, 0, c.width, 50);
        const std::vector<TimeAxisLabel> labels = TimeAxisLabels(rect, c.start, c.end, c.step, c.relative, fm);
        int previousEnd = c.relative ? rect.left() + fm.height() / 4 + fm.horizontalAdvance(QStringLiteral("(ms)"))
                                     : rect.left() - gap;
        std::vector<std::string> texts;
        for (const TimeAxisLabel& label : labels) {
            EXPECT_GE(label.ink.left(), rect.left()) << label.text.toStdString();
            EXPECT_LE(label.ink.left() + label.ink.width(), rect.left() + rect.width()) << label.text.toStdString();
            EXPECT_GE(label.ink.left() - previousEnd, gap) << label.text.toStdString();
            EXPECT_EQ(label.ink.top(), 50 + fm.height() / 2);
            previousEnd = label.ink.left() + label.ink.width();
            texts.push_back(label.text.trimmed().toStdString());
        }
        if (!c.labels.empty())
            EXPECT_EQ(texts, c.labels);
        else
            EXPECT_GE(texts.size(), 2u);
    }

    // Drawn: label ink only inside the plot's columns and inside the boxes
    // laid out; the tick whose label is left out keeps its grid line.
    const QRect rect(20, 0, 255, 50);
    const QImage img = Render(rect.width() + 60, 100, [&](QPainter& p) {
        p.setFont(font);
        DrawTimeAxis(p, rect, 0, true, 0, 255, 50, false, font);
    });
    const QFontMetrics imageMetrics(font, &img);
    const std::vector<TimeAxisLabel> drawn = TimeAxisLabels(rect, 0, 255, 50, false, imageMetrics);
    ASSERT_EQ(drawn.size(), 4u);
    for (int y = 51; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            if (img.pixel(x, y) == kWhite)
                continue;
            const bool inBox = std::any_of(drawn.begin(), drawn.end(), [&](const TimeAxisLabel& l) {
                return l.ink.adjusted(-1, -1, 1, 1).contains(x, y);
            });
            EXPECT_TRUE(inBox) << x << "," << y;
        }
    EXPECT_TRUE(AnyPaintedIn(img, rect.left() + 250, 0, 49));
}

TEST(DrawingRoutines, ValueAxisLabelsThinCloseStepsAndStayInside) {
    struct Case {
        double lowest, highest, step;
        int orientation, extent;
        std::vector<std::string> labels;
    };
    const QFont font;
    QImage device(1, 1, QImage::Format_RGB32);
    const QFontMetrics fm(font, &device);
    const int h = fm.height();
    const Case cases[] = {
        // Room for every label.
        {0, 500, 100, kValueAxisLeft, 20 * h, {"0", "100", "200", "300", "400", "500"}},
        // 20 Hz lines about 0.6 text heights apart: every second label.
        {50, 490, 20, kValueAxisLeft, 22 * h * 6 / 10, {}},
        // Ten five-digit labels along 200 pixels.
        {0, 10000, 1000, kValueAxisBottom, 200, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.lowest << ".." << c.highest << " step " << c.step);
        const QRect rect = c.orientation == kValueAxisLeft ? QRect(60, 10, 300, c.extent) : QRect(60, 10, c.extent, 100);
        const QRect bounds(0, 0, 60 + c.extent + 100, 10 + c.extent + 2 * h + 100);
        const std::vector<AxisLabel> labels =
            ValueAxisLabels(rect, c.lowest, c.highest, c.step, c.orientation, QStringLiteral("Hz"), fm, bounds);
        std::vector<std::string> texts;
        for (std::size_t a = 0; a < labels.size(); ++a) {
            texts.push_back(labels[a].text.toStdString());
            for (std::size_t b = a + 1; b < labels.size(); ++b)
                EXPECT_FALSE(labels[a].ink.intersects(labels[b].ink)) << texts.back();
        }
        if (!c.labels.empty()) {
            EXPECT_EQ(texts, c.labels);
        } else {
            const double steps = std::floor((c.highest - c.lowest) / c.step);
            EXPECT_GE(texts.size(), 3u);
            EXPECT_LT(static_cast<double>(texts.size()), steps);
        }
    }
    // A label that would stand outside the surface is left out, not cut.
    const std::vector<AxisLabel> cut = ValueAxisLabels(QRect(10, 10, 300, 200), 0, 10000, 1000, kValueAxisLeft,
                                                       QStringLiteral("Hz"), fm, QRect(0, 0, 400, 300));
    for (const AxisLabel& label : cut)
        EXPECT_GE(label.ink.left(), 0) << label.text.toStdString();
    EXPECT_LT(cut.size(), 11u);
}

TEST(DrawingRoutines, TimeGridIsThinnedToLinesAFewPixelsApart) {
    struct Case {
        int step;
        double spanMs;
        int width, gap, expected;
    };
    const Case cases[] = {
        {500, 10000, 500, 4, 500},          // 25 pixels apart: as set
        {500, 1200000, 800, 4, 10000},      // a 20-minute channel: 6.7 pixels apart
        {20, 60000, 600, 4, 400},           // 0.2 pixels at 20 ms
        {0, 1200000, 800, 4, 0},            // automatic: already at most 30 steps
        {100, 0, 800, 4, 100},              // nothing shown
    };
    for (const Case& c : cases)
        EXPECT_EQ(ThinnedTimeStep(c.step, c.spanMs, c.width, c.gap), c.expected)
            << c.step << " ms over " << c.spanMs << " ms in " << c.width;
}

TEST(DrawingRoutines, SpectrumCurvesKeepTheirColoursOnScreen) {
    std::vector<double> fft(200), lpc(200);
    for (std::size_t i = 0; i < fft.size(); ++i) {
        fft[i] = 10.0 + (i % 2) * 5.0;
        lpc[i] = 40.0;
    }
    SpectrumPanel panel;
    panel.levels = fft;
    panel.levels2 = lpc;
    panel.count = 200;
    panel.rect = QRect(10, 10, 200, 100);
    panel.maxLevel = 50.0;
    panel.colour1 = 0x000000;
    panel.colour2 = 0xFF0000;  // blue
    panel.curve2On = true;
    const QImage img = Render(220, 130, [&](QPainter& p) { DrawSpectrumPanel(p, panel, QFont()); });
    int blue = 0, black = 0;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x) {
            blue += img.pixel(x, y) == qRgb(0, 0, 255);
            black += img.pixel(x, y) == qRgb(0, 0, 0);
        }
    EXPECT_GE(blue, 190);
    EXPECT_GE(black, 190);
}

TEST(DrawingRoutines, FormantDotsAbove50HzInsideThePlot) {
    // Height 100 for 1000 Hz: f at y = 100 - f / 10; frame i at x = 50 i.
    const std::vector<FormantFrame> frames = {{50, 500, 1000, -1, -1}, {51, 990, -1, -1, -1}};
    const QImage img = Render(120, 120, [&](QPainter& p) { DrawFormantDots(p, frames, QRect(0, 0, 100, 100), 1000, 1); });
    const QRgb red = qRgb(255, 0, 0);
    EXPECT_EQ(img.pixel(2, 52), red);    // 500 Hz
    EXPECT_EQ(img.pixel(52, 97), red);   // 51 Hz
    EXPECT_EQ(img.pixel(52, 3), red);    // 990 Hz: y 1
    EXPECT_EQ(img.pixel(2, 97), kWhite);  // exactly 50 Hz
    EXPECT_EQ(img.pixel(2, 2), kWhite);   // 1000 Hz lands on the top edge
}

TEST(DrawingRoutines, GreySpectrogramLevelsAreClampedToThe256Pens) {
    // 4 columns over 40 pixels: pen width 10, column j at x = 20 + 10 j; 4 bins
    // over 100 pixels stacked from y 80 up: bin 1 at 55..80, bin 2 at 30..55,
    // bin 3 at 5..30 (bin 0 has no height). Range 10.
    const std::vector<double> c0 = {0, 10, 5, 20}, c1 = {0, -5, 0, 2.5};
    const std::vector<std::span<const double>> columns = {c0, c1, {}, {}};
    const QRgb red = qRgb(255, 0, 0);
    const QImage img = Render(
        100, 120, [&](QPainter& p) { DrawGreySpectrogram(p, columns, 4, QRect(0, 0, 40, 100), 10.0); }, red);
    auto grey = [](int level) { return qRgb(level, level, level); };
    EXPECT_EQ(img.pixel(20, 67), grey(0));
    EXPECT_EQ(img.pixel(20, 42), grey(127));
    EXPECT_EQ(img.pixel(20, 17), grey(0));  // 20 is past the range: darkest
    EXPECT_EQ(img.pixel(30, 67), grey(255));  // below zero: lightest
    EXPECT_EQ(img.pixel(30, 17), grey(191));
    EXPECT_EQ(img.pixel(40, 67), red);  // empty column blocks draw nothing
    const QImage none = Render(
        100, 120, [&](QPainter& p) { DrawGreySpectrogram(p, columns, 4, QRect(0, 0, 40, 100), 0.0); }, red);
    EXPECT_EQ(none.pixel(20, 67), red);
}

TEST(DrawingRoutines, DegenerateInputsDrawNothingAndReturn) {
    const auto block = Block(std::vector<float>(100, 0.5f));
    const std::vector<double> values(100, 0.5);
    const QImage img = Render(200, 200, [&](QPainter& p) {
        DrawWaveformBuffer(p, nullptr, 1, 0, &block, 0, 100, 10, 0.5, QRect(10, 10, 0, 50), 0, 0, false, 0);
        DrawWaveformBuffer(p, nullptr, 1, 0, &block, 40, 40, 10, 0.5, QRect(10, 10, 50, 50), 0, 0, false, 0);
        DrawWaveformBuffer(p, nullptr, 1, 0, nullptr, 0, 100, 10, 0.5, QRect(10, 10, 50, 50), 0, 0, false, 0);
        DrawDoubleCurve(p, values, 0, 100, 1e300, NAN, QRect(10, 10, 0, 50), false, 0, 0, 0);
        DrawValueAxis(p, QRect(50, 50, 100, 100), 0, 100, 0, kValueAxisLeft, QString(), false, QFont());
        DrawValueAxis(p, QRect(50, 50, 100, 100), 10, 10, 5, kValueAxisBottom, QString(), true, QFont());
        DrawTimeAxis(p, QRect(50, 50, 100, 100), 10, true, 100, 100, 0, true, QFont());
        DrawValueDots(p, values, 0, 100, 0, 100, 100, 100, 1, 1, 2, 0);
        DrawValueDots(p, values, 5, 5, 0, 100, 100, 100, 1, 0, 2, 0);
        DrawFormantDots(p, std::vector<FormantFrame>{{500, 0, 0, 0, 0}}, QRect(0, 0, 100, 100), 0, 1);
        SpectrumPanel panel;
        panel.levels = values;
        panel.count = 100;
        panel.rect = QRect(0, 0, 100, 100);
        panel.curve2On = true;
        panel.levelGrid = true;
        panel.levelStep = 10;
        DrawSpectrumPanel(p, panel, QFont());  // no level span
    });
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            ASSERT_EQ(img.pixel(x, y), kWhite) << x << "," << y;

    // A huge range with a 1 ms step ends at the right edge, one tick per pixel.
    const QImage dense = Render(120, 80, [&](QPainter& p) {
        DrawTimeAxis(p, QRect(0, 0, 100, 50), 0, true, 0, 1e13, 1, false, QFont());
    });
    EXPECT_TRUE(AnyPaintedIn(dense, 50, 0, 50));
}

}  // namespace
}  // namespace vocomet
