#include "app/CommandEnabling.h"

namespace vocomet {

namespace {

// A channel index names a channel only inside the document's count; a
// stale index from a longer recording names nothing.
bool InRange(int index, int count) { return index >= 0 && index < count; }

}  // namespace

CommandUpdate UpdateViewCommand(ViewCommand command, const ViewCommandState& s) {
    const bool data = s.dataLoaded;
    const bool egg = data && InRange(s.eggChannel, s.channelCount);
    const bool eggResults = egg && s.eggCyclesValid;
    const bool clicked = data && InRange(s.clickedChannel, s.channelCount);
    const bool sel = s.selectionShown;
    const bool marker = s.markerShown;

    CommandUpdate u;
    switch (command) {
    case ViewCommand::FileSaveAsBmp:
    case ViewCommand::FileSaveScreenAsBmp:
    case ViewCommand::FilePrint:
    case ViewCommand::FilePrintPreview:
    case ViewCommand::EditSelectWindow:
    case ViewCommand::EditSelectAll:
    case ViewCommand::ZoomUnzoom:
    case ViewCommand::ZoomIn:
    case ViewCommand::ZoomHome:
    case ViewCommand::ChannelsSetReferenceAllToZero:
    case ViewCommand::RecordPlayPlayWindow:
    case ViewCommand::AnalysisSpectrogramAll:
    case ViewCommand::AnalysisSpectrogramWindow:
    case ViewCommand::AnalysisPitch:
    case ViewCommand::AnalysisIntensity:
    case ViewCommand::AnalysisSmooth:
    case ViewCommand::EggOption:
    case ViewCommand::LabelsViewLabels:
    case ViewCommand::OptionsDisplay:
    case ViewCommand::OptionsZoom:
    case ViewCommand::OptionsFftLpc:
    case ViewCommand::OptionsSpectrogram:
    case ViewCommand::OptionsPitch:
    case ViewCommand::OptionsIntensitySmooth:
    case ViewCommand::OptionsLog:
        u.enabled = data;
        break;
    case ViewCommand::EditUndo:
        // Not tied to data: a Cut of everything leaves no data, and its
        // undo copy is the way back.
        u.enabled = s.undoAvailable;
        break;
    case ViewCommand::EditCut:
    case ViewCommand::EditCopy:
    case ViewCommand::EditClearToReference:
    case ViewCommand::ZoomSelection:
    case ViewCommand::RecordPlayPlaySelection:
    case ViewCommand::AnalysisFftLpcSelection:
    case ViewCommand::AnalysisSpectrogramSelection:
        u.enabled = data && sel;
        break;
    case ViewCommand::EditPaste:
        // An empty document takes the clipboard whole; one with data needs
        // a place: the marker or the selection.
        u.enabled = s.clipboardFull && (!data || marker || sel);
        break;
    case ViewCommand::ZoomOut:
        u.enabled = data && s.canScroll;
        break;
    case ViewCommand::ZoomFromCursorForDuration:
    case ViewCommand::ChannelsSetReferenceAll:
    case ViewCommand::AnalysisFftLpc:
        u.enabled = data && marker;
        break;
    case ViewCommand::ChannelsSetReferenceForClickedChannel:
        u.enabled = clicked;
        u.text = clicked ? "Set Reference only for: " + s.clickedChannelName : std::string(kNoChannelClicked);
        break;
    case ViewCommand::AnalysisAverageSelectedChannel:
        u.enabled = clicked && s.documentSelection;
        u.text = u.enabled ? "Average Channel: " + s.clickedChannelName : std::string(kNoChannelClicked);
        break;
    case ViewCommand::RecordPlayRecord:
        u.enabled = s.neverSaved;
        break;
    case ViewCommand::RecordPlayPlayAll:
    case ViewCommand::OptionsCalibration:
        u.enabled = true;
        break;
    case ViewCommand::AnalysisAverageAllChannels:
        u.enabled = data && s.documentSelection;
        break;
    case ViewCommand::EggSetChannel:
        u.enabled = data;
        u.text = std::string("Assigned Channel for EGG: ") + (egg ? s.eggChannelName + "..." : "None...");
        break;
    case ViewCommand::EggAnalysisSelection:
        u.enabled = egg && sel;
        break;
    case ViewCommand::EggAnalysisAll:
        u.enabled = egg;
        break;
    case ViewCommand::LabelsMode:
        u.enabled = data;
        u.text = s.labelMode ? "Disable Label Entry Mode" : "Enable Label Entry Mode";
        break;
    case ViewCommand::LogEnterAtMarker:
        // A marker or a selection exists only in a view with data.
        u.enabled = s.logOpen && marker;
        break;
    case ViewCommand::LogEnterDuration:
    case ViewCommand::LogEnterDataSelection:
        u.enabled = s.logOpen && sel;
        break;
    case ViewCommand::LogEnterEggAtMarker:
        u.enabled = s.logOpen && marker && eggResults;
        break;
    case ViewCommand::LogEnterEggSelection:
        u.enabled = s.logOpen && sel && eggResults;
        break;
    case ViewCommand::LogEnterEggAll:
        u.enabled = s.logOpen && eggResults;
        break;
    case ViewCommand::OptionsRecordPlay:
        u.enabled = true;
        u.text = s.audioBoxPresent ? "Sonetta Play..." : "Record/Play...";
        break;
    }
    return u;
}

}  // namespace vocomet
