#pragma once
// The File menu's printing and picture commands. The main view carries them
// (COrielView::OnFileSaveAsBmp and the others, in ViewPrinting.cpp); with no
// document window active the screen dump is the main frame's own.

#include <functional>

class QMenu;

namespace platform {
class UserPrompts;
}

namespace vocomet {

class CChildFrame;
class CMainFrame;

// Adds "Save As bmp...", "Save Screen As bmp...", "Print...", "Print
// Preview" and "Print Screen..." to the file menu. The view commands are
// enabled while the active document holds data; the screen dump also while
// no document window is active (then the frame asks and captures).
void AddPrintingCommands(QMenu& file, CMainFrame& frame, platform::UserPrompts& prompts,
                         std::function<CChildFrame*()> activeFrame);

}  // namespace vocomet
