#pragma once
// The channel commands of the main view: Analysis (averaging, intensity,
// smoothing), Channels (references), Edit > Clear to Reference and EGG.

#include <functional>

namespace vocomet {

class CChildFrame;
class CMainFrame;

// Adds the commands to the frame's menus, enabled from the active view's
// document when each menu opens.
void AddChannelCommands(CMainFrame& frame, std::function<CChildFrame*()> activeFrame);

}  // namespace vocomet
