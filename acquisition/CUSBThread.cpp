#include "acquisition/CUSBThread.h"

#include "platform/File.h"

namespace vocomet {

// Stop flag set: nothing runs until a message starts it.
CUSBThread::CUSBThread() : PostedThread(kQuit, 1) {}

// No message may reach Handle once this object starts to go.
CUSBThread::~CUSBThread() { EndThread(kEndTimeout); }

void CUSBThread::AttachFile(platform::File* file) {
    m_file = file;
    if (m_file && m_file->IsOpen())
        m_file->Seek(0);
}

void CUSBThread::Handle(int message, std::int64_t, AcquisitionView* view) {
    switch (message) {
    case kPlayFile:
    case kPlayMemory:
        stopFlag.store(0);
        // No device: nothing to play, so playback ends at once.
        if (view)
            view->ClearPlayCursorRunning();
        break;
    case kSample:
    case kBootDsp:
    default:
        // No device: nothing to sample or boot.
        break;
    }
}

}  // namespace vocomet
