#pragma once
// The main view's analysis window openers (COrielView::OpenFFTLPCWindow and
// the others, in ViewAnalysisOpeners.cpp) and the Analysis menu items that
// run them.
//
// The pitch and spectrogram windows are made through window templates that
// the shell registers once at start-up (PitchWindow.h, SpectrogramWindow.h);
// the templates are kept for the life of the process, so each opening makes
// only its frame. Without a registered template the command is disabled.

#include <QString>
#include <functional>

#include "analysis/AnalysisServices.h"
#include "analysis/ChannelSampleSource.h"
#include "core/ApplicationSettings.h"

class QMdiSubWindow;

namespace vocomet {

class CChildFrame;
class CMainFrame;
class COrielDoc;
class PitchViewService;
class SpectrogramViewService;

// Default placements of the analysis windows (left, top, width, height).
inline constexpr WindowPlacement kFftLpcDefaultPlacement{50, 50, 400, 300};
inline constexpr WindowPlacement kPitchDefaultPlacement{20, 20, 500, 300};
inline constexpr WindowPlacement kSpectrogramDefaultPlacement{20, 20, 450, 450};

// A made analysis frame (not yet shown) and its view's service.
template <typename Service>
struct AnalysisFrame {
    QMdiSubWindow* frame = nullptr;
    Service* view = nullptr;
};

// How the pitch and spectrogram windows are made on a document; empty until
// those windows register.
struct AnalysisWindowTemplates {
    std::function<AnalysisFrame<PitchViewService>(COrielDoc&)> pitch;
    std::function<AnalysisFrame<SpectrogramViewService>(COrielDoc&)> spectrogram;
};
// The process's templates.
AnalysisWindowTemplates& AnalysisTemplates();

// The placement a window opens at: the stored one, or the default while the
// stored one is all zero (then stored back when storeDefault is set).
WindowPlacement TakePlacement(WindowPlacement& stored, const WindowPlacement& fallback, bool storeDefault);

// Adds "FFT/LPC" (Ctrl+F), "FFT/LPC Selection", "Spectrogram All"
// (Ctrl+G), "Spectrogram Selection" (Ctrl+H), "Spectrogram Window" and
// "Pitch" to the Analysis menu, and the FFT/LPC window's "Enter Formants and
// Bandwidths" and "Enter All FFT/LPC Frame" to the Log menu.
void AddAnalysisWindowCommands(CMainFrame& frame, std::function<CChildFrame*()> activeFrame);

}  // namespace vocomet
