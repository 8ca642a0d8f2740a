#include "acquisition/CUSB2Thread.h"


namespace vocomet {

// Stop flag clear: ready to play.
CUSB2Thread::CUSB2Thread() : PostedThread(kQuit, 0) {}

// The thread ends before the handler's object goes.
CUSB2Thread::~CUSB2Thread() { Stop(std::chrono::milliseconds(2000)); }

void CUSB2Thread::Handle(int message, std::int64_t, AcquisitionView* view) {
    if (message == kPlay && view) {
        // No device: nothing to play, so playback ends at once.
        view->ClearPlayCursorRunning();
    }
}

}  // namespace vocomet
