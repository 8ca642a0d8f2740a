#pragma once
// The rules of the main view's window messages that need no widget: which
// operation each one-shot timer runs, what the wheel scrolls, what a press
// does first while sound plays or a recording runs, and the vertical scroll
// bar of a resize.

#include <optional>

#include "app/ZoomScroll.h"

namespace vocomet {

// Timer ids of the main view. Every timer fires once: the view kills it
// before acting.
enum ViewTimerId : int {
    kTimerStartRecording = 1,
    kTimerCaptureScreen = 2,
    kTimerRecordingMonitor = 3,
    kTimerPlayCursor = 4,
    kTimerFirstRepaint = 5,
    kTimerPlayCursorAfterPlay = 10,
};

enum class ViewTimerAction {
    None,                  // killed and ignored (6 to 9, unknown ids)
    StartRecording,        // 1
    CaptureScreen,         // 2
    ShowRecordingMonitor,  // 3
    AdvancePlayCursor,     // 4 and 10
    InvalidateAll,         // 5: first repaint of a document with data
};

ViewTimerAction ActionOfTimer(int id);
// The period the table gives a timer when its setter does not choose one:
// 10 ms for the screen capture, 1 ms for the others.
int DefaultTimerPeriodMs(int id);

// The wheel scrolls the recording one line per notch: away from the user
// (a positive delta) is later in time. Nothing for a zero delta.
std::optional<ScrollCode> WheelScrollCode(int delta);

// What a left-button press does before it starts a selection.
enum class PressRoute {
    Select,                   // begin the selection
    StopPlayCursorAndSelect,  // stop the play cursor (and its device), then select
    StopRecording,            // stop the sound-card recording and load it; no selection
};
PressRoute RouteOfPress(bool playCursorRunning, bool recording);

}  // namespace vocomet
