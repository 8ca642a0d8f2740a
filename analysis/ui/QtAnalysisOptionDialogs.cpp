#include "analysis/ui/QtAnalysisOptionDialogs.h"

#include <cmath>

#include "analysis/ui/COptionCalibration.h"
#include "analysis/ui/COptionEGG.h"
#include "analysis/ui/COptionEGGChannelAssign.h"
#include "analysis/ui/COptionFFTLPC.h"
#include "analysis/ui/COptionIntensitySmooth.h"
#include "analysis/ui/COptionLog.h"
#include "analysis/ui/COptionPitch.h"
#include "analysis/ui/COptionSpectrogram.h"
#include "analysis/ui/COptionZoom.h"

namespace vocomet {

std::optional<FftLpcSettings> QtAnalysisOptionDialogs::RunFftLpcOptions(const FftLpcSettings& values, double rate) {
    COptionFFTLPC dialog(m_prompts, m_parent);
    dialog.values = values;
    dialog.sampleRate = rate;
    if (dialog.DoModal() != QDialog::Accepted)
        return std::nullopt;
    return dialog.values;
}

std::optional<SpectrogramSettings> QtAnalysisOptionDialogs::RunSpectrogramOptions(const SpectrogramSettings& values,
                                                                                  double rate) {
    COptionSpectrogram dialog(m_prompts, m_parent);
    dialog.values = values;
    dialog.sampleRate = rate;
    if (dialog.DoModal() != QDialog::Accepted)
        return std::nullopt;
    return dialog.values;
}

std::optional<PitchSettings> QtAnalysisOptionDialogs::RunPitchOptions(const PitchSettings& values) {
    COptionPitch dialog(m_prompts, m_parent);
    dialog.values = values;
    if (dialog.DoModal() != QDialog::Accepted)
        return std::nullopt;
    return dialog.values;
}

std::optional<double> QtAnalysisOptionDialogs::RunZoomOptions(double zoomDurationMs) {
    COptionZoom dialog(m_prompts, m_parent);
    dialog.zoomMs = std::isfinite(zoomDurationMs) && std::fabs(zoomDurationMs) < 2147483647.0
                        ? static_cast<int>(zoomDurationMs)
                        : 0;
    if (dialog.DoModal() != QDialog::Accepted)
        return std::nullopt;
    return dialog.zoomMs;
}

std::optional<LogOptions> QtAnalysisOptionDialogs::RunLogOptions(const LogOptions& values) {
    COptionLog dialog(m_prompts, m_parent);
    dialog.values = values;
    if (dialog.DoModal() != QDialog::Accepted)
        return std::nullopt;
    return dialog.values;
}

bool QtAnalysisOptionDialogs::RunIntensitySmoothOptions(COrielDoc& document) {
    COptionIntensitySmooth dialog(m_prompts, m_parent);
    dialog.document = &document;
    return dialog.DoModal() == QDialog::Accepted;
}

bool QtAnalysisOptionDialogs::RunCalibrationOptions(COrielDoc& document) {
    COptionCalibration dialog(m_prompts, m_parent);
    dialog.document = &document;
    return dialog.DoModal() == QDialog::Accepted;
}

std::optional<EggOptions> QtAnalysisOptionDialogs::RunEggOptions(const EggOptions& values) {
    COptionEGG dialog(m_prompts, m_parent);
    dialog.values = values;
    if (dialog.DoModal() != QDialog::Accepted)
        return std::nullopt;
    return dialog.values;
}

std::optional<int> QtAnalysisOptionDialogs::RunEggChannelAssign(const std::vector<std::string>& channelNames,
                                                                int currentChannel) {
    COptionEGGChannelAssign dialog(m_prompts, m_parent);
    dialog.channelNames = channelNames;
    dialog.channel = currentChannel;
    if (dialog.DoModal() != QDialog::Accepted)
        return std::nullopt;
    return dialog.channel;
}

}  // namespace vocomet
