#pragma once
// What the main frame adds to the plain MDI window: the status window that
// lives as long as the application and follows the active document, the
// Window > Close Status Window toggle, the ordered close of the whole
// application (record forms and documents, each may refuse; then the log;
// then placements and the worker) and the main frame's own help page.
// UI thread only.

#include <QRect>
#include <QString>
#include <functional>
#include <string>

#include "core/ApplicationSettings.h"

class QAction;
class QMdiArea;
class QMdiSubWindow;
class QWidget;

namespace platform {
class UserPrompts;
}

namespace vocomet {

struct ApplicationState;
class CChildFrame;
class CMainFrame;
class COrielDoc;
class CStatusWindow;

inline constexpr const char* kShowStatusWindow = "Show Status Window";
inline constexpr const char* kHideStatusWindow = "Hide Status Window";
inline constexpr const char* kStatusWindowError = "Error in creating the status window.";
// A window that belongs to a document but is none of the known analysis
// frames names it with this property (a COrielDoc*, as quintptr), so that
// closing the document's main frame closes it too.
inline constexpr const char* kDocumentProperty = "vocometDocument";

// The desktop the default placements are taken from.
QRect DesktopRect();
// The part of the desktop windows may take (without panels and docks), as
// the placements read from the settings are kept on it.
platform::Rect AvailableDesktop();
// The first main-view frame: left 0, top 0, width desktop right - 5,
// height desktop height / 3 (left, top, width, height).
WindowPlacement DefaultChildFramePlacement(const QRect& desktop);
// The status window at the bottom left, 60 % of the desktop wide (left,
// top, right, bottom).
WindowPlacement DefaultStatusWindowPlacement(const QRect& desktop);

// Makes the status window owned by frame at its placement (the default when
// never placed), creates its form and shows it; the placement then follows
// every move and resize. Null after a beep and a message when it cannot be
// made.
CStatusWindow* CreateStatusWindow(CMainFrame& frame, WindowPlacement& placement, platform::UserPrompts& prompts);

// Start-up of the main frame's part: the status window, the Window menu's
// toggle, handing the status window to every document frame that becomes
// active, and the end of the close (placements stored, worker stopped).
// Returns the toggle's action.
QAction* InstallMainFrameCommands(CMainFrame& frame, ApplicationState& app, platform::UserPrompts& prompts);

// The Window menu's list of the open windows, rebuilt each time the menu
// opens: one item per visible window of the area in the order they were
// opened, then the measurement log, numbered, the active one checked;
// choosing one activates it.
// Ctrl+F6 and Ctrl+Tab go to the next window from any window of the frame.
void InstallWindowList(CMainFrame& frame);
// The window the Window menu lists before the item is chosen (null for
// the menu's other items).
QWidget* WindowOfListItem(const QAction& item);

// The document a window of the MDI area works on (a main-view frame, an
// FFT/LPC frame, a label list, or a window with kDocumentProperty); null
// for windows of no document (log, scope, record/play options).
const COrielDoc* DocumentOfWindow(const QMdiSubWindow* window);
// The main-view frame of the document a window of the area works on (the
// window itself when it is one); null for windows of no document.
CChildFrame* DocumentFrameOfWindow(QMdiArea& area, const QMdiSubWindow* window);
// Closes every window of the document except keep; the main frame of a
// document closing, or the Record command, calls it.
void CloseDocumentWindows(QMdiArea& area, const COrielDoc& doc, const QMdiSubWindow* keep);
// Closes every window of the area: the record forms first (each asked
// while its document is still there), then the documents, then what is
// left. False, with the rest left open, when a window refused.
bool CloseAllMdiWindows(QMdiArea& area);

// Help when no document window takes it: "Manual/HelpIndex.htm" under the
// start folder, then "Manual/HelpIndex.html"; when neither opens, the
// no-help message. open: how a page is opened (default: the desktop's
// handler); false when it could not be.
void OnMainFrameHelpTopics(const std::string& startFolder, platform::UserPrompts& prompts,
                           const std::function<bool(const QString&)>& open = {});

}  // namespace vocomet
