// A whole session in the application, on the simulated sixteen-channel
// system and the fake sound card: open a long recording, compute its
// intensity, make an undo copy, record on both, close everything unsaved and
// quit. The temp
// folder is left as the session found it.

#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "acquisition/CSoundIn.h"
#include "acquisition/CUSB2Thread.h"
#include "acquisition/ui/CFormRecordRendal.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielApp.h"
#include "app/ui/COrielView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "gui/AppTestOptions.h"
#include "platform/FakeAudio.h"
#include "platform/File.h"
#include "platform/ProfileStore.h"
#include "platform/ScratchRun.h"
#include "support/NativeFixtureWriter.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

CFormRecordRendal* OpenRendalForm(COrielApp& app) {
    for (QMdiSubWindow* w : app.MainFrame()->MdiArea()->subWindowList())
        if (auto* f = qobject_cast<CFormRecordRendalFrame*>(w); f && f->isVisible())
            return f->Form();
    return nullptr;
}

// Records on the sixteen-channel system in frame's document until some
// blocks are in its recording file; the form is left open.
CFormRecordRendal* RecordOnRendal(COrielApp& app, CChildFrame& frame) {
    frame.GetView()->StartRendalRecording();
    CFormRecordRendal* form = OpenRendalForm(app);
    EXPECT_NE(form, nullptr);
    if (!form)
        return nullptr;
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->BlocksDrawn() >= 3; }, 10000));
    form->OnRecord();
    EXPECT_TRUE(QTest::qWaitFor([&] { return form->Worker() && form->Worker()->BlocksWritten() >= 10; }, 10000));
    return form;
}

TEST(ScratchSession, OpenAnalyseRecordCloseUnsavedAndQuitLeavesTheTempFolderAsFound) {
    const std::string start = test::FreshTempDir();
    test::ScriptedPrompts prompts;
    platform::MemoryProfileStore profile;
    profile.WriteString("USB Devices", "Simulate", "rendal");
    // A first run settles the temp folder and its settings file.
    {
        COrielApp first(test::AppOptions(start, prompts, profile));
        ASSERT_TRUE(first.InitInstance({}));
        first.ExitInstance();
    }
    const std::string tmp = start + "/tmp";
    const std::set<std::string> found = test::FolderListing(tmp);

    // Five minutes at 100 Hz: long enough to be read from a scratch copy.
    test::FixtureFile fixture;
    for (int c = 0; c < 2; ++c)
        fixture.channels.push_back(test::RampChannel("ch", 100.0, 30000, 0.0f, 0.001f));
    const std::string userFile = start + "/long.vcm";
    test::WriteNativeFixture(userFile, fixture);

    auto app = std::make_unique<COrielApp>(test::AppOptions(start, prompts, profile));
    ASSERT_TRUE(app->InitInstance({QString::fromStdString(userFile)}));
    ASSERT_EQ(app->State().acquisition.rendalPresent, 1);
    CChildFrame* opened = app->ActiveDocumentFrame();
    ASSERT_NE(opened, nullptr);
    COrielDoc& doc = opened->GetDocument();
    ASSERT_TRUE(doc.Channel(0).IsFileBacked());
    for (int c = 0; c < doc.GetChannelCount(); ++c)
        ASSERT_EQ(doc.Channel(c).ComputeIntensity(), 0);
    ASSERT_GT(test::FolderListing(tmp).size(), found.size() + 2) << "a scratch copy, its curves and this run's record";
    // An edit's undo copy goes with its view.
    opened->GetView()->SaveUndoFile();
    ASSERT_TRUE(std::filesystem::exists(opened->GetView()->Edits().UndoPath()));

    // The sixteen-channel system: a recording saved into its document, then
    // a second one still open when the session ends.
    CChildFrame* rendalFrame = app->NewDocument();
    ASSERT_NE(rendalFrame, nullptr);
    CFormRecordRendal* form = RecordOnRendal(*app, *rendalFrame);
    ASSERT_NE(form, nullptr);
    ASSERT_TRUE(form->OnSaveRecording());
    ASSERT_TRUE(rendalFrame->GetDocument().IsDataLoaded());
    ASSERT_TRUE(QTest::qWaitFor([&] { return OpenRendalForm(*app) == nullptr; }, 5000));
    ASSERT_NE(RecordOnRendal(*app, *rendalFrame), nullptr);

    // Three minutes from the sound card: its document reads them from disk.
    auto backend = std::make_shared<platform::FakeAudioBackend>();
    app->State().acquisition.audioBackend = backend;
    CChildFrame* soundFrame = app->NewDocument();
    ASSERT_NE(soundFrame, nullptr);
    COrielView* view = soundFrame->GetView();
    view->StartSoundCardRecording();
    ASSERT_EQ(app->State().acquisition.recording.load(), 1) << prompts.LastMessage();
    const int rate = app->State().acquisition.soundIn->GetSampleRate();
    std::vector<std::int16_t> tone(static_cast<std::size_t>(180 * rate));
    for (std::size_t i = 0; i < tone.size(); ++i)
        tone[i] = static_cast<std::int16_t>(std::lround(8000.0 * std::sin(0.05 * static_cast<double>(i))));
    platform::FakeAudioStream* stream = backend->LastStream();
    ASSERT_NE(stream, nullptr);
    stream->SetCaptureSource(tone);
    const CSoundIn& in = *app->State().acquisition.soundIn;
    for (std::size_t done = 0; done < tone.size();) {
        const std::size_t n = std::min<std::size_t>(4410, tone.size() - done);
        ASSERT_TRUE(stream->Pump(n));
        done += n;
        // Pumped no faster than the recording file is written.
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return in.SamplesWritten() + 4 * 4096 >= static_cast<std::int64_t>(done); }, 5000));
    }
    view->FinishSoundCardRecording(true);
    COrielDoc& soundDoc = soundFrame->GetDocument();
    ASSERT_EQ(soundDoc.Channel(0).sampleCount, static_cast<double>(tone.size()));
    ASSERT_TRUE(soundDoc.Channel(0).IsFileBacked());

    // Nothing is saved, not even the recording still open; then quit.
    prompts.answers.assign(10, platform::Answer::No);
    app->MainFrame()->close();
    ASSERT_TRUE(app->MainFrame()->isHidden());
    // The closed windows go, and with their documents every scratch file:
    // only this run's record is left for the exit to remove.
    QPointer<CChildFrame> last(soundFrame);
    ASSERT_TRUE(QTest::qWaitFor([&] { return last.isNull(); }, 5000));
    platform::WaitForBackgroundCloses();
    std::set<std::string> closed = test::FolderListing(tmp);
    std::erase_if(closed, [](const std::string& n) { return n.rfind(platform::kScratchRunPrefix, 0) == 0; });
    EXPECT_EQ(closed, found);
    app->ExitInstance();
    app.reset();
    EXPECT_EQ(test::FolderListing(tmp), found);
}

}  // namespace
}  // namespace vocomet
