#pragma once
// The plumbing the device workers share: a thread that takes posted
// messages in order, a quit message of the worker's own id, and a stop flag
// that running loops poll. Each worker handles its messages in Handle.

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
    // Stops the thread if it still runs.
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

    // Sets the stop flag, ends the thread and waits at most timeout for it.
    // True when it has ended.
    bool Stop(std::chrono::milliseconds timeout);

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
