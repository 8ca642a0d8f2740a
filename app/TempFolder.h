#pragma once
// Settling the temp folder at start-up: the folder that holds the settings
// file, the scratch files, the undo copies and the clipboard files.

#include <optional>
#include <string>

#include "platform/ProfileStore.h"
#include "platform/UserPrompts.h"

namespace vocomet {

inline constexpr const char* kProfileSection = "General Strings Section";
inline constexpr const char* kTempFolderKey = "Temp Directory";

inline constexpr const char* kRegistryUpdateFailed =
    "Unable to update the system registry.\nPlease contact your system administrator and/or the vender.";
inline constexpr const char* kTempFolderNotAccessible =
    "Application was not able to access the default temperorily folder to read and write files. This function is "
    "necessary part of operation.\nThis may be due to not having enough access priviledges on your account.\nPlease "
    "select from the following box another suitable location, or contact your system administrator.";
inline constexpr const char* kTempFolderCreateFailed = "Error in creating a temp folder.\n";
inline constexpr const char* kTempFolderRequired = "Operation cannot continue without a temp folder.";
inline constexpr const char* kChooseTempFolderTitle = "Please select a temp folder.";

// Finds the temp folder: the stored one, else startFolder + "/tmp" (stored
// for next time); creates it when missing and checks that a file can be
// written there. When that fails the user picks another folder. Returns the
// folder, or nothing when start-up cannot go on (the user has been told).
std::optional<std::string> SettleTempFolder(platform::ProfileStore& profile, platform::UserPrompts& prompts,
                                            const std::string& startFolder);

}  // namespace vocomet
