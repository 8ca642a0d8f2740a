#include "platform/Worker.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace platform {

// Everything the thread touches. The thread holds its own reference, so this
// stays alive until the thread ends even when the Worker has gone before.
struct Worker::Shared {
    explicit Shared(Handler h) : handler(std::move(h)) {}

    Handler handler;
    std::mutex mutex;
    std::condition_variable wake;
    std::condition_variable idle;
    std::deque<WorkerMessage> queue;
    bool closed = false;  // no message is handled any more
    bool ended = false;   // the thread has left its loop
    std::atomic<bool> stop{false};
    std::atomic<bool> busy{false};
};

Worker::Worker(Handler handler) : m_shared(std::make_shared<Shared>(std::move(handler))) {
    m_thread = std::thread([shared = m_shared] { Run(shared); });
    m_threadId = m_thread.get_id();
}

// A thread already let go (by Close) or joined is not waited for again.
Worker::~Worker() {
    if (m_thread.joinable())
        Close(kCloseTimeout);
}

bool Worker::Post(int id, std::int64_t wParam, std::int64_t lParam) {
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        if (m_shared->ended || m_shared->closed)
            return false;
        m_shared->queue.push_back({id, wParam, lParam});
    }
    m_shared->wake.notify_one();
    return true;
}

void Worker::RequestStop() { m_shared->stop.store(true); }
void Worker::ClearStop() { m_shared->stop.store(false); }
bool Worker::StopRequested() const { return m_shared->stop.load(); }
bool Worker::IsBusy() const { return m_shared->busy.load(); }

void Worker::Run(const std::shared_ptr<Shared>& shared) {
    Shared& s = *shared;
    for (;;) {
        WorkerMessage msg;
        {
            std::unique_lock<std::mutex> lock(s.mutex);
            s.wake.wait(lock, [&s] { return s.closed || !s.queue.empty(); });
            // Checked under the same lock Close takes: once it has closed the
            // worker, no message begins.
            if (s.closed || s.queue.front().id == kQuit) {
                s.ended = true;
                s.queue.clear();
                s.idle.notify_all();
                return;
            }
            msg = s.queue.front();
            s.queue.pop_front();
            s.busy.store(true);
        }
        try {
            s.handler(msg);
        } catch (...) {
            // A failed message must not take the worker (and the process)
            // down; the handler reports its own failures.
        }
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            s.busy.store(false);
            if (s.queue.empty() || s.closed)
                s.idle.notify_all();
        }
    }
}

bool Worker::WaitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_shared->mutex);
    return m_shared->idle.wait_for(lock, timeout, [this] {
        return m_shared->ended || (m_shared->queue.empty() && !m_shared->busy.load());
    });
}

bool Worker::Join(std::chrono::milliseconds timeout) {
    RequestStop();
    PostQuit();
    {
        std::unique_lock<std::mutex> lock(m_shared->mutex);
        if (!m_shared->idle.wait_for(lock, timeout, [this] { return m_shared->ended; }))
            return false;
    }
    if (m_thread.joinable())
        m_thread.join();
    return true;
}

bool Worker::Close(std::chrono::milliseconds timeout) {
    RequestStop();
    {
        std::lock_guard<std::mutex> lock(m_shared->mutex);
        m_shared->closed = true;
        m_shared->queue.clear();
    }
    m_shared->wake.notify_all();
    bool ended = false;
    if (m_threadId != std::this_thread::get_id()) {
        std::unique_lock<std::mutex> lock(m_shared->mutex);
        ended = m_shared->idle.wait_for(lock, timeout, [this] { return m_shared->ended; });
    }
    if (m_thread.joinable()) {
        if (ended)
            m_thread.join();
        else
            m_thread.detach();  // it ends when its handler returns; Shared outlives us
    }
    return ended;
}

}  // namespace platform
