#include "app/TempFolder.h"

#include <filesystem>
#include <system_error>

#include "platform/BinaryFile.h"
#include "platform/File.h"

namespace fs = std::filesystem;

namespace vocomet {
namespace {

bool StoreAndCheck(platform::ProfileStore& profile, const std::string& folder) {
    if (!profile.WriteString(kProfileSection, kTempFolderKey, folder))
        return false;
    return profile.ReadString(kProfileSection, kTempFolderKey) == folder;
}

bool EnsureFolder(const std::string& folder) {
    std::error_code ec;
    if (fs::is_directory(folder, ec))
        return true;
    return fs::create_directories(folder, ec) && !ec;
}

}  // namespace

std::optional<std::string> SettleTempFolder(platform::ProfileStore& profile, platform::UserPrompts& prompts,
                                            const std::string& startFolder) {
    const std::string defaultFolder = (fs::path(startFolder) / "tmp").string();
    std::string folder;
    try {
        folder = profile.ReadString(kProfileSection, kTempFolderKey);
        if (folder.empty()) {
            folder = defaultFolder;
            if (!StoreAndCheck(profile, folder)) {
                prompts.Message(kRegistryUpdateFailed, platform::Buttons::Ok, platform::Icon::Error);
                return std::nullopt;
            }
        }
        if (!EnsureFolder(folder)) {
            prompts.Message(kTempFolderCreateFailed, platform::Buttons::Ok, platform::Icon::Error);
            return std::nullopt;
        }
        const std::string probe = (fs::path(folder) / "xxx").string();
        const char bytes[10] = {'V', 'o', 'c', 'o', 'm', 'e', 't', 0, 0, 0};
        platform::WriteBinaryFile(probe, bytes, sizeof bytes);
        platform::RemoveFile(probe);
        return folder;
    } catch (const std::exception&) {
        // The folder exists but cannot be written: let the user choose.
    }

    prompts.Message(kTempFolderNotAccessible, platform::Buttons::Ok, platform::Icon::Warning);
    std::optional<std::string> chosen = prompts.AskFolder(kChooseTempFolderTitle, folder);
    if (!chosen || chosen->empty()) {
        prompts.Message(kTempFolderRequired, platform::Buttons::Ok, platform::Icon::Error);
        return std::nullopt;
    }
    if (!StoreAndCheck(profile, *chosen)) {
        prompts.Message(kRegistryUpdateFailed, platform::Buttons::Ok, platform::Icon::Error);
        return std::nullopt;
    }
    if (!EnsureFolder(*chosen)) {
        prompts.Message(kTempFolderCreateFailed, platform::Buttons::Ok, platform::Icon::Error);
        return std::nullopt;
    }
    return chosen;
}

}  // namespace vocomet
