#pragma once
// Start-up registration of the pitch window: the template the main view's
// Analysis > Pitch command makes its window from, and the window's commands
// in the shared menus while it is the active window (Log > Enter Pitch at
// Marker, Enter Pitch Selection and Enter Pitch All; the Zoom menu; Record/
// Play's Play All, Play Selection and Play Window). Call once the main
// frame's menus exist.

namespace vocomet {

class CMainFrame;
class COrielDoc;
class CPitchFrame;

void RegisterPitchWindow(CMainFrame& frame);

// The pitch window made on a document in the main frame's MDI area (not yet
// added to the area), wired to the document's main view and spectrogram
// pane, and made the document's active pitch view.
CPitchFrame* MakePitchFrame(CMainFrame& frame, COrielDoc& doc);

}  // namespace vocomet
