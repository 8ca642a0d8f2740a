// The sixteen-channel record form and the live scope on the simulated
// system, streaming from its own clock.

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
    auto* frame = new CFormRecordRendalFrame(*doc, prompts, nullptr);
    area->addSubWindow(frame);
    frame->setGeometry(0, 0, 1000, 600);
    frame->show();
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
