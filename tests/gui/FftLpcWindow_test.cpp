// The FFT/LPC window opened from the main view on a real recording: at the
// marker, over a selection, refused settings, the marker and the log
// entries, printing and bitmap export.

#include <QImage>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QStyle>
#include <QTextBlock>
#include <QTextLayout>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

#include "analysis/AnalysisLimits.h"
#include "analysis/ui/CFFTLPCFrame.h"
#include "analysis/ui/CFFTLPCView.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CFormLog.h"
#include "app/ui/CFrameLog.h"
#include "app/ui/CMainFrame.h"
#include "widgets/DrawingRoutines.h"
#include "app/ui/COrielView.h"
#include "app/ui/ViewAnalysisOpeners.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/WaveFile.h"
#include "gui/SpeechWindowFixture.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

class FftLpcWindow : public ::testing::Test {
protected:
    void SetUp() override {
        if (!test::HaveTool("praat"))
            GTEST_SKIP() << "praat is not installed";
        folder = test::FreshTempDir();
        app.tempFolder = folder;
        // A male /a/ (F0 120 Hz; F1-F3 700, 1220, 2600 Hz) made by praat.
        const std::string script = folder + "/vowel.praat";
        test::WriteAll(script,
                       "Create PitchTier: \"f0\", 0, 0.6\nAdd point: 0.3, 120\nTo PointProcess\n"
                       "To Sound (phonation): 22050, 1, 0.05, 0.7, 0.03, 3, 4\n"
                       "Filter with one formant (in-place): 700, 60\n"
                       "Filter with one formant (in-place): 1220, 90\n"
                       "Filter with one formant (in-place): 2600, 120\n"
                       "Scale peak: 0.9\nSave as WAV file: \"" + folder + "/vowel.wav\"\n");
        ASSERT_EQ(test::RunCommand("praat --run '" + script + "' >/dev/null 2>&1"), 0);
        auto document = std::make_unique<COrielDoc>(app, prompts);
        RegisterWaveFormats(document->Formats());
        ASSERT_TRUE(document->OnOpenDocument(folder + "/vowel.wav"));
        doc = document.get();
        doc->settings.fftLpc.values[FftLpcSettings::kTopFrequency] = 5000;
        doc->settings.fftLpc.values[FftLpcSettings::kPoints] = 512;
        doc->settings.fftLpc.values[FftLpcSettings::kWindowMs] = 23;
        doc->settings.fftLpc.values[FftLpcSettings::kLpcOrder] = 26;
        doc->settings.fftLpc.values[14] = 1;  // draw LPC
        child = new CChildFrame(std::move(document));
        frame.MdiArea()->addSubWindow(child);
        frame.resize(1000, 800);
        frame.show();
        child->show();
        view = child->GetView();
        CChannels& ch = doc->Channel(0);
        ASSERT_EQ(ch.audioFlag, 1);
        ch.markerSample = 6000;
        ch.selStartSample = 3000;
        ch.selEndSample = 9000;
        view->markerShown = true;
        view->selectionShown = true;
        prompts.messages.clear();
    }

    int Rows() { return frame.LogFrame() ? frame.LogFrame()->Form()->Grid().GetRowCount() : -1; }

    void ExpectVowelFormants(const FftLpcResult& r) {
        for (double e : {700.0, 1220.0, 2600.0}) {
            double best = 1e9;
            for (double f : r.formants)
                if (f > 0)
                    best = std::min(best, std::fabs(f - e) / e);
            EXPECT_LT(best, 0.03) << e;
        }
    }

    std::string folder;
    ApplicationState app;
    test::ScriptedPrompts prompts;
    CMainFrame frame;
    COrielDoc* doc = nullptr;
    CChildFrame* child = nullptr;
    COrielView* view = nullptr;
};

TEST_F(FftLpcWindow, OpensAtTheMarkerAndOverTheSelection) {
    CFFTLPCFrame* marker = view->OpenFFTLPCWindow();
    ASSERT_NE(marker, nullptr);
    EXPECT_EQ(marker->windowTitle(), QStringLiteral("vowel.wav ::FFT/LPC"));
    EXPECT_EQ(app.settings.placements[kPlacementFftLpc], kFftLpcDefaultPlacement);
    CFFTLPCView* v = marker->GetView();
    EXPECT_EQ(v->Result().frameCount, 1);
    EXPECT_EQ(v->FieldText(0), QStringLiteral("22050"));
    EXPECT_EQ(v->FieldText(1), QStringLiteral("26"));
    EXPECT_EQ(v->FieldText(2), QStringLiteral("43"));
    EXPECT_EQ(v->FieldText(3), QStringLiteral("512"));
    EXPECT_TRUE(v->FormantText().startsWith(QStringLiteral("Formants\t=")));
    marker->resize(700, 500);
    QTest::qWait(50);
    ASSERT_TRUE(marker->grab().save(QString::fromStdString(folder + "/marker.png")));

    CFFTLPCFrame* average = view->OpenAverageFFTLPCWindow();
    ASSERT_NE(average, nullptr);
    EXPECT_EQ(average->windowTitle(), QStringLiteral("vowel.wav ::Average FFT/LPC"));
    EXPECT_GT(average->GetView()->Result().frameCount, 20);
    ExpectVowelFormants(average->GetView()->Result());
    average->resize(700, 500);
    QTest::qWait(50);
    ASSERT_TRUE(average->grab().save(QString::fromStdString(folder + "/average.png")));
    // A resize only lays out again: the result stays.
    const std::vector<double> before = average->GetView()->Result().fftCurve;
    average->resize(500, 400);
    EXPECT_EQ(average->GetView()->Result().fftCurve, before);

    // Bitmap export: the picture size of the print settings.
    const std::string bmp = folder + "/fft.bmp";
    prompts.paths.push_back(bmp);
    average->GetView()->OnFileSaveAsBmp();
    EXPECT_TRUE(prompts.messages.empty());
    QImage written(QString::fromStdString(bmp));
    ASSERT_FALSE(written.isNull());
    EXPECT_GT(written.width(), written.height());
    // Cancelled: the window's message, nothing written.
    average->GetView()->OnFileSaveAsBmp();
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages.back().text, kFftLpcBitmapPathRefused);

    QPrinter printer(QPrinter::HighResolution);
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(QString::fromStdString(folder + "/fft.pdf"));
    EXPECT_TRUE(average->GetView()->PrintTo(printer));
    EXPECT_GT(std::filesystem::file_size(folder + "/fft.pdf"), 1000u);

    // The windows go with the document's frame.
    QPointer<CFFTLPCFrame> gone(average);
    delete child;
    QTest::qWait(20);
    EXPECT_TRUE(gone.isNull());
}

TEST_F(FftLpcWindow, RefusedSettingsLeaveNoWindow) {
    doc->settings.fftLpc.values[FftLpcSettings::kTopFrequency] = 11001;
    EXPECT_EQ(view->OpenFFTLPCWindow(), nullptr);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(prompts.messages[0].text, kFftLpcFrequencyRefused);
    doc->settings.fftLpc.values[FftLpcSettings::kTopFrequency] = 5000;
    doc->settings.fftLpc.values[3] = -5;  // average step
    EXPECT_EQ(view->OpenAverageFFTLPCWindow(), nullptr);
    EXPECT_EQ(prompts.messages.back().text, kFftLpcStepRefused);
    for (QMdiSubWindow* w : frame.MdiArea()->subWindowList())
        EXPECT_EQ(qobject_cast<CFFTLPCFrame*>(w), nullptr);
}

TEST_F(FftLpcWindow, NoAudioChannelOpensEmpty) {
    doc->Channel(0).audioFlag = 0;
    CFFTLPCFrame* f = view->OpenFFTLPCWindow();
    ASSERT_NE(f, nullptr);
    EXPECT_FALSE(f->GetView()->HasData());
    EXPECT_EQ(f->GetView()->FieldText(0), QString());
}

TEST_F(FftLpcWindow, MarkerReadoutsAndLogEntries) {
    CFFTLPCFrame* f = view->OpenAverageFFTLPCWindow();
    ASSERT_NE(f, nullptr);
    f->resize(700, 500);
    QTest::qWait(20);
    CFFTLPCView* v = f->GetView();
    EXPECT_FALSE(v->CanLogEnterAllFFTLPCFrame());  // no log window
    WindowPlacement logPlacement{};
    ASSERT_NE(OnLogNew(frame, prompts, logPlacement), nullptr);
    EXPECT_TRUE(v->CanLogEnterAllFFTLPCFrame());
    EXPECT_FALSE(v->CanLogEnterAtMarker());

    // A click at about 1/5 of the plot's width: near 1000 Hz of 5000.
    const QRect plot = v->PlotRect();
    const QPoint at(plot.left() + plot.width() / 5, plot.center().y());
    const int i = FftLpcPointAt(at.x(), plot.left(), plot.left() + plot.width(), 5000);
    EXPECT_NEAR(i, 1000, 5000 / plot.width() + 1);
    QTest::mouseMove(v, at);
    EXPECT_EQ(v->FieldText(CFFTLPCView::kFieldFrequency), QString::asprintf("%5.1f", double(i)));
    QTest::mouseClick(v, Qt::LeftButton, {}, at);
    ASSERT_TRUE(v->MarkerSet());
    EXPECT_EQ(v->MarkerFrequency(), i);
    EXPECT_EQ(v->MarkerLevels().fft, v->Result().fftCurve[static_cast<std::size_t>(i)]);
    EXPECT_EQ(v->FieldText(CFFTLPCView::kFieldPower),
              QString::asprintf("%5.1f", v->Result().fftCurve[static_cast<std::size_t>(i)]));

    v->OnLogEnterAtMarker();
    v->OnLogEnterFormantsAndBandwidths();
    EXPECT_EQ(Rows(), 2);
    GridModel& grid = frame.LogFrame()->Form()->Grid();
    EXPECT_EQ(std::get<std::string>(grid.GetCell(0, 1)), "FFT/LPC Marker Entry: freq., FFT_dB, LPC_dB ");
    EXPECT_EQ(std::get<double>(grid.GetCell(0, 2)), i);
    EXPECT_EQ(std::get<std::string>(grid.GetCell(1, 0)), "vowel.wav");
    doc->settings.fftLpc.values[FftLpcSettings::kLogOption] = 10;
    v->OnLogEnterAllFFTLPCFrame();
    EXPECT_EQ(Rows(), 502);
    // A click outside the plot clears the marker.
    QTest::mouseClick(v, Qt::LeftButton, {}, QPoint(plot.left() - 10, plot.top() - 10));
    EXPECT_FALSE(v->MarkerSet());
    EXPECT_FALSE(v->CanLogEnterAtMarker());
}

// What a user sees of the window at the size it opens with: every caption
// and value whole and apart, the five formant slots inside the box, the LPC
// envelope in its own colour and a power read-out that agrees with the
// level axis beside the curve.
TEST_F(FftLpcWindow, ReadableAtItsDefaultSize) {
    CFFTLPCFrame* f = view->OpenFFTLPCWindow();
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(f->size(), QSize(kFftLpcDefaultPlacement[2], kFftLpcDefaultPlacement[3]));
    QTest::qWait(20);
    CFFTLPCView* v = f->GetView();
    ASSERT_TRUE(f->grab().save(QString::fromStdString(folder + "/default.png")));
    const QRect client = v->rect();

    test::ExpectReadoutsWhole(v, {{QStringLiteral("field6"), QStringLiteral("-100.0")},
                                  {QStringLiteral("field7"), QStringLiteral("11025.0")}});
    EXPECT_EQ(v->findChildren<QLineEdit*>().size(), 8);

    // The formant box: both lines and all five slots inside its viewport.
    auto* box = v->findChild<QPlainTextEdit*>(QStringLiteral("formants"));
    ASSERT_NE(box, nullptr);
    EXPECT_TRUE(client.contains(box->geometry()));
    const QString text = v->FormantText();
    ASSERT_EQ(text.count(QLatin1Char('\t')), 12);
    // Also with all five slots in use.
    FftLpcResult five;
    five.formants = {711.9, 1218.6, 2582.2, 3512.5, 4490.5};
    five.bandwidths = {57.7, 85.0, 208.2, 310.4, 999.9};
    for (const QString& shown : {text, CFFTLPCView::FormantBoxText(five)}) {
        box->setPlainText(shown);
        const QRect viewport = box->viewport()->rect();
        const double margin = box->document()->documentMargin();
        int lines = 0;
        double height = 2 * margin;
        for (QTextBlock block = box->document()->begin(); block.isValid(); block = block.next()) {
            const QTextLayout* layout = block.layout();
            ASSERT_EQ(layout->lineCount(), 1);
            const QTextLine line = layout->lineAt(0);
            EXPECT_LE(2 * margin + line.naturalTextWidth(), viewport.width()) << block.text().toStdString();
            height += line.height();
            ++lines;
        }
        EXPECT_LE(height, viewport.height());
        EXPECT_EQ(lines, 2);
    }
    ASSERT_TRUE(f->grab().save(QString::fromStdString(folder + "/five-formants.png")));
    box->setPlainText(text);

    // Plot labels: inside the window and apart.
    const SpectrumPanel panel = v->ScreenPanel();
    const QFontMetrics fm(v->PlotFont());
    const std::vector<AxisLabel> labels = SpectrumPanelLabels(panel, fm);
    ASSERT_GE(labels.size(), 4u);
    for (std::size_t a = 0; a < labels.size(); ++a) {
        EXPECT_TRUE(client.contains(labels[a].ink)) << labels[a].text.toStdString();
        EXPECT_FALSE(labels[a].ink.intersects(box->geometry())) << labels[a].text.toStdString();
        for (std::size_t b = a + 1; b < labels.size(); ++b)
            EXPECT_FALSE(labels[a].ink.intersects(labels[b].ink))
                << labels[a].text.toStdString() << " " << labels[b].text.toStdString();
    }

    // The LPC envelope is blue, the FFT curve black.
    const QImage& picture = v->PlotPicture();
    int blue = 0, black = 0;
    const QRect plot = v->PlotRect();
    for (int y = plot.top() + 1; y < plot.bottom(); ++y)
        for (int x = plot.left() + 1; x < plot.right(); ++x) {
            const QRgb c = picture.pixel(x, y);
            blue += c == qRgb(0, 0, 255);
            black += c == qRgb(0, 0, 0);
        }
    EXPECT_GT(blue, plot.width() / 2);
    EXPECT_GT(black, plot.width() / 2);

    // The power read-out at a point reads what the level axis reads at the
    // height the curve is drawn there.
    ASSERT_NE(doc->settings.fftLpc.values[5], 0);  // absolute display
    std::vector<std::pair<int, double>> axis;  // label centre y, value
    for (const AxisLabel& label : labels)
        if (label.ink.right() < plot.left())
            axis.emplace_back(label.ink.center().y(), label.text.toDouble());
    ASSERT_GE(axis.size(), 2u);
    const double perPixel = (axis[1].second - axis[0].second) / (axis[1].first - axis[0].first);
    const QPoint at(plot.left() + plot.width() / 3, plot.center().y());
    QTest::mouseMove(v, at);
    const int i = FftLpcPointAt(at.x(), plot.left(), plot.left() + plot.width(), panel.count);
    const double level = v->Result().fftCurve[static_cast<std::size_t>(i)];
    const int curveY = plot.top() + plot.height() - static_cast<int>(level * plot.height() / (panel.maxLevel - panel.minLevel));
    const double axisReads = axis[0].second + (curveY - axis[0].first) * perPixel;
    EXPECT_NEAR(v->FieldText(CFFTLPCView::kFieldPower).toDouble(), axisReads, 2 * std::fabs(perPixel) + 0.1);
}

TEST(FftLpcFormantBox, EmptySlotsAreBlank) {
    FftLpcResult r;
    r.formants = {700.5, 1220.5, -1, -1, -1};
    r.bandwidths = {60.5, 90.5, -1, -1, -1};
    EXPECT_EQ(CFFTLPCView::FormantBoxText(r),
              QStringLiteral("Formants\t=\t  700.5\t 1220.5\t\t\t\nBandwidths\t=\t   60.5\t   90.5\t\t\t"));
}

}  // namespace
}  // namespace vocomet
