#pragma once
// What the document, the main view and the shell use of the analysis
// windows: the window, pane and option-dialog classes they create or hold,
// and the calls they make on them. The windows themselves are widgets and
// live in analysis/ui; the abstract classes here are the part of their
// contract that headless code can reach. Each window class implements the
// matching interface.
//
// Threading: everything here runs on the user-interface thread.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/DocumentSettings.h"
#include "platform/File.h"
#include "platform/SampleBlock.h"
#include "platform/WinTypes.h"

namespace vocomet {

class COrielDoc;
class ChannelSampleSource;

// Frames, views and panes of the analysis windows (widgets, analysis/ui).
class CFFTLPCFrame;
class CFFTLPCView;
class CPitchFrame;
class CPitchView;
class CPitchPane;
class CSpectrogramFrame;
class CSpectrogramView;
class CSpectrogramPane;
class CFormPlotFormantFrame;
class CFormPlotFormantView;

// Option dialogs (widgets, analysis/ui).
class COptionFFTLPC;
class COptionSpectrogram;
class COptionPitch;
class COptionZoom;
class COptionLog;
class COptionIntensitySmooth;
class COptionCalibration;
class COptionEGG;
class COptionEGGChannelAssign;

// An analysis window or its view could not be made.
inline constexpr const char* kCannotCreateView = "Error in creating the requested view.";

// The source flag of a mirrored mouse event: 0 when the event comes from
// another window, which passes its own cursor time with it.
inline constexpr int kMouseFromOtherWindow = 0;

// Mouse events mirrored between the main view and the pitch and
// spectrogram panes. flags are the button and key state of the event.
class MouseMirror {
public:
    virtual ~MouseMirror() = default;
    // Stops the pane's playback; with source 0 puts the cursor and the
    // selection anchor at timeMs instead of at the point.
    virtual void BeginMouseSelection(unsigned flags, platform::Point point, double timeMs, int source) = 0;
    // Releases the capture, closes the rubber band and redraws.
    virtual void EndMouseSelection(unsigned flags, platform::Point point, double timeMs, int source) = 0;
    // Moves the cursor; with the left button down drags the selection.
    virtual void TrackMouse(unsigned flags, platform::Point point, double timeMs, int source) = 0;
};

// A drawing pane of the pitch or spectrogram window.
class AnalysisPane : public MouseMirror {
public:
    // Writing 1 makes the next paint rebuild the pane's picture.
    virtual void SetRedrawFlag(int flag) = 0;
    virtual void Invalidate() = 0;
};

class PitchPaneService : public AnalysisPane {
public:
    // Selects a channel of the document (its samples, rate and length and
    // the document's pitch settings); the range becomes the whole channel.
    // The caller then sets the redraw flag and invalidates the pane.
    virtual void SetChannel(int channel) = 0;
};

class SpectrogramPaneService : public AnalysisPane {
public:
    // With source 0 the mirrored time is clamped to the pane's shown range.
};

// The FFT/LPC window's view.
class FftLpcViewService {
public:
    virtual ~FftLpcViewService() = default;
    // Stores the data and settings, computes and redraws. A top frequency
    // above (int(rate) / 2000) * 1000 or an LPC order above
    // int(rate / 2000 * 2 + 10) is refused: the view shows its own message,
    // stores nothing and throws platform::UserException.
    // The samples come through one source: the channel's block, or its
    // column of the data file.
    virtual void SetData(const ChannelSampleSource& source, double startSample, double endSample,
                         double totalSamples, double rate, const FftLpcSettings& settings) = 0;
};

class PitchViewService {
public:
    virtual ~PitchViewService() = default;
    virtual void SetChannel(int channel) = 0;
    virtual PitchPaneService& GetPane() = 0;
};

class SpectrogramViewService {
public:
    virtual ~SpectrogramViewService() = default;
    // Stores the range and the settings. A frequency range or LPC order
    // beyond what the rate allows is refused with the view's own message
    // and platform::UserException.
    virtual void SetAnalysisSettings(const std::shared_ptr<platform::File>& dataFile, double totalSamples,
                                     double rate, double startSample, double endSample, double startMs,
                                     double endMs, const SpectrogramSettings& settings) = 0;
    virtual SpectrogramPaneService& GetPane() = 0;
};

class FormPlotFormantViewService {
public:
    virtual ~FormPlotFormantViewService() = default;
    // Reads a PlotFormant text file (three integers and a quoted label per
    // line) into the grid, takes the file's title and path, and marks the
    // plot loaded and not modified. False when the file could not be read.
    virtual bool ReadPlotFormantFile(const std::string& path) = 0;
};

// What the Log options edit: the entire-frame step (FFT/LPC value 16) and
// the selection step.
struct LogOptions {
    int frameStepHz = 10;
    double selectionStepMs = 1.0;
};

// What the EGG options edit.
struct EggOptions {
    int thresholdPercent = 25;  // 0..100
    int drawPeaks = 0;
    int drawAcceleration = 0;
    int drawThresholdMarks = 0;
    int drawValleys = 0;
    int drawVelocity = 0;
    double accelerationWindowMs = 1.0;
    double velocityWindowMs = 1.0;
};

// The modal option dialogs. Each returns the edited values on OK and
// nothing on Cancel; the caller copies them back.
class AnalysisOptionDialogs {
public:
    virtual ~AnalysisOptionDialogs() = default;
    // rate: the document's sample rate, for the limits and Defaults.
    virtual std::optional<FftLpcSettings> RunFftLpcOptions(const FftLpcSettings& values, double rate) = 0;
    virtual std::optional<SpectrogramSettings> RunSpectrogramOptions(const SpectrogramSettings& values,
                                                                     double rate) = 0;
    virtual std::optional<PitchSettings> RunPitchOptions(const PitchSettings& values) = 0;
    virtual std::optional<double> RunZoomOptions(double zoomDurationMs) = 0;
    virtual std::optional<LogOptions> RunLogOptions(const LogOptions& values) = 0;
    // Edits the channels' intensity and smoothing settings in place; true
    // on OK (the caller then stores them in the settings file).
    virtual bool RunIntensitySmoothOptions(COrielDoc& document) = 0;
    // Stores names, calibration and units in the channels and writes the
    // settings file on its own OK; true on OK.
    virtual bool RunCalibrationOptions(COrielDoc& document) = 0;
    virtual std::optional<EggOptions> RunEggOptions(const EggOptions& values) = 0;
    // Offers the channel names and "None"; the chosen index, -1 for
    // "None". currentChannel -1 preselects "None".
    virtual std::optional<int> RunEggChannelAssign(const std::vector<std::string>& channelNames,
                                                   int currentChannel) = 0;
};

}  // namespace vocomet
