// The spectrogram window opened from the main view on real speech: the
// picture and the formant tracks, the read-outs, the cursor and selection
// shared with the main view, log entries, Plot Formants into a new formant
// plot, recomputing only on a new plot size, refusals, printing and export.

#include <QImage>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QMdiArea>
#include <QPointer>
#include <QMdiSubWindow>
#include <QPrinter>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <string>

#include "analysis/PlotFormantFile.h"
#include "analysis/SpectrogramAnalysis.h"
#include "analysis/ui/CFormPlotFormantFrame.h"
#include "analysis/ui/CFormPlotFormantView.h"
#include "analysis/ui/CSpectrogramFrame.h"
#include "analysis/ui/CSpectrogramPane.h"
#include "analysis/ui/CSpectrogramView.h"
#include "app/ui/SpectrogramWindow.h"
#include "app/SpectrogramLogEntries.h"
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
#include "platform/ProfileStore.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

class SpectrogramWindow : public test::SpeechDocumentWindow {
protected:
    void SetUp() override {
        OpenSpeech([](COrielDoc& d) {
            SpectrogramSettings& s = d.settings.spectrogram;
            s.values[SpectrogramSettings::kPoints] = 256;
            s.values[SpectrogramSettings::kTopFrequency] = 5000;
            s.values[3] = 50;  // dynamic range
            s.values[4] = 1;   // formant tracking
            s.values[SpectrogramSettings::kLpcOrder] = 14;
            s.values[7] = 1;   // audio trace
            s.values[13] = 0;  // automatic time grid
        });
        if (!child)
            return;
        RegisterSpectrogramWindow(frame);
        prompts.messages.clear();
    }

    void TearDown() override { AnalysisTemplates().spectrogram = {}; }

    CSpectrogramFrame* Open(void (COrielView::*command)()) {
        (view->*command)();
        for (QMdiSubWindow* w : frame.MdiArea()->subWindowList())
            if (auto* f = qobject_cast<CSpectrogramFrame*>(w))
                return f;
        return nullptr;
    }

    bool WaitForCompute(CSpectrogramPane* pane, int count) {
        return QTest::qWaitFor([&] { return pane->ComputeCount() >= count; }, 30000);
    }
};

TEST_F(SpectrogramWindow, SpeechPictureTracksCursorLogAndPlotFormants) {
    LABEL label;
    label.SetText("bird");
    label.time = 1900.0;
    label.anchoring = LABEL::kAnchorCentre;
    doc->Channel(0).AppendLabel(label);
    doc->settings.spectrogram.values[9] = 1;  // labels
    CSpectrogramFrame* f = Open(&COrielView::OnAnalysisSpectrogramAll);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->windowTitle(), QStringLiteral("speech.wav::Spectrogram "));
    EXPECT_EQ(doc->spectrogramView, f->GetView());
    f->resize(760, 600);
    // The next spectrogram window opens where this one was left.
    EXPECT_EQ(app.settings.placements[kPlacementSpectrogram][2], 760);
    CSpectrogramPane* pane = f->GetView()->Pane();
    ASSERT_TRUE(WaitForCompute(pane, 1));
    QTest::qWait(50);
    const int computed = pane->ComputeCount();
    ASSERT_TRUE(pane->IsSpectrogramValid());

    // One spectrum per plot column, one level per row; tracks found.
    const SpectrogramImage& im = pane->Image();
    EXPECT_EQ(im.columns, pane->Layout().columns);
    EXPECT_EQ(im.rows, pane->Layout().bins);
    EXPECT_EQ(im.columns, pane->Layout().plot.Width());
    EXPECT_EQ(im.levels.size(), static_cast<std::size_t>(im.columns) * static_cast<std::size_t>(im.rows));
    EXPECT_TRUE(pane->FormantsFound());
    ASSERT_EQ(im.formants.size(), static_cast<std::size_t>(im.columns));
    EXPECT_FALSE(pane->Layout().audioStrip.IsEmpty());
    EXPECT_FALSE(pane->Layout().labelStrip.IsEmpty());
    // The picture has dark (strong) and white (weak) pixels in the plot.
    const QImage& clean = pane->CleanPicture();
    const platform::Rect plot = pane->Layout().plot;
    int dark = 0, white = 0;
    for (int x = plot.left; x < plot.right; x += 3)
        for (int y = plot.top; y < plot.bottom; y += 3) {
            const int g = qGray(clean.pixel(x, y));
            dark += g < 80;
            white += g > 250;
        }
    EXPECT_GT(dark, 50);
    EXPECT_GT(white, 50);

    CSpectrogramView* v = f->GetView();
    EXPECT_EQ(v->FieldText(CSpectrogramView::kRate), QStringLiteral("22050"));
    EXPECT_EQ(v->FieldText(CSpectrogramView::kWindowPoints), QStringLiteral("256"));
    EXPECT_EQ(v->FieldText(CSpectrogramView::kBandwidth), QStringLiteral("86"));
    EXPECT_EQ(v->FieldText(CSpectrogramView::kPreEmphasis), QStringLiteral("0.98"));

    // A press in the main view moves the spectrogram's marker to its time;
    // the frequency stays.
    const QRect strip(doc->Channel(0).strip.left, doc->Channel(0).strip.top, doc->Channel(0).strip.Width(),
                      doc->Channel(0).strip.Height());
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, strip.center());
    EXPECT_TRUE(pane->MarkerShown());
    EXPECT_NEAR(pane->MarkerTime(), doc->Channel(0).markerTime, 1e-6);

    // A press and a drag in the pane: the main view follows.
    const int y = (plot.top + plot.bottom) / 2;
    const QPoint a(plot.left + plot.Width() / 4, y), b(plot.left + plot.Width() / 2, y);
    QTest::mouseClick(pane, Qt::LeftButton, {}, a);
    QTest::mouseClick(pane, Qt::LeftButton, {}, a);  // the first press cleared nothing: a marker
    ASSERT_TRUE(pane->MarkerShown());
    EXPECT_NEAR(pane->MarkerFrequency(), (plot.bottom - y) * 5000.0 / plot.Height(), 1e-9);
    EXPECT_NEAR(doc->Channel(0).markerTime, pane->MarkerTime(), 1e-6);
    QTest::mousePress(pane, Qt::LeftButton, {}, a);
    QTest::mouseMove(pane, b);
    QTest::mouseRelease(pane, Qt::LeftButton, {}, b);
    if (!pane->SelectionExists()) {
        // The press removed the marker's band; a second drag selects.
        QTest::mousePress(pane, Qt::LeftButton, {}, a);
        QTest::mouseMove(pane, b);
        QTest::mouseRelease(pane, Qt::LeftButton, {}, b);
    }
    ASSERT_TRUE(pane->SelectionExists());
    EXPECT_FALSE(pane->MarkerShown());
    EXPECT_TRUE(view->selectionShown);
    EXPECT_NEAR(doc->Channel(0).selStartTime, pane->Selection().SelectionStartMs(), 1.0);
    EXPECT_NEAR(doc->Channel(0).selEndTime, pane->Selection().SelectionEndMs(), 1.0);
    // Nothing of that computed anything.
    EXPECT_EQ(pane->ComputeCount(), computed);

    // Log entries: duration and the formants over the selection.
    EXPECT_FALSE(pane->CanLogDuration());  // no log window yet
    WindowPlacement logPlacement{};
    ASSERT_NE(OnLogNew(frame, prompts, logPlacement), nullptr);
    ASSERT_TRUE(pane->CanLogDuration());
    pane->LogDuration();
    EXPECT_EQ(LogRows(), 1);
    doc->settings.logSelectionStep = 10.0;
    pane->LogFormantsSelection();
    const int entries = static_cast<int>(std::ceil(pane->SelectionDuration() / 10.0 - 1e-9));
    EXPECT_EQ(LogRows(), 1 + entries);
    doc->settings.logSelectionStep = 0.0;
    pane->LogFormantsSelection();
    EXPECT_EQ(LogRows(), 1 + entries);
    EXPECT_EQ(prompts.messages.size(), 1u);

    // Plot Formants: a new formant plot with the tracked columns as rows,
    // and no scratch file left behind.
    CFormPlotFormantFrame* plotAll = pane->PlotFormants(0);
    ASSERT_NE(plotAll, nullptr);
    EXPECT_EQ(plotAll->GetTitle(), kPlotFormantsTitle);
    int withF1 = 0;
    for (const auto& r : im.formants)
        withF1 += r[0] > 0;
    EXPECT_GT(withF1, 20);
    // The rows the table's reader takes from the columns' lines (a column
    // without F2 gives no point of the chart).
    std::vector<PlotFormantRow> expected;
    ParseFormantNumbersText(SpectrogramFormantTable(im, 0, im.columns - 1), expected);
    EXPECT_GT(expected.size(), static_cast<std::size_t>(withF1) * 3 / 4);
    GridModel& grid = plotAll->GetView()->Grid();
    ASSERT_EQ(grid.GetRowCount(), static_cast<int>(expected.size()));
    ASSERT_FALSE(expected.empty());
    EXPECT_EQ(grid.GetCellInt(0, kColF1), *expected[0].f1);
    EXPECT_EQ(grid.GetCellInt(0, kColF2), *expected[0].f2);
    int first = 0;
    while (im.formants[static_cast<std::size_t>(first)][0] <= 0)
        ++first;
    EXPECT_EQ(*expected[0].f1, im.formants[static_cast<std::size_t>(first)][0]);
    for (const auto& entry : std::filesystem::directory_iterator(folder))
        EXPECT_EQ(entry.path().filename().string().rfind("$$TempFile", 0), std::string::npos)
            << entry.path();
    if (const char* out = std::getenv("VOCOMET_SCREENSHOT_DIR")) {
        plotAll->resize(600, 500);
        QTest::qWait(30);
        plotAll->grab().save(QString::fromStdString(std::string(out) + "/plot-formants.png"));
    }
    CFormPlotFormantFrame* plotSelection = pane->PlotFormants(1);
    ASSERT_NE(plotSelection, nullptr);
    EXPECT_LT(plotSelection->GetView()->Grid().GetRowCount(), withF1);

    // The screenshot, with the marker in it.
    frame.MdiArea()->setActiveSubWindow(f);
    QTest::mouseClick(pane, Qt::LeftButton, {}, b);
    QTest::mouseClick(pane, Qt::LeftButton, {}, QPoint(b.x() + 40, plot.top + plot.Height() / 3));
    QTest::qWait(50);
    ASSERT_TRUE(f->grab().save(QString::fromStdString(folder + "/spectrogram.png")));
    if (const char* out = std::getenv("VOCOMET_SCREENSHOT_DIR"))
        f->grab().save(QString::fromStdString(std::string(out) + "/spectrogram.png"));

    // A new plot width computes again, and the marker stays at its time.
    const double marker = pane->MarkerTime();
    f->resize(900, 600);
    ASSERT_TRUE(WaitForCompute(pane, computed + 1));
    EXPECT_EQ(pane->Image().columns, pane->Layout().plot.Width());
    EXPECT_TRUE(pane->MarkerShown());
    EXPECT_DOUBLE_EQ(pane->MarkerTime(), marker);
    EXPECT_EQ(pane->Selection().MarkerX(), pane->Selection().TimeToPoint(marker));

    // Printing and the bitmap export.
    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(folder + "/spec.pdf"));
    EXPECT_TRUE(pane->PrintTo(printer));
    EXPECT_GT(std::filesystem::file_size(folder + "/spec.pdf"), 1000u);
    EXPECT_EQ(pane->DefaultBitmapFileName(), "bmp_Spec_speech");
    const std::string bmp = folder + "/spec.bmp";
    prompts.paths.push_back(bmp);
    prompts.messages.clear();
    pane->SaveAsBmp();
    EXPECT_TRUE(prompts.messages.empty());
    const QImage written(QString::fromStdString(bmp));
    ASSERT_FALSE(written.isNull());
    EXPECT_GT(written.width(), written.height());
    if (const char* out = std::getenv("VOCOMET_SCREENSHOT_DIR")) {
        written.save(QString::fromStdString(std::string(out) + "/spec-bmp.png"));
        QImage page(850, 1100, QImage::Format_RGB32);
        page.fill(Qt::white);
        QPainter dc(&page);
        pane->PrintSpectrogram(dc);
        dc.end();
        page.save(QString::fromStdString(std::string(out) + "/spec-page.png"));
    }

    // The window goes with the document's frame.
    QPointer<CSpectrogramFrame> gone(f);
    delete child;
    QTest::qWait(20);
    EXPECT_TRUE(gone.isNull());
}

TEST_F(SpectrogramWindow, ReadoutsAndFrequencyLabelsShowWholeAtTheDefaultSize) {
    ASSERT_GE(doc->settings.sampleRate, 20000.0);
    doc->settings.spectrogram.values[SpectrogramSettings::kTopFrequency] = 10000;
    doc->settings.spectrogram.values[10] = 1;     // frequency grid
    doc->settings.spectrogram.values[11] = 1000;  // every 1000 Hz
    CSpectrogramFrame* f = Open(&COrielView::OnAnalysisSpectrogramAll);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->size(), QSize(kSpectrogramDefaultPlacement[2], kSpectrogramDefaultPlacement[3]));
    CSpectrogramPane* pane = f->GetView()->Pane();
    ASSERT_TRUE(WaitForCompute(pane, 1));
    QTest::qWait(30);
    ASSERT_TRUE(f->grab().save(QString::fromStdString(folder + "/spectrogram-default.png")));
    test::ExpectReadoutsWhole(f->GetView(), {{QStringLiteral("field6"), QStringLiteral("2500.0")},
                                             {QStringLiteral("field7"), QStringLiteral("2500.0")},
                                             {QStringLiteral("field8"), QStringLiteral("10000.0")}});
    const platform::Rect& p = pane->Layout().plot;
    const QRect plot(p.left, p.top, p.right - p.left, p.bottom - p.top);
    // The labels the frequency axis writes, each whole inside the pane.
    const std::vector<AxisLabel> labels =
        ValueAxisLabels(plot, 0, 10000, 1000, kValueAxisLeft, QStringLiteral("Hz"), QFontMetrics(pane->font()), QRect());
    bool top = false;
    for (const AxisLabel& label : labels) {
        EXPECT_TRUE(pane->rect().contains(label.ink)) << label.text.toStdString();
        top = top || label.text == QStringLiteral("10000");
    }
    EXPECT_TRUE(top);
}

TEST_F(SpectrogramWindow, ADocumentFrameDestroyedFirstTakesTheWindowWithIt) {
    CSpectrogramFrame* opened = Open(&COrielView::OnAnalysisSpectrogramAll);
    ASSERT_NE(opened, nullptr);
    QPointer<CSpectrogramFrame> f = opened;
    delete child;  // and its document, before the window has computed
    child = nullptr;
    view = nullptr;
    doc = nullptr;
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.isNull(); }, 5000));
}

TEST_F(SpectrogramWindow, ClosedDuringItsComputationStopsIt) {
    QPointer<CSpectrogramFrame> f = Open(&COrielView::OnAnalysisSpectrogramAll);
    ASSERT_TRUE(f);
    auto pollsAfterClose = std::make_shared<int>(0);
    f->GetView()->Pane()->hooks.makeProgress = [w = f.data(), pollsAfterClose] {
        return std::make_unique<test::ClosingProgress>(w, pollsAfterClose);
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return f.isNull(); }, 10000));
    QTest::qWait(30);
    EXPECT_EQ(*pollsAfterClose, 0);
    EXPECT_EQ(doc->spectrogramView, nullptr);
    EXPECT_TRUE(prompts.messages.empty());
    EXPECT_TRUE(child->isVisible());
}

TEST_F(SpectrogramWindow, TooSmallComputesNothingAndPaintsWhite) {
    CSpectrogramFrame* f = Open(&COrielView::OnAnalysisSpectrogramWindow);
    ASSERT_NE(f, nullptr);
    CSpectrogramPane* pane = f->GetView()->Pane();
    f->setMinimumSize(0, 0);
    f->GetView()->setMinimumSize(0, 0);
    pane->MovePane(QRect(5, 5, 30, 12), true);
    pane->ComputeIfNeeded();
    EXPECT_FALSE(pane->Layout().HasPlot());
    EXPECT_FALSE(pane->IsSpectrogramValid());
    const QImage picture = pane->grab().toImage();
    for (int x = 0; x < picture.width(); ++x)
        for (int y = 0; y < picture.height(); ++y)
            ASSERT_EQ(picture.pixel(x, y) & 0xFFFFFFu, 0xFFFFFFu);
    // Without a spectrogram a press does nothing.
    pane->BeginMouseSelection(COrielView::kLeftButton, {2, 2}, 10.0, kMouseFromOtherWindow);
    EXPECT_FALSE(pane->MarkerShown());
}

TEST_F(SpectrogramWindow, DigitalSilencePaintsAsTheWeakestLevel) {
    // The second half of the recording silenced: white there, no dots.
    CChannels& ch = doc->Channel(0);
    ASSERT_TRUE(ch.HasSamples());
    const std::size_t half = static_cast<std::size_t>(ch.sampleCount / 2);
    for (std::size_t k = half; k < ch.samples.size(); ++k)
        ch.samples[k] = 0.0f;
    SpectrogramSettings& s = doc->settings.spectrogram;
    s.values[7] = 0;   // no audio trace
    s.values[10] = 0;  // no grids
    s.values[12] = 0;
    CSpectrogramFrame* f = Open(&COrielView::OnAnalysisSpectrogramAll);
    ASSERT_NE(f, nullptr);
    f->resize(600, 450);
    CSpectrogramPane* pane = f->GetView()->Pane();
    ASSERT_TRUE(WaitForCompute(pane, 1));
    QTest::qWait(30);
    ASSERT_TRUE(pane->IsSpectrogramValid());
    const platform::Rect plot = pane->Layout().plot;
    const QImage& clean = pane->CleanPicture();
    // Past the last frame that reaches a sample of speech.
    const int from = plot.left + plot.Width() / 2 + 5 + static_cast<int>(256.0 / (ch.sampleCount / plot.Width()));
    int dark = 0;
    for (int x = from; x < plot.right; ++x)
        for (int y = plot.top; y < plot.bottom; ++y)
            dark += (clean.pixel(x, y) & 0xFFFFFFu) != 0xFFFFFFu;
    EXPECT_EQ(dark, 0);
    const SpectrogramImage& im = pane->Image();
    for (int c = (from - plot.left) + 1; c < im.columns; ++c)
        EXPECT_EQ(im.formants[static_cast<std::size_t>(c)][0], kNoFormant) << c;
}

TEST_F(SpectrogramWindow, TimesOfOtherWindowsOutsideTheRange) {
    CChannels& ch = doc->Channel(0);
    ch.selStartSample = ch.rate;  // 1000 .. 2000 ms
    ch.selEndSample = 2.0 * ch.rate;
    ch.selStartTime = 1000.0;
    ch.selEndTime = 2000.0;
    CSpectrogramFrame* f = Open(&COrielView::OnAnalysisSpectrogramSelection);
    ASSERT_NE(f, nullptr);
    f->resize(500, 400);
    CSpectrogramPane* pane = f->GetView()->Pane();
    ASSERT_TRUE(WaitForCompute(pane, 1));
    ASSERT_TRUE(pane->IsSpectrogramValid());
    EXPECT_NEAR(pane->RangeStartMs(), 1000.0, 1e-6);
    EXPECT_NEAR(pane->RangeEndMs(), 2000.0, 1e-6);
    // A marker of the pane's own, at a frequency.
    const platform::Rect plot = pane->Layout().plot;
    pane->BeginMouseSelection(COrielView::kLeftButton, {plot.left + 10, plot.top + 10}, 0.0, kMouseFromPoint);
    pane->EndMouseSelection(0, {plot.left + 10, plot.top + 10}, 0.0, kMouseFromPoint);
    const double hz = pane->MarkerFrequency();
    EXPECT_GT(hz, 4000.0);
    // A press before the range is held at its start; the frequency stays.
    pane->BeginMouseSelection(COrielView::kLeftButton, {0, 0}, 100.0, kMouseFromOtherWindow);
    pane->EndMouseSelection(0, {0, 0}, 100.0, kMouseFromOtherWindow);
    EXPECT_DOUBLE_EQ(pane->MarkerTime(), pane->RangeStartMs());
    EXPECT_DOUBLE_EQ(pane->MarkerFrequency(), hz);
    EXPECT_EQ(pane->Selection().MarkerX(), plot.left);
    // A move past the range is ignored.
    pane->TrackMouse(0, {0, 0}, 1500.0, kMouseFromOtherWindow);
    pane->TrackMouse(0, {0, 0}, 2500.0, kMouseFromOtherWindow);
    EXPECT_DOUBLE_EQ(pane->TrackingTime(), 1500.0);
    EXPECT_EQ(f->GetView()->FieldText(CSpectrogramView::kTime), QStringLiteral("1500.0"));
}

TEST_F(SpectrogramWindow, RefusedSettingsLeaveNoWindow) {
    doc->settings.spectrogram.values[SpectrogramSettings::kTopFrequency] = 11001;
    EXPECT_EQ(Open(&COrielView::OnAnalysisSpectrogramAll), nullptr);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(doc->spectrogramView, nullptr);
    doc->settings.spectrogram.values[SpectrogramSettings::kTopFrequency] = 5000;
    doc->settings.spectrogram.values[3] = 0;  // dynamic range
    EXPECT_EQ(Open(&COrielView::OnAnalysisSpectrogramAll), nullptr);
    EXPECT_EQ(prompts.messages.size(), 2u);
}

QMenu* MenuOf(QMenuBar* bar, const QString& title) {
    for (QAction* a : bar->actions())
        if (a->menu() && a->menu()->title().remove(QLatin1Char('&')) == title)
            return a->menu();
    return nullptr;
}

// Whether the item is enabled while its menu shows.
bool EnabledInMenu(QMenu* menu, const QString& text) {
    emit menu->aboutToShow();
    bool enabled = false;
    bool found = false;
    for (QAction* a : menu->actions())
        if (a->text() == text) {
            enabled = a->isEnabled();
            found = true;
        }
    emit menu->aboutToHide();
    EXPECT_TRUE(found) << text.toStdString();
    return enabled;
}

// The application's menus reach the spectrogram window while it is active.
TEST(SpectrogramWindowMenus, ActiveWindowCarriesItsCommands) {
    if (!test::HaveTool("espeak-ng"))
        GTEST_SKIP() << "espeak-ng is not installed";
    const std::string start = test::FreshTempDir();
    ASSERT_TRUE(test::SpeakToWav(start + "/speech.wav", "A year ago."));
    test::ScriptedPrompts prompts;
    platform::MemoryProfileStore profile;
    auto app = std::make_unique<COrielApp>(test::AppOptions(start, prompts, profile));
    ASSERT_TRUE(app->InitInstance({QString::fromStdString(start + "/speech.wav")}));
    CMainFrame* main = app->MainFrame();
    main->resize(1000, 800);
    main->show();
    ASSERT_TRUE(static_cast<bool>(AnalysisTemplates().spectrogram));
    QMenu* analysis = MenuOf(main->menuBar(), QStringLiteral("Analysis"));
    ASSERT_NE(analysis, nullptr);
    EXPECT_TRUE(EnabledInMenu(analysis, QStringLiteral("Spectrogram All")));
    for (QAction* a : analysis->actions())
        if (a->text() == QStringLiteral("Spectrogram All"))
            a->trigger();
    auto* f = qobject_cast<CSpectrogramFrame*>(main->MdiArea()->activeSubWindow());
    ASSERT_NE(f, nullptr);
    f->resize(600, 500);
    CSpectrogramPane* pane = f->GetView()->Pane();
    ASSERT_TRUE(QTest::qWaitFor([&] { return pane->IsSpectrogramValid(); }, 30000));

    QMenu* play = MenuOf(main->menuBar(), QStringLiteral("Record/Play"));
    ASSERT_NE(play, nullptr);
    EXPECT_FALSE(EnabledInMenu(play, QStringLiteral("Play All")));
    EXPECT_TRUE(EnabledInMenu(play, QStringLiteral("Play Window")));
    EXPECT_FALSE(EnabledInMenu(play, QStringLiteral("Play Selection")));
    QMenu* plot = MenuOf(main->menuBar(), QStringLiteral("PlotFormants"));
    ASSERT_NE(plot, nullptr);
    EXPECT_EQ(EnabledInMenu(plot, QStringLiteral("Plot All")), pane->FormantsFound());
    EXPECT_FALSE(EnabledInMenu(plot, QStringLiteral("Plot Selection")));
    QMenu* log = main->LogMenu();
    EXPECT_FALSE(EnabledInMenu(log, QStringLiteral("Enter Formants at Marker")));  // no log window

    // A selection made in the pane enables Play Selection there.
    const platform::Rect r = pane->Layout().plot;
    const int y = (r.top + r.bottom) / 2;
    pane->BeginMouseSelection(COrielView::kLeftButton, {r.left + 10, y}, 0.0, kMouseFromPoint);
    pane->TrackMouse(COrielView::kLeftButton, {r.left + 100, y}, 0.0, kMouseFromPoint);
    pane->EndMouseSelection(0, {r.left + 100, y}, 0.0, kMouseFromPoint);
    ASSERT_TRUE(pane->SelectionExists());
    EXPECT_TRUE(EnabledInMenu(play, QStringLiteral("Play Selection")));
    EXPECT_EQ(EnabledInMenu(plot, QStringLiteral("Plot Selection")), pane->FormantsFound());

    // With a log window the Log menu's entries are the window's own.
    ASSERT_NE(OnLogNew(*main, prompts, app->State().settings.placements[kPlacementLog]), nullptr);
    main->MdiArea()->setActiveSubWindow(f);
    EXPECT_TRUE(EnabledInMenu(log, QStringLiteral("Enter Duration")));
    EXPECT_FALSE(EnabledInMenu(log, QStringLiteral("Enter at Marker")));
    EXPECT_EQ(EnabledInMenu(log, QStringLiteral("Enter Formants Selection")), pane->FormantsFound());
    pane->BeginMouseSelection(COrielView::kLeftButton, {r.left + 50, y}, 0.0, kMouseFromPoint);
    pane->BeginMouseSelection(COrielView::kLeftButton, {r.left + 50, y}, 0.0, kMouseFromPoint);
    pane->EndMouseSelection(0, {r.left + 50, y}, 0.0, kMouseFromPoint);
    ASSERT_TRUE(pane->MarkerShown());
    EXPECT_TRUE(EnabledInMenu(log, QStringLiteral("Enter at Marker")));
    EXPECT_EQ(EnabledInMenu(log, QStringLiteral("Enter Formants at Marker")), pane->FormantsFound());
    for (QAction* a : log->actions())
        if (a->text() == QStringLiteral("Enter at Marker"))
            a->trigger();
    EXPECT_EQ(main->LogFrame()->Form()->Grid().GetRowCount(), 1);
    app->ExitInstance();
}

}  // namespace
}  // namespace vocomet
