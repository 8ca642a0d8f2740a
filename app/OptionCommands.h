#pragma once
// The Options menu of the main view, without its widgets: what each command
// hands to its dialog, what it takes back into the document on OK, and the
// fields of the settings file it then patches so later documents start from
// the new values. Every patch goes through PatchConfigurationFile: a missing,
// short or foreign settings file is left alone and the document simply
// keeps its new values.
//
// UI thread only.

#include <string>

#include "analysis/AnalysisServices.h"
#include "core/ConfigurationBlock.h"
#include "core/DocumentSettings.h"

namespace vocomet {

class COrielDoc;

// ---- the fields each command writes -------------------------------------------

// Display: picture width and height (1056, 1064), track mouse (1072), time
// grid on and spacing (1076, 1080), colour (1084), inches (1088).
void PutDisplayOptions(ConfigurationBlock& block, const DocumentSettings& settings);
// FFT/LPC values 1 to 15 with the picture (1096-1171); not the log step.
void PutFftLpcOptions(ConfigurationBlock& block, const DocumentSettings& settings);
// Spectrogram 1496-1579 except show intensity (1556) and show labels (1560).
void PutSpectrogramOptions(ConfigurationBlock& block, const DocumentSettings& settings);
// Pitch 1584-1715.
void PutPitchOptions(ConfigurationBlock& block, const DocumentSettings& settings);
// Intensity window, step, mode, smoothing on and points of channels 0 to 15
// (1176-1495), whole numbers.
void PutIntensitySmoothOptions(ConfigurationBlock& block, const COrielDoc& doc);
// Entire-frame step (1172) and selection step (2760).
void PutLogOptions(ConfigurationBlock& block, const DocumentSettings& settings);
// Zoom span, whole ms (1092).
void PutZoomOptions(ConfigurationBlock& block, const DocumentSettings& settings);
// Calibration coefficients (1736-2247) and units (2248-2759) of channels 0
// to 15, whatever the channel count; units cut to their 32-byte field.
void PutCalibrationOptions(ConfigurationBlock& block, const COrielDoc& doc);

// ---- what goes into the dialogs and comes back ----------------------------------

// The pitch dialog edits whole numbers: the six doubles it shows truncated.
PitchSettings PitchDialogValues(const PitchSettings& settings);
// Takes the dialog's FFT/LPC values; the LPC order is stored even (13 -> 12)
// and the log step stays the document's.
void TakeFftLpcOptions(DocumentSettings& settings, const FftLpcSettings& values);
// Takes the spectrogram values; the LPC order is stored even.
void TakeSpectrogramOptions(DocumentSettings& settings, const SpectrogramSettings& values);

// ---- the commands: run the dialog, and on OK update the document and patch
// the settings file at path. True on OK (the document changed), whether or
// not the file could be patched.

bool FftLpcOptionsCommand(COrielDoc& doc, AnalysisOptionDialogs& dialogs, const std::string& path);
bool SpectrogramOptionsCommand(COrielDoc& doc, AnalysisOptionDialogs& dialogs, const std::string& path);
bool PitchOptionsCommand(COrielDoc& doc, AnalysisOptionDialogs& dialogs, const std::string& path);
bool ZoomOptionsCommand(COrielDoc& doc, AnalysisOptionDialogs& dialogs, const std::string& path);
bool LogOptionsCommand(COrielDoc& doc, AnalysisOptionDialogs& dialogs, const std::string& path);
bool IntensitySmoothOptionsCommand(COrielDoc& doc, AnalysisOptionDialogs& dialogs, const std::string& path);
// The calibration dialog stores and saves on its own OK; this only runs it.
bool CalibrationOptionsCommand(COrielDoc& doc, AnalysisOptionDialogs& dialogs);

// After the display dialog's OK: patches the display fields.
bool StoreDisplayOptionsToConfig(const std::string& path, const DocumentSettings& settings);
// What the calibration dialog's OK saves. False when nothing was written.
bool SaveCalibrationToConfig(const std::string& path, const COrielDoc& doc);

}  // namespace vocomet
