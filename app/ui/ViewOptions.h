#pragma once
// The Options menu's dialog commands. The main view carries them
// (COrielView::OnOptionsDisplay and the others, in ViewOptions.cpp); the
// decisions behind them are in app/OptionCommands and app/OptionTables.

#include <functional>

class QMenu;

namespace vocomet {

class CChildFrame;
class CMainFrame;

// Adds "Display", "Zoom...", "FFT/LPC...", "Spectrogram...", "Pitch...",
// "Intensity/Smooth", "Log..." and "Calibration..." to the options menu.
// Calibration is enabled while a document window is active, the others
// while its document holds data.
void AddOptionCommands(QMenu& options, CMainFrame& frame, std::function<CChildFrame*()> activeFrame);

}  // namespace vocomet
