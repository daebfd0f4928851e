#include "MainThread.h"
#include "Event.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

TEST(MainThread, APostingWorkerGoesOnBeforeTheMainThreadRunsTheCall) {
    ASSERT_TRUE(TMainThread::IsCurrent());
    std::atomic<int> wakes{0};
    TMainThread::SetWakeHook([&] { ++wakes; });
    std::thread::id ranOn;
    TEvent posted;
    std::thread worker([&] {
        TMainThread::Post([&] { ranOn = std::this_thread::get_id(); });
        TMainThread::Post([] { throw std::runtime_error("nobody to report to"); });
        posted.Set(); // reached without anyone serving the queue
    });
    ASSERT_TRUE(posted.WaitFor(std::chrono::seconds(30)));
    worker.join();
    TMainThread::SetWakeHook({});
    EXPECT_EQ(wakes.load(), 2);
    EXPECT_TRUE(TMainThread::HasPending());
    // A throwing call does not stop the others.
    TMainThread::Post([] {});
    EXPECT_TRUE(TMainThread::CheckSynchronize());
    EXPECT_FALSE(TMainThread::HasPending());
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(MainThread, CallsFromSeveralWorkersKeepEachWorkersOrder) {
    constexpr int kWorkers = 3;
    constexpr int kCalls = 200;
    std::vector<std::vector<int>> seen(kWorkers);
    std::vector<std::thread> workers;
    for (int w = 0; w < kWorkers; ++w) {
        workers.emplace_back([&seen, w] {
            for (int i = 0; i < kCalls; ++i) {
                TMainThread::Post([&seen, w, i] { seen[w].push_back(i); });
            }
        });
    }
    for (std::thread& worker : workers) {
        worker.join();
    }
    ASSERT_TRUE(testing_support::PumpUntil([&] {
        for (const auto& s : seen) {
            if (s.size() < kCalls) {
                return false;
            }
        }
        return true;
    }));
    for (const auto& s : seen) {
        for (int i = 0; i < kCalls; ++i) {
            ASSERT_EQ(s[i], i);
        }
    }
}

TEST(MainThread, ACallThatRunsANestedLoopKeepsTheOrder) {
    std::vector<int> order;
    // The first call queues another one and serves the queue itself, as a modal dialog's
    // event loop does: the calls queued before it still come first.
    TMainThread::Post([&] {
        order.push_back(1);
        TMainThread::Post([&] { order.push_back(4); });
        TMainThread::CheckSynchronize();
    });
    TMainThread::Post([&] { order.push_back(2); });
    TMainThread::Post([&] { order.push_back(3); });
    ASSERT_TRUE(testing_support::PumpUntil([&] { return order.size() == 4; }));
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4}));
}

TEST(MainThread, RunUntilSleepsUntilACallArrivesAndStopsAtItsLimit) {
    std::atomic<bool> flag{false};
    std::thread worker([&] { TMainThread::Post([&] { flag = true; }); });
    EXPECT_TRUE(TMainThread::RunUntil([&] { return flag.load(); }, std::chrono::seconds(30)));
    worker.join();
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(TMainThread::RunUntil([] { return false; }, std::chrono::milliseconds(30)));
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(30));
}
