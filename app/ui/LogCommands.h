#pragma once
// The Log menu: the main frame's commands that make, open and save the
// measurement log window, and the main view's six measurement entries.

#include <functional>

#include "core/ApplicationSettings.h"

namespace platform {
class UserPrompts;
}

namespace vocomet {

class CChildFrame;
class CMainFrame;

// Fills the frame's Log menu. New, Open..., Save and Save As... act on the
// frame's log window (placement is the log's persisted rectangle); the
// entries act on the active document window's view, or on an analysis
// window with an entry of the same name. Their enabling goes through the
// command routing (CommandRouting.h).
void AddLogCommands(CMainFrame& frame, platform::UserPrompts& prompts, WindowPlacement& placement,
                    std::function<CChildFrame*()> activeFrame);

}  // namespace vocomet
