// The pitch window opened from the main view's Pitch command on real speech:
// the track, the read-outs and the picture; the cursor and selection shared
// with the main view both ways; zoom, log entries and play requests; a cut
// in the main view measuring again; refusals and a cancelled computation
// closing the window; printing and bitmap export.

#include <QAction>
#include <QApplication>
#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPrinter>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/CSoundOut.h"
#include "analysis/ui/CPitchFrame.h"
#include "analysis/ui/CPitchPane.h"
#include "analysis/ui/CPitchView.h"
#include "app/ui/PitchWindow.h"
#include "app/PitchLogEntries.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CFormLog.h"
#include "app/ui/CFrameLog.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielApp.h"
#include "app/ui/COrielView.h"
#include "widgets/DrawingRoutines.h"
#include "app/ui/ViewAnalysisOpeners.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/WaveFile.h"
#include "gui/AppTestOptions.h"
#include "gui/SpeechWindowFixture.h"
#include "platform/FakeAudio.h"
#include "platform/ProfileStore.h"
#include "platform/Progress.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

// A progress that asks to stop at once.
class AbortingProgress final : public platform::Progress {
public:
    void SetText(const std::string&) override {}
    void SetFraction(double) override {}
    bool AbortRequested() override { return true; }
};

void SendMouse(QWidget* w, QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
    QMouseEvent e(type, QPointF(at), QPointF(w->mapToGlobal(at)), button, buttons, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

void Drag(QWidget* w, QPoint from, QPoint to) {
    SendMouse(w, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    SendMouse(w, QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    SendMouse(w, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

void Click(QWidget* w, QPoint at) { Drag(w, at, at); }

class PitchWindow : public test::SpeechDocumentWindow {
protected:
    void SetUp() override {
        backend = std::make_shared<platform::FakeAudioBackend>();
        app.acquisition.audioBackend = backend;
        OpenSpeech();
        if (!child)
            return;
        AddAnalysisWindowCommands(frame, [this] { return child; });
        RegisterPitchWindow(frame);
        prompts.messages.clear();
    }

    void TearDown() override { AnalysisTemplates().pitch = {}; }

    // Analysis > Pitch, as the user chooses it.
    CPitchFrame* OpenFromMenu() {
        for (QAction* a : frame.AnalysisMenu()->actions())
            if (a->text() == QStringLiteral("Pitch"))
                a->trigger();
        return FindPitchFrame();
    }

    CPitchFrame* FindPitchFrame() {
        for (QMdiSubWindow* w : frame.MdiArea()->subWindowList())
            if (auto* f = qobject_cast<CPitchFrame*>(w))
                return f;
        return nullptr;
    }

    CPitchPane* OpenAndCompute() {
        CPitchFrame* f = OpenFromMenu();
        if (!f)
            return nullptr;
        f->resize(900, 520);
        CPitchPane* pane = f->Pane();
        if (!QTest::qWaitFor([&] { return pane->IsTrackValid(); }, 30000))
            return nullptr;
        QTest::qWait(30);
        return pane;
    }

    static int Voiced(const PitchTrack& t) {
        return static_cast<int>(std::count_if(t.f0.begin(), t.f0.end(), [](double f) { return f > 0.0; }));
    }

    std::shared_ptr<platform::FakeAudioBackend> backend;
};

TEST_F(PitchWindow, OpensFromThePitchCommandAndDrawsTheTrackOfSpeech) {
    LABEL label;
    label.SetText("bird");
    label.font = platform::DefaultGuiFont();
    label.font.height = -16;
    label.colour = 0x008000;
    label.anchoring = LABEL::kAnchorCentre;
    label.time = 1800.0;
    doc->Channel(0).AppendLabel(label);
    CPitchFrame* f = OpenFromMenu();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->windowTitle(), QStringLiteral("speech.wav::Pitch "));
    EXPECT_EQ(doc->pitchView, f->GetView());
    EXPECT_EQ(app.settings.placements[kPlacementPitch], kPitchDefaultPlacement);
    f->resize(900, 520);
    CPitchPane* pane = f->Pane();
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane->IsTrackValid(); }, 30000));
    QTest::qWait(50);

    // About 3 s of speech in 10 ms frames; a male voice's F0 on the voiced ones.
    const PitchTrack& track = pane->Track();
    const double seconds = doc->Channel(0).duration / 1000.0;
    EXPECT_NEAR(track.Count(), seconds * 100.0, 2.0);
    std::vector<double> voiced;
    for (double v : track.f0)
        if (v > 0.0)
            voiced.push_back(v);
    ASSERT_GT(voiced.size(), track.f0.size() / 5);
    std::nth_element(voiced.begin(), voiced.begin() + voiced.size() / 2, voiced.end());
    const double median = voiced[voiced.size() / 2];
    EXPECT_GT(median, 70.0);
    EXPECT_LT(median, 200.0);
    // The window asked for it: the intensity curve is there.
    EXPECT_EQ(doc->Channel(0).intensityValid, 1);

    CPitchView* v = f->GetView();
    EXPECT_EQ(v->ReadoutText(CPitchView::kSampleRate), QStringLiteral("22050"));
    EXPECT_EQ(v->ReadoutText(CPitchView::kWindowLength), QStringLiteral("35"));
    EXPECT_EQ(v->ReadoutText(CPitchView::kStepSize), QStringLiteral("10"));
    EXPECT_EQ(v->ReadoutText(CPitchView::kDeviation), QStringLiteral("100"));
    EXPECT_EQ(v->ReadoutText(CPitchView::kThreshold), QStringLiteral("1"));

    // Blue dots in the plot, the audio strip and the label strip above it.
    const QImage& picture = pane->Background();
    const QRect plot = pane->PlotRect();
    ASSERT_FALSE(plot.isEmpty());
    EXPECT_FALSE(pane->AudioStrip().isEmpty());
    EXPECT_LT(pane->AudioStrip().bottom(), plot.top());
    EXPECT_GE(pane->LabelStrip().height(), 12);
    EXPECT_LT(pane->LabelStrip().bottom(), pane->AudioStrip().top());
    // Audio and intensity share the strip above the plot.
    EXPECT_EQ(pane->IntensityStrip(), pane->AudioStrip());
    int blue = 0;
    for (int x = plot.left(); x <= plot.right(); ++x)
        for (int y = plot.top(); y <= plot.bottom(); ++y) {
            const QColor c = picture.pixelColor(x, y);
            blue += c.blue() > 200 && c.red() < 60 && c.green() < 60;
        }
    EXPECT_GT(blue, 100);
    // Each voiced dot lies over the audio it was measured on: its time is
    // the centre of its frame.
    EXPECT_DOUBLE_EQ(track.FrameTimeMs(10), (10 * track.stepSamples + track.windowSamples / 2.0) * 1000.0 / 22050.0);
    const QString shot = QString::fromStdString(folder + "/pitch.png");
    ASSERT_TRUE(f->grab().save(shot));

    // Resizing lays out again but never measures again.
    const std::vector<double> before = track.f0;
    f->resize(700, 400);
    QTest::qWait(50);
    EXPECT_FALSE(pane->ComputationPending());
    EXPECT_EQ(pane->Track().f0, before);
}

// At the size the window opens with, the read-outs and their captions show
// whole, and the frequency labels of the default 20 Hz grid stand apart and
// whole inside the pane.
TEST_F(PitchWindow, ReadoutsAndFrequencyLabelsReadableAtTheDefaultSize) {
    CPitchFrame* f = OpenFromMenu();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->size(), QSize(kPitchDefaultPlacement[2], kPitchDefaultPlacement[3]));
    CPitchPane* pane = f->Pane();
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane->IsTrackValid(); }, 30000));
    QTest::qWait(30);
    ASSERT_TRUE(f->grab().save(QString::fromStdString(folder + "/pitch-default.png")));
    test::ExpectReadoutsWhole(f->GetView(), {{QStringLiteral("readout5"), QStringLiteral("2500.0")},
                                             {QStringLiteral("readout6"), QStringLiteral("2500.0")},
                                             {QStringLiteral("readout7"), QStringLiteral("120.0")},
                                             {QStringLiteral("readout8"), QStringLiteral("80.0")}});
    const PitchSettings& s = pane->Settings();
    ASSERT_EQ(s.ints[3], 20);  // frequency spacing
    const std::vector<AxisLabel> labels =
        ValueAxisLabels(pane->PlotRect(), s.ints[1], s.ints[0], s.ints[3], kValueAxisLeft, QStringLiteral("Hz"),
                        QFontMetrics(pane->AppFont()), pane->rect());
    ASSERT_GE(labels.size(), 3u);
    for (std::size_t a = 0; a < labels.size(); ++a) {
        EXPECT_TRUE(pane->rect().contains(labels[a].ink));
        for (std::size_t b = a + 1; b < labels.size(); ++b)
            EXPECT_FALSE(labels[a].ink.intersects(labels[b].ink))
                << labels[a].text.toStdString() << " " << labels[b].text.toStdString();
    }
}

TEST_F(PitchWindow, CursorAndSelectionAreSharedWithTheMainView) {
    CPitchPane* pane = OpenAndCompute();
    ASSERT_NE(pane, nullptr);
    const QRect plot = pane->PlotRect();
    const AnalysisPaneSelection& sel = pane->Selection();

    // A click in the pane: its marker, and the main view's marker at the
    // same time.
    const int x = plot.left() + plot.width() / 3;
    Click(pane, QPoint(x, plot.center().y()));
    EXPECT_TRUE(sel.MarkerShown());
    EXPECT_FALSE(sel.SelectionExists());
    EXPECT_NEAR(sel.PressTime(), sel.PointToTime(x), 1e-9);
    EXPECT_NEAR(doc->Channel(0).markerTime, sel.PressTime(), 1.0);
    EXPECT_TRUE(view->markerShown);
    EXPECT_DOUBLE_EQ(pane->MarkerTime(), sel.PressTime());
    EXPECT_DOUBLE_EQ(pane->MarkerPitch(), pane->PitchAt(sel.PressTime()));

    // A drag in the pane selects in both.
    Drag(pane, QPoint(plot.left() + 100, plot.center().y()), QPoint(plot.left() + 300, plot.center().y()));
    ASSERT_TRUE(sel.SelectionExists());
    EXPECT_FALSE(sel.MarkerShown());
    EXPECT_TRUE(view->selectionShown);
    EXPECT_NEAR(doc->Channel(0).selStartTime, sel.SelectionStartMs(), 1.0);
    EXPECT_NEAR(doc->Channel(0).selEndTime, sel.SelectionEndMs(), 1.0);
    const QString duration = static_cast<CPitchView*>(pane->parentWidget())->ReadoutText(CPitchView::kDuration);
    EXPECT_EQ(duration, QString::asprintf("%.1f", sel.SelectionDurationMs()));

    // A press outside the plot changes nothing here.
    Click(pane, QPoint(plot.left() - 10, plot.center().y()));
    EXPECT_TRUE(sel.SelectionExists());

    // A drag in the main view comes back to the pane at the view's times.
    const platform::Rect strip = doc->Channel(0).strip;
    const QPoint a(strip.left + 100, strip.top + 10), b(strip.left + 400, strip.top + 10);
    SendMouse(view->viewport(), QEvent::MouseButtonPress, a, Qt::LeftButton, Qt::LeftButton);
    const double pressed = view->CursorTime();
    EXPECT_DOUBLE_EQ(sel.PressTime(), pressed);
    EXPECT_FALSE(sel.MarkerShown());  // a press while a selection exists shows nothing
    SendMouse(view->viewport(), QEvent::MouseMove, b, Qt::NoButton, Qt::LeftButton);
    SendMouse(view->viewport(), QEvent::MouseButtonRelease, b, Qt::LeftButton, Qt::NoButton);
    EXPECT_TRUE(sel.SelectionExists());
    EXPECT_DOUBLE_EQ(sel.SelectionStartMs(), std::min(pressed, view->CursorTime()));
    EXPECT_DOUBLE_EQ(sel.SelectionEndMs(), std::max(pressed, view->CursorTime()));
    EXPECT_NEAR(sel.SelectionStartMs(), doc->Channel(0).selStartTime, 1.0);
}

TEST_F(PitchWindow, ZoomLogEntriesAndPlayRequests) {
    CPitchPane* pane = OpenAndCompute();
    ASSERT_NE(pane, nullptr);
    const AnalysisPaneSelection& sel = pane->Selection();
    const double duration = doc->Channel(0).duration;
    EXPECT_FALSE(pane->CanZoom(static_cast<int>(PaneZoomMode::Out)));
    pane->Zoom(static_cast<int>(PaneZoomMode::In));
    EXPECT_TRUE(sel.Zoomed());
    EXPECT_NEAR(sel.Shown().startMs, duration / 4, 1e-6);
    EXPECT_NEAR(sel.Shown().endMs, duration * 3 / 4, 1e-6);
    pane->Zoom(static_cast<int>(PaneZoomMode::Home));
    EXPECT_FALSE(sel.Zoomed());

    // Log entries need the log window.
    const QRect plot = pane->PlotRect();
    Drag(pane, QPoint(plot.left() + 50, plot.center().y()), QPoint(plot.left() + 250, plot.center().y()));
    ASSERT_TRUE(sel.SelectionExists());
    EXPECT_FALSE(pane->CanLogPitchAll());
    WindowPlacement logPlacement{};
    ASSERT_NE(OnLogNew(frame, prompts, logPlacement), nullptr);
    ASSERT_TRUE(pane->CanLogPitchSelection());
    EXPECT_FALSE(pane->CanLogPitchAtMarker());
    pane->LogPitchSelection();
    const PitchTrack& track = pane->Track();
    int inside = 0;
    for (int k = 0; k < track.Count(); ++k)
        inside += track.FrameTimeMs(k) >= sel.SelectionStartMs() && track.FrameTimeMs(k) <= sel.SelectionEndMs();
    EXPECT_GT(inside, 5);
    EXPECT_EQ(LogRows(), inside);
    pane->LogPitchAll();
    EXPECT_EQ(LogRows(), inside + Voiced(track));
    Click(pane, QPoint(plot.left() + 400, plot.center().y()));
    Click(pane, QPoint(plot.left() + 400, plot.center().y()));
    ASSERT_TRUE(pane->CanLogPitchAtMarker());
    pane->LogPitchAtMarker();
    GridModel& grid = frame.LogFrame()->Form()->Grid();
    ASSERT_EQ(LogRows(), inside + Voiced(track) + 1);
    EXPECT_EQ(grid.GetCellText(LogRows() - 1, 1), "Pitch Marker Entry: time, pitch, intensity ");

    // Play: the sound card plays; a press in the pane stops it.
    pane->PlayAll();
    EXPECT_TRUE(pane->IsPlaying());
    EXPECT_TRUE(app.acquisition.soundOut);
    Click(pane, QPoint(plot.left() + 100, plot.center().y()));
    EXPECT_FALSE(pane->IsPlaying());
    EXPECT_FALSE(app.acquisition.soundOut);
    // No output device: the road says so, and nothing counts as playing.
    backend->outputPresent = false;
    pane->PlayWindow();
    EXPECT_FALSE(pane->IsPlaying());
    EXPECT_EQ(prompts.LastMessage(), kNoSoundOutputDevice);
}

TEST_F(PitchWindow, CutInTheMainViewMeasuresAgain) {
    CPitchPane* pane = OpenAndCompute();
    ASSERT_NE(pane, nullptr);
    const int before = pane->Track().Count();
    const platform::Rect strip = doc->Channel(0).strip;
    // Select about a third of the recording in the main view and cut it.
    Drag(view->viewport(), QPoint(strip.left + 10, strip.top + 10),
         QPoint(strip.left + (strip.right - strip.left) / 3, strip.top + 10));
    ASSERT_TRUE(view->selectionShown);
    view->OnEditCut();
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane->IsTrackValid() && !pane->ComputationPending(); }, 30000));
    EXPECT_LT(pane->Track().Count(), before * 3 / 4);
    EXPECT_NEAR(pane->Selection().Shown().endMs, doc->Channel(0).duration, 1e-6);
}

TEST_F(PitchWindow, RefusedSettingsAndACancelCloseTheWindow) {
    doc->settings.pitch.doubles[1] = 0.0;  // step
    QPointer<CPitchFrame> refused = OpenFromMenu();
    ASSERT_TRUE(refused);
    ASSERT_TRUE(QTest::qWaitFor([&] { return refused.isNull(); }, 10000));
    ASSERT_FALSE(prompts.messages.empty());
    EXPECT_EQ(doc->pitchView, nullptr);

    doc->settings.pitch.doubles[1] = 10.0;
    prompts.messages.clear();
    QPointer<CPitchFrame> cancelled = OpenFromMenu();
    ASSERT_TRUE(cancelled);
    cancelled->Pane()->hooks.makeProgress = [] { return std::make_unique<AbortingProgress>(); };
    ASSERT_TRUE(QTest::qWaitFor([&] { return cancelled.isNull(); }, 10000));
    EXPECT_TRUE(prompts.messages.empty());
    // The main window is unaffected.
    EXPECT_TRUE(child->isVisible());
}

TEST_F(PitchWindow, ClosedDuringItsComputationStopsIt) {
    QPointer<CPitchFrame> f = OpenFromMenu();
    ASSERT_TRUE(f);
    auto pollsAfterClose = std::make_shared<int>(0);
    f->Pane()->hooks.makeProgress = [w = f.data(), pollsAfterClose] {
        return std::make_unique<test::ClosingProgress>(w, pollsAfterClose);
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.isNull(); }, 10000));
    QTest::qWait(30);
    EXPECT_EQ(*pollsAfterClose, 0);
    EXPECT_EQ(doc->pitchView, nullptr);
    EXPECT_TRUE(prompts.messages.empty());
    // The document opens the window again and measures.
    CPitchPane* again = OpenAndCompute();
    ASSERT_NE(again, nullptr);
    EXPECT_GT(Voiced(again->Track()), 0);
}

TEST_F(PitchWindow, ADocumentFrameDestroyedFirstTakesTheWindowWithIt) {
    CPitchPane* pane = OpenAndCompute();
    ASSERT_NE(pane, nullptr);
    QPointer<CPitchFrame> f = FindPitchFrame();
    delete child;  // and its document
    child = nullptr;
    view = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.isNull(); }, 5000));
}

TEST_F(PitchWindow, PrintsAndExportsTheTrack) {
    CPitchPane* pane = OpenAndCompute();
    ASSERT_NE(pane, nullptr);
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    const std::string pdf = folder + "/pitch.pdf";
    printer.setOutputFileName(QString::fromStdString(pdf));
    {
        QPainter dc(&printer);
        pane->PrintTrack(dc);
    }
    EXPECT_GT(std::filesystem::file_size(pdf), 1000u);

    const QImage bitmap = pane->RenderBitmap(600, 400);
    ASSERT_EQ(bitmap.size(), QSize(600, 400));
    int blue = 0;
    for (int x = 0; x < bitmap.width(); ++x)
        for (int y = 0; y < bitmap.height(); ++y) {
            const QColor c = bitmap.pixelColor(x, y);
            blue += c.blue() > 200 && c.red() < 60 && c.green() < 60;
        }
    EXPECT_GT(blue, 100);
    bitmap.save(QString::fromStdString(folder + "/bitmap.png"));
    // A page at 150 dpi: the plot one inch in, the print size in whole inches.
    QImage page(1275, 1650, QImage::Format_RGB32);
    page.setDotsPerMeterX(5906);
    page.setDotsPerMeterY(5906);
    page.fill(Qt::white);
    {
        QPainter dc(&page);
        pane->PrintTrack(dc);
    }
    page.save(QString::fromStdString(folder + "/page.png"));
    EXPECT_EQ(QColor(page.pixel(150, 150 + 300)), QColor(Qt::black));  // the frame's left edge
    EXPECT_EQ(QColor(page.pixel(150 + 900, 150 + 300)), QColor(Qt::black));  // 6 inches wide
    EXPECT_EQ(QColor(page.pixel(150 + 905, 150 + 300)), QColor(Qt::white));

    // Save As bmp: the name offered, the file written.
    const std::string bmp = folder + "/f0.bmp";
    prompts.paths.push_back(bmp);
    pane->SaveAsBmp();
    EXPECT_TRUE(std::filesystem::exists(bmp));
    ASSERT_FALSE(prompts.saveRequests.empty());
    EXPECT_EQ(prompts.saveRequests.back().title, "Save As bmp");
    EXPECT_NE(prompts.saveRequests.back().initialPath.find("bmp_F0_speech"), std::string::npos);
    // Cancelled: a beep, no message.
    prompts.messages.clear();
    const int beeps = prompts.beeps;
    prompts.paths.push_back(std::nullopt);
    pane->SaveAsBmp();
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_EQ(prompts.beeps, beeps + 1);
}

QAction* ActionIn(QMenu* menu, const char* text) {
    if (menu)
        for (QAction* a : menu->actions())
            if (a->text() == QLatin1String(text))
                return a;
    return nullptr;
}

// The whole application: the shared menus act for the pitch window while it
// is the active window, by its own rules.
TEST(PitchWindowMenus, SharedMenusReachTheActivePitchWindow) {
    if (!test::HaveTool("espeak-ng"))
        GTEST_SKIP() << "espeak-ng is not installed";
    const std::string start = test::FreshTempDir();
    ASSERT_TRUE(test::SpeakToWav(start + "/speech.wav", "A year ago."));
    test::ScriptedPrompts prompts;
    platform::MemoryProfileStore profile;
    COrielApp app(test::AppOptions(start, prompts, profile));
    ASSERT_TRUE(app.InitInstance({QString::fromStdString(start + "/speech.wav")}));
    CMainFrame* main = app.MainFrame();
    main->resize(1000, 800);
    QAction* pitch = ActionIn(main->AnalysisMenu(), "Pitch");
    ASSERT_NE(pitch, nullptr);
    emit main->AnalysisMenu()->aboutToShow();
    EXPECT_TRUE(pitch->isEnabled());
    emit main->AnalysisMenu()->aboutToHide();
    pitch->trigger();
    CPitchFrame* frame = qobject_cast<CPitchFrame*>(main->MdiArea()->activeSubWindow());
    ASSERT_NE(frame, nullptr);
    CPitchPane* pane = frame->Pane();
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane->IsTrackValid(); }, 30000));
    main->MdiArea()->setActiveSubWindow(frame);

    QMenu* zoom = main->ZoomMenu();
    emit zoom->aboutToShow();
    EXPECT_TRUE(ActionIn(zoom, "In")->isEnabled());
    EXPECT_FALSE(ActionIn(zoom, "Out")->isEnabled());
    EXPECT_FALSE(ActionIn(zoom, "Selection")->isEnabled());
    emit zoom->aboutToHide();
    ActionIn(zoom, "In")->trigger();
    EXPECT_TRUE(pane->Selection().Zoomed());

    QMenu* log = main->LogMenu();
    emit log->aboutToShow();
    EXPECT_FALSE(ActionIn(log, kLogEnterPitchAll)->isEnabled());  // no log window
    EXPECT_EQ(ActionIn(log, kLogEnterPitchAtMarker)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_M));
    emit log->aboutToHide();

    QMenu* play = nullptr;
    for (QAction* a : main->menuBar()->actions())
        if (a->menu() && a->menu()->objectName() == QStringLiteral("recordPlayMenu"))
            play = a->menu();
    ASSERT_NE(play, nullptr);
    emit play->aboutToShow();
    EXPECT_TRUE(ActionIn(play, "Play All")->isEnabled());
    EXPECT_FALSE(ActionIn(play, "Play Selection")->isEnabled());
    emit play->aboutToHide();
    frame->close();
    QTest::qWait(20);
}

}  // namespace
}  // namespace vocomet
