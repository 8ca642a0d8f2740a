#pragma once
// How the shell wires the analysis windows it opens: the document's main
// view they mirror their mouse to and take the log window from, the main
// frame's menus their commands join, and the document frame whose end they
// follow. UI thread only.

#include <QString>
#include <functional>

class QKeySequence;
class QMdiArea;
class QMenu;
class QObject;

namespace vocomet {

class CMainFrame;
class COrielDoc;
class COrielView;

// The document's main view: the view of its document frame in the area.
COrielView* MainViewOf(QMdiArea* area, const COrielDoc& doc);

// The main frame's menu with this object name, or (when title is not empty)
// with this title; none when there is no such menu.
QMenu* MenuNamed(CMainFrame& frame, const char* objectName, const QString& title = {});

// Adds the Log menu entry text, which runs the active analysis window's log
// command of that text, enabled by the window's rule.
void AddAnalysisLogEntry(CMainFrame& frame, const char* text, const QKeySequence& keys);

// A document frame destroyed outright (not closed) takes its document with
// it before the analysis windows on it go: onDestroyed runs then, in
// context, so the window lets go of the document.
void OnDocumentFrameDestroyed(QMdiArea* area, const COrielDoc& doc, QObject* context,
                              std::function<void()> onDestroyed);

// Adds the "PlotFormants" menu before the Window menu: Open... always, and
// the commands of the active plot window (Save, Save As..., Delete Row,
// Insert Row, Save As bmp..., Print...), enabled by its state.
void AddPlotFormantCommands(CMainFrame& frame, std::function<void()> onOpen);

}  // namespace vocomet
