#pragma once
// The main frame's toolbar. Each button stands for a menu command and runs
// that command's own action; it is enabled by the same rules as the menu
// item, applied while the application idles and whenever the active window
// changes. UI thread only.

class QAction;
class QMenuBar;
class QString;
class QToolBar;

namespace vocomet {

class CMainFrame;

// The commands of the toolbar, in order, as menu paths ("Edit > Cut"); an
// empty path is a separator.
struct ToolBarEntry {
    const char* path;
    const char* tip;  // the button's tool tip
};
extern const ToolBarEntry kToolBarEntries[];
extern const int kToolBarEntryCount;

// Builds the toolbar from the frame's menus (call once they are complete):
// flat, movable to every side, docked at the top, with tool tips and the
// commands' prompts for the status bar.
QToolBar* InstallMainToolBar(CMainFrame& frame);
// Applies the enabling rules to every button now.
void UpdateToolBar(CMainFrame& frame);
// The command at a menu path ("Analysis > Smooth", ampersands ignored);
// null when there is none.
QAction* MenuCommandAt(const QMenuBar& bar, const QString& path);
// The menu command a toolbar button stands for; null for other actions.
QAction* CommandOfButton(const QAction& button);
// Whether a menu command is enabled at this moment, by the rules its menu
// applies when it opens.
bool IsCommandEnabledNow(CMainFrame& frame, QAction& command);

}  // namespace vocomet
