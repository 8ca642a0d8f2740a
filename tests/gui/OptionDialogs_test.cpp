// The option dialogs as a user meets them: what they show, what they
// correct and refuse, Cancel, and the main view's commands around them.

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

#include "analysis/ui/COptionCalibration.h"
#include "analysis/ui/COptionEGG.h"
#include "analysis/ui/COptionEGGChannelAssign.h"
#include "analysis/ui/COptionFFTLPC.h"
#include "analysis/ui/COptionIntensitySmooth.h"
#include "analysis/ui/COptionLog.h"
#include "analysis/ui/COptionPitch.h"
#include "analysis/ui/COptionSpectrogram.h"
#include "analysis/ui/COptionZoom.h"
#include "analysis/AnalysisLimits.h"
#include "analysis/AnalysisServices.h"
#include "app/ui/CDialogOptionDisplay.h"
#include "app/ui/COrielView.h"
#include "widgets/GridTableView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

class OptionDialogs : public ::testing::Test {
protected:
    void SetUp() override {
        app.tempFolder = test::FreshTempDir();
        doc = std::make_unique<COrielDoc>(app, prompts);
        prompts.messages.clear();
        doc->SetChannelCount(3);
        const char* names[] = {"Audio", "None", "Flow"};
        for (int i = 0; i < 3; ++i) {
            doc->Channel(i).name = names[i];
            doc->Channel(i).stripHeight = 100;
        }
    }

    void Shot(QWidget& w, const char* name) {
        const QString path = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots/") +
                             QString::fromLatin1(name);
        QDir().mkpath(QFileInfo(path).absolutePath());
        EXPECT_TRUE(w.grab().save(path));
    }

    ApplicationState app;
    test::ScriptedPrompts prompts;
    std::unique_ptr<COrielDoc> doc;
};

TEST_F(OptionDialogs, EveryDialogOpensWithItsTitle) {
    struct Case {
        std::function<std::unique_ptr<QDialog>()> make;
        const char* title;
        const char* shot;
    };
    const Case cases[] = {
        {[&] {
             auto d = std::make_unique<CDialogOptionDisplay>(prompts);
             d->document = doc.get();
             return std::unique_ptr<QDialog>(std::move(d));
         },
         "Display Option", "option-display.png"},
        {[&] {
             auto d = std::make_unique<COptionFFTLPC>(prompts);
             d->values = FftLpcDefaults(FftLpcSettings{}, 11025.0);
             return std::unique_ptr<QDialog>(std::move(d));
         },
         "FFT/LPC Option", "option-fftlpc.png"},
        {[&] { return std::unique_ptr<QDialog>(std::make_unique<COptionSpectrogram>(prompts)); },
         "Spectrogram Option", "option-spectrogram.png"},
        {[&] { return std::unique_ptr<QDialog>(std::make_unique<COptionPitch>(prompts)); }, "Pitch option",
         "option-pitch.png"},
        {[&] { return std::unique_ptr<QDialog>(std::make_unique<COptionLog>(prompts)); }, "Log Option",
         "option-log.png"},
        {[&] { return std::unique_ptr<QDialog>(std::make_unique<COptionZoom>(prompts)); }, "Zoom Option",
         "option-zoom.png"},
        {[&] { return std::unique_ptr<QDialog>(std::make_unique<COptionEGG>(prompts)); }, "EGG Option",
         "option-egg.png"},
        {[&] {
             auto d = std::make_unique<COptionEGGChannelAssign>(prompts);
             d->channelNames = {"Audio", "EGG"};
             return std::unique_ptr<QDialog>(std::move(d));
         },
         "EGG Channel Assign", "option-egg-channel.png"},
        {[&] {
             auto d = std::make_unique<COptionIntensitySmooth>(prompts);
             d->document = doc.get();
             return std::unique_ptr<QDialog>(std::move(d));
         },
         "Intensity/Smooth Options", "option-intensity.png"},
        {[&] {
             auto d = std::make_unique<COptionCalibration>(prompts);
             d->document = doc.get();
             return std::unique_ptr<QDialog>(std::move(d));
         },
         "Calibration Option", "option-calibration.png"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.title);
        std::unique_ptr<QDialog> d = c.make();
        d->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(d.get()));
        EXPECT_EQ(d->windowTitle(), QString::fromLatin1(c.title));
        Shot(*d, c.shot);
        d->reject();
    }
    EXPECT_TRUE(prompts.messages.empty());
}

TEST_F(OptionDialogs, DisplayShowsARowPerChannelAndCancelChangesNothing) {
    doc->settings.display.fourth = 0;
    CDialogOptionDisplay d(prompts);
    d.document = doc.get();
    d.show();
    GridModel& grid = d.Grid();
    ASSERT_EQ(grid.GetRowCount(), 3);
    const QAbstractItemModel* model = d.Table()->model();
    EXPECT_EQ(model->headerData(0, Qt::Vertical).toString(), "Audio");
    EXPECT_EQ(model->headerData(1, Qt::Vertical).toString(), "1");
    EXPECT_EQ(model->headerData(2, Qt::Vertical).toString(), "2");
    // The spacing edit follows the time grid check at once.
    EXPECT_FALSE(d.SpacingEdit()->isEnabled());
    d.TimeGridCheck()->setChecked(true);
    EXPECT_TRUE(d.SpacingEdit()->isEnabled());

    grid.SetCellByUser(0, 0, "Renamed");
    grid.SetCellByUser(1, 2, "300");
    d.WidthEdit()->setText("9");
    d.reject();
    EXPECT_EQ(doc->Channel(0).name, "Audio");
    EXPECT_EQ(doc->Channel(1).stripHeight, 100);
    EXPECT_EQ(doc->settings.display.fourth, 0);
    EXPECT_EQ(doc->settings.display.pictureWidth, 6.0);
}

TEST_F(OptionDialogs, DisplayRefusesAZeroStripHeightAndStaysOpen) {
    CDialogOptionDisplay d(prompts);
    d.document = doc.get();
    d.show();
    d.Grid().SetCellByUser(2, 2, "0");
    d.accept();
    EXPECT_TRUE(d.isVisible());
    EXPECT_EQ(d.result(), 0);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_EQ(doc->Channel(2).stripHeight, 100);
    d.Grid().SetCellByUser(2, 2, "60");
    d.accept();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(doc->Channel(2).stripHeight, 60);
}

TEST_F(OptionDialogs, FftLpcListsSizesAndCorrectsWindowRangeAndOrder) {
    COptionFFTLPC d(prompts);
    d.sampleRate = 11025.0;
    d.values = FftLpcDefaults(FftLpcSettings{}, 11025.0);
    d.show();
    ASSERT_EQ(d.SizeList()->count(), 9);
    EXPECT_EQ(d.SizeList()->itemText(0), "  344  Hz  (  32 pts)");
    EXPECT_EQ(d.SizeList()->itemText(8), "  1  Hz   (8192 pts)");
    EXPECT_EQ(d.SizeList()->currentIndex(), 3);

    // An applied window longer than the FFT beeps and is set to the longest.
    QTest::keyClicks(d.AppliedWindowEdit(), "0");  // 230
    EXPECT_EQ(d.AppliedWindowEdit()->text(), "23");
    EXPECT_EQ(prompts.beeps, 1);
    EXPECT_EQ(prompts.LastMessage(), kAppliedWindowAdjusted);

    // A range beyond the window's limit is set to the limit the window accepts.
    d.RangeEdit()->clear();
    QTest::keyClicks(d.RangeEdit(), "6000");
    EXPECT_EQ(d.RangeEdit()->text(), "5000");
    EXPECT_EQ(prompts.LastMessage(), kDisplayFrequencyAdjusted);

    // An odd order is made even; one beyond the window's limit is refused.
    d.LpcOrderEdit()->setText("15");
    d.OnLpcOrderDone();
    EXPECT_EQ(d.LpcOrderEdit()->text(), "14");
    d.LpcOrderEdit()->setText("22");
    const std::size_t shown = prompts.messages.size();
    d.accept();
    EXPECT_EQ(d.result(), 0);
    ASSERT_EQ(prompts.messages.size(), shown + 1);
    EXPECT_EQ(prompts.LastMessage(), "Please enter an integer between 4 and 20.");

    d.LpcOrderEdit()->setText("13");
    d.accept();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.values.values[FftLpcSettings::kLpcOrder], 12);
    EXPECT_EQ(d.values.values[4], 5000);
}

TEST_F(OptionDialogs, PitchRefusesALowerLimitAboveTheUpper) {
    COptionPitch d(prompts);
    d.values = PitchDefaults(PitchSettings{});
    d.show();
    d.CalculationLowEdit()->setText("600");
    d.accept();
    EXPECT_EQ(d.result(), 0);
    EXPECT_EQ(prompts.LastMessage(), "The lower calculation limit must be below the upper one.");
    EXPECT_TRUE(d.CalculationLowEdit()->hasFocus() || !QApplication::focusWidget());
    d.CalculationLowEdit()->setText("75");
    d.StepEdit()->setText("abc");
    d.accept();
    EXPECT_EQ(d.result(), 0);
    d.StepEdit()->setText("5");
    d.accept();
    EXPECT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(d.values.doubles[3], 75.0);
    EXPECT_EQ(d.values.doubles[1], 5.0);
}

TEST_F(OptionDialogs, EggChannelIsTakenByPositionNotByName) {
    struct Case {
        int choose, expected;
    };
    // Channel 1 is named "None"; the list's own "None" is the last entry.
    for (const Case c : {Case{1, 1}, Case{3, -1}, Case{0, 0}}) {
        COptionEGGChannelAssign d(prompts);
        d.channelNames = {"Audio", "None", "Flow"};
        d.channel = 2;
        d.show();
        EXPECT_EQ(d.List()->count(), 4);
        EXPECT_EQ(d.List()->currentIndex(), 2);
        d.List()->setCurrentIndex(c.choose);
        d.accept();
        EXPECT_EQ(d.channel, c.expected) << c.choose;
    }
    COptionEGGChannelAssign none(prompts);
    none.channelNames = {"Audio"};
    none.channel = -1;
    none.show();
    EXPECT_EQ(none.List()->currentIndex(), 1);
}

TEST_F(OptionDialogs, CalibrationOkStoresAndPatchesTheSettingsFile) {
    const std::string path = app.ConfigurationFilePath();
    const std::string before = test::ReadAll(path);
    ASSERT_EQ(before.size(), 2976u);  // the document wrote its defaults
    COptionCalibration d(prompts);
    d.document = doc.get();
    d.show();
    d.Grid().SetCellByUser(1, 1, "2.5");
    d.Grid().SetCellText(1, 5, "cm H2O");
    d.accept();
    ASSERT_EQ(d.result(), QDialog::Accepted);
    EXPECT_EQ(doc->Channel(1).calA, 2.5);
    const std::string after = test::ReadAll(path);
    double a = 0.0;
    std::memcpy(&a, after.data() + 1736 + 8, 8);
    EXPECT_EQ(a, 2.5);
    EXPECT_EQ(after.substr(2248 + 32, 7), std::string("cm H2O\0", 7));
    EXPECT_EQ(after.substr(0, 1736), before.substr(0, 1736));
}

TEST_F(OptionDialogs, IntensityRefusesABadCellAndCancelKeepsTheChannels) {
    COptionIntensitySmooth d(prompts);
    d.document = doc.get();
    d.show();
    d.Grid().SetCellByUser(0, 1, "40000");
    d.accept();
    EXPECT_EQ(d.result(), 0);
    EXPECT_EQ(prompts.LastMessage(), "Please enter an integer between 1 and 32767.");
    d.reject();
    EXPECT_EQ(doc->Channel(0).intensityWindow, 30.0);
}


// Answers the analysis option dialogs without showing them.
class AnsweringDialogs : public AnalysisOptionDialogs {
public:
    std::optional<FftLpcSettings> fft;
    bool calibrationOk = false;
    std::optional<FftLpcSettings> RunFftLpcOptions(const FftLpcSettings&, double) override { return fft; }
    std::optional<SpectrogramSettings> RunSpectrogramOptions(const SpectrogramSettings&, double) override {
        return std::nullopt;
    }
    std::optional<PitchSettings> RunPitchOptions(const PitchSettings&) override { return std::nullopt; }
    std::optional<double> RunZoomOptions(double) override { return std::nullopt; }
    std::optional<LogOptions> RunLogOptions(const LogOptions&) override { return std::nullopt; }
    bool RunIntensitySmoothOptions(COrielDoc&) override { return false; }
    bool RunCalibrationOptions(COrielDoc& d) override {
        d.Channel(0).stripHeight = 40;
        return calibrationOk;
    }
    std::optional<EggOptions> RunEggOptions(const EggOptions&) override { return std::nullopt; }
    std::optional<int> RunEggChannelAssign(const std::vector<std::string>&, int) override { return std::nullopt; }
};

TEST_F(OptionDialogs, MainViewCommandsUpdateTheDocumentAndTheSettingsFile) {
    const std::string path = app.ConfigurationFilePath();
    COrielView view(*doc);
    view.resize(400, 300);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
    AnsweringDialogs dialogs;
    view.optionDialogs = &dialogs;

    FftLpcSettings v = doc->settings.fftLpc;
    v.values[FftLpcSettings::kLpcOrder] = 17;
    dialogs.fft = v;
    view.OnOptionsFFTLPC();
    EXPECT_EQ(doc->settings.fftLpc.values[FftLpcSettings::kLpcOrder], 16);
    std::int32_t stored = 0;
    std::memcpy(&stored, test::ReadAll(path).data() + 1164, 4);
    EXPECT_EQ(stored, 16);

    // Display: after the dialog's OK the file takes the display fields and
    // the document is modified.
    doc->SetModifiedFlag(false);
    doc->settings.display.fifth = 123;
    doc->Channel(0).stripHeight = 70;
    ASSERT_TRUE(view.IsInitialUpdateDone());
    EXPECT_EQ(doc->Channel(1).strip.top, 105);
    view.ApplyDisplayOptions();
    QCoreApplication::processEvents();
    EXPECT_EQ(doc->Channel(1).strip.top, 75);  // laid out again with the new height
    EXPECT_TRUE(doc->IsModified());
    std::memcpy(&stored, test::ReadAll(path).data() + 1080, 4);
    EXPECT_EQ(stored, 123);

    // Calibration: only OK re-lays out the strips and marks the document.
    doc->SetModifiedFlag(false);
    view.OnOptionsCalibration();
    EXPECT_FALSE(doc->IsModified());
    dialogs.calibrationOk = true;
    view.OnOptionsCalibration();
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(view.NeedsRedraw());
}

}  // namespace
}  // namespace vocomet
