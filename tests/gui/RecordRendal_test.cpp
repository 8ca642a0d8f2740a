// The sixteen-channel record form and the live scope on the simulated
// system, streaming from its own clock.

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QMainWindow>
#include <QMdiArea>
#include <QTableWidget>
#include <QTest>
#include <gtest/gtest.h>

#include "acquisition/RendalControls.h"
#include "acquisition/ui/CFormRecordRendal.h"
#include "acquisition/ui/CScopeView.h"
#include "acquisition/ui/CFrameRecordPlay.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "core/ConfigurationBlock.h"
#include "core/ConfigurationFile.h"
#include "core/RendalRecording.h"
#include "platform/ByteCodec.h"
#include "platform/File.h"
#include "platform/usb/SimulatedRendal.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

using namespace platform::usb;
using namespace std::chrono_literals;

namespace vocomet {
namespace {

bool WaitUntil(const std::function<bool()>& done, int ms = 10000) {
    QElapsedTimer t;
    t.start();
    while (!done()) {
        if (t.elapsed() > ms)
            return false;
        QTest::qWait(5);
    }
    return true;
}

void Shoot(QWidget& w, const char* name) {
    const QString dir = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots");
    QDir().mkpath(dir);
    w.grab().save(dir + QStringLiteral("/") + QString::fromLatin1(name));
}

class RecordRendal : public ::testing::Test {
protected:
    void SetUp() override {
        app.tempFolder = test::FreshTempDir();
        SetChannelSetupDefaults(app.settings.channelSetup, 5);
        app.acquisition.rendalPresent = 1;
        app.acquisition.hardwareChannelCount = 5;
        ConfigurationBlock block;
        ASSERT_TRUE(WriteDefaultConfigurationBlock(app.ConfigurationFilePath(), block, app.settings));
        device = std::make_shared<SimulatedRendal>(0x05);
        bus->Add(kRendalDeviceKind, device);
        doc = std::make_unique<COrielDoc>(app, prompts);
        mainWindow.setCentralWidget(area);
        mainWindow.resize(1100, 700);
        mainWindow.show();
    }
    void TearDown() override { device->StopClock(); }

    // The form's frame in the area, 1000 x 600, shown.
    CFormRecordRendalFrame* OpenFrame() {
        auto* frame = new CFormRecordRendalFrame(*doc, prompts, nullptr);
        area->addSubWindow(frame);
        frame->setGeometry(0, 0, 1000, 600);
        frame->show();
        return frame;
    }

    ApplicationState app;
    test::ScriptedPrompts prompts;
    std::shared_ptr<SimulatedRendal> device;
    std::shared_ptr<SimulatedUsbBus> bus = std::make_shared<SimulatedUsbBus>();
    ScopedUsbBus scope{bus};
    std::unique_ptr<COrielDoc> doc;
    QMainWindow mainWindow;
    QMdiArea* area = new QMdiArea;
};

TEST_F(RecordRendal, RecordsShowsAndSavesIntoTheDocument) {
    for (int k = 0; k < 5; ++k)
        app.settings.channelSetup[static_cast<std::size_t>(k)].enabled = 1;
    app.settings.channelSetup[3].filterCutoff = 300;
    app.settings.channelSetup[3].gain = 6;
    ASSERT_TRUE(doc->rendalRecordingFile->Open(app.tempFolder + "/rec.raw", platform::File::Mode::Create));
    auto* frame = OpenFrame();
    CFormRecordRendal& form = *frame->Form();
    form.OnInitialUpdate();
    // Five channels: four grid rows, two pair words, then the audio word.
    EXPECT_EQ(form.Grid()->rowCount(), 4);
    auto words = device->ControlWords();
    ASSERT_EQ(words.size(), 3u);
    EXPECT_EQ(words[0].value, 1);
    EXPECT_EQ(words[1].value, 2);
    EXPECT_EQ(words[1].data0, 0x5C);  // row 2: filter 300, "Mask", gain 6
    EXPECT_EQ(words[2].value, 0);
    EXPECT_EQ(words[2].data0, form.AudioByte());

    device->StartClock(2ms, 1);
    ASSERT_TRUE(WaitUntil([&] { return form.BlocksDrawn() >= 20; }));
    EXPECT_EQ(form.Panes().size(), 5u);
    form.OnRecord();
    ASSERT_TRUE(WaitUntil([&] { return form.Worker()->BlocksWritten() >= 30; }));
    Shoot(*frame, "record-rendal.png");
    EXPECT_FALSE(form.RecordTimeText().isEmpty());

    // Switching a channel off goes to the device at once.
    form.Grid()->item(1, 0)->setCheckState(Qt::Unchecked);
    EXPECT_EQ(form.Records()[2].enabled, 0);
    EXPECT_EQ(form.LayoutValid(), 0);

    doc->Channel(0).rate = 22050;
    const std::shared_ptr<platform::File> raw = doc->rendalRecordingFile;
    ASSERT_TRUE(form.OnSaveRecording());
    // Loaded: the document has no more use for the raw recording.
    EXPECT_TRUE(doc->rendalRecordingFile->GetFilePath().empty());
    device->StopClock();
    EXPECT_EQ(device->Outstanding(), 0u);
    EXPECT_FALSE(device->IsSampling());
    // Channels 0, 1, 3 and 4: the audio mean and words 4, 6, 7.
    ASSERT_EQ(doc->GetChannelCount(), 4);
    EXPECT_EQ(doc->Channel(3).name, "ch4");
    EXPECT_EQ(doc->GetFileTypeCode(), 11);
    const std::int64_t frames = raw->GetLength() / 32;
    EXPECT_EQ(doc->Channel(0).sampleCount, static_cast<double>(frames));
    std::uint8_t first[32];
    ASSERT_EQ(raw->ReadAt(0, first, 32), 32u);
    EXPECT_EQ(doc->Channel(0).samples.data()[0], RendalChannelValue(first, 0));
    EXPECT_EQ(doc->Channel(2).samples.data()[0], platform::GetI16LE(first + 2 * 6) / 32768.0f);
    // The records went into the settings file.
    ConfigurationBlock block;
    ASSERT_TRUE(block.TryRead(app.ConfigurationFilePath()));
    EXPECT_EQ(platform::GetI32LE(block.data() + 72 + 4 * 2), 0);
    EXPECT_EQ(platform::GetI32LE(block.data() + 208 + 4 * 3), 300);
    EXPECT_EQ(platform::GetI32LE(block.data() + 276 + 4 * 3), 6);
    EXPECT_EQ(app.settings.channelSetup[2].enabled, 0);
}

TEST_F(RecordRendal, ClosingAsksWhenSomethingWasRecorded) {
    ASSERT_TRUE(doc->rendalRecordingFile->Open(app.tempFolder + "/rec.raw", platform::File::Mode::Create));
    auto* frame = new CFormRecordRendalFrame(*doc, prompts, nullptr);
    area->addSubWindow(frame);
    frame->show();
    frame->Form()->OnInitialUpdate();
    device->StartClock(2ms, 1);
    ASSERT_TRUE(WaitUntil([&] { return frame->Form()->BlocksDrawn() >= 3; }));
    frame->Form()->OnRecord();
    ASSERT_TRUE(WaitUntil([&] { return frame->Form()->Worker()->BlocksWritten() >= 3; }));
    prompts.answers.push_back(platform::Answer::No);
    QPointer<CFormRecordRendalFrame> guard(frame);
    frame->close();
    EXPECT_EQ(prompts.LastMessage(), kRendalSaveQuestion);
    EXPECT_FALSE(doc->rendalRecordingFile->IsOpen());
    EXPECT_EQ(device->Outstanding(), 0u);
    EXPECT_FALSE(doc->IsDataLoaded());
    ASSERT_TRUE(WaitUntil([&] { return guard.isNull(); }));
}

TEST_F(RecordRendal, CancelToTheSaveQuestionKeepsRecordingAndSampling) {
    ASSERT_TRUE(doc->rendalRecordingFile->Open(app.tempFolder + "/rec.raw", platform::File::Mode::Create));
    auto* frame = new CFormRecordRendalFrame(*doc, prompts, nullptr);
    area->addSubWindow(frame);
    frame->show();
    CFormRecordRendal& form = *frame->Form();
    form.OnInitialUpdate();
    device->StartClock(2ms, 1);
    ASSERT_TRUE(WaitUntil([&] { return form.BlocksDrawn() >= 3; }));
    form.OnRecord();
    ASSERT_TRUE(WaitUntil([&] { return form.Worker()->BlocksWritten() >= 3; }));
    QPointer<CFormRecordRendalFrame> guard(frame);
    auto* cancel = form.findChild<QAbstractButton*>(QStringLiteral("cancelButton"));
    ASSERT_NE(cancel, nullptr);
    // Cancel from the close box, then from the Cancel button: each time the
    // window stays, and the recording and the scope go on.
    for (const bool closeBox : {true, false}) {
        SCOPED_TRACE(closeBox ? "close box" : "Cancel button");
        prompts.answers = {platform::Answer::Cancel};
        const std::size_t asked = prompts.messages.size();
        if (closeBox)
            EXPECT_FALSE(frame->close());
        else
            cancel->click();
        QTest::qWait(20);
        ASSERT_EQ(prompts.messages.size(), asked + 1);
        EXPECT_EQ(prompts.LastMessage(), kRendalSaveQuestion);
        ASSERT_FALSE(guard.isNull());
        EXPECT_TRUE(frame->isVisible());
        EXPECT_TRUE(doc->rendalRecordingFile->IsOpen());
        ASSERT_NE(form.Worker(), nullptr);
        const std::int64_t written = form.Worker()->BlocksWritten();
        const int drawn = form.BlocksDrawn();
        EXPECT_TRUE(WaitUntil([&] { return form.Worker()->BlocksWritten() >= written + 3; }));
        EXPECT_TRUE(WaitUntil([&] { return form.BlocksDrawn() >= drawn + 3; }));
    }
    // Yes then keeps everything recorded in the document (which lets go of
    // the raw file once it has loaded it).
    const std::shared_ptr<platform::File> raw = doc->rendalRecordingFile;
    prompts.answers = {platform::Answer::Yes};
    cancel->click();
    EXPECT_EQ(device->Outstanding(), 0u);
    EXPECT_TRUE(doc->IsDataLoaded());
    const std::int64_t frames = raw->GetLength() / 32;
    EXPECT_GT(frames, 0);
    EXPECT_EQ(doc->Channel(0).sampleCount, static_cast<double>(frames));
    ASSERT_TRUE(WaitUntil([&] { return guard.isNull(); }));
}

bool HasColour(const QImage& image, const QRect& area, QColor colour) {
    const QRect r = area.intersected(image.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            if (image.pixelColor(x, y) == colour)
                return true;
    return false;
}

TEST_F(RecordRendal, ScopeHintStaysReadableAndSaveShowsItsCaption) {
    auto* frame = OpenFrame();
    CFormRecordRendal& form = *frame->Form();
    form.OnInitialUpdate();
    // Silent blocks: flat black traces, so any red is the hint.
    const std::vector<std::uint8_t> silence(32 * 128, 0);
    const auto hintBand = [&] {
        const QRect pane = form.Panes().front().translated(form.PanesArea().topLeft());
        return form.grab().toImage().copy(pane.left(), pane.top(), pane.width(), 30);
    };
    form.DrawBlock(silence.data(), silence.size());  // lays the panes out
    form.DrawBlock(silence.data(), silence.size());
    const QImage first = hintBand();
    EXPECT_TRUE(HasColour(first, first.rect(), Qt::red));
    for (int k = 0; k < 40; ++k)
        form.DrawBlock(silence.data(), silence.size());
    const QImage later = hintBand();
    Shoot(*frame, "record-rendal-scope.png");
    EXPECT_TRUE(later == first) << "the hint moved with the trace";
    EXPECT_FALSE(HasColour(form.TraceImage(), form.TraceImage().rect(), Qt::red));

    // The Save button's caption is drawn whole under its image: the rows
    // it changes are as tall as its capitals and inside the button.
    auto* save = form.findChild<QAbstractButton*>(QStringLiteral("saveButton"));
    ASSERT_NE(save, nullptr);
    save->setEnabled(true);
    const QImage withCaption = save->grab().toImage();
    save->setText(QString());
    const QImage without = save->grab().toImage();
    save->setText(QStringLiteral("Save"));
    int top = -1;
    int bottom = -1;
    for (int y = 0; y < withCaption.height(); ++y)
        for (int x = 0; x < withCaption.width(); ++x)
            if (withCaption.pixel(x, y) != without.pixel(x, y)) {
                top = top < 0 ? y : top;
                bottom = y;
            }
    ASSERT_GE(top, 0) << "no caption";
    EXPECT_GE(bottom - top + 1, save->fontMetrics().capHeight());
    EXPECT_LT(bottom, withCaption.height() - 2);
}

TEST_F(RecordRendal, ScopeShowsEachEnabledChannelAndItsHintOpensTheOptions) {
    app.settings.channelSetup[2].enabled = 0;
    app.settings.channelSetup[4].enabled = 0;
    CFrameRecordPlay* options = CreateRecordPlayFrame(mainWindow, app, prompts);
    ASSERT_NE(options, nullptr);
    ASSERT_FALSE(options->isVisible());
    QAction* command = InstallScopeWindowCommand(mainWindow, *area, app);
    device->StartClock(1ms, 1);
    command->trigger();
    CScopeChildFrame* frame = OpenScopeFrame(mainWindow);
    ASSERT_NE(frame, nullptr);
    frame->resize(600, 400);
    CScopeView& view = *frame->View();
    ASSERT_TRUE(WaitUntil([&] { return view.BlocksDrawn() >= 60; }));
    Shoot(*frame, "scope-rendal-strips.png");
    // Channels 0, 1 and 3: three strips, each with its trace.
    ASSERT_EQ(view.StripCount(), 3);
    for (int j = 0; j < 3; ++j) {
        SCOPED_TRACE(j);
        const QRect strip = view.Strip(j);
        EXPECT_GT(strip.height(), 20);
        if (j > 0) {
            EXPECT_GT(strip.top(), view.Strip(j - 1).bottom());
        }
        EXPECT_TRUE(HasColour(view.TracePicture(), strip.adjusted(1, 1, -1, -1), Qt::black));
    }
    // A click on the hint opens the record/play options.
    QTest::mouseClick(&view, Qt::LeftButton, Qt::NoModifier, view.HintRect().center());
    EXPECT_TRUE(options->isVisible());
    frame->close();
    device->StopClock();
}

TEST_F(RecordRendal, ScopeSplitsBlocksAndDrawsChannelZero) {
    QAction* command = InstallScopeWindowCommand(mainWindow, *area, app);
    EXPECT_EQ(command->data().toInt(), kScopeWindowCommand);
    EXPECT_TRUE(command->shortcut().isEmpty());
    device->StartClock(1ms, 1);
    command->trigger();
    CScopeChildFrame* frame = OpenScopeFrame(mainWindow);
    ASSERT_NE(frame, nullptr);
    EXPECT_EQ(frame->windowTitle(), QStringLiteral("Scope Window"));
    EXPECT_FALSE(command->isEnabled());
    command->trigger();  // one scope window at a time
    EXPECT_EQ(mainWindow.findChildren<CScopeChildFrame*>().size(), 1);
    CScopeView& view = *frame->View();
    ASSERT_TRUE(WaitUntil([&] { return view.BlocksDrawn() >= 60; }));
    bool sampleSent = false;
    for (const auto& r : device->RequestLog())
        sampleSent |= r.setup == SetupPacket{0x40, 0xB2, 1, 0, 0};
    EXPECT_TRUE(sampleSent);
    Shoot(*frame, "scope-rendal.png");
    // The channels of the last block hold the stream's words, in order.
    const auto& ch = view.Channels();
    for (int c = 0; c < 16; ++c)
        ASSERT_EQ(ch[static_cast<std::size_t>(c)].size(), 128u);
    EXPECT_EQ(static_cast<std::uint16_t>(ch[15][1] - ch[15][0]), 1);  // the frame counter

    // Channel 0 drawn: a known block of full scale lands half a strip above
    // the centre line in the newest column.
    std::vector<std::uint8_t> block(4096, 0);
    for (int k = 0; k < 128; ++k)
        platform::PutU16LE(&block[static_cast<std::size_t>(32 * k)], 32767);
    view.StopScope();
    view.DrawChannelBlock(block.data(), block.size());
    const QRect strip = view.Strip(0);
    const int centre = strip.top() + (strip.bottom() + 1 - strip.top()) / 2;
    const int y = centre - 32767 * (strip.bottom() + 1 - strip.top()) / 65536;
    EXPECT_EQ(view.TracePicture().pixelColor(view.NewDataPosition() + 1, y), QColor(Qt::black));
    EXPECT_EQ(view.ScrollStep(), view.width() / 40);

    frame->close();
    device->StopClock();
    const auto log = device->RequestLog();
    EXPECT_EQ(log.back().setup, (SetupPacket{0x40, 0xB4, 1, 0, 0}));
    EXPECT_EQ(device->Outstanding(), 0u);
    ASSERT_TRUE(WaitUntil([&] { return command->isEnabled(); }));
}

}  // namespace
}  // namespace vocomet
