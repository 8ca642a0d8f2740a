#pragma once
// The Record/Play menu's play commands and Options > Record/Play, routed to
// the active document's main view. The play cursor a view keeps for
// whichever road plays its sound is in windows/ViewPlayback.h.

#include <functional>

#include "app/ui/COrielView.h"
#include "windows/ViewPlayback.h"

class QMainWindow;
class QMenu;
class QWidget;

namespace vocomet {

class CChildFrame;

// Adds the "Record/Play" menu (before the Options menu) with Play All, Play
// Selection and Play Window, and "Record/Play..." to optionsMenu. Their
// enabling follows the active document: Play All while a document is
// active, Play Window with data, Play Selection with data and a shown
// selection; the options command is named "Sonetta Play..." while the audio
// box is present.
void AddPlayCommands(QMainWindow& mainFrame, QMenu& optionsMenu, const std::function<CChildFrame*()>& activeFrame);

}  // namespace vocomet
