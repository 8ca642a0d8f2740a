#pragma once
// A worker thread with a message queue: the stand-in for a thread that takes
// posted thread messages. Messages are handled in order on the worker; the
// stop flag is atomic so long handlers can poll it; every wait on the thread
// is bounded.
//
// Lifetime: the queue, the flags and the handler live in a state the thread
// shares, so an owner that stops waiting (Close after its timeout, or the
// destructor) may go while a handler still runs: the thread keeps that state
// until it ends, and after Close no further message reaches the handler. A
// handler that may outlive its owner's wait must therefore touch only what it
// holds itself (the values of its message, state it shares), never the owner.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
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
    // How long the destructor waits for a running handler to return.
    static constexpr std::chrono::milliseconds kCloseTimeout{2000};

    explicit Worker(Handler handler);
    // Close(kCloseTimeout) unless the thread was joined or let go already:
    // never waits longer, never handles another message.
    ~Worker();

    Worker(const Worker&) = delete;
    Worker& operator=(const Worker&) = delete;

    // Queues a message; false once the worker has ended or is closed.
    bool Post(int id, std::int64_t wParam = 0, std::int64_t lParam = 0);
    bool PostQuit() { return Post(kQuit); }

    // Set by an owner, polled by long handlers.
    void RequestStop();
    void ClearStop();
    bool StopRequested() const;

    // True while a message is being handled.
    bool IsBusy() const;

    // Waits until the worker has handled every message up to now.
    // Returns false on timeout.
    bool WaitIdle(std::chrono::milliseconds timeout);

    // Requests a stop, posts quit (the messages queued before it are still
    // handled) and waits at most timeout for the thread to end. Returns true
    // when it has ended (and was joined); the worker stays usable for a later
    // Join or Close otherwise.
    bool Join(std::chrono::milliseconds timeout);

    // Ends the worker for good: requests a stop, drops the messages not yet
    // begun (none reaches the handler after this returns, whatever the wait
    // gives) and waits at most timeout for the thread to end. A thread still
    // running then is let go to end on its own, keeping the shared state
    // alive. Returns true when the thread has ended. Safe to call again (to
    // wait for a thread let go) and from a handler, which then is not waited
    // for.
    bool Close(std::chrono::milliseconds timeout);

private:
    struct Shared;
    static void Run(const std::shared_ptr<Shared>& shared);

    std::shared_ptr<Shared> m_shared;
    std::thread m_thread;
    std::thread::id m_threadId;  // kept after the thread is let go
};

}  // namespace platform
