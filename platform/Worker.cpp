#include "platform/Worker.h"

namespace platform {

Worker::Worker(Handler handler) : m_handler(std::move(handler)) {
    m_thread = std::thread([this] { Run(); });
}

Worker::~Worker() {
    RequestStop();
    PostQuit();
    if (m_thread.joinable())
        m_thread.join();
}

bool Worker::Post(int id, std::int64_t wParam, std::int64_t lParam) {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (m_ended)
            return false;
        m_queue.push_back({id, wParam, lParam});
    }
    m_wake.notify_one();
    return true;
}

void Worker::Run() {
    for (;;) {
        WorkerMessage msg;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_wake.wait(lock, [this] { return !m_queue.empty(); });
            msg = m_queue.front();
            m_queue.pop_front();
            if (msg.id == kQuit) {
                m_ended = true;
                m_queue.clear();
                m_idle.notify_all();
                return;
            }
            m_busy.store(true);
        }
        try {
            m_handler(msg);
        } catch (...) {
            // A failed message must not take the worker (and the process)
            // down; the handler reports its own failures.
        }
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_busy.store(false);
            if (m_queue.empty())
                m_idle.notify_all();
        }
    }
}

bool Worker::WaitIdle(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_idle.wait_for(lock, timeout, [this] { return m_ended || (m_queue.empty() && !m_busy.load()); });
}

bool Worker::Join(std::chrono::milliseconds timeout) {
    RequestStop();
    PostQuit();
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        if (!m_idle.wait_for(lock, timeout, [this] { return m_ended; }))
            return false;
    }
    if (m_thread.joinable())
        m_thread.join();
    return true;
}

}  // namespace platform
