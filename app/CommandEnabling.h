#pragma once
// Whether each command of the main waveform view is enabled, and the menu
// text of those whose text follows the state. One function of a snapshot
// of the view's, the document's and the application's state, so that
// every menu and toolbar update asks the same question the same way, and
// commands that arrive later (analysis windows, recording, playback) take
// their rule from here too.
//
// No state is kept and nothing is changed: the caller fills the snapshot,
// asks, and applies the answer to its menu items.

#include <optional>
#include <string>

namespace vocomet {

// The main view's commands, by menu.
enum class ViewCommand {
    FileSaveAsBmp,
    FileSaveScreenAsBmp,  // also File > Print Screen...
    FilePrint,
    FilePrintPreview,
    EditUndo,
    EditCut,
    EditCopy,
    EditPaste,
    EditClearToReference,
    EditSelectWindow,
    EditSelectAll,
    ZoomUnzoom,
    ZoomIn,
    ZoomOut,
    ZoomSelection,
    ZoomFromCursorForDuration,
    ZoomHome,
    ChannelsSetReferenceAll,
    ChannelsSetReferenceForClickedChannel,
    ChannelsSetReferenceAllToZero,
    RecordPlayRecord,
    RecordPlayPlayAll,
    RecordPlayPlaySelection,
    RecordPlayPlayWindow,
    AnalysisFftLpc,
    AnalysisFftLpcSelection,
    AnalysisSpectrogramAll,
    AnalysisSpectrogramSelection,
    AnalysisSpectrogramWindow,
    AnalysisPitch,
    AnalysisIntensity,
    AnalysisSmooth,
    AnalysisAverageAllChannels,
    AnalysisAverageSelectedChannel,
    EggSetChannel,
    EggOption,
    EggAnalysisSelection,
    EggAnalysisAll,
    LabelsMode,
    LabelsViewLabels,
    LogEnterAtMarker,
    LogEnterDuration,
    LogEnterDataSelection,
    LogEnterEggAtMarker,
    LogEnterEggSelection,
    LogEnterEggAll,
    OptionsDisplay,
    OptionsRecordPlay,
    OptionsZoom,
    OptionsFftLpc,
    OptionsSpectrogram,
    OptionsPitch,
    OptionsIntensitySmooth,
    OptionsLog,
    OptionsCalibration,
};
inline constexpr int kViewCommandCount = static_cast<int>(ViewCommand::OptionsCalibration) + 1;

// What the rules read.
struct ViewCommandState {
    bool dataLoaded = false;
    bool neverSaved = true;
    bool documentSelection = false;  // the document's selection flag
    int channelCount = 0;
    int eggChannel = -1;             // as the settings say; checked against channelCount
    std::string eggChannelName;      // the name of that slot
    bool eggCyclesValid = false;     // the EGG channel's cycle analysis holds results
    bool selectionShown = false;
    bool markerShown = false;
    bool canScroll = false;
    bool undoAvailable = false;      // an undo copy is there that a restore can read
    bool labelMode = false;
    int clickedChannel = -1;
    std::string clickedChannelName;
    bool clipboardFull = false;
    bool logOpen = false;
    bool audioBoxPresent = false;
};

struct CommandUpdate {
    bool enabled = false;
    // The menu text, for the commands whose text follows the state; set on
    // every update, enabled or not.
    std::optional<std::string> text;
};

inline constexpr const char* kNoChannelClicked = "No channel is clicked";

CommandUpdate UpdateViewCommand(ViewCommand command, const ViewCommandState& state);

}  // namespace vocomet
