#include "acquisition/PostedThread.h"

#include "platform/Worker.h"

namespace vocomet {

PostedThread::PostedThread(int quitMessage, int initialStopFlag)
    : stopFlag(initialStopFlag), m_quitMessage(quitMessage) {}

// Only a fallback: by now the derived part is gone, so a derived class that
// handles messages has already ended the thread in its own destructor.
PostedThread::~PostedThread() { EndThread(kEndTimeout); }

void PostedThread::Start() {
    if (!m_worker)
        m_worker = std::make_unique<platform::Worker>([this](const platform::WorkerMessage& m) { Dispatch(m); });
}

bool PostedThread::PostThreadMessage(int message, std::int64_t wParam, AcquisitionView* view) {
    if (!m_worker)
        return false;
    if (message == m_quitMessage)
        return m_worker->PostQuit();
    return m_worker->Post(message, wParam, reinterpret_cast<std::intptr_t>(view));
}

bool PostedThread::Stop(std::chrono::milliseconds timeout) {
    stopFlag.store(1);
    if (!m_worker)
        return true;
    const bool ended = m_worker->Join(timeout);
    if (ended)
        m_worker.reset();
    return ended;
}

bool PostedThread::EndThread(std::chrono::milliseconds timeout) {
    stopFlag.store(1);
    if (!m_worker)
        return true;
    const bool ended = m_worker->Close(timeout);
    m_worker.reset();  // a thread still running keeps its own state
    return ended;
}

void PostedThread::Dispatch(const platform::WorkerMessage& message) {
    Handle(message.id, message.wParam, reinterpret_cast<AcquisitionView*>(static_cast<std::intptr_t>(message.lParam)));
}

}  // namespace vocomet
