#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMouseEvent>
#include <QScrollBar>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "acquisition/AcquisitionState.h"
#include "app/StatusTable.h"
#include "app/ViewMessages.h"
#include "app/ui/CFormControl.h"
#include "app/ui/COrielView.h"
#include "app/ui/CStatusWindow.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/WaveFile.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

void SendMouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

void SaveScreenshot(QWidget& w, const char* name) {
    const QString path = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots/") +
                         QString::fromLatin1(name);
    QDir().mkpath(QFileInfo(path).absolutePath());
    w.grab().save(path);
}

// Press at from, move through the steps with the left button, release at
// the last point.
void Drag(QWidget* viewport, QPoint from, const std::vector<QPoint>& steps) {
    SendMouse(viewport, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    for (const QPoint& p : steps)
        SendMouse(viewport, QEvent::MouseMove, p, Qt::NoButton, Qt::LeftButton);
    SendMouse(viewport, QEvent::MouseButtonRelease, steps.empty() ? from : steps.back(), Qt::LeftButton,
              Qt::NoButton);
}

struct RecordingPane : AnalysisPane {
    std::vector<std::string> calls;
    void BeginMouseSelection(unsigned, platform::Point, double t, int source) override {
        calls.push_back("begin " + std::to_string(static_cast<int>(t)) + " " + std::to_string(source));
    }
    void EndMouseSelection(unsigned, platform::Point, double, int source) override {
        calls.push_back("end " + std::to_string(source));
    }
    void TrackMouse(unsigned flags, platform::Point, double, int) override {
        calls.push_back(flags ? "drag" : "move");
    }
    void SetRedrawFlag(int) override { calls.push_back("redraw"); }
    void Invalidate() override { calls.push_back("invalidate"); }
};

struct RecordingList : LabelListSink {
    std::vector<std::string> calls;
    void AddLabel(const std::string& name, const LABEL& l) override {
        calls.push_back("add " + name + " " + std::string(l.Text()));
    }
    void ModifyLabel(const LABEL&, const LABEL& n, const std::string& name) override {
        calls.push_back("modify " + name + " " + std::string(n.Text()));
    }
    void DeleteLabel(const LABEL& l, const std::string& name) override {
        calls.push_back("delete " + name + " " + std::string(l.Text()));
    }
};

class ViewMouse : public ::testing::Test {
protected:
    void SetUp() override { app.tempFolder = test::FreshTempDir(); }

    // Three channels of two seconds at 16 kHz, written by sox.
    bool OpenWave(COrielDoc& doc) {
        if (!test::HaveTool("sox"))
            return false;
        const std::string path = app.tempFolder + "/tones.wav";
        if (test::RunCommand("sox -n -r 16000 -c 3 -b 16 '" + path +
                             "' synth 2 sine 200 sine 300 sine 400 vol 0.2 2>/dev/null") != 0)
            return false;
        RegisterWaveFormats(doc.Formats());
        return doc.OnOpenDocument(path);
    }

    std::unique_ptr<COrielView> Show(COrielDoc& doc, int w = 800, int h = 420) {
        auto view = std::make_unique<COrielView>(doc);
        view->resize(w, h);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
        view->viewport()->grab();
        return view;
    }

    ApplicationState app;
    test::ScriptedPrompts prompts;
};

// Time (ms) at client x of a strip showing the whole two seconds.
double TimeAt(const CChannels& ch, int x) {
    return (x - ch.strip.left) * ch.duration / (ch.strip.right - ch.strip.left);
}

TEST_F(ViewMouse, DragSelectsInEveryChannelAndTellsTheStatusWindow) {
    COrielDoc doc(app, prompts);
    if (!OpenWave(doc))
        GTEST_SKIP() << "sox missing";
    ASSERT_EQ(doc.GetChannelCount(), 3);
    auto view = Show(doc);
    CStatusWindow status;
    ASSERT_TRUE(status.CreateFormControl());
    status.ShowDocument(view.get(), &doc);
    view->statusWindow = &status;
    RecordingPane spectrogram, pitch;
    view->hooks.spectrogramPane = [&] { return &spectrogram; };
    view->hooks.pitchPane = [&] { return &pitch; };

    QWidget* vp = view->viewport();
    const int y = doc.Channel(1).strip.top + 30;
    Drag(vp, {200, y}, {{260, y}, {330, y}, {300, y}});
    for (int i = 0; i < 3; ++i) {
        SCOPED_TRACE(i);
        const CChannels& ch = doc.Channel(i);
        EXPECT_NEAR(ch.selStartTime, TimeAt(ch, 200), 0.5);
        EXPECT_NEAR(ch.selEndTime, TimeAt(ch, 300), 0.5);
    }
    EXPECT_TRUE(view->selectionShown);
    EXPECT_FALSE(view->markerShown);
    EXPECT_EQ(view->clickedChannel, 1);
    EXPECT_EQ(doc.selectionPresent, 1);

    // The status window shows the selection's length and the values under
    // the cursor; the panes followed every event with the view's time.
    const double length = doc.Channel(0).selLengthTime;
    EXPECT_EQ(status.Form()->DurationText()->text().trimmed(), QString::number(length, 'f', 1));
    const double value = std::get<double>(status.Form()->Grid().GetCell(0, kStatusValue));
    EXPECT_NEAR(value, doc.Channel(0).CalibrateValue(doc.Channel(0).valueAtCursor), 1e-9);
    // The press passes its own time (no move came before it).
    EXPECT_EQ(spectrogram.calls.front(), "begin " + std::to_string(static_cast<int>(doc.Channel(0).markerTime)) + " 0");
    EXPECT_NEAR(doc.Channel(0).markerTime, TimeAt(doc.Channel(0), 200), 0.5);
    EXPECT_EQ(spectrogram.calls.back(), "end 0");
    EXPECT_EQ(pitch.calls.size(), 5u);

    // Mid-drag, as the user sees it, for a look.
    SendMouse(vp, QEvent::MouseButtonPress, {420, y}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(vp, QEvent::MouseMove, {560, y}, Qt::NoButton, Qt::LeftButton);
    SaveScreenshot(*view, "view-mouse-drag.png");
    SendMouse(vp, QEvent::MouseMove, {300, y}, Qt::NoButton, Qt::LeftButton);
    SendMouse(vp, QEvent::MouseMove, {200, y}, Qt::NoButton, Qt::LeftButton);
    SendMouse(vp, QEvent::MouseButtonPress, {200, y}, Qt::LeftButton, Qt::LeftButton);
    SendMouse(vp, QEvent::MouseMove, {300, y}, Qt::NoButton, Qt::LeftButton);
    SendMouse(vp, QEvent::MouseButtonRelease, {300, y}, Qt::LeftButton, Qt::NoButton);

    // The composite shows the band between 200 and 300 only, and no
    // marker; a move did not rebuild the traces.
    const int rebuilds = view->RebuildCount();
    vp->grab();
    EXPECT_EQ(view->RebuildCount(), rebuilds);
    const QImage& composite = view->SurfaceImage(COrielView::kComposite);
    const QImage& clean = view->SurfaceImage(COrielView::kClean);
    const int gap = doc.Channel(0).strip.bottom + 2;
    EXPECT_NE(composite.pixel(250, gap), clean.pixel(250, gap));
    EXPECT_EQ(composite.pixel(320, gap), clean.pixel(320, gap));
    EXPECT_EQ(composite.pixel(190, gap), clean.pixel(190, gap));

    // A click after the selection clears it; the next places the marker.
    Drag(vp, {500, y}, {});
    EXPECT_FALSE(view->selectionShown);
    EXPECT_FALSE(view->markerShown);
    Drag(vp, {500, y}, {});
    EXPECT_TRUE(view->markerShown);
    EXPECT_NEAR(doc.Channel(2).markerTime, TimeAt(doc.Channel(2), 500), 0.5);
    vp->grab();
    EXPECT_EQ(composite.pixel(500, gap), qRgb(0, 0, 0));
    EXPECT_EQ(composite.pixel(250, gap), clean.pixel(250, gap));
}

TEST_F(ViewMouse, DraggingPastTheRightEdgeScrollsOnlyAZoomedView) {
    COrielDoc doc(app, prompts);
    if (!OpenWave(doc))
        GTEST_SKIP() << "sox missing";
    auto view = Show(doc);
    QWidget* vp = view->viewport();
    QScrollBar* bar = view->horizontalScrollBar();
    const int right = vp->width() - 2;
    Drag(vp, {400, 30}, {{right, 30}, {right, 30}});
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->value(), 0);  // the whole recording is shown: no scrolling

    view->OnZoomIn();
    view->OnZoomIn();
    vp->grab();
    const int before = bar->value();
    const int rebuilds = view->RebuildCount();
    Drag(vp, {400, 30}, {{right, 30}, {right, 30}, {right, 30}});
    QCoreApplication::processEvents();
    EXPECT_GT(bar->value(), before);
    // Three scroll lines, one rebuild at the next paint.
    vp->grab();
    EXPECT_EQ(view->RebuildCount(), rebuilds + 1);
    EXPECT_GT(doc.Channel(0).selEndTime, doc.Channel(0).selStartTime);
}

TEST_F(ViewMouse, LabelModeEntersEditsAndDeletesLabels) {
    COrielDoc doc(app, prompts);
    if (!OpenWave(doc))
        GTEST_SKIP() << "sox missing";
    auto view = Show(doc);
    RecordingList list;
    RecordingPane pitch;
    view->hooks.labelList = [&]() -> LabelListSink* { return &list; };
    view->hooks.pitchPane = [&] { return &pitch; };
    std::vector<std::string> answers = {"vowel", "", "ignored"};
    std::vector<std::string> offered;
    view->hooks.labelEntry = [&](const LabelEntryValues& v) -> std::optional<LabelEntryValues> {
        offered.push_back(v.text);
        LabelEntryValues a = v;
        a.text = answers.front();
        answers.erase(answers.begin());
        return a;
    };
    view->OnLabelsMode();
    ASSERT_TRUE(view->labelMode);
    QWidget* vp = view->viewport();
    CChannels& ch = doc.Channel(2);
    const int y = ch.strip.top + 20;

    // A click with no label under it enters a new label at the marker.
    Drag(vp, {300, y}, {});
    ASSERT_EQ(ch.labels.GetSize(), 1);
    EXPECT_EQ(ch.labels.GetAt(0).Text(), "vowel");
    EXPECT_NEAR(ch.labels.GetAt(0).time, TimeAt(ch, 300), 0.5);
    EXPECT_TRUE(doc.IsModified());
    ASSERT_EQ(list.calls.size(), 1u);
    EXPECT_EQ(list.calls[0], "add " + ch.name + " vowel");
    vp->grab();

    // Dragging it moves it by the mouse's way, outline first.
    const platform::Rect before = ch.labels.GetAt(0).rect;
    const double timeBefore = ch.labels.GetAt(0).time;
    const QPoint grip(before.left + 2, before.top + 2);
    SendMouse(vp, QEvent::MouseButtonPress, grip, Qt::LeftButton, Qt::LeftButton);
    SendMouse(vp, QEvent::MouseMove, grip + QPoint(20, 5), Qt::NoButton, Qt::LeftButton);
    SendMouse(vp, QEvent::MouseMove, grip + QPoint(40, 10), Qt::NoButton, Qt::LeftButton);
    vp->grab();
    const QImage& composite = view->SurfaceImage(COrielView::kComposite);
    const QImage& clean = view->SurfaceImage(COrielView::kClean);
    const int edgeX = before.left + 40, edgeY = before.top + 10 + 2;  // the outline's left edge
    EXPECT_EQ(composite.pixel(edgeX, edgeY), qRgb(0, 0, 0));
    EXPECT_NE(clean.pixel(edgeX, edgeY), qRgb(0, 0, 0));
    SaveScreenshot(*view, "view-mouse-label-drag.png");
    SendMouse(vp, QEvent::MouseButtonRelease, grip + QPoint(40, 10), Qt::LeftButton, Qt::NoButton);
    ASSERT_EQ(ch.labels.GetSize(), 1);
    EXPECT_NEAR(ch.labels.GetAt(0).time - timeBefore, 40 * ch.duration / (ch.strip.right - ch.strip.left), 2.0);
    EXPECT_EQ(list.calls.back(), "modify " + ch.name + " vowel");
    EXPECT_EQ(offered.size(), 1u);
    vp->grab();

    // A click on it offers its text; an empty text deletes it everywhere.
    doc.SetModifiedFlag(false);
    const platform::Rect r = ch.labels.GetAt(0).rect;
    Drag(vp, {r.left + 2, r.top + 2}, {});
    EXPECT_EQ(offered.back(), "vowel");
    EXPECT_EQ(ch.labels.GetSize(), 0);
    EXPECT_EQ(list.calls.back(), "delete " + ch.name + " vowel");
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(pitch.calls.back(), "end 0");
    EXPECT_NE(std::find(pitch.calls.begin(), pitch.calls.end(), "redraw"), pitch.calls.end());
    EXPECT_TRUE(view->NeedsRedraw());
}

TEST_F(ViewMouse, TimersAreOneShotAndFollowTheTable) {
    COrielDoc doc(app, prompts);
    auto view = Show(doc);
    int plays = 0, monitors = 0;
    view->hooks.advancePlayCursor = [&] { ++plays; };
    view->hooks.showRecordingMonitor = [&] { ++monitors; };
    view->SetTimer(kTimerPlayCursor, 1);
    view->SetTimer(kTimerPlayCursorAfterPlay, 1);
    view->SetTimer(kTimerRecordingMonitor, 1);
    view->SetTimer(7, 1);
    QTest::qWait(30);
    EXPECT_EQ(plays, 2);
    EXPECT_EQ(monitors, 1);
    for (int id : {int{kTimerPlayCursor}, int{kTimerPlayCursorAfterPlay}, int{kTimerRecordingMonitor}, 7})
        EXPECT_FALSE(view->IsTimerSet(id)) << id;
}

TEST_F(ViewMouse, APressLeavesARunningRecordingToItsStopPath) {
    COrielDoc doc(app, prompts);
    if (!OpenWave(doc))
        GTEST_SKIP() << "sox missing";
    auto view = Show(doc);
    AcquisitionState& acquisition = app.acquisition;
    acquisition.soundIn = std::make_unique<CSoundIn>();
    acquisition.recording.store(1);

    // A pane's press while recording keeps the input object.
    view->BeginMouseSelection(0, {0, 0}, 100.0, kFromPane);
    EXPECT_NE(acquisition.soundIn, nullptr);
    view->EndMouseSelection(0, {0, 0}, 100.0, kFromPane);

    // A press in the view stops the recording through the stop path, which
    // loads it before the input object goes, and starts no selection.
    int loads = 0;
    view->hooks.loadRecording = [&](platform::File&) {
        ++loads;
        return true;
    };
    const bool markerBefore = view->markerShown;
    Drag(view->viewport(), {300, 30}, {});
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(acquisition.soundIn, nullptr);
    EXPECT_EQ(acquisition.recording.load(), 0);
    EXPECT_EQ(view->markerShown, markerBefore);

    // With the flag set but no input object, a press changes nothing.
    acquisition.recording.store(1);
    Drag(view->viewport(), {300, 30}, {});
    EXPECT_EQ(loads, 1);
}

}  // namespace
}  // namespace vocomet
