#pragma once
// The channel commands of the main view: Analysis (averaging, intensity,
// smoothing), Channels (references), Edit > Clear to Reference and EGG.

#include <functional>

namespace vocomet {

class CChildFrame;
class CMainFrame;

// EGG > Option... with no EGG channel assigned.
inline constexpr const char* kNoEggChannelForOptions =
    "No EGG channel is assigned, so there are no EGG options to set.\nChoose the EGG channel with EGG > SetChannel first.";

// Adds the commands to the frame's menus, enabled from the active view's
// document when each menu opens.
void AddChannelCommands(CMainFrame& frame, std::function<CChildFrame*()> activeFrame);

}  // namespace vocomet
