#pragma once
// A worker thread with a message queue: the stand-in for a thread that takes
// posted thread messages. Messages are handled in order on the worker; the
// stop flag is atomic so long handlers can poll it; Join waits a bounded time.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace platform {

struct WorkerMessage {
    int id = 0;
    std::int64_t wParam = 0;
    std::int64_t lParam = 0;
};

class Worker {
public:
    using Handler = std::function<void(const WorkerMessage&)>;

    // The message id that ends the worker after the messages before it.
    static constexpr int kQuit = -1;

    explicit Worker(Handler handler);
    // Requests a stop, posts quit and waits for the thread (unbounded: an
    // owner that must not block calls Join first).
    ~Worker();

    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Queues a message; false once the worker has ended.
    bool Post(int id, std::int64_t wParam = 0, std::int64_t lParam = 0);
    bool PostQuit() { return Post(kQuit); }

    // Set by an owner, polled by long handlers.
    void RequestStop() { m_stop.store(true); }
    void ClearStop() { m_stop.store(false); }
    bool StopRequested() const { return m_stop.load(); }

    // True while a message is being handled.
    bool IsBusy() const { return m_busy.load(); }

    // Waits until the worker has handled every message up to now.
    // Returns false on timeout.
    bool WaitIdle(std::chrono::milliseconds timeout);

    // Requests a stop, posts quit and waits at most timeout for the thread to
    // end. Returns true when it has ended (and was joined).
    bool Join(std::chrono::milliseconds timeout);

private:
    void Run();

    Handler m_handler;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<WorkerMessage> m_queue;
    bool m_ended = false;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_busy{false};
    std::thread m_thread;
};

}  // namespace platform
