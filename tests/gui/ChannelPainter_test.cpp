#include "app/ui/ChannelPainter.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <vector>

#include "app/WaveformColumns.h"
#include "app/ui/COrielView.h"
#include "app/ui/QtText.h"
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

void SaveScreenshot(QWidget& w, const char* name) {
    const QString path = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots/") +
                         QString::fromLatin1(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    w.grab().save(path);
}

bool IsBlack(QRgb c) { return qRed(c) < 60 && qGreen(c) < 60 && qBlue(c) < 60; }

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
