#pragma once
// The analysis option dialogs as the headless option commands see them:
// each Run call builds the dialog, fills it, runs it modally and hands the
// values back on OK.

#include <QPointer>
#include <QWidget>

#include "analysis/AnalysisServices.h"

namespace platform {
class UserPrompts;
}

namespace vocomet {

class QtAnalysisOptionDialogs final : public AnalysisOptionDialogs {
public:
    QtAnalysisOptionDialogs(QWidget* parent, platform::UserPrompts& prompts) : m_parent(parent), m_prompts(prompts) {}

    std::optional<FftLpcSettings> RunFftLpcOptions(const FftLpcSettings& values, double rate) override;
    std::optional<SpectrogramSettings> RunSpectrogramOptions(const SpectrogramSettings& values, double rate) override;
    std::optional<PitchSettings> RunPitchOptions(const PitchSettings& values) override;
    std::optional<double> RunZoomOptions(double zoomDurationMs) override;
    std::optional<LogOptions> RunLogOptions(const LogOptions& values) override;
    bool RunIntensitySmoothOptions(COrielDoc& document) override;
    bool RunCalibrationOptions(COrielDoc& document) override;
    std::optional<EggOptions> RunEggOptions(const EggOptions& values) override;
    std::optional<int> RunEggChannelAssign(const std::vector<std::string>& channelNames, int currentChannel) override;

private:
    QPointer<QWidget> m_parent;
    platform::UserPrompts& m_prompts;
};

}  // namespace vocomet
