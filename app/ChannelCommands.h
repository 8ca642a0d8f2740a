#pragma once
// The channel commands of the main view without their widgets: averaging,
// smoothing and intensity (Analysis), the references (Channels), Clear to
// Reference (Edit) and the EGG commands. Each works on the document and the
// view's undo copy and says whether the view must be redrawn.
//
// Averaging, smoothing and intensity run through the document's progress
// window (COrielDoc::MakeProgress, opened after the question and the undo
// copy) and stop when it asks to abort, leaving every channel as it was.
//
// UI thread only.

#include <functional>
#include <string>

#include "analysis/AnalysisServices.h"
#include "core/ConfigurationBlock.h"
#include "platform/UserPrompts.h"

namespace vocomet {

class COrielDoc;
class CChannels;
class EditSession;

inline constexpr const char* kReplaceDataQuestion =
    "This operation will replace the existing data.\nDo you wish to save this data first?";  // 61489
inline constexpr const char* kAveragingFailed = " Averaging function failed ";
inline constexpr const char* kSmoothFailed = " Smooth function failed ";
inline constexpr const char* kIntensityFailed = " Intensity function failed ";
inline constexpr const char* kAveragingProgressText = "Averaging";
inline constexpr const char* kSmoothProgressText = "Smoothing";
inline constexpr const char* kIntensityProgressText = "Intensity";
inline constexpr const char* kFileBackedRefused =
    "The samples of this recording are read from its data file and cannot be changed here.";

// Runs the document's Save As; true when the recording was written.
using SaveAsFunction = std::function<bool()>;

// The question before data is replaced: true to go on (No, or Yes and the
// recording was saved). Cancel, and a Save As that is cancelled or fails,
// stop the command.
bool AskSaveBeforeReplacing(platform::UserPrompts& prompts, const SaveAsFunction& saveAs);

// Analysis > Average All Channels (channel -1) or Average Selected channel:
// each channel's selection replaced by its mean. True when samples changed;
// false, the samples as they were, on a cancel or a failure.
bool AverageChannels(COrielDoc& doc, EditSession& edits, int channel, const SaveAsFunction& saveAs);
// Analysis > Smooth on every channel whose smoothing is on.
bool SmoothChannels(COrielDoc& doc, EditSession& edits, const SaveAsFunction& saveAs);
// Analysis > Intensity on every channel, turning its drawing on. False,
// every channel's curve as it was, on a cancel or a failure.
bool ComputeIntensities(COrielDoc& doc);

// Channels > Set Reference All (audio channels skipped), Set Reference All
// to Zero, Set Reference for Clicked Channel; valid intensities follow.
void SetReferenceAll(COrielDoc& doc);
void SetReferenceAllToZero(COrielDoc& doc);
bool SetReferenceForChannel(COrielDoc& doc, int channel);
// Edit > Clear to Reference: every channel's selected samples [start, end)
// := its reference. True when the document changed.
bool ClearToReference(COrielDoc& doc, EditSession& edits);

// The EGG channel when it names a channel of the document, else -1.
int ValidEggChannel(const COrielDoc& doc);
// EGG > Analysis All / Analysis Selection: acceleration, then the cycles;
// peaks, valleys and threshold marks shown. True when it ran.
bool EggAnalysis(COrielDoc& doc, bool selectionOnly);
// The EGG fields 2840-2868 of the settings file from a channel.
void PutEggOptions(ConfigurationBlock& block, const CChannels& egg);
// EGG > Option...: true on OK (the channel changed).
bool EggOptionsCommand(COrielDoc& doc, AnalysisOptionDialogs& dialogs, const std::string& path);
// EGG > SetChannel: true on OK.
bool EggSetChannelCommand(COrielDoc& doc, AnalysisOptionDialogs& dialogs, const std::string& path);

}  // namespace vocomet
