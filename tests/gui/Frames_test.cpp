#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QPointer>
#include <QTest>
#include <gtest/gtest.h>
#include <filesystem>
#include <optional>

#include "app/LogEntryBuilders.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CFrameLog.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielApp.h"
#include "app/ui/COrielView.h"
#include "app/ui/CStatusWindow.h"
#include "app/ui/MainFrameCommands.h"
#include "core/COrielDoc.h"
#include "core/ConfigurationFile.h"
#include "platform/ProfileStore.h"
#include "support/ScriptedPrompts.h"
#include "gui/AppTestOptions.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

using platform::Answer;

TEST(FramePlacements, DefaultsFollowTheDesktop) {
    struct Case {
        QRect desktop;
        WindowPlacement child;   // left, top, width, height
        WindowPlacement status;  // left, top, right, bottom
    };
    const Case cases[] = {
        {QRect(0, 0, 1920, 1080), {0, 0, 1915, 360}, {5, 880, 1152, 1040}},
        {QRect(0, 0, 1280, 1024), {0, 0, 1275, 341}, {5, 824, 768, 984}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(DefaultChildFramePlacement(c.desktop), c.child) << c.desktop.width();
        EXPECT_EQ(DefaultStatusWindowPlacement(c.desktop), c.status) << c.desktop.width();
    }
}

void DeleteLater() { QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete); }

struct App {
    std::string start = test::FreshTempDir();
    test::ScriptedPrompts prompts;
    platform::MemoryProfileStore profile;
    std::unique_ptr<COrielApp> app;

    explicit App(bool init = true) {
        app = std::make_unique<COrielApp>(test::AppOptions(start, prompts, profile));
        if (init) {
            EXPECT_TRUE(app->InitInstance({}));
            app->MainFrame()->resize(1400, 900);
            QApplication::processEvents();
        }
    }
    CMainFrame& Frame() const { return *app->MainFrame(); }
    ApplicationState& State() const { return app->State(); }
    std::vector<CChildFrame*> Frames() const {
        std::vector<CChildFrame*> out;
        for (QMdiSubWindow* w : Frame().MdiArea()->subWindowList())
            if (auto* f = qobject_cast<CChildFrame*>(w); f && f->isVisible())
                out.push_back(f);
        return out;
    }
    // An analysis window of the document, as the pitch or spectrogram
    // windows are to the main frame.
    QPointer<QMdiSubWindow> AnalysisStandIn(const COrielDoc& doc) const {
        auto* w = new QMdiSubWindow;
        w->setAttribute(Qt::WA_DeleteOnClose);
        w->setProperty(kDocumentProperty, QVariant::fromValue(reinterpret_cast<quintptr>(&doc)));
        Frame().MdiArea()->addSubWindow(w);
        w->show();
        return w;
    }
    QAction* StatusToggle() const {
        for (QAction* a : Frame().WindowMenu()->actions())
            if (a->text().contains(QStringLiteral("Status Window")))
                return a;
        return nullptr;
    }
};

TEST(StatusWindowCommand, MadeAtStartFollowsTheActiveViewAndToggles) {
    App a;
    CStatusWindow* status = a.Frame().StatusWindow();
    ASSERT_NE(status, nullptr);
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(a.State().settings.placements[kPlacementStatus], DefaultStatusWindowPlacement(DesktopRect()));
    const WindowPlacement& s = a.State().settings.placements[kPlacementStatus];
    EXPECT_EQ(QRect(status->pos(), status->size()), QRect(s[0], s[1], s[2] - s[0], s[3] - s[1]));

    // The active document's view feeds it.
    CChildFrame* child = a.Frames().front();
    EXPECT_EQ(child->GetView()->statusWindow.data(), status);
    EXPECT_EQ(status->Owner(), child->GetView());

    // Moving it moves its slot (left, top, right, bottom).
    status->move(40, 60);
    EXPECT_EQ(a.State().settings.placements[kPlacementStatus][0], 40);
    EXPECT_EQ(a.State().settings.placements[kPlacementStatus][1], 60);
    EXPECT_EQ(a.State().settings.placements[kPlacementStatus][2], 40 + status->width());

    QAction* toggle = a.StatusToggle();
    ASSERT_NE(toggle, nullptr);
    emit a.Frame().WindowMenu()->aboutToShow();
    EXPECT_EQ(toggle->text(), QStringLiteral("Hide Status Window"));
    toggle->trigger();
    EXPECT_FALSE(status->isVisible());
    emit a.Frame().WindowMenu()->aboutToShow();
    EXPECT_EQ(toggle->text(), QStringLiteral("Show Status Window"));
    toggle->trigger();
    EXPECT_TRUE(status->isVisible());
    EXPECT_EQ(status->pos(), QPoint(40, 60));  // shown where it was
}

TEST(StatusWindowCommand, AStoredPlacementIsUsed) {
    App a(false);
    a.State().settings.placements[kPlacementStatus] = {};
    CMainFrame frame;
    WindowPlacement p{100, 200, 700, 400};
    CStatusWindow* status = CreateStatusWindow(frame, p, a.prompts);
    ASSERT_NE(status, nullptr);
    EXPECT_EQ(QRect(status->pos(), status->size()), QRect(100, 200, 600, 200));
    EXPECT_EQ(p, (WindowPlacement{100, 200, 700, 400}));
}

TEST(ChildFrame, OpensWhereTheLastWasMovedAndSized) {
    App a;
    CChildFrame* first = a.Frames().front();
    EXPECT_EQ(first->geometry(), [] {
        const WindowPlacement d = DefaultChildFramePlacement(DesktopRect());
        return QRect(d[0], d[1], d[2], d[3]);
    }());
    first->move(30, 45);
    first->resize(500, 260);
    EXPECT_EQ(a.State().settings.placements[kPlacementMainChild], (WindowPlacement{30, 45, 500, 260}));

    // A maximised frame keeps the normal placement.
    first->showMaximized();
    QApplication::processEvents();
    EXPECT_EQ(a.State().settings.placements[kPlacementMainChild], (WindowPlacement{30, 45, 500, 260}));
    first->showNormal();

    CChildFrame* second = a.app->NewDocument();
    ASSERT_NE(second, nullptr);
    QApplication::processEvents();
    EXPECT_EQ(second->geometry(), QRect(30, 45, 500, 260));
}

TEST(FramePlacements, UnusablePlacementsInTheSettingsFileGiveTheDefaults) {
    App a(false);
    const std::string folder = a.start + "/tmp";
    std::filesystem::create_directories(folder);
    ApplicationSettings damaged;
    damaged.placements[kPlacementStatus] = {10, 40, 12, 42};   // 2 x 2
    damaged.placements[kPlacementMainChild] = {10, 10, 2, 2};  // 2 x 2
    damaged.placements[kPlacementLog] = {-40000, -90000, 32767, 32767};
    ConfigurationBlock block;
    ASSERT_TRUE(WriteDefaultConfigurationBlock(ConfigurationFilePath(folder), block, damaged));

    ASSERT_TRUE(a.app->InitInstance({}));
    QApplication::processEvents();
    CStatusWindow* status = a.Frame().StatusWindow();
    ASSERT_NE(status, nullptr);
    const WindowPlacement s = DefaultStatusWindowPlacement(DesktopRect());
    EXPECT_EQ(QRect(status->pos(), status->size()), QRect(s[0], s[1], s[2] - s[0], s[3] - s[1]));
    ASSERT_FALSE(a.Frames().empty());
    const WindowPlacement c = DefaultChildFramePlacement(DesktopRect());
    EXPECT_EQ(a.Frames().front()->geometry(), QRect(c[0], c[1], c[2], c[3]));
    // The oversized log window, not open yet, will fit the desktop.
    const platform::Rect desktop = AvailableDesktop();
    const WindowPlacement& log = a.State().settings.placements[kPlacementLog];
    EXPECT_EQ(log, (WindowPlacement{desktop.left, desktop.top, desktop.right, desktop.bottom}));
}

TEST(ChildFrame, CancelKeepsEverythingAndAClosingDocumentTakesItsWindows) {
    App a;
    CChildFrame* child = a.Frames().front();
    COrielDoc& doc = child->GetDocument();
    QPointer<QMdiSubWindow> analysis = a.AnalysisStandIn(doc);
    a.Frame().MdiArea()->setActiveSubWindow(child);
    CStatusWindow* status = a.Frame().StatusWindow();
    const QString title = status->windowTitle();
    ASSERT_NE(title, QStringLiteral("StatusWindow::"));
    doc.SetModifiedFlag();

    a.prompts.answers = {Answer::Cancel};
    EXPECT_FALSE(child->close());
    EXPECT_TRUE(child->isVisible());
    ASSERT_TRUE(analysis);
    EXPECT_TRUE(analysis->isVisible());
    EXPECT_EQ(status->windowTitle(), title);
    EXPECT_EQ(status->Owner(), child->GetView());

    a.prompts.answers = {Answer::No};
    QPointer<CChildFrame> gone = child;
    EXPECT_TRUE(child->close());
    DeleteLater();
    EXPECT_FALSE(gone);
    EXPECT_FALSE(analysis);
    EXPECT_EQ(status->windowTitle(), QStringLiteral("StatusWindow::"));
    EXPECT_EQ(status->Owner(), nullptr);
}

TEST(ChildFrame, CloseAnalysisWindowsLeavesTheFrameAndOtherDocuments) {
    App a;
    CChildFrame* first = a.Frames().front();
    CChildFrame* second = a.app->NewDocument();
    QPointer<QMdiSubWindow> mine = a.AnalysisStandIn(first->GetDocument());
    QPointer<QMdiSubWindow> theirs = a.AnalysisStandIn(second->GetDocument());
    first->CloseAnalysisWindows();
    DeleteLater();
    EXPECT_FALSE(mine);
    ASSERT_TRUE(theirs);
    EXPECT_TRUE(theirs->isVisible());
    EXPECT_TRUE(first->isVisible());
}

LogEntry Entry() {
    LogEntry e;
    e.SetSource("take1.vcm");
    e.SetDescription("Marker Entry: time ,Audio");
    e.AddValue(1.5);
    e.AddValue(0.25);
    return e;
}

// Closing the application: the documents first, then the log, then the
// rest; any refusal keeps everything.
TEST(MainFrameClose, DocumentsThenTheLogEachMayRefuse) {
    struct Case {
        const char* name;
        std::deque<Answer> answers;
        std::deque<std::optional<std::string>> paths;
        bool closes;
        bool documentStays;
        bool logStays;
    };
    const Case cases[] = {
        {"cancel at the document", {Answer::Cancel}, {}, false, true, true},
        {"no at the document, no at the log", {Answer::No, Answer::No}, {}, true, false, false},
        {"log saved nothing", {Answer::No, Answer::Yes}, {std::nullopt}, false, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        App a;
        a.Frame().show();
        CChildFrame* child = a.Frames().front();
        child->GetDocument().SetModifiedFlag();
        CFrameLog* log = OnLogNew(a.Frame(), a.prompts, a.State().settings.placements[kPlacementLog]);
        ASSERT_NE(log, nullptr);
        log->AddEntry(Entry());
        a.prompts.answers = c.answers;
        a.prompts.paths = c.paths;
        a.prompts.messages.clear();

        EXPECT_EQ(a.Frame().close(), c.closes);
        DeleteLater();
        EXPECT_EQ(!a.Frames().empty(), c.documentStays);
        EXPECT_EQ(a.Frame().LogFrame() != nullptr, c.logStays);
        ASSERT_FALSE(a.prompts.messages.empty());
        EXPECT_EQ(a.prompts.messages.front().text.rfind("Save Changes to", 0), 0u);
        EXPECT_TRUE(a.prompts.answers.empty());
        if (a.Frame().LogFrame()) {
            a.prompts.answers = {Answer::No};
            a.Frame().LogFrame()->PromptSaveAndClose();
        }
    }
}

TEST(MainFrameClose, QuitWithAModifiedDocumentAndCancelKeepsTheApplication) {
    App a;
    a.Frame().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&a.Frame()));
    CChildFrame* child = a.Frames().front();
    child->GetDocument().SetModifiedFlag();
    a.prompts.answers = {Answer::Cancel};
    // File > Exit, as the user picks it.
    QAction* exit = nullptr;
    for (QAction* action : a.Frame().FileMenu()->actions())
        if (action->text() == QStringLiteral("E&xit"))
            exit = action;
    ASSERT_NE(exit, nullptr);
    exit->trigger();
    QApplication::processEvents();
    EXPECT_TRUE(a.Frame().isVisible());
    EXPECT_TRUE(child->isVisible());
    EXPECT_TRUE(child->GetDocument().IsModified());
}

TEST(MainFrameHelp, OpensTheManualUnderTheStartFolderThenItsHtmlThenSaysSo) {
    const std::string start = test::FreshTempDir();
    test::ScriptedPrompts prompts;
    std::vector<QString> opened;
    const auto open = [&opened](const QString& page) {
        opened.push_back(page);
        return true;
    };
    QDir().mkpath(QString::fromStdString(start) + QStringLiteral("/Manual"));
    const QString html = QString::fromStdString(start) + QStringLiteral("/Manual/HelpIndex.html");
    QFile f(html);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();

    // The current directory is elsewhere: the start folder counts.
    const QString was = QDir::currentPath();
    QDir::setCurrent(QDir::tempPath());
    OnMainFrameHelpTopics(start, prompts, open);
    QDir::setCurrent(was);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], html);
    EXPECT_TRUE(prompts.messages.empty());

    QFile::remove(html);
    OnMainFrameHelpTopics(start, prompts, open);
    EXPECT_EQ(opened.size(), 1u);
    EXPECT_EQ(prompts.LastMessage(), kNoHelpFile);
}

}  // namespace
}  // namespace vocomet
