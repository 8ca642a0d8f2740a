#pragma once
// The Edit menu's commands of the main view.

#include <functional>

class QMenu;

namespace vocomet {

class CChildFrame;

// Undo, Cut, Copy, Paste, Select All and Select Window for the active
// frame's view, enabled from its state when the menu opens.
void AddEditCommands(QMenu& edit, std::function<CChildFrame*()> activeFrame);

}  // namespace vocomet
