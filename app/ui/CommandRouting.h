#pragma once
// Which window takes a menu command, and whether it is enabled.
//
// A command travels from the active MDI window's view to its document, the
// child frame, the application and the main frame; the first on that road
// that handles it decides whether it is enabled (and may set its text). A
// command nobody on the road handles is disabled. Each kind of window
// declares here the commands (QActions) it handles; the main frame's menus
// ask when they are about to show (InstallCommandRouting).
//
// While no menu is open, every command some window on the road handles
// stays enabled, so that its shortcut fires; the shortcut is then let
// through only when the handler's rule enables the command at that moment.
// UI thread only.

#include <QString>
#include <functional>

#include "app/CommandEnabling.h"

class QAction;
class QMdiSubWindow;
class QMenu;

namespace vocomet {

class AnalysisWindowCommands;
class CMainFrame;
class COrielView;

// Where on the road a handler sits, first to last.
enum class CommandLevel { View, Document, ChildFrame, Application, MainFrame };

struct CommandHandler {
    CommandLevel level = CommandLevel::View;
    // Whether the handler is on the road for this active window (null: no
    // window is active).
    std::function<bool(QMdiSubWindow* active)> handles;
    // Whether the command is enabled now; may set the action's text. Empty:
    // always enabled.
    std::function<bool(QMdiSubWindow* active, QAction& action)> enabled;
};

// Adds a handler of action.
void DeclareCommand(QAction* action, CommandHandler handler);

// The main view handles the command (its frame is the active window), by
// the enabling rules of the main view's commands.
void DeclareViewCommand(QAction* action, ViewCommand command);
// The same with an extra condition besides the rule (a window that must
// have registered before the command can run).
void DeclareViewCommand(QAction* action, ViewCommand command, std::function<bool()> available);
// An analysis window (the active window, or its widget, implements
// AnalysisWindowCommands) handles the command when handles says so.
void DeclareAnalysisCommand(QAction* action, std::function<bool(const AnalysisWindowCommands&)> handles,
                            std::function<bool(const AnalysisWindowCommands&)> enabled = {});
// The main frame (or the application) handles the command whatever is
// active.
void DeclareMainFrameCommand(QAction* action, std::function<bool()> enabled = {});

// The snapshot of a view that the rules read.
ViewCommandState CommandStateOf(const COrielView& view);
// The view of the active window when that is a document's main frame.
COrielView* ActiveMainView(QMdiSubWindow* active);

// Whether a handler on the road of active enables action now (text set as a
// side effect); false when no handler is on the road or none was declared.
bool RouteCommand(QAction& action, QMdiSubWindow* active);
// Whether a handler of action is on the road of active (the window takes
// the command, enabled or not).
bool IsHandled(const QAction& action, QMdiSubWindow* active);
// True when the action has any declared handler.
bool IsDeclared(const QAction& action);

// Hooks the routing into the frame: every menu of its menu bar (and their
// submenus) updates its declared commands when it is about to show and
// lets them go when it hides; a change of the active window does the same
// for all of them. Call once the menus are built; menus added later are
// watched through WatchMenu.
void InstallCommandRouting(CMainFrame& frame);
void WatchMenu(CMainFrame& frame, QMenu& menu);
// Applies the rules to every declared command of the frame now (what a
// toolbar update calls).
void UpdateCommands(CMainFrame& frame);

}  // namespace vocomet
