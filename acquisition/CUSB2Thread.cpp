#include "acquisition/CUSB2Thread.h"

#include "platform/Worker.h"

namespace vocomet {

CUSB2Thread::CUSB2Thread() = default;

CUSB2Thread::~CUSB2Thread() { Stop(std::chrono::milliseconds(2000)); }

void CUSB2Thread::Start() {
    if (!m_worker)
        m_worker = std::make_unique<platform::Worker>([this](const platform::WorkerMessage& m) { Handle(m); });
}

bool CUSB2Thread::PostThreadMessage(int message, std::int64_t wParam, AcquisitionView* view) {
    if (!m_worker)
        return false;
    if (message == kQuit)
        return m_worker->PostQuit();
    return m_worker->Post(message, wParam, reinterpret_cast<std::intptr_t>(view));
}

bool CUSB2Thread::Stop(std::chrono::milliseconds timeout) {
    stopFlag.store(1);
    if (!m_worker)
        return true;
    const bool ended = m_worker->Join(timeout);
    if (ended)
        m_worker.reset();
    return ended;
}

void CUSB2Thread::Handle(const platform::WorkerMessage& message) {
    auto* view = reinterpret_cast<AcquisitionView*>(static_cast<std::intptr_t>(message.lParam));
    if (message.id == kPlay && view) {
        // No device: nothing to play, so playback ends at once.
        view->ClearPlayCursorRunning();
    }
}

}  // namespace vocomet
