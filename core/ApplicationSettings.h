#pragma once
// The application's persisted settings: routing texts, the ChannelSetup
// records, the placements of the eleven kinds of window, the recording-form
// settings and the play-grid and record/play values; and the routines that
// move them between memory and the settings block.

#include <array>
#include <string>

#include "core/ChannelSetup.h"
#include "platform/WinTypes.h"

namespace vocomet {

class ConfigurationBlock;

// A window's normal-position placement: left, top and then width and height
// (right and bottom for the log, status and record/play windows). All zero
// means the window has never been placed.
using WindowPlacement = std::array<int, 4>;
inline bool IsUnplaced(const WindowPlacement& p) { return p[0] == 0 && p[1] == 0 && p[2] == 0 && p[3] == 0; }

enum PlacementSlot : int {
    kPlacementMainChild = 0,
    kPlacementFftLpc = 1,
    kPlacementSpectrogram = 2,
    kPlacementPitch = 3,
    kPlacementLog = 4,          // left, top, right, bottom
    kPlacementLabelList = 5,
    kPlacementStatus = 6,       // left, top, right, bottom
    kPlacementRecordPlay = 7,   // left, top (size fixed)
    kPlacementScope = 8,
    kPlacementRecordForms = 9,  // record-and-scope and sixteen-channel record frames
    kPlacementFormantPlot = 10,
    kPlacementCount = 11,
};

// The log, status and record/play windows float over the desktop and store
// screen coordinates; the others live in the main frame's window area and
// store coordinates within it.
inline bool IsFloatingPlacement(int slot) {
    return slot == kPlacementLog || slot == kPlacementStatus || slot == kPlacementRecordPlay;
}

// A placed window narrower or lower than this cannot be used (no room for its
// caption and controls): such a placement is taken as never placed.
inline constexpr int kMinPlacedSide = 50;
// The record/play window's size, which its placement does not decide.
inline constexpr int kRecordPlayPlacedWidth = 450;
inline constexpr int kRecordPlayPlacedHeight = 300;

// The placement a window of slot may open at, on a desktop whose available
// rectangle (screen pixels) is desktop: all zero stays all zero; a size below
// kMinPlacedSide or turned inside out (damaged or foreign numbers) gives all
// zero, so the window takes its default; a size larger than the desktop is
// cut to it; a window reaching past the desktop's edges, or off it, is moved
// back onto it. A floating window is kept on desktop itself, one in
// the main frame's window area on a rectangle of the desktop's size at 0, 0
// (the area is never larger). An empty desktop leaves the placement alone.
WindowPlacement PlacementOnDesktop(int slot, const WindowPlacement& stored, const platform::Rect& desktop);

// The seventeen recording-form ints, in block order. Their meaning belongs
// to the recording forms.
enum RecordingFormSetting : int {
    kFormAudioBoxRate = 0,
    kFormAudioBoxChannels,
    kFormInputSourceIndex,
    kFormGainValue,
    kFormGainIndex,
    kFormPhantomPower,
    kFormBalance,
    kFormScopeFftPoints,
    kFormScopeRangeDb,
    kFormScopeValue,
    kFormScopeDisplayMode,
    kFormDspSetupValue,
    kFormTalkThrough,
    kFormRecordPlayGainIndex,
    kFormRecordPlayValue,
    kFormPlayAttenuation,
    kFormPlayRoute,
    kRecordingFormSettingCount,
};
using RecordingFormSettings = std::array<int, kRecordingFormSettingCount>;
inline constexpr RecordingFormSettings kInitialRecordingFormSettings{22050, 1, 0, 300, 4, 0, 1, 128, 60,
                                                                     10000, 1, 0, 0, 0, 1, 1023, 1};

inline constexpr const char* kInputMic = "Mic";
inline constexpr const char* kInputLine = "Line";
inline constexpr const char* kOutputComputer = "Computer";
inline constexpr const char* kOutputExternal = "External Hardware";

struct ApplicationSettings {
    int playGridChannel = 5;           // channel choice of the record/play form's play grid
    std::string inputSource = kInputMic;
    std::string outputRoute = kOutputExternal;  // "Computer" once start-up has run
    int recordPlaySetting = 3;         // a record/play form setting
    ChannelSetupArray channelSetup{};
    std::array<WindowPlacement, kPlacementCount> placements{};
    RecordingFormSettings recordingForm = kInitialRecordingFormSettings;
    double currentSampleRate = 22050.0;  // rate of the last opened file or recording
    // Not stored: the desktop's available rectangle, which the shell sets
    // from the screen before any settings are read. The placements read from
    // a settings file are kept on it (PlacementOnDesktop); while it is empty
    // they are taken as they are.
    platform::Rect desktop{};
};

// The routing texts as the reads accept them: "Mic" or "Line" (else "Mic"),
// "Computer" or "External Hardware" (else "Computer").
std::string AcceptedInputSource(const std::string& text);
std::string AcceptedOutputRoute(const std::string& text);

// --- reading ---------------------------------------------------------------

// The start-up read of the application part: routing texts, connector texts
// (empty ones become "Mask"), the four ChannelSetup arrays (a gain the record
// forms do not offer becomes 200 for element 0 and 1 for the others; every
// rate becomes 22050 and every filter cutoff 8000), the placements, the
// recording-form settings (a value outside what its form offers takes its
// value of kInitialRecordingFormSettings) and the current sample rate (taken
// only from 1 Hz to the int range). The play-grid and record/play values are
// not read. A field the file did not reach keeps its value in memory. The
// placements are kept on settings.desktop.
void ReadStartupApplicationPart(const ConfigurationBlock& block, ApplicationSettings& settings);

// What Load Configuration applies to the application: the play-grid value,
// the routing texts as at start-up, ChannelSetup elements 0 to 16 (enabled
// always; a rate only from 1000 to 45000, a cutoff only from 0 to 8000, a
// gain only from 0 to 350, else the element keeps its value) and the
// placements, kept on settings.desktop. Connector texts are not taken.
void ApplyLoadedApplicationPart(const ConfigurationBlock& block, ApplicationSettings& settings);

// --- writing (each puts in only its own fields) -----------------------------

void PutPlayGridChannel(ConfigurationBlock& block, const ApplicationSettings& settings);     // 16
void PutRoutingTexts(ConfigurationBlock& block, const ApplicationSettings& settings);        // 20-35, 36-67
void PutRecordPlaySetting(ConfigurationBlock& block, const ApplicationSettings& settings);   // 68
void PutChannelSetupArrays(ConfigurationBlock& block, const ChannelSetupArray& setup);       // 72-343
void PutConnectorTexts(ConfigurationBlock& block, const ChannelSetupArray& setup);           // 344-599
void PutPlacements(ConfigurationBlock& block, const ApplicationSettings& settings);          // 856-1031
void PutRecordingFormSettings(ConfigurationBlock& block, const ApplicationSettings& settings);  // 2768-2835

}  // namespace vocomet
