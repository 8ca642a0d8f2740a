#pragma once
// Menu wiring of the main view's label entry mode.

#include <functional>

class QMenu;

namespace vocomet {

class CChildFrame;

// Adds Labels > Mode to the menu: it turns the active main view's label
// entry mode on or off, reads "Enable Label Entry Mode" or "Disable Label
// Entry Mode" as the mode is, and is enabled while the active document
// holds data.
void AddLabelModeCommand(QMenu& labels, std::function<CChildFrame*()> activeFrame);

}  // namespace vocomet
