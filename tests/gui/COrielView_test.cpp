#include "app/ui/COrielView.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include <cmath>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/NativeReaders.h"
#include "core/SampleSummary.h"
#include "platform/File.h"
#include "support/NativeFixtureWriter.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

class MainView : public ::testing::Test {
protected:
    void SetUp() override { app.tempFolder = test::FreshTempDir(); }

    ApplicationState app;
    test::ScriptedPrompts prompts;
};

void SaveScreenshot(QWidget& w, const char* name) {
    const QString path = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots/") +
                         QString::fromLatin1(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    w.grab().save(path);
}

TEST_F(MainView, OpensAFileZoomsInAndScrollsWithTheBar) {
    // Two channels of one second at different rates, channel-wise layout.
    test::FixtureFile file;
    file.layout = test::FixtureLayout::KovPcFloat;
    file.channels.push_back(test::RampChannel("Audio", 22050.0, 22050, -1.0f, 2.0f / 22050));
    file.channels.push_back(test::RampChannel("EGG", 11025.0, 11025, 0.5f, -1.0f / 11025));
    file.channels[0].timeReference = 1;
    const std::string path = app.tempFolder + "/two.vcm";
    test::WriteNativeFixture(path, file);

    COrielDoc doc(app, prompts);
    RegisterNativeReaders(doc.Formats());
    ASSERT_TRUE(doc.OnOpenDocument(path));
    ASSERT_EQ(doc.GetChannelCount(), 2);
    CChannels& a = doc.Channel(0);
    CChannels& b = doc.Channel(1);

    COrielView view(doc);
    view.resize(640, 480);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    ASSERT_TRUE(view.IsInitialUpdateDone());

    // Layout and surfaces at the client size.
    const QSize client = view.viewport()->size();
    EXPECT_EQ(view.SurfaceImage(COrielView::kComposite).size(), client);
    EXPECT_EQ(view.SurfaceImage(COrielView::kSelectionTint).size(), client);
    EXPECT_EQ(view.SurfaceImage(COrielView::kPlayCursor).size(), QSize(1, client.height()));
    EXPECT_EQ(a.strip, (platform::Rect{50, 0, client.width() - 5, 100}));
    EXPECT_EQ(b.strip, (platform::Rect{50, 105, client.width() - 5, 205}));
    EXPECT_EQ(view.Layout().StackHeight(), 210);

    QScrollBar* bar = view.horizontalScrollBar();
    EXPECT_EQ(bar->maximum(), 0);  // the whole recording is shown

    view.OnZoomIn();
    EXPECT_DOUBLE_EQ(a.shownStart, 22050 * 0.25);
    EXPECT_DOUBLE_EQ(a.shownEnd, 22050 * 0.75);
    EXPECT_DOUBLE_EQ(b.shownStart, 11025 * 0.25);
    EXPECT_EQ(bar->pageStep(), 15000);
    EXPECT_EQ(bar->value(), 7500);
    EXPECT_EQ(bar->maximum(), 15001);
    EXPECT_TRUE(view.Scroll().canScroll);

    // A page right runs into the end: the window keeps its length.
    bar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(bar->value(), 15001);
    EXPECT_DOUBLE_EQ(a.shownEnd, 22050);
    EXPECT_DOUBLE_EQ(a.shownLength, 11025);
    EXPECT_DOUBLE_EQ(b.shownEnd, 11025);

    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);  // a tenth of the page
    EXPECT_EQ(bar->value(), 13501);
    EXPECT_DOUBLE_EQ(a.shownStart, 13501 * 22050 / 30000.0);
    EXPECT_DOUBLE_EQ(b.shownStart, 13501 * 11025 / 30000.0);

    // Dragging the thumb.
    bar->setSliderPosition(3000);
    EXPECT_EQ(bar->value(), 3000);
    EXPECT_DOUBLE_EQ(a.shownStart, 2205);
    EXPECT_DOUBLE_EQ(b.shownStart, 1102.5);
    EXPECT_DOUBLE_EQ(view.Scroll().visibleStartTime, 100.0);
    EXPECT_DOUBLE_EQ(view.Scroll().visibleEndTime, 600.0);

    // The wheel moves a line forward in time.
    QWheelEvent wheel(QPointF(100, 50), view.mapToGlobal(QPoint(100, 50)), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(view.viewport(), &wheel);
    EXPECT_EQ(bar->value(), 4500);

    // Painting rebuilds the surfaces once and copies the composite.
    EXPECT_TRUE(view.NeedsRedraw());
    const QImage shot = view.viewport()->grab().toImage();
    EXPECT_FALSE(view.NeedsRedraw());
    const QImage& composite = view.SurfaceImage(COrielView::kComposite);
    // The ramp's trace crosses every column of the first strip.
    const QRgb background = composite.pixel(10, 50);
    int inked = 0;
    for (int y = 1; y < 99; ++y)
        inked += composite.pixel(300, y) != background ? 1 : 0;
    EXPECT_GT(inked, 0);
    EXPECT_EQ(shot.size(), client);
    SaveScreenshot(view, "main-view.png");

    // Scrolling leaves the previous window: UnZoom goes back to the whole.
    view.OnZoomUnzoom();
    EXPECT_DOUBLE_EQ(a.shownStart, 0);
    EXPECT_DOUBLE_EQ(a.shownEnd, 22050);
    view.OnZoomIn();
    view.OnZoomHome();
    EXPECT_EQ(bar->maximum(), 0);
    EXPECT_FALSE(view.Scroll().canScroll);
}

TEST_F(MainView, DeepZoomIntoAnHourScrollsWithoutLosingTheWindow) {
    // Six one-hour channels at two rates, as a reader leaves a file-backed
    // recording: counts and rates set, whole windows shown, no samples here.
    COrielDoc doc(app, prompts);
    doc.SetChannelCount(6);
    for (int i = 0; i < 6; ++i) {
        CChannels& ch = doc.Channel(i);
        ch.rate = i % 2 == 0 ? 44100.0 : 8000.0;
        ch.sampleCount = 3600.0 * ch.rate;
        ch.duration = 3600000.0;
        ch.shownEnd = ch.shownLength = ch.prevWindowEnd = ch.sampleCount;
        ch.timeReference = i == 0 ? 1 : 0;
        ch.name = "Channel " + std::to_string(i + 1);
    }
    doc.dataLoaded = 1;

    COrielView view(doc);
    view.resize(500, 320);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    CChannels& fast = doc.Channel(0);
    CChannels& slow = doc.Channel(1);

    // Zoom in until the fast channel shows at most 100 samples.
    int steps = 0;
    while (fast.shownLength > 100.0 && steps < 40) {
        view.OnZoomIn();
        ++steps;
    }
    ASSERT_LE(fast.shownLength, 100.0);
    const double fastLength = fast.shownLength;
    const double slowLength = slow.shownLength;
    QScrollBar* bar = view.horizontalScrollBar();
    EXPECT_EQ(bar->pageStep(), 0);  // far below one unit of the bar
    const int pos = bar->value();

    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(bar->value(), pos + 1);
    EXPECT_DOUBLE_EQ(fast.shownLength, fastLength);
    EXPECT_DOUBLE_EQ(slow.shownLength, slowLength);
    EXPECT_DOUBLE_EQ(fast.shownStart, (pos + 1) * fast.sampleCount / 30000.0);

    bar->setSliderPosition(bar->maximum());
    EXPECT_EQ(bar->value(), 30000);
    EXPECT_DOUBLE_EQ(fast.shownEnd, fast.sampleCount);
    EXPECT_DOUBLE_EQ(fast.shownLength, fastLength);
    EXPECT_DOUBLE_EQ(slow.shownEnd, slow.sampleCount);

    // Six strips of 100 pixels do not fit: the vertical bar moves the stack.
    QScrollBar* vbar = view.verticalScrollBar();
    const int clientHeight = view.viewport()->height();
    EXPECT_EQ(view.Layout().StackHeight(), 630);
    EXPECT_EQ(vbar->pageStep(), clientHeight - 50);
    vbar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(vbar->value(), clientHeight - 50);
    EXPECT_EQ(view.Scroll().verticalOffset, -(clientHeight - 50));
    vbar->triggerAction(QAbstractSlider::SliderToMaximum);  // not a scroll of its own
    vbar->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(vbar->value(), vbar->maximum());
    EXPECT_EQ(view.Scroll().verticalOffset, -vbar->maximum());
    vbar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(view.Scroll().verticalOffset, -vbar->value());

    // A taller window that fits the stack goes back to the top.
    view.resize(500, 900);
    QApplication::processEvents();
    EXPECT_EQ(view.Scroll().verticalOffset, 0);
    EXPECT_EQ(vbar->maximum(), 0);
    SaveScreenshot(view, "main-view-deep-zoom.png");
}

TEST_F(MainView, PaintsAWindowBeyondTheSamplesInMemory) {
    // A short block under a longer sample count (a cut-short recording):
    // the window past the block's end paints as empty, it does not read on.
    COrielDoc doc(app, prompts);
    doc.SetChannelCount(1);
    CChannels& ch = doc.Channel(0);
    ch.samples = platform::FloatBlock::Allocate(1000);
    ch.rate = 1000.0;
    ch.sampleCount = 100000.0;
    ch.duration = 100000.0;
    ch.shownEnd = ch.shownLength = ch.prevWindowEnd = ch.sampleCount;
    ch.timeReference = 1;
    ch.markerSample = 99000.0;
    doc.dataLoaded = 1;

    COrielView view(doc);
    view.resize(400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.OnZoomFromCursorForDuration();
    EXPECT_DOUBLE_EQ(ch.shownStart, 99000.0);
    EXPECT_DOUBLE_EQ(ch.shownEnd, 100000.0);
    EXPECT_FALSE(view.viewport()->grab().isNull());
    EXPECT_FALSE(view.NeedsRedraw());
}

// A view whose channel drawing fails while `fail` is set.
class FailingView : public COrielView {
public:
    using COrielView::COrielView;
    bool fail = false;
    void PaintChannels(QPainter& dc) override {
        if (fail)
            throw std::runtime_error("drawing failed");
        COrielView::PaintChannels(dc);
    }
};

TEST_F(MainView, AFailedRebuildSaysSoOnceAndKeepsThePicture) {
    COrielDoc doc(app, prompts);
    doc.SetChannelCount(1);
    CChannels& ch = doc.Channel(0);
    ch.samples = platform::FloatBlock::Allocate(1000);
    for (std::size_t i = 0; i < 1000; ++i)
        ch.samples[i] = static_cast<float>(0.8 * std::sin(i * 0.03));
    ch.rate = 1000.0;
    ch.sampleCount = ch.duration = 1000.0;
    ch.shownEnd = ch.shownLength = ch.prevWindowEnd = ch.sampleCount;
    ch.timeReference = 1;
    doc.dataLoaded = 1;

    FailingView view(doc);
    view.resize(400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.viewport()->grab();
    ASSERT_FALSE(view.NeedsRedraw());
    const QImage before = view.SurfaceImage(COrielView::kComposite).copy();

    // Zoomed in while drawing fails: every paint tries again, the window
    // keeps the picture it had, and the message comes once, after the paint.
    view.fail = true;
    view.OnZoomIn();
    view.viewport()->grab();
    EXPECT_TRUE(prompts.messages.empty());
    QApplication::processEvents();
    for (int i = 0; i < 3; ++i) {
        view.viewport()->grab();
        QApplication::processEvents();
    }
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, "Error in drawing the image.");
    EXPECT_EQ(prompts.messages[0].icon, platform::Icon::Error);
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_TRUE(view.NeedsRedraw());
    EXPECT_EQ(view.SurfaceImage(COrielView::kComposite), before);

    // A successful rebuild, and so does a change of data, lets the next
    // failure be told again.
    view.fail = false;
    view.viewport()->grab();
    EXPECT_FALSE(view.NeedsRedraw());
    EXPECT_NE(view.SurfaceImage(COrielView::kComposite), before);  // the zoomed picture
    view.fail = true;
    view.OnZoomOut();
    view.viewport()->grab();
    QApplication::processEvents();
    view.OnSamplesChanged();
    view.viewport()->grab();
    view.viewport()->grab();
    QApplication::processEvents();
    EXPECT_EQ(prompts.messages.size(), 3u);
    EXPECT_EQ(prompts.beeps, 3);
}

// Holds a summary build after its first piece until opened (also when the
// test ends early, so that the view can go).
class BuildGate {
public:
    ~BuildGate() { Open(); }
    void operator()() {
        std::unique_lock<std::mutex> lock(m_mutex);
        ++m_pieces;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return m_open; });
    }
    bool WaitForFirstPiece() {
        std::unique_lock<std::mutex> lock(m_mutex);
        return m_changed.wait_for(lock, std::chrono::seconds(30), [this] { return m_pieces > 0; });
    }
    void Open() {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_open = true;
        m_changed.notify_all();
    }

private:
    std::mutex m_mutex;
    std::condition_variable m_changed;
    int m_pieces = 0;
    bool m_open = false;
};

// Two channels of a hundred seconds at 10 kHz, read from a data file of
// interleaved frames (as a long recording is kept) or held in memory.
void MakeRecording(COrielDoc& doc, const std::vector<std::vector<float>>& columns,
                   const std::shared_ptr<platform::File>& file) {
    doc.SetChannelCount(static_cast<int>(columns.size()));
    for (int c = 0; c < doc.GetChannelCount(); ++c) {
        CChannels& ch = doc.Channel(c);
        const std::vector<float>& x = columns[static_cast<std::size_t>(c)];
        if (file) {
            ch.sourceFile = file;
            ch.stride = static_cast<std::int32_t>(columns.size());
            ch.channelNumber = c + 1;
        } else {
            ch.samples = platform::FloatBlock::Allocate(x.size());
            std::copy(x.begin(), x.end(), ch.samples.data());
        }
        ch.rate = 10000.0;
        ch.sampleCount = static_cast<double>(x.size());
        ch.duration = ch.sampleCount / 10.0;
        ch.shownEnd = ch.shownLength = ch.prevWindowEnd = ch.sampleCount;
        ch.timeReference = c == 0 ? 1 : 0;
        ch.name = "Channel " + std::to_string(c + 1);
    }
    doc.dataLoaded = 1;
}

TEST_F(MainView, PaintsWhatIsSummarisedWhileTheSummaryIsBuiltAndTheRestWhenItIsDone) {
    const std::size_t frames = 1000000;
    std::vector<std::vector<float>> columns(2, std::vector<float>(frames));
    std::vector<float> interleaved;
    interleaved.reserve(2 * frames);
    for (std::size_t k = 0; k < frames; ++k) {
        const double t = static_cast<double>(k) / 10000.0;
        columns[0][k] = static_cast<float>((0.3 + 0.6 * std::fabs(std::sin(t * 0.2))) * std::sin(t * 900.0));
        columns[1][k] = static_cast<float>(0.5 * std::sin(t * 0.7) + 0.2 * std::sin(t * 3000.0));
        interleaved.push_back(columns[0][k]);
        interleaved.push_back(columns[1][k]);
    }
    const std::string path = app.tempFolder + "/frames.f32";
    {
        platform::File out(path, platform::File::Mode::Create);
        out.Write(interleaved.data(), interleaved.size() * sizeof(float));
    }

    // The same recording in memory draws the reference picture.
    COrielDoc memoryDoc(app, prompts);
    MakeRecording(memoryDoc, columns, nullptr);
    COrielView reference(memoryDoc);
    reference.resize(600, 400);
    reference.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&reference));
    reference.viewport()->grab();
    ASSERT_FALSE(reference.Painter().IsIncomplete());

    COrielDoc doc(app, prompts);
    MakeRecording(doc, columns, std::make_shared<platform::File>(path, platform::File::Mode::Read));
    COrielView view(doc);
    constexpr std::int64_t kPieceFrames = 16 * 4096;
    view.SummaryCache().SetPieceBytes(kPieceFrames * 2 * 4);
    BuildGate gate;
    view.SummaryCache().AddProgressListener([&gate] { gate(); });
    view.resize(600, 400);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.viewport()->grab();
    EXPECT_EQ(view.SummaryCache().FileBuildsStarted(), 1);
    // Nothing summarised yet: the traces wait, nothing is read.
    EXPECT_TRUE(view.Painter().IsIncomplete());
    EXPECT_EQ(view.Painter().FramesRead(), 0);

    // The first piece is told to the view, which draws it.
    ASSERT_TRUE(gate.WaitForFirstPiece());
    const int rebuilds = view.RebuildCount();
    ASSERT_TRUE(QTest::qWaitFor([&] { return view.RebuildCount() > rebuilds; }, 5000));
    EXPECT_TRUE(view.Painter().IsIncomplete());
    EXPECT_LE(view.Painter().FramesRead(), kPieceFrames);
    const QImage part = view.SurfaceImage(COrielView::kClean).copy();
    EXPECT_NE(part, reference.SurfaceImage(COrielView::kClean));
    // Left of the summarised part the picture is already the full one.
    const int strip = doc.Channel(0).strip.left;
    const int summarisedColumns = static_cast<int>(doc.Channel(0).strip.Width() * kPieceFrames / frames) - 2;
    ASSERT_GT(summarisedColumns, 2);
    EXPECT_EQ(part.copy(0, 0, strip + summarisedColumns, part.height()),
              reference.SurfaceImage(COrielView::kClean).copy(0, 0, strip + summarisedColumns, part.height()));

    // The rest of the build: the view draws again by itself, and its
    // picture is that of the full scan, reading only the column ends.
    gate.Open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !view.Painter().IsIncomplete() && !view.NeedsRedraw(); }, 30000));
    EXPECT_EQ(view.SurfaceImage(COrielView::kClean), reference.SurfaceImage(COrielView::kClean));
    EXPECT_LE(view.Painter().FramesRead(), (doc.Channel(0).strip.Width() + 1) * 32);
    EXPECT_EQ(view.SummaryCache().FileBuildsStarted(), 1);

    // Channels that bring their summaries (as a load makes them) are drawn
    // from those at once: the same picture, and no build.
    FrameSummaryBuilder builder(2);
    builder.AddFrames(interleaved.data(), frames);
    std::vector<SampleSummary> made = builder.Finish();
    COrielDoc loaded(app, prompts);
    MakeRecording(loaded, columns, std::make_shared<platform::File>(path, platform::File::Mode::Read));
    for (int c = 0; c < 2; ++c)
        loaded.Channel(c).samplesSummary =
            std::make_shared<const SampleSummary>(std::move(made[static_cast<std::size_t>(c)]));
    COrielView handed(loaded);
    handed.resize(600, 400);
    handed.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&handed));
    handed.viewport()->grab();
    EXPECT_FALSE(handed.Painter().IsIncomplete());
    EXPECT_EQ(handed.SummaryCache().FileBuildsStarted(), 0);
    EXPECT_EQ(handed.SurfaceImage(COrielView::kClean), reference.SurfaceImage(COrielView::kClean));
}

TEST_F(MainView, ZoomOnAnEmptyDocumentChangesNothing) {
    COrielDoc doc(app, prompts);
    COrielView view(doc);
    view.resize(300, 200);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    view.OnZoomIn();
    view.OnZoomFromCursorForDuration();
    view.ScrollToTime(500.0);
    view.horizontalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepAdd);
    EXPECT_EQ(view.horizontalScrollBar()->value(), 0);
    EXPECT_FALSE(view.Scroll().canScroll);
    EXPECT_FALSE(view.viewport()->grab().isNull());
    EXPECT_TRUE(prompts.messages.empty());
}

}  // namespace
}  // namespace vocomet
