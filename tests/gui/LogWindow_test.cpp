#include <QApplication>
#include <QDir>
#include <QHeaderView>
#include <QMdiArea>
#include <QTest>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/LogEntryBuilders.h"
#include "app/LogFile.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CFormLog.h"
#include "app/ui/CFrameLog.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielView.h"
#include "widgets/GridTableView.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

using platform::Answer;

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

LogEntry Entry(const char* description, std::initializer_list<double> values) {
    LogEntry e;
    e.SetSource("take1.vcm");
    e.SetDescription(description);
    for (double v : values)
        e.AddValue(v);
    return e;
}

void DeleteLater() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

class LogWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        dir = test::FreshTempDir();
        app.tempFolder = dir;
    }
    std::string PathIn(const std::string& name) const { return (std::filesystem::path(dir) / name).string(); }

    std::string dir;
    ApplicationState app;
    test::ScriptedPrompts prompts;
    WindowPlacement placement{};
    CMainFrame frame;
};

TEST_F(LogWindowTest, NewLogTakesEntriesAndIsNeverClosedUnsavedAfterYes) {
    CFrameLog* log = OnLogNew(frame, prompts, placement);
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(frame.LogFrame(), log);
    EXPECT_EQ(log->parentWidget(), &frame);
    EXPECT_EQ(log->windowTitle(), QStringLiteral("Untitled LogWindow"));
    EXPECT_EQ(OnLogNew(frame, prompts, placement), log);  // only brought to the top
    ASSERT_TRUE(QTest::qWaitForWindowExposed(log));
    EXPECT_EQ(placement[0], 20);
    EXPECT_EQ(placement[1], 20);
    EXPECT_FALSE(log->IsLogModified());

    log->AddEntry(Entry("Marker Entry: time ,Audio ,EGG", {123.4567, 0.25, -1.5}));
    log->AddEntry(Entry("Duration Entry: start, end, duration ", {10.0, 20.0, 10.0}));
    EXPECT_TRUE(log->IsLogModified());
    GridModel& grid = log->Form()->Grid();
    EXPECT_EQ(grid.GetColumnCount(), 6);
    EXPECT_EQ(grid.GetRowCount(), 2);
    log->resize(640, 220);
    QApplication::processEvents();
    const QString shot = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots/log-window.png");
    QDir().mkpath(QFileInfo(shot).absolutePath());
    EXPECT_TRUE(log->grab().save(shot));

    // Yes, then Save As cancelled: nothing was saved, the window stays.
    prompts.answers = {Answer::Yes};
    prompts.paths = {std::nullopt};
    EXPECT_FALSE(log->PromptSaveAndClose());
    EXPECT_EQ(prompts.LastMessage(), "Save log file-- Untitled LogWindow --, before closing.");
    EXPECT_EQ(prompts.messages.back().buttons, platform::Buttons::YesNo);
    EXPECT_EQ(prompts.messages.back().icon, platform::Icon::Question);
    EXPECT_EQ(frame.LogFrame(), log);
    EXPECT_TRUE(log->isVisible());

    // The same at application exit: the exit is cancelled.
    prompts.answers = {Answer::Yes};
    prompts.paths = {std::nullopt};
    frame.show();
    EXPECT_FALSE(frame.close());
    EXPECT_EQ(frame.LogFrame(), log);

    // Yes and a file: written, then closed.
    const std::string path = PathIn("session.txt");
    prompts.answers = {Answer::Yes};
    prompts.paths = {path};
    EXPECT_TRUE(log->PromptSaveAndClose());
    EXPECT_EQ(frame.LogFrame(), nullptr);
    EXPECT_EQ(prompts.saveRequests.back().title, "Save As Text");
    EXPECT_EQ(prompts.saveRequests.back().defaultSuffix, "txt");
    EXPECT_EQ(ReadAll(path).rfind("File Name\tEntry definition and order\tEntry 1\tEntry 2\tEntry 3\tComments\t\r\n"
                                  "take1.vcm\tMarker Entry: time ,Audio ,EGG\t123.457\t0.250\t-1.500\t\t\r\n",
                                  0),
              0u);
    DeleteLater();
}

TEST_F(LogWindowTest, SaveAsTitlesTheWindowAndSaveWritesOnlyWhenModified) {
    CFrameLog* log = OnLogNew(frame, prompts, placement);
    ASSERT_NE(log, nullptr);
    log->AddEntry(Entry("Marker Entry: time", {1.0}));
    const std::string path = PathIn("named.txt");
    prompts.paths = {path};
    EXPECT_EQ(log->SaveLogAs(), 1);
    EXPECT_EQ(log->windowTitle(), QStringLiteral("named"));
    EXPECT_EQ(log->GetLogPath(), path);
    EXPECT_FALSE(log->IsLogModified());
    std::filesystem::remove(path);
    EXPECT_TRUE(log->SaveLog());  // not modified: nothing written
    EXPECT_FALSE(std::filesystem::exists(path));
    // A user's edit makes it modified again.
    log->Form()->Grid().SetCellByUser(0, 3, "creaky");
    EXPECT_TRUE(log->IsLogModified());
    EXPECT_TRUE(log->SaveLog());
    EXPECT_NE(ReadAll(path).find("\tcreaky\t\r\n"), std::string::npos);
    // Closing an unmodified log asks nothing.
    const std::size_t asked = prompts.messages.size();
    EXPECT_TRUE(log->PromptSaveAndClose());
    EXPECT_EQ(prompts.messages.size(), asked);
    DeleteLater();
}

// A log written by the window reads back with the decimals it was written
// with, and every column is at least as wide as its header text.
TEST_F(LogWindowTest, ReopenedLogShowsItsDecimalsAndWholeHeaders) {
    const std::string path = PathIn("measured.txt");
    {
        CFrameLog* log = OnLogNew(frame, prompts, placement);
        ASSERT_NE(log, nullptr);
        log->AddEntry(Entry("FFT/LPC Marker Entry: freq., FFT_dB ", {0.018, 1234.5}));
        prompts.paths = {path};
        ASSERT_EQ(log->Form()->SaveLogAs(), 1);
        EXPECT_TRUE(log->PromptSaveAndClose());
        DeleteLater();
    }
    prompts.paths = {path};
    CFrameLog* log = OnLogOpen(frame, prompts, placement);
    ASSERT_NE(log, nullptr);
    log->resize(700, 300);
    QTest::qWait(20);
    GridModel& grid = log->Form()->Grid();
    ASSERT_EQ(grid.GetRowCount(), 1);
    EXPECT_EQ(grid.GetCellText(0, 2), "0.018");
    EXPECT_EQ(grid.GetCellText(0, 3), "1234.500");
    GridTableView* table = log->Form()->Table();
    const QFontMetrics fm(table->horizontalHeader()->font());
    for (int c = 0; c < grid.GetColumnCount(); ++c)
        EXPECT_GE(table->columnWidth(c), fm.horizontalAdvance(QString::fromStdString(grid.GetColumnCaption(c))))
            << grid.GetColumnCaption(c);
    EXPECT_TRUE(log->PromptSaveAndClose());
    DeleteLater();
}

TEST_F(LogWindowTest, OpenedLogIsOwnedByTheMainFrameAndAFailedReadRemovesIt) {
    const std::string path = PathIn("earlier.txt");
    {
        std::ofstream out(path, std::ios::binary);
        out << "File Name\tEntry definition and order\tEntry 1\tComments\t\r\nx\tMarker Entry: time\t2.5\tok\t\r\n";
    }
    prompts.paths = {path};
    CFrameLog* log = OnLogOpen(frame, prompts, placement);
    ASSERT_NE(log, nullptr);
    EXPECT_EQ(prompts.openRequests.back().title, "Open a log file");
    EXPECT_EQ(log->parentWidget(), &frame);
    EXPECT_EQ(frame.LogFrame(), log);
    EXPECT_EQ(log->windowTitle(), QStringLiteral("earlier"));
    EXPECT_FALSE(log->IsLogModified());
    EXPECT_EQ(log->Form()->Grid().GetRowCount(), 1);
    // Open is for when no log is open.
    prompts.paths = {path};
    EXPECT_EQ(OnLogOpen(frame, prompts, placement), nullptr);
    EXPECT_TRUE(log->PromptSaveAndClose());
    DeleteLater();

    const std::string bad = PathIn("bad.txt");
    {
        std::ofstream out(bad, std::ios::binary);
        out << "a\tb\t\r\n";
    }
    prompts.paths = {bad};
    EXPECT_EQ(OnLogOpen(frame, prompts, placement), nullptr);
    EXPECT_EQ(prompts.LastMessage(), kLogErrorNotValid);
    EXPECT_EQ(frame.LogFrame(), nullptr);
    EXPECT_TRUE(frame.findChildren<CFrameLog*>().isEmpty());
}

class ViewEntriesTest : public LogWindowTest {
protected:
    void SetUp() override {
        LogWindowTest::SetUp();
        auto document = std::make_unique<COrielDoc>(app, prompts);
        doc = document.get();
        doc->SetTitle("take1.vcm");
        doc->SetChannelCount(2);
        doc->dataLoaded = 1;
        const char* names[] = {"Audio", "EGG"};
        for (int i = 0; i < 2; ++i) {
            CChannels& ch = doc->Channel(i);
            ch.name = names[i];
            ch.rate = 10000.0;
            ch.duration = 100.0;
            ch.sampleCount = 1000.0;
            ch.show = 1;
            ch.samples = platform::FloatBlock::Allocate(1000);
            for (std::size_t k = 0; k < 1000; ++k)
                ch.samples[k] = static_cast<float>(k) * (i ? -1.0f : 1.0f);
            ch.selStartTime = 10.0;
            ch.selEndTime = 20.0;
        }
        child = new CChildFrame(std::move(document));
        frame.MdiArea()->addSubWindow(child);
        view = child->GetView();
    }

    int Rows() { return frame.LogFrame() ? frame.LogFrame()->Form()->Grid().GetRowCount() : -1; }

    COrielDoc* doc = nullptr;
    CChildFrame* child = nullptr;
    COrielView* view = nullptr;
};

TEST_F(ViewEntriesTest, EntriesGoToTheOpenLogOnly) {
    view->markerShown = true;
    view->selectionShown = true;
    EXPECT_FALSE(view->CanLogEnterAtMarker());  // no log window
    view->OnLogEnterAtMarker();                  // does nothing
    ASSERT_NE(OnLogNew(frame, prompts, placement), nullptr);
    EXPECT_EQ(view->LogFrame(), frame.LogFrame());
    EXPECT_TRUE(view->CanLogEnterAtMarker());
    EXPECT_TRUE(view->CanLogEnterDuration());
    EXPECT_FALSE(view->CanLogEnterEGGAll());  // no EGG channel

    view->OnLogEnterAtMarker();
    view->OnLogEnterDuration();
    EXPECT_EQ(Rows(), 2);

    doc->settings.logSelectionStep = 2.0;
    view->OnLogEnterDataSelection();
    EXPECT_EQ(Rows(), 7);
    GridModel& grid = frame.LogFrame()->Form()->Grid();
    EXPECT_EQ(std::get<double>(grid.GetCell(6, 2)), 18.0);
    EXPECT_EQ(std::get<double>(grid.GetCell(6, 3)), 180.0);

    // A step of 0 is refused with a message and adds nothing.
    doc->settings.logSelectionStep = 0.0;
    view->OnLogEnterDataSelection();
    EXPECT_EQ(Rows(), 7);
    EXPECT_EQ(prompts.LastMessage(), kLogStepNotPositive);

    // EGG cycles of the second channel: three cycles give two rows.
    CChannels& egg = doc->Channel(1);
    for (double t : {11.0, 14.0, 17.0}) {
        ArrayCycle c;
        c.criterionRise.time = t;
        c.criterionFall.time = t + 1.0;
        egg.cycles.Add(c);
    }
    egg.cyclesValid = 1;
    doc->settings.egg.channel = 1;
    EXPECT_TRUE(view->CanLogEnterEGGAll());
    view->OnLogEnterEGGAll();
    EXPECT_EQ(Rows(), 9);
    EXPECT_EQ(grid.GetColumnCount(), 2 + 9 + 1);
    view->OnLogEnterEGGSelection();  // 11 and 14 lie inside 10..20
    EXPECT_EQ(Rows(), 11);
    view->OnLogEnterEGGAtMarker();
    EXPECT_EQ(Rows(), 12);

    // Closing the log (No) turns the commands off again.
    prompts.answers = {Answer::No};
    EXPECT_TRUE(frame.LogFrame()->PromptSaveAndClose());
    EXPECT_FALSE(view->CanLogEnterAtMarker());
    DeleteLater();
}

TEST_F(ViewEntriesTest, ASixtySecondSelectionAtOneMillisecondGoesInAsOneBatch) {
    for (int i = 0; i < 2; ++i) {
        CChannels& ch = doc->Channel(i);
        ch.duration = 60000.0;
        ch.sampleCount = 600000.0;
        ch.samples = platform::FloatBlock::Allocate(600000);
        ch.selStartTime = 0.0;
        ch.selEndTime = 60000.0;
    }
    doc->settings.logSelectionStep = 1.0;
    CFrameLog* log = OnLogNew(frame, prompts, placement);
    ASSERT_NE(log, nullptr);
    int layouts = 0;
    log->Form()->Grid().AddListener([&](const GridChange& c) { layouts += c.kind == GridChange::Layout; });
    view->OnLogEnterDataSelection();
    EXPECT_EQ(Rows(), 60000);
    EXPECT_EQ(layouts, 1);  // the table view followed once
    EXPECT_EQ(log->Form()->Table()->model()->rowCount(), 60000);
    prompts.answers = {Answer::No};
    EXPECT_TRUE(log->PromptSaveAndClose());
    DeleteLater();
}

}  // namespace
}  // namespace vocomet
