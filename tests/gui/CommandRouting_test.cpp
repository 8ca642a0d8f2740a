#include <QAction>
#include <QApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

#include "windows/AnalysisWindowCommands.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CFrameLabelView.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielApp.h"
#include "app/ui/COrielView.h"
#include "app/ui/CommandRouting.h"
#include "core/ApplicationState.h"
#include "core/COrielDoc.h"
#include "platform/ProfileStore.h"
#include "support/NativeFixtureWriter.h"
#include "support/ScriptedPrompts.h"
#include "gui/AppTestOptions.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

struct AppFixture {
    std::string start = test::FreshTempDir();
    test::ScriptedPrompts prompts;
    platform::MemoryProfileStore profile;
    std::unique_ptr<COrielApp> app;

    AppFixture() {
        app = std::make_unique<COrielApp>(test::AppOptions(start, prompts, profile));
    }

    std::string WriteRecording(const std::string& name) {
        test::FixtureFile file;
        file.layout = test::FixtureLayout::KovPcFloat24;
        file.channels.push_back(test::RampChannel("Audio", 22050, 22050, 0.0f, 0.0001f));
        file.channels.push_back(test::RampChannel("EGG", 22050, 22050, 1.0f, -0.0001f));
        file.channels[0].audioFlag = 1;
        const std::string path = start + "/" + name;
        test::WriteNativeFixture(path, file);
        return path;
    }

    CChildFrame* OpenRecording() {
        CMainFrame* main = app->MainFrame();
        main->resize(1000, 700);
        main->show();
        main->activateWindow();  // shortcuts reach the active window only
        (void)QTest::qWaitForWindowActive(main);
        CChildFrame* frame = app->OpenDocumentFile(QString::fromStdString(WriteRecording("take.vcm")));
        if (frame) {
            frame->resize(900, 400);
            frame->GetView()->OnInitialUpdate();
        }
        return frame;
    }
};

// What an analysis window looks like to the menus: printing and picture
// export of its own, one Log entry.
class AnalysisStandIn : public QMdiSubWindow, public AnalysisWindowCommands {
public:
    int prints = 0;
    void OnFilePrint() override { ++prints; }
    void OnFilePrintPreview() override {}
    void OnFileSaveAsBmp() override {}
    bool HasLogCommand(std::string_view text) const override { return text == "Enter at Marker"; }
    bool CanLogCommand(std::string_view text) const override { return text == "Enter at Marker"; }
};

QAction* Find(QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

// The enabled state of every item of the menu after it was about to show.
std::map<QString, bool> Look(QMenu* menu) {
    emit menu->aboutToShow();
    std::map<QString, bool> out;
    for (QAction* a : menu->actions())
        if (!a->isSeparator() && !a->menu())
            out[a->text()] = a->isEnabled();
    emit menu->aboutToHide();
    return out;
}

void Drag(QWidget* viewport, QPoint from, QPoint to) {
    const auto send = [viewport](QEvent::Type type, QPoint at, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QMouseEvent event(type, QPointF(at), viewport->mapToGlobal(QPointF(at)), button, buttons, Qt::NoModifier);
        QApplication::sendEvent(viewport, &event);
    };
    send(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    send(QEvent::MouseMove, (from + to) / 2, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
}

TEST(CommandRouting, AnotherActiveWindowTakesTheMainViewsCommandsAway) {
    AppFixture f;
    ASSERT_TRUE(f.app->InitInstance({}));
    CChildFrame* frame = f.OpenRecording();
    ASSERT_NE(frame, nullptr);
    CMainFrame* main = f.app->MainFrame();
    COrielView* view = frame->GetView();
    view->markerShown = true;
    view->selectionShown = true;

    // The document's own view is active: its commands are there.
    EXPECT_TRUE(Look(main->ZoomMenu()).at("In"));
    EXPECT_TRUE(Look(main->EditMenu()).at("&Copy"));
    EXPECT_TRUE(Look(main->AnalysisMenu()).at("FFT/LPC"));

    auto* standIn = new AnalysisStandIn;
    main->MdiArea()->addSubWindow(standIn);
    standIn->show();
    main->MdiArea()->setActiveSubWindow(standIn);
    ASSERT_EQ(main->MdiArea()->activeSubWindow(), standIn);

    // Every command of a menu that only the main view handles is disabled.
    for (QMenu* menu : {main->EditMenu(), main->ZoomMenu(), main->AnalysisMenu(), main->ChannelsMenu(),
                        main->EggMenu(), main->OptionsMenu(), main->LabelsMenu()}) {
        for (const auto& [text, enabled] : Look(menu))
            EXPECT_FALSE(enabled) << menu->title().toStdString() << " > " << text.toStdString();
    }
    // The shared commands go to the window that handles them.
    const std::map<QString, bool> file = Look(main->FileMenu());
    EXPECT_TRUE(file.at("Print..."));                // the analysis window's own
    EXPECT_TRUE(file.at("Save Screen As bmp..."));   // the main frame's
    EXPECT_FALSE(file.at("&Save"));                  // the stand-in has no document
    const std::map<QString, bool> log = Look(main->LogMenu());
    EXPECT_TRUE(log.at("New"));                      // the main frame's
    EXPECT_TRUE(log.at("Enter at Marker"));          // the stand-in has one of that name
    EXPECT_FALSE(log.at("Enter Duration"));          // it has not
    Find(main->FileMenu(), QStringLiteral("Print..."))->trigger();
    EXPECT_EQ(standIn->prints, 1);

    // A shortcut of the main view does not reach it while another window
    // is active.
    const double shownEnd = frame->GetDocument().Channel(0).shownEnd;
    QTest::keyClick(main, Qt::Key_B, Qt::ControlModifier);
    EXPECT_EQ(frame->GetDocument().Channel(0).shownEnd, shownEnd);

    // The label list is a window of the document, not its main view.
    CFrameLabelView* labels = OpenLabelList(*view);
    ASSERT_NE(labels, nullptr);
    main->MdiArea()->setActiveSubWindow(labels);
    EXPECT_FALSE(Look(main->ZoomMenu()).at("In"));
    EXPECT_FALSE(Look(main->FileMenu()).at("Print..."));
    // but its document's commands reach the document.
    EXPECT_TRUE(Look(main->FileMenu()).at("&Save"));
    frame->GetDocument().SetModifiedFlag(true);
    Find(main->FileMenu(), QStringLiteral("&Save"))->trigger();
    EXPECT_FALSE(frame->GetDocument().IsModified());

    // Back on the document the commands return.
    main->MdiArea()->setActiveSubWindow(frame);
    EXPECT_TRUE(Look(main->ZoomMenu()).at("In"));
    EXPECT_TRUE(Look(main->FileMenu()).at("Print..."));

    // With the menus closed a shortcut still asks the rule: Zoom >
    // Selection needs a selection shown.
    COrielDoc& doc = frame->GetDocument();
    for (int i = 0; i < doc.GetChannelCount(); ++i) {
        doc.Channel(i).selStartSample = 1000;
        doc.Channel(i).selEndSample = 2000;
    }
    view->selectionShown = false;
    QTest::keyClick(view, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_EQ(doc.Channel(0).shownEnd, shownEnd);
    view->selectionShown = true;
    QTest::keyClick(view, Qt::Key_Q, Qt::ControlModifier);
    EXPECT_DOUBLE_EQ(doc.Channel(0).shownEnd, 2000.0);
    EXPECT_EQ(f.app->ExitInstance(), 0);
}

TEST(CommandRouting, EditMenuBeforeAndAfterASelection) {
    AppFixture f;
    ASSERT_TRUE(f.app->InitInstance({}));
    CChildFrame* frame = f.OpenRecording();
    ASSERT_NE(frame, nullptr);
    CMainFrame* main = f.app->MainFrame();
    main->MdiArea()->setActiveSubWindow(frame);
    COrielView* view = frame->GetView();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view));

    const std::map<QString, bool> before = Look(main->EditMenu());
    const std::map<QString, bool> expectBefore{
        {"Clear to Reference", false}, {"&Undo", false},      {"Cu&t", false},          {"&Copy", false},
        {"&Paste", false},             {"Select &All", true}, {"Select &Window", true},
    };
    EXPECT_EQ(before, expectBefore);

    // Copy's shortcut does nothing without a selection.
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_EQ(frame->GetDocument().App().clipboard.full, 0);

    // A drag of a few pixels makes no selection.
    const int y = frame->GetDocument().Channel(0).strip.top + 20;
    Drag(view->viewport(), {200, y}, {203, y});
    EXPECT_FALSE(Look(main->EditMenu()).at("&Copy"));

    Drag(view->viewport(), {200, y}, {400, y});
    ASSERT_TRUE(view->selectionShown);
    const std::map<QString, bool> after = Look(main->EditMenu());
    const std::map<QString, bool> expectAfter{
        {"Clear to Reference", true}, {"&Undo", false},      {"Cu&t", true},           {"&Copy", true},
        {"&Paste", false},            {"Select &All", true}, {"Select &Window", true},
    };
    EXPECT_EQ(after, expectAfter);

    // Now the shortcut copies, and Paste has channels and a place.
    QTest::keyClick(view, Qt::Key_C, Qt::ControlModifier);
    EXPECT_NE(frame->GetDocument().App().clipboard.full, 0);
    EXPECT_TRUE(Look(main->EditMenu()).at("&Paste"));
    frame->GetDocument().SetModifiedFlag(false);
    EXPECT_EQ(f.app->ExitInstance(), 0);
}

TEST(CommandRouting, MenuTextsFollowTheActiveView) {
    AppFixture f;
    ASSERT_TRUE(f.app->InitInstance({}));
    CMainFrame* main = f.app->MainFrame();
    // The empty document of the start.
    std::map<QString, bool> channels = Look(main->ChannelsMenu());
    EXPECT_EQ(channels.count("No channel is clicked"), 1u);
    EXPECT_EQ(Look(main->EggMenu()).count("Assigned Channel for EGG: None..."), 1u);

    CChildFrame* frame = f.OpenRecording();
    ASSERT_NE(frame, nullptr);
    frame->GetView()->clickedChannel = 1;
    frame->GetDocument().settings.egg.channel = 1;
    channels = Look(main->ChannelsMenu());
    EXPECT_TRUE(channels.at("Set Reference only for: EGG"));
    EXPECT_TRUE(Look(main->EggMenu()).at("Assigned Channel for EGG: EGG..."));
    EXPECT_EQ(f.app->ExitInstance(), 0);
}

}  // namespace
}  // namespace vocomet
