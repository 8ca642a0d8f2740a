#include "acquisition/CUSBThread.h"

#include "platform/File.h"
#include "platform/Worker.h"

namespace vocomet {

CUSBThread::CUSBThread() = default;

CUSBThread::~CUSBThread() { Stop(std::chrono::milliseconds(2000)); }

void CUSBThread::Start() {
    if (!m_worker)
        m_worker = std::make_unique<platform::Worker>([this](const platform::WorkerMessage& m) { Handle(m); });
}

bool CUSBThread::PostThreadMessage(int message, std::int64_t wParam, AcquisitionView* view) {
    if (!m_worker)
        return false;
    if (message == kQuit)
        return m_worker->PostQuit();
    return m_worker->Post(message, wParam, reinterpret_cast<std::intptr_t>(view));
}

bool CUSBThread::Stop(std::chrono::milliseconds timeout) {
    stopFlag.store(1);
    if (!m_worker)
        return true;
    const bool ended = m_worker->Join(timeout);
    if (ended)
        m_worker.reset();
    return ended;
}

void CUSBThread::AttachFile(platform::File* file) {
    m_file = file;
    if (m_file && m_file->IsOpen())
        m_file->Seek(0);
}

void CUSBThread::Handle(const platform::WorkerMessage& message) {
    auto* view = reinterpret_cast<AcquisitionView*>(static_cast<std::intptr_t>(message.lParam));
    switch (message.id) {
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
