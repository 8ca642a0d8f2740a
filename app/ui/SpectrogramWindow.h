#pragma once
// Start-up registration of the spectrogram window: the template the main
// view's Spectrogram All, Selection and Window commands make their window
// from, and the window's own commands in the shared menus (Log > Enter
// Formants at Marker and Enter Formants Selection, PlotFormants > Plot All
// and Plot Selection; Record/Play's Play Selection and Play Window and
// Analysis > FFT/LPC, FFT/LPC Selection and Pitch act for the spectrogram
// window while it is the active window, and Play All is disabled there).
// Call once the main frame's menus exist (after the PlotFormants menu).

namespace vocomet {

class CMainFrame;
class COrielDoc;
class COrielView;
class CSpectrogramFrame;

void RegisterSpectrogramWindow(CMainFrame& frame);

// The spectrogram window made on a document in the main frame's MDI area
// (not yet added to the area), wired to the document's main view.
CSpectrogramFrame* MakeSpectrogramFrame(CMainFrame& frame, COrielDoc& doc);

}  // namespace vocomet
