#include "app/OptionCommands.h"

#include <cmath>
#include <cstdint>
#include <optional>

#include "analysis/AnalysisLimits.h"
#include "core/COrielDoc.h"
#include "core/ConfigurationFile.h"

namespace vocomet {

namespace {

// A double kept in an int field: truncated toward zero, within the int range.
std::int32_t WholeInt(double v) {
    if (std::isnan(v))
        return 0;
    if (v >= 2147483647.0)
        return 2147483647;
    if (v <= -2147483648.0)
        return -2147483647 - 1;
    return static_cast<std::int32_t>(v);
}

bool Patch(const std::string& path, const std::function<void(ConfigurationBlock&)>& patch) {
    return PatchConfigurationFile(path, patch);
}

}  // namespace

// ---- fields -------------------------------------------------------------------

void PutDisplayOptions(ConfigurationBlock& block, const DocumentSettings& s) {
    const platform::ByteSpan b = block.Span();
    const DisplaySettings& d = s.display;
    b.F64LE(cfg::kDisplayPictureAt, d.pictureWidth);
    b.F64LE(cfg::kDisplayPictureAt + 8, d.pictureHeight);
    b.I32LE(cfg::kDisplayMouseReadoutAt, d.mouseReadout);  // track mouse
    b.I32LE(cfg::kDisplayFourthAt, d.fourth);              // time grid on
    b.I32LE(cfg::kDisplayFifthAt, d.fifth);                // its spacing, ms
    b.I32LE(cfg::kDisplaySixthAt, d.sixth);                // colour
    b.I32LE(cfg::kDisplayFirstAt, d.first);                // inches
}

void PutFftLpcOptions(ConfigurationBlock& block, const DocumentSettings& s) {
    const platform::ByteSpan b = block.Span();
    const FftLpcSettings& f = s.fftLpc;
    for (int i = 0; i < 8; ++i)
        b.I32LE(cfg::kFftIntsAAt + 4 * i, f.values[static_cast<std::size_t>(i)]);
    b.F64LE(cfg::kFftPictureAt, f.pictureWidth);
    b.F64LE(cfg::kFftPictureAt + 8, f.pictureHeight);
    // Values 9 to 15; value 16 (1172) belongs to the log options.
    for (int i = 8; i < 15; ++i)
        b.I32LE(cfg::kFftIntsBAt + 4 * (i - 8), f.values[static_cast<std::size_t>(i)]);
}

void PutSpectrogramOptions(ConfigurationBlock& block, const DocumentSettings& s) {
    const platform::ByteSpan b = block.Span();
    const SpectrogramSettings& g = s.spectrogram;
    for (int i = 0; i < 4; ++i)
        b.I32LE(cfg::kSpectroIntsAAt + 4 * i, g.values[static_cast<std::size_t>(i)]);
    b.F64LE(cfg::kSpectroPreEmphasisAt, g.preEmphasis);
    for (int i = 4; i < 7; ++i)
        b.I32LE(cfg::kSpectroIntsBAt + 4 * (i - 4), g.values[static_cast<std::size_t>(i)]);
    b.F64LE(cfg::kSpectroPictureAt, g.pictureWidth);
    b.F64LE(cfg::kSpectroPictureAt + 8, g.pictureHeight);
    // Show audio; show intensity (1556) and show labels (1560) stay with the
    // document only.
    b.I32LE(cfg::kSpectroIntsCAt, g.values[7]);
    for (int i = 10; i < 14; ++i)
        b.I32LE(cfg::kSpectroIntsCAt + 4 * (i - 7), g.values[static_cast<std::size_t>(i)]);
}

void PutPitchOptions(ConfigurationBlock& block, const DocumentSettings& s) {
    const platform::ByteSpan b = block.Span();
    const PitchSettings& p = s.pitch;
    for (int i = 0; i < 4; ++i) {
        b.F64LE(cfg::kPitchDoublesAAt + 8 * i, p.doubles[static_cast<std::size_t>(i)]);
        b.F64LE(cfg::kPitchDoublesBAt + 8 * i, p.doubles[static_cast<std::size_t>(4 + i)]);
    }
    for (int i = 0; i < 7; ++i)
        b.I32LE(cfg::kPitchIntsAAt + 4 * i, p.ints[static_cast<std::size_t>(i)]);
    b.F64LE(cfg::kPitchPictureAt, p.pictureWidth);
    b.F64LE(cfg::kPitchPictureAt + 8, p.pictureHeight);
    for (int i = 0; i < 5; ++i)
        b.I32LE(cfg::kPitchIntsBAt + 4 * i, p.ints[static_cast<std::size_t>(7 + i)]);
}

void PutIntensitySmoothOptions(ConfigurationBlock& block, const COrielDoc& doc) {
    const platform::ByteSpan b = block.Span();
    for (int i = 0; i < cfg::kSettingsChannels; ++i) {
        const CChannels& c = doc.Channel(i);
        b.I32LE(cfg::kIntensityWindowAt + 4 * i, WholeInt(c.intensityWindow));
        b.I32LE(cfg::kIntensityStepAt + 4 * i, WholeInt(c.intensityStep));
        b.I32LE(cfg::kIntensityModeAt + 4 * i, c.relativeIntensity);
        b.I32LE(cfg::kSmoothingSwitchAt + 4 * i, c.smoothingOn);
        b.I32LE(cfg::kSmoothingPointsAt + 4 * i, WholeInt(c.smoothingPoints));
    }
}

void PutLogOptions(ConfigurationBlock& block, const DocumentSettings& s) {
    const platform::ByteSpan b = block.Span();
    b.I32LE(cfg::kFftIntsBAt + 4 * 7, s.fftLpc.values[FftLpcSettings::kLogOption]);
    b.F64LE(cfg::kLogStepAt, s.logSelectionStep);
}

void PutZoomOptions(ConfigurationBlock& block, const DocumentSettings& s) {
    block.Span().I32LE(cfg::kZoomAt, WholeInt(s.zoomDuration));
}

void PutCalibrationOptions(ConfigurationBlock& block, const COrielDoc& doc) {
    const platform::ByteSpan b = block.Span();
    for (int i = 0; i < cfg::kSettingsChannels; ++i) {
        const CChannels& c = doc.Channel(i);
        b.F64LE(cfg::kCalibrationX3At + 8 * i, c.calA);
        b.F64LE(cfg::kCalibrationX2At + 8 * i, c.calB);
        b.F64LE(cfg::kCalibrationX1At + 8 * i, c.calC);
        b.F64LE(cfg::kCalibrationX0At + 8 * i, c.calD);
        // At most 31 bytes and a NUL, within the field.
        b.Text(cfg::kUnitAt + cfg::kUnitSize * i, cfg::kUnitSize, c.unit);
    }
}

// ---- values ---------------------------------------------------------------------

PitchSettings PitchDialogValues(const PitchSettings& settings) {
    PitchSettings v = settings;
    for (int i : {0, 1, 2, 3, 4, 5})
        v.doubles[static_cast<std::size_t>(i)] = WholeInt(settings.doubles[static_cast<std::size_t>(i)]);
    return v;
}

void TakeFftLpcOptions(DocumentSettings& settings, const FftLpcSettings& values) {
    const int logStep = settings.fftLpc.values[FftLpcSettings::kLogOption];
    settings.fftLpc = values;
    settings.fftLpc.values[FftLpcSettings::kLogOption] = logStep;
    int& order = settings.fftLpc.values[FftLpcSettings::kLpcOrder];
    order = order / 2 * 2;
    settings.fftLpc.values[FftLpcSettings::kPoints] = FftPointsOfIndex(settings.fftLpc.values[0]);
}

void TakeSpectrogramOptions(DocumentSettings& settings, const SpectrogramSettings& values) {
    settings.spectrogram = values;
    int& order = settings.spectrogram.values[SpectrogramSettings::kLpcOrder];
    order = order / 2 * 2;
    settings.spectrogram.values[SpectrogramSettings::kPoints] = FftPointsOfIndex(settings.spectrogram.values[1]);
}

// ---- commands ---------------------------------------------------------------------

bool FftLpcOptionsCommand(COrielDoc& doc, AnalysisOptionDialogs& dialogs, const std::string& path) {
    const std::optional<FftLpcSettings> v = dialogs.RunFftLpcOptions(doc.settings.fftLpc, doc.settings.sampleRate);
    if (!v)
        return false;
    TakeFftLpcOptions(doc.settings, *v);
    Patch(path, [&](ConfigurationBlock& b) { PutFftLpcOptions(b, doc.settings); });
    return true;
}

bool SpectrogramOptionsCommand(COrielDoc& doc, AnalysisOptionDialogs& dialogs, const std::string& path) {
    const std::optional<SpectrogramSettings> v =
        dialogs.RunSpectrogramOptions(doc.settings.spectrogram, doc.settings.sampleRate);
    if (!v)
        return false;
    TakeSpectrogramOptions(doc.settings, *v);
    Patch(path, [&](ConfigurationBlock& b) { PutSpectrogramOptions(b, doc.settings); });
    return true;
}

bool PitchOptionsCommand(COrielDoc& doc, AnalysisOptionDialogs& dialogs, const std::string& path) {
    const std::optional<PitchSettings> v = dialogs.RunPitchOptions(PitchDialogValues(doc.settings.pitch));
    if (!v)
        return false;
    // The dialog's whole numbers come back as doubles.
    doc.settings.pitch = PitchDialogValues(*v);
    Patch(path, [&](ConfigurationBlock& b) { PutPitchOptions(b, doc.settings); });
    return true;
}

bool ZoomOptionsCommand(COrielDoc& doc, AnalysisOptionDialogs& dialogs, const std::string& path) {
    const std::optional<double> v = dialogs.RunZoomOptions(WholeInt(doc.settings.zoomDuration));
    if (!v)
        return false;
    doc.settings.zoomDuration = WholeInt(*v);
    Patch(path, [&](ConfigurationBlock& b) { PutZoomOptions(b, doc.settings); });
    return true;
}

bool LogOptionsCommand(COrielDoc& doc, AnalysisOptionDialogs& dialogs, const std::string& path) {
    LogOptions in;
    in.frameStepHz = doc.settings.fftLpc.values[FftLpcSettings::kLogOption];
    in.selectionStepMs = doc.settings.logSelectionStep;
    const std::optional<LogOptions> v = dialogs.RunLogOptions(in);
    if (!v)
        return false;
    doc.settings.fftLpc.values[FftLpcSettings::kLogOption] = v->frameStepHz;
    doc.settings.logSelectionStep = v->selectionStepMs;
    Patch(path, [&](ConfigurationBlock& b) { PutLogOptions(b, doc.settings); });
    return true;
}

bool IntensitySmoothOptionsCommand(COrielDoc& doc, AnalysisOptionDialogs& dialogs, const std::string& path) {
    if (!dialogs.RunIntensitySmoothOptions(doc))
        return false;
    Patch(path, [&](ConfigurationBlock& b) { PutIntensitySmoothOptions(b, doc); });
    return true;
}

bool CalibrationOptionsCommand(COrielDoc& doc, AnalysisOptionDialogs& dialogs) {
    return dialogs.RunCalibrationOptions(doc);
}

bool StoreDisplayOptionsToConfig(const std::string& path, const DocumentSettings& settings) {
    return Patch(path, [&](ConfigurationBlock& b) { PutDisplayOptions(b, settings); });
}

bool SaveCalibrationToConfig(const std::string& path, const COrielDoc& doc) {
    return Patch(path, [&](ConfigurationBlock& b) { PutCalibrationOptions(b, doc); });
}

}  // namespace vocomet
