#pragma once
// The start-up steps that need no window: probing the acquisition hardware,
// starting the first-generation worker, settling the temp folder and reading
// the application's settings. The application object runs them in order.

#include <string>

#include "core/ApplicationState.h"
#include "platform/ProfileStore.h"
#include "platform/UserPrompts.h"

namespace vocomet {

class CUSBHardware;
class CUSB2Hardware;

struct StartupDevices {
    CUSB2Hardware& usb2;
    CUSBHardware& usb;
    std::string firmwarePath = "ada.ldr";
};

// Runs the probe, creates and starts the worker (always, whatever the probe
// found), settles the temp folder, sets the routing texts, the channel setup
// defaults and reads the settings file (writing the start-up defaults when it
// is missing or foreign). Scratch files that ended runs left in the temp
// folder are cleared, and this run's are recorded from then on (see
// platform/ScratchRun.h; platform::EndScratchRun clears them at exit).
// False when start-up cannot go on; the user has been told where there is
// something to say.
bool RunStartup(ApplicationState& app, StartupDevices devices, platform::ProfileStore& profile,
                platform::UserPrompts& prompts, const std::string& startFolder);

// The exit: writes the routing texts, play-grid, record/play and recording
// form values back into the settings file. Never throws.
void RunExit(const ApplicationState& app);

}  // namespace vocomet
