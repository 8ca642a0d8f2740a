#include "acquisition/CUSB2Thread.h"


namespace vocomet {

// Stop flag clear: ready to play.
CUSB2Thread::CUSB2Thread() : PostedThread(kQuit, 0) {}

// No message may reach Handle once this object starts to go.
CUSB2Thread::~CUSB2Thread() { EndThread(kEndTimeout); }

void CUSB2Thread::Handle(int message, std::int64_t, AcquisitionView* view) {
    if (message == kPlay && view) {
        // No device: nothing to play, so playback ends at once.
        view->ClearPlayCursorRunning();
    }
}

}  // namespace vocomet
