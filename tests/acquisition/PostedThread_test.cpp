#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

#include "acquisition/PostedThread.h"

namespace vocomet {
namespace {

using namespace std::chrono_literals;

// Shared between a test and its worker's handler, so the handler may run on
// after the worker object has gone.
struct Probe {
    std::mutex m;
    std::condition_variable cv;
    bool release = false;
    bool entered = false;
    std::atomic<bool> destroying{false};
    std::atomic<int> handled{0};
    std::atomic<int> handledWhileDestroying{0};

    void WaitEntered() {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [this] { return entered; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(m);
        release = true;
        cv.notify_all();
    }
};

// The first message blocks until the probe is released; every handled
// message is counted, and one that begins while the object goes is a fault.
class BlockingThread : public PostedThread {
public:
    static constexpr int kWork = kWorkerMessageBase + 1;
    static constexpr int kQuit = kWorkerMessageBase + 2;

    explicit BlockingThread(std::shared_ptr<Probe> probe) : PostedThread(kQuit, 0), m_probe(std::move(probe)) {}
    ~BlockingThread() override {
        m_probe->destroying = true;
        EndThread(kEndTimeout);
    }

private:
    void Handle(int, std::int64_t, AcquisitionView*) override {
        // Taken from the object first: the wait below may outlast it.
        const std::shared_ptr<Probe> probe = m_probe;
        if (probe->destroying)
            ++probe->handledWhileDestroying;
        std::unique_lock<std::mutex> lock(probe->m);
        if (++probe->handled > 1)
            return;
        probe->entered = true;
        probe->cv.notify_all();
        probe->cv.wait(lock, [&] { return probe->release; });
    }

    std::shared_ptr<Probe> m_probe;
};

// Waits (bounded) until only the test holds the probe: the handler is done.
bool OnlyHolder(const std::shared_ptr<Probe>& probe) {
    for (int i = 0; i < 10000 && probe.use_count() > 1; ++i)
        std::this_thread::sleep_for(1ms);
    return probe.use_count() == 1;
}

TEST(PostedThread, QueuedMessagesAreDroppedWhenTheObjectGoes) {
    auto probe = std::make_shared<Probe>();
    auto worker = std::make_unique<BlockingThread>(probe);
    worker->Start();
    for (int i = 0; i < 3; ++i)
        ASSERT_TRUE(worker->PostThreadMessage(BlockingThread::kWork));
    probe->WaitEntered();
    // The running handler returns well within the destructor's wait; the
    // messages behind it must not run on the object that is going.
    auto destroyed = std::async(std::launch::async, [&worker] { worker.reset(); });
    std::this_thread::sleep_for(100ms);
    probe->Release();
    destroyed.wait();
    EXPECT_TRUE(OnlyHolder(probe));
    EXPECT_EQ(probe->handled.load(), 1);
    EXPECT_EQ(probe->handledWhileDestroying.load(), 0);
}

TEST(PostedThread, DestroyingWhileAHandlerBlocksIsBoundedAndSafe) {
    auto probe = std::make_shared<Probe>();
    auto worker = std::make_unique<BlockingThread>(probe);
    worker->Start();
    ASSERT_TRUE(worker->PostThreadMessage(BlockingThread::kWork));
    ASSERT_TRUE(worker->PostThreadMessage(BlockingThread::kWork));
    probe->WaitEntered();
    EXPECT_FALSE(worker->Stop(10ms));  // the handler ignores the stop flag
    EXPECT_EQ(1, worker->stopFlag.load());

    // An unbounded wait would never see the release that follows it.
    auto destroyed = std::async(std::launch::async, [&worker] { worker.reset(); });
    const bool returned = destroyed.wait_for(60s) == std::future_status::ready;
    probe->Release();
    destroyed.wait();
    EXPECT_TRUE(returned);

    // The handler finishes on its own thread; the second message, posted
    // before the quit Stop sent, never reaches the destroyed object (under
    // AddressSanitizer that would be a use after free).
    EXPECT_TRUE(OnlyHolder(probe));
    std::this_thread::sleep_for(20ms);
    EXPECT_EQ(probe->handled.load(), 1);
}

}  // namespace
}  // namespace vocomet
