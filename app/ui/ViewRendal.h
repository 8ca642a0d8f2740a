#pragma once
// The main view's roads to the sixteen-channel USB 2 system: its record
// command opens the sixteen-channel record form on the document with a
// fresh recording file, and its play commands play channel 0 through a
// USB 2 worker of the view's own.

namespace vocomet {

class COrielView;

// Routes the view's record timer: the sixteen-channel system (when it is
// present and the audio box is not) to COrielView::StartRendalRecording,
// anything else to COrielView::StartRecording.
void InstallRendalRecordRoad(COrielView& view);

}  // namespace vocomet
