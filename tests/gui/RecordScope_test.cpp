// The audio box's record-and-scope form against the simulated box: live
// drawing, a recording that becomes the document's channels without a lost
// frame, the refusals and the close question.

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMdiArea>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>

#include "acquisition/CUSBHardware.h"
#include "acquisition/CUSBThread.h"
#include "acquisition/ui/CFormRecordScope.h"
#include "acquisition/ui/CFormRecordScopeFrame.h"
#include "widgets/CButtonST.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"
#include "platform/usb/SimulatedAudioBox.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

using namespace std::chrono_literals;

namespace vocomet {
namespace {

class RecordScope : public ::testing::Test {
protected:
    void SetUp() override {
        dir = test::FreshTempDir();
        app.tempFolder = dir;
        app.acquisition.audioBoxPresent = 1;
        bus->Add(platform::usb::kAudioBoxDeviceKind, box);
        box->StartClock(2ms);
        worker.Start();
        doc = std::make_unique<COrielDoc>(app, prompts);
        prompts.messages.clear();
        area.resize(900, 600);
    }
    void TearDown() override {
        delete frame.data();
        worker.StopRun();
        box->StopClock();
    }

    CFormRecordScope& Open(bool withFile = true) {
        std::shared_ptr<platform::File> file;
        if (withFile) {
            recordingPath = dir + "/$$TempFile1";
            file = std::make_shared<platform::File>(recordingPath, platform::File::Mode::Create);
        }
        frame = new CFormRecordScopeFrame(*doc, file, &worker, placement);
        area.addSubWindow(frame);
        frame->setGeometry(10, 10, 700, 400);
        EXPECT_TRUE(frame->Form()->OnInitialUpdate());
        frame->show();
        area.show();
        return *frame->Form();
    }

    std::string dir;
    ApplicationState app;
    test::ScriptedPrompts prompts;
    std::unique_ptr<COrielDoc> doc;
    std::shared_ptr<platform::usb::SimulatedAudioBox> box = std::make_shared<platform::usb::SimulatedAudioBox>();
    std::shared_ptr<platform::usb::SimulatedUsbBus> bus = std::make_shared<platform::usb::SimulatedUsbBus>();
    platform::usb::ScopedUsbBus scope{bus};
    CUSBThread worker;
    QMdiArea area;
    WindowPlacement placement{};
    QPointer<CFormRecordScopeFrame> frame;
    std::string recordingPath;
};

TEST_F(RecordScope, RecordingBecomesTheDocumentWithoutALostFrame) {
    app.settings.recordingForm[kFormAudioBoxRate] = 44100;
    CFormRecordScope& form = Open();
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Sonetta Record and Scope"));
    // The setups went out as the settings say.
    const auto dsp = box->LastDspSetup();
    EXPECT_EQ(platform::GetU32LE(dsp.data() + 8), 0x3000u | 128u);
    EXPECT_EQ(platform::GetU32LE(dsp.data() + 16), 44100u);
    EXPECT_EQ(box->LastLocalSetup()[0], 22);

    ASSERT_TRUE(QTest::qWaitFor([&] { return form.DrawnBlocks() >= 5; }, 10000));
    EXPECT_FALSE(form.buttons[CFormRecordScope::kSave]->isEnabled());
    form.buttons[CFormRecordScope::kRecord]->click();
    EXPECT_TRUE(form.buttons[CFormRecordScope::kSave]->isEnabled());
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return !form.RecordTimeText().isEmpty() && form.RecordTimeText() != QStringLiteral("0:0"); }, 20000));

    const QString shots = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots");
    QDir().mkpath(shots);
    EXPECT_TRUE(frame->grab().save(shots + QStringLiteral("/record_scope.png")));

    form.buttons[CFormRecordScope::kSave]->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return frame.isNull(); }, 5000));
    ASSERT_EQ(doc->GetChannelCount(), 1);
    const CChannels& ch = doc->Channel(0);
    EXPECT_EQ(ch.name, "Left");
    EXPECT_EQ(ch.rate, 44100.0);
    EXPECT_EQ(ch.bits, 24);
    ASSERT_GE(ch.samples.size(), 44u * 1024u);
    EXPECT_EQ(ch.samples.size() % 1024, 0u);
    // Word 1 of the simulated box counts frames: the recording holds a run
    // of consecutive frames, every block in the file whatever was drawn.
    const auto first = static_cast<std::int64_t>(ch.samples.data()[0] * 8388608.0);
    for (std::size_t k = 0; k < ch.samples.size(); ++k)
        ASSERT_EQ(static_cast<std::int64_t>(ch.samples.data()[k] * 8388608.0), first + static_cast<std::int64_t>(k))
            << k;
    EXPECT_FALSE(std::filesystem::exists(recordingPath));
    EXPECT_EQ(placement, (WindowPlacement{10, 10, 700, 400}));
    EXPECT_FALSE(worker.IsBusy());
}

TEST_F(RecordScope, SettingsRulesAndRefusals) {
    CFormRecordScope& form = Open();
    // Line: gain 20, unbalanced, no phantom power; Mic brings the choices back.
    form.phantomCombo->setCurrentIndex(1);
    emit form.phantomCombo->activated(1);
    form.sourceCombo->setCurrentIndex(1);
    emit form.sourceCombo->activated(1);
    EXPECT_EQ(form.gainCombo->currentText(), QStringLiteral("20"));
    EXPECT_EQ(box->LastLocalSetup()[1], 6);  // 20 x 3 / 10
    EXPECT_EQ(box->LastLocalSetup()[3], 0);
    EXPECT_EQ(box->LastLocalSetup()[4], 1);
    form.sourceCombo->setCurrentIndex(0);
    emit form.sourceCombo->activated(0);
    EXPECT_EQ(box->LastLocalSetup()[3], 1);
    EXPECT_EQ(box->LastLocalSetup()[1], 30);  // gain index 4: 100
    // A new balance starts again from gain 30.
    form.balanceCombo->setCurrentIndex(0);
    emit form.balanceCombo->activated(0);
    EXPECT_EQ(box->LastLocalSetup()[1], 9);
    EXPECT_EQ(form.gainCombo->currentText(), QStringLiteral("30"));

    // After Record (even after Stop) rate and mode stay.
    form.buttons[CFormRecordScope::kRecord]->click();
    form.buttons[CFormRecordScope::kStop]->click();
    form.rateCombo->setCurrentIndex(0);
    emit form.rateCombo->activated(0);
    EXPECT_EQ(prompts.LastMessage(), kRateLockedMessage);
    EXPECT_EQ(form.rateCombo->currentText(), QStringLiteral("22050"));
    emit form.modeCombo->activated(1);
    EXPECT_EQ(prompts.LastMessage(), kModeLockedMessage);
    EXPECT_EQ(form.modeCombo->currentIndex(), 0);
}

TEST_F(RecordScope, CloseAsksAndNoLeavesTheDocumentAsItWas) {
    CFormRecordScope& form = Open();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.DrawnBlocks() >= 2; }, 10000));
    form.buttons[CFormRecordScope::kRecord]->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form.RecordTimeText().isEmpty(); }, 10000));

    // Cancel keeps the window, with the worker stopped.
    prompts.answers = {platform::Answer::Cancel};
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(prompts.LastMessage(), kSaveRecordedFileQuestion);
    EXPECT_FALSE(worker.IsBusy());
    ASSERT_FALSE(frame.isNull());

    prompts.answers = {platform::Answer::No};
    EXPECT_TRUE(frame->close());
    QTest::qWait(10);
    EXPECT_TRUE(frame.isNull());
    EXPECT_EQ(doc->GetChannelCount(), 0);
    EXPECT_FALSE(doc->IsDataLoaded());
    EXPECT_FALSE(std::filesystem::exists(recordingPath));
}

TEST_F(RecordScope, DestroyedWhileStreamingStopsTheWorkerFirst) {
    CFormRecordScope& form = Open(false);
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.DrawnBlocks() >= 2; }, 10000));
    EXPECT_TRUE(worker.IsBusy());
    delete frame.data();
    EXPECT_FALSE(worker.IsBusy());
    EXPECT_FALSE(box->IsSampling());
    QTest::qWait(20);  // a queued redraw of the gone form is dropped
}

}  // namespace
}  // namespace vocomet
