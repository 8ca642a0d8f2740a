#include "app/AppStartup.h"

#include "acquisition/AcquisitionState.h"
#include "acquisition/CUSB2Hardware.h"
#include "acquisition/CUSBHardware.h"
#include "acquisition/CUSBThread.h"
#include "app/TempFolder.h"
#include "core/ChannelSetup.h"
#include "core/ConfigurationFile.h"
#include "platform/ScratchRun.h"

namespace vocomet {

bool RunStartup(ApplicationState& app, StartupDevices devices, platform::ProfileStore& profile,
                platform::UserPrompts& prompts, const std::string& startFolder) {
    try {
        DetectHardware(app.acquisition, devices.usb2, devices.usb, devices.firmwarePath);
        app.acquisition.usbThread = std::make_unique<CUSBThread>();
        app.acquisition.usbThread->Start();
    } catch (const std::exception&) {
        return false;
    }

    app.startFolder = startFolder;
    std::optional<std::string> temp = SettleTempFolder(profile, prompts, startFolder);
    if (!temp)
        return false;
    app.tempFolder = *temp;
    // What a run that crashed left there goes now; this run's own scratch
    // files are noted from here on, so a crash of this one is cleared too.
    // Without a record the run goes on: it still removes its files itself.
    platform::BeginScratchRun(app.tempFolder);

    try {
        app.settings.inputSource = kInputMic;
        app.settings.outputRoute = kOutputComputer;
        SetChannelSetupDefaults(app.settings.channelSetup, app.acquisition.hardwareChannelCount);
        if (!LoadConfigurationBlock(app.ConfigurationFilePath(), app.settings))
            return false;
        // The first channel is always recorded, whatever the file said.
        app.settings.channelSetup[0].enabled = 1;
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

void RunExit(const ApplicationState& app) {
    try {
        WriteExitConfiguration(app.ConfigurationFilePath(), app.settings);
    } catch (const std::exception&) {
        // An unreadable settings file at exit: nothing is written.
    }
}

}  // namespace vocomet
