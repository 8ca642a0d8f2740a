#pragma once
// File > Save Configuration, Load Configuration and Revert To Default
// Configuration. They talk to the user through UserPrompts; what they need of
// the windows comes in as callbacks, so the menu wiring can stay with the
// frames.

#include <functional>

namespace platform {
class UserPrompts;
}

namespace vocomet {

struct ApplicationState;
struct DocumentSettings;

inline constexpr const char* kConfigurationSaveError = "Error in saving the configuration file.";
inline constexpr const char* kConfigurationReadError = "Error in reading the configuration file.";
inline constexpr const char* kRevertQuestion =
    "In order to revert to the default settings, Vocomet will be shut down and restarted.\n"
    "Would you like to contiue?";

// Re-placing the open windows after a configuration was loaded. Each
// callback may be empty; each one acts only when its window is open.
struct ConfigurationWindowHooks {
    std::function<void()> placeDocumentViews;  // every main waveform view of the document
    std::function<void()> placeStatusWindow;   // slot 6
    std::function<void()> reloadRecordPlay;    // reload settings, arrange, slot 7
    std::function<void()> placeLogWindow;      // slot 4
};

// Save Configuration: asks for a "*.cfg" path, then writes a block that
// starts from the current settings file (or, when that is missing or
// foreign, from the document defaults) with the signature, play-grid value,
// routing texts, ChannelSetup arrays, placements and the document's
// 1032-1735 put in. True when written; a failure shows
// "Error in saving the configuration file." with the system's reason.
bool SaveConfiguration(platform::UserPrompts& prompts, const ApplicationState& app,
                       const DocumentSettings& document);

// Load Configuration with a document open: asks for a "*.cfg" file, checks
// its signature, applies the application part and the document's 1032-1735
// to document, copies the file's bytes over the settings file and re-places
// the windows. A failure shows "Error in reading the configuration file."
// (nothing applied when the file cannot be read or is foreign; the system's
// reason follows when the settings file could not be written). Returns true
// when document was changed (the caller then applies it to its channels).
bool LoadConfiguration(platform::UserPrompts& prompts, ApplicationState& app, DocumentSettings& document,
                       const ConfigurationWindowHooks& windows);

// Load Configuration with no document open: copies the chosen file over the
// settings file without testing or applying it (it takes effect for later
// documents and the next start-up) and re-places the open tool windows from
// the placements in memory. Failures end the command silently. True when
// copied.
bool LoadConfigurationWithoutDocument(platform::UserPrompts& prompts, ApplicationState& app,
                                      const ConfigurationWindowHooks& windows);

// Revert To Default Configuration: beeps and asks; on Yes closes every
// document through closeAllDocuments (the usual save questions included;
// false when the user kept one open), and only then deletes the settings file
// and calls quit. The next start-up writes the defaults. True when the file
// was deleted and quit was called.
bool RevertToDefaultConfiguration(platform::UserPrompts& prompts, const ApplicationState& app,
                                  const std::function<bool()>& closeAllDocuments,
                                  const std::function<void()>& quit);

}  // namespace vocomet
