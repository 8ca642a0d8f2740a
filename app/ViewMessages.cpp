#include "app/ViewMessages.h"

namespace vocomet {

ViewTimerAction ActionOfTimer(int id) {
    switch (id) {
    case kTimerStartRecording:
        return ViewTimerAction::StartRecording;
    case kTimerCaptureScreen:
        return ViewTimerAction::CaptureScreen;
    case kTimerRecordingMonitor:
        return ViewTimerAction::ShowRecordingMonitor;
    case kTimerPlayCursor:
    case kTimerPlayCursorAfterPlay:
        return ViewTimerAction::AdvancePlayCursor;
    case kTimerFirstRepaint:
        return ViewTimerAction::InvalidateAll;
    default:
        return ViewTimerAction::None;
    }
}

int DefaultTimerPeriodMs(int id) {
    return id == kTimerCaptureScreen ? 10 : 1;
}

std::optional<ScrollCode> WheelScrollCode(int delta) {
    if (delta > 0)
        return ScrollCode::LineForward;
    if (delta < 0)
        return ScrollCode::LineBack;
    return std::nullopt;
}

PressRoute RouteOfPress(bool playCursorRunning, bool recording) {
    if (playCursorRunning)
        return PressRoute::StopPlayCursorAndSelect;
    if (recording)
        return PressRoute::StopRecording;
    return PressRoute::Select;
}

}  // namespace vocomet
