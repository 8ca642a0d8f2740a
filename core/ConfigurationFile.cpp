#include "core/ConfigurationFile.h"

#include <exception>

#include "core/ApplicationSettings.h"
#include "core/DocumentSettings.h"

namespace vocomet {

namespace {

bool TryWrite(const ConfigurationBlock& block, const std::string& path) {
    try {
        block.Write(path);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace

bool PatchConfigurationFile(const std::string& path, const std::function<void(ConfigurationBlock&)>& patch) {
    ConfigurationBlock block;
    if (!block.TryRead(path) || block.GetValidLength() != cfg::kBlockSize || !block.HasSignature())
        return false;
    const ConfigurationBlock before = block;
    patch(block);
    if (block == before)
        return true;
    return TryWrite(block, path);
}

bool LoadConfigurationBlock(const std::string& path, ApplicationSettings& app) {
    ConfigurationBlock block;
    block.TryRead(path);
    if (!block.HasSignature())
        return WriteDefaultConfigurationBlock(path, block, app);
    ReadStartupApplicationPart(block, app);
    return true;
}

void FillStartupDefaults(ConfigurationBlock& block, const ApplicationSettings& app) {
    block.PutSignature();
    PutPlayGridChannel(block, app);
    PutRoutingTexts(block, app);
    PutRecordPlaySetting(block, app);
    PutChannelSetupArrays(block, app.channelSetup);
    PutConnectorTexts(block, app.channelSetup);
    PutPlacements(block, app);
    WriteDocumentPart(block, DocumentSettings::StartDefaults(app.currentSampleRate));
    PutRecordingFormSettings(block, app);
}

bool WriteDefaultConfigurationBlock(const std::string& path, ConfigurationBlock& block,
                                    const ApplicationSettings& app) {
    FillStartupDefaults(block, app);
    return TryWrite(block, path);
}

bool WriteExitConfiguration(const std::string& path, const ApplicationSettings& app) {
    return PatchConfigurationFile(path, [&](ConfigurationBlock& block) {
        block.PutSignature();
        PutPlayGridChannel(block, app);
        PutRoutingTexts(block, app);
        PutRecordPlaySetting(block, app);
        PutRecordingFormSettings(block, app);
    });
}

bool WriteClosingPlacements(const std::string& path, const ApplicationSettings& app) {
    return PatchConfigurationFile(path, [&](ConfigurationBlock& block) {
        block.PutSignature();
        PutPlacements(block, app);
    });
}

ConfigurationBlock MakeDocumentDefaultBlock(const ApplicationSettings& app, const DocumentSettings& settings) {
    ConfigurationBlock block;
    block.PutSignature();
    PutPlayGridChannel(block, app);
    PutRoutingTexts(block, app);
    PutRecordPlaySetting(block, app);
    PutChannelSetupArrays(block, app.channelSetup);
    PutPlacements(block, app);
    WriteDocumentPart(block, settings);
    PutRecordingFormSettings(block, app);
    return block;
}

bool WriteDefaultConfiguration(const std::string& path, const ApplicationSettings& app, DocumentSettings& settings) {
    settings.ResetSettings();
    return TryWrite(MakeDocumentDefaultBlock(app, settings), path);
}

bool ReadDocumentConfiguration(const std::string& path, const ApplicationSettings& app, DocumentSettings& settings) {
    ConfigurationBlock block;
    if (block.TryRead(path) && block.HasSignature()) {
        ReadDocumentPart(block, settings);
        return true;
    }
    WriteDefaultConfiguration(path, app, settings);
    return false;
}

}  // namespace vocomet
