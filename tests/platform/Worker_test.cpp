#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
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

}  // namespace
