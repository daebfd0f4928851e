#include "MainThread.h"
#include "Event.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>
#include <vector>

TEST(MainThread, CallFromAWorkerWaitsUntilTheMainThreadRanIt) {
    ASSERT_TRUE(TMainThread::IsCurrent());
    TEvent queued;
    TMainThread::SetWakeHook([&] { queued.Set(); });
    std::atomic<bool> returned{false};
    std::thread::id ranOn;
    std::thread worker([&] {
        CallInMainThread([&] { ranOn = std::this_thread::get_id(); });
        returned = true;
    });
    // Once the call is queued, only the main thread can let the worker go on.
    EXPECT_TRUE(queued.WaitFor(std::chrono::seconds(30)));
    TMainThread::SetWakeHook({});
    EXPECT_TRUE(TMainThread::HasPending());
    EXPECT_FALSE(returned.load()); // nobody served the queue yet
    ASSERT_TRUE(testing_support::PumpUntil([&] { return returned.load(); }));
    worker.join();
    EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST(MainThread, CallOnTheMainThreadIsDirect) {
    bool ran = false;
    CallInMainThread([&] { ran = true; });
    EXPECT_TRUE(ran);
    EXPECT_FALSE(TMainThread::HasPending());
}

TEST(MainThread, ExceptionReachesTheCaller) {
    std::string caught;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        try {
            CallInMainThread([] { throw std::runtime_error("handler failed"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
        done = true;
    });
    ASSERT_TRUE(testing_support::PumpUntil([&] { return done.load(); }));
    worker.join();
    EXPECT_EQ(caught, "handler failed");
}

TEST(MainThread, PostedAndBlockingCallsKeepTheirOrderAndWakeTheOwner) {
    std::atomic<int> wakes{0};
    TMainThread::SetWakeHook([&] { ++wakes; });
    std::vector<int> order;
    std::thread worker([&] {
        TMainThread::Post([&] { order.push_back(1); });
        TMainThread::Post([&] { order.push_back(2); });
        CallInMainThread([&] { order.push_back(3); });
    });
    ASSERT_TRUE(testing_support::PumpUntil([&] { return order.size() == 3; }));
    worker.join();
    TMainThread::SetWakeHook({});
    EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(wakes.load(), 3);
}

TEST(MainThread, WaitPumpingServesWorkersThatWaitForTheMainThread) {
    TEvent done;
    std::thread worker([&] {
        for (int i = 0; i < 20; ++i) {
            CallInMainThread([] {});
        }
        done.Set();
    });
    TMainThread::WaitPumping(done); // would never return without serving the queue
    worker.join();
    EXPECT_TRUE(done.IsSet());
}

TEST(MainThread, ACallThatPumpsTheQueueKeepsTheOrder) {
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
