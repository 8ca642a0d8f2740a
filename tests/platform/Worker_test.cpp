#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Worker.h"

using namespace platform;
using namespace std::chrono_literals;

namespace {

TEST(Worker, HandlesMessagesInOrderOnItsOwnThread) {
    std::mutex m;
    std::vector<int> seen;
    std::thread::id workerThread;
    Worker w([&](const WorkerMessage& msg) {
        std::lock_guard<std::mutex> lock(m);
        seen.push_back(msg.id * 1000 + static_cast<int>(msg.wParam));
        workerThread = std::this_thread::get_id();
    });
    for (int i = 1; i <= 50; ++i)
        ASSERT_TRUE(w.Post(i, i % 7));
    ASSERT_TRUE(w.WaitIdle(5s));
    std::lock_guard<std::mutex> lock(m);
    ASSERT_EQ(seen.size(), 50u);
    for (int i = 1; i <= 50; ++i)
        EXPECT_EQ(seen[i - 1], i * 1000 + i % 7);
    EXPECT_NE(workerThread, std::this_thread::get_id());
}

TEST(Worker, StopFlagEndsALongHandlerAndJoinIsBounded) {
    std::atomic<bool> started{false};
    Worker* self = nullptr;
    Worker w([&](const WorkerMessage&) {
        started = true;
        while (!self->StopRequested())
            std::this_thread::sleep_for(1ms);
    });
    self = &w;
    w.Post(1);
    while (!started)
        std::this_thread::sleep_for(1ms);
    EXPECT_TRUE(w.IsBusy());
    EXPECT_TRUE(w.Join(5s));
    EXPECT_FALSE(w.Post(2));  // ended workers take no more messages
}

TEST(Worker, JoinTimesOutWhileAHandlerIgnoresTheStopFlag) {
    std::atomic<bool> release{false};
    std::atomic<bool> started{false};
    Worker w([&](const WorkerMessage&) {
        started = true;
        while (!release)
            std::this_thread::sleep_for(1ms);
    });
    w.Post(1);
    while (!started)
        std::this_thread::sleep_for(1ms);
    EXPECT_FALSE(w.Join(20ms));
    release = true;
    EXPECT_TRUE(w.Join(5s));
}

TEST(Worker, AThrowingHandlerDoesNotEndTheWorker) {
    std::atomic<int> handled{0};
    Worker w([&](const WorkerMessage& msg) {
        if (msg.id == 1)
            throw std::runtime_error("boom");
        ++handled;
    });
    w.Post(1);
    w.Post(2);
    ASSERT_TRUE(w.WaitIdle(5s));
    EXPECT_EQ(handled.load(), 1);
}

// What a handler that outlives its worker may touch: state it shares.
struct Gate {
    std::mutex m;
    std::condition_variable cv;
    bool open = false;
    bool entered = false;
    std::atomic<int> handled{0};

    void Enter() {
        std::unique_lock<std::mutex> lock(m);
        ++handled;
        entered = true;
        cv.notify_all();
        cv.wait(lock, [this] { return open; });
    }
    void WaitEntered() {
        std::unique_lock<std::mutex> lock(m);
        cv.wait(lock, [this] { return entered; });
    }
    void Open() {
        std::lock_guard<std::mutex> lock(m);
        open = true;
        cv.notify_all();
    }
};

// Waits (bounded) until the worker thread has let go of the gate: the thread
// has ended and its state is gone.
bool OnlyHolder(const std::shared_ptr<Gate>& gate) {
    for (int i = 0; i < 10000 && gate.use_count() > 1; ++i)
        std::this_thread::sleep_for(1ms);
    return gate.use_count() == 1;
}

TEST(Worker, DestroyingWhileAHandlerBlocksReturnsAndHandlesNothingMore) {
    auto gate = std::make_shared<Gate>();
    auto w = std::make_unique<Worker>([gate](const WorkerMessage&) { gate->Enter(); });
    ASSERT_TRUE(w->Post(1));
    ASSERT_TRUE(w->Post(2));
    ASSERT_TRUE(w->Post(3));
    gate->WaitEntered();

    // The handler ignores the stop and stays blocked: the destructor must
    // still come back (an unbounded one would never see the gate open).
    auto destroyed = std::async(std::launch::async, [&w] { w.reset(); });
    const bool returned = destroyed.wait_for(60s) == std::future_status::ready;
    gate->Open();
    destroyed.wait();
    EXPECT_TRUE(returned);

    // The thread then ends by itself, without handling the queued messages.
    EXPECT_TRUE(OnlyHolder(gate));
    EXPECT_EQ(gate->handled.load(), 1);
}

TEST(Worker, CloseDropsQueuedMessagesAndMayComeFromAHandler) {
    auto gate = std::make_shared<Gate>();
    Worker w([gate](const WorkerMessage&) { gate->Enter(); });
    w.Post(1);
    w.Post(2);
    gate->WaitEntered();
    EXPECT_FALSE(w.Close(10ms));  // still blocked: let go
    EXPECT_FALSE(w.Post(3));
    gate->Open();
    EXPECT_TRUE(w.Close(60s));  // closing again waits for the thread let go
    EXPECT_EQ(gate->handled.load(), 1);

    // A handler that ends its own worker neither waits for itself nor
    // handles another message.
    std::atomic<int> handled{0};
    std::promise<bool> closedFromInside;
    std::unique_ptr<Worker> self;
    self = std::make_unique<Worker>([&](const WorkerMessage&) {
        if (++handled == 1)
            closedFromInside.set_value(self->Close(5s));
    });
    self->Post(1);
    self->Post(2);
    auto result = closedFromInside.get_future();
    ASSERT_EQ(result.wait_for(60s), std::future_status::ready);
    EXPECT_FALSE(result.get());
    self.reset();
    EXPECT_EQ(handled.load(), 1);
}

}  // namespace
