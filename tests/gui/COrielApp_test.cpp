#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>
#include <map>

#include "app/TempFolder.h"
#include "app/ui/CChildFrame.h"
#include "widgets/CLabel.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielApp.h"
#include "app/ui/COrielView.h"
#include "core/COrielDoc.h"
#include "core/FileTypeCode.h"
#include "core/GenericFiles.h"
#include "core/ui/CDialogGenericFileSelection.h"
#include "core/ui/DocumentDialogs.h"
#include "platform/File.h"
#include "support/NativeFixtureWriter.h"
#include "support/ScriptedPrompts.h"
#include "gui/AppTestOptions.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

// The scripted prompts with an open chooser that says which filter the user
// left selected: the next of openFilters, else the one it opened with.
class FilterPickingPrompts : public test::ScriptedPrompts {
public:
    std::deque<int> openFilters;

    std::optional<platform::SaveChoice> AskOpenChoice(const platform::FileDialogRequest& request) override {
        std::optional<std::string> path = AskOpenPath(request);
        int filter = request.filterIndex;
        if (!openFilters.empty()) {
            filter = openFilters.front();
            openFilters.pop_front();
        }
        if (!path)
            return std::nullopt;
        return platform::SaveChoice{*path, filter};
    }
};

struct AppFixture {
    std::string start = test::FreshTempDir();
    FilterPickingPrompts prompts;
    platform::MemoryProfileStore profile;
    std::unique_ptr<COrielApp> app;

    AppFixture() {
        app = std::make_unique<COrielApp>(test::AppOptions(start, prompts, profile));
    }

    std::vector<CChildFrame*> Frames() const {
        std::vector<CChildFrame*> out;
        for (QMdiSubWindow* w : app->MainFrame()->MdiArea()->subWindowList())
            if (auto* f = qobject_cast<CChildFrame*>(w))
                out.push_back(f);
        return out;
    }

    std::string WriteRecording(const std::string& name) {
        test::FixtureFile file;
        file.layout = test::FixtureLayout::KovPcFloat24;
        file.channels.push_back(test::RampChannel("Audio", 22050, 2205, 0.0f, 0.001f));
        file.channels.push_back(test::RampChannel("EGG", 22050, 2205, 1.0f, -0.001f));
        file.channels[0].audioFlag = 1;
        const std::string path = start + "/" + name;
        test::WriteNativeFixture(path, file);
        return path;
    }
};

TEST(Application, StartsWithAnEmptyDocumentAndTheSettingsInItsTempFolder) {
    AppFixture f;
    ASSERT_TRUE(f.app->InitInstance({}));
    EXPECT_EQ(f.app->MainFrame()->windowTitle(), QStringLiteral("Vocomet"));
    EXPECT_EQ(f.Frames().size(), 1u);
    EXPECT_TRUE(platform::PathExists(f.start + "/tmp/VocometConf.cfg"));
    EXPECT_EQ(f.app->GreyPens()[200].color(), QColor(200, 200, 200));
    EXPECT_GT(f.app->AppFont().pixelSize(), 0);
    EXPECT_EQ(f.app->ExitInstance(), 0);
}

TEST(Application, OpensTheFileNamedOnTheCommandLineAndDroppedFiles) {
    AppFixture f;
    const std::string first = f.WriteRecording("first.vcm");
    const std::string second = f.WriteRecording("second.vcm");
    ASSERT_TRUE(f.app->InitInstance({QString::fromStdString(first)}));
    auto frames = f.Frames();
    ASSERT_EQ(frames.size(), 1u);
    COrielDoc& doc = frames[0]->GetDocument();
    EXPECT_EQ(doc.GetPathName(), first);
    EXPECT_EQ(doc.GetChannelCount(), 2);
    EXPECT_EQ(doc.GetFileTypeCode(), 1);
    EXPECT_TRUE(frames[0]->windowTitle().contains(QStringLiteral("first")));
    EXPECT_EQ(f.app->RecentFiles().front().toStdString(), first);
    ASSERT_NE(frames[0]->GetView(), nullptr);

    // Look at what a user sees.
    f.app->MainFrame()->resize(1000, 700);
    QTest::qWait(20);
    const QString shot = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots/app-with-document.png");
    QDir().mkpath(QFileInfo(shot).absolutePath());
    EXPECT_TRUE(f.app->MainFrame()->grab().save(shot));

    emit f.app->MainFrame()->filesDropped({QString::fromStdString(second), QString::fromStdString(first)});
    EXPECT_EQ(f.Frames().size(), 2u);  // the open one is brought forward, not opened twice
    EXPECT_EQ(f.app->RecentFiles().front().toStdString(), second);
}

TEST(Application, AFileNoReaderTakesEndsStartUpWithTheLoadFailure) {
    AppFixture f;
    const std::string path = f.start + "/notes.xyz";
    test::WriteAll(path, "");
    // The user agrees to read it as a generic file, which has nothing to read.
    bool offered = false;
    const ScopedDocumentDialogRunner answer([&offered](QDialog& d) {
        if (auto* generic = qobject_cast<CDialogGenericFileSelection*>(&d)) {
            offered = true;
            generic->YesButton()->click();
        }
        return d.result();
    });
    EXPECT_FALSE(f.app->InitInstance({QString::fromStdString(path)}));
    EXPECT_TRUE(offered);
    EXPECT_EQ(f.prompts.LastMessage(), kZeroLengthMessage);
}

TEST(Application, HelpWithoutAPageSaysSo) {
    AppFixture f;
    ASSERT_TRUE(f.app->InitInstance({}));
    f.app->OnHelpTopics();
    EXPECT_EQ(f.prompts.LastMessage(), kNoHelpFile);
}

TEST(Application, FileOpenStartsWithTheFilterLastChosen) {
    AppFixture f;
    const std::string recording = f.WriteRecording("take.vcm");
    ASSERT_TRUE(f.app->InitInstance({}));

    // The user picks "Wave files" and opens a native file: every reader is
    // still tried, and the pick is remembered.
    f.prompts.paths.push_back(recording);
    f.prompts.openFilters.push_back(2);
    f.app->OnFileOpen();
    ASSERT_EQ(f.Frames().size(), 2u);
    EXPECT_EQ(f.Frames().back()->GetDocument().GetPathName(), recording);

    f.prompts.openFilters.push_back(5);  // cancelled: the pick is not kept
    f.app->OnFileOpen();
    f.prompts.paths.push_back(recording);
    f.prompts.openFilters.push_back(0);  // a chooser that cannot say
    f.app->OnFileOpen();
    f.app->OnFileOpen();

    ASSERT_EQ(f.prompts.openRequests.size(), 4u);
    const int expected[] = {1, 2, 2, 2};
    for (std::size_t i = 0; i < 4; ++i)
        EXPECT_EQ(f.prompts.openRequests[i].filterIndex, expected[i]) << "open " << i;
    EXPECT_EQ(f.app->State().openFilterIndex, 2);
}

QAction* FindAction(QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

TEST(Menus, ZoomCommandsHaveTheirShortcutsAndNoShortcutServesTwoCommands) {
    AppFixture f;
    ASSERT_TRUE(f.app->InitInstance({QString::fromStdString(f.WriteRecording("take.vcm"))}));
    CMainFrame* main = f.app->MainFrame();

    const struct {
        const char* text;
        QKeySequence shortcut;
    } zoom[] = {
        {"In", QKeySequence(QStringLiteral("Ctrl+B"))},
        {"Out", QKeySequence(QStringLiteral("Ctrl+E"))},
        {"Selection", QKeySequence(QStringLiteral("Ctrl+Q"))},
        {"From Cursor for Duration", QKeySequence(QStringLiteral("Ctrl+W"))},
        {"Home", QKeySequence()},
        {"UnZoom", QKeySequence()},
    };
    const QList<QAction*> actions = main->ZoomMenu()->actions();
    ASSERT_EQ(actions.size(), static_cast<qsizetype>(std::size(zoom)));
    for (std::size_t i = 0; i < std::size(zoom); ++i) {
        EXPECT_EQ(actions[i]->text(), QString::fromLatin1(zoom[i].text));
        EXPECT_EQ(actions[i]->shortcut(), zoom[i].shortcut) << zoom[i].text;
    }

    QAction* exit = FindAction(main->FileMenu(), QStringLiteral("E&xit"));
    ASSERT_NE(exit, nullptr);
    EXPECT_TRUE(exit->shortcuts().isEmpty());

    std::map<QString, QString> owner;
    std::function<void(QMenu*)> collect = [&](QMenu* menu) {
        for (QAction* a : menu->actions()) {
            if (a->menu())
                collect(a->menu());
            for (const QKeySequence& k : a->shortcuts()) {
                const auto [it, fresh] = owner.emplace(k.toString(), a->text());
                EXPECT_TRUE(fresh) << k.toString().toStdString() << " serves " << it->second.toStdString()
                                   << " and " << a->text().toStdString();
            }
        }
    };
    for (QAction* a : main->menuBar()->actions())
        if (a->menu())
            collect(a->menu());
    collect(f.Frames().front()->systemMenu());  // the document window's own menu
    EXPECT_GE(owner.size(), 4u);
}

TEST(Menus, ZoomShortcutsReachTheActiveView) {
    AppFixture f;
    ASSERT_TRUE(f.app->InitInstance({}));
    CMainFrame* main = f.app->MainFrame();
    main->resize(1000, 700);
    main->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(main));
    // A look at the menus while only the empty document is open disables
    // them; a document with data brings the shortcuts back.
    emit main->ZoomMenu()->aboutToShow();
    emit main->FileMenu()->aboutToShow();
    ASSERT_FALSE(main->ZoomMenu()->actions().front()->isEnabled());
    CChildFrame* frame = f.app->OpenDocumentFile(QString::fromStdString(f.WriteRecording("take.vcm")));
    ASSERT_NE(frame, nullptr);
    ASSERT_EQ(f.app->ActiveChildFrame(), frame);
    COrielDoc& doc = frame->GetDocument();
    doc.settings.zoomDuration = 10.0;  // 220.5 samples
    for (int i = 0; i < doc.GetChannelCount(); ++i) {
        doc.Channel(i).selStartSample = 100;
        doc.Channel(i).selEndSample = 600;
        doc.Channel(i).markerSample = 50;
    }
    const CChannels& audio = doc.Channel(0);
    // Zoom > Selection and From Cursor for Duration ask for a selection and
    // a marker on the screen.
    frame->GetView()->selectionShown = true;
    frame->GetView()->markerShown = true;
    // Zoom > Out asks whether the window can scroll, which the scroll bar of
    // the reference channel tells.
    doc.Channel(0).timeReference = 1;

    const struct {
        Qt::Key key;
        double start, end;
    } presses[] = {
        {Qt::Key_B, 551.25, 1653.75},  // In: the middle half
        {Qt::Key_E, 0.0, 2205.0},      // Out: twice as wide, clamped
        {Qt::Key_Q, 100.0, 600.0},     // Selection
        {Qt::Key_W, 50.0, 270.5},      // From Cursor for Duration
    };
    for (const auto& p : presses) {
        QTest::keyClick(frame->GetView(), p.key, Qt::ControlModifier);
        EXPECT_DOUBLE_EQ(audio.shownStart, p.start) << QKeySequence(p.key).toString().toStdString();
        EXPECT_DOUBLE_EQ(audio.shownEnd, p.end) << QKeySequence(p.key).toString().toStdString();
    }
    EXPECT_TRUE(main->isVisible());  // Ctrl+Q did not end the program
    EXPECT_EQ(f.Frames().size(), 2u);  // nor Ctrl+W close the document
    EXPECT_TRUE(FindAction(main->FileMenu(), QStringLiteral("&Save"))->isEnabled());
}

TEST(Application, LoadConfigurationMovesTheOpenDocumentsFrameToTheStoredPlacement) {
    AppFixture f;
    ASSERT_TRUE(f.app->InitInstance({QString::fromStdString(f.WriteRecording("take.vcm"))}));
    f.app->MainFrame()->resize(1000, 700);
    CChildFrame* frame = f.Frames().front();
    auto& placement = f.app->State().settings.placements[kPlacementMainChild];

    const std::string copy = f.start + "/User_Configuration.cfg";
    placement = {30, 40, 500, 300};
    f.prompts.paths.push_back(copy);
    frame->GetDocument().OnFileSaveConfiguration();
    ASSERT_TRUE(platform::PathExists(copy));

    placement = {};
    frame->showMaximized();
    f.prompts.paths.push_back(copy);
    f.app->OnFileLoadConfiguration();
    EXPECT_TRUE(f.prompts.messages.empty()) << f.prompts.LastMessage();
    EXPECT_EQ(placement, (WindowPlacement{30, 40, 500, 300}));
    EXPECT_FALSE(frame->isMaximized());
    EXPECT_EQ(frame->geometry(), QRect(30, 40, 500, 300));
    EXPECT_TRUE(frame->isVisible());
}

// Finds the About box once it runs, lets check look at it, then presses OK.
void PressOkInAboutBox(const std::function<void(CAboutDlg&)>& check) {
    QTimer::singleShot(0, [check] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* about = qobject_cast<CAboutDlg*>(w); about && about->isVisible()) {
                check(*about);
                about->OkButton()->click();
                return;
            }
        }
        ADD_FAILURE() << "no About box";
    });
}

TEST(Application, AboutBoxShowsTheVersionAndTheLinkAndClosesWithOk) {
    AppFixture f;
    ASSERT_TRUE(f.app->InitInstance({}));
    bool seen = false;
    PressOkInAboutBox([&](CAboutDlg& about) {
        seen = true;
        EXPECT_EQ(about.windowTitle(), QStringLiteral("About Vocomet"));
        EXPECT_GT(about.width(), QFontMetrics(QApplication::font()).horizontalAdvance(about.windowTitle()));
        EXPECT_EQ(about.VersionLabel()->text(), QStringLiteral("version: 2005"));
        const CLabel& link = *about.LinkLabel();
        EXPECT_EQ(link.text(), QString::fromLatin1(kWebAddress));
        EXPECT_TRUE(link.IsLink());
        EXPECT_TRUE(link.font().underline());
        EXPECT_EQ(link.palette().color(QPalette::WindowText), QColor(0, 0, 255));
        EXPECT_EQ(link.cursor().shape(), Qt::PointingHandCursor);
        EXPECT_EQ(about.OkButton()->text().remove(QLatin1Char('&')), QStringLiteral("OK"));
        for (QWidget* w : {static_cast<QWidget*>(about.VersionLabel()), static_cast<QWidget*>(about.LinkLabel())})
            EXPECT_GE(w->width(), w->sizeHint().width());  // no text cut off

        const QString shot = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots/about-box.png");
        QDir().mkpath(QFileInfo(shot).absolutePath());
        EXPECT_TRUE(about.grab().save(shot));
    });
    f.app->OnHelpAbout();  // returns once OK closed the box
    EXPECT_TRUE(seen);
}

}  // namespace
}  // namespace vocomet
