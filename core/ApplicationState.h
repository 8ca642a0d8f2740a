#pragma once
// The application's process-wide values, owned by the application object and
// passed to whatever needs them: the temp and start folders, the persisted
// application settings and the acquisition state.

#include <string>

#include "acquisition/AcquisitionState.h"
#include "core/ApplicationSettings.h"
#include "core/DocumentEdits.h"

namespace vocomet {

struct ApplicationState {
    std::string tempFolder;   // settled at start-up
    std::string startFolder;  // the current directory at start-up
    ApplicationSettings settings;
    AcquisitionState acquisition;
    int openFilterIndex = 1;  // the filter last chosen in File > Open
    // The clipboard of Copy, Cut and Paste, shared by every document.
    EditClipboard clipboard;

    // The settings file in the temp folder.
    std::string ConfigurationFilePath() const;
};

}  // namespace vocomet
