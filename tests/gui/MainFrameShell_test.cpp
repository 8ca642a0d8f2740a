// The main frame as a user meets it in a whole application: the toolbar
// and its enabling, the status bar's prompts, the window list and the
// next-window keys, the title, a minimised document window, every shortcut
// in the menus of the window it belongs to, channel names beyond ASCII, the
// EGG options without an EGG channel and the analysis windows placed again.

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "analysis/ui/CFFTLPCFrame.h"
#include "analysis/ui/CPitchFrame.h"
#include "analysis/ui/CPitchPane.h"
#include "analysis/ui/CSpectrogramFrame.h"
#include "analysis/ui/CSpectrogramPane.h"
#include "analysis/ui/CSpectrogramView.h"
#include "app/ui/CChildFrame.h"
#include "app/ui/CMainFrame.h"
#include "app/ui/COrielApp.h"
#include "app/ui/COrielView.h"
#include "app/ui/CStatusWindow.h"
#include "app/ui/CFormControl.h"
#include "app/ui/CFrameLog.h"
#include "app/ui/CommandRouting.h"
#include "widgets/GridTableView.h"
#include "app/ui/MainFrameCommands.h"
#include "app/ui/MainToolBar.h"
#include "app/ui/ViewChannelCommands.h"
#include "app/StatusTable.h"
#include "core/ApplicationSettings.h"
#include "core/COrielDoc.h"
#include "support/NativeFixtureWriter.h"
#include "gui/AppTestOptions.h"
#include "gui/SpeechWindowFixture.h"
#include "platform/ProfileStore.h"
#include "support/ScriptedPrompts.h"
#include "support/TestPaths.h"

namespace vocomet {
namespace {

QString Plain(QString text) { return text.remove(QLatin1Char('&')); }

QAction* ActionAt(QMenuBar* bar, const QString& path) { return MenuCommandAt(*bar, path); }

void CollectActions(const QList<QAction*>& actions, std::vector<QAction*>& out) {
    for (QAction* a : actions) {
        if (a->menu())
            CollectActions(a->menu()->actions(), out);
        else if (!a->isSeparator())
            out.push_back(a);
    }
}

// A whole application over spoken speech with its main view, pitch,
// spectrogram and FFT/LPC windows open.
struct SpeechApplication {
    std::string start = test::FreshTempDir();
    test::ScriptedPrompts prompts;
    platform::MemoryProfileStore profile;
    std::unique_ptr<COrielApp> app;
    CMainFrame* main = nullptr;
    CChildFrame* document = nullptr;
    std::map<std::string, QMdiSubWindow*> windows;

    bool Open() {
        if (!test::SpeakToWav(start + "/speech.wav", "A year ago."))
            return false;
        app = std::make_unique<COrielApp>(test::AppOptions(start, prompts, profile));
        if (!app->InitInstance({QString::fromStdString(start + "/speech.wav")}))
            return false;
        main = app->MainFrame();
        main->resize(1100, 800);
        document = qobject_cast<CChildFrame*>(main->MdiArea()->activeSubWindow());
        return document != nullptr;
    }

    QMdiSubWindow* OpenWith(const QString& path) {
        main->MdiArea()->setActiveSubWindow(document);
        if (QAction* a = ActionAt(main->menuBar(), path))
            a->trigger();
        QMdiSubWindow* w = main->MdiArea()->activeSubWindow();
        return w == document ? nullptr : w;
    }

    bool OpenAnalysisWindows() {
        windows["main"] = document;
        document->GetView()->markerShown = true;
        windows["fftlpc"] = document->GetView()->OpenFFTLPCWindow();
        windows["spectrogram"] = OpenWith(QStringLiteral("Analysis > Spectrogram All"));
        windows["pitch"] = OpenWith(QStringLiteral("Analysis > Pitch"));
        auto* spectrogram = qobject_cast<CSpectrogramFrame*>(windows["spectrogram"]);
        auto* pitch = qobject_cast<CPitchFrame*>(windows["pitch"]);
        if (!qobject_cast<CFFTLPCFrame*>(windows["fftlpc"]) || !spectrogram || !pitch)
            return false;
        // Closed only once they have computed.
        return QTest::qWaitFor([&] { return pitch->Pane()->IsTrackValid(); }, 30000) &&
               QTest::qWaitFor([&] { return spectrogram->GetView()->Pane()->IsSpectrogramValid(); }, 30000);
    }

    ~SpeechApplication() {
        if (main)
            CloseAllMdiWindowsQuietly();
    }

    void CloseAllMdiWindowsQuietly() {
        for (QMdiSubWindow* w : main->MdiArea()->subWindowList())
            if (!qobject_cast<CChildFrame*>(w))
                w->close();
        QTest::qWait(20);
    }
};

// A whole application over a small native recording (an audio channel and
// a second one named in Windows-1252).
struct RecordingApplication {
    std::string start = test::FreshTempDir();
    test::ScriptedPrompts prompts;
    platform::MemoryProfileStore profile;
    std::unique_ptr<COrielApp> app;
    CMainFrame* main = nullptr;

    RecordingApplication() {
        app = std::make_unique<COrielApp>(test::AppOptions(start, prompts, profile));
        if (!app->InitInstance({}))
            return;
        main = app->MainFrame();
        main->resize(1100, 800);
        main->show();
        main->activateWindow();
        (void)QTest::qWaitForWindowActive(main);
        // Start with no document at all.
        for (QMdiSubWindow* w : main->MdiArea()->subWindowList())
            w->close();
    }

    CChildFrame* Open(const std::string& name, const std::string& secondName = "EGG") {
        test::FixtureFile file;
        file.layout = test::FixtureLayout::KovPcFloat24;
        file.channels.push_back(test::RampChannel("Audio", 22050, 22050, 0.0f, 0.0001f));
        file.channels.push_back(test::RampChannel(secondName, 22050, 22050, 1.0f, -0.0001f));
        file.channels[0].audioFlag = 1;
        const std::string path = start + "/" + name;
        test::WriteNativeFixture(path, file);
        CChildFrame* frame = app->OpenDocumentFile(QString::fromStdString(path));
        if (frame) {
            frame->resize(900, 400);
            frame->GetView()->OnInitialUpdate();
        }
        return frame;
    }
};

QToolBar* ToolBar(CMainFrame* main) { return main->findChild<QToolBar*>(QStringLiteral("mainToolBar")); }

QAction* Button(QToolBar* bar, const QString& tip) {
    for (QAction* a : bar->actions())
        if (a->toolTip() == tip)
            return a;
    return nullptr;
}

// Each button against its menu item, as the menu shows it when opened.
void ExpectButtonsFollowTheMenus(CMainFrame* main, const char* state) {
    SCOPED_TRACE(state);
    UpdateToolBar(*main);
    for (QAction* button : ToolBar(main)->actions()) {
        QAction* command = CommandOfButton(*button);
        if (!command)
            continue;
        auto* menu = qobject_cast<QMenu*>(command->parent());
        for (QObject* o : command->associatedObjects())
            if (!menu)
                menu = qobject_cast<QMenu*>(o);
        ASSERT_NE(menu, nullptr) << button->toolTip().toStdString();
        emit menu->aboutToShow();
        EXPECT_EQ(button->isEnabled(), command->isEnabled()) << button->toolTip().toStdString();
        emit menu->aboutToHide();
    }
}

TEST(ToolBar, CarriesTheCommandsInOrderDockedAtTheTop) {
    RecordingApplication a;
    ASSERT_NE(a.main, nullptr);
    QToolBar* bar = ToolBar(a.main);
    ASSERT_NE(bar, nullptr);
    EXPECT_EQ(a.main->toolBarArea(bar), Qt::TopToolBarArea);
    EXPECT_EQ(bar->allowedAreas(), Qt::AllToolBarAreas);
    EXPECT_TRUE(bar->isMovable());
    EXPECT_TRUE(bar->isVisible());

    QStringList seen;
    for (QAction* b : bar->actions()) {
        if (b->isSeparator()) {
            seen << QStringLiteral("|");
            continue;
        }
        seen << b->toolTip();
        ASSERT_NE(CommandOfButton(*b), nullptr) << b->toolTip().toStdString();
        EXPECT_FALSE(b->icon().isNull());
        EXPECT_TRUE(b->shortcut().isEmpty());
        // Flat buttons with the picture only.
        auto* tool = qobject_cast<QToolButton*>(bar->widgetForAction(b));
        ASSERT_NE(tool, nullptr);
        EXPECT_TRUE(tool->autoRaise());
        EXPECT_EQ(tool->toolButtonStyle(), Qt::ToolButtonIconOnly);
    }
    EXPECT_EQ(seen.join(QStringLiteral(", ")),
              QStringLiteral("New, Open, Save, Save a Copy As, Print, |, Undo, Cut, Copy, Paste, |, UnZoom, Zoom In, "
                             "Zoom Out, Zoom Selection, Zoom for duration, Zoom Home, |, Set Channels Reference All, "
                             "|, Record, Play All, Play Selection, Play Window, |, FFT/LPC, FFT/LPC average, "
                             "Spectrogram All, Spectrogram Selection, Spectrogram Window, Intensity, Smooth, Pitch, "
                             "|, View Labels, |, New Log file, Open a log file, |, About, Help Topics"));
    EXPECT_EQ(CommandOfButton(*Button(bar, QStringLiteral("FFT/LPC average")))->text(),
              QStringLiteral("FFT/LPC Selection"));

    // The pictures differ from one another and are drawn, not blank.
    const QImage zoomIn = Button(bar, QStringLiteral("Zoom In"))->icon().pixmap(24, 24).toImage();
    const QImage zoomOut = Button(bar, QStringLiteral("Zoom Out"))->icon().pixmap(24, 24).toImage();
    EXPECT_NE(zoomIn, zoomOut);
    int inked = 0;
    for (int y = 0; y < zoomIn.height(); ++y)
        for (int x = 0; x < zoomIn.width(); ++x)
            inked += qAlpha(zoomIn.pixel(x, y)) > 0;
    EXPECT_GT(inked, 60);

    QImage shot = a.main->grab().toImage();
    const QString path = QString::fromStdString(test::BuildDir()) + QStringLiteral("/screenshots/main-toolbar.png");
    QDir().mkpath(QFileInfo(path).absolutePath());
    EXPECT_TRUE(shot.save(path));
}

TEST(ToolBar, ButtonsAreEnabledExactlyAsTheirMenuItemsAndRunThem) {
    RecordingApplication a;
    ASSERT_NE(a.main, nullptr);
    QToolBar* bar = ToolBar(a.main);
    ASSERT_NE(bar, nullptr);
    ExpectButtonsFollowTheMenus(a.main, "no document");
    EXPECT_FALSE(Button(bar, QStringLiteral("Zoom In"))->isEnabled());
    EXPECT_TRUE(Button(bar, QStringLiteral("Open"))->isEnabled());

    CChildFrame* frame = a.Open("take.vcm");
    ASSERT_NE(frame, nullptr);
    COrielView* view = frame->GetView();
    ExpectButtonsFollowTheMenus(a.main, "a document without a selection");
    EXPECT_TRUE(Button(bar, QStringLiteral("Zoom In"))->isEnabled());
    EXPECT_FALSE(Button(bar, QStringLiteral("Cut"))->isEnabled());
    EXPECT_FALSE(Button(bar, QStringLiteral("Zoom Selection"))->isEnabled());

    view->GetDocument().selectionPresent = 1;
    view->selectionShown = true;
    view->markerShown = true;
    ExpectButtonsFollowTheMenus(a.main, "with a selection and a marker");
    EXPECT_TRUE(Button(bar, QStringLiteral("Cut"))->isEnabled());
    EXPECT_TRUE(Button(bar, QStringLiteral("Zoom Selection"))->isEnabled());

    // The idle update follows a change without any menu being opened.
    view->GetDocument().selectionPresent = 0;
    view->selectionShown = false;
    EXPECT_TRUE(QTest::qWaitFor([&] { return !Button(bar, QStringLiteral("Cut"))->isEnabled(); }, 2000));

    // A click runs the menu command itself; a disabled button runs nothing.
    QSignalSpy zoomIn(CommandOfButton(*Button(bar, QStringLiteral("Zoom In"))), &QAction::triggered);
    QSignalSpy cut(CommandOfButton(*Button(bar, QStringLiteral("Cut"))), &QAction::triggered);
    QTest::mouseClick(bar->widgetForAction(Button(bar, QStringLiteral("Zoom In"))), Qt::LeftButton);
    QTest::mouseClick(bar->widgetForAction(Button(bar, QStringLiteral("Cut"))), Qt::LeftButton);
    EXPECT_EQ(zoomIn.count(), 1);
    EXPECT_EQ(cut.count(), 0);
}

TEST(StatusBar, ShowsThePromptOfTheCommandUnderThePointerElseReady) {
    RecordingApplication a;
    ASSERT_NE(a.main, nullptr);
    ASSERT_NE(a.Open("take.vcm"), nullptr);
    EXPECT_EQ(a.main->StatusMessage(), QStringLiteral("Ready"));
    EXPECT_TRUE(a.main->statusBar()->isVisible());

    // A menu item under the pointer.
    QMenu* analysis = a.main->AnalysisMenu();
    QAction* smooth = ActionAt(a.main->menuBar(), QStringLiteral("Analysis > Smooth"));
    ASSERT_NE(smooth, nullptr);
    a.main->menuBar()->setActiveAction(analysis->menuAction());
    ASSERT_TRUE(QTest::qWaitForWindowExposed(analysis));
    QTest::mouseMove(analysis, analysis->actionGeometry(smooth).center());
    EXPECT_TRUE(QTest::qWaitFor([&] { return a.main->StatusMessage() == QStringLiteral("Smooth the data"); }, 2000))
        << a.main->StatusMessage().toStdString();
    analysis->hide();
    a.main->menuBar()->setActiveAction(nullptr);
    EXPECT_TRUE(QTest::qWaitFor([&] { return a.main->StatusMessage() == QStringLiteral("Ready"); }, 2000))
        << a.main->StatusMessage().toStdString();

    // A toolbar button under the pointer, then the pointer gone.
    QToolBar* bar = ToolBar(a.main);
    QWidget* button = bar->widgetForAction(Button(bar, QStringLiteral("Smooth")));
    ASSERT_NE(button, nullptr);
    QEvent enter(QEvent::Enter);
    QApplication::sendEvent(button, &enter);
    EXPECT_EQ(a.main->StatusMessage(), QStringLiteral("Smooth the data"));
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(button, &leave);
    EXPECT_EQ(a.main->StatusMessage(), QStringLiteral("Ready"));

    // The lock indicators sit at the right end, in order.
    QLabel* caps = a.main->LockIndicator(0);
    QLabel* num = a.main->LockIndicator(1);
    QLabel* scroll = a.main->LockIndicator(2);
    EXPECT_EQ(caps->parentWidget(), a.main->statusBar());
    EXPECT_LT(caps->x(), num->x());
    EXPECT_LT(num->x(), scroll->x());
    EXPECT_GT(scroll->geometry().right(), a.main->statusBar()->width() - 40);
}

// The Window menu's list as the user reads it: (text, checked).
std::vector<std::pair<QString, bool>> WindowList(CMainFrame* main) {
    QMenu* menu = main->WindowMenu();
    emit menu->aboutToShow();
    std::vector<std::pair<QString, bool>> out;
    for (QAction* a : menu->actions())
        if (WindowOfListItem(*a))
            out.emplace_back(a->text(), a->isChecked());
    emit menu->aboutToHide();
    return out;
}

TEST(WindowMenu, ListsTheOpenWindowsWithTheActiveOneChecked) {
    RecordingApplication a;
    ASSERT_NE(a.main, nullptr);
    EXPECT_TRUE(WindowList(a.main).empty());
    CChildFrame* first = a.Open("first.vcm");
    CChildFrame* second = a.Open("second.vcm");
    ASSERT_TRUE(first && second);
    ActionAt(a.main->menuBar(), QStringLiteral("Log > New"))->trigger();
    ASSERT_NE(a.main->LogFrame(), nullptr);
    a.main->MdiArea()->setActiveSubWindow(second);
    const auto list = WindowList(a.main);
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0], std::make_pair(QStringLiteral("&1 first.vcm"), false));
    EXPECT_EQ(list[1], std::make_pair(QStringLiteral("&2 second.vcm"), true));
    EXPECT_EQ(list[2].first, QStringLiteral("&3 ") + a.main->LogFrame()->windowTitle());
    EXPECT_FALSE(list[2].second);
    // The list follows the menu's own commands, and is made afresh each time.
    QMenu* menu = a.main->WindowMenu();
    emit menu->aboutToShow();
    int listed = 0, firstListed = -1;
    for (int i = 0; i < menu->actions().size(); ++i)
        if (WindowOfListItem(*menu->actions()[i])) {
            ++listed;
            if (firstListed < 0)
                firstListed = i;
        }
    EXPECT_EQ(listed, 3);
    EXPECT_TRUE(menu->actions()[firstListed - 1]->isSeparator());
    EXPECT_EQ(Plain(menu->actions()[0]->text()), QStringLiteral("Cascade"));
    // Choosing an item activates that window.
    for (QAction* item : menu->actions())
        if (WindowOfListItem(*item) == first)
            item->trigger();
    emit menu->aboutToHide();
    EXPECT_EQ(a.main->MdiArea()->activeSubWindow(), first);
    EXPECT_TRUE(WindowList(a.main)[0].second);
    a.main->LogFrame()->close();
}

TEST(WindowMenu, NextWindowKeysWorkFromInsideAnyWindow) {
    RecordingApplication a;
    ASSERT_NE(a.main, nullptr);
    CChildFrame* first = a.Open("first.vcm");
    CChildFrame* second = a.Open("second.vcm");
    ASSERT_TRUE(first && second);
    a.main->MdiArea()->setActiveSubWindow(first);
    for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::Key_F6), QKeySequence(Qt::CTRL | Qt::Key_Tab)}) {
        SCOPED_TRACE(keys.toString().toStdString());
        QMdiSubWindow* before = a.main->MdiArea()->activeSubWindow();
        QWidget* focus = before->widget();
        focus->setFocus();
        QTest::keySequence(focus, keys);
        EXPECT_NE(a.main->MdiArea()->activeSubWindow(), before);
    }
}

TEST(MainFrameTitle, StaysTheProductWithTheMaximisedDocumentInBrackets) {
    RecordingApplication a;
    ASSERT_NE(a.main, nullptr);
    EXPECT_EQ(a.main->windowTitle(), QStringLiteral("Vocomet"));
    CChildFrame* first = a.Open("first.vcm");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(a.main->windowTitle(), QStringLiteral("Vocomet"));
    first->showMaximized();
    QApplication::processEvents();
    EXPECT_EQ(a.main->windowTitle(), QStringLiteral("Vocomet - [first.vcm]"));
    CChildFrame* second = a.Open("second.vcm");
    ASSERT_NE(second, nullptr);
    QApplication::processEvents();
    EXPECT_EQ(a.main->windowTitle(), QStringLiteral("Vocomet - [second.vcm]"));
    a.main->MdiArea()->setActiveSubWindow(first);
    QApplication::processEvents();
    EXPECT_EQ(a.main->windowTitle(), QStringLiteral("Vocomet - [first.vcm]"));
    first->showNormal();
    QApplication::processEvents();
    EXPECT_EQ(a.main->windowTitle(), QStringLiteral("Vocomet"));
    second->showMaximized();
    second->close();
    first->close();
    QApplication::processEvents();
    EXPECT_EQ(a.main->windowTitle(), QStringLiteral("Vocomet"));
}

TEST(ChildFrame, MinimisingDropsSelectionMarkerAndLabelMode) {
    RecordingApplication a;
    ASSERT_NE(a.main, nullptr);
    CChildFrame* frame = a.Open("take.vcm");
    ASSERT_NE(frame, nullptr);
    COrielView* view = frame->GetView();
    view->selectionShown = true;
    view->markerShown = true;
    view->labelMode = true;
    frame->showMinimized();
    QApplication::processEvents();
    EXPECT_TRUE(frame->isMinimized());
    EXPECT_FALSE(view->selectionShown);
    EXPECT_FALSE(view->markerShown);
    EXPECT_FALSE(view->labelMode);
    // Restoring keeps them dropped; a plain resize drops nothing.
    frame->showNormal();
    view->markerShown = true;
    frame->resize(700, 300);
    QApplication::processEvents();
    EXPECT_TRUE(view->markerShown);
}

// A tool window tied to the main frame, shown only once the frame is on the
// screen, so that a window manager keeps it above the frame.
TEST(StatusWindowPlace, ShownAfterTheFrameAsItsToolWindow) {
    test::ScriptedPrompts prompts;
    CMainFrame frame;
    WindowPlacement placement{};
    CStatusWindow* status = CreateStatusWindow(frame, placement, prompts);
    ASSERT_NE(status, nullptr);
    EXPECT_FALSE(status->isVisible());
    EXPECT_EQ(frame.StatusWindow(), status);
    frame.show();
    EXPECT_TRUE(status->isVisible());
    EXPECT_TRUE(status->windowFlags().testFlag(Qt::Tool));
    ASSERT_NE(status->windowHandle(), nullptr);
    EXPECT_EQ(status->windowHandle()->transientParent(), frame.windowHandle());
    // At the bottom left of the desktop.
    const QRect desktop = DesktopRect();
    EXPECT_EQ(status->pos(), QPoint(5, desktop.bottom() + 1 - 200));
    // Hidden and shown again with the frame, it stays hidden.
    status->close();
    frame.hide();
    frame.show();
    EXPECT_FALSE(status->isVisible());
}

TEST(ChannelNames, Windows1252NamesReadRightInTheStatusTableAndTheMenus) {
    RecordingApplication a;
    ASSERT_NE(a.main, nullptr);
    CChildFrame* frame = a.Open("take.vcm", "Kehlkopf \xb5");
    ASSERT_NE(frame, nullptr);
    COrielDoc& doc = frame->GetDocument();
    doc.settings.egg.channel = 1;
    a.main->MdiArea()->setActiveSubWindow(nullptr);
    a.main->MdiArea()->setActiveSubWindow(frame);
    CStatusWindow* status = a.main->StatusWindow();
    ASSERT_NE(status, nullptr);
    status->ShowDocument(frame->GetView(), &doc);
    QAbstractItemModel* model = status->Form()->Table()->model();
    ASSERT_EQ(model->rowCount(), 2);
    EXPECT_EQ(model->index(1, kStatusName).data().toString(), QStringLiteral("Kehlkopf \u00b5"));

    QMenu* egg = a.main->EggMenu();
    emit egg->aboutToShow();
    bool found = false;
    for (QAction* action : egg->actions())
        found |= action->text() == QStringLiteral("Assigned Channel for EGG: Kehlkopf \u00b5...");
    emit egg->aboutToHide();
    EXPECT_TRUE(found);
}

TEST(EggOptions, WithNoEggChannelSaysWhy) {
    RecordingApplication a;
    ASSERT_NE(a.main, nullptr);
    CChildFrame* frame = a.Open("take.vcm");
    ASSERT_NE(frame, nullptr);
    frame->GetDocument().settings.egg.channel = -1;
    a.main->MdiArea()->setActiveSubWindow(frame);
    QAction* option = ActionAt(a.main->menuBar(), QStringLiteral("EGG > Option..."));
    ASSERT_NE(option, nullptr);
    const size_t before = a.prompts.messages.size();
    option->trigger();
    ASSERT_EQ(a.prompts.messages.size(), before + 1);
    EXPECT_EQ(a.prompts.LastMessage(), kNoEggChannelForOptions);
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST(Shortcuts, EveryShortcutSitsInItsMenuForItsWindowAndNoneTwice) {
    if (!test::HaveTool("espeak-ng"))
        GTEST_SKIP() << "espeak-ng is not installed";
    SpeechApplication s;
    ASSERT_TRUE(s.Open());
    ASSERT_TRUE(s.OpenAnalysisWindows());

    const struct {
        const char* path;
        QKeySequence keys;
        std::vector<std::string> windows;
    } table[] = {
        {"File > Open...", QKeySequence(Qt::CTRL | Qt::Key_O), {"main", "pitch", "spectrogram", "fftlpc"}},
        {"File > Save", QKeySequence(Qt::CTRL | Qt::Key_S), {"main"}},
        {"File > Print...", QKeySequence(Qt::CTRL | Qt::Key_P), {"main", "pitch"}},
        {"Edit > Undo", QKeySequence(Qt::CTRL | Qt::Key_Z), {"main"}},
        {"Edit > Cut", QKeySequence(Qt::CTRL | Qt::Key_X), {"main"}},
        {"Edit > Copy", QKeySequence(Qt::CTRL | Qt::Key_C), {"main"}},
        {"Edit > Paste", QKeySequence(Qt::CTRL | Qt::Key_V), {"main"}},
        {"Edit > Select All", QKeySequence(Qt::CTRL | Qt::Key_A), {"main"}},
        {"Zoom > In", QKeySequence(Qt::CTRL | Qt::Key_B), {"main", "pitch"}},
        {"Zoom > Out", QKeySequence(Qt::CTRL | Qt::Key_E), {"main", "pitch"}},
        {"Zoom > Selection", QKeySequence(Qt::CTRL | Qt::Key_Q), {"main", "pitch"}},
        {"Zoom > From Cursor for Duration", QKeySequence(Qt::CTRL | Qt::Key_W), {"main", "pitch"}},
        {"Analysis > Intensity", QKeySequence(Qt::CTRL | Qt::Key_I), {"main"}},
        {"Analysis > Smooth", QKeySequence(Qt::CTRL | Qt::Key_K), {"main"}},
        {"Analysis > FFT/LPC", QKeySequence(Qt::CTRL | Qt::Key_F), {"main", "spectrogram"}},
        {"Analysis > Spectrogram All", QKeySequence(Qt::CTRL | Qt::Key_G), {"main"}},
        {"Analysis > Spectrogram Selection", QKeySequence(Qt::CTRL | Qt::Key_H), {"main"}},
        {"Analysis > Pitch", QKeySequence(Qt::CTRL | Qt::Key_L), {"main", "spectrogram"}},
        {"Log > Enter at Marker", QKeySequence(Qt::CTRL | Qt::Key_T), {"main", "spectrogram", "fftlpc"}},
        {"Log > Enter Duration", QKeySequence(Qt::CTRL | Qt::Key_D), {"main", "spectrogram"}},
        {"Log > Enter Formants at Marker", QKeySequence(Qt::CTRL | Qt::Key_J), {"spectrogram"}},
        {"Log > Enter Pitch at Marker", QKeySequence(Qt::CTRL | Qt::Key_M), {"pitch"}},
        {"Record/Play > Play All", QKeySequence(Qt::CTRL | Qt::Key_Y), {"main", "pitch"}},
        {"Record/Play > Play Selection", QKeySequence(Qt::CTRL | Qt::Key_U), {"main", "pitch", "spectrogram"}},
    };
    for (const auto& row : table) {
        SCOPED_TRACE(row.path);
        QAction* action = ActionAt(s.main->menuBar(), QString::fromLatin1(row.path));
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->shortcut(), row.keys);
        for (const std::string& w : row.windows) {
            SCOPED_TRACE(w);
            // A command no window declares is the application's, taken from any window.
            EXPECT_TRUE(!IsDeclared(*action) || IsHandled(*action, s.windows[w]));
        }
    }

    // In no window do two of the commands it takes share a shortcut.
    std::vector<QAction*> all;
    CollectActions(s.main->menuBar()->actions(), all);
    for (const auto& [name, window] : s.windows) {
        SCOPED_TRACE(name);
        std::map<QKeySequence, QString> taken;
        for (QAction* a : all) {
            if (a->shortcut().isEmpty() || (IsDeclared(*a) && !IsHandled(*a, window)))
                continue;
            const auto [it, fresh] = taken.emplace(a->shortcut(), Plain(a->text()));
            EXPECT_TRUE(fresh) << a->shortcut().toString().toStdString() << " on " << it->second.toStdString()
                               << " and " << Plain(a->text()).toStdString();
        }
    }
}

// The analysis windows: the next-window keys leave the pitch window as any
// other, and placements loaded from a configuration move the pitch and
// spectrogram windows as they move the others.
TEST(AnalysisWindows, NextWindowKeysLeaveThePitchWindowAndLoadedPlacementsMoveThem) {
    if (!test::HaveTool("espeak-ng"))
        GTEST_SKIP() << "espeak-ng is not installed";
    SpeechApplication s;
    ASSERT_TRUE(s.Open());
    s.main->show();
    s.main->activateWindow();
    (void)QTest::qWaitForWindowActive(s.main);
    ASSERT_TRUE(s.OpenAnalysisWindows());

    for (const QKeySequence& keys : {QKeySequence(Qt::CTRL | Qt::Key_F6), QKeySequence(Qt::CTRL | Qt::Key_Tab)}) {
        SCOPED_TRACE(keys.toString().toStdString());
        QMdiSubWindow* pitch = s.windows["pitch"];
        s.main->MdiArea()->setActiveSubWindow(pitch);
        // The progress of the computations took the activation for a while.
        s.main->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(s.main));
        QWidget* focus = pitch->focusWidget() ? pitch->focusWidget() : pitch->widget();
        focus->setFocus();
        QTest::keySequence(focus, keys);
        EXPECT_NE(s.main->MdiArea()->activeSubWindow(), pitch)
            << "focus " << focus->metaObject()->className() << " active window "
            << (QApplication::activeWindow() ? QApplication::activeWindow()->metaObject()->className() : "none")
            << " modal " << (QApplication::activeModalWidget() ? "yes" : "no");
    }

    auto& placements = s.app->State().settings.placements;
    placements[kPlacementPitch] = {30, 40, 420, 260};
    placements[kPlacementSpectrogram] = {60, 70, 430, 270};
    placements[kPlacementFftLpc] = {90, 100, 440, 280};
    s.document->GetView()->ApplyWindowPlacements();
    EXPECT_EQ(s.windows["pitch"]->geometry(), QRect(30, 40, 420, 260));
    EXPECT_EQ(s.windows["spectrogram"]->geometry(), QRect(60, 70, 430, 270));
    EXPECT_EQ(s.windows["fftlpc"]->geometry(), QRect(90, 100, 440, 280));
}

}  // namespace
}  // namespace vocomet
