#pragma once
// The plumbing the device workers share: a thread that takes posted
// messages in order, a quit message of the worker's own id, and a stop flag
// that running loops poll. Each worker handles its messages in Handle.
//
// Ending: the destructor of every class that overrides Handle calls
// EndThread first, before any of its own members go, so no message is ever
// handled on a half-destroyed object. EndThread waits a bounded time; a
// handler still running after it is left to finish on its own thread, so a
// handler that can block past that wait copies what it needs out of the
// object when it starts (the values of its message, shared state).

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>

#include "acquisition/AcquisitionView.h"

namespace platform {
class Worker;
struct WorkerMessage;
}  // namespace platform

namespace vocomet {

class PostedThread {
public:
    PostedThread(int quitMessage, int initialStopFlag);
    // Ends the thread if a derived destructor has not (see EndThread).
    virtual ~PostedThread();
    PostedThread(const PostedThread&) = delete;
    PostedThread& operator=(const PostedThread&) = delete;

    // Starts the worker thread; it then takes posted messages in order.
    void Start();
    bool IsRunning() const { return m_worker != nullptr; }

    // Posts a message carrying wParam and the view it concerns; the quit
    // message ends the thread after the messages before it. False when the
    // thread is not running.
    bool PostThreadMessage(int message, std::int64_t wParam = 0, AcquisitionView* view = nullptr);

    // Sets the stop flag, posts quit (the messages before it are still
    // handled) and waits at most timeout for the thread to end. True when it
    // has ended; otherwise it keeps running and Stop may be called again.
    bool Stop(std::chrono::milliseconds timeout);

    // Ends the thread for good: sets the stop flag, drops the messages not
    // yet begun (Handle is never called again) and waits at most timeout for
    // a running handler. A thread still running after that is let go to end
    // on its own. True when the thread had ended within the wait.
    bool EndThread(std::chrono::milliseconds timeout);

    // How long destructors wait for a running handler.
    static constexpr std::chrono::milliseconds kEndTimeout{2000};

    // 1 asks a running play or recording loop to end; the worker polls it.
    std::atomic<int> stopFlag;

protected:
    virtual void Handle(int message, std::int64_t wParam, AcquisitionView* view) = 0;

private:
    void Dispatch(const platform::WorkerMessage& message);

    int m_quitMessage;
    std::unique_ptr<platform::Worker> m_worker;
};

}  // namespace vocomet
