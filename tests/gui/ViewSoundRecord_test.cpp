// Recording from the sound card in the main view, on the fake sound card:
// Record, the banner and level trace while it runs, the press that stops
// it, and the document that takes the recording.

#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "acquisition/AcquisitionState.h"
#include "acquisition/CUSBThread.h"
#include "acquisition/ui/CFormRecordScope.h"
#include "acquisition/ui/CFormRecordScopeFrame.h"
#include "widgets/CButtonST.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/COrielView.h"
#include "app/ui/MainFrameCommands.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/FakeAudio.h"
#include "platform/usb/SimulatedAudioBox.h"
#include "platform/usb/UsbTransport.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

void Press(QWidget* target, QPoint at) {
    for (auto type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease}) {
        QMouseEvent event(type, QPointF(at), target->mapToGlobal(QPointF(at)), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(target, &event);
    }
}

// The scratch files left in the temp folder.
int TempFiles(const std::string& folder) {
    int n = 0;
    for (const auto& e : std::filesystem::directory_iterator(folder))
        if (e.path().filename().string().rfind("$$TempFile", 0) == 0)
            ++n;
    return n;
}

class ViewSoundRecord : public ::testing::Test {
protected:
    void SetUp() override {
        app.tempFolder = test::FreshTempDir();
        backend = std::make_shared<platform::FakeAudioBackend>();
        app.acquisition.audioBackend = backend;
        area.resize(900, 600);
        frame = new CChildFrame(std::make_unique<COrielDoc>(app, prompts));
        area.addSubWindow(frame);
        frame->resize(800, 450);
        area.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&area));
        view = frame->GetView();
    }
    void TearDown() override {
        // A recording left running ends with its document.
        prompts.answers.assign(4, platform::Answer::No);
        if (frame)
            frame->close();
        app.acquisition.soundIn.reset();
        app.acquisition.recording.store(0);
    }

    // Record, then timer 1.
    bool Record() {
        const std::size_t before = prompts.messages.size();
        view->OnRecordPlayRecord();
        return QTest::qWaitFor(
                   [&] { return app.acquisition.recording.load() != 0 || prompts.messages.size() > before; },
                               2000) &&
               app.acquisition.recording.load() != 0;
    }

    // seconds of a 440 Hz tone at rate through the fake device.
    std::vector<std::int16_t> Capture(double seconds, int rate) {
        std::vector<std::int16_t> samples(static_cast<std::size_t>(seconds * rate));
        for (std::size_t i = 0; i < samples.size(); ++i)
            samples[i] = static_cast<std::int16_t>(std::lround(12000.0 * std::sin(2 * M_PI * 440.0 * i / rate)));
        platform::FakeAudioStream* stream = backend->LastStream();
        EXPECT_NE(stream, nullptr);
        if (!stream)
            return {};
        stream->SetCaptureSource(samples);
        for (std::size_t done = 0; done < samples.size(); done += 441) {
            EXPECT_TRUE(stream->Pump(std::min<std::size_t>(441, samples.size() - done)));
            if (done % (441 * 50) == 0)
                QApplication::processEvents();
        }
        return samples;
    }

    ApplicationState app;
    test::ScriptedPrompts prompts;
    std::shared_ptr<platform::FakeAudioBackend> backend;
    QMdiArea area;
    QPointer<CChildFrame> frame;
    COrielView* view = nullptr;
};

TEST_F(ViewSoundRecord, TwoSecondsRecordedBecomeANewDocumentOfThatLength) {
    COrielDoc& doc = frame->GetDocument();
    ASSERT_TRUE(Record()) << prompts.LastMessage();
    ASSERT_NE(app.acquisition.soundIn, nullptr);
    EXPECT_EQ(app.acquisition.soundIn->GetSampleRate(), 11025);
    const std::vector<std::int16_t> samples = Capture(2.0, 11025);
    // Five blocks of 4096 are written while recording, each a column of
    // the level trace over the banner.
    QWidget* monitor = view->viewport()->findChild<QWidget*>(QStringLiteral("soundRecordMonitor"));
    ASSERT_NE(monitor, nullptr);
    ASSERT_TRUE(QTest::qWaitFor([&] { return app.acquisition.soundIn->SamplesWritten() >= 5 * 4096; }, 3000));
    QTest::qWait(50);
    const QImage shot = view->viewport()->grab().toImage();
    const QString dir = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    shot.save(dir + QStringLiteral("/sound_recording.png"));
    // Column 2 carries the tone's trace: dark pixels above and below the
    // midline.
    const int mid = view->viewport()->height() / 2;
    EXPECT_LT(qGray(shot.pixel(2, mid - 20)), 100);
    EXPECT_LT(qGray(shot.pixel(2, mid + 20)), 100);
    EXPECT_GT(qGray(shot.pixel(20, mid - 20)), 100) << "beyond the trace";

    // The press stops it; the rest of the ring is written, nothing later.
    Press(view->viewport(), {300, 100});
    EXPECT_EQ(app.acquisition.recording.load(), 0);
    EXPECT_EQ(app.acquisition.soundIn, nullptr);
    EXPECT_TRUE(prompts.messages.empty()) << prompts.LastMessage();
    ASSERT_EQ(doc.GetChannelCount(), 1);
    EXPECT_EQ(doc.Channel(0).name, "Audio");
    EXPECT_TRUE(doc.IsDataLoaded());
    EXPECT_TRUE(doc.IsModified());
    EXPECT_EQ(doc.GetFileTypeCode(), 1);
    ASSERT_EQ(doc.Channel(0).sampleCount, 22050.0);
    EXPECT_NEAR(doc.Channel(0).duration, 2000.0, 1e-9);
    for (std::size_t i = 0; i < samples.size(); ++i)
        ASSERT_EQ(doc.Channel(0).samples.data()[i], samples[i] / 32768.0f) << i;
    EXPECT_EQ(TempFiles(app.tempFolder), 0) << "the recording file went into memory";
    QTest::qWait(20);
    EXPECT_EQ(view->viewport()->findChild<QWidget*>(QStringLiteral("soundRecordMonitor")), nullptr);
    view->viewport()->grab().save(dir + QStringLiteral("/sound_recording_loaded.png"));
}

TEST_F(ViewSoundRecord, LabelsGoOnlyOnceTheSaveQuestionIsAnswered) {
    COrielDoc& doc = frame->GetDocument();
    LABEL label;
    std::snprintf(label.text.data(), label.text.size(), "kept");
    label.time = 100.0;
    doc.Channel(0).AppendLabel(label);
    doc.SetModifiedFlag(true);
    // Cancel: nothing happens, the label stays and nothing records.
    prompts.answers = {platform::Answer::Cancel};
    view->OnRecordPlayRecord();
    QTest::qWait(20);
    ASSERT_EQ(prompts.messages.size(), 1u);
    EXPECT_NE(prompts.LastMessage().find("before recording"), std::string::npos) << prompts.LastMessage();
    EXPECT_EQ(doc.Channel(0).labelCount, 1);
    EXPECT_EQ(app.acquisition.recording.load(), 0);
    // No: the labels go and the recording starts.
    prompts.answers = {platform::Answer::No};
    view->OnRecordPlayRecord();
    EXPECT_EQ(doc.Channel(0).labelCount, 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return app.acquisition.recording.load() != 0; }, 2000))
        << prompts.LastMessage();
}

TEST_F(ViewSoundRecord, RecordClosesTheDocumentsAnalysisWindowsFirst) {
    const auto analysisWindow = [&](const COrielDoc& doc) {
        auto* w = new QMdiSubWindow;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->setProperty(kDocumentProperty, QVariant::fromValue(reinterpret_cast<quintptr>(&doc)));
        area.addSubWindow(w);
        w->show();
        return QPointer<QMdiSubWindow>(w);
    };
    COrielDoc other(app, prompts);
    QPointer<QMdiSubWindow> mine = analysisWindow(frame->GetDocument());
    QPointer<QMdiSubWindow> theirs = analysisWindow(other);
    ASSERT_TRUE(Record());
    QTest::qWait(10);
    EXPECT_TRUE(mine.isNull() || !mine->isVisible());
    ASSERT_FALSE(theirs.isNull());
    EXPECT_TRUE(theirs->isVisible());
    delete theirs;
}

TEST_F(ViewSoundRecord, WithoutASoundDeviceNothingRecordsAndNothingIsLeft) {
    backend->inputPresent = false;
    EXPECT_FALSE(Record());
    QTest::qWait(10);
    ASSERT_EQ(prompts.messages.size(), 2u);
    EXPECT_EQ(prompts.messages[0].text, "No Sound Device");
    EXPECT_EQ(prompts.messages[1].text, "Error in opening the Mic.\nRecording will stop.");
    EXPECT_EQ(app.acquisition.recording.load(), 0);
    EXPECT_EQ(app.acquisition.soundIn, nullptr);
    EXPECT_EQ(TempFiles(app.tempFolder), 0);
    EXPECT_EQ(view->viewport()->findChild<QWidget*>(QStringLiteral("soundRecordMonitor")), nullptr);
    EXPECT_FALSE(frame->GetDocument().IsDataLoaded());
}

TEST_F(ViewSoundRecord, ClosingTheDocumentWhileRecordingAsksFirst) {
    ASSERT_TRUE(Record());
    Capture(0.5, 11025);
    const char* question = "A recording is in progress.\nStop it and keep it in the document?";
    // Cancel: the window stays and the recording goes on.
    prompts.answers = {platform::Answer::Cancel};
    EXPECT_FALSE(frame->close());
    ASSERT_EQ(prompts.LastMessage(), question);
    EXPECT_EQ(app.acquisition.recording.load(), 1);
    ASSERT_NE(app.acquisition.soundIn, nullptr);
    EXPECT_TRUE(app.acquisition.soundIn->IsCapturing());

    // Yes: stopped and kept; the document, now modified, then asks to be
    // saved as any other (Cancel keeps the window).
    prompts.answers = {platform::Answer::Yes, platform::Answer::Cancel};
    EXPECT_FALSE(frame->close());
    EXPECT_EQ(app.acquisition.recording.load(), 0);
    EXPECT_EQ(app.acquisition.soundIn, nullptr);
    EXPECT_EQ(frame->GetDocument().Channel(0).sampleCount, std::floor(0.5 * 11025));
    EXPECT_EQ(prompts.messages.size(), 3u);

    // No while recording again: dropped with its file, and the window goes.
    frame->GetDocument().SetModifiedFlag(false);
    ASSERT_TRUE(Record());
    Capture(0.2, 11025);
    ASSERT_EQ(TempFiles(app.tempFolder), 1);
    prompts.answers = {platform::Answer::No};
    EXPECT_TRUE(frame->close());
    EXPECT_EQ(app.acquisition.recording.load(), 0);
    EXPECT_EQ(app.acquisition.soundIn, nullptr);
    EXPECT_EQ(TempFiles(app.tempFolder), 0);
}

TEST_F(ViewSoundRecord, WhileTheAudioBoxRecordsTheViewShowsTimeLevelsAndSpectrum) {
    auto box = std::make_shared<platform::usb::SimulatedAudioBox>();
    auto bus = std::make_shared<platform::usb::SimulatedUsbBus>();
    platform::usb::ScopedUsbBus scope(bus);
    bus->Add(platform::usb::kAudioBoxDeviceKind, box);
    box->StartClock(std::chrono::milliseconds(2));
    app.acquisition.audioBoxPresent = 1;
    app.acquisition.usbThread = std::make_unique<CUSBThread>();
    app.acquisition.usbThread->Start();
    view->OnRecordPlayRecord();
    QPointer<CFormRecordScopeFrame> form;
    ASSERT_TRUE(QTest::qWaitFor([&] { return (form = area.findChild<CFormRecordScopeFrame*>()) != nullptr; }, 2000));
    QWidget* monitor = view->viewport()->findChild<QWidget*>(QStringLiteral("audioBoxRecordMonitor"));
    ASSERT_NE(monitor, nullptr);
    // Nothing is shown before Record.
    QTest::qWait(50);
    const QImage before = monitor->grab().toImage();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Form()->DrawnBlocks() >= 3; }, 5000)) << prompts.LastMessage();
    form->Form()->buttons[CFormRecordScope::kRecord]->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !form->Form()->RecordTimeText().isEmpty() &&
                                             form->Form()->RecordTimeText() != QStringLiteral("0:0"); },
                                20000)) << form->Form()->RecordTimeText().toStdString();
    QTest::qWait(50);
    const QImage shot = view->viewport()->grab().toImage();
    const QString dir = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    shot.save(dir + QStringLiteral("/audio_box_recording_monitor.png"));
    const QImage after = monitor->grab().toImage();
    const auto dark = [](const QImage& image, const QRect& r) {
        int n = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                n += qGray(image.pixel(x, y)) < 100 && qAlpha(image.pixel(x, y)) > 200;
        return n;
    };
    const QRect time(200, 5, 200, 15);
    const QRect bars(0, 5, 100, 195);
    const QRect spectrum(6, 206, 394, 194);
    EXPECT_EQ(dark(before, time) + dark(before, bars) + dark(before, spectrum), 0);
    EXPECT_GT(dark(after, time), 20) << "the recorded time";
    EXPECT_GT(dark(after, bars), 10) << "the level bars";
    EXPECT_GT(dark(after, spectrum), 50) << "the spectrum";

    form->Form()->buttons[CFormRecordScope::kSave]->click();
    ASSERT_TRUE(QTest::qWaitFor([&] { return form.isNull(); }, 5000));
    QTest::qWait(20);
    EXPECT_EQ(view->viewport()->findChild<QWidget*>(QStringLiteral("audioBoxRecordMonitor")), nullptr);
    app.acquisition.usbThread.reset();
    box->StopClock();
}

}  // namespace
}  // namespace vocomet
