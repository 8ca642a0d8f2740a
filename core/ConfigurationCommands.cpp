#include "core/ConfigurationCommands.h"

#include <exception>
#include <optional>
#include <string>

#include "core/ApplicationState.h"
#include "core/ConfigurationBlock.h"
#include "core/ConfigurationFile.h"
#include "core/DocumentSettings.h"
#include "platform/BinaryFile.h"
#include "platform/FailureText.h"
#include "platform/File.h"
#include "platform/UserPrompts.h"

namespace vocomet {

namespace {

platform::FileDialogRequest ConfigurationDialog(const char* title) {
    platform::FileDialogRequest request;
    request.title = title;
    request.filter = "Configuration files (*.cfg)";
    request.initialPath = "User_Configuration";
    request.defaultSuffix = "cfg";
    return request;
}

void Call(const std::function<void()>& f) {
    if (f)
        f();
}

// The settings file becomes a copy of what was read from the chosen file
// (at most a block's worth: readers never look further).
void CopyOverSettingsFile(const ConfigurationBlock& chosen, const std::string& settingsPath) {
    platform::WriteBinaryFile(settingsPath, chosen.data(), chosen.GetValidLength());
}

}  // namespace

bool SaveConfiguration(platform::UserPrompts& prompts, const ApplicationState& app,
                       const DocumentSettings& document) {
    const std::optional<std::string> path = prompts.AskSavePath(ConfigurationDialog("Save Configuration As"));
    if (!path)
        return false;

    // Start from the settings as they stand, so the copy carries the fields
    // this command does not own (connector texts, calibration, units, EGG,
    // formant plot, recording forms) and loads back whole.
    ConfigurationBlock block;
    if (!block.TryRead(app.ConfigurationFilePath()) || !block.HasSignature())
        block = MakeDocumentDefaultBlock(app.settings, DocumentSettings::Reset());

    block.PutSignature();
    PutPlayGridChannel(block, app.settings);
    PutRoutingTexts(block, app.settings);
    PutChannelSetupArrays(block, app.settings.channelSetup);
    PutPlacements(block, app.settings);
    WriteSavedDocumentPart(block, document);

    try {
        block.Write(*path);
    } catch (const std::exception& e) {
        prompts.Message(platform::WithReason(kConfigurationSaveError, platform::FailureReason(e)),
                        platform::Buttons::Ok, platform::Icon::Error);
        return false;
    }
    return true;
}

bool LoadConfiguration(platform::UserPrompts& prompts, ApplicationState& app, DocumentSettings& document,
                       const ConfigurationWindowHooks& windows) {
    const std::optional<std::string> path = prompts.AskOpenPath(ConfigurationDialog("Load a Configuration file"));
    if (!path)
        return false;

    ConfigurationBlock block;
    if (!block.TryRead(*path) || !block.HasSignature()) {
        prompts.Message(kConfigurationReadError, platform::Buttons::Ok, platform::Icon::Error);
        return false;
    }

    ApplyLoadedApplicationPart(block, app.settings);
    ReadLoadedDocumentPart(block, document);

    try {
        CopyOverSettingsFile(block, app.ConfigurationFilePath());
        Call(windows.placeDocumentViews);
        Call(windows.placeStatusWindow);
        Call(windows.reloadRecordPlay);
        Call(windows.placeLogWindow);
    } catch (const std::exception& e) {
        prompts.Message(platform::WithReason(kConfigurationReadError, platform::FailureReason(e)),
                        platform::Buttons::Ok, platform::Icon::Error);
    }
    return true;
}

bool LoadConfigurationWithoutDocument(platform::UserPrompts& prompts, ApplicationState& app,
                                      const ConfigurationWindowHooks& windows) {
    const std::optional<std::string> path = prompts.AskOpenPath(ConfigurationDialog("Load a Configuration file"));
    if (!path)
        return false;
    try {
        ConfigurationBlock block;
        block.Read(*path);
        CopyOverSettingsFile(block, app.ConfigurationFilePath());
        Call(windows.placeStatusWindow);
        Call(windows.reloadRecordPlay);
        Call(windows.placeLogWindow);
    } catch (const std::exception&) {
        return false;
    }
    return true;
}

bool RevertToDefaultConfiguration(platform::UserPrompts& prompts, const ApplicationState& app,
                                  const std::function<bool()>& closeAllDocuments,
                                  const std::function<void()>& quit) {
    prompts.Beep();
    const platform::Answer answer =
        prompts.Message(kRevertQuestion, platform::Buttons::YesNoCancel, platform::Icon::Question);
    if (answer != platform::Answer::Yes)
        return false;

    // Documents write their placements back as they close, and the user may
    // keep one open from its save question: the file goes only after every
    // document has really closed.
    if (closeAllDocuments && !closeAllDocuments())
        return false;

    platform::RemoveFile(app.ConfigurationFilePath());
    Call(quit);
    return true;
}

}  // namespace vocomet
