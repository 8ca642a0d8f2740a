#include "app/ui/ChannelPainter.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QScrollBar>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <vector>

#include "app/ViewLayout.h"
#include "app/WaveformColumns.h"
#include "app/ui/COrielView.h"
#include "widgets/QtText.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/NativeReaders.h"
#include "support/NativeFixtureWriter.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

constexpr double kRate = 22050.0;

// Spoken words from the speech synthesiser as raw floats at 22050 Hz; empty
// when the tools are missing.
std::vector<float> Speech(const std::string& folder) {
    if (!test::HaveTool("espeak-ng") || !test::HaveTool("sox"))
        return {};
    const std::string wav = folder + "/speech.wav";
    const std::string raw = folder + "/speech.f32";
    if (test::RunCommand("espeak-ng -w '" + wav + "' 'Vocomet shows the voice and the glottis' 2>/dev/null") != 0 ||
        test::RunCommand("sox '" + wav + "' -r 22050 -c 1 -t f32 '" + raw + "' 2>/dev/null") != 0)
        return {};
    const std::string bytes = test::ReadAll(raw);
    std::vector<float> v(bytes.size() / sizeof(float));
    std::memcpy(v.data(), bytes.data(), v.size() * sizeof(float));
    return v;
}

// An electroglottogram of a 120 Hz voice: a quick rise at contact, a slow
// fall while the folds part, a flat open phase.
std::vector<float> Egg(std::size_t n) {
    std::vector<float> v(n);
    const double period = kRate / 120.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double phase = std::fmod(static_cast<double>(i), period) / period;
        double x;
        if (phase < 0.08)
            x = -0.8 + 1.6 * phase / 0.08;
        else if (phase < 0.5)
            x = 0.8 - 1.6 * (phase - 0.08) / 0.42;
        else
            x = -0.8;
        v[i] = static_cast<float>(x);
    }
    return v;
}

class ChannelPainting : public ::testing::Test {
protected:
    void SetUp() override { app.tempFolder = test::FreshTempDir(); }

    // Opens the speech and the EGG as a native file through the readers.
    bool OpenRecording(COrielDoc& doc) {
        speech = Speech(app.tempFolder);
        if (speech.empty())
            return false;
        test::FixtureFile file;
        file.layout = test::FixtureLayout::KovPcFloat24;
        test::FixtureChannel audio;
        audio.name = "Audio";
        audio.rate = kRate;
        audio.floats = speech;
        audio.timeReference = 1;
        audio.stripHeight = 150;
        audio.audioFlag = 1;
        test::FixtureLabel label;
        label.time = 400.0;
        label.relativeHeight = 0.15;
        label.markerLine = 1;
        label.blue = 255;
        label.text = "onset";
        audio.labels.push_back(label);
        test::FixtureChannel egg;
        egg.name = "EGG";
        egg.rate = kRate;
        egg.floats = Egg(speech.size());
        egg.stripHeight = 150;
        file.channels = {audio, egg};
        const std::string path = app.tempFolder + "/speech.vcm";
        test::WriteNativeFixture(path, file);
        RegisterNativeReaders(doc.Formats());
        return doc.OnOpenDocument(path);
    }

    ApplicationState app;
    test::ScriptedPrompts prompts;
    std::vector<float> speech;
};

void SaveImage(const QImage& image, const char* name) {
    const QString path = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots/") +
                         QString::fromLatin1(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    image.save(path);
}

void SaveScreenshot(QWidget& w, const char* name) { SaveImage(w.grab().toImage(), name); }

bool IsBlack(QRgb c) { return qRed(c) < 60 && qGreen(c) < 60 && qBlue(c) < 60; }

bool Near(QRgb a, QRgb b) {
    return std::abs(qRed(a) - qRed(b)) < 60 && std::abs(qGreen(a) - qGreen(b)) < 60 &&
           std::abs(qBlue(a) - qBlue(b)) < 60;
}

QRect ToQRect(const platform::Rect& r) { return QRect(r.left, r.top, r.Width(), r.Height()); }

// Where the painter puts a sample index and value of a strip: x from the
// shown window, y from the bottom less the scaled value and the baseline.
struct StripMap {
    QRect r;
    double start = 0.0, end = 0.0, scale = 0.0;
    int offset = 0;
    QPoint At(double index, double value) const {
        return QPoint(r.x() + static_cast<int>((index - start) * r.width() / (end - start)),
                      r.y() + r.height() - static_cast<int>(value * scale) - offset);
    }
};

// Pixels of `colour` in the box from x0, y0 to x1, y1 (inclusive).
int CountColour(const QImage& img, int x0, int y0, int x1, int y1, QRgb colour) {
    int n = 0;
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x)
            n += img.valid(x, y) && img.pixel(x, y) == colour ? 1 : 0;
    return n;
}

// The share of the solid pixels of `text`, written with its top-left corner
// at `at` in `font`, that `img` shows in `colour`.
double TextCoverage(const QImage& img, const QFont& font, QPoint at, const QString& text, QRgb colour) {
    QImage ref(img.size(), QImage::Format_RGB32);
    ref.fill(Qt::white);
    QPainter p(&ref);
    p.setFont(font);
    p.setPen(Qt::black);
    p.drawText(at.x(), at.y() + p.fontMetrics().ascent(), text);
    p.end();
    int solid = 0, shown = 0;
    for (int y = 0; y < ref.height(); ++y)
        for (int x = 0; x < ref.width(); ++x)
            if (IsBlack(ref.pixel(x, y))) {
                ++solid;
                shown += Near(img.pixel(x, y), colour) ? 1 : 0;
            }
    return solid > 0 ? static_cast<double>(shown) / solid : 0.0;
}

TEST_F(ChannelPainting, SpeechAndEggWithTheirOverlays) {
    COrielDoc doc(app, prompts);
    if (!OpenRecording(doc))
        GTEST_SKIP() << "espeak-ng or sox missing";
    ASSERT_EQ(doc.GetChannelCount(), 2);
    CChannels& egg = doc.Channel(1);
    ASSERT_TRUE(egg.HasSamples());
    // The EGG analysis with its panes and marks, as the EGG command leaves it.
    egg.ComputeAcceleration(egg.velocitySmoothing, egg.accelerationSmoothing);
    egg.AnalyzeEGG(0.0, egg.sampleCount);
    egg.drawVelocity = 1;
    egg.drawPeaks = 1;
    egg.drawValleys = 1;
    egg.drawThresholdMarks = 1;

    COrielView view(doc);
    view.resize(1100, 420);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.OnZoomHome();
    SaveScreenshot(view, "painting-speech-egg.png");

    // Zoomed to 60 ms the EGG cycles show their marks.
    doc.settings.zoomDuration = 60.0;
    view.ScrollToTime(600.0);
    SaveScreenshot(view, "painting-speech-egg-zoomed.png");
    EXPECT_TRUE(prompts.messages.empty());
    const QImage& clean = view.SurfaceImage(COrielView::kClean);
    ASSERT_EQ(view.Scroll().verticalOffset, 0);

    // The trace keeps half its amplitude in the upper half of the strip,
    // the velocity pane takes the lower half.
    const QRect r = ToQRect(egg.strip);
    const int h = r.height();
    const StripScale scale = StripScaleOf(egg, h, 0.5);
    const StripMap trace{r, egg.shownStart, egg.shownEnd, scale.amplitude * scale.split,
                         static_cast<int>(h * (scale.baseline + scale.shift))};
    auto inside = [&](QPoint p, int margin) { return p.x() >= r.left() + margin && p.x() < r.right() - margin; };

    // Peaks and valleys: bars 2 pixels wide and 10 high on their points
    // (neighbouring cycle marks may cover a part).
    const QRgb green = qRgb(0, 255, 0), blue = qRgb(0, 0, 255), red = qRgb(255, 0, 0);
    for (const auto& [points, colour] : {std::pair{&egg.peaks, green}, std::pair{&egg.valleys, blue}}) {
        int marks = 0;
        for (const ArrayData& point : *points) {
            const QPoint p = trace.At(point.sampleIndex, point.amplitude);
            if (!inside(p, 3))
                continue;
            EXPECT_GE(CountColour(clean, p.x() - 1, p.y() - 5, p.x(), p.y() + 4, colour), 8)
                << "mark at sample " << point.sampleIndex;
            ++marks;
        }
        EXPECT_GE(marks, 6);  // 60 ms of a 120 Hz voice
    }
    // Nothing green outside the peak marks: none left of the first.
    EXPECT_EQ(CountColour(clean, r.left(), r.top(), r.left() + 2, r.bottom(), green), 0);

    // The four contact quotients of every cycle, one under the other from
    // the strip's top, at its falling criterion mark.
    const QFontMetrics fm(view.appFont, &clean);
    int texts = 0;
    for (const ArrayCycle& cycle : egg.cycles) {
        const QPoint rise = trace.At(cycle.criterionRise.sampleIndex, cycle.criterionRise.amplitude);
        const QPoint fall = trace.At(cycle.criterionFall.sampleIndex, cycle.criterionFall.amplitude);
        if (!inside(rise, 3) || !inside(fall, 3) || fall.x() + fm.horizontalAdvance("0.000") >= r.right())
            continue;
        const double quotients[] = {cycle.cq, cycle.cqH, cycle.cqPM, cycle.cqHT};
        for (int row = 0; row < 4; ++row) {
            const QString text = QString::asprintf("%5.3f", quotients[row]);
            EXPECT_GT(TextCoverage(clean, view.appFont, QPoint(fall.x(), r.top() + 10 * row), text, qRgb(0, 0, 0)),
                      0.9)
                << text.toStdString() << " of the cycle at sample " << cycle.criterionFall.sampleIndex;
        }
        ++texts;
    }
    EXPECT_GE(texts, 5);

    // The velocity pane: its curve in red on its own baseline, the velocity
    // maximum of each cycle written above it, the title in the margin.
    const double extent = 2.0 * std::max(std::fabs(egg.velocityMax), std::fabs(egg.velocityMin));
    ASSERT_GT(extent, 0.0);
    const StripMap pane{r, egg.shownStart, egg.shownEnd, h * scale.split / extent,
                        static_cast<int>(h * scale.split / 2)};
    int onCurve = 0;
    for (double i = std::ceil(egg.shownStart); i < egg.shownEnd; i += 23) {
        const QPoint p = pane.At(i, egg.velocity[static_cast<std::size_t>(i)]);
        if (!inside(p, 2))
            continue;
        EXPECT_GT(CountColour(clean, p.x() - 1, p.y() - 1, p.x() + 1, p.y() + 1, red), 0) << "sample " << i;
        ++onCurve;
    }
    EXPECT_GT(onCurve, 40);
    int maxima = 0;
    for (const ArrayCycle& cycle : egg.cycles) {
        const QPoint p = pane.At(cycle.velocityMax.sampleIndex, cycle.velocityMax.value);
        const QString text = QString::asprintf("%5.1f", cycle.velocityMax.value);
        if (!inside(p, 2) || p.x() + 1 + fm.horizontalAdvance(text) >= r.right())
            continue;
        EXPECT_EQ(CountColour(clean, p.x() + 1, p.y() - 5, p.x() + 1, p.y() + 4, red), 10);
        const int top = std::max(p.y() - 5 - 30, r.top());
        EXPECT_GT(TextCoverage(clean, view.appFont, QPoint(p.x() + 1, top), text, red), 0.9) << text.toStdString();
        ++maxima;
    }
    EXPECT_GE(maxima, 5);
    const int paneBase = r.y() + h - static_cast<int>(h * scale.split / 2);
    const int paneHalf = static_cast<int>(h * scale.split * 0.5);
    const QString title = QStringLiteral("Velocity");
    EXPECT_GT(TextCoverage(clean, view.appFont,
                           QPoint(r.left() - 5 - fm.horizontalAdvance(title), paneBase - paneHalf + fm.height()),
                           title, red),
              0.9);

    // Time labels stand whole under the strips: none runs past their right
    // edge.
    const QRgb background = ToQColor(doc.displayColours[0]).rgb();
    const int stack = view.Layout().StackHeight();
    for (int y = stack; y < std::min(stack + 2 * fm.height(), clean.height()); ++y)
        for (int x = r.right() + 1; x < clean.width(); ++x)
            ASSERT_EQ(clean.pixel(x, y), background) << x << "," << y;
}

TEST_F(ChannelPainting, ValuesBeyondTheScaleStayInTheirStrip) {
    // Three channels of a sine; the middle one also shows a velocity pane
    // whose stored extremes are smaller than its curve.
    COrielDoc doc(app, prompts);
    doc.SetChannelCount(3);
    for (int c = 0; c < 3; ++c) {
        CChannels& ch = doc.Channel(c);
        ch.name = "Channel " + std::to_string(c + 1);
        ch.rate = 1000.0;
        ch.sampleCount = ch.duration = 1000.0;
        ch.shownEnd = ch.shownLength = ch.prevWindowEnd = ch.sampleCount;
        ch.stripHeight = 80;
        ch.timeReference = c == 0 ? 1 : 0;
        ch.samples = platform::FloatBlock::Allocate(1000);
        for (std::size_t i = 0; i < 1000; ++i)
            ch.samples[i] = static_cast<float>(0.5 * std::sin(i * 0.05));
    }
    CChannels& mid = doc.Channel(1);
    mid.velocity = DoubleBlock::Allocate(1000);
    for (std::size_t i = 0; i < 1000; ++i)
        mid.velocity[i] = 0.5 * std::cos(i * 0.05);
    mid.velocityMax = 1.0;
    mid.velocityMin = -1.0;
    mid.velocityValid = mid.drawVelocity = 1;
    doc.dataLoaded = 1;
    ViewLayout layout;
    layout.LayoutChannels(std::span<CChannels>(doc.Channels().data(), 3), platform::Rect{0, 0, 600, 300});

    PaintContext context;
    context.visibleEndTime = 1000.0;
    context.stackHeight = layout.StackHeight();
    context.appFont = QFont(QStringLiteral("Arial"));
    context.appFont.setPixelSize(14);
    auto paint = [&] {
        QImage img(600, 300, QImage::Format_RGB32);
        img.fill(Qt::white);
        QPainter dc(&img);
        ChannelPainter(nullptr).PaintChannels(dc, doc, context);
        return img;
    };
    const QImage calm = paint();
    mid.samples[300] = 1.0e6f;
    mid.samples[310] = -1.0e6f;
    mid.velocity[500] = 1.0e6;
    mid.velocity[510] = -1.0e6;
    const QImage wild = paint();
    SaveImage(wild, "painting-clipped.png");

    // The spikes run to the strip's edges and not a pixel beyond.
    const QRect strip = ToQRect(mid.strip);
    int changed = 0;
    for (int y = 0; y < calm.height(); ++y)
        for (int x = 0; x < calm.width(); ++x) {
            if (strip.contains(x, y))
                changed += calm.pixel(x, y) != wild.pixel(x, y) ? 1 : 0;
            else
                ASSERT_EQ(calm.pixel(x, y), wild.pixel(x, y)) << x << "," << y;
        }
    EXPECT_GT(changed, 4 * strip.height());
    auto blackNear = [&](int sample, int y) {
        const int x = strip.left() + sample * strip.width() / 1000;
        return CountColour(wild, x - 2, y, x + 2, y, qRgb(0, 0, 0)) > 0;
    };
    EXPECT_TRUE(blackNear(300, strip.top() + 1));
    EXPECT_TRUE(blackNear(310, strip.bottom() - 1));
}

TEST_F(ChannelPainting, TraceExtremesMarkerAndSelectionLandOnTheirPixels) {
    COrielDoc doc(app, prompts);
    if (!OpenRecording(doc))
        GTEST_SKIP() << "espeak-ng or sox missing";
    CChannels& audio = doc.Channel(0);
    COrielView view(doc);
    view.resize(900, 400);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.OnZoomHome();
    QApplication::processEvents();
    view.viewport()->grab();
    const QImage& clean = view.SurfaceImage(COrielView::kClean);

    // The trace: each column's stroke runs from its maximum to its minimum.
    const platform::Rect r = audio.strip;  // mode 0: baseline in the middle, 1.0 at the top
    const int w = r.Width();
    const int h = r.Height();
    const WaveformColumns columns(audio.shownStart, audio.shownEnd, w);
    std::vector<ColumnExtent> extents;
    ScanColumnExtents(std::span<const float>(speech), columns, extents);
    auto yOf = [&](double v) { return r.bottom - static_cast<int>(v * h * 0.5) - static_cast<int>(h * 0.5); };
    int checked = 0;
    for (int p = 150; p < w - 5; p += 37) {
        const ColumnExtent& e = extents[static_cast<std::size_t>(p)];
        if (e.empty)
            continue;
        const int x = r.left + p;
        EXPECT_TRUE(IsBlack(clean.pixel(x, yOf(e.max)))) << "max of column " << p;
        EXPECT_TRUE(IsBlack(clean.pixel(x, yOf(e.min)))) << "min of column " << p;
        // Nothing black beyond this column's and its neighbours' extremes.
        double hi = e.max, lo = e.min;
        for (int q : {p - 1, p + 1}) {
            hi = std::max(hi, extents[static_cast<std::size_t>(q)].max);
            lo = std::min(lo, extents[static_cast<std::size_t>(q)].min);
        }
        for (int y = r.top + 18; y < r.bottom - 1; ++y) {
            if (y < yOf(hi) - 1 || y > yOf(lo) + 1) {
                EXPECT_FALSE(IsBlack(clean.pixel(x, y))) << "column " << p << " y " << y;
            }
        }
        ++checked;
    }
    EXPECT_GT(checked, 10);
    // The strip frame is red.
    EXPECT_EQ(clean.pixel(r.left, r.top + 40), qRgb(255, 0, 0));

    // A selection from 200 ms to 400 ms with the marker at its start.
    audio.selStartTime = 200.0;
    audio.selEndTime = 400.0;
    view.selectionShown = true;
    view.markerShown = true;
    view.viewport()->update();
    view.viewport()->grab();
    const QImage& composite = view.SurfaceImage(COrielView::kComposite);
    platform::Rect sel;
    audio.GetSelectionRect(sel);
    ASSERT_GT(sel.right, sel.left + 20);
    const int gapY = r.bottom + 2;  // the gap between the strips shows the background
    EXPECT_TRUE(IsBlack(composite.pixel(sel.left, gapY)));
    const QRgb tint = ToQColor(doc.displayColours[2]).rgb();
    const QRgb background = ToQColor(doc.displayColours[0]).rgb();
    EXPECT_EQ(composite.pixel(sel.left + 10, gapY), (tint & background) | 0xFF000000u);
    EXPECT_EQ(composite.pixel(sel.right + 10, gapY), background);
    EXPECT_EQ(clean.pixel(sel.left + 10, gapY), background);  // the clean picture stays clean
}

TEST_F(ChannelPainting, ScrollingManyTimesCostsOneRebuildPerPaint) {
    COrielDoc doc(app, prompts);
    if (!OpenRecording(doc))
        GTEST_SKIP() << "espeak-ng or sox missing";
    COrielView view(doc);
    view.resize(700, 400);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.OnZoomIn();
    view.OnZoomIn();
    view.viewport()->grab();
    const int before = view.RebuildCount();
    QScrollBar* bar = view.horizontalScrollBar();
    for (int i = 1; i <= 20; ++i)
        bar->setSliderPosition(i * 500);  // thumb tracking
    EXPECT_EQ(view.RebuildCount(), before);
    view.viewport()->grab();
    EXPECT_EQ(view.RebuildCount(), before + 1);
    view.viewport()->grab();
    EXPECT_EQ(view.RebuildCount(), before + 1);
}

TEST_F(ChannelPainting, ARecordingInMemoryIsDrawnFromTheSummariesItWasLoadedWith) {
    // Channel blocks carry a few samples more than the channel holds; the
    // view must not take them for a different series and summarise every
    // channel once more (seconds for a long recording) before it draws.
    COrielDoc doc(app, prompts);
    if (!OpenRecording(doc))
        GTEST_SKIP() << "espeak-ng or sox missing";
    for (int c = 0; c < doc.GetChannelCount(); ++c) {
        const CChannels& ch = doc.Channel(c);
        ASSERT_TRUE(ch.HasSamples());
        ASSERT_NE(ch.samplesSummary, nullptr);
        ASSERT_EQ(ch.samplesSummary->SampleCount(), ch.ReadableCount());
        ASSERT_GT(static_cast<std::int64_t>(ch.samples.size()), ch.ReadableCount());
    }
    COrielView view(doc);
    view.resize(700, 400);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.viewport()->grab();
    EXPECT_EQ(view.SummaryCache().MemoryBuildsMade(), 0);
}

TEST(ScaleLabels, FollowTheScaleMode) {
    CChannels ch;
    ch.bits = 16;
    ch.scaleMode = 0;
    EXPECT_EQ(ScaleLabelsOf(ch).top, "32768.00");
    EXPECT_EQ(ScaleLabelsOf(ch).bottom, "-32768.00000");
    ch.scaleMode = 1;
    ch.reference = 100.7;
    EXPECT_EQ(ScaleLabelsOf(ch).top, "65435");
    EXPECT_EQ(ScaleLabelsOf(ch).bottom, "-100");
    ch.scaleMode = -1;
    EXPECT_TRUE(ScaleLabelsOf(ch).top.empty());
    // Both derived panes: a mode-0 trace keeps 0.33 of its amplitude in the top third.
    ch.scaleMode = 0;
    ch.velocityValid = ch.drawVelocity = 1;
    ch.accelerationValid = ch.drawAcceleration = 1;
    const StripScale s = StripScaleOf(ch, 120, 0.5);
    EXPECT_DOUBLE_EQ(s.split, 0.33);
    EXPECT_DOUBLE_EQ(s.baseline + s.shift, 0.5 + 1.0 / 3.0);
}

}  // namespace
}  // namespace vocomet
